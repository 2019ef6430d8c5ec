// Language names come from the platform in the system's language; an LCID it does not know fails
// with 5, as other failures reach the window as their number and text.
#include "platform/language_names.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include "projectdb/language_releases.h"
#include "tests/projectdb_logic/logic_test_support.h"

namespace {

TEST(LanguageName, InTheSystemsLanguageAndFailureMessages) {
    const std::string saved = uloc_getDefault();
    const std::tuple<const char*, std::int32_t, const char*> cases[] = {
        {"en_US", 1031, "German (Germany)"},
        {"en_US", 0x0C07, "German (Austria)"},
        {"en_US", 0x0007, "German"},
        {"de_DE", 1036, "Französisch (Frankreich)"}};
    UErrorCode status = U_ZERO_ERROR;
    for (const auto& [locale, lcid, name] : cases) {
        uloc_setDefault(locale, &status);
        EXPECT_EQ(platform::LanguageName(lcid), name) << locale << " " << lcid;
    }
    uloc_setDefault(saved.c_str(), &status);
    for (const std::int32_t lcid : {0, 0x1000, 0x0400, 0x7407, 0x50409, -1})
        EXPECT_EQ(logic_test::Thrown([&] { platform::LanguageName(lcid); }),
                  "5Invalid procedure call or argument")
            << lcid;
    EXPECT_EQ(projectdb::FailureMessage(std::make_exception_ptr(std::bad_alloc())),
              "7Out of memory");
    EXPECT_EQ(projectdb::FailureMessage(nullptr), "51Internal error");
}

}  // namespace
