// What only the Windows build has, run under Wine: the registry's 32-bit view and the HTML Help
// call, share-mode locks against another program's handle, UTF-16, long paths and other spellings
// of one file, the replace in place, and the system's language names. travix-cli.exe's answers on
// the real files are compared with the Linux program's by the Linux suite.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "help/MHelp.h"
#include "i18n/MResources.h"
#include "platform/file_copy.h"
#include "platform/language_names.h"
#include "platform/utf16.h"
#include "projectdb/password.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using projectdb::GetDatabaseState;

std::wstring Wide(const std::string& utf8) {
    return platform::WideFromUtf8(utf8).value();
}

// Runs a command line with its output into `output`; the exit code, -1 when it could not start.
int RunProgram(const std::wstring& commandLine, const fs::path& output) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                     CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(startup.hStdOutput);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

int Reg(const std::wstring& arguments) {
    return RunProgram(L"reg.exe " + arguments, "NUL");
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

// The product is a 32-bit program: its language and its help folder are read from the 32-bit
// view, texts arrive as UTF-8, and the help file goes to HTML Help as UTF-16.
TEST(WindowsRegistry, TheLanguageAndTheHelpFolderComeFromThe32BitView) {
    const std::wstring lcid = L"\"HKLM\\SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0\" /v LCID ";
    // The 64-bit view holds another value throughout: reading it would give the wrong language.
    ASSERT_EQ(Reg(L"add " + lcid + L"/t REG_DWORD /d 1031 /reg:64 /f"), 0);
    for (const auto& [change, offset] :
         {std::pair{L"add " + lcid + L"/t REG_DWORD /d 1033 /reg:32 /f", i18n::kLanguageStride},
          {L"delete " + lcid + L"/reg:32 /f", 0}}) {  // missing: the default, German
        ASSERT_EQ(Reg(change), 0);
        i18n::ResourceTable table;
        table.InitLanguage();
        EXPECT_EQ(table.languageOffset(), offset);
    }
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
    Reg(L"delete \"HKLM\\SOFTWARE\\BRENLAK GmbH\" /reg:64 /f");
}

// Umlauts, blanks, characters outside every ANSI code page and paths past 260 characters reach
// the file through the engine, the copy and travix-cli. So do other spellings of it: the prefixed
// form (\\?\), the administrative share, another case, a dot folder and a trailing blank, which
// Windows drops also where the prefix would otherwise keep it; the copy knows each for the file
// itself and refuses to copy the file onto it. Another program (the product) holding the file
// open, in either way Jet opens a file, makes it unreadable to us until it lets go.
TEST(WindowsFiles, EverySpellingReachesTheFileThatNoOtherProgramHolds) {
    fixture::TempDir dir;
    const std::string shortFolder = dir.path().string() + "\\Prüfung ß 项目";
    std::string folder = shortFolder;
    ASSERT_TRUE(CreateDirectoryW(platform::WidePath(folder)->c_str(), nullptr));
    while (folder.size() <= 300) {
        folder += "\\Unterordner mit Ä";
        ASSERT_TRUE(CreateDirectoryW(platform::WidePath(folder)->c_str(), nullptr)) << folder;
    }
    for (const std::string& base : {shortFolder, folder}) {
        const std::string file = base + "\\Anlage Süd.kxs";
        CopyReal("jet3/testV1997.mdb", file);
        // Held as Jet holds a file, exclusively or shared with a user lock on its first byte.
        for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
            HANDLE held =
                CreateFileW(platform::WidePath(file)->c_str(), GENERIC_READ | GENERIC_WRITE, share,
                            nullptr, OPEN_EXISTING, 0, nullptr);
            OVERLAPPED at{};
            ASSERT_TRUE(LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));
            EXPECT_EQ(GetDatabaseState(file), projectdb::kStateUnreadable) << share;
            CloseHandle(held);
        }
        const std::string unc = "\\\\localhost\\" + file.substr(0, 1) + "$" + file.substr(2);
        for (const std::string& same : {"\\\\?\\" + file, unc, base + "\\.\\ANLAGE SüD.KXS "}) {
            EXPECT_EQ(GetDatabaseState(same), projectdb::kStateNoPassword) << same;
            EXPECT_TRUE(projectdb::FileExists(same)) << same;
            EXPECT_THROW(platform::CopyFileReplacing(file, same), platform::FileCopyError) << same;
        }
        EXPECT_EQ(GetDatabaseState(base + "\\Anlage Sud.kxs"), projectdb::kStateMissing);
        const std::string copy = base + "\\Kopie für Büro.kxs";
        platform::CopyFileReplacing(file, copy);
        projectdb::SetStandardPassword(copy);
        const fs::path output = dir.path() / "probe.txt";
        EXPECT_EQ(RunProgram(Wide("\"" TRAVIX_CLI_EXE "\" probe \"" + copy + "\""), output), 0);
        EXPECT_EQ(ReadAll(output), "2\r\n") << copy;  // a text stream, with Windows' line ends
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

// The names of the project files' languages are compared with ICU's on Linux through travix-cli
// show; these are a region, a language alone, a sort order (which ICU names) and a script (which
// ICU leaves out).
TEST(WindowsLanguageNames, TheSystemNamesLanguagesAndRefusesPseudoLocales) {
    const std::pair<std::int32_t, std::string> cases[] = {{0x0C07, "German (Austria)"},
                                                          {0x0007, "German"},
                                                          {0x10407, "German (Germany)"},
                                                          {0x0804, "Chinese (Simplified, China)"}};
    for (const auto& [lcid, name] : cases) EXPECT_EQ(platform::LanguageName(lcid), name) << lcid;
    for (const std::int32_t lcid : {0, 0x1000, 0x0400, 0x7407, 0x50409, 0x12345, -1})
        EXPECT_ANY_THROW(platform::LanguageName(lcid)) << lcid;
}

}  // namespace
