#include <windows.h>

#include "platform/language_names.h"
#include "platform/runtime_error.h"
#include "platform/utf16.h"

namespace platform {

// The locale's name first, then its display name in the system's UI language: the calls that
// take locale names know every locale the system has, where the LCID-based ones stop at the old
// table.
std::string LanguageName(std::int32_t lcid) {
    const auto id = static_cast<LCID>(static_cast<std::uint32_t>(lcid));
    // Language 0 marks the pseudo-locales (user or system default, custom, neutral), which name
    // whatever this machine is set to rather than a language.
    if (PRIMARYLANGID(LANGIDFROMLCID(id)) == LANG_NEUTRAL || (id >> 20) != 0) {
        throw invalidProcedureCall();
    }
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(id, locale, LOCALE_NAME_MAX_LENGTH, LOCALE_ALLOW_NEUTRAL_NAMES) <= 0) {
        throw invalidProcedureCall();
    }
    wchar_t name[256] = {};
    const int count = GetLocaleInfoEx(locale, LOCALE_SLOCALIZEDDISPLAYNAME, name, 256);
    if (count <= 1) throw invalidProcedureCall();
    return Utf8FromWide(std::wstring_view(name, static_cast<std::size_t>(count - 1)));
}

}  // namespace platform
