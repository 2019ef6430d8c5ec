// The CHM reader on help files compiled by chmcmd from data/, and on missing, foreign, truncated
// and damaged files. chmcmd stores absolute build paths in /#STRINGS, so resolving a context ID
// here also goes through the dropping of leading folders.
#include "help/chm_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kHelpFile = TRAVIX_TEST_HELP_FILE;
const fs::path kDataDir = TRAVIX_TEST_HELP_DATA_DIR;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spill(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

TEST(ChmFile, ResolvesMappedContextIdsOnly) {
    auto file = help::ChmFile::Open(kHelpFile);
    auto other = help::ChmFile::Open(TRAVIX_TEST_HELP_FILE_OTHER_IDS);
    ASSERT_TRUE(file && other);
    EXPECT_EQ(file->ResolveContext(60011), "/topics/main.htm");
    EXPECT_EQ(file->ResolveContext(60012), "/topics/second.htm");
    for (std::uint32_t id : {0u, 1u, 60010u, 60013u, 0xEA6B0000u, 0xFFFFFFFFu})
        EXPECT_EQ(file->ResolveContext(id), std::nullopt) << id;
    EXPECT_EQ(other->ResolveContext(60011), std::nullopt);
    EXPECT_EQ(other->ResolveContext(60012), "/topics/second.htm");
}

TEST(ChmFile, ReadsEveryObjectAsCompiledAndFindsItInAnyLetterCase) {
    // As a link may spell it, and as the archive and data/ spell it.
    const std::pair<const char*, const char*> objects[] = {
        {"/topics/main.htm", "/topics/main.htm"},
        {"/TOPICS/Second.HTM", "/topics/second.htm"},
        {"/styles/HELP.css", "/styles/help.css"},
        {"/Images/marker.png", "/images/marker.png"},
    };
    auto file = help::ChmFile::Open(kHelpFile);
    ASSERT_NE(file, nullptr);
    for (const auto& [path, stored] : objects) {
        EXPECT_EQ(file->Find(path), stored);
        EXPECT_EQ(file->Read(path), Slurp(kDataDir / (stored + 1))) << path;
    }
    for (const char* absent : {"/topics/missing.htm", "topics/main.htm", "/topics/", "", "/"})
        EXPECT_EQ(file->Read(absent), std::nullopt) << absent;
    EXPECT_EQ(file->Read(std::string(600, 'a')), std::nullopt);
}

TEST(ChmFile, OpensNothingThatIsNoHelpFile) {
    fixture::TempDir dir;
    Spill(dir.path() / "empty.chm", "");
    Spill(dir.path() / "text.chm", "<html>not compiled</html>\n");
    Spill(dir.path() / "header-only.chm", Slurp(kHelpFile).substr(0, 0x38));
    fs::create_directory(dir.path() / "folder.chm");
    // Opening a pipe would wait for a writer for ever; it must be refused without reading.
    ASSERT_EQ(mkfifo((dir.path() / "pipe.chm").c_str(), 0600), 0);
    for (const char* name :
         {"missing.chm", "empty.chm", "text.chm", "header-only.chm", "folder.chm", "pipe.chm"}) {
        EXPECT_EQ(help::ChmFile::Open(dir.path() / name), nullptr) << name;
    }
}

// chmlib divides by zero when the directory entry of the LZX reset table names a section other
// than the two it knows; such a file must leave the program running and yield nothing.
TEST(ChmFile, ADirectoryThatCrashesChmlibYieldsNothing) {
    const std::string original = Slurp(kHelpFile);
    const std::string name = "InstanceData/ResetTable";
    const std::size_t entry = original.find(name);
    ASSERT_NE(entry, std::string::npos);
    ASSERT_EQ(original.find(name, entry + 1), std::string::npos);
    fixture::TempDir dir;
    const fs::path copy = dir.path() / "Toolbox.chm";
    for (unsigned char section : {2, 0x22, 0x7F}) {
        SCOPED_TRACE(static_cast<int>(section));
        std::string damaged = original;
        // The entry: name, then the section as an encoded integer, then start and length.
        damaged[entry + name.size()] = static_cast<char>(section);
        Spill(copy, damaged);
        EXPECT_EQ(help::ChmFile::Open(copy), nullptr);
    }
}

// A cut file holds no wrong bytes, only fewer: the reader either resolves the topic and reads it
// exactly as compiled, or resolves nothing; it never hands out part of a page. CHM has no
// checksums, so overwritten content cannot always be told from content; what must hold is that the
// reader survives every damage, and that damage outside the parts a lookup uses does not stop the
// lookup.
TEST(ChmFile, TruncatedAndDamagedCopiesAreReadWithinBounds) {
    const std::string original = Slurp(kHelpFile);
    const std::string topicHtml = Slurp(kDataDir / "topics/main.htm");
    std::vector<std::pair<std::string, bool>> copies;  // bytes, and whether they were only cut
    for (std::size_t length = 0; length < original.size(); length += 97)
        copies.emplace_back(original.substr(0, length), true);
    for (std::size_t at = 0; at + 8 <= original.size(); at += 61) {
        for (char fill : {'\xFF', '\0'})
            copies.emplace_back(std::string(original).replace(at, 8, 8, fill), false);
    }
    fixture::TempDir dir;
    const fs::path copy = dir.path() / "Toolbox.chm";
    int intact = 0;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE("copy " + std::to_string(i));
        const auto& [bytes, cut] = copies[i];
        Spill(copy, bytes);
        auto file = help::ChmFile::Open(copy);
        const std::optional<std::string> topic = file ? file->ResolveContext(60011) : std::nullopt;
        if (!topic) continue;
        ASSERT_FALSE(topic->empty());
        EXPECT_EQ(cut ? *topic : topic->substr(0, 1), cut ? "/topics/main.htm" : "/");
        const std::optional<std::string> html = file->Read(*topic);
        EXPECT_LE(html.value_or("").size(), help::kMaxObjectSize);
        EXPECT_TRUE(!cut || !html || html == topicHtml);
        intact += !cut && *topic == "/topics/main.htm" && html == topicHtml;
    }
    EXPECT_GT(intact, 0);
}

}  // namespace
