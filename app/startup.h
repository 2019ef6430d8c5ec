#pragma once
// Start-up: build the window, run its load handler, show it. A failure on the way is told to the
// user and ends the program with a non-zero status instead of a crash.
#include <QString>
#include <memory>

#include "app/window_services.h"

class QApplication;

namespace app {

class FTravix;

inline constexpr int kStartupFailureStatus = 1;

// Builds the window and runs Form_Load. On failure shows why through services.messages and returns
// nullptr; nothing is shown then.
std::unique_ptr<FTravix> StartTravix(const WindowServices& services);

// The program after QApplication exists: starts the window, shows it and runs the event loop.
// `projectPath`, the optional argument of the command line (a file manager's "open with"), is
// taken as if chosen through the source's "..." button; empty, the window starts untouched.
// Returns the program's exit status (kStartupFailureStatus when start-up failed).
int RunTravix(QApplication& application, const WindowServices& services,
              const QString& projectPath = QString());

}  // namespace app
