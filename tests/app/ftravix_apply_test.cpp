// OK on real files, driven through the window as a user does: pick the source, type the copy path,
// leave the box, change levels and language marks, press OK. What the copy holds afterwards is
// read back by mdb-reader, mdb-prop and ProjectSettings; the source must stay as it was.
#include <QTest>
#include <map>

#include "projectdb/authorization_levels.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"
#include "tests/support/oracles.h"
#include "window_driver.h"

namespace travix_test {
namespace {

namespace fs = std::filesystem;
using Marks = std::map<std::string, std::string>;

const QString kCopyFailed = QStringLiteral("Datei konnte nicht kopiert werden");
const QString kChangesFailed =
    QStringLiteral("Die Änderungen am Passwort konnten nicht durchgeführt werden");
const Marks kSourceMarks = {{"1031", "1"}, {"1033", "0"}, {"1036", "0"}};
const Marks kChangedMarks = {{"1031", "0"}, {"1033", "1"}, {"1036", "1"}};
const std::vector<std::string> kChangedLevels = {"1", "5", "5", "2", "5", "5", "5", "5"};

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
        MarkLanguage(0, false);
        MarkLanguage(1, true);
        MarkLanguage(2, true);
    }
    void PressOK() {
        ASSERT_TRUE(Find("cmdOK")->isEnabled());
        Click("cmdOK");
    }
    // The run completed: no message, the program ends with status 0.
    void ExpectCompleted() {
        EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
        EXPECT_EQ(exits_, std::vector<int>{0});
    }

    const fs::path source_ = dir_.path() / "Anlage.kxs";
    const fs::path copy_ = dir_.path() / "Export.kxs";
};

TEST_F(FTravixApply, TheTypicalExportCopiesWithTheStandardPasswordLevelsAndReleases) {
    BuildProjectFile(source_, false);
    const std::string sourceBytes = FileBytes(source_);

    dialog_.answers.push_back(Text(source_));
    Click("cmdChoosePathSource");
    // The copy path is still empty: in-place presets, everything loaded and enabled.
    EXPECT_FALSE(PasswordSetChosen());
    EXPECT_EQ(EnabledStates(), All(true));
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
    EXPECT_EQ(StoredLevels(copy_, true), kChangedLevels);
    EXPECT_EQ(FileBytes(source_), sourceBytes);
    EXPECT_EQ(ReadWithMdbReader(source_).password, std::nullopt);
    // mdb-prop reads the levels as the database's custom properties.
    const auto properties = fixture::MdbProperties(copy_, "UserDefined");
    ASSERT_TRUE(properties && properties->count(""));
    for (std::size_t i = 0; i < kChangedLevels.size(); ++i) {
        const std::string name = projectdb::ComponentKeys()[i] + ".ExternalAuthorizationLevel";
        EXPECT_EQ(properties->at("").at(name), kChangedLevels[i]) << name;
    }
}

// The copy goes over an existing project file, which it replaces.
TEST_F(FTravixApply, ReImportCopiesAProtectedFileWithoutItsPassword) {
    BuildProjectFile(source_, true, {3, 3, 3, 3, 3, 3, 3, 3});
    fixture::CopyProjectFile("duplicate-languages.kxs", copy_);
    const std::string sourceBytes = FileBytes(source_);
    ChooseSourceAndCopy(Text(copy_));
    EXPECT_FALSE(PasswordSetChosen());
    EXPECT_EQ(SelectedLevels(), std::vector<int>(8, 3));
    ChooseLevel(6, 5);
    PressOK();

    ExpectCompleted();
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, std::nullopt);
    EXPECT_EQ(copy.marks, kSourceMarks);
    EXPECT_EQ(StoredLevels(copy_, false),
              (std::vector<std::string>{"3", "3", "3", "3", "3", "3", "5", "3"}));
    EXPECT_EQ(FileBytes(source_), sourceBytes);
}

TEST_F(FTravixApply, AnEmptyOrBlankCopyPathChangesTheSourceItself) {
    // Blank copy path with "Ja" chosen: the source gets the standard password too.
    for (const bool blank : {false, true}) {
        SCOPED_TRACE(blank ? "blank" : "empty");
        exits_.clear();
        BuildProjectFile(source_, false);
        ChooseSourceAndCopy(blank ? QStringLiteral("   ") : QString());
        EXPECT_FALSE(PasswordSetChosen());  // the file's own state: no password
        if (blank) {
            // On the button's indicator: a click beside its text does not count.
            QWidget* yes = Find("optPasswordSet");
            QTest::mouseClick(yes, Qt::LeftButton, {}, QPoint(6, yes->height() / 2));
            ASSERT_TRUE(PasswordSetChosen());
        }
        ChangeSettings();
        PressOK();

        ExpectCompleted();
        EXPECT_EQ(Destination()->text(), Text(source_));
        const ReaderView file = ReadWithMdbReader(source_);
        EXPECT_EQ(file.password,
                  blank ? std::optional(projectdb::GetStandardPassword()) : std::nullopt);
        EXPECT_EQ(file.marks, kChangedMarks);
        EXPECT_EQ(StoredLevels(source_, blank), kChangedLevels);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), 1);
        fs::remove(source_);
    }
}

// A missing folder, and other spellings of the source's own path: these pass the text comparison,
// so OK is enabled, but copying a file onto itself would truncate it.
TEST_F(FTravixApply, ACopyThatCannotBeMadeShowsTheCopyMessageTouchesNothingAndKeepsTheWindow) {
    BuildProjectFile(source_, false);
    const std::string sourceBytes = FileBytes(source_);
    fs::create_symlink(source_, dir_.path() / "link.kxs");
    ChooseSourceAndCopy(Text(copy_));
    for (const fs::path& copy : {dir_.path() / "fehlt" / "Export.kxs",
                                 dir_.path() / "." / "Anlage.kxs", dir_.path() / "link.kxs"}) {
        SCOPED_TRACE(copy);
        messages_.messages.clear();
        Destination()->setText(Text(copy));
        PressOK();
        EXPECT_EQ(messages_.messages, QStringList{kCopyFailed});
        EXPECT_TRUE(exits_.empty());
        EXPECT_TRUE(window_->isVisible());
        EXPECT_EQ(Destination()->text(), Text(copy));
        EXPECT_EQ(FileBytes(source_), sourceBytes);
    }
    EXPECT_FALSE(fs::exists(dir_.path() / "fehlt"));

    // The user corrects the path and presses OK again.
    messages_.messages.clear();
    Destination()->setText(Text(copy_));
    PressOK();
    ExpectCompleted();
}

TEST_F(FTravixApply, ALevelListWithoutSelectionStopsBeforeReleasesAndPassword) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(Text(copy_));
    ChangeSettings();
    // The user types a text that is no level into the recipe editor's field.
    QComboBox* recipe = window_->cmbEditorComponent(5);
    QTest::mouseClick(recipe->lineEdit(), Qt::LeftButton);
    recipe->lineEdit()->selectAll();
    QTest::keyClicks(recipe->lineEdit(), QStringLiteral("Chef"));
    PressOK();

    EXPECT_EQ(messages_.messages, QStringList{kChangesFailed});
    EXPECT_TRUE(exits_.empty());
    // The copy keeps the levels before the faulty list; its releases and password are untouched.
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, std::nullopt);
    EXPECT_EQ(copy.marks, kSourceMarks);
    EXPECT_EQ(StoredLevels(copy_, false),
              (std::vector<std::string>{"1", "5", "5", "2", "5", "", "", ""}));
}

// testV2003.mdb, made by Access, has no TcfgLanguages: put in place of the source after the
// refresh, its copy takes the levels but not the releases.
TEST_F(FTravixApply, AFailedLanguageSaveShowsItsOwnMessageThenThePasswordStepAndTheEnd) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(Text(copy_));
    ChangeSettings();
    CopyJetFile("jet4/testV2003.mdb", source_);
    const std::string sourceBytes = FileBytes(source_);
    PressOK();

    ASSERT_EQ(messages_.messages.size(), 1);
    EXPECT_TRUE(messages_.messages[0].startsWith(QStringLiteral("3265")))
        << messages_.messages[0].toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, projectdb::GetStandardPassword());
    EXPECT_TRUE(copy.marks.empty());
    EXPECT_EQ(StoredLevels(copy_, true), kChangedLevels);
    EXPECT_EQ(fixture::MdbTableNames(copy_), fixture::MdbTableNames(source_));
    EXPECT_EQ(FileBytes(source_), sourceBytes);
}

// In place, the copy box shows the database path before any later step speaks: the language save's
// message already sees it there.
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
}

// A target another program holds open probes as unreadable: nothing is written, and the window
// stays, instead of ending as if the job were done.
TEST_F(FTravixApply, ATargetHeldOpenIsReportedAndNothingIsWritten) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(QString());
    ChangeSettings();
    const std::string sourceBytes = FileBytes(source_);
    projectdb::ProjectSettings otherProgram;
    const auto handle = otherProgram.OpenProject(source_.string());
    PressOK();
    otherProgram.CloseProject(handle);

    EXPECT_EQ(messages_.messages, QStringList{kChangesFailed});
    EXPECT_TRUE(exits_.empty());
    EXPECT_EQ(FileBytes(source_), sourceBytes);
}

}  // namespace
}  // namespace travix_test
