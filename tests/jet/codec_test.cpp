// Text decoding and connect-text parsing, on the byte shapes the real files do not all hold.

#include <gtest/gtest.h>

#include <vector>

#include "jet/database.h"
#include "jet/text_codec.h"

namespace {

TEST(TextCodec, DecodesJet4CompressedAndPlainText) {
    const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
        {{'A', 0, 'b', 0}, "Ab"},
        {{0xFF, 0xFE, 'a', 'b', 'c'}, "abc"},
        // Compressed, then a 0x00 switches to two bytes a character (U+041C), and back.
        {{0xFF, 0xFE, 'x', 0x00, 0x1C, 0x04, 0x00, 'y'}, "x\xD0\x9Cy"},
        {{0xFF, 0xFE}, ""},
        {{0xFF, 0xFE, 0x00, 0x1C}, ""},  // a dangling half character is dropped, not read past
        {{0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},  // a surrogate pair
        {{0x00, 0xD8}, "\xEF\xBF\xBD"},                  // an unpaired surrogate
    };
    for (const auto& [stored, utf8] : cases) EXPECT_EQ(jet::decodeJet4Text(stored), utf8);
}

TEST(TextCodec, Cp1252BothWays) {
    const std::vector<std::uint8_t> stored = {'a', 0x80, 0xE4, 0x9F, 0x81};
    EXPECT_EQ(jet::decodeCodePage(stored, 1252), "a\xE2\x82\xAC\xC3\xA4\xC5\xB8\xC2\x81");
    EXPECT_EQ(jet::utf8ToCp1252("a\xE2\x82\xAC\xC3\xA4\xC5\x92"),
              (std::vector<std::uint8_t>{'a', 0x80, 0xE4, 0x8C}));
    EXPECT_FALSE(jet::utf8ToCp1252("\xD0\x9C").has_value()) << "Cyrillic has no cp1252 byte";
    EXPECT_FALSE(jet::utf8ToUtf16("\xC3").has_value()) << "truncated UTF-8";
    EXPECT_FALSE(jet::utf8ToUtf16("\xC0\x80").has_value()) << "an overlong NUL";
}

TEST(ConnectText, FindsThePasswordItem) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {";pwd=QTRMBXLNAHZWEP", "QTRMBXLNAHZWEP"},
        {";PWD=secret", "secret"},
        {"MS Access;Pwd=a b;", "a b"},
        {";pwd=", ""},
        {";uid=admin;pwd=x=y", "x=y"},
        {"", std::nullopt},
        {";uid=admin", std::nullopt},
        {"pwdx=1", std::nullopt},
    };
    for (const auto& [connect, password] : cases)
        EXPECT_EQ(jet::passwordFromConnect(connect), password) << connect;
}

}  // namespace
