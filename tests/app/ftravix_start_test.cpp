// The window right after start-up, in German (no registry file, or LCID 1031) and in English (LCID
// 1033); a start-up that fails; a start with a project on the command line; and that a run writes
// nothing into an empty home. Under CTest each case is a process of its own, as the program is.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <array>
#include <vector>

#include "app/FTravix.h"
#include "app/startup.h"
#include "app_test_support.h"
#include "window_driver.h"

namespace travix_test {
namespace {

struct Language {
    const char* name;
    const char* lcid;  // nullptr: no registry file at all
    int column;        // 0 German, 1 English
};

using Texts = std::array<const char*, 2>;  // German, English

const std::pair<const char*, Texts> kCaptions[] = {
    {"FTravix",
     {"KorvexStudio Projektdatenbank Im-/ExportTool",
      "KorvexStudio Project Database Im-/ExportTool"}},
    {"fraProjectFile", {"Projektdatenbank", "Project database"}},
    {"lblSource", {"Datenbankpfad", "Database path"}},
    {"lblDestPath", {"Kopierpfad", "Copy path"}},
    {"fraPassword", {"Datenbankpasswort", "Database password"}},
    {"optPasswordSet", {"Ja", "Yes"}},
    {"OptPasswordClear", {"Nein", "No"}},
    {"fraEditorComponent", {"Komponentenberechtigungen", "Component Authorization"}},
    {"fraAlarmeditor", {"Alarmeditor", "Alarm editor"}},
    {"fraArchivEditor", {"Archiveditor", "Archive editor"}},
    {"fraOPCEditor", {"OPC - Editor", "OPC editor"}},
    {"fraIndextextEditor", {"Indextexteditor", "Indextext editor"}},
    {"fraFormulaEditor", {"Formeleditor", "Formula Editor"}},
    {"fraRecipeEditor", {"Rezepteditor", "Recipe Editor"}},
    {"fraUserAdminEditor", {"Benutzerverwaltung", "User Administration"}},
    {"fraKX4VariableEditor", {"Variableneditor (alt)", "Variables editor (old)"}},
    {"lblEditorComponentLanguage", {"Sprachfreigaben", "Language authorization"}},
    {"lblEditorComponent_7", {"Rechte", "Rights"}},
    {"cmdOK", {"OK", "OK"}},
    {"cmdCancel", {"Abbrechen", "Cancel"}},
    {"cmdHelp", {"&Hilfe", "&Help"}},
    // No Tag: the layout's text stays in both languages.
    {"cmdChoosePathSource", {"...", "..."}},
};

const Texts kLevelNames[] = {
    {"Nicht anzeigen", "Don't Show"},        {"anzeigen", "Show"},
    {"Indextexte bearbeiten", "Edit Texts"}, {"Objekte bearbeiten", "Edit objects"},
    {"Objekte hinzufügen", "Add Objects"},   {"Alle Rechte", "All Rights"},
};

// The sub-frame of each component index, in index order.
const std::array<const char*, 8> kSubFrames = {
    "fraAlarmeditor",   "fraArchivEditor", "fraOPCEditor",       "fraIndextextEditor",
    "fraFormulaEditor", "fraRecipeEditor", "fraUserAdminEditor", "fraKX4VariableEditor"};

QStringList Names(const char* list) {
    return QString::fromLatin1(list).split(' ');
}

QString CaptionOf(const QWidget* widget) {
    if (auto* frame = qobject_cast<const QGroupBox*>(widget)) return frame->title();
    if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return widget->windowTitle();
}

class FTravixAfterLoad : public ::testing::TestWithParam<Language> {
  protected:
    void SetUp() override {
        if (GetParam().lcid != nullptr) registry_.WriteHive(HiveWithLcid(GetParam().lcid));
        services_.messages = &messages_;
        window_ = app::StartTravix(services_);
        ASSERT_NE(window_, nullptr) << messages_.errors.join('\n').toStdString();
    }
    QWidget* Widget(const QString& name) const {
        if (window_->objectName() == name) return window_.get();
        auto* widget = window_->findChild<QWidget*>(name);
        EXPECT_NE(widget, nullptr) << qPrintable(name);
        return widget;
    }
    QRect Box(const QString& name) const {
        return QRect(Widget(name)->mapTo(window_.get(), QPoint(0, 0)), Widget(name)->size());
    }

    ScratchRegistry registry_;
    RecordingMessageSink messages_;
    app::WindowServices services_;
    std::unique_ptr<app::FTravix> window_;
};

TEST_P(FTravixAfterLoad, CaptionsLevelListsKeysAndInitialStates) {
    const int column = GetParam().column;
    for (const auto& [control, text] : kCaptions) {
        EXPECT_EQ(CaptionOf(Widget(control)), QString::fromUtf8(text[column])) << control;
    }
    EXPECT_TRUE(Widget("cmdChoosePathDestination")->font().bold());
    EXPECT_EQ(window_->ComponentKeys(),
              (std::vector<std::string>{"KXAlarmeditor", "KXArchiveditor", "KXOPCEditor",
                                        "KXIndextexteditor", "KXFormulaEditor", "KXRecipeEditor",
                                        "KXUserAdminEditor", "KX4VariableEditor"}));
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        SCOPED_TRACE(testing::Message() << "component " << i);
        QComboBox* list = window_->cmbEditorComponent(i);
        EXPECT_EQ(list, Widget(QStringLiteral("cmbEditorComponent_%1").arg(i)));
        EXPECT_TRUE(Widget(kSubFrames[i])->isAncestorOf(list));
        EXPECT_TRUE(Widget(kSubFrames[i])->isAncestorOf(window_->lblEditorComponent(i)));
        // The OPC editor (index 2) offers no level 2; its positions 2, 3, 4 carry levels 3, 4, 5.
        const std::vector<int> levels =
            i == 2 ? std::vector<int>{0, 1, 3, 4, 5} : std::vector<int>{0, 1, 2, 3, 4, 5};
        ASSERT_EQ(list->count(), static_cast<int>(levels.size()));
        for (int row = 0; row < list->count(); ++row) {
            const int level = levels[static_cast<std::size_t>(row)];
            EXPECT_EQ(list->itemText(row), QString::fromUtf8(kLevelNames[level][column]));
            EXPECT_EQ(list->itemData(row), QVariant(level));
        }
        EXPECT_TRUE(list->isEditable());
        EXPECT_EQ(list->completer(), nullptr);  // typed text is never completed into an entry
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_TRUE(list->currentText().isEmpty());
    }
    EXPECT_TRUE(Widget("fraIndextextEditor")->isAncestorOf(Widget("lstLockLanguages")));
    // Locked on their own, or (the language list, the sub-frames) by their container only.
    QStringList locked = Names(
        "fraPassword optPasswordSet OptPasswordClear fraEditorComponent "
        "lblEditorComponentLanguage cmdOK");
    for (int i = 0; i < 8; ++i) {
        locked << QStringLiteral("cmbEditorComponent_%1").arg(i)
               << QStringLiteral("lblEditorComponent_%1").arg(i);
    }
    for (const QString& name : locked + Names("txtSource cmdChoosePathSource txtDestination "
                                              "cmdChoosePathDestination cmdCancel cmdHelp")) {
        EXPECT_EQ(Widget(name)->testAttribute(Qt::WA_ForceDisabled), locked.contains(name))
            << qPrintable(name);
    }
    EXPECT_FALSE(Widget("lstLockLanguages")->isEnabled());
    EXPECT_TRUE(qobject_cast<QRadioButton*>(Widget("optPasswordSet"))->isChecked());
    EXPECT_EQ(qobject_cast<QListWidget*>(Widget("lstLockLanguages"))->count(), 0);
    // Enter must not press a button: none is the window's default.
    for (QPushButton* button : window_->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << qPrintable(button->objectName());
    }
}

TEST_P(FTravixAfterLoad, FocusOrderAndLayout) {
    const QStringList order = Names(
        "txtSource cmdChoosePathSource txtDestination cmdChoosePathDestination optPasswordSet "
        "OptPasswordClear cmdOK cmdCancel cmdHelp cmbEditorComponent_0 cmbEditorComponent_1 "
        "cmbEditorComponent_3 lstLockLanguages cmbEditorComponent_2 cmbEditorComponent_4 "
        "cmbEditorComponent_5 cmbEditorComponent_6 cmbEditorComponent_7");
    QStringList chain;
    QWidget* widget = Widget("txtSource");
    do {
        if (order.contains(widget->objectName())) chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != Widget("txtSource") && chain.size() <= order.size());
    EXPECT_EQ(chain, order);

    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    // Each "a:b" ends left of where b starts; the sub-frames 0, 2, 5, 7 form the left column.
    for (const QString& pair :
         Names("lblSource:txtSource txtSource:cmdChoosePathSource lblDestPath:txtDestination "
               "cmdChoosePathSource:fraPassword fraAlarmeditor:fraArchivEditor cmdOK:cmdCancel "
               "cmdCancel:cmdHelp")) {
        EXPECT_LT(Box(pair.section(':', 0, 0)).right(), Box(pair.section(':', 1)).left())
            << qPrintable(pair);
    }
    // Each "a:b" ends above where b starts; 1, 4, 6, 3 form the right column.
    for (const QString& pair :
         Names("txtSource:txtDestination optPasswordSet:OptPasswordClear "
               "txtDestination:fraEditorComponent fraProjectFile:cmdOK fraAlarmeditor:fraOPCEditor "
               "fraOPCEditor:fraRecipeEditor fraRecipeEditor:fraKX4VariableEditor "
               "fraArchivEditor:fraFormulaEditor fraFormulaEditor:fraUserAdminEditor "
               "fraUserAdminEditor:fraIndextextEditor")) {
        EXPECT_LT(Box(pair.section(':', 0, 0)).bottom(), Box(pair.section(':', 1)).top())
            << qPrintable(pair);
    }
    EXPECT_EQ(Box("cmdChoosePathSource").width(), Box("cmdChoosePathSource").height());
    EXPECT_GE(Box("fraIndextextEditor").height(), 4 * Box("fraArchivEditor").height());
}

INSTANTIATE_TEST_SUITE_P(Languages, FTravixAfterLoad,
                         ::testing::Values(Language{"German", nullptr, 0},
                                           Language{"GermanByLcid", "1031", 0},
                                           Language{"English", "1033", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs the program's start-up and event loop; `whileRunning` sees the shown window and ends the
// loop. Returns the exit status.
int RunProgram(const app::WindowServices& services, const QString& projectPath,
               const std::function<void(app::FTravix&)>& whileRunning) {
    QTimer::singleShot(0, qApp, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<app::FTravix*>(widget)) whileRunning(*window);
        }
        QApplication::exit(0);
    });
    return app::RunTravix(*qApp, services, projectPath);
}

TEST(FailedStartup, ShowsTheReasonAndEndsWithANonZeroStatus) {
    // The LCID written (nullptr: an unreadable registry file) and what the user must see.
    for (const auto& [lcid, mentions] : {std::pair{"abc", "abc"},
                                         {"4294967296", "4294967296"},
                                         {nullptr, "HKEY_LOCAL_MACHINE.ini"}}) {
        SCOPED_TRACE(mentions);
        ScratchRegistry registry;
        if (lcid != nullptr) {
            registry.WriteHive(HiveWithLcid(lcid));
        } else {
            std::filesystem::create_directory(registry.HiveFile());
        }
        RecordingMessageSink messages;
        app::WindowServices services;
        services.messages = &messages;
        bool shown = false;
        EXPECT_EQ(RunProgram(services, {}, [&](app::FTravix&) { shown = true; }),
                  app::kStartupFailureStatus);
        EXPECT_FALSE(shown);
        ASSERT_EQ(messages.errors.size(), 1);
        EXPECT_TRUE(messages.errors[0].contains("LCID")) << messages.errors[0].toStdString();
        EXPECT_TRUE(messages.errors[0].contains(mentions)) << messages.errors[0].toStdString();
    }
}

// A file manager's "open with": the path lands in the source box as if chosen through "...".
TEST(CommandLine, AProjectPathIsShownSelectedAndRefreshed) {
    ScratchRegistry registry;
    fixture::TempDir dir;
    BuildProjectFile(dir.path() / "Anlage.kxs", false, {0, 1, 3, 2, 4, 0, 1, 2});
    RecordingMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    const QString relative = QDir::current().relativeFilePath(
        QString::fromStdString((dir.path() / "Anlage.kxs").string()));
    EXPECT_EQ(RunProgram(services, relative,
                         [&](app::FTravix& window) {
                             auto* box = window.findChild<QLineEdit*>("txtSource");
                             const QString full =
                                 QString::fromStdString((dir.path() / "Anlage.kxs").string());
                             EXPECT_EQ(box->text(), full);
                             EXPECT_EQ(box->selectedText(), full);
                             EXPECT_EQ(window.focusWidget(), box);
                             EXPECT_TRUE(window.findChild<QWidget*>("cmdOK")->isEnabled());
                             EXPECT_EQ(window.cmbEditorComponent(2)->currentData(), QVariant(3));
                         }),
              0);
    EXPECT_TRUE(messages.messages.isEmpty() && messages.errors.isEmpty());
}

// The tool stores no settings: a whole run with Qt's own file dialog, opened and cancelled, and the
// window closed through its title bar, leaves the empty home as it found it.
TEST(EmptyHome, StartingChoosingAPathAndClosingLeavesNoFileBehind) {
    ASSERT_EQ(FilesInTestHome(), QStringList());
    ScratchRegistry registry;
    RecordingMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    EXPECT_EQ(RunProgram(services, {},
                         [](app::FTravix& window) {
                             QTimer::singleShot(300, [] {
                                 for (QWidget* widget : QApplication::topLevelWidgets()) {
                                     if (auto* dialog = qobject_cast<QFileDialog*>(widget)) {
                                         dialog->reject();
                                     }
                                 }
                             });
                             QTest::mouseClick(window.findChild<QWidget*>("cmdChoosePathSource"),
                                               Qt::LeftButton);
                             ASSERT_TRUE(window.windowHandle()->close());
                         }),
              0);
    EXPECT_EQ(FilesInTestHome(), QStringList());
}

}  // namespace
}  // namespace travix_test
