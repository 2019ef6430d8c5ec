#pragma once
// A load step of the window that failed: which step, as a sentence in German and English for the
// user, and why. The window raises it, the start-up reports it.
#include <stdexcept>
#include <string>
#include <utility>

namespace app {

class StartupError : public std::runtime_error {
  public:
    StartupError(std::string step, const std::string& reason)
        : std::runtime_error(reason), step_(std::move(step)) {}
    const std::string& step() const { return step_; }

  private:
    std::string step_;
};

}  // namespace app
