// What only the Windows build has, run under Wine: the registry's 32-bit view, share-mode locks
// against another program's handle, UTF-16 and long paths, spellings of one file for the
// self-copy check, the system's language names, the HTML Help call and travix-cli's arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "help/MHelp.h"
#include "i18n/MResources.h"
#include "platform/file_copy.h"
#include "platform/language_names.h"
#include "platform/registry.h"
#include "platform/utf16.h"
#include "projectdb/password.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using projectdb::GetDatabaseState;

std::wstring Wide(const std::string& utf8) {
    return platform::WideFromUtf8(utf8).value();
}

// Runs a command line, its output into `output` when given; the exit code, -1 when it could not
// start.
int RunProgram(const std::wstring& commandLine, const fs::path& output = {}) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = output.empty() ? INVALID_HANDLE_VALUE
                                : CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                              &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (out != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
    }
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

// A real file copied to `target` (a UTF-8 path, long ones included).
void CopyReal(const std::string& relative, const std::string& target) {
    const fs::path source = fs::path(TRAVIX_JETFILES_DIR) / relative;
    ASSERT_TRUE(CopyFileW(source.c_str(), platform::WidePath(target)->c_str(), FALSE)) << target;
    SetFileAttributesW(platform::WidePath(target)->c_str(), FILE_ATTRIBUTE_NORMAL);
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr char kKey[] = "HKLM\\SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0";

int Reg(const std::wstring& arguments) {
    return RunProgram(L"reg.exe " + arguments);
}

TEST(WindowsRegistry, TheLanguageComesFromThe32BitView) {
    const std::wstring key = L"\"" + Wide(kKey) + L"\"";
    // The 64-bit view holds another value throughout: reading it would give the wrong language.
    ASSERT_EQ(Reg(L"add " + key + L" /v LCID /t REG_DWORD /d 1031 /reg:64 /f"), 0);
    const struct {
        const wchar_t* add;  // nullptr: the value is deleted
        std::int32_t offset;
        bool fails;
    } cases[] = {
        {L"/t REG_DWORD /d 1033", i18n::kLanguageStride, false},
        {L"/t REG_DWORD /d 1031", 0, false},
        {nullptr, 0, false},  // missing: the default, German
        {L"/t REG_SZ /d 1033", i18n::kLanguageStride, false},
        {L"/t REG_SZ /d \"kein Wert\"", 0, true},
    };
    for (const auto& c : cases) {
        const std::wstring change = c.add ? L"add " + key + L" /v LCID " + c.add + L" /reg:32 /f"
                                          : L"delete " + key + L" /v LCID /reg:32 /f";
        ASSERT_EQ(Reg(change), 0);
        i18n::ResourceTable table;
        if (c.fails) {
            EXPECT_THROW(table.InitLanguage(), platform::RegistryError);
        } else {
            EXPECT_NO_THROW(table.InitLanguage());
            EXPECT_EQ(table.languageOffset(), c.offset);
        }
    }
    Reg(L"delete \"HKLM\\SOFTWARE\\BRENLAK GmbH\" /reg:32 /f");
    Reg(L"delete \"HKLM\\SOFTWARE\\BRENLAK GmbH\" /reg:64 /f");
}

// The help file's folder comes from the registry as UTF-8 and goes to HTML Help as UTF-16.
TEST(WindowsHelp, TheHelpFileGoesToHtmlHelp) {
    ASSERT_EQ(Reg(L"add \"HKLM\\SOFTWARE\\BRENLAK GmbH\" /v Common /t REG_SZ /d "
                  L"\"C:\\Gemeinsame Dateien\\Müller\" /reg:32 /f"),
              0);
    help::SetHelpFile();
    EXPECT_EQ(help::ApplicationHelpFile(),
              "C:\\Gemeinsame Dateien\\Müller\\helpfiles\\Toolbox.chm");
    struct NoViewer : help::HelpViewer {
        void show(const help::ResolvedTopic&) override { ADD_FAILURE() << "Windows shows it"; }
    } viewer;
    ASSERT_EQ(GetModuleHandleW(L"hhctrl.ocx"), nullptr);
    help::ShowHelpContext(0, help::kMainWindowHelpContext, viewer);
    EXPECT_NE(GetModuleHandleW(L"hhctrl.ocx"), nullptr) << "HtmlHelp was not called";
    Reg(L"delete \"HKLM\\SOFTWARE\\BRENLAK GmbH\" /reg:32 /f");
}

// Another program (the product) holding the project open, in either way Jet opens a file, makes
// it unreadable to us; once it lets go, the file probes as before.
TEST(WindowsLocks, AFileAnotherProgramHoldsIsThree) {
    fixture::TempDir dir;
    const std::string file = (dir.path() / "Projekt.kxs").string();
    CopyReal("jet4/testV2003.mdb", file);
    for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        HANDLE held = CreateFileW(Wide(file).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        OVERLAPPED at{};
        ASSERT_TRUE(LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));  // a Jet user lock
        EXPECT_EQ(GetDatabaseState(file), projectdb::kStateUnreadable) << share;
        CloseHandle(held);
        EXPECT_EQ(GetDatabaseState(file), projectdb::kStateNoPassword) << share;
    }
}

// Umlauts, blanks, characters outside every ANSI code page and paths past 260 characters reach
// the same file through the engine, the copy and travix-cli; a trailing blank is dropped as
// Windows drops it, also where the \\?\ prefix would otherwise keep it.
TEST(WindowsPaths, Utf16AndLongPathsReachTheFile) {
    fixture::TempDir dir;
    std::string folder = dir.path().string() + "\\Prüfung ß 项目";
    const std::string shortFolder = folder;
    for (;;) {
        ASSERT_TRUE(CreateDirectoryW(platform::WidePath(folder)->c_str(), nullptr)) << folder;
        if (folder.size() > 300) break;
        folder += "\\Unterordner mit Ä";
    }
    for (const std::string& base : {shortFolder, folder}) {
        const std::string file = base + "\\Anlage Süd.kxs";
        SCOPED_TRACE(file.size());
        CopyReal("jet3/testV1997.mdb", file);
        EXPECT_EQ(GetDatabaseState(file), projectdb::kStateNoPassword);
        EXPECT_EQ(GetDatabaseState(file + " "), projectdb::kStateNoPassword);
        EXPECT_TRUE(projectdb::FileExists(file + " "));
        EXPECT_EQ(GetDatabaseState(base + "\\Anlage Sud.kxs"), projectdb::kStateMissing);
        const std::string copy = base + "\\Kopie für Büro.kxs";
        EXPECT_NO_THROW(platform::CopyFileReplacing(file, copy));
        projectdb::SetStandardPassword(copy);
        EXPECT_EQ(GetDatabaseState(copy), projectdb::kStateStandardPassword);
        const fs::path output = dir.path() / "probe.txt";
        EXPECT_EQ(RunProgram(Wide("\"" TRAVIX_CLI_EXE "\" probe \"" + copy + "\""), output), 0);
        EXPECT_EQ(ReadAll(output), "2\r\n");  // a text stream, with Windows' line ends
    }
}

// The apply's replace in place keeps the file's attributes; a target that another program holds
// is not replaced, and is once it is let go.
TEST(WindowsReplace, InPlaceKeepsTheAttributesAndAHeldTargetStays) {
    fixture::TempDir dir;
    const std::string file = dir.path().string() + "\\Projekt.kxs";
    const std::string other = dir.path().string() + "\\Quelle.kxs";
    CopyReal("jet4/testV2003.mdb", file);
    CopyReal("jet3/testV1997.mdb", other);
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(Wide(file).c_str(), attributes));
    platform::WorkingFile work = platform::WorkingFile::InPlace(file);
    const auto handle = reinterpret_cast<HANDLE>(work.Duplicate());
    OVERLAPPED start{};
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, "TVX", 3, &written, &start));
    CloseHandle(handle);
    work.Commit();
    EXPECT_EQ(GetFileAttributesW(Wide(file).c_str()), attributes);
    EXPECT_EQ(ReadAll(file).substr(0, 3), "TVX");

    HANDLE held =
        CreateFileW(Wide(file).c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_THROW(platform::CopyFileReplacing(other, file), platform::FileCopyError);
    CloseHandle(held);
    EXPECT_EQ(ReadAll(file).substr(0, 3), "TVX");
    EXPECT_NO_THROW(platform::CopyFileReplacing(other, file));
    EXPECT_EQ(ReadAll(file), ReadAll(other));
}

// The same file under a drive letter, another spelling of it, and the administrative share is
// one file: the copy refuses to copy it onto itself and leaves it as it was.
TEST(WindowsPaths, SpellingsOfOneFileAreTheSameFileForTheCopy) {
    fixture::TempDir dir;
    const std::string file = (dir.path() / "Projekt.kxs").string();
    CopyReal("jet4/testV2003.mdb", file);
    const std::string before = ReadAll(file);
    ASSERT_EQ(file.substr(1, 2), ":\\");
    const std::string unc = "\\\\localhost\\" + file.substr(0, 1) + "$" + file.substr(2);
    ASSERT_EQ(GetDatabaseState(unc), projectdb::kStateNoPassword) << unc;
    for (const std::string& other :
         {unc, "\\\\?\\" + file, (dir.path() / "." / "PROJEKT.KXS ").string()}) {
        EXPECT_THROW(platform::CopyFileReplacing(file, other), platform::FileCopyError) << other;
        EXPECT_THROW(platform::CopyFileReplacing(other, file), platform::FileCopyError) << other;
    }
    EXPECT_EQ(ReadAll(file), before);
}

// Windows names the languages of the fixtures as ICU does on Linux; where the two differ, the
// comment gives ICU's name.
TEST(WindowsLanguageNames, TheSystemNamesTheFixtureLanguages) {
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {1031, "German (Germany)"},
        {1033, "English (United States)"},
        {1036, "French (France)"},
        {1040, "Italian (Italy)"},
        {1049, "Russian (Russia)"},
        {0x0C07, "German (Austria)"},
        {0x0007, "German"},
        {0x10407, "German (Germany)"},            // ICU: "German (Germany, Sort Order=...)"
        {0x0804, "Chinese (Simplified, China)"},  // ICU: "Chinese (China)"
    };
    for (const auto& [lcid, name] : cases) EXPECT_EQ(platform::LanguageName(lcid), name) << lcid;
    for (const std::int32_t lcid : {0, 0x1000, 0x0400, 0x7407, 0x50409, 0x12345, -1}) {
        EXPECT_ANY_THROW(platform::LanguageName(lcid)) << lcid;
    }
}

}  // namespace
