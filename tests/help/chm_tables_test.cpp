// The /#IVB and /#STRINGS tables and the topic path candidates, on bytes built here: the shapes a
// compiler does not make but a damaged or hostile file can hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "help/chm_file.h"

namespace {

std::vector<unsigned char> Ivb(std::uint32_t announced, std::initializer_list<std::uint32_t> words,
                               std::size_t extraBytes = 0) {
    std::vector<unsigned char> bytes;
    auto put = [&bytes](std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    put(announced);
    for (std::uint32_t word : words) put(word);
    bytes.insert(bytes.end(), extraBytes, 0xAB);
    return bytes;
}

TEST(ContextTable, FindsTheStringOffsetOfAnIdOnlyInAnnouncedAndPresentPairs) {
    struct Case {
        const char* name;
        std::vector<unsigned char> ivb;
        std::uint32_t id;
        std::optional<std::uint32_t> offset;
    };
    const Case cases[] = {
        {"second pair", Ivb(16, {60010, 7, 60011, 9}), 60011, 9},
        {"first of two mappings wins", Ivb(16, {60011, 5, 60011, 9}), 60011, 5},
        {"id absent", Ivb(16, {60010, 7, 60012, 9}), 60011, std::nullopt},
        {"highest id", Ivb(8, {0xFFFFFFFF, 3}), 0xFFFFFFFF, 3},
        {"offset zero", Ivb(8, {60011, 0}), 60011, 0},
        {"count zero", Ivb(0, {60011, 9}), 60011, std::nullopt},
        {"pair beyond the count", Ivb(8, {60010, 7, 60011, 9}), 60011, std::nullopt},
        {"count beyond the data", Ivb(0xFFFFFFFF, {60010, 7, 60011, 9}), 60011, 9},
        {"half a pair at the end", Ivb(12, {60010, 7, 60011}), 60011, std::nullopt},
        {"odd byte count", Ivb(15, {60010, 7, 60011, 9}), 60011, std::nullopt},
        {"stray bytes after the pairs", Ivb(16, {60010, 7, 60011, 9}, 3), 60011, 9},
        {"count only", Ivb(8, {}), 60011, std::nullopt},
        {"no count", {0x08, 0x00, 0x00}, 60011, std::nullopt},
        {"empty", {}, 0, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(help::FindContextStringOffset(c.ivb, c.id), c.offset) << c.name;
}

TEST(StringTable, ReadsTerminatedStringsInsideTheTableOnly) {
    const std::string table("\0/a.htm\0/b/c.htm\0unterminated", 29);
    const std::span<const unsigned char> bytes(reinterpret_cast<const unsigned char*>(table.data()),
                                               table.size());
    const std::pair<std::uint32_t, const char*> found[] = {
        {0, ""}, {1, "/a.htm"}, {3, ".htm"}, {7, ""}, {8, "/b/c.htm"}};
    for (const auto& [offset, text] : found)
        EXPECT_EQ(help::StringAt(bytes, offset), text) << offset;
    // From 17 on the table runs to its end without a terminator.
    for (std::uint32_t offset : {17u, 28u, 29u, 0xFFFFFFFFu})
        EXPECT_EQ(help::StringAt(bytes, offset), std::nullopt) << offset;
    EXPECT_EQ(help::StringAt({}, 0), std::nullopt);
}

TEST(TopicPathCandidates, RootAndNormaliseThenDropLeadingFolders) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"topics\\main.htm", {"/topics/main.htm", "/main.htm"}},
        {"topics/main.htm#usage", {"/topics/main.htm", "/main.htm"}},
        {"/topics/main.htm", {"/topics/main.htm", "/main.htm"}},
        {"main.htm", {"/main.htm"}},
        {"C:\\Build\\Help\\topics\\main.htm",
         {"/C:/Build/Help/topics/main.htm", "/Build/Help/topics/main.htm", "/Help/topics/main.htm",
          "/topics/main.htm", "/main.htm"}},
        {".\\topics\\\\main.htm", {"/topics/main.htm", "/main.htm"}},
        {"topics/", {"/topics"}},
        {"", {}},
        {"#anchor", {}},
        {"\\/\\", {}},
    };
    for (const auto& [alias, candidates] : cases)
        EXPECT_EQ(help::TopicPathCandidates(alias), candidates) << alias;
}

TEST(TopicPathCandidates, KeepOnlyPathsAnArchiveCanHoldWhateverTheStringLength) {
    const std::string longFolder(600, 'f');
    EXPECT_EQ(help::TopicPathCandidates(longFolder + "/topics/main.htm"),
              (std::vector<std::string>{"/topics/main.htm", "/main.htm"}));
    EXPECT_TRUE(help::TopicPathCandidates(longFolder).empty());

    // Millions of folders (as a hostile /#STRINGS may hold) cost one pass, not one per folder.
    std::string deep;
    for (int i = 0; i < 2'000'000; ++i) deep += "ab/";
    deep += "main.htm";
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> candidates = help::TopicPathCandidates(deep);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.back(), "/main.htm");
    for (const std::string& candidate : candidates) EXPECT_LE(candidate.size(), 512u);
    EXPECT_EQ(candidates.front().size(), 3u * ((512 - 9) / 3) + 9);
}

}  // namespace
