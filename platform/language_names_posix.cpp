#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/language_names.h"
#include "platform/runtime_error.h"

namespace platform {

namespace {

constexpr std::uint32_t kPrimaryLanguageMask = 0x3FF;

// ICU's locale ID for an LCID; nullopt when ICU has none. ICU answers "root" for LCIDs it does not
// know at all.
std::optional<std::string> IcuLocaleFor(std::uint32_t lcid) {
    std::array<char, ULOC_FULLNAME_CAPACITY> buffer{};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        uloc_getLocaleForLCID(lcid, buffer.data(), static_cast<int32_t>(buffer.size()), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(buffer.size())) {
        return std::nullopt;
    }
    std::string locale(buffer.data(), static_cast<std::size_t>(length));
    if (locale == "root" || locale == "und") return std::nullopt;
    return locale;
}

// ICU falls back to the bare language for a sublanguage or sort order it does not know (0x7407
// gives "de" like 0x0007); Windows knows no such LCID, so neither do we.
std::optional<std::string> KnownLocaleFor(std::uint32_t lcid) {
    std::optional<std::string> locale = IcuLocaleFor(lcid);
    if (!locale || (lcid & ~kPrimaryLanguageMask) == 0) return locale;
    if (IcuLocaleFor(lcid & kPrimaryLanguageMask) == locale) return std::nullopt;
    return locale;
}

}  // namespace

std::string LanguageName(std::int32_t lcid) {
    const std::optional<std::string> locale = KnownLocaleFor(static_cast<std::uint32_t>(lcid));
    if (!locale) throw invalidProcedureCall();

    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        uloc_getDisplayName(locale->c_str(), uloc_getDefault(), nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) throw invalidProcedureCall();
    std::vector<UChar> wide(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    uloc_getDisplayName(locale->c_str(), uloc_getDefault(), wide.data(),
                        static_cast<int32_t>(wide.size()), &status);
    if (U_FAILURE(status) || length == 0) throw invalidProcedureCall();

    int32_t bytes = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(nullptr, 0, &bytes, wide.data(), length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) throw invalidProcedureCall();
    std::string name(static_cast<std::size_t>(bytes), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8(name.data(), bytes, nullptr, wide.data(), length, &status);
    if (U_FAILURE(status)) throw invalidProcedureCall();
    return name;
}

}  // namespace platform
