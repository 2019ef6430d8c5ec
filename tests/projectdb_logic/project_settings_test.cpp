// ProjectSettings keeps each component's property as a custom database property that a later
// handle, and readers we did not write, see; one open handle holds the file for itself.
#include "projectdb/project_settings.h"

#include <gtest/gtest.h>

#include <climits>

#include "jet/database.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace jet {
// Names the version where a test name shows its parameter.
void PrintTo(Version version, std::ostream* out) {
    *out << (version == Version::Jet3 ? "Jet3" : "Jet4");
}
}  // namespace jet

namespace {

using projectdb::ProjectSettings;
namespace fs = std::filesystem;

constexpr char kLevel[] = "ExternalAuthorizationLevel";

class ProjectSettingsOnFixtures : public ::testing::Test {
  protected:
    fs::path Project(const std::string& name = "p.kxs", bool standardPassword = false) {
        return logic_test::CopyProject(dir_.path(), name, "project.kxs",
                                       standardPassword ? projectdb::GetStandardPassword() : "");
    }
    fixture::TempDir dir_;
    ProjectSettings settings_;
};

// The levels are read through a later handle and through mdb-prop.
TEST_F(ProjectSettingsOnFixtures, UnsetReadsAsTheDefaultAndSetValuesReadBackThroughALaterHandle) {
    const fs::path file = Project();
    const auto handle = settings_.OpenProject(file.string());
    EXPECT_EQ(settings_.GetProperty(handle, "KXAlarmeditor", kLevel, ""), "");
    EXPECT_EQ(settings_.GetProperty(handle, "KXAlarmeditor", kLevel, "none"), "none");
    for (const auto& [key, value] : {std::pair{"KXAlarmeditor", 0},
                                     {"KXOPCEditor", 5},
                                     {"KXRecipeEditor", -1},
                                     {"KXFormulaEditor", INT_MIN},
                                     {"KXUserAdminEditor", INT_MAX},
                                     {"KXOPCEditor", 3}}) {  // the 3 replaces the 5
        settings_.SetProperty(handle, key, kLevel, value);
    }
    settings_.CloseProject(handle);
    (void)ProjectSettings().OpenProject(file.string());  // never closed: the instance lets go

    logic_test::ExpectLevels(file, false,
                             {"0", "", "3", "", "-2147483648", "-1", "2147483647", ""});
    ProjectSettings later;
    const auto again = later.OpenProject(file.string());
    EXPECT_EQ(later.GetProperty(again, "kxopceditor", kLevel, "x"), "3");  // Jet ignores case
    EXPECT_EQ(later.GetProperty(again, "KXArchiveditor", kLevel, "x"), "x");
    EXPECT_EQ(later.GetProperty(again, "KXAlarmeditor", "OtherProperty", "x"), "x");
    EXPECT_EQ(later.Format(again), jet::Version::Jet4);
    later.CloseProject(again);
}

// Levels that another writer stored as the database's custom properties, next to a text property
// of the same blob, read back through ProjectSettings.
TEST_F(ProjectSettingsOnFixtures, ReadsLevelsThatAnotherWriterStored) {
    const fs::path file = logic_test::CopyProject(dir_.path(), "p.kxs", "no-release-column.kxs");
    EXPECT_EQ(logic_test::StoredLevels(file, false),
              (std::vector<std::string>{"3", "", "", "", "", "", "", "0"}));
}

TEST_F(ProjectSettingsOnFixtures, AHandleHoldsTheFileUntilItIsClosed) {
    const std::string file = Project().string();
    const auto first = settings_.OpenProject(file);
    EXPECT_EQ(logic_test::ThrownNumber([&] { settings_.OpenProject(file); }), jet::kFileInUse);
    EXPECT_EQ(logic_test::ThrownNumber([&] { ProjectSettings().OpenProject(file); }),
              jet::kFileInUse);
    EXPECT_EQ(projectdb::GetDatabaseState(file), projectdb::kStateUnreadable);
    settings_.CloseProject(first);
    EXPECT_EQ(projectdb::GetDatabaseState(file), projectdb::kStateNoPassword);
    const auto second = settings_.OpenProject(file);
    EXPECT_NE(second, first);
    settings_.CloseProject(second);
}

TEST_F(ProjectSettingsOnFixtures, AHandleThatIsNotOpenOrAKeyWithADotIsAnError) {
    const fs::path file = Project();
    const auto closed = settings_.OpenProject(file.string());
    settings_.CloseProject(closed);
    const auto open = settings_.OpenProject(file.string());
    const std::vector<std::pair<std::function<void()>, int>> cases = {
        {[&] { settings_.CloseProject(closed); }, jet::kObjectInvalid},
        {[&] { settings_.GetProperty(closed, "KXOPCEditor", kLevel, ""); }, jet::kObjectInvalid},
        {[&] { settings_.SetProperty(closed, "KXOPCEditor", kLevel, 1); }, jet::kObjectInvalid},
        {[&] { settings_.GetProperty(0, "KXOPCEditor", kLevel, ""); }, jet::kObjectInvalid},
        // A "." in the key would let two keys share one stored name.
        {[&] { settings_.SetProperty(open, "KX.OPC", kLevel, 1); }, jet::kInvalidArgument},
        {[&] { settings_.GetProperty(open, "", kLevel, ""); }, jet::kInvalidArgument},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(logic_test::ThrownNumber(cases[i].first), cases[i].second) << "case " << i;
    }
    settings_.CloseProject(open);
}

TEST_F(ProjectSettingsOnFixtures, TheTextAfterTheBarIsThePassword) {
    const fs::path file = Project("p.kxs", true);
    for (const std::string tail : {"", "|WRONG", "|"}) {
        EXPECT_EQ(logic_test::ThrownNumber([&] { settings_.OpenProject(file.string() + tail); }),
                  jet::kNotAValidPassword)
            << tail;
    }
    const auto handle = settings_.OpenProject(logic_test::ConnectionText(file, true));
    settings_.SetProperty(handle, "KXIndextexteditor", kLevel, 2);
    settings_.CloseProject(handle);
    EXPECT_EQ(logic_test::StoredLevels(file, true)[3], "2");
    EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateStandardPassword);
}

// On Linux a file name may hold "|": a text whose whole is an existing file is that file.
TEST_F(ProjectSettingsOnFixtures, PathsThatHoldABarStillOpen) {
    const fs::path plain = Project("a|b.kxs");
    const fs::path protectedFile = Project("c|d.kxs", true);
    for (const auto& [text, level] :
         {std::pair{plain.string(), 1}, {logic_test::ConnectionText(protectedFile, true), 4}}) {
        const auto handle = settings_.OpenProject(text);
        settings_.SetProperty(handle, "KXAlarmeditor", kLevel, level);
        settings_.CloseProject(handle);
    }
    EXPECT_EQ(logic_test::StoredLevels(plain, false)[0], "1");
    EXPECT_EQ(logic_test::StoredLevels(protectedFile, true)[0], "4");

    EXPECT_EQ(ProjectSettings::ParseConnection(plain.string()).path, plain.string());
    EXPECT_EQ(ProjectSettings::ParseConnection(plain.string()).password, "");
    const auto split = ProjectSettings::ParseConnection(protectedFile.string() + "|PW|X");
    EXPECT_EQ(split.path, protectedFile.string() + "|PW");  // no such file: split at the last bar
    EXPECT_EQ(split.password, "X");

    // "a" beside "a|b.kxs": the text could mean either file, so neither is touched.
    std::ofstream(dir_.path() / "a").put('x');
    EXPECT_EQ(logic_test::ThrownNumber([&] { settings_.OpenProject(plain.string()); }),
              jet::kInvalidArgument);
    EXPECT_EQ(logic_test::ThrownNumber(
                  [&] { settings_.OpenProject((dir_.path() / "none|x.kxs").string()); }),
              jet::kFileNotFound);
}

// The engine's own tests check that a file's other custom properties stay as they were.
class ProjectSettingsOnRealFiles
    : public ::testing::TestWithParam<std::pair<std::string, jet::Version>> {};

TEST_P(ProjectSettingsOnRealFiles, KeepTheLevelsAsTheirReadersSeeThem) {
    fixture::TempDir dir;
    const fs::path file = logic_test::CopyReal(dir.path(), GetParam().first);
    ProjectSettings settings;
    const auto handle = settings.OpenProject(file.string());
    EXPECT_EQ(settings.Format(handle), GetParam().second);
    for (std::int32_t level = 0; level < 8; ++level) {
        settings.SetProperty(handle, projectdb::ComponentKeys()[level], kLevel, level);
    }
    settings.CloseProject(handle);
    logic_test::ExpectLevels(file, false, {"0", "1", "2", "3", "4", "5", "6", "7"});
    EXPECT_EQ(logic_test::ReadWithOracles(file, false).password, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ProjectSettingsOnRealFiles,
                         ::testing::Values(std::pair{"jet4/testV2003.mdb", jet::Version::Jet4},
                                           std::pair{"jet4/emptyV2000.mdb", jet::Version::Jet4},
                                           std::pair{"jet4/db-enc.mdb", jet::Version::Jet4},
                                           std::pair{"jet3/testV1997.mdb", jet::Version::Jet3},
                                           std::pair{"jet3/db97-enc.mdb", jet::Version::Jet3}),
                         [](const auto& info) { return logic_test::ParamName(info.param.first); });

}  // namespace
