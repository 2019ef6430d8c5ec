// The refresh on real files, as one table: the probe of the source text as typed, the password
// presets, the levels and languages loaded from the file, a report when a readable file cannot be
// loaded, and the options and OK unlocked exactly when the source is loaded and the copy path text
// differs from it. Then the "..." buttons, which refresh at once on a confirmed path only, and
// leaving a path box, which validates it by click, Tab or an access key unless the focus goes to
// Cancel, which ends the program without a probe.
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "window_driver.h"

namespace travix_test {
namespace {

enum class Copy { Empty, Same, Other, Blanks, OtherCase, TrailingBlanks };
enum class Preset { Kept, Set, Clear };
// What the level lists show: what the first refresh loaded, the file's own levels, or the levels
// of the file with stray values (no selection where a value names no entry).
enum class Shown { Earlier, Levels, Stray };

struct StateRow {
    const char* source;  // a file in the test folder, "" for an empty box
    bool heldOpen;       // another program has the source open
    Copy copy;
    Preset preset;
    Shown shown;
    bool unlocked;
    const char* message = "";  // the start of the one message shown, "" for none
};

void PrintTo(const StateRow& row, std::ostream* out) {
    *out << "source '" << row.source << (row.heldOpen ? "' held open" : "'") << ", copy "
         << static_cast<int>(row.copy);
}

const std::vector<int> kLevels = {0, 1, 3, 2, 4, 0, 1, 2};
const std::vector<int> kEarlier = {5, 5, 5, 5, 5, 5, 5, 5};  // never written: "All Rights"
// Alarm editor 9 and OPC editor 2 name no entry; the archive editor was never written.
const std::vector<int> kStrayStored = {9, -1, 2, 3, 4, 0, 1, 2};
const std::vector<int> kStrayShown = {-1, 5, -1, 3, 4, 0, 1, 2};

class FTravixRefresh : public WindowDriver, public ::testing::WithParamInterface<StateRow> {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        BuildProjectFile(Path("earlier.kxs"), false);
        BuildProjectFile(Path("plain.kxs"), false, kLevels);
        BuildProjectFile(Path("protected.kxs"), true, kLevels);
        BuildProjectFile(Path("stray.kxs"), false, kStrayStored);
        // Blanks belong to a file name: the probe and the languages take the text as typed, the
        // project settings component (the levels) the trimmed one.
        std::filesystem::copy_file(Path("stray.kxs"), Path("plain.kxs  "));
        // Made by Access: readable, but without TcfgLanguages it fails after the levels.
        logic_test::CopyReal(dir_.path(), "jet4/testV2003.mdb", "access.mdb");
    }
};

TEST_P(FTravixRefresh, PresetsLoadsAndUnlocksByTheSourceStateAndTheTexts) {
    const StateRow& row = GetParam();
    // Start from a loaded, unlocked window: another file edited in place.
    TypePath(Source(), Text(Path("earlier.kxs")));
    LeaveBox();
    ASSERT_EQ(Unlocked(), true);
    // The user's marks, so that languages loaded again show.
    auto* languages = Find<QListWidget>("lstLockLanguages");
    for (int i = 0; i < languages->count(); ++i) languages->item(i)->setCheckState(Qt::Unchecked);
    const QString source = *row.source ? Text(Path(row.source)) : QString();
    std::optional<projectdb::ProjectSettings> holder;
    if (row.heldOpen) holder.emplace().OpenProject(Path(row.source).string());
    const QString copies[] = {"",    source,           Text(Path("copy.kxs")),
                              "   ", source.toUpper(), source + "  "};
    Source()->setText(source);
    Destination()->setText(copies[static_cast<int>(row.copy)]);
    // The opposite of the expected preset, so that a preset that did not happen shows.
    Find<QRadioButton>(row.preset == Preset::Set ? "OptPasswordClear" : "optPasswordSet")
        ->setChecked(true);
    refreshes_ = 0;
    // A message box takes the activation; the window must get it back to go on validating.
    messages_.whileShown = WithAnotherWindowActive;

    LeaveBox();

    EXPECT_EQ(refreshes_, 1);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(messages_.messages.size(), *row.message ? 1 : 0);
    EXPECT_EQ(messages_.messages.value(0).left(qstrlen(row.message)), row.message);
    EXPECT_EQ(Find<QRadioButton>("optPasswordSet")->isChecked(), row.preset != Preset::Clear);
    const std::vector<int>* shown[] = {&kEarlier, &kLevels, &kStrayShown};
    EXPECT_EQ(SelectedLevels(), *shown[static_cast<int>(row.shown)]);
    const QStringList unmarked = {"1031:0", "1033:0", "1036:0"};
    const QStringList loaded = {"1031:1", "1033:0", "1036:0"};
    EXPECT_EQ(LanguageEntries(), *row.message                  ? QStringList()
                                 : row.shown == Shown::Earlier ? unmarked
                                                               : loaded);
    EXPECT_EQ(Unlocked(), row.unlocked);
    EXPECT_EQ(Find("lstLockLanguages")->isEnabled(), row.unlocked);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, FTravixRefresh,
    ::testing::Values(
        // state 0 or 3: nothing loaded, the earlier presets and lists stay, all locked (which
        // files probe as 0 or 3 is checked in tests/projectdb)
        StateRow{"", false, Copy::Empty, Preset::Kept, Shown::Earlier, false},
        StateRow{"plain.kxs", true, Copy::Other, Preset::Kept, Shown::Earlier, false},
        // state 1: "Nein" in place, "Ja" for a copy
        StateRow{"plain.kxs", false, Copy::Empty, Preset::Clear, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::Other, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::Same, Preset::Set, Shown::Levels, false},
        StateRow{"plain.kxs", false, Copy::Blanks, Preset::Clear, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::OtherCase, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs", false, Copy::TrailingBlanks, Preset::Set, Shown::Levels, true},
        StateRow{"plain.kxs  ", false, Copy::Other, Preset::Set, Shown::Levels, true},
        // state 2: "Ja" in place, "Nein" for a copy
        StateRow{"protected.kxs", false, Copy::Empty, Preset::Set, Shown::Levels, true},
        StateRow{"protected.kxs", false, Copy::Other, Preset::Clear, Shown::Levels, true},
        StateRow{"protected.kxs", false, Copy::Same, Preset::Clear, Shown::Levels, false},
        // stored levels that name no entry show none, not the earlier file's
        StateRow{"stray.kxs", false, Copy::Other, Preset::Set, Shown::Stray, true},
        // readable but not loadable: the engine's number and description, everything locked
        StateRow{"access.mdb", false, Copy::Other, Preset::Set, Shown::Earlier, false, "3265"}));

TEST_F(WindowDriver, TheDialogButtonsFillTheirBoxAndRefreshOnlyOnAConfirmedPath) {
    BuildProjectFile(Path("plain.kxs"), false, kLevels);
    for (const auto& [button, box, save] : {std::tuple{"cmdChoosePathSource", Source(), false},
                                            {"cmdChoosePathDestination", Destination(), true}}) {
        SCOPED_TRACE(button);
        box->setText(QStringLiteral("/elsewhere/Alt.kxs"));
        Find(button)->setFocus();
        refreshes_ = 0;
        dialog_.answers.push_back(std::nullopt);
        Click(button);
        EXPECT_EQ(box->text(), QStringLiteral("/elsewhere/Alt.kxs"));
        EXPECT_EQ(refreshes_, 0);

        // A real dialog takes the activation; the window must get it back.
        const QString chosen = Text(save ? Path("Kopie") : Path("plain.kxs"));
        dialog_.answers.push_back(chosen);
        dialog_.whileShown = WithAnotherWindowActive;
        Click(button);
        dialog_.whileShown = nullptr;
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        EXPECT_EQ(dialog_.saves, std::vector<bool>(2, save));
        dialog_.saves.clear();
        EXPECT_EQ(box->text(), chosen);  // a name without extension stays without
        EXPECT_EQ(box->selectedText(), chosen);
        EXPECT_EQ(box->cursorPosition(), 0);
        EXPECT_EQ(QApplication::focusWidget(), box);
        EXPECT_EQ(refreshes_, 1);
    }
}

TEST_F(WindowDriver, LeavingAPathBoxValidatesItUnlessTheFocusGoesToCancel) {
    enum How { kClick, kTab, kAccessKey };
    // The box left, how, the control that takes the focus or is pressed, whether it validates.
    const std::tuple<const char*, How, const char*, bool> cases[] = {
        {"txtSource", kClick, "cmdCancel", false},
        {"txtDestination", kClick, "cmdCancel", false},
        {"txtSource", kTab, "cmdChoosePathSource", true},
        {"txtDestination", kClick, "cmdHelp", true},
        // Alt+H presses Help with the focus still in the box.
        {"txtSource", kAccessKey, "cmdHelp", true},
        {"txtDestination", kAccessKey, "cmdHelp", true},
    };
    BuildProjectFile(Path("Anlage.kxs"), false);
    for (const auto& [name, how, target, validates] : cases) {
        SCOPED_TRACE(testing::Message() << name << " -> " << target << " by " << how);
        auto* box = Find<QLineEdit>(name);
        TypePath(box, Text(Path("Anlage.kxs")));
        exits_.clear();
        refreshes_ = 0;
        int refreshesWhenPressed = -1;
        QMetaObject::Connection pressed;
        if (how == kAccessKey) {
            pressed = QObject::connect(Find<QPushButton>(target), &QPushButton::pressed,
                                       [&] { refreshesWhenPressed = refreshes_; });
        }
        if (how == kTab) QTest::keyClick(box, Qt::Key_Tab);
        if (how == kClick) Click(target);
        if (how == kAccessKey) {
            QTest::keyClick(box, Qt::Key_H, Qt::AltModifier);
            QTest::qWait(200);  // the button's animated click
        }
        QObject::disconnect(pressed);
        EXPECT_EQ(refreshes_, validates ? 1 : 0);
        EXPECT_EQ(exits_, validates ? std::vector<int>{} : std::vector<int>{0});
        // The refresh ran before the button acted.
        EXPECT_EQ(refreshesWhenPressed, how == kAccessKey ? 1 : -1);
        box->clear();
    }
}

}  // namespace
}  // namespace travix_test
