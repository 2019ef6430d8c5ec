#include "i18n/number_reading.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

using i18n::ReadLeadingNumber;
using i18n::RoundToInt32;

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    struct Case {
        std::string text;
        double expected;
    };
    const Case cases[] = {
        {"101", 101},
        {"", 0},
        {"x101", 0},
        {"101x", 101},
        {"1 2", 12},
        {" \t\n\r1\t0\n1", 101},
        {"- 5", -5},
        {"+5", 5},
        {"+-5", 0},
        {"--5", 0},
        {"-", 0},
        {".", 0},
        {".5", 0.5},
        {"-.25", -0.25},
        {"2.5", 2.5},
        {"1.2.3", 1.2},
        {"1,5", 1},  // the comma never is a decimal point
        {"1e3", 1000},
        {"1E+2", 100},
        {"25e-1", 2.5},
        {"1D2", 100},
        {"1d-1", 0.1},
        {"1 e 2", 100},
        {"1e", 1},
        {"1e+", 1},
        {"1ex", 1},
        {"e5", 0},
        {".e5", 0},
        {"0e999999999999", 0},
        {"1e-999999", 0},
        {"12abc34", 12},
        {"&H10", 16},
        {"&h1f", 31},
        {" & H 1 0", 16},
        {"&HFF", 255},
        {"&H7FFF", 32767},
        {"&H8000", -32768},
        {"&HFFFF", -1},
        {"&H10000", 65536},
        {"&H7FFFFFFF", 2147483647},
        {"&H80000000", -2147483648.0},
        {"&HFFFFFFFF", -1},
        {"&H100000000", 4294967296.0},
        {"&HG", 0},
        {"&H", 0},
        {"&O17", 15},
        {"&o777", 511},
        {"&O177777", -1},
        {"&O8", 0},
        {"&O18", 1},
        {"&X10", 0},
        {"&10", 0},
        {"5&H10", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        EXPECT_DOUBLE_EQ(ReadLeadingNumber(c.text), c.expected);
    }
}

TEST(LeadingNumber, HugeExponentsOverflowToInfinity) {
    EXPECT_EQ(ReadLeadingNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(ReadLeadingNumber("-1e99999999999999999999"), -HUGE_VAL);
    EXPECT_EQ(ReadLeadingNumber(std::string(400, '9')), HUGE_VAL);
    EXPECT_EQ(ReadLeadingNumber("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(LeadingNumber, DecimalPointIsADotWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            switched = true;
            break;
        }
    }
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma is installed";
    const double value = ReadLeadingNumber("2.75");
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_DOUBLE_EQ(value, 2.75);
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbour) {
    struct Case {
        double value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {2.4999, 2},
        {2.5001, 3},
        {-2.5001, -3},
        {101, 101},
        {0.0, 0},
        {-0.0, 0},
        {2147483647.0, 2147483647},
        {2147483646.5, 2147483646},
        {-2147483648.0, INT32_MIN},
        {-2147483648.5, INT32_MIN},
        {-2147483647.5, INT32_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RoundToInt32(c.value), std::optional<std::int32_t>(c.expected));
    }
}

TEST(RoundToInt32, RejectsWhatDoesNotFit) {
    const double cases[] = {2147483647.5, 2147483648.0, -2147483648.6, -2147483649.0, 4294967296.0,
                            1e300,        -1e300,       HUGE_VAL,      -HUGE_VAL,     std::nan("")};
    for (double value : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(RoundToInt32(value), std::nullopt);
    }
}

TEST(RoundToInt32, ReadingAndRoundingTogether) {
    EXPECT_EQ(RoundToInt32(ReadLeadingNumber("C12")), std::optional<std::int32_t>(0));
    EXPECT_EQ(RoundToInt32(ReadLeadingNumber("101.5")), std::optional<std::int32_t>(102));
    EXPECT_EQ(RoundToInt32(ReadLeadingNumber("&HFFFF")), std::optional<std::int32_t>(-1));
    EXPECT_EQ(RoundToInt32(ReadLeadingNumber("&H100000000")), std::nullopt);
    EXPECT_EQ(RoundToInt32(ReadLeadingNumber("3e9")), std::nullopt);
}

}  // namespace
