// travix-cli export runs the window's OK for scripts: it reads the source as the refresh does,
// changes what the options name, and applies. What it writes is in the apply table; here, what it
// refuses, always before copying, and how it reports the apply's failures.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using logic_test::ReadBytes;

struct Invocation {
    std::string name;
    std::string args;  // "S" the source, "C" the copy path, "A" an Access file, "F" a level
    int exitCode;
    std::string says;  // part of what it prints
    friend void PrintTo(const Invocation& c, std::ostream* out) { *out << c.name; }
};

// The source stores a 7 for KXFormulaEditor, which names no level, so that a run must give that
// component a level ("F" gives it a 4).
const std::vector<Invocation> kInvocations = {
    {"UnknownComponent", "S C --level KXNoSuchEditor=3 F", 2, "unknown component"},
    {"LevelOutOfRange", "S C --level KXAlarmeditor=2x F", 2, "from 0 to 5"},
    {"LevelWithoutValue", "S C --level KXAlarmeditor F", 2, "KEY=N"},
    {"LevelTheComponentHasNot", "S C --level KXOPCEditor=2 F", 2, "no level 2"},
    {"ComponentTwice", "S C F --level kxformulaeditor=3", 2, "twice"},
    {"ReleaseNotAList", "S C F --release 1031;1033", 2, "LCIDs"},
    {"PasswordNotAnAction", "S C F --password maybe", 2, "set, clear or keep"},
    {"UnknownOption", "S C F --verbose", 2, "unknown option"},
    {"TwoCopyPaths", "S C F other.kxs", 2, "more than one copy path"},
    {"StoredLevelThatNamesNoLevel", "S C", 1,
     "KXFormulaEditor has a stored level that names no level"},
    {"ReleaseOfNoLanguage", "S C F --release 1031,1049", 1, "no language 1049"},
    // The window's messages, with a failing exit.
    {"CopyIntoNoFolder", "S nofolder/copy.kxs F", 1, "Datei konnte nicht kopiert werden\n"},
    {"NoSource", "none.kxs", 1, "state 0"},
    {"AccessFileIsNoProject", "A C", 1, ": 3265 "},
    {"NoArguments", "", 2, ""},
};

class Export : public ::testing::TestWithParam<Invocation> {};

TEST_P(Export, Invocation) {
    const Invocation& c = GetParam();
    fixture::TempDir dir;
    const fs::path source = logic_test::CopyProject(dir.path(), "source.kxs");
    logic_test::StoreRawLevel(source, false, "KXFormulaEditor", std::int64_t{7});
    const std::vector<char> sourceBytes = ReadBytes(source);
    const fs::path copy = dir.path() / "copy.kxs";
    std::string command = "cd " + fixture::ShellQuote(dir.path().string()) + " && " +
                          fixture::ShellQuote(TRAVIX_CLI_PATH) + " export";
    std::istringstream args(c.args);
    for (std::string arg; args >> arg;) {
        if (arg == "F") {
            command += " --level KXFormulaEditor=4";
            continue;
        }
        const fs::path path = arg == "S"   ? source
                              : arg == "C" ? copy
                              : arg == "A" ? logic_test::CopyReal(dir.path(), "jet4/testV2003.mdb")
                                           : fs::path(arg);
        command += " " + fixture::ShellQuote(path.string());
    }
    const fixture::CommandResult result = fixture::RunCommand({"sh", "-c", command + " 2>&1"});

    EXPECT_EQ(result.exit_code, c.exitCode) << result.out;
    EXPECT_NE(result.out.find(c.says), std::string::npos) << result.out;
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(ReadBytes(source), sourceBytes);
}

INSTANTIATE_TEST_SUITE_P(Runs, Export, ::testing::ValuesIn(kInvocations),
                         [](const auto& info) { return info.param.name; });

}  // namespace
