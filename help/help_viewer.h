#pragma once
// Where a resolved help request is shown away from Windows. MHelp resolves the context ID inside
// the help file first and hands the viewer only a topic that exists, so a viewer never has to
// report a missing file or ID.
#include <cstdint>
#include <memory>
#include <string>

#include "help/chm_file.h"

namespace help {

struct ResolvedTopic {
    std::string helpFile;           // native path of the help file
    std::shared_ptr<ChmFile> file;  // that file, open; it holds topicPath
    std::string topicPath;          // the topic as the archive spells it, e.g. "/topics/main.htm"
    std::int32_t contextId = 0;
    std::uintptr_t ownerWindow = 0;  // 0: a window of its own
};

class HelpViewer {
  public:
    virtual ~HelpViewer() = default;

    // Shows the topic. Each call is a request of its own; the viewer decides whether it reuses a
    // window it opened before.
    virtual void show(const ResolvedTopic& topic) = 0;
};

}  // namespace help
