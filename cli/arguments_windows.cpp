#include <windows.h>
// shellapi.h after windows.h, which it needs.
#include <shellapi.h>

#include "cli/arguments.h"
#include "platform/utf16.h"

namespace cli {

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(platform::Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace cli
