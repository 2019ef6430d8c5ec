#include <utility>

#include "help/MHelp.h"

namespace help {

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

}  // namespace help
