// The window right after start-up, in German (LCID 1031) and in English (LCID 1033); a start-up
// that fails; and a start with a project on the command line. Each case also passes with the
// others in one process, although the program runs once per process.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
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
    {"fraPassword", {"Datenbankpasswort", "Database password"}},
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

class FTravixAfterLoad : public WindowDriver,
                         public ::testing::WithParamInterface<std::pair<const char*, int>> {
  protected:
    FTravixAfterLoad() { lcid_ = GetParam().first; }
};

TEST_P(FTravixAfterLoad, CaptionsLevelListsKeysFocusOrderAndInitialStates) {
    const int column = GetParam().second;
    const auto widget = [&](const QString& name) -> QWidget* {
        return name == "FTravix" ? window_.get() : window_->findChild<QWidget*>(name);
    };
    for (const auto& [control, text] : kCaptions) {
        EXPECT_EQ(CaptionOf(widget(control)), QString::fromUtf8(text[column])) << control;
    }
    for (std::size_t i = 0; i < app::kComponentCount; ++i) {
        SCOPED_TRACE(testing::Message() << "component " << i);
        QComboBox* list = window_->cmbEditorComponent(i);
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
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_TRUE(list->currentText().isEmpty());
        EXPECT_TRUE(list->testAttribute(Qt::WA_ForceDisabled));
    }
    for (const char* locked : {"cmdOK", "fraPassword", "optPasswordSet", "fraEditorComponent"}) {
        EXPECT_TRUE(widget(locked)->testAttribute(Qt::WA_ForceDisabled)) << locked;
    }
    EXPECT_TRUE(qobject_cast<QRadioButton*>(widget("optPasswordSet"))->isChecked());
    EXPECT_EQ(qobject_cast<QListWidget*>(widget("lstLockLanguages"))->count(), 0);
    for (QPushButton* button : window_->findChildren<QPushButton*>()) {
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

// German is also the default for an absent LCID, which tests/platform checks.
INSTANTIATE_TEST_SUITE_P(Languages, FTravixAfterLoad,
                         ::testing::Values(std::pair<const char*, int>{"1031", 0},
                                           std::pair<const char*, int>{"1033", 1}),
                         [](const auto& info) { return info.param.second ? "English" : "German"; });

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
    // Which values and stores the registry refuses is checked in tests/platform.
    WriteLcid("abc");
    RecordingMessageSink messages;
    EXPECT_EQ(RunProgram(messages, {}, [](app::FTravix&) { ADD_FAILURE() << "a window showed"; }),
              app::kStartupFailureStatus);
    EXPECT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors.value(0).contains("LCID") &&
                messages.errors.value(0).contains("abc"))
        << messages.errors.join('\n').toStdString();
}

// A file manager's "open with": the path lands in the source box as if chosen through "...".
TEST(CommandLine, AProjectPathIsShownSelectedAndRefreshed) {
    WriteLcid("1031");
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
                             EXPECT_EQ(window.cmbEditorComponent(2)->currentData(), QVariant(3));
                         }),
              0);
    EXPECT_TRUE(messages.messages.isEmpty() && messages.errors.isEmpty());
}

}  // namespace
}  // namespace travix_test
