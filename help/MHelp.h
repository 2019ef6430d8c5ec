#pragma once
// The application help file: set once at start-up from the registry value "Common" (text, with
// "\helpfiles\Toolbox.chm" appended), read at every help request. Stored with backslashes as built.
#include <string>

namespace help {

constexpr int kMainWindowHelpContext = 60011;

// Reads HKEY_LOCAL_MACHINE "SOFTWARE\BRENLAK GmbH" value "Common" (no default) and stores
// value + "\" + "helpfiles\Toolbox.chm". Registry failures propagate.
void SetHelpFile();

// The stored path, empty until SetHelpFile ran.
const std::string& ApplicationHelpFile();

}  // namespace help
