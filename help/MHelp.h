#pragma once
// The application help file: set once at start-up from the registry value "Common" (text, with
// "\helpfiles\Toolbox.chm" appended), read at every help request. Stored with backslashes as built.
#include <cstdint>
#include <optional>
#include <string>

#include "help/help_viewer.h"

namespace help {

constexpr int kMainWindowHelpContext = 60011;

// Reads HKEY_LOCAL_MACHINE "SOFTWARE\BRENLAK GmbH" value "Common" (no default) and stores
// value + "\" + "helpfiles\Toolbox.chm". Registry failures propagate.
void SetHelpFile();

// The stored path, empty until SetHelpFile ran.
const std::string& ApplicationHelpFile();

// Opens the application help file at contextId; ownerWindow 0 gives the viewer a window of its own.
// Windows: HtmlHelpW from hhctrl.ocx with HH_HELP_CONTEXT, its result ignored (viewer is unused).
// Elsewhere: the topic is resolved first and only then handed to viewer, so a missing file or an
// unmapped ID shows nothing. Reports nothing and never throws.
void ShowHelpContext(std::uintptr_t ownerWindow, std::int32_t contextId, HelpViewer& viewer);

// The stored help file path with native separators: unchanged on Windows, "\" read as "/"
// elsewhere.
std::string NativeHelpFilePath(const std::string& storedPath);

// Opens nativeHelpFile and resolves contextId to an existing, readable topic; nullopt when the file
// is missing or no help file, or maps no such ID.
std::optional<ResolvedTopic> ResolveHelpContext(const std::string& nativeHelpFile,
                                                std::int32_t contextId, std::uintptr_t ownerWindow);

}  // namespace help
