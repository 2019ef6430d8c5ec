// The pieces between the window and the rest: the list adapters over real widgets behave as the
// list interface promises, Qt's file dialog gets the start folder, pattern and filter the window
// asks for and tells a confirmed file from a cancel, and a message is Qt's plain message box.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/qt_file_dialog.h"
#include "app/qt_lists.h"
#include "app/qt_message_sink.h"
#include "platform/runtime_error.h"
#include "projectdb/authorization_levels.h"
#include "tests/support/temp_dir.h"

namespace travix_test {
namespace {

int ErrorNumber(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::RuntimeError& error) {
        return error.number();
    }
    return 0;
}

// The window tests reach the list adapters through the window; left here are the combo box edges
// they cannot show.
TEST(ComboBoxList, KeepsNoSelectionWhileFilledAndReadsATypedTextAsNone) {
    QComboBox combo;
    combo.setEditable(true);
    combo.setInsertPolicy(QComboBox::NoInsert);
    app::ComboBoxList list(&combo);
    for (int level : {0, 1, 3}) list.addItem("Level " + std::to_string(level), level);
    EXPECT_EQ(list.selectedIndex(), -1);
    projectdb::SelectComboByItemData(3, list);
    EXPECT_EQ(list.selectedIndex(), 2);
    // A text typed into the edit field that is no entry's text selects nothing.
    combo.lineEdit()->setText(QStringLiteral("Level 9"));
    EXPECT_EQ(list.selectedIndex(), -1);
    list.setSelectedIndex(2);  // the field shows the entry again, even with the index unchanged
    EXPECT_EQ(combo.currentText(), QStringLiteral("Level 3"));
    list.setSelectedIndex(-1);
    EXPECT_TRUE(combo.currentText().isEmpty());
    EXPECT_EQ(ErrorNumber([&] { list.setSelectedIndex(3); }), 380);
    EXPECT_EQ(ErrorNumber([&] { list.itemData(3); }), 381);
}

TEST(QtFileDialog, FiltersAndInitialNamesBecomeQtsForms) {
    const std::pair<const char*, QStringList> filters[] = {
        {"KorvexStudio Projekt (*.kxs)|*.kxs", {"KorvexStudio Projekt (*.kxs)"}},
        {"Text|*.txt", {"Text (*.txt)"}},
        {"A|*.a|B (*.b)|*.b", {"A (*.a)", "B (*.b)"}},
        {"Lonely description", {}},
    };
    for (const auto& [filter, expected] : filters) {
        EXPECT_EQ(app::QtNameFilters(QString::fromUtf8(filter)), expected) << filter;
    }
    const std::array<const char*, 3> splits[] = {
        // file name, folder (with "/" for the native separator), name
        {"/opt/travix\\*.kxs", "/opt/travix", "*.kxs"},
        {"C:\\Programme\\Travix\\*.kxs", "C:/Programme/Travix", "*.kxs"},
        {"C:\\*.kxs", "C:/", "*.kxs"},
        {"\\*.kxs", "/", "*.kxs"},
        {"/srv/a/b/Anlage.kxs", "/srv/a/b", "Anlage.kxs"},
        {"Anlage.kxs", "", "Anlage.kxs"},
    };
    for (const auto& [fileName, folder, name] : splits) {
        const app::InitialFileName split = app::SplitInitialFileName(QString::fromUtf8(fileName));
        EXPECT_EQ(split.folder, QDir::toNativeSeparators(folder)) << fileName;
        EXPECT_EQ(split.name, QString::fromUtf8(name)) << fileName;
    }
}

// Runs `answer` on the file dialog once it is shown; it must close the dialog. A dialog still open
// after some seconds is rejected, so that a fault fails the test instead of hanging it.
std::optional<QString> RunDialog(const app::FileDialogRequest& request,
                                 const std::function<void(QFileDialog&)>& answer) {
    bool seen = false;
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (dialog == nullptr || !dialog->isVisible()) continue;
            seen = true;
            // Qt's own dialog may still be reading the folder and ignore an early answer.
            if (++ticks > 500) {
                ADD_FAILURE() << "the file dialog stayed open";
                dialog->reject();
            } else if (ticks % 20 == 1) {
                answer(*dialog);
            }
        }
    });
    poll.start(10);
    std::optional<QString> result = app::QtFileDialog().Choose(request, nullptr);
    EXPECT_TRUE(seen);
    return result;
}

TEST(QtFileDialog, StartsInTheRequestedFolderWithTheFilterAndToldCancelFromConfirm) {
    fixture::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    app::FileDialogRequest request{folder + QStringLiteral("\\*.kxs"),
                                   QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"), false};
    const auto cancelled = RunDialog(request, [&](QFileDialog& dialog) {
        EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(folder).canonicalPath());
        EXPECT_EQ(dialog.nameFilters(), QStringList{"KorvexStudio Projekt (*.kxs)"});
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        dialog.reject();
    });
    EXPECT_FALSE(cancelled.has_value());

    request.save = true;
    const auto chosen = RunDialog(request, [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        // As the user types the name and presses Enter.
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("Kopie"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(chosen, QDir::toNativeSeparators(folder + QStringLiteral("/Kopie")));
}

TEST(QtMessageSink, AWindowMessageIsApplicationModalWithOkOnlyNoIconAndTheApplicationTitle) {
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || seen) return;
        seen = true;
        EXPECT_EQ(box->text(), QStringLiteral("Datei konnte nicht kopiert werden"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(box->windowTitle(), QGuiApplication::applicationDisplayName());
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(10);
    app::QtMessageSink().ShowMessage(QStringLiteral("Datei konnte nicht kopiert werden"));
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace travix_test
