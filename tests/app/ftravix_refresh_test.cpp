// The refresh on real files, as one table: the probe of the source text as typed, the password
// presets, the levels and languages loaded from the file, and the options and OK unlocked exactly
// when the source is readable and the copy path text differs from it. Then the "..." buttons,
// which refresh at once on a confirmed path and change nothing on a cancelled one.
#include <QApplication>
#include <QCoreApplication>
#include <QRadioButton>
#include <QTest>

#include "projectdb/language_releases.h"
#include "projectdb/project_settings.h"
#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;

enum class Copy { Empty, Same, Other, Blanks, OtherCase, TrailingBlanks };
enum class Preset { Kept, Set, Clear };
// What the level lists show afterwards: what the first refresh loaded, the file's own levels, or
// the levels of the file with stray values (no selection where a value names no entry).
enum class Shown { Earlier, Levels, Stray };

struct StateRow {
    const char* source;  // a file in the test folder, "" for an empty box
    bool heldOpen;       // another program has the source open
    Copy copy;
    Preset preset;
    Shown shown;
    bool unlocked;
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

const std::vector<int> kLevels = {0, 1, 3, 2, 4, 0, 1, 2};
const std::vector<int> kEarlier = {5, 5, 5, 5, 5, 5, 5, 5};  // never written: "All Rights"
// Alarm editor 9 and OPC editor 2 name no entry; the archive editor was never written.
const std::vector<int> kStrayStored = {9, -1, 2, 3, 4, 0, 1, 2};
const std::vector<int> kStrayShown = {-1, 5, -1, 3, 4, 0, 1, 2};

class FTravixRefresh : public WindowDriver {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        BuildProjectFile(Path("earlier.kxs"), false);
        BuildProjectFile(Path("plain.kxs"), false, kLevels);
        BuildProjectFile(Path("protected.kxs"), true, kLevels);
        BuildProjectFile(Path("stray.kxs"), false, kStrayStored);
        CopyJetFile("jet4/V2003_with-password.mdb", Path("foreign.kxs"));
    }
};

class FTravixStateTable : public FTravixRefresh, public ::testing::WithParamInterface<StateRow> {};

TEST_P(FTravixStateTable, PresetsLoadsAndUnlocksByTheSourceStateAndTheTexts) {
    const StateRow& row = GetParam();
    // Start from a loaded, unlocked window: another file edited in place.
    TypePath(Source(), Text(Path("earlier.kxs")));
    LeaveBox();
    ASSERT_EQ(Unlocked(), true);
    const QStringList earlierLanguages = LanguageEntries();

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
    const std::vector<int>* shown[] = {&kEarlier, &kLevels, &kStrayShown};
    EXPECT_EQ(SelectedLevels(), *shown[static_cast<int>(row.shown)]);
    EXPECT_EQ(LanguageEntries(),
              row.shown == Shown::Earlier
                  ? earlierLanguages
                  : (QStringList{Entry(1031, true), Entry(1033, false), Entry(1036, false)}));
    EXPECT_EQ(Unlocked(), row.unlocked);
    EXPECT_EQ(Find("lstLockLanguages")->isEnabled(), row.unlocked);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, FTravixStateTable,
    ::testing::Values(
        // state 0 or 3: nothing loaded, the earlier presets and lists stay, all locked
        StateRow{"", false, Copy::Empty, Preset::Kept, Shown::Earlier, false},
        StateRow{"missing.kxs", false, Copy::Other, Preset::Kept, Shown::Earlier, false},
        StateRow{"foreign.kxs", false, Copy::Empty, Preset::Kept, Shown::Earlier, false},
        StateRow{"plain.kxs", true, Copy::Other, Preset::Kept, Shown::Earlier, false},
        // state 1: "Nein" in place, "Ja" for a copy
        StateRow{"plain.kxs", false, Copy::Empty, Preset::Clear, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::Other, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::Same, Preset::Set, Shown::Levels, false},
        StateRow{"plain.kxs", false, Copy::Blanks, Preset::Clear, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::OtherCase, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::TrailingBlanks, Preset::Set, Shown::Levels, true},
        // state 2: "Ja" in place, "Nein" for a copy
        StateRow{"protected.kxs", false, Copy::Empty, Preset::Set, Shown::Levels, true},
        StateRow{"protected.kxs", false, Copy::Other, Preset::Clear, Shown::Levels, true},
        StateRow{"protected.kxs", false, Copy::Same, Preset::Clear, Shown::Levels, false},
        // stored levels that name no entry show none, not the earlier file's
        StateRow{"stray.kxs", false, Copy::Other, Preset::Set, Shown::Stray, true}));

// testV2003.mdb, made by Access, opens without a password but has no TcfgLanguages: the load fails
// after the levels were read. The report is a window of its own; once it is closed the main window
// must be active again, so that leaving a path box goes on validating.
TEST_F(FTravixRefresh, ASourceThatCannotBeLoadedIsReportedAndLeavesEverythingLocked) {
    CopyJetFile("jet4/testV2003.mdb", Path("access.mdb"));
    messages_.whileShown = WithAnotherWindowActive;
    TypePath(Source(), Text(Path("access.mdb")));
    QTest::keyClick(Source(), Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")))
        << messages_.messages[0].toStdString();
    EXPECT_EQ(Unlocked(), false);

    // The window stays usable: another source loads and unlocks it.
    messages_.whileShown = nullptr;
    Source()->setText(Text(Path("plain.kxs")));
    Source()->setFocus();
    QTest::keyClick(Source(), Qt::Key_Tab);
    EXPECT_EQ(Unlocked(), true);
    EXPECT_EQ(SelectedLevels(), kLevels);
    // The project was closed after the failure: the file is free for anyone.
    projectdb::ProjectSettings settings;
    EXPECT_NO_THROW(settings.CloseProject(settings.OpenProject(Path("access.mdb").string())));
}

TEST_F(FTravixRefresh, TheDialogButtonsFillTheirBoxAndRefreshOnlyOnAConfirmedPath) {
    const struct {
        const char* button;
        const char* box;
        bool save;
    } buttons[] = {{"cmdChoosePathSource", "txtSource", false},
                   {"cmdChoosePathDestination", "txtDestination", true}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.button);
        auto* box = Find<QLineEdit>(b.box);
        box->setText(QStringLiteral("/elsewhere/Alt.kxs"));
        Find(b.button)->setFocus();
        refreshes_ = 0;
        dialog_.answers.push_back(std::nullopt);
        Click(b.button);
        EXPECT_EQ(box->text(), QStringLiteral("/elsewhere/Alt.kxs"));
        EXPECT_EQ(refreshes_, 0);

        // A real dialog takes the activation; the window must get it back.
        const QString chosen = Text(b.save ? Path("Kopie") : Path("plain.kxs"));
        dialog_.answers.push_back(chosen);
        dialog_.whileShown = WithAnotherWindowActive;
        Click(b.button);
        dialog_.whileShown = nullptr;
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        for (const app::FileDialogRequest& request : dialog_.requests) {
            // Whatever the box holds, the dialog starts in the program's folder.
            EXPECT_EQ(request.fileName,
                      QCoreApplication::applicationDirPath() + QStringLiteral("\\*.kxs"));
            EXPECT_EQ(request.filter, QStringLiteral("KorvexStudio Projekt (*.kxs)|*.kxs"));
            EXPECT_EQ(request.save, b.save);
        }
        dialog_.requests.clear();
        EXPECT_EQ(box->text(), chosen);  // a name without extension stays without
        EXPECT_EQ(box->selectedText(), chosen);
        EXPECT_EQ(box->cursorPosition(), 0);
        EXPECT_EQ(QApplication::focusWidget(), box);
        EXPECT_EQ(refreshes_, 1);
        QTest::keyClick(box, Qt::Key_Tab);
        EXPECT_EQ(refreshes_, 2);
    }
    EXPECT_EQ(SelectedLevels(), kLevels);
    EXPECT_TRUE(PasswordSetChosen());
    EXPECT_EQ(Unlocked(), true);
}

}  // namespace
}  // namespace travix_test
