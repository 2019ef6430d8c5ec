#include <algorithm>

#include "help/MHelp.h"

namespace help {

std::string NativeHelpFilePath(const std::string& storedPath) {
    std::string native = storedPath;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

void ShowHelpContext(std::uintptr_t ownerWindow, std::int32_t contextId, HelpViewer& viewer) {
    // Help is a side door: whatever goes wrong, the window that asked stays as it was.
    try {
        const std::optional<ResolvedTopic> topic =
            ResolveHelpContext(NativeHelpFilePath(ApplicationHelpFile()), contextId, ownerWindow);
        if (topic) viewer.show(*topic);
    } catch (...) {
    }
}

}  // namespace help
