// The pieces between the window and Qt: Qt's file dialog gets the start folder, pattern and filter
// the window asks for, tells a confirmed file from a cancel and takes an existing file without a
// question, and keeps its history out of the user's configuration.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>

#include "app/qt_file_dialog.h"
#include "window_driver.h"

namespace travix_test {
namespace {

// Runs `answer` on the file dialog once it is shown; it must close the dialog. Any other window
// that shows up meanwhile (an overwrite question) fails the test. A dialog still open after some
// seconds is rejected, so that a fault fails the test instead of hanging it.
std::optional<QString> RunDialog(const app::FileDialogRequest& request,
                                 const std::function<void(QFileDialog&)>& answer) {
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ADD_FAILURE() << "a question: " << box->text().toStdString();
            box->reject();
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        // Qt's own dialog may still be reading the folder and ignore an early answer.
        if (dialog != nullptr && ++ticks % 20 == 1)
            ticks > 500 ? dialog->reject() : answer(*dialog);
    });
    poll.start(10);
    std::optional<QString> result = app::QtFileDialog().Choose(request, nullptr);
    EXPECT_TRUE(ticks > 0 && ticks <= 500) << "the file dialog never showed or stayed open";
    return result;
}

TEST(QtFileDialog, StartsInTheFolderWithTheFilterAndTakesAnExistingFileWithoutAQuestion) {
    fixture::TempDir dir;
    std::ofstream(dir.path() / "Kopie.kxs") << "an earlier export";
    const QString folder = QString::fromStdString(dir.path().string());
    app::FileDialogRequest request{folder + QStringLiteral("\\*.kxs"),
                                   QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"), false};
    const auto cancelled = RunDialog(request, [&](QFileDialog& dialog) {
        EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(folder).canonicalPath());
        EXPECT_EQ(dialog.nameFilters(), QStringList{"KorvexStudio Projekt (*.kxs)"});
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        dialog.reject();
    });
    EXPECT_FALSE(cancelled.has_value());

    request.save = true;
    const auto chosen = RunDialog(request, [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        // As the user types the name of the existing file and presses Enter.
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("Kopie.kxs"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(chosen, QDir::toNativeSeparators(folder + QStringLiteral("/Kopie.kxs")));
    // Its history went nowhere near the user's configuration.
    EXPECT_EQ(FilesInTestHome(), QStringList());
}

}  // namespace
}  // namespace travix_test
