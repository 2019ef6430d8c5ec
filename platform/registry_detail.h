#pragma once
// What the registry reader's platform parts share with its common part.
#include <string_view>

namespace platform::registry_detail {

// The text without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);

}  // namespace platform::registry_detail
