#pragma once
// Path texts as the window handles them: kept exactly as typed, trimmed only where a step asks for
// it. Trimming removes blanks (U+0020) alone, as the product always has; tabs and other white space
// are part of the path.
#include <string>

namespace app {

inline std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace app
