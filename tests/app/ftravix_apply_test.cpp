// OK on real files, driven through the window as a user does: pick the source, type the copy path,
// leave the box, change levels and language marks, press OK. What the copy holds afterwards is
// read back by mdb-reader and mdb-prop. The steps' own failures are checked in tests/apply; here,
// what the window makes of them.
#include <QListWidget>
#include <QTest>
#include <map>

#include "projectdb/authorization_levels.h"
#include "projectdb/password.h"
#include "tests/support/oracles.h"
#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;
using Marks = std::map<std::string, std::string>;
using Levels = std::vector<std::string>;

const QString kCopyFailed = QStringLiteral("Datei konnte nicht kopiert werden");
const QString kChangesFailed =
    QStringLiteral("Die Änderungen am Passwort konnten nicht durchgeführt werden");
const Marks kSourceMarks = {{"1031", "1"}, {"1033", "0"}, {"1036", "0"}};
const Marks kChangedMarks = {{"1031", "0"}, {"1033", "1"}, {"1036", "1"}};
const Levels kChangedLevels = {"1", "5", "5", "2", "5", "5", "5", "5"};

// mdb-reader's view of a file: its password (nullopt for none) and the ToolBoxAccess mark of each
// LCID of TcfgLanguages.
struct ReaderView {
    std::optional<std::string> password;
    Marks marks;
};

ReaderView ReadWithMdbReader(const fs::path& file) {
    // The standard password is offered in any case; mdb-reader only decodes what is stored.
    const auto dump =
        fixture::DumpWithMdbReader(file, {"--password", projectdb::GetStandardPassword()});
    EXPECT_TRUE(dump.has_value()) << "mdb-reader cannot read " << file;
    if (!dump) return {};
    ReaderView view{dump->password, {}};
    for (const fixture::OracleTable& table : dump->tables) {
        if (table.name != "TcfgLanguages") continue;
        const auto& names = table.column_names;
        const auto lcid = std::find(names.begin(), names.end(), "LCID") - names.begin();
        const auto mark = std::find(names.begin(), names.end(), "ToolBoxAccess") - names.begin();
        for (const fixture::Row& row : table.rows) view.marks[row.at(lcid)] = row.at(mark);
    }
    return view;
}

class FTravixApply : public WindowDriver {
  protected:
    // The user's way to a ready window: the source through the dialog, the copy path typed.
    void ChooseSourceAndCopy(const QString& copy) {
        dialog_.answers.push_back(Text(source_));
        Click("cmdChoosePathSource");
        TypePath(Destination(), copy);
        LeaveBox();
    }
    // Restricts two editors and releases English and French instead of German.
    void ChangeSettings() {
        ChooseLevel(0, 1);  // alarm editor: show only
        ChooseLevel(3, 2);  // index text editor: edit texts
        auto* languages = Find<QListWidget>("lstLockLanguages");
        ASSERT_EQ(languages->count(), 3);
        for (int row = 0; row < 3; ++row) {
            languages->item(row)->setCheckState(row == 0 ? Qt::Unchecked : Qt::Checked);
        }
    }
    // The run completed: no message, the program ends with status 0.
    void ExpectCompleted() {
        EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
        EXPECT_EQ(exits_, std::vector<int>{0});
        exits_.clear();
    }
    // The run failed with `message` and the window stays.
    void ExpectFailed(const QString& message) {
        EXPECT_EQ(messages_.messages, QStringList{message});
        EXPECT_TRUE(exits_.empty());
        EXPECT_TRUE(window_->isVisible());
        messages_.messages.clear();
    }

    const fs::path source_ = dir_.path() / "Anlage.kxs";
    const fs::path copy_ = dir_.path() / "Export.kxs";
};

TEST_F(FTravixApply, TheTypicalExportCopiesWithTheStandardPasswordLevelsAndReleases) {
    BuildProjectFile(source_, false);
    dialog_.answers.push_back(Text(source_));
    Click("cmdChoosePathSource");
    // The copy path is still empty: in-place presets, everything loaded and unlocked.
    EXPECT_FALSE(PasswordSetChosen());
    EXPECT_EQ(Unlocked(), true);
    TypePath(Destination(), Text(copy_));
    LeaveBox();
    // A file without password is proposed to be copied with the standard password.
    EXPECT_TRUE(PasswordSetChosen());
    ChangeSettings();
    PressOK();

    ExpectCompleted();
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, projectdb::GetStandardPassword());
    EXPECT_EQ(copy.marks, kChangedMarks);
    EXPECT_EQ(StoredLevels(copy_), kChangedLevels);
}

// The copy goes over an existing file, which it replaces; a missing folder fails first and the
// user corrects the path.
TEST_F(FTravixApply, ReImportReplacesAnExistingFileWithoutThePassword) {
    BuildProjectFile(source_, true, {3, 3, 3, 3, 3, 3, 3, 3});
    CopyJetFile("jet4/testV2003.mdb", copy_);
    ChooseSourceAndCopy(Text(dir_.path() / "fehlt" / "Export.kxs"));
    EXPECT_FALSE(PasswordSetChosen());
    ChooseLevel(6, 5);
    PressOK();
    ExpectFailed(kCopyFailed);
    EXPECT_FALSE(fs::exists(dir_.path() / "fehlt"));

    Destination()->setText(Text(copy_));
    PressOK();
    ExpectCompleted();
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, std::nullopt);
    EXPECT_EQ(copy.marks, kSourceMarks);
    EXPECT_EQ(StoredLevels(copy_), (Levels{"3", "3", "3", "3", "3", "3", "5", "3"}));
}

// In place, the copy box shows the database path before a later step speaks: the language save's
// message (testV2003.mdb, put in place of the source after the refresh, has no TcfgLanguages)
// already sees it there, and the run goes on to its end.
TEST_F(FTravixApply, InPlaceTheCopyBoxShowsTheSourceBeforeTheLanguageMessage) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(QStringLiteral("  "));
    ChangeSettings();
    CopyJetFile("jet4/testV2003.mdb", source_);
    QString boxWhileShown;
    messages_.whileShown = [&] { boxWhileShown = Destination()->text(); };
    PressOK();

    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")));
    EXPECT_EQ(boxWhileShown, Text(source_));
    EXPECT_EQ(exits_, std::vector<int>{0});
    EXPECT_EQ(StoredLevels(source_), kChangedLevels);
}

// Typed text is no selection, even when it spells an entry or starts one ("a" once completed to
// "anzeigen"): OK fails at that list after the ones before it, until the user picks an entry.
TEST_F(FTravixApply, TypedTextInALevelListIsNoLevel) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(Text(copy_));
    ChangeSettings();
    QComboBox* recipe = window_->cmbEditorComponent(5);
    for (const char* typed : {"a", "Obj", "Alle Rechte", "anzeigen"}) {
        SCOPED_TRACE(typed);
        QTest::mouseClick(recipe->lineEdit(), Qt::LeftButton);
        recipe->lineEdit()->selectAll();
        QTest::keyClicks(recipe->lineEdit(), QString::fromUtf8(typed));
        QTest::keyClick(recipe->lineEdit(), Qt::Key_Tab);
        EXPECT_EQ(recipe->currentText(), QString::fromUtf8(typed));
        PressOK();
        ExpectFailed(kChangesFailed);
        EXPECT_EQ(StoredLevels(copy_), (Levels{"1", "5", "5", "2", "5", "", "", ""}));
    }
    ChooseLevel(5, 4);
    PressOK();
    ExpectCompleted();
    EXPECT_EQ(StoredLevels(copy_), (Levels{"1", "5", "5", "2", "5", "4", "5", "5"}));
}

// A stored level that names no entry leaves its list without selection, also after another
// project was loaded: OK does not write the other project's level but fails until the user picks.
TEST_F(FTravixApply, AStoredLevelWithoutEntryIsNotReplacedByTheEarlierProjects) {
    BuildProjectFile(Path("earlier.kxs"), false, {1, 1, 1, 1, 1, 1, 1, 1});
    BuildProjectFile(source_, false, {9, 5, 2, 5, 5, 5, 5, 5});
    TypePath(Source(), Text(Path("earlier.kxs")));
    TypePath(Destination(), Text(copy_));
    TypePath(Source(), Text(source_));
    LeaveBox();
    PressOK();
    ExpectFailed(kChangesFailed);
    EXPECT_EQ(StoredLevels(copy_), (Levels{"9", "5", "2", "5", "5", "5", "5", "5"}));

    ChooseLevel(0, 0);
    ChooseLevel(2, 3);
    PressOK();
    ExpectCompleted();
    EXPECT_EQ(StoredLevels(copy_), (Levels{"0", "5", "3", "5", "5", "5", "5", "5"}));
}

}  // namespace
}  // namespace travix_test
