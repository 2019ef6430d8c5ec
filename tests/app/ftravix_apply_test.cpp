// OK on real files, driven through the window as a user does: pick the source, type the copy path,
// leave the box, change levels and language marks, press OK. What the copy holds afterwards is
// read back by mdb-reader, mdb-prop and ProjectSettings; the source must stay as it was.
#include <QListWidget>
#include <QRadioButton>
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

const QString kCopyFailed = QStringLiteral("Datei konnte nicht kopiert werden");
const QString kChangesFailed =
    QStringLiteral("Die Änderungen am Passwort konnten nicht durchgeführt werden");

// mdb-reader's view of a file: its password (nullopt for none) and the ToolBoxAccess mark of each
// LCID of TcfgLanguages.
struct ReaderView {
    std::optional<std::string> password;
    std::map<std::string, std::string> marks;
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
        const auto column = [&](const char* name) {
            return std::find(table.column_names.begin(), table.column_names.end(), name) -
                   table.column_names.begin();
        };
        for (const fixture::Row& row : table.rows) {
            view.marks[row.at(column("LCID"))] = row.at(column("ToolBoxAccess"));
        }
    }
    return view;
}

// mdb-prop's reading of the component levels stored as the database's custom properties.
std::map<std::string, std::string> LevelsByMdbProp(const fs::path& file) {
    const auto blocks = fixture::MdbProperties(file, "UserDefined");
    EXPECT_TRUE(blocks.has_value()) << "mdb-prop cannot read " << file;
    std::map<std::string, std::string> levels;
    if (!blocks || !blocks->count("")) return levels;
    for (const auto& [name, value] : blocks->at("")) {
        const std::string suffix = ".ExternalAuthorizationLevel";
        if (name.size() > suffix.size() && name.ends_with(suffix)) {
            levels[name.substr(0, name.size() - suffix.size())] = value;
        }
    }
    return levels;
}

const std::vector<std::string> kNeverWritten(8, "");
const std::map<std::string, std::string> kSourceMarks = {
    {"1031", "1"}, {"1033", "0"}, {"1036", "0"}};

class FTravixApply : public WindowDriver {
  protected:
    void SetUp() override {
        WindowDriver::SetUp();
        source_ = dir_.path() / "Anlage.kxs";
        copy_ = dir_.path() / "Export.kxs";
    }

    // The user's way to a ready window: the source through the dialog, the copy path typed.
    void ChooseSourceAndCopy(const fs::path& source, const QString& copy) {
        dialog_.answers.push_back(Text(source));
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

    fs::path source_, copy_;
};

const std::vector<std::string> kChangedLevels = {"1", "5", "5", "2", "5", "5", "5", "5"};
const std::map<std::string, std::string> kChangedMarks = {
    {"1031", "0"}, {"1033", "1"}, {"1036", "1"}};

TEST_F(FTravixApply, TheTypicalExportCopiesWithTheStandardPasswordLevelsAndReleases) {
    BuildProjectFile(source_, false);
    const std::string sourceBytes = FileBytes(source_);

    dialog_.answers.push_back(Text(source_));
    Click("cmdChoosePathSource");
    // The copy path is still empty: in-place presets, everything loaded and enabled.
    EXPECT_TRUE(PasswordClearChosen());
    EXPECT_EQ(EnabledStates(), std::vector<bool>(kEnableListSize, true));
    TypePath(Destination(), Text(copy_));
    LeaveBox();
    // A file without password is proposed to be copied with the standard password.
    EXPECT_TRUE(PasswordSetChosen());
    ChangeSettings();
    PressOK();

    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, projectdb::GetStandardPassword());
    EXPECT_EQ(copy.marks, kChangedMarks);
    EXPECT_EQ(StoredLevels(copy_, true), kChangedLevels);
    const auto byMdbProp = LevelsByMdbProp(copy_);
    EXPECT_EQ(byMdbProp.at("KXAlarmeditor"), "1");
    EXPECT_EQ(byMdbProp.at("KXIndextexteditor"), "2");
    EXPECT_EQ(byMdbProp.at("KX4VariableEditor"), "5");
    EXPECT_EQ(projectdb::GetDatabaseState(copy_.string()), projectdb::kStateStandardPassword);

    EXPECT_EQ(FileBytes(source_), sourceBytes);
    EXPECT_EQ(ReadWithMdbReader(source_).password, std::nullopt);
}

TEST_F(FTravixApply, ReImportCopiesAProtectedFileWithoutItsPassword) {
    BuildProjectFile(source_, true, {3, 3, 3, 3, 3, 3, 3, 3});
    const std::string sourceBytes = FileBytes(source_);

    ChooseSourceAndCopy(source_, Text(copy_));
    EXPECT_TRUE(PasswordClearChosen());
    EXPECT_EQ(SelectedLevels(), std::vector<int>(8, 3));
    ChooseLevel(6, 5);
    PressOK();

    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.password, std::nullopt);
    EXPECT_EQ(copy.marks, kSourceMarks);
    EXPECT_EQ(StoredLevels(copy_, false),
              (std::vector<std::string>{"3", "3", "3", "3", "3", "3", "5", "3"}));
    EXPECT_EQ(FileBytes(source_), sourceBytes);
}

struct InPlaceCase {
    const char* copyText;
    bool choosePassword;  // pick "Ja" before OK
    std::optional<std::string> expectedPassword;
};

void PrintTo(const InPlaceCase& c, std::ostream* out) {
    *out << "copy path '" << c.copyText << "'" << (c.choosePassword ? ", Ja chosen" : "");
}

class FTravixInPlace : public FTravixApply, public ::testing::WithParamInterface<InPlaceCase> {};

TEST_P(FTravixInPlace, AnEmptyOrBlankCopyPathChangesTheSourceItself) {
    const InPlaceCase& c = GetParam();
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(source_, QString::fromUtf8(c.copyText));
    EXPECT_TRUE(PasswordClearChosen());  // the file's own state: no password
    if (c.choosePassword) {
        // On the button's indicator: a click beside its text does not count.
        QWidget* yes = Find("optPasswordSet");
        QTest::mouseClick(yes, Qt::LeftButton, {}, QPoint(6, yes->height() / 2));
        ASSERT_TRUE(PasswordSetChosen());
    }
    ChangeSettings();
    PressOK();

    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    EXPECT_EQ(Destination()->text(), Text(source_));
    const ReaderView file = ReadWithMdbReader(source_);
    EXPECT_EQ(file.password, c.expectedPassword);
    EXPECT_EQ(file.marks, kChangedMarks);
    EXPECT_EQ(StoredLevels(source_, c.expectedPassword.has_value()), kChangedLevels);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(EmptyAndBlank, FTravixInPlace,
                         ::testing::Values(InPlaceCase{"", false, std::nullopt},
                                           InPlaceCase{"   ", true,
                                                       projectdb::GetStandardPassword()}));

TEST_F(FTravixApply, ACopyOverAnExistingFileReplacesIt) {
    BuildProjectFile(source_, false);
    fixture::ProjectDatabase({{1040, "Italian", "IT", "Italiano", true}}).Build(copy_);

    ChooseSourceAndCopy(source_, Text(copy_));
    PressOK();

    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    const ReaderView copy = ReadWithMdbReader(copy_);
    EXPECT_EQ(copy.marks, kSourceMarks);
    EXPECT_EQ(copy.password, projectdb::GetStandardPassword());
}

TEST_F(FTravixApply, ACopyThatCannotBeMadeShowsTheCopyMessageAndKeepsTheWindow) {
    BuildProjectFile(source_, false);
    const std::string sourceBytes = FileBytes(source_);
    const fs::path noFolder = dir_.path() / "fehlt" / "Export.kxs";
    ChooseSourceAndCopy(source_, Text(noFolder));
    PressOK();

    EXPECT_EQ(messages_.messages, QStringList{kCopyFailed});
    EXPECT_TRUE(exits_.empty());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(fs::exists(noFolder));
    EXPECT_EQ(Destination()->text(), Text(noFolder));

    // The source went away after the refresh: again the copy fails.
    messages_.messages.clear();
    fs::rename(source_, dir_.path() / "weg.kxs");
    Destination()->setText(Text(copy_));
    PressOK();
    EXPECT_EQ(messages_.messages, QStringList{kCopyFailed});
    EXPECT_FALSE(fs::exists(copy_));
    EXPECT_TRUE(exits_.empty());

    // The user corrects it and presses OK again.
    fs::rename(dir_.path() / "weg.kxs", source_);
    messages_.messages.clear();
    PressOK();
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.messages.join('\n').toStdString();
    EXPECT_EQ(exits_, std::vector<int>{0});
    EXPECT_EQ(FileBytes(source_), sourceBytes);
}

// Another spelling of the source's own path passes the text comparison, so OK is enabled; copying
// a file onto itself would truncate it.
TEST_F(FTravixApply, ACopyPathNamingTheSourceItselfTouchesNothing) {
    BuildProjectFile(source_, false);
    const std::string sourceBytes = FileBytes(source_);
    fs::create_symlink(source_, dir_.path() / "link.kxs");
    const QString spellings[] = {Text(dir_.path() / "." / "Anlage.kxs"),
                                 Text(dir_.path() / "link.kxs")};
    ChooseSourceAndCopy(source_, spellings[0]);
    for (const QString& spelling : spellings) {
        SCOPED_TRACE(spelling.toStdString());
        messages_.messages.clear();
        Destination()->setText(spelling);
        PressOK();
        EXPECT_EQ(messages_.messages, QStringList{kCopyFailed});
        EXPECT_TRUE(exits_.empty());
        EXPECT_EQ(FileBytes(source_), sourceBytes);
    }
}

TEST_F(FTravixApply, ALevelListWithoutSelectionStopsBeforeReleasesAndPassword) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(source_, Text(copy_));
    ChangeSettings();
    // The user types a text that is no level into the recipe editor's field.
    QComboBox* recipe = window_->cmbEditorComponent(5);
    QTest::mouseClick(recipe->lineEdit(), Qt::LeftButton);
    recipe->lineEdit()->selectAll();
    QTest::keyClicks(recipe->lineEdit(), QStringLiteral("Chef"));
    PressOK();

    EXPECT_EQ(messages_.messages, QStringList{kChangesFailed});
    EXPECT_TRUE(exits_.empty());
    // The copy stays with the levels before the faulty list, its releases and password untouched.
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
    ChooseSourceAndCopy(source_, Text(copy_));
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

// A target another program holds open probes as unreadable: nothing is written, and the window
// stays, instead of ending as if the job were done.
TEST_F(FTravixApply, ATargetHeldOpenIsReportedAndNothingIsWritten) {
    BuildProjectFile(source_, false);
    ChooseSourceAndCopy(source_, QString());
    ChangeSettings();
    const std::string sourceBytes = FileBytes(source_);
    {
        projectdb::ProjectSettings otherProgram;
        const auto handle = otherProgram.OpenProject(source_.string());
        PressOK();
        otherProgram.CloseProject(handle);
    }
    EXPECT_EQ(messages_.messages, QStringList{kChangesFailed});
    EXPECT_TRUE(exits_.empty());
    EXPECT_EQ(Destination()->text(), Text(source_));
    EXPECT_EQ(FileBytes(source_), sourceBytes);

    // A copy onto a file held open is refused at the copy: that file stays as it was.
    BuildProjectFile(copy_, false);
    const std::string copyBytes = FileBytes(copy_);
    Destination()->setText(Text(copy_));
    messages_.messages.clear();
    {
        projectdb::ProjectSettings otherProgram;
        const auto handle = otherProgram.OpenProject(copy_.string());
        PressOK();
        otherProgram.CloseProject(handle);
    }
    EXPECT_EQ(messages_.messages, QStringList{kCopyFailed});
    EXPECT_TRUE(exits_.empty());
    EXPECT_EQ(FileBytes(copy_), copyBytes);
}

}  // namespace
}  // namespace travix_test
