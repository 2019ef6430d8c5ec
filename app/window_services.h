#pragma once
// The services the window gets from outside, so that tests can drive the real window offscreen with
// fakes for whatever would block or end the test process.
#include <functional>

#include "app/file_dialog.h"
#include "app/message_sink.h"
#include "help/help_viewer.h"

namespace app {

// Ends the process with the given status. Cancel uses it and must not come back from it in the
// program.
using ExitFunction = std::function<void(int status)>;

// Ends the process at once: flushes the C streams and leaves through _Exit, so that no event
// handler, no destructor and no atexit hook of ours runs afterwards. The program holds no open file
// or unwritten data at the times it ends this way; the kernel releases its locks and the display
// connection.
[[noreturn]] void EndProcessNow(int status);

struct WindowServices {
    MessageSink* messages = nullptr;  // not owned; must outlive the window
    ExitFunction exitProgram = EndProcessNow;
    help::HelpViewer* helpViewer = nullptr;  // not owned; nullptr: the window's own Qt viewer
    FileDialog* fileDialog = nullptr;        // not owned; nullptr: Qt's file dialog
};

}  // namespace app
