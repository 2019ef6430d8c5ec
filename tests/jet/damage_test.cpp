// Hostile input and the open errors: every damaged file, row or long value ends in its JetError,
// never in a crash, a hang or a read past the data (these run under ASan and UBSan in CI), and
// every path or state a caller can hand the engine fails with DAO's number for it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/long_value.h"
#include "jet/page_channel.h"
#include "jet/row_reader.h"
#include "tests/jet/test_files.h"

namespace {

using Bytes = std::vector<unsigned char>;
using jettest::errorOf;

// Opens the file and reads everything the public interface offers; the JetError number, or 0.
int readEverything(const std::string& path) {
    return errorOf([&] {
        auto db = jet::Database::Open(path);
        std::vector<std::string> names = db->tableNames();
        names.push_back("MSysObjects");
        for (const std::string& name : names) {
            jet::Table table = db->OpenTable(name);
            jet::RowCursor rows = table.rows();
            for (int row = 0; rows.moveNext() && row < 100000; ++row)
                for (std::size_t i = 0; i < table.columns().size(); ++i)
                    (void)jet::toText(rows.valueAt(i));
            (void)table.properties();
        }
        (void)db->customProperties();
    });
}

Bytes randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

struct Damage {
    std::string what;
    const char* file;    // the real file damaged; nullptr: random bytes of `size`
    std::size_t size;    // what is left of the file (0: all of it)
    std::size_t at = 0;  // where `patch` overwrites it
    Bytes patch = {};
    int error = jet::kUnrecognizedFormat;  // -1: any JetError, but one there must be
};

std::vector<Damage> damages() {
    std::vector<Damage> out;
    for (std::size_t size : {1u, 100u, 2048u, 4096u, 3u * 4096u, 40000u})
        out.push_back({"random " + std::to_string(size) + " bytes", nullptr, size});
    for (const char* file : {"jet4/testV2003.mdb", "jet3/testV1997.mdb", "jet4/db-enc.mdb"})
        for (std::size_t size : {20u, 0x18u + 100u, 2048u})
            out.push_back({std::string(file) + " cut to " + std::to_string(size), file, size});
    for (const auto& [file, page] :
         {std::pair{"jet4/V2003_no-password.mdb", 4096u}, {"jet3/testV1997.mdb", 2048u}})
        out.push_back({std::string(file) + " with random pages", file, 0, page,
                       randomBytes(std::filesystem::file_size(jettest::jetFile(file)) - page, page),
                       -1});
    for (unsigned char version : {2, 3, 5, 0xFF})
        out.push_back(
            {"version byte " + std::to_string(version), "jet4/emptyV2003.mdb", 0, 0x14, {version}});
    // The catalog's table definition, page 2 of a Jet 4 file.
    const std::tuple<const char*, std::size_t, Bytes> definitions[] = {
        {"a definition chain to itself", 4, {2, 0, 0, 0}},
        {"a definition chain out of the file", 4, {0xF0, 0xFF, 0xFF, 0}},
        {"a column count beyond the page", 45, {0xFF, 0xFF}},
        {"an index count beyond the page", 51, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"a usage map beyond the file", 55, {0, 0xFF, 0xFF, 0x7F}}};
    for (const auto& [what, offset, patch] : definitions)
        out.push_back({what, "jet4/V2003_no-password.mdb", 0, 2 * 4096 + offset, patch,
                       jet::kCorruptDatabase});
    return out;
}

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.what;
}

class Damaged : public ::testing::TestWithParam<Damage> {};

TEST_P(Damaged, FailsWithItsError) {
    const Damage& c = GetParam();
    Bytes bytes = c.file ? jettest::readBytes(jettest::jetFile(c.file)) : randomBytes(c.size, 1);
    if (c.size != 0) bytes.resize(c.size);
    std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + c.at);
    jettest::ScratchDir dir;
    jettest::writeBytes(dir.path() / "damaged.mdb", bytes);
    const int error = readEverything((dir.path() / "damaged.mdb").string());
    EXPECT_EQ(c.error == -1 ? error != 0 : error == c.error, true) << error;
}

INSTANTIATE_TEST_SUITE_P(Kinds, Damaged, ::testing::ValuesIn(damages()),
                         [](const auto& info) { return jettest::testName(info.param.what); });

// A long value chained over two rows of one page: row 0 points to row 1, row 1 to `next`.
TEST(Damaged, LongValueChainsThatLoopOrEndEarlyAreCorrupt) {
    const auto chain = [](std::uint32_t next, std::uint32_t length) {
        std::vector<std::uint8_t> file(3 * 4096, 0);
        std::uint8_t* page = file.data() + 4096;
        page[0] = jet::kPageTypeData;
        page[12] = 2;
        const std::uint16_t rows[] = {4096 - 20, 4096 - 40};
        const std::uint32_t toRow1 = (1u << 8) | 1u;
        std::memcpy(page + 14, rows, 4);
        std::memcpy(page + rows[0], &toRow1, 4);
        std::memcpy(page + rows[1], &next, 4);
        jet::PageChannel pages(std::make_unique<jettest::MemoryFile>(file), jet::jet4Format(), 0);
        std::vector<std::uint8_t> field(12, 0);  // a chain starting at page 1, row 0
        std::memcpy(field.data(), &length, 3);
        field[4] = 0;
        field[5] = 1;
        return errorOf([&] { EXPECT_LE(jet::readLongValue(pages, field).size(), length); });
    };
    for (std::uint32_t next :
         {(1u << 8) | 0u, (1u << 8) | 1u, 0u, 0x00FFFFFFu << 8, (1u << 8) | 7u, (2u << 8) | 0u})
        EXPECT_EQ(chain(next, 1000), jet::kCorruptDatabase) << std::hex << next;
    EXPECT_EQ(chain(0, 32), 0) << "a chain read for no more than it holds";
}

jet::Column column(jet::ColumnType type, std::uint16_t number, std::uint16_t at, bool fixed) {
    jet::Column c;
    c.type = static_cast<std::uint8_t>(type);
    c.number = number;
    (fixed ? c.fixedOffset : c.varIndex) = at;
    c.length = type == jet::ColumnType::Integer ? 2 : 4;
    c.flags = fixed ? jet::Column::kFixedLength : 0;
    return c;
}

// Rows built byte by byte in the shapes the real files lack: a Jet 3 row past 256 bytes, whose
// one-byte offsets need jump bytes; a Jet 4 row of four columns whose fixed data ends before its
// column 3, written before column 5 was added (its null mask has bits set beyond its own
// columns); rows too short for their claims.
TEST(Damaged, RowsBuiltByteByByteReadOrAreRejected) {
    Bytes jet3(1, 3);  // three columns of 300, 200 and 50 bytes; jumps at column 1 and the end
    for (const auto& [letter, count] : {std::pair{'a', 300}, {'b', 200}, {'c', 50}})
        jet3.insert(jet3.end(), count, letter);
    jet3.insert(jet3.end(), {551 & 0xFF, 501 & 0xFF, 301 & 0xFF, 1, 3, 1, 3, 0x07});
    Bytes badJumps = jet3;
    badJumps[badJumps.size() - 3] = badJumps[badJumps.size() - 4] = 9;
    const Bytes jet4 = {4, 0, 0x2A, 0, 0, 0, 'h', 0, 'i', 0, 10, 0, 6, 0, 1, 0, 0xFB};
    using T = jet::ColumnType;
    const std::tuple<const char*, bool, Bytes, jet::Column, std::string> cases[] = {
        {"Jet 3 before the jumps", true, jet3, column(T::Text, 0, 0, false), std::string(300, 'a')},
        {"Jet 3 after one jump", true, jet3, column(T::Text, 1, 1, false), std::string(200, 'b')},
        {"Jet 3 after both jumps", true, jet3, column(T::Text, 2, 2, false), std::string(50, 'c')},
        {"Jet 3 jumps naming no column", true, badJumps, column(T::Text, 2, 2, false), "3049"},
        {"Jet 3 offsets past the row",
         true,
         {1, 'x', 2, 1, 200, 1},
         column(T::Text, 0, 0, false),
         "3049"},
        {"an old row's Long", false, jet4, column(T::Long, 0, 0, true), "42"},
        {"an old row's Text", false, jet4, column(T::Text, 1, 0, false), "hi"},
        {"a column past the fixed data", false, jet4, column(T::Integer, 3, 4, true), "NULL"},
        {"an added Text", false, jet4, column(T::Text, 4, 1, false), "NULL"},
        {"an added Boolean", false, jet4, column(T::Boolean, 5, 0, true), "false"},
        {"no bytes", false, {}, column(T::Long, 0, 0, true), "3049"},
        {"no room for the mask", false, {200, 0}, column(T::Long, 0, 0, true), "3049"},
        {"no offset table", false, {2, 0, 0x03}, column(T::Long, 0, 0, true), "3049"},
        {"an offset table past the row",
         false,
         {2, 0, 9, 0, 0x03},
         column(T::Long, 0, 0, true),
         "3049"},
    };
    for (const auto& [what, isJet3, row, col, text] : cases) {
        const jet::JetFormat& format = isJet3 ? jet::jet3Format() : jet::jet4Format();
        jet::PageChannel pages(std::make_unique<jettest::MemoryFile>(Bytes(3 * format.pageSize)),
                               format, 0);
        // Named apart: clang 14 cannot capture structured bindings.
        const Bytes& bytes = row;
        const jet::Column& wanted = col;
        const int version = isJet3 ? 3 : 2;
        std::string read;
        const int error = errorOf(
            [&] { read = jet::toText(jet::RowReader(pages, bytes, version, 1252).read(wanted)); });
        EXPECT_EQ(error ? std::to_string(error) : read, text) << what;
    }
}

int openError(const std::string& path, jet::OpenOptions options = {}) {
    return errorOf([&] { jet::Database::Open(path, options); });
}

TEST(OpenErrors, PathsThatNameNoDatabaseOrAReadOnlyFile) {
    jettest::ScratchDir dir;
    const std::string good = dir.copyOf("jet4/V2003_no-password.mdb").string();
    const std::string readOnly = (dir.path() / "read-only.mdb").string();
    std::filesystem::copy_file(good, readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    jettest::writeBytes(dir.path() / "empty.kxs", {});
    jettest::writeBytes(dir.path() / "text.kxs", Bytes(5000, 'x'));
    const std::pair<std::string, int> cases[] = {
        {"", jet::kPathNotFound},
        {(dir.path() / "missing.mdb").string(), jet::kFileNotFound},
        {(dir.path() / "no-folder" / "x.mdb").string(), jet::kPathNotFound},
        {dir.path().string(), jet::kUnrecognizedFormat},
        {(dir.path() / "empty.kxs").string(), jet::kUnrecognizedFormat},
        {(dir.path() / "text.kxs").string(), jet::kUnrecognizedFormat},
        {" " + good, jet::kPathNotFound},  // used as given: no trimming
        {good + " ", jet::kFileNotFound},
        {good, 0},
        {readOnly, jet::kCannotOpenFile},
    };
    for (const auto& [path, error] : cases) EXPECT_EQ(openError(path), error) << "'" << path << "'";
    EXPECT_EQ(openError(readOnly, {.readOnly = true}), 0);
}

// A held file refuses every other open, in this process and in another, until it is let go.
TEST(OpenErrors, AHeldFileIsInUseUntilClosed) {
    jettest::ScratchDir dir;
    for (const char* file : {"jet4/V2003_no-password.mdb", "jet3/V1997_no-password.mdb"}) {
        const std::string path = dir.copyOf(file).string();
        auto held = jet::Database::Open(path);
        EXPECT_EQ(openError(path), jet::kFileInUse);
        EXPECT_EQ(openError(path, {.exclusive = false, .readOnly = true}), jet::kFileInUse);
        const pid_t child = fork();
        if (child == 0) _exit(openError(path) == jet::kFileInUse ? 0 : 1);
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process opened it";
        held->Close();
        EXPECT_EQ(openError(path), 0) << "Close let go of the file";
        { auto scoped = jet::Database::Open(path); }
        EXPECT_EQ(openError(path), 0) << "the destructor let go of the file";
    }
}

TEST(OpenErrors, MissingItemsCursorStateAndClosedHandlesFailLikeDao) {
    auto db =
        jet::Database::Open(jettest::jetFile("jet4/testV2003.mdb").string(), {.readOnly = true});
    EXPECT_EQ(errorOf([&] { db->OpenTable("NoSuchTable"); }), jet::kItemNotFound);
    EXPECT_EQ(errorOf([&] { db->OpenTable("table1"); }), jet::kItemNotFound) << "exact names";
    jet::Table table = db->OpenTable("Table1");
    jet::RowCursor rows = table.rows();
    EXPECT_EQ(errorOf([&] { rows.value("A"); }), jet::kNoCurrentRecord);
    ASSERT_TRUE(rows.moveNext());
    EXPECT_EQ(errorOf([&] { rows.value("NoSuchColumn"); }), jet::kItemNotFound);
    ASSERT_TRUE(rows.moveNext());
    EXPECT_FALSE(rows.moveNext());
    EXPECT_EQ(errorOf([&] { rows.value("A"); }), jet::kNoCurrentRecord);
    db->Close();
    EXPECT_EQ(errorOf([&] { db->OpenTable("Table1"); }), jet::kObjectInvalid);
    EXPECT_EQ(errorOf([&] { table.rows(); }), jet::kObjectInvalid);
}

}  // namespace
