#include <windows.h>

#include "help/MHelp.h"
#include "platform/utf16.h"

namespace help {
namespace {

constexpr UINT kHhHelpContext = 15;  // HH_HELP_CONTEXT: dwData is the context ID
using HtmlHelpWFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// hhctrl.ocx is loaded on the first request and kept: the viewer it opens lives in this process.
HtmlHelpWFunction LoadHtmlHelp() {
    static HMODULE library = LoadLibraryW(L"hhctrl.ocx");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<HtmlHelpWFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpW")));
}

}  // namespace

std::string NativeHelpFilePath(const std::string& storedPath) {
    return storedPath;
}

void ShowHelpContext(std::uintptr_t ownerWindow, std::int32_t contextId, HelpViewer& viewer) {
    (void)viewer;
    // The registry gives UTF-8 like every other text of the program, so the wide call takes a
    // folder name outside the ANSI code page as well.
    const std::optional<std::wstring> path =
        platform::WideFromUtf8(NativeHelpFilePath(ApplicationHelpFile()));
    if (!path) return;
    if (HtmlHelpWFunction htmlHelp = LoadHtmlHelp()) {
        htmlHelp(reinterpret_cast<HWND>(ownerWindow), path->c_str(), kHhHelpContext,
                 static_cast<DWORD_PTR>(static_cast<std::uint32_t>(contextId)));
    }
}

}  // namespace help
