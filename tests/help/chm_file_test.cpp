// The CHM reader on help files compiled by chmcmd from data/ and on missing, foreign, cut and
// damaged copies of them (chmlib runs in a child process, RunIsolated's); its tables (/#IVB,
// /#STRINGS, alias paths) on bytes built here, in the shapes a compiler does not make but a hostile
// file can hold. chmcmd stores absolute build paths in /#STRINGS, so resolving an ID here also goes
// through the dropping of leading folders.
#include "help/chm_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kCompiled = Slurp(TRAVIX_TEST_HELP_FILE);
const fs::path kData = TRAVIX_TEST_HELP_DATA_DIR;

// The compiled file with the section of the LZX reset table's directory entry set to `section`:
// chmlib divides by zero on a section other than the two it knows.
std::string ResetTableSection(unsigned char section) {
    const std::string name = "InstanceData/ResetTable";
    std::string bytes = kCompiled;
    bytes.at(bytes.find(name) + name.size()) = static_cast<char>(section);
    return bytes;
}

TEST(ChmFile, ResolvesMappedIdsToTopicsAndYieldsNothingElse) {
    const std::string other = Slurp(TRAVIX_TEST_HELP_FILE_OTHER_IDS);
    const struct {
        const char* name;
        std::string bytes;  // of the file under test; "<missing>", "<folder>" and "<pipe>" as said
        std::uint32_t contextId;
        std::optional<std::string> topic;  // what the ID resolves to; the topic reads as compiled
    } cases[] = {
        {"main topic", kCompiled, 60011, "/topics/main.htm"},
        {"second topic", kCompiled, 60012, "/topics/second.htm"},
        {"other file's second", other, 60012, "/topics/second.htm"},
        {"unmapped in the other file", other, 60011, std::nullopt},
        {"id zero", kCompiled, 0, std::nullopt},
        {"id in the high word", kCompiled, 0xEA6B0000u, std::nullopt},
        {"missing", "<missing>", 60011, std::nullopt},
        {"empty", "", 60011, std::nullopt},
        {"header only", kCompiled.substr(0, 0x38), 60011, std::nullopt},
        {"folder", "<folder>", 60011, std::nullopt},
        // Opening a pipe would wait for a writer for ever; it must be refused without reading.
        {"pipe", "<pipe>", 60011, std::nullopt},
        {"reset table in section 2", ResetTableSection(2), 60011, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fixture::TempDir dir;
        const fs::path path = dir.path() / "Toolbox.chm";
        if (c.bytes == "<folder>") fs::create_directory(path);
        if (c.bytes == "<pipe>") mkfifo(path.c_str(), 0600);
        if (c.bytes[0] != '<') std::ofstream(path, std::ios::binary) << c.bytes;
        auto file = help::ChmFile::Open(path);
        EXPECT_EQ(file ? file->ResolveContext(c.contextId) : std::nullopt, c.topic);
        if (c.topic) {
            EXPECT_EQ(file->Read(*c.topic), Slurp(kData / c.topic->substr(1)));
        }
    }
}

TEST(ChmFile, FindsEveryObjectInAnyLetterCaseAndNothingOutside) {
    auto file = help::ChmFile::Open(TRAVIX_TEST_HELP_FILE);
    ASSERT_NE(file, nullptr);
    const std::pair<const char*, std::optional<std::string>> objects[] = {
        {"/TOPICS/Second.HTM", "/topics/second.htm"},
        {"/styles/HELP.css", "/styles/help.css"},
        {"/Images/marker.png", "/images/marker.png"},
        {"/topics/missing.htm", std::nullopt},
        {"topics/main.htm", std::nullopt},
        {"/topics/", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [path, stored] : objects) {
        EXPECT_EQ(file->Find(path), stored) << path;
        EXPECT_EQ(file->Read(path), stored ? Slurp(kData / stored->substr(1)) : stored) << path;
    }
    EXPECT_EQ(file->Read(std::string(600, 'a')), std::nullopt);
}

std::vector<unsigned char> Words(std::initializer_list<std::uint32_t> words, std::size_t cut = 0) {
    std::vector<unsigned char> bytes;
    for (std::uint32_t word : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(word >> (8 * i)));
    bytes.resize(bytes.size() - cut);
    return bytes;
}

TEST(ChmTables, ReadOnlyWhatTheBytesHold) {
    // /#IVB: a byte count, then (id, string offset) pairs.
    const std::tuple<const char*, std::vector<unsigned char>, std::optional<std::uint32_t>> ivb[] =
        {{"second pair", Words({16, 60010, 7, 60011, 9}), 9},
         {"first of two mappings", Words({16, 60011, 5, 60011, 9}), 5},
         {"absent", Words({16, 60010, 7, 60012, 9}), std::nullopt},
         {"count zero", Words({0, 60011, 9}), std::nullopt},
         {"pair beyond the count", Words({8, 60010, 7, 60011, 9}), std::nullopt},
         {"count beyond the data", Words({0xFFFFFFFF, 60010, 7, 60011, 9}), 9},
         {"half a pair", Words({12, 60010, 7, 60011}), std::nullopt},
         {"odd count", Words({15, 60010, 7, 60011, 9}), std::nullopt},
         {"no count", Words({8}, 1), std::nullopt}};
    for (const auto& [name, bytes, offset] : ivb)
        EXPECT_EQ(help::FindContextStringOffset(bytes, 60011), offset) << name;
    // /#STRINGS: terminated strings; from 17 on this one runs to its end without a terminator.
    const std::string table("\0/a.htm\0/b/c.htm\0unterminated", 29);
    const std::span bytes(reinterpret_cast<const unsigned char*>(table.data()), table.size());
    const std::pair<std::uint32_t, std::optional<std::string>> strings[] = {
        {1, "/a.htm"},
        {3, ".htm"},
        {8, "/b/c.htm"},
        {17, std::nullopt},
        {0xFFFFFFFF, std::nullopt}};
    for (const auto& [offset, text] : strings) EXPECT_EQ(help::StringAt(bytes, offset), text);
    // Alias targets: rooted and normalised, then the leading folders dropped one by one.
    const std::pair<std::string, std::vector<std::string>> aliases[] = {
        {"topics\\main.htm#usage", {"/topics/main.htm", "/main.htm"}},
        {"C:\\B\\topics\\main.htm",
         {"/C:/B/topics/main.htm", "/B/topics/main.htm", "/topics/main.htm", "/main.htm"}},
        {".\\topics\\\\main.htm", {"/topics/main.htm", "/main.htm"}},
        {"topics/", {"/topics"}},
        {"#anchor", {}},
        {"\\/\\", {}},
        {std::string(600, 'f') + "/topics/main.htm", {"/topics/main.htm", "/main.htm"}},
    };
    for (const auto& [alias, candidates] : aliases)
        EXPECT_EQ(help::TopicPathCandidates(alias), candidates) << alias.substr(0, 40);
}

// Millions of folders (as a hostile /#STRINGS may hold) give candidates of at most 512 characters;
// a pass per folder would not end within the test's time limit.
TEST(ChmTables, DeepAliasPathsGiveBoundedCandidates) {
    std::string deep;
    for (int i = 0; i < 2'000'000; ++i) deep += "ab/";
    const std::vector<std::string> candidates = help::TopicPathCandidates(deep + "main.htm");
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.back(), "/main.htm");
    EXPECT_EQ(candidates.front().size(), 3u * ((512 - 9) / 3) + 9);
}

}  // namespace
