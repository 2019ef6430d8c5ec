#pragma once
// Runs a piece of work in a short-lived child process and hands back the bytes it produced, so that
// a crash or an endless loop inside a library that reads an untrusted file ends only the child,
// never the window that asked.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace help {

// A child that has not finished by then is taken for stuck.
inline constexpr unsigned kIsolatedCallSeconds = 10;

// The value work returned in the child; nullopt when work returned nullopt or threw, or the child
// crashed, ran longer than timeLimitSeconds or produced more than maxBytes. Where processes cannot
// be forked (Windows) work runs in this process. REQUIRES: work reads memory and files only; the
// child ends by _exit, touching nothing shared.
std::optional<std::string> RunIsolated(const std::function<std::optional<std::string>()>& work,
                                       std::size_t maxBytes,
                                       unsigned timeLimitSeconds = kIsolatedCallSeconds);

}  // namespace help
