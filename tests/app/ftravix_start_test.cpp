// The window right after start-up, in German (no registry file, or LCID 1031) and in English (LCID
// 1033); a start-up that fails; a start with a project on the command line; and a run that leaves
// an empty home empty. Under CTest each case is a process of its own, as the program is.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <array>

#include "app/startup.h"
#include "window_driver.h"

namespace travix_test {
namespace {

using Texts = std::array<const char*, 2>;  // German, English

const std::pair<const char*, Texts> kCaptions[] = {
    {"FTravix",
     {"KorvexStudio Projektdatenbank Im-/ExportTool",
      "KorvexStudio Project Database Im-/ExportTool"}},
    {"lblSource", {"Datenbankpfad", "Database path"}},
    {"fraPassword", {"Datenbankpasswort", "Database password"}},
    {"OptPasswordClear", {"Nein", "No"}},
    {"fraOPCEditor", {"OPC - Editor", "OPC editor"}},
    {"fraKX4VariableEditor", {"Variableneditor (alt)", "Variables editor (old)"}},
    {"lblEditorComponent_7", {"Rechte", "Rights"}},
    {"cmdHelp", {"&Hilfe", "&Help"}},
    {"cmdChoosePathSource", {"...", "..."}},  // no Tag: the layout's text in both languages
};

const Texts kLevelNames[] = {
    {"Nicht anzeigen", "Don't Show"},        {"anzeigen", "Show"},
    {"Indextexte bearbeiten", "Edit Texts"}, {"Objekte bearbeiten", "Edit objects"},
    {"Objekte hinzufügen", "Add Objects"},   {"Alle Rechte", "All Rights"},
};

QString CaptionOf(const QWidget* widget) {
    if (auto* frame = qobject_cast<const QGroupBox*>(widget)) return frame->title();
    if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return widget->windowTitle();
}

class FTravixAfterLoad : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(FTravixAfterLoad, CaptionsLevelListsKeysFocusOrderAndInitialStates) {
    const auto [lcid, column] = GetParam();
    ScratchRegistry registry(lcid);
    RecordingMessageSink messages;
    app::WindowServices services;
    services.messages = &messages;
    const std::unique_ptr<app::FTravix> window = app::StartTravix(services);
    ASSERT_NE(window, nullptr) << messages.errors.join('\n').toStdString();
    const auto widget = [&](const QString& name) -> QWidget* {
        return name == "FTravix" ? window.get() : window->findChild<QWidget*>(name);
    };
    for (const auto& [control, text] : kCaptions) {
        EXPECT_EQ(CaptionOf(widget(control)), QString::fromUtf8(text[column])) << control;
    }
    EXPECT_EQ(window->ComponentKeys(),
              (std::vector<std::string>{"KXAlarmeditor", "KXArchiveditor", "KXOPCEditor",
                                        "KXIndextexteditor", "KXFormulaEditor", "KXRecipeEditor",
                                        "KXUserAdminEditor", "KX4VariableEditor"}));
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        SCOPED_TRACE(testing::Message() << "component " << i);
        QComboBox* list = window->cmbEditorComponent(i);
        EXPECT_EQ(list, widget(QStringLiteral("cmbEditorComponent_%1").arg(i)));
        // The OPC editor (index 2) offers no level 2; its positions 2, 3, 4 carry levels 3, 4, 5.
        QStringList entries, expected;
        for (int row = 0; row < list->count(); ++row) {
            entries << list->itemText(row) + ':' + list->itemData(row).toString();
        }
        for (int level = 0; level <= 5; ++level) {
            if (i != 2 || level != 2) {
                expected << QString::fromUtf8(kLevelNames[level][column]) + ':' +
                                QString::number(level);
            }
        }
        EXPECT_EQ(entries, expected);
        EXPECT_TRUE(list->isEditable());
        EXPECT_EQ(list->completer(), nullptr);  // typed text is never completed into an entry
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_TRUE(list->currentText().isEmpty());
        EXPECT_TRUE(list->testAttribute(Qt::WA_ForceDisabled));
    }
    for (const char* locked : {"cmdOK", "fraPassword", "optPasswordSet", "fraEditorComponent"}) {
        EXPECT_TRUE(widget(locked)->testAttribute(Qt::WA_ForceDisabled)) << locked;
    }
    for (const char* usable : {"txtSource", "cmdChoosePathDestination", "cmdCancel", "cmdHelp"}) {
        EXPECT_TRUE(widget(usable)->isEnabled()) << usable;
    }
    EXPECT_TRUE(qobject_cast<QRadioButton*>(widget("optPasswordSet"))->isChecked());
    EXPECT_EQ(qobject_cast<QListWidget*>(widget("lstLockLanguages"))->count(), 0);
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault())
            << qPrintable(button->objectName());
    }
    const QStringList order =
        QStringLiteral(
            "txtSource cmdChoosePathSource txtDestination cmdChoosePathDestination optPasswordSet "
            "OptPasswordClear cmdOK cmdCancel cmdHelp cmbEditorComponent_0 cmbEditorComponent_1 "
            "cmbEditorComponent_3 lstLockLanguages cmbEditorComponent_2 cmbEditorComponent_4 "
            "cmbEditorComponent_5 cmbEditorComponent_6 cmbEditorComponent_7")
            .split(' ');
    QStringList chain;
    QWidget* next = widget("txtSource");
    do {
        if (order.contains(next->objectName())) chain << next->objectName();
        next = next->nextInFocusChain();
    } while (next != widget("txtSource") && chain.size() <= order.size());
    EXPECT_EQ(chain, order);
}

INSTANTIATE_TEST_SUITE_P(Languages, FTravixAfterLoad,
                         ::testing::Values(std::pair<const char*, int>{nullptr, 0},
                                           std::pair<const char*, int>{"1031", 0},
                                           std::pair<const char*, int>{"1033", 1}),
                         [](const auto& info) {
                             return std::string(!info.param.first   ? "German"
                                                : info.param.second ? "English"
                                                                    : "GermanByLcid");
                         });

// Runs the program's start-up and event loop; `whileRunning` sees the shown window, then the loop
// ends. Returns the exit status.
int RunProgram(RecordingMessageSink& messages, const QString& projectPath,
               const std::function<void(app::FTravix&)>& whileRunning) {
    app::WindowServices services;
    services.messages = &messages;
    // A start-up that fails never runs the loop; the timer must die with this call, not fire in
    // the next test's loop with references into a finished frame.
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<app::FTravix*>(widget)) whileRunning(*window);
        }
        QApplication::exit(0);
    });
    return app::RunTravix(*qApp, services, projectPath);
}

TEST(FailedStartup, ShowsTheReasonAndEndsWithANonZeroStatus) {
    // The LCID written (nullptr: a folder where the registry file belongs) and what to mention.
    for (const auto& [lcid, mentions] : {std::pair{"abc", "abc"},
                                         {"4294967296", "4294967296"},
                                         {nullptr, "HKEY_LOCAL_MACHINE.ini"}}) {
        ScratchRegistry registry(lcid);
        if (lcid == nullptr) std::filesystem::create_directory(registry.HiveFile());
        RecordingMessageSink messages;
        bool shown = false;
        EXPECT_EQ(RunProgram(messages, {}, [&](app::FTravix&) { shown = true; }),
                  app::kStartupFailureStatus);
        EXPECT_FALSE(shown);
        EXPECT_EQ(messages.errors.size(), 1);
        EXPECT_TRUE(messages.errors.value(0).contains("LCID") &&
                    messages.errors.value(0).contains(mentions))
            << messages.errors.join('\n').toStdString();
    }
}

// A file manager's "open with": the path lands in the source box as if chosen through "...".
TEST(CommandLine, AProjectPathIsShownSelectedAndRefreshed) {
    ScratchRegistry registry;
    fixture::TempDir dir;
    BuildProjectFile(dir.path() / "Anlage.kxs", false, {0, 1, 3, 2, 4, 0, 1, 2});
    const QString full = QString::fromStdString((dir.path() / "Anlage.kxs").string());
    RecordingMessageSink messages;
    EXPECT_EQ(RunProgram(messages, QDir::current().relativeFilePath(full),
                         [&](app::FTravix& window) {
                             auto* box = window.findChild<QLineEdit*>("txtSource");
                             EXPECT_EQ(box->text(), full);
                             EXPECT_EQ(box->selectedText(), full);
                             EXPECT_EQ(window.focusWidget(), box);
                             EXPECT_TRUE(window.findChild<QWidget*>("cmdOK")->isEnabled());
                             EXPECT_EQ(window.cmbEditorComponent(2)->currentData(), QVariant(3));
                         }),
              0);
    EXPECT_TRUE(messages.messages.isEmpty() && messages.errors.isEmpty());
}

// The tool stores no settings: a run in a child process with Qt's own file dialog, opened and
// cancelled, then Cancel, which ends the program at once with status 0, leaves the home empty.
TEST(EmptyHome, StartingChoosingAPathAndCancellingLeavesNoFileBehind) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScratchRegistry registry;
    ASSERT_EQ(FilesInTestHome(), QStringList());
    EXPECT_EXIT(
        {
            RecordingMessageSink messages;
            app::WindowServices services;
            services.messages = &messages;
            const std::unique_ptr<app::FTravix> window = app::StartTravix(services);
            window->show();
            QTimer::singleShot(300, [] {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    if (auto* dialog = qobject_cast<QFileDialog*>(widget)) dialog->reject();
                }
            });
            QTest::mouseClick(window->findChild<QWidget*>("cmdChoosePathSource"), Qt::LeftButton);
            QTest::mouseClick(window->findChild<QWidget*>("cmdCancel"), Qt::LeftButton);
            std::fputs("the program went on after Cancel", stderr);
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(FilesInTestHome(), QStringList());
}

}  // namespace
}  // namespace travix_test
