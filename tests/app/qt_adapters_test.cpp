// The pieces between the window and the rest: the list adapters over real widgets behave as the
// list interface promises, and Qt's file dialog gets the start folder, pattern and filter the
// window asks for and tells a confirmed file from a cancel.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
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

TEST(ComboBoxList, KeepsNoSelectionWhileFilledAndReadsATypedTextAsNone) {
    QComboBox combo;
    combo.setEditable(true);
    combo.setInsertPolicy(QComboBox::NoInsert);
    app::ComboBoxList list(&combo);
    for (int level : {0, 1, 3}) list.addItem("Level " + std::to_string(level), level);

    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(list.text(2), "Level 3");
    EXPECT_EQ(list.itemData(2), 3);

    projectdb::SelectComboByItemData(3, list);
    EXPECT_EQ(list.selectedIndex(), 2);
    EXPECT_EQ(combo.currentText(), QStringLiteral("Level 3"));

    // A text typed into the edit field that is no entry's text selects nothing.
    combo.lineEdit()->setText(QStringLiteral("Level 9"));
    EXPECT_EQ(list.selectedIndex(), -1);
    list.setSelectedIndex(2);  // the field shows the entry again, even with the index unchanged
    EXPECT_EQ(combo.currentText(), QStringLiteral("Level 3"));
    EXPECT_EQ(list.selectedIndex(), 2);

    list.setSelectedIndex(-1);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_TRUE(combo.currentText().isEmpty());

    EXPECT_EQ(ErrorNumber([&] { list.setSelectedIndex(3); }), 380);
    EXPECT_EQ(ErrorNumber([&] { list.setSelectedIndex(-2); }), 380);
    EXPECT_EQ(ErrorNumber([&] { list.text(-1); }), 381);
    EXPECT_EQ(ErrorNumber([&] { list.itemData(3); }), 381);
    EXPECT_EQ(ErrorNumber([&] { list.setChecked(3, true); }), 381);
    EXPECT_FALSE(list.checked(0));

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.selectedIndex(), -1);
}

TEST(CheckedListWidgetList, EntriesCarryTheirDataAndAMarkTheUserCanSet) {
    QListWidget widget;
    app::CheckedListWidgetList list(&widget);
    list.addItem("Deutsch", 1031);
    list.addItem("English", 1033);

    ASSERT_EQ(widget.count(), 2);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_TRUE(widget.item(1)->flags() & Qt::ItemIsUserCheckable);
    EXPECT_EQ(widget.item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list.itemData(1), 1033);
    EXPECT_EQ(list.text(0), "Deutsch");

    list.setChecked(1, true);
    EXPECT_EQ(widget.item(1)->checkState(), Qt::Checked);
    EXPECT_TRUE(list.checked(1));
    widget.item(0)->setCheckState(Qt::Checked);  // as a click on the box does
    EXPECT_TRUE(list.checked(0));
    list.setChecked(0, false);
    EXPECT_FALSE(list.checked(0));

    list.setSelectedIndex(1);
    list.addItem("Français", 1036);
    EXPECT_EQ(list.selectedIndex(), 1);

    EXPECT_EQ(ErrorNumber([&] { list.checked(3); }), 381);
    EXPECT_EQ(ErrorNumber([&] { list.setSelectedIndex(3); }), 380);
    list.clear();
    EXPECT_EQ(list.count(), 0);
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

    struct Split {
        const char* fileName;
        QString folder;
        const char* name;
    };
    const Split splits[] = {
        {"/opt/travix\\*.kxs", QDir::toNativeSeparators("/opt/travix"), "*.kxs"},
        {"C:\\Programme\\Travix\\*.kxs", QDir::toNativeSeparators("C:/Programme/Travix"), "*.kxs"},
        {"C:\\*.kxs", QDir::toNativeSeparators("C:/"), "*.kxs"},
        {"\\*.kxs", QDir::toNativeSeparators("/"), "*.kxs"},
        {"/srv/a/b/Anlage.kxs", QDir::toNativeSeparators("/srv/a/b"), "Anlage.kxs"},
        {"Anlage.kxs", QString(), "Anlage.kxs"},
    };
    for (const Split& s : splits) {
        const app::InitialFileName split = app::SplitInitialFileName(QString::fromUtf8(s.fileName));
        EXPECT_EQ(split.folder, s.folder) << s.fileName;
        EXPECT_EQ(split.name, QString::fromUtf8(s.name)) << s.fileName;
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
    app::QtFileDialog fileDialog;
    std::optional<QString> result = fileDialog.Choose(request, nullptr);
    EXPECT_TRUE(seen);
    return result;
}

TEST(QtFileDialog, StartsInTheRequestedFolderWithTheFilterAndToldCancelFromConfirm) {
    fixture::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    const app::FileDialogRequest open{folder + QStringLiteral("\\*.kxs"),
                                      QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"), false};

    const auto cancelled = RunDialog(open, [&](QFileDialog& dialog) {
        EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(folder).canonicalPath());
        EXPECT_EQ(dialog.nameFilters(),
                  QStringList{QStringLiteral("KorvexStudio Projekt (*.kxs)")});
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        dialog.reject();
    });
    EXPECT_FALSE(cancelled.has_value());

    app::FileDialogRequest save = open;
    save.save = true;
    const auto chosen = RunDialog(save, [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        // As the user types the name and presses Enter.
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("Kopie"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QDir::toNativeSeparators(folder + QStringLiteral("/Kopie")));
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
    app::QtMessageSink sink;
    sink.ShowMessage(QStringLiteral("Datei konnte nicht kopiert werden"));
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace travix_test
