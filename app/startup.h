#pragma once
// Start-up: build the window, run its load handler, show it. A failure on the way is told to the
// user and ends the program with a non-zero status instead of a crash.
#include <memory>
#include <stdexcept>
#include <string>

#include "app/window_services.h"

class QApplication;

namespace app {

class FTravix;

inline constexpr int kStartupFailureStatus = 1;

// A load step that failed: which step (a sentence in German and English for the user) and why.
class StartupError : public std::runtime_error {
  public:
    StartupError(std::string step, const std::string& reason);
    const std::string& step() const { return step_; }

  private:
    std::string step_;
};

// Builds the window and runs Form_Load. On failure shows why through services.messages and returns
// nullptr; nothing is shown then.
std::unique_ptr<FTravix> StartTravix(const WindowServices& services);

// The program after QApplication exists: starts the window and runs the event loop. Returns the
// program's exit status (kStartupFailureStatus when start-up failed).
int RunTravix(QApplication& application, const WindowServices& services);

}  // namespace app
