// Hostile input: every damaged file ends in a JetError (or reads), never in a crash or a hang.
// These run under ASan and UBSan in CI, where a stray read fails the test.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/long_value.h"
#include "jet/page_channel.h"
#include "tests/jet/test_files.h"

namespace {

// Opens the file and reads everything the public interface offers. Returns the JetError number, or
// 0 when the whole file read without one.
int readEverything(const std::string& path) {
    try {
        auto db = jet::Database::Open(path);
        std::vector<std::string> names = db->tableNames();
        names.push_back("MSysObjects");
        for (const std::string& name : names) {
            jet::Table table = db->OpenTable(name);
            jet::RowCursor rows = table.rows();
            for (int row = 0; rows.moveNext() && row < 100000; ++row) {
                for (std::size_t i = 0; i < table.columns().size(); ++i)
                    (void)jet::toText(rows.valueAt(i));
            }
            (void)table.properties();
        }
        (void)db->customProperties();
    } catch (const jet::JetError& error) {
        return error.number();
    }
    return 0;
}

// Random bytes are not a database; a good header over random pages fails cleanly.
TEST(Malformed, RandomBytesFailCleanly) {
    jettest::ScratchDir dir;
    const auto path = dir.path() / "random.mdb";
    std::mt19937 random(1234);
    for (const std::size_t size : {1u, 100u, 2048u, 4096u, 3u * 4096u, 40000u}) {
        std::vector<unsigned char> bytes(size);
        for (auto& b : bytes) b = static_cast<unsigned char>(random());
        jettest::writeBytes(path, bytes);
        EXPECT_EQ(readEverything(path.string()), jet::kUnrecognizedFormat) << size;
    }
    for (const char* file : {"jet4/V2003_no-password.mdb", "jet3/testV1997.mdb"}) {
        auto bytes = jettest::readBytes(jettest::jetFile(file));
        for (std::size_t i = bytes[0x14] == 0 ? 2048 : 4096; i < bytes.size(); ++i)
            bytes[i] = static_cast<unsigned char>(random());
        jettest::writeBytes(path, bytes);
        EXPECT_NE(readEverything(path.string()), 0) << file;
    }
}

TEST(Malformed, TruncatedFilesFailCleanly) {
    jettest::ScratchDir dir;
    for (const char* file : {"jet4/testV2003.mdb", "jet3/testV1997.mdb", "jet4/db-enc.mdb"}) {
        const auto whole = jettest::readBytes(jettest::jetFile(file));
        for (const std::size_t size :
             {std::size_t{20}, std::size_t{0x18 + 100}, std::size_t{2048},
              std::size_t{4096 * 2 + 100}, whole.size() / 3, whole.size() - 1}) {
            const auto path = dir.path() / "truncated.mdb";
            jettest::writeBytes(
                path, std::vector<unsigned char>(
                          whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
            // Longer cuts may leave every table whole; reading must simply not crash or hang.
            const int error = readEverything(path.string());
            if (size < 3 * 2048) {
                EXPECT_EQ(error, jet::kUnrecognizedFormat) << file << " " << size;
            }
        }
    }
}

TEST(Malformed, TableDefinitionFaultsAreReportedAsCorrupt) {
    jettest::ScratchDir dir;
    struct Case {
        const char* what;
        std::size_t offset;  // into the catalog's definition page (page 2 of a Jet 4 file)
        std::uint32_t value;
        int bytes;
    };
    const Case cases[] = {
        {"a chain that points to itself", 4, 2, 4},
        {"a chain that leaves the file", 4, 0x00FFFFF0, 4},
        {"a column count far beyond the page", 45, 0xFFFF, 2},
        {"an index count far beyond the page", 51, 0x7FFFFFFF, 4},
        {"a usage map on a page beyond the file", 55, 0x7FFFFF00, 4},
    };
    for (const Case& c : cases) {
        const auto path = dir.copyOf("jet4/V2003_no-password.mdb");
        auto bytes = jettest::readBytes(path);
        for (int i = 0; i < c.bytes; ++i)
            bytes.at(2 * 4096 + c.offset + static_cast<std::size_t>(i)) =
                static_cast<unsigned char>(c.value >> (8 * i));
        jettest::writeBytes(path, bytes);
        EXPECT_EQ(readEverything(path.string()), jet::kCorruptDatabase) << c.what;
    }
}

TEST(Malformed, RandomDamageToRealFilesNeverCrashes) {
    jettest::ScratchDir dir;
    std::mt19937 random(20261206);
    int failures = 0;
    const char* files[] = {"jet4/V2003_no-password.mdb", "jet3/testV1997.mdb", "jet4/db-enc.mdb",
                           "jet3/overflowTestV1997.mdb", "jet4/fixedNumericTestV2003.mdb"};
    for (int round = 0; round < 150; ++round) {
        const char* file = files[round % std::size(files)];
        auto bytes = jettest::readBytes(jettest::jetFile(file));
        const std::size_t pageSize = bytes[0x14] == 0 ? 2048 : 4096;
        const int flips = 1 + static_cast<int>(random() % 16);
        for (int i = 0; i < flips; ++i) {
            const std::size_t at = pageSize + random() % (bytes.size() - pageSize);
            bytes[at] = static_cast<unsigned char>(random());
        }
        const auto path = dir.path() / "damaged.mdb";
        jettest::writeBytes(path, bytes);
        const int error = readEverything(path.string());
        if (error != 0) ++failures;
        EXPECT_TRUE(error == 0 || error == jet::kCorruptDatabase)
            << file << " round " << round << ": " << error;
    }
    EXPECT_GT(failures, 0) << "the damage never reached a structure";
}

// A Jet 4 file of three pages whose page 1 holds two LVAL rows: row 0 points to row 1, and row 1
// points to `secondNext`.
std::vector<std::uint8_t> lvalFile(std::uint32_t secondNext) {
    std::vector<std::uint8_t> file(3 * 4096, 0);
    std::uint8_t* page = file.data() + 4096;
    page[0] = jet::kPageTypeData;
    page[12] = 2;  // two rows
    const std::uint16_t row0 = 4096 - 20;
    const std::uint16_t row1 = 4096 - 40;
    std::memcpy(page + 14, &row0, 2);
    std::memcpy(page + 16, &row1, 2);
    const std::uint32_t toRow1 = (1u << 8) | 1u;
    std::memcpy(page + row0, &toRow1, 4);
    std::memcpy(page + row1, &secondNext, 4);
    return file;
}

TEST(Malformed, LongValueChainsThatLoopOrEndEarlyAreCorrupt) {
    std::vector<std::uint8_t> field(12, 0);
    const std::uint32_t length = 1000;  // more than the two rows hold
    std::memcpy(field.data(), &length, 4);
    field[3] = 0x00;  // a chain
    const std::uint32_t start = (1u << 8) | 0u;
    std::memcpy(field.data() + 4, &start, 4);

    struct Case {
        const char* what;
        std::uint32_t secondNext;
    };
    const Case cases[] = {
        {"row 1 points back to row 0", (1u << 8) | 0u},
        {"row 1 points to itself", (1u << 8) | 1u},
        {"row 1 ends the chain too early", 0},
        {"row 1 points past the file", (0x00FFFFFFu << 8)},
        {"row 1 points to a row the page lacks", (1u << 8) | 7u},
        {"row 1 points to a page that holds no rows", (2u << 8) | 0u},
    };
    for (const Case& c : cases) {
        jet::PageChannel pages(std::make_unique<jettest::MemoryFile>(lvalFile(c.secondNext)),
                               jet::jet4Format(), 0);
        EXPECT_EQ(jettest::errorOf([&] { jet::readLongValue(pages, field); }),
                  jet::kCorruptDatabase)
            << c.what;
    }

    // The same chain read for no more than it holds is fine: 16 + 16 bytes of data.
    const std::uint32_t shortLength = 32;
    std::memcpy(field.data(), &shortLength, 4);
    field[3] = 0x00;
    jet::PageChannel pages(std::make_unique<jettest::MemoryFile>(lvalFile(0)), jet::jet4Format(),
                           0);
    EXPECT_EQ(jet::readLongValue(pages, field).size(), 32u);
}

}  // namespace
