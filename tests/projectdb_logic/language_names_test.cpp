// Language names come from the platform in the system's language; an LCID it does not know fails.
#include "platform/language_names.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include "platform/runtime_error.h"

namespace {

// Sets the system language that names are given in, and puts the old one back.
class SystemLanguage {
  public:
    explicit SystemLanguage(const char* locale) : saved_(uloc_getDefault()) { Set(locale); }
    ~SystemLanguage() { Set(saved_.c_str()); }

  private:
    static void Set(const char* locale) {
        UErrorCode status = U_ZERO_ERROR;
        uloc_setDefault(locale, &status);
    }
    std::string saved_;
};

TEST(LanguageName, NamesKnownLanguagesInTheSystemsLanguage) {
    const std::vector<std::tuple<const char*, std::int32_t, std::string>> cases = {
        {"en_US", 1031, "German (Germany)"},      {"en_US", 1033, "English (United States)"},
        {"en_US", 0x0C07, "German (Austria)"},    {"en_US", 0x0007, "German"},
        {"de_DE", 1031, "Deutsch (Deutschland)"}, {"de_DE", 1036, "Französisch (Frankreich)"},
    };
    for (const auto& [locale, lcid, name] : cases) {
        SystemLanguage system(locale);
        EXPECT_EQ(platform::LanguageName(lcid), name) << locale << " " << lcid;
    }
}

TEST(LanguageName, UnknownLcidsFailWithTheInvalidArgumentError) {
    // 0x7407 and 0x50409 would fall back to a bare language in ICU; no platform knows them.
    for (const std::int32_t lcid : {0, 0x1000, 0x0400, 0x7407, 0x50409, 0x12345, -1}) {
        try {
            const std::string name = platform::LanguageName(lcid);
            ADD_FAILURE() << lcid << " named " << name;
        } catch (const platform::RuntimeError& error) {
            EXPECT_EQ(error.number(), 5) << lcid;
            EXPECT_EQ(error.description(), "Invalid procedure call or argument");
        }
    }
}

}  // namespace
