// Opening real files: format, header fields, the password check, and the DAO-style errors of the
// public interface.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "tests/jet/test_files.h"

namespace {

using jettest::errorOf;

jet::OpenOptions readOnly(std::string connect = "") {
    return {.exclusive = true, .readOnly = true, .connect = std::move(connect)};
}

TEST(Header, ReadsFormatCodePageAndDatabaseKey) {
    struct Case {
        const char* file;
        jet::Version version;
        std::uint32_t key;
    };
    const Case cases[] = {
        {"jet3/testV1997.mdb", jet::Version::Jet3, 0},
        {"jet3/db97-enc.mdb", jet::Version::Jet3, 0xA7E0C0FE},
        {"jet4/testV2003.mdb", jet::Version::Jet4, 0},
        {"jet4/db-enc.mdb", jet::Version::Jet4, 0xA7B773E0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto db = jet::Database::Open(jettest::jetFile(c.file).string(), readOnly());
        EXPECT_EQ(db->format(), c.version);
        EXPECT_EQ(db->codePage(), 1252);
        EXPECT_EQ(db->databaseKey(), c.key);
        EXPECT_EQ(db->password(), "");
    }
}

TEST(Header, ChecksThePasswordExactlyAsStored) {
    const std::string file = jettest::jetFile("jet4/V2003_with-password.mdb").string();
    struct Case {
        const char* connect;
        int error;
    };
    const Case cases[] = {
        {"", jet::kNotAValidPassword},
        {";pwd=", jet::kNotAValidPassword},
        {";pwd=wrong", jet::kNotAValidPassword},
        {";pwd=PASSWORD", jet::kNotAValidPassword},  // Jet compares with case
        {";pwd=password ", jet::kNotAValidPassword},
        {";pwd=passwor", jet::kNotAValidPassword},
        {";pwd=password", 0},
        {";PWD=password", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf([&] { jet::Database::Open(file, readOnly(c.connect)); }), c.error)
            << c.connect;
    }
    auto db = jet::Database::Open(file, readOnly(";pwd=password"));
    EXPECT_EQ(db->password(), "password");
}

TEST(Header, RefusesAceAndOtherVersions) {
    jettest::ScratchDir dir;
    for (const unsigned char version : {2, 3, 5, 0xFF}) {
        const auto copy = dir.copyOf("jet4/emptyV2003.mdb");
        auto bytes = jettest::readBytes(copy);
        bytes[0x14] = version;
        jettest::writeBytes(copy, bytes);
        EXPECT_EQ(errorOf([&] { jet::Database::Open(copy.string()); }), jet::kUnrecognizedFormat)
            << int(version);
    }
}

TEST(Database, ReportsMissingItemsAndCursorStateLikeDao) {
    auto db = jet::Database::Open(jettest::jetFile("jet4/testV2003.mdb").string(), readOnly());
    EXPECT_EQ(errorOf([&] { db->OpenTable("NoSuchTable"); }), jet::kItemNotFound);
    EXPECT_EQ(errorOf([&] { db->OpenTable("table1"); }), jet::kItemNotFound)
        << "names match exactly";
    jet::Table table = db->OpenTable("Table1");
    jet::RowCursor rows = table.rows();
    EXPECT_EQ(errorOf([&] { rows.value("A"); }), jet::kNoCurrentRecord);
    ASSERT_TRUE(rows.moveNext());
    EXPECT_EQ(errorOf([&] { rows.value("NoSuchColumn"); }), jet::kItemNotFound);
    EXPECT_EQ(jet::toText(rows.value("A")), "abcdefg");
    ASSERT_TRUE(rows.moveNext());
    EXPECT_FALSE(rows.moveNext());
    EXPECT_EQ(errorOf([&] { rows.value("A"); }), jet::kNoCurrentRecord);
    db->Close();
    EXPECT_EQ(errorOf([&] { db->OpenTable("Table1"); }), jet::kObjectInvalid);
    EXPECT_EQ(errorOf([&] { table.rows(); }), jet::kObjectInvalid);
}

}  // namespace
