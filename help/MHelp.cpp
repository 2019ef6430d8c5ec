#include "help/MHelp.h"

#include <algorithm>
#include <utility>

#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace help {
namespace {

std::string& HelpFilePath() {
    static std::string path;
    return path;
}

#ifdef _WIN32
constexpr UINT kHhHelpContext = 15;  // HH_HELP_CONTEXT: dwData is the context ID
using HtmlHelpAFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

// hhctrl.ocx is loaded on the first request and kept: the viewer it opens lives in this process.
HtmlHelpAFunction LoadHtmlHelpA() {
    static HMODULE library = nullptr;
    if (library == nullptr) library = LoadLibraryA("hhctrl.ocx");
    if (library == nullptr) return nullptr;
    return reinterpret_cast<HtmlHelpAFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")));
}
#endif

}  // namespace

void SetHelpFile() {
    const platform::RegistryValue common = platform::RegistryReader::Registry().GetValue(
        platform::HKEY_LOCAL_MACHINE_HIVE, "SOFTWARE\\BRENLAK GmbH", "Common");
    // The separator is added whatever the folder ends with; a trailing backslash doubles it.
    HelpFilePath() = platform::RegistryValueToText(common) + "\\" + "helpfiles\\Toolbox.chm";
}

const std::string& ApplicationHelpFile() {
    return HelpFilePath();
}

std::string NativeHelpFilePath(const std::string& storedPath) {
#ifdef _WIN32
    return storedPath;
#else
    std::string native = storedPath;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
#endif
}

std::optional<ResolvedTopic> ResolveHelpContext(const std::string& nativeHelpFile,
                                                std::int32_t contextId,
                                                std::uintptr_t ownerWindow) {
    if (nativeHelpFile.empty()) return std::nullopt;
    std::shared_ptr<ChmFile> file = ChmFile::Open(nativeHelpFile);
    if (!file) return std::nullopt;
    // The file stores context IDs as DWORDs; a negative ID keeps its bit pattern.
    std::optional<std::string> topic = file->ResolveContext(static_cast<std::uint32_t>(contextId));
    // A topic the viewer could not read would open an empty window.
    if (!topic || !file->Read(*topic)) return std::nullopt;
    ResolvedTopic resolved;
    resolved.helpFile = nativeHelpFile;
    resolved.file = std::move(file);
    resolved.topicPath = std::move(*topic);
    resolved.contextId = contextId;
    resolved.ownerWindow = ownerWindow;
    return resolved;
}

void ShowHelpContext(std::uintptr_t ownerWindow, std::int32_t contextId, HelpViewer& viewer) {
#ifdef _WIN32
    (void)viewer;
    // The path comes from an ANSI registry read, so it already is in the system's ANSI code page.
    const std::string path = NativeHelpFilePath(ApplicationHelpFile());
    if (HtmlHelpAFunction htmlHelp = LoadHtmlHelpA()) {
        htmlHelp(reinterpret_cast<HWND>(ownerWindow), path.c_str(), kHhHelpContext,
                 static_cast<DWORD_PTR>(static_cast<std::uint32_t>(contextId)));
    }
#else
    // Help is a side door: whatever goes wrong, the window that asked stays as it was.
    try {
        const std::optional<ResolvedTopic> topic =
            ResolveHelpContext(NativeHelpFilePath(ApplicationHelpFile()), contextId, ownerWindow);
        if (topic) viewer.show(*topic);
    } catch (...) {
    }
#endif
}

}  // namespace help
