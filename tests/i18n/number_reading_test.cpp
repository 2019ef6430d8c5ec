#include "i18n/number_reading.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

using i18n::ReadLeadingNumber;
using i18n::RoundToInt32;

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    // Blanks anywhere, no number as 0, sign, a dot as decimal point even where the locale has a
    // comma (de_DE.UTF-8, which scripts/install-deps.sh generates), exponents with E or D, &H and
    // &O (16 and 32 bits signed, beyond that unsigned).
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 is not installed";
    // clang-format off
    const std::pair<std::string, double> cases[] = {
        {"101", 101}, {"", 0}, {"x101", 0}, {"101x", 101}, {"1 2", 12}, {" \t\n\r1\t0\n1", 101},
        {"12abc34", 12}, {"- 5", -5}, {"+-5", 0}, {"--5", 0}, {"-", 0}, {".", 0}, {".5", 0.5},
        {"-.25", -0.25}, {"1.2.3", 1.2}, {"1,5", 1}, {"1e3", 1000}, {"1E+2", 100}, {"25e-1", 2.5},
        {"1D2", 100}, {"1d-1", 0.1}, {"1 e 2", 100}, {"1e", 1}, {"1e+", 1}, {"1ex", 1}, {"e5", 0},
        {".e5", 0}, {"0e999999999999", 0}, {"1e-999999", 0}, {"&h1f", 31}, {" & H 1 0", 16},
        {"&H7FFF", 32767}, {"&H8000", -32768}, {"&HFFFF", -1}, {"&H10000", 65536},
        {"&H7FFFFFFF", 2147483647}, {"&H80000000", -2147483648.0}, {"&HFFFFFFFF", -1},
        {"&H100000000", 4294967296.0}, {"&HG", 0}, {"&H", 0}, {"&o777", 511}, {"&O177777", -1},
        {"&O8", 0}, {"&O18", 1}, {"&X10", 0}, {"&10", 0}, {"5&H10", 5}, {"1e400", HUGE_VAL},
        {"-1e99999999999999999999", -HUGE_VAL}, {std::string(400, '9'), HUGE_VAL},
        {"0." + std::string(400, '0') + "1", 0}};
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_DOUBLE_EQ(ReadLeadingNumber(text), expected) << "text: \"" << text << "\"";
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbourAndWhatDoesNotFitIsRejected) {
    // clang-format off
    const std::pair<double, std::optional<std::int32_t>> cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3},
        {-2.5001, -3}, {101, 101}, {-0.0, 0}, {2147483646.5, 2147483646},
        {-2147483648.5, INT32_MIN}, {-2147483647.5, INT32_MIN}, {2147483647.5, std::nullopt},
        {2147483648.0, std::nullopt}, {-2147483648.6, std::nullopt}, {-2147483649.0, std::nullopt},
        {1e300, std::nullopt}, {-HUGE_VAL, std::nullopt}, {HUGE_VAL, std::nullopt},
        {std::nan(""), std::nullopt}, {ReadLeadingNumber("101.5"), 102}};
    // clang-format on
    for (const auto& [value, expected] : cases) EXPECT_EQ(RoundToInt32(value), expected) << value;
}

}  // namespace
