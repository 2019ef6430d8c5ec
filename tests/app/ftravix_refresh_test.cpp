// The refresh on real files: the probe of the source text as typed, the password presets, the
// levels and languages loaded from the file, and the options and OK enabled together exactly when
// the source is readable and the copy path text differs from it. A source that probes readable
// but cannot be loaded is reported and leaves everything locked.
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include "projectdb/language_releases.h"
#include "projectdb/project_settings.h"
#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

enum class Source { Empty, Missing, Unreadable, HeldOpen, Plain, Protected };
enum class Copy { Empty, Same, Other, Blanks, OtherCase, TrailingBlanks };
enum class Preset { Kept, Set, Clear };

struct StateRow {
    Source source;
    Copy copy;
    Preset preset;
    bool loaded;
    bool enabled;
};

void PrintTo(const StateRow& row, std::ostream* out) {
    *out << "source " << static_cast<int>(row.source) << ", copy " << static_cast<int>(row.copy);
}

// A language entry as LanguageEntries() shows it; names are the platform's, in its own language.
QString Entry(std::int32_t lcid, bool released) {
    return QStringLiteral("%1:%2:%3")
        .arg(QString::fromStdString(projectdb::GetLanguageName(lcid)))
        .arg(lcid)
        .arg(released ? 1 : 0);
}

const std::vector<int> kCaseLevels = {0, 1, 3, 2, 4, 0, 1, 2};
const std::vector<int> kNeverWritten(8, 5);  // a level never written selects "All Rights"

class FTravixRefresh : public WindowDriver {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        baseline_ = dir_.path() / "baseline.kxs";
        plain_ = dir_.path() / "plain.kxs";
        protected_ = dir_.path() / "protected.kxs";
        foreign_ = dir_.path() / "foreign.kxs";
        BuildProjectFile(baseline_, false);
        BuildProjectFile(plain_, false, kCaseLevels);
        BuildProjectFile(protected_, true, kCaseLevels);
        fixture::Database other = fixture::ProjectDatabase({{1031, "German", "DE", "D", true}});
        other.password = "another";
        other.Build(foreign_);
    }

    // A loaded, enabled window to start from: the baseline file edited in place.
    void Prime() {
        Source()->setText(Text(baseline_));
        Destination()->setText(QString());
        Destination()->setFocus();
        LeaveBox();
        ASSERT_EQ(SelectedLevels(), kNeverWritten);
        ASSERT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
        Destination()->setFocus();
    }

    fs::path baseline_, plain_, protected_, foreign_;
};

class FTravixStateTable : public FTravixRefresh, public ::testing::WithParamInterface<StateRow> {};

TEST_P(FTravixStateTable, PresetsLoadsAndEnablesByTheSourceStateAndTheTexts) {
    const StateRow& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(Prime());
    const QStringList primedLanguages = LanguageEntries();

    QString source;
    std::optional<projectdb::ProjectSettings> holder;
    switch (row.source) {
        case Source::Empty:
            break;
        case Source::Missing:
            source = Text(dir_.path() / "missing.kxs");
            break;
        case Source::Unreadable:
            source = Text(foreign_);
            break;
        case Source::HeldOpen:
            source = Text(plain_);
            holder.emplace();
            holder->OpenProject(plain_.string());
            break;
        case Source::Plain:
            source = Text(plain_);
            break;
        case Source::Protected:
            source = Text(protected_);
            break;
    }
    QString copy;
    switch (row.copy) {
        case Copy::Empty:
            break;
        case Copy::Same:
            copy = source;
            break;
        case Copy::Other:
            copy = Text(dir_.path() / "copy.kxs");
            break;
        case Copy::Blanks:
            copy = QStringLiteral("   ");
            break;
        case Copy::OtherCase:
            copy = source.toUpper();
            break;
        case Copy::TrailingBlanks:
            copy = source + QStringLiteral("  ");
            break;
    }
    Source()->setText(source);
    Destination()->setText(copy);
    // The opposite of the expected preset, so that a preset that did not happen shows.
    if (row.preset == Preset::Set) Find<QRadioButton>("OptPasswordClear")->setChecked(true);
    if (row.preset != Preset::Set) Find<QRadioButton>("optPasswordSet")->setChecked(true);
    refreshes_ = 0;

    LeaveBox();

    EXPECT_EQ(refreshes_, 1);
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(PasswordSetChosen(), row.preset != Preset::Clear);
    EXPECT_EQ(PasswordClearChosen(), row.preset == Preset::Clear);
    EXPECT_EQ(SelectedLevels(), row.loaded ? kCaseLevels : kNeverWritten);
    if (row.loaded) {
        EXPECT_EQ(LanguageEntries(),
                  (QStringList{Entry(1031, true), Entry(1033, false), Entry(1036, false)}));
    } else {
        EXPECT_EQ(LanguageEntries(), primedLanguages);
    }
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, row.enabled));
    EXPECT_EQ(Find("cmdOK")->isEnabled(), row.enabled);
    // Locked with their container, never on their own.
    EXPECT_FALSE(Find("lstLockLanguages")->testAttribute(Qt::WA_ForceDisabled));
    EXPECT_FALSE(Find("fraIndextextEditor")->testAttribute(Qt::WA_ForceDisabled));
    EXPECT_EQ(Find("lstLockLanguages")->isEnabled(), row.enabled);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, FTravixStateTable,
    ::testing::Values(
        // state 0 or 3: nothing loaded, the earlier presets and lists stay, all locked
        StateRow{Source::Empty, Copy::Empty, Preset::Kept, false, false},
        StateRow{Source::Missing, Copy::Empty, Preset::Kept, false, false},
        StateRow{Source::Missing, Copy::Other, Preset::Kept, false, false},
        StateRow{Source::Unreadable, Copy::Other, Preset::Kept, false, false},
        StateRow{Source::Unreadable, Copy::Empty, Preset::Kept, false, false},
        StateRow{Source::HeldOpen, Copy::Other, Preset::Kept, false, false},
        // state 1: "Nein" in place, "Ja" for a copy
        StateRow{Source::Plain, Copy::Empty, Preset::Clear, true, true},
        StateRow{Source::Plain, Copy::Other, Preset::Set, true, true},
        StateRow{Source::Plain, Copy::Same, Preset::Set, true, false},
        StateRow{Source::Plain, Copy::Blanks, Preset::Clear, true, true},
        StateRow{Source::Plain, Copy::OtherCase, Preset::Set, true, true},
        StateRow{Source::Plain, Copy::TrailingBlanks, Preset::Set, true, true},
        // state 2: "Ja" in place, "Nein" for a copy
        StateRow{Source::Protected, Copy::Empty, Preset::Set, true, true},
        StateRow{Source::Protected, Copy::Other, Preset::Clear, true, true},
        StateRow{Source::Protected, Copy::Same, Preset::Clear, true, false},
        StateRow{Source::Protected, Copy::Blanks, Preset::Set, true, true}));

// On a file system that keeps blanks in names, " x" and "x" are two files: the probe and the
// language load see the text as typed, the project settings component the trimmed one.
TEST_F(FTravixRefresh, TheProbeAndTheLanguagesTakeTheTextAsTypedTheProjectItTrimmed) {
    const fs::path trimmed = dir_.path() / "p.kxs";
    const fs::path typed = dir_.path() / "p.kxs  ";
    BuildProjectFile(trimmed, false, kCaseLevels);
    fixture::ProjectDatabase({{1033, "English", "EN", "English", true}}).Build(typed);

    TypePath(Source(), Text(typed));
    LeaveBox();

    EXPECT_EQ(SelectedLevels(), kCaseLevels);
    EXPECT_EQ(LanguageEntries(), QStringList{Entry(1033, true)});
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));

    // Without the file as typed the probe finds nothing, although the trimmed name exists.
    fs::remove(typed);
    Source()->setFocus();
    LeaveBox();
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, false));
}

// testV2003.mdb, made by Access, opens without a password but has no TcfgLanguages: the language
// load fails after the levels were read.
TEST_F(FTravixRefresh, ASourceThatCannotBeLoadedIsReportedAndLeavesEverythingLocked) {
    const fs::path real = dir_.path() / "testV2003.mdb";
    CopyJetFile("jet4/testV2003.mdb", real);
    const std::string before = FileBytes(real);

    TypePath(Source(), Text(real));
    TypePath(Destination(), Text(dir_.path() / "copy.kxs"));
    LeaveBox();

    // Moving into the copy box refreshed once, leaving it once more: one report each.
    ASSERT_EQ(messages_.messages.size(), 2);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")))
        << messages_.messages[0].toStdString();
    EXPECT_GT(messages_.messages[0].size(), 4);
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, false));
    EXPECT_EQ(SelectedLevels(), kNeverWritten);  // the levels came before the failure
    EXPECT_TRUE(LanguageEntries().isEmpty());
    EXPECT_EQ(FileBytes(real), before);
    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_TRUE(exits_.empty());

    // The window stays usable: another source loads and unlocks it.
    TypePath(Source(), Text(plain_));
    LeaveBox();
    EXPECT_EQ(messages_.messages.size(), 2);
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
    EXPECT_EQ(SelectedLevels(), kCaseLevels);
    // The project was closed after the failure: the file is free for anyone.
    projectdb::ProjectSettings settings;
    EXPECT_NO_THROW(settings.CloseProject(settings.OpenProject(real.string())));
}

// The report is a window of its own; once it is closed the main window is active again, so that
// leaving a path box goes on validating.
TEST_F(FTravixRefresh, AfterTheReportLeavingABoxStillValidates) {
    const fs::path real = dir_.path() / "testV2003.mdb";
    CopyJetFile("jet4/testV2003.mdb", real);
    messages_.whileShown = [] {
        QWidget box;
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    };
    Source()->setText(Text(real));
    Source()->setFocus();
    QTest::keyClick(Source(), Qt::Key_Tab);
    ASSERT_EQ(messages_.messages.size(), 1);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

    messages_.whileShown = nullptr;
    Source()->setText(Text(plain_));
    Source()->setFocus();
    refreshes_ = 0;
    QTest::keyClick(Source(), Qt::Key_Tab);
    EXPECT_EQ(refreshes_, 1);
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
}

}  // namespace
}  // namespace travix_test
