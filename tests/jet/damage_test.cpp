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

Bytes randomBytes(std::size_t size, std::mt19937& random) {
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

struct Damage {
    std::string what;
    const char* file;                    // the real file damaged, nullptr for none
    std::function<void(Bytes&)> damage;  // applied to its bytes
    int error;                           // expected; -1: any JetError (but one there must be)
};

// Sets `bytes` little-endian bytes of `value` at `offset` into page 2, the catalog's definition.
std::function<void(Bytes&)> catalogDefinition(std::size_t offset, std::uint32_t value, int bytes) {
    return [=](Bytes& b) {
        for (int i = 0; i < bytes; ++i)
            b.at(2 * 4096 + offset + i) = static_cast<unsigned char>(value >> (8 * i));
    };
}

std::function<void(Bytes&)> cutTo(std::size_t size) {
    return [=](Bytes& b) { b.resize(std::min(size, b.size())); };
}

std::vector<Damage> damages() {
    std::vector<Damage> out;
    for (std::size_t size : {1u, 100u, 2048u, 4096u, 3u * 4096u, 40000u})
        out.push_back({"random " + std::to_string(size) + " bytes", nullptr,
                       [size](Bytes& b) {
                           std::mt19937 random(static_cast<unsigned>(size));
                           b = randomBytes(size, random);
                       },
                       jet::kUnrecognizedFormat});
    for (const char* file : {"jet4/V2003_no-password.mdb", "jet3/testV1997.mdb"})
        out.push_back({"random pages after the header of " + std::string(file), file,
                       [](Bytes& b) {
                           std::mt19937 random(1234);
                           const std::size_t page = b[0x14] == 0 ? 2048 : 4096;
                           std::generate(b.begin() + page, b.end(), std::ref(random));
                       },
                       -1});
    for (const char* file : {"jet4/testV2003.mdb", "jet3/testV1997.mdb", "jet4/db-enc.mdb"})
        for (std::size_t size : {20u, 0x18u + 100u, 2048u})
            out.push_back({std::string(file) + " cut to " + std::to_string(size), file, cutTo(size),
                           jet::kUnrecognizedFormat});
    for (unsigned char version : {2, 3, 5, 0xFF})
        out.push_back({"version byte " + std::to_string(version), "jet4/emptyV2003.mdb",
                       [version](Bytes& b) { b[0x14] = version; }, jet::kUnrecognizedFormat});
    const char* jet4 = "jet4/V2003_no-password.mdb";
    out.push_back(
        {"a definition chain to itself", jet4, catalogDefinition(4, 2, 4), jet::kCorruptDatabase});
    out.push_back({"a definition chain out of the file", jet4, catalogDefinition(4, 0x00FFFFF0, 4),
                   jet::kCorruptDatabase});
    out.push_back({"a column count beyond the page", jet4, catalogDefinition(45, 0xFFFF, 2),
                   jet::kCorruptDatabase});
    out.push_back({"an index count beyond the page", jet4, catalogDefinition(51, 0x7FFFFFFF, 4),
                   jet::kCorruptDatabase});
    out.push_back({"a usage map beyond the file", jet4, catalogDefinition(55, 0x7FFFFF00, 4),
                   jet::kCorruptDatabase});
    return out;
}

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.what;
}

class Damaged : public ::testing::TestWithParam<Damage> {};

TEST_P(Damaged, FailsWithItsError) {
    const Damage& c = GetParam();
    jettest::ScratchDir dir;
    Bytes bytes = c.file ? jettest::readBytes(jettest::jetFile(c.file)) : Bytes{};
    c.damage(bytes);
    jettest::writeBytes(dir.path() / "damaged.mdb", bytes);
    const int error = readEverything((dir.path() / "damaged.mdb").string());
    if (c.error == -1) {
        EXPECT_NE(error, 0);
    } else {
        EXPECT_EQ(error, c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Damaged, ::testing::ValuesIn(damages()),
                         [](const auto& info) { return jettest::testName(info.param.what); });

// Bytes flipped where a structure may survive them: reading ends in 3049 or reads, never crashes.
TEST(Damaged, RandomDamageToRealFilesReadsOrIsCorrupt) {
    jettest::ScratchDir dir;
    std::mt19937 random(20261206);
    int failures = 0;
    const char* files[] = {"jet4/V2003_no-password.mdb", "jet3/testV1997.mdb", "jet4/db-enc.mdb",
                           "jet3/overflowTestV1997.mdb", "jet4/fixedNumericTestV2003.mdb"};
    for (int round = 0; round < 150; ++round) {
        const char* file = files[round % std::size(files)];
        Bytes bytes = jettest::readBytes(jettest::jetFile(file));
        const std::size_t page = bytes[0x14] == 0 ? 2048 : 4096;
        for (int i = 1 + static_cast<int>(random() % 16); i > 0; --i)
            bytes[page + random() % (bytes.size() - page)] = static_cast<unsigned char>(random());
        jettest::writeBytes(dir.path() / "damaged.mdb", bytes);
        const int error = readEverything((dir.path() / "damaged.mdb").string());
        failures += error != 0;
        EXPECT_TRUE(error == 0 || error == jet::kCorruptDatabase) << file << " " << round;
    }
    EXPECT_GT(failures, 0) << "the damage never reached a structure";
}

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

// Rows too short for the offset tables they claim, Jet 4 and (one-byte offsets) Jet 3.
TEST(Damaged, RowsThatClaimMoreThanTheyHoldAreRejected) {
    jet::PageChannel pages(std::make_unique<jettest::MemoryFile>(Bytes(3 * 4096)),
                           jet::jet4Format(), 0);
    for (const Bytes& row : {Bytes{}, Bytes{200, 0}, Bytes{2, 0, 0x03}, Bytes{2, 0, 9, 0, 0x03}})
        EXPECT_EQ(errorOf([&] { jet::RowReader(pages, row, 1, 1252); }), jet::kCorruptDatabase)
            << row.size();
    jet::PageChannel jet3(std::make_unique<jettest::MemoryFile>(Bytes(3 * 2048)), jet::jet3Format(),
                          0);
    EXPECT_EQ(errorOf([&] {
                  jet::RowReader(jet3, Bytes{1, 'x', 2, 1, 200, 0x01}, 1, 1252);
              }),
              jet::kCorruptDatabase);
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
