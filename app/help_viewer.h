#pragma once
// The help viewer of the program away from Windows: the topic in a QTextBrowser of a window of its
// own (no owner, so the main window stays usable beside it). Pages, pictures and style sheets come
// straight from the help file; nothing is written to disk and nothing outside the file is loaded.
// The viewer keeps one window: a request raises it and loads the requested topic again, as the
// HTML Help viewer reuses its window; a closed window is made anew by the next request.
#include <QPointer>

#include "help/help_viewer.h"

namespace app {

class HelpWindow;

class QtHelpViewer : public help::HelpViewer {
  public:
    QtHelpViewer() = default;
    ~QtHelpViewer() override;
    QtHelpViewer(const QtHelpViewer&) = delete;
    QtHelpViewer& operator=(const QtHelpViewer&) = delete;

    // The window never gets an owner: the program asks with owner 0 only.
    void show(const help::ResolvedTopic& topic) override;

  private:
    QPointer<HelpWindow> window_;  // owned; null until the first request or once closed
};

}  // namespace app
