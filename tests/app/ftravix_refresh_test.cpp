// The refresh on real files: the probe of the source text as typed, the password presets, the
// levels and languages loaded from the file, and the options and OK enabled together exactly when
// the source is readable and the copy path text differs from it. A source that probes readable
// but cannot be loaded is reported and leaves everything locked.
#include <QRadioButton>
#include <QTest>

#include "jet/database.h"
#include "projectdb/language_releases.h"
#include "projectdb/project_settings.h"
#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

enum class Copy { Empty, Same, Other, Blanks, OtherCase, TrailingBlanks };
enum class Preset { Kept, Set, Clear };

struct StateRow {
    const char* source;  // a file in the test folder, "" for an empty box
    bool heldOpen;       // another program has the source open
    Copy copy;
    Preset preset;
    bool loaded;
    bool enabled;
};

void PrintTo(const StateRow& row, std::ostream* out) {
    *out << "source '" << row.source << (row.heldOpen ? "' held open" : "'") << ", copy "
         << static_cast<int>(row.copy);
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
        BuildProjectFile(dir_.path() / "baseline.kxs", false);
        BuildProjectFile(Path("plain.kxs"), false, kCaseLevels);
        BuildProjectFile(dir_.path() / "protected.kxs", true, kCaseLevels);
        BuildProjectFile(dir_.path() / "foreign.kxs", false);
        jet::Database::Open((dir_.path() / "foreign.kxs").string())->NewPassword("", "another");
    }
    fs::path Path(const char* name) const { return dir_.path() / name; }
};

class FTravixStateTable : public FTravixRefresh, public ::testing::WithParamInterface<StateRow> {};

TEST_P(FTravixStateTable, PresetsLoadsAndEnablesByTheSourceStateAndTheTexts) {
    const StateRow& row = GetParam();
    // Start from a loaded, enabled window: the baseline file edited in place.
    TypePath(Source(), Text(Path("baseline.kxs")));
    LeaveBox();
    ASSERT_EQ(EnabledStates(), All(true));
    const QStringList primedLanguages = LanguageEntries();

    const QString source = *row.source ? Text(Path(row.source)) : QString();
    std::optional<projectdb::ProjectSettings> holder;
    if (row.heldOpen) holder.emplace().OpenProject(Path(row.source).string());
    const QString copies[] = {QString(),
                              source,
                              Text(Path("copy.kxs")),
                              QStringLiteral("   "),
                              source.toUpper(),
                              source + QStringLiteral("  ")};
    Source()->setText(source);
    Destination()->setText(copies[static_cast<int>(row.copy)]);
    // The opposite of the expected preset, so that a preset that did not happen shows.
    Find<QRadioButton>(row.preset == Preset::Set ? "OptPasswordClear" : "optPasswordSet")
        ->setChecked(true);
    refreshes_ = 0;

    LeaveBox();

    EXPECT_EQ(refreshes_, 1);
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(PasswordSetChosen(), row.preset != Preset::Clear);
    EXPECT_EQ(SelectedLevels(), row.loaded ? kCaseLevels : kNeverWritten);
    EXPECT_EQ(LanguageEntries(),
              row.loaded ? (QStringList{Entry(1031, true), Entry(1033, false), Entry(1036, false)})
                         : primedLanguages);
    EXPECT_EQ(EnabledStates(), All(row.enabled));
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
        StateRow{"", false, Copy::Empty, Preset::Kept, false, false},
        StateRow{"missing.kxs", false, Copy::Empty, Preset::Kept, false, false},
        StateRow{"missing.kxs", false, Copy::Other, Preset::Kept, false, false},
        StateRow{"foreign.kxs", false, Copy::Other, Preset::Kept, false, false},
        StateRow{"foreign.kxs", false, Copy::Empty, Preset::Kept, false, false},
        StateRow{"plain.kxs", true, Copy::Other, Preset::Kept, false, false},
        // state 1: "Nein" in place, "Ja" for a copy
        StateRow{"plain.kxs", false, Copy::Empty, Preset::Clear, true, true},
        StateRow{"plain.kxs", false, Copy::Other, Preset::Set, true, true},
        StateRow{"plain.kxs", false, Copy::Same, Preset::Set, true, false},
        StateRow{"plain.kxs", false, Copy::Blanks, Preset::Clear, true, true},
        StateRow{"plain.kxs", false, Copy::OtherCase, Preset::Set, true, true},
        StateRow{"plain.kxs", false, Copy::TrailingBlanks, Preset::Set, true, true},
        // state 2: "Ja" in place, "Nein" for a copy
        StateRow{"protected.kxs", false, Copy::Empty, Preset::Set, true, true},
        StateRow{"protected.kxs", false, Copy::Other, Preset::Clear, true, true},
        StateRow{"protected.kxs", false, Copy::Same, Preset::Clear, true, false},
        StateRow{"protected.kxs", false, Copy::Blanks, Preset::Set, true, true}));

// On a file system that keeps blanks in names, " x" and "x" are two files: the probe and the
// language load see the text as typed, the project settings component the trimmed one.
TEST_F(FTravixRefresh, TheProbeAndTheLanguagesTakeTheTextAsTypedTheProjectItTrimmed) {
    BuildProjectFile(Path("p.kxs"), false, kCaseLevels);
    fixture::CopyProjectFile("duplicate-languages.kxs", Path("p.kxs  "));

    TypePath(Source(), Text(Path("p.kxs  ")));
    LeaveBox();
    EXPECT_EQ(SelectedLevels(), kCaseLevels);
    EXPECT_EQ(LanguageEntries(), (QStringList{Entry(1031, true), Entry(1033, true),
                                              Entry(1031, false), Entry(1036, true)}));
    EXPECT_EQ(EnabledStates(), All(true));

    // Without the file as typed the probe finds nothing, although the trimmed name exists.
    fs::remove(Path("p.kxs  "));
    Source()->setFocus();
    LeaveBox();
    EXPECT_EQ(EnabledStates(), All(false));
}

// testV2003.mdb, made by Access, opens without a password but has no TcfgLanguages: the language
// load fails after the levels were read. The report is a window of its own; once it is closed the
// main window must be active again, so that leaving a path box goes on validating.
TEST_F(FTravixRefresh, ASourceThatCannotBeLoadedIsReportedAndLeavesEverythingLocked) {
    const fs::path real = Path("testV2003.mdb");
    CopyJetFile("jet4/testV2003.mdb", real);
    const std::string before = FileBytes(real);
    messages_.whileShown = [] {
        QWidget box;
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    };
    TypePath(Source(), Text(real));
    QTest::keyClick(Source(), Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")))
        << messages_.messages[0].toStdString();
    EXPECT_GT(messages_.messages[0].size(), 4);  // the description follows the number
    EXPECT_EQ(EnabledStates(), All(false));
    EXPECT_EQ(SelectedLevels(), kNeverWritten);  // the levels came before the failure
    EXPECT_TRUE(LanguageEntries().isEmpty());
    EXPECT_EQ(FileBytes(real), before);
    EXPECT_TRUE(messages_.errors.isEmpty());
    EXPECT_TRUE(exits_.empty());

    // The window stays usable: another source loads and unlocks it.
    messages_.whileShown = nullptr;
    Source()->setText(Text(Path("plain.kxs")));
    Source()->setFocus();
    refreshes_ = 0;
    QTest::keyClick(Source(), Qt::Key_Tab);
    EXPECT_EQ(refreshes_, 1);
    EXPECT_EQ(messages_.messages.size(), 1);
    EXPECT_EQ(EnabledStates(), All(true));
    EXPECT_EQ(SelectedLevels(), kCaseLevels);
    // The project was closed after the failure: the file is free for anyone.
    projectdb::ProjectSettings settings;
    EXPECT_NO_THROW(settings.CloseProject(settings.OpenProject(real.string())));
}

}  // namespace
}  // namespace travix_test
