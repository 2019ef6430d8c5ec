#pragma once
// UTF-8, the program's text everywhere, to and from UTF-16, the text of Windows' wide calls. Only
// the Windows build has these; every call into Windows that takes text goes through them, so no
// path or name ever passes through the ANSI code page.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// nullopt for text that is not valid UTF-8.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

// A path as Windows' wide file calls take it: made absolute and normalised the way Windows treats
// every path it is given (either separator, "." and "..", blanks and dots at the end of the last
// name dropped), then given the "\\?\" prefix ("\\?\UNC\" for a share) when it is too long for the
// classic limit, so that a long path reaches the same file a short one would. nullopt for an
// empty path, one with an embedded NUL, or one that is not valid UTF-8.
std::optional<std::wstring> WidePath(const std::string& utf8);

}  // namespace platform
