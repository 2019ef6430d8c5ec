// travix-cli.exe under Wine beside travix-cli on Linux: the same probe states on the real files,
// and exports of one project with the same options that mdbtools and mdb-reader read identically.
// Runs where the windows preset has been built (CI builds it before this suite).
#include <gtest/gtest.h>

#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Runs one of the two programs; stdout and the exit status. The Windows one sees the Linux file
// system as drive Z:.
fixture::CommandResult Cli(bool windows, std::vector<std::string> args) {
    std::vector<std::string> command = {TRAVIX_CLI_PATH};
    if (windows) {
        command = {TRAVIX_SOURCE_DIR "/scripts/wine-run.sh", TRAVIX_WINDOWS_BUILD_DIR "/wine",
                   TRAVIX_WINDOWS_BUILD_DIR "/cli/travix-cli.exe"};
        for (std::string& arg : args) {
            if (arg.starts_with('/')) arg = "Z:" + arg;
        }
    }
    command.insert(command.end(), args.begin(), args.end());
    return fixture::RunCommand(command);
}

class WindowsCli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(TRAVIX_WINDOWS_BUILD_DIR "/cli/travix-cli.exe")) {
            GTEST_SKIP() << "the windows preset is not built";
        }
    }
    fixture::TempDir dir_;
};

TEST_F(WindowsCli, GivesTheLinuxProbeStatesOnTheRealFiles) {
    std::vector<std::string> files = {(dir_.path() / "missing.kxs").string()};
    for (const char* version : {"jet3", "jet4", "projects"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(TRAVIX_JETFILES_DIR) / version)) {
            // A copy of its own, so that no other test holds it meanwhile.
            const fs::path copy =
                dir_.path() / (std::string(version) + "-" + entry.path().filename().string());
            fs::copy_file(entry.path(), copy);
            files.push_back(copy.string());
        }
    }
    for (const std::string& file : files) {
        const fixture::CommandResult linux = Cli(false, {"probe", file});
        const fixture::CommandResult windows = Cli(true, {"probe", file});
        std::string out = windows.out;
        std::erase(out, '\r');  // Windows' line ends
        EXPECT_EQ(out, linux.out) << file;
        EXPECT_EQ(windows.exit_code, linux.exit_code) << file;
    }
}

// Everything both readers see in an exported file: tables and rows, the password, the properties.
std::string ReadersView(const fs::path& file) {
    const std::string password = projectdb::GetStandardPassword();
    const auto dump = fixture::DumpWithMdbReader(file, {"--password", password});
    if (!dump) return "mdb-reader failed";
    std::string view = "password " + dump->password.value_or("none") + "\n";
    for (const fixture::OracleTable& table : dump->tables) {
        const auto exported =
            fixture::MdbExportRows(file, table.name, table.column_names, table.column_types);
        EXPECT_EQ(exported, std::optional(table.rows)) << "the readers disagree on " << table.name;
        view += table.name + ":";
        for (const fixture::Row& row : table.rows) {
            for (const std::string& cell : row) view += " " + cell;
            view += ";";
        }
        view += "\n";
    }
    return view + logic_test::MdbProp(file, "UserDefined");
}

TEST_F(WindowsCli, ExportsOfOneProjectReadIdentically) {
    const fs::path source = logic_test::CopyProject(dir_.path(), "source.kxs");
    std::map<bool, std::string> views;
    for (const bool windows : {false, true}) {
        const fs::path copy = dir_.path() / (windows ? "windows.kxs" : "linux.kxs");
        const fixture::CommandResult result =
            Cli(windows, {"export", source.string(), copy.string(), "--level", "KXAlarmeditor=1",
                          "--release", "1031", "--password", "set"});
        ASSERT_EQ(result.exit_code, 0) << result.out;
        views[windows] = ReadersView(copy);
    }
    EXPECT_NE(views[false].find("password " + projectdb::GetStandardPassword()), std::string::npos);
    EXPECT_EQ(views[true], views[false]);
}

}  // namespace
