// Not a test: the typical export done by hand, through real input events on a real display (run
// it under Xvfb). It starts the window as the program does, with Qt's own file dialog and message
// boxes, picks the source in the dialog by typing its path, types the copy path, tabs on,
// restricts two editors with the keyboard, toggles the language marks with Space and clicks OK,
// saving a picture of the screen after each step:
//   travix_export_walkthrough SOURCE.kxs COPY.kxs OUTDIR
// It prints what happened; the end of the program (OK completed) is reported, not carried out.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/FTravix.h"
#include "app/qt_message_sink.h"
#include "app/startup.h"

namespace {

QString outDir;
int shot = 0;

void Shoot(const char* what) {
    QApplication::processEvents();
    QTest::qWait(150);
    const QString file = QStringLiteral("%1/%2-%3.png").arg(outDir).arg(++shot).arg(what);
    QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    std::printf("screenshot %s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE.kxs COPY.kxs OUTDIR\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString copy = QString::fromLocal8Bit(argv[2]);
    outDir = QString::fromLocal8Bit(argv[3]);

    app::QtMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    int exitStatus = -1;
    services.exitProgram = [&](int status) {
        exitStatus = status;
        std::printf("the program ends with status %d\n", status);
        application.quit();
    };
    std::unique_ptr<app::FTravix> window = app::StartTravix(services);
    if (!window) return app::kStartupFailureStatus;
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) return 3;

    QTimer::singleShot(200, [&] {
        Shoot("start");
        // The source through the file dialog: type the path into its name field, press Enter.
        QTimer dialogWatch;
        QObject::connect(&dialogWatch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            dialogWatch.stop();
            Shoot("dialog");
            QTest::keyClicks(QApplication::focusWidget(), source);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        dialogWatch.start(50);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdChoosePathSource")),
                          Qt::LeftButton);
        Shoot("source-chosen");

        auto* destination = window->findChild<QLineEdit*>(QStringLiteral("txtDestination"));
        QTest::mouseClick(destination, Qt::LeftButton);
        QTest::keyClicks(destination, copy);
        QTest::keyClick(destination, Qt::Key_Tab);
        Shoot("copy-typed");

        // Alarm editor down to "show" (4 up from "all rights"), index texts to "edit texts".
        const std::pair<const char*, int> levels[] = {{"cmbEditorComponent_0", 4},
                                                      {"cmbEditorComponent_3", 3}};
        for (const auto& [name, ups] : levels) {
            auto* combo = window->findChild<QComboBox*>(QLatin1String(name));
            QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
            for (int i = 0; i < ups; ++i) QTest::keyClick(combo->lineEdit(), Qt::Key_Up);
        }
        auto* languages = window->findChild<QListWidget*>(QStringLiteral("lstLockLanguages"));
        for (int row = 0; row < languages->count(); ++row) {
            const QRect rect = languages->visualItemRect(languages->item(row));
            QTest::mouseClick(languages->viewport(), Qt::LeftButton, {}, rect.center());
            QTest::keyClick(languages, Qt::Key_Space);
        }
        Shoot("before-ok");
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        if (exitStatus < 0) {
            Shoot("after-ok");
            application.quit();
        }
    });
    application.exec();
    return exitStatus < 0 ? 1 : 0;
}
