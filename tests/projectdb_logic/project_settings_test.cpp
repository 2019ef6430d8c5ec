// ProjectSettings keeps each component's property as a custom database property that a later
// handle, and readers we did not write, see; one open handle holds the file for itself.
#include "projectdb/project_settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <fstream>
#include <functional>
#include <sstream>

#include "jet/database.h"
#include "projectdb/password.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using projectdb::ProjectSettings;
namespace fs = std::filesystem;

const std::vector<fixture::Language> kLanguages = {{1033, "English", "en", "English", false}};
constexpr char kLevel[] = "ExternalAuthorizationLevel";

int JetNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const jet::JetError& error) {
        return error.number();
    }
    return 0;
}

TEST(ProjectSettingsOnFixtures, UnsetReadsAsTheDefaultAndSetValuesReadBackThroughALaterHandle) {
    fixture::TempDir dir;
    const fs::path file = logic_test::BuildProject(dir.path(), "p.kxs", kLanguages);
    const std::vector<std::pair<std::string, std::int32_t>> values = {{"KXAlarmeditor", 0},
                                                                      {"KXOPCEditor", 5},
                                                                      {"KXRecipeEditor", -1},
                                                                      {"Min", INT_MIN},
                                                                      {"Max", INT_MAX}};
    {
        ProjectSettings settings;
        const auto handle = settings.OpenProject(file.string());
        EXPECT_EQ(settings.GetProperty(handle, "KXAlarmeditor", kLevel, ""), "");
        EXPECT_EQ(settings.GetProperty(handle, "KXAlarmeditor", kLevel, "none"), "none");
        for (const auto& [key, value] : values) settings.SetProperty(handle, key, kLevel, value);
        settings.SetProperty(handle, "KXOPCEditor", kLevel, 3);  // replaces the 5
        settings.CloseProject(handle);
    }
    ProjectSettings settings;
    const auto handle = settings.OpenProject(file.string());
    EXPECT_EQ(settings.GetProperty(handle, "KXAlarmeditor", kLevel, "x"), "0");
    EXPECT_EQ(settings.GetProperty(handle, "kxopceditor", kLevel, "x"), "3");  // Jet ignores case
    EXPECT_EQ(settings.GetProperty(handle, "KXRecipeEditor", kLevel, "x"), "-1");
    EXPECT_EQ(settings.GetProperty(handle, "Min", kLevel, "x"), "-2147483648");
    EXPECT_EQ(settings.GetProperty(handle, "Max", kLevel, "x"), "2147483647");
    EXPECT_EQ(settings.GetProperty(handle, "KXFormulaEditor", kLevel, "x"), "x");
    EXPECT_EQ(settings.GetProperty(handle, "KXAlarmeditor", "OtherProperty", "x"), "x");
    EXPECT_EQ(settings.Format(handle), jet::Version::Jet4);
    settings.CloseProject(handle);

    const std::string listing = logic_test::MdbProp(file, "UserDefined");
    EXPECT_NE(listing.find("KXAlarmeditor.ExternalAuthorizationLevel: 0"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("KXOPCEditor.ExternalAuthorizationLevel: 3"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("Min.ExternalAuthorizationLevel: -2147483648"), std::string::npos)
        << listing;
}

// The builder and the engine were written apart: levels that the builder stores as the database's
// custom properties must read back through ProjectSettings, next to a text property of the same
// blob.
TEST(ProjectSettingsOnFixtures, ReadsLevelsThatTheBuilderStored) {
    fixture::TempDir dir;
    fixture::Database db = fixture::ProjectDatabase(kLanguages);
    db.user_defined_properties = {
        {"KXAlarmeditor.ExternalAuthorizationLevel", std::int32_t{3}},
        {"Note", std::string("kept")},
        {"KX4VariableEditor.ExternalAuthorizationLevel", std::int32_t{0}}};
    const fs::path file = dir.path() / "built.kxs";
    db.Build(file);

    ProjectSettings settings;
    const auto handle = settings.OpenProject(file.string());
    EXPECT_EQ(settings.GetProperty(handle, "KXAlarmeditor", kLevel, "x"), "3");
    EXPECT_EQ(settings.GetProperty(handle, "KX4VariableEditor", kLevel, "x"), "0");
    EXPECT_EQ(settings.GetProperty(handle, "KXOPCEditor", kLevel, "x"), "x");
    settings.CloseProject(handle);
}

TEST(ProjectSettingsOnFixtures, AHandleHoldsTheFileUntilItIsClosed) {
    fixture::TempDir dir;
    const fs::path file = logic_test::BuildProject(dir.path(), "p.kxs", kLanguages);
    ProjectSettings settings;
    const auto first = settings.OpenProject(file.string());
    EXPECT_EQ(JetNumber([&] { settings.OpenProject(file.string()); }), jet::kFileInUse);
    EXPECT_EQ(JetNumber([&] { ProjectSettings().OpenProject(file.string()); }), jet::kFileInUse);
    EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateUnreadable);
    settings.CloseProject(first);
    EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateNoPassword);
    const auto second = settings.OpenProject(file.string());
    EXPECT_NE(second, first);
    settings.CloseProject(second);
    {
        ProjectSettings dropped;
        dropped.OpenProject(file.string());  // never closed: the instance lets the file go
    }
    EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateNoPassword);
}

TEST(ProjectSettingsOnFixtures, AHandleThatIsNotOpenIsAnError) {
    fixture::TempDir dir;
    const fs::path file = logic_test::BuildProject(dir.path(), "p.kxs", kLanguages);
    ProjectSettings settings;
    const auto handle = settings.OpenProject(file.string());
    settings.CloseProject(handle);
    EXPECT_EQ(JetNumber([&] { settings.CloseProject(handle); }), jet::kObjectInvalid);
    EXPECT_EQ(JetNumber([&] { settings.GetProperty(handle, "KXOPCEditor", kLevel, ""); }),
              jet::kObjectInvalid);
    EXPECT_EQ(JetNumber([&] { settings.SetProperty(handle, "KXOPCEditor", kLevel, 1); }),
              jet::kObjectInvalid);
    EXPECT_EQ(JetNumber([&] { settings.GetProperty(0, "KXOPCEditor", kLevel, ""); }),
              jet::kObjectInvalid);
    const auto open = settings.OpenProject(file.string());
    // A "." in the key would let two keys share one stored name.
    EXPECT_EQ(JetNumber([&] { settings.SetProperty(open, "KX.OPC", kLevel, 1); }),
              jet::kInvalidArgument);
    EXPECT_EQ(JetNumber([&] { settings.GetProperty(open, "", kLevel, ""); }),
              jet::kInvalidArgument);
    settings.CloseProject(open);
}

TEST(ProjectSettingsOnFixtures, TheTextAfterTheBarIsThePassword) {
    fixture::TempDir dir;
    const fs::path file = logic_test::BuildProject(dir.path(), "p.kxs", kLanguages, true,
                                                   projectdb::GetStandardPassword());
    ProjectSettings settings;
    EXPECT_EQ(JetNumber([&] { settings.OpenProject(file.string()); }), jet::kNotAValidPassword);
    EXPECT_EQ(JetNumber([&] { settings.OpenProject(file.string() + "|WRONG"); }),
              jet::kNotAValidPassword);
    EXPECT_EQ(JetNumber([&] { settings.OpenProject(file.string() + "|"); }),
              jet::kNotAValidPassword);
    const auto handle = settings.OpenProject(logic_test::ConnectionText(file, true));
    settings.SetProperty(handle, "KXIndextexteditor", kLevel, 2);
    settings.CloseProject(handle);

    const auto later = settings.OpenProject(logic_test::ConnectionText(file, true));
    EXPECT_EQ(settings.GetProperty(later, "KXIndextexteditor", kLevel, ""), "2");
    settings.CloseProject(later);
    EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateStandardPassword);
}

TEST(ProjectSettingsOnFixtures, PathsThatHoldABarStillOpen) {
    fixture::TempDir dir;
    const fs::path plain = logic_test::BuildProject(dir.path(), "a|b.kxs", kLanguages);
    const fs::path protectedFile = logic_test::BuildProject(dir.path(), "c|d.kxs", kLanguages, true,
                                                            projectdb::GetStandardPassword());

    ProjectSettings settings;
    const auto first = settings.OpenProject(plain.string());
    settings.SetProperty(first, "KXAlarmeditor", kLevel, 1);
    settings.CloseProject(first);
    const auto second = settings.OpenProject(logic_test::ConnectionText(protectedFile, true));
    settings.SetProperty(second, "KXAlarmeditor", kLevel, 4);
    settings.CloseProject(second);

    EXPECT_EQ(ProjectSettings::ParseConnection(plain.string()).path, plain.string());
    EXPECT_EQ(ProjectSettings::ParseConnection(plain.string()).password, "");
    const auto split = ProjectSettings::ParseConnection(protectedFile.string() + "|PW|X");
    EXPECT_EQ(split.path, protectedFile.string() + "|PW");  // no such file: split at the last bar
    EXPECT_EQ(split.password, "X");

    // "a" beside "a|b.kxs": the text could mean either file, so neither is touched.
    std::ofstream(dir.path() / "a").put('x');
    EXPECT_EQ(JetNumber([&] { settings.OpenProject(plain.string()); }), jet::kInvalidArgument);

    const auto missing = (dir.path() / "none|x.kxs").string();
    EXPECT_EQ(JetNumber([&] { settings.OpenProject(missing); }), jet::kFileNotFound);
}

struct RealFile {
    const char* path;
    jet::Version format;
};

class ProjectSettingsOnRealFiles : public ::testing::TestWithParam<RealFile> {};

TEST_P(ProjectSettingsOnRealFiles, KeepTheLevelsBesideTheFilesOwnCustomProperties) {
    fixture::TempDir dir;
    const fs::path file = logic_test::CopyJetFile(dir.path(), GetParam().path);
    const std::string before = logic_test::MdbProp(file, "UserDefined");
    {
        ProjectSettings settings;
        const auto handle = settings.OpenProject(file.string());
        EXPECT_EQ(settings.Format(handle), GetParam().format);
        for (std::int32_t level = 0; level < 8; ++level) {
            settings.SetProperty(handle, "Component" + std::to_string(level), kLevel, level);
        }
        settings.CloseProject(handle);
    }
    ProjectSettings settings;
    const auto handle = settings.OpenProject(file.string());
    for (std::int32_t level = 0; level < 8; ++level) {
        EXPECT_EQ(settings.GetProperty(handle, "Component" + std::to_string(level), kLevel, ""),
                  std::to_string(level));
    }
    settings.CloseProject(handle);

    const std::string after = logic_test::MdbProp(file, "UserDefined");
    EXPECT_NE(after.find("Component7.ExternalAuthorizationLevel: 7"), std::string::npos) << after;
    // What the file held before stays, line for line.
    std::istringstream lines(before);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(':') != std::string::npos) {
            EXPECT_NE(after.find(line), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(logic_test::MdbReaderReads(file));
}

INSTANTIATE_TEST_SUITE_P(Corpus, ProjectSettingsOnRealFiles,
                         ::testing::Values(RealFile{"jet4/testV2003.mdb", jet::Version::Jet4},
                                           RealFile{"jet4/emptyV2000.mdb", jet::Version::Jet4},
                                           RealFile{"jet4/db-enc.mdb", jet::Version::Jet4},
                                           RealFile{"jet3/testV1997.mdb", jet::Version::Jet3},
                                           RealFile{"jet3/db97-enc.mdb", jet::Version::Jet3}),
                         [](const auto& info) {
                             std::string name = fs::path(info.param.path).stem().string();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
