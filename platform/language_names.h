#pragma once
// The display name of a language, given its Windows locale identifier (LCID), in the language of
// the system the program runs on (not the program's own UI language).

#include <cstdint>
#include <string>

namespace platform {

// The system's full localised name of the language, UTF-8, such as "German (Germany)" for 1031 on
// an English system. Throws RuntimeError 5 (invalidProcedureCall) for an LCID the platform does
// not know, 0 and the custom-locale value 0x1000 included.
std::string LanguageName(std::int32_t lcid);

}  // namespace platform
