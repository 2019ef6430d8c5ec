// NewPassword on copies of real files, checked by mdb-reader's decoding of the stored password and
// by mdb-export's view of the data: set then clear restores the file byte for byte.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "tests/jet/test_files.h"
#include "tests/support/oracles.h"

namespace {

using jettest::errorOf;

const std::string kStandard = "QTRMBXLNAHZWEP";

std::vector<fixture::RowSet> exportAll(const std::filesystem::path& file) {
    std::vector<fixture::RowSet> out;
    if (auto dump = fixture::DumpWithMdbReader(file)) {
        for (const auto& table : dump->tables)
            out.push_back(
                fixture::MdbExportRows(file, table.name, table.column_names, table.column_types)
                    .value_or(fixture::RowSet{}));
    }
    return out;
}

class PasswordRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(PasswordRoundTrip, SetThenClearLeavesTheFileAsItWas) {
    jettest::ScratchDir dir;
    const auto path = dir.copyOf(GetParam());
    const auto original = jettest::readBytes(path);
    const auto exportedBefore = exportAll(path);
    ASSERT_FALSE(exportedBefore.empty());

    jet::Database::Open(path.string())->NewPassword("", kStandard);
    const auto afterSet = jettest::readBytes(path);
    ASSERT_EQ(afterSet.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        if (afterSet[i] != original[i]) {
            ASSERT_TRUE(i >= 0x42 && i < 0x42 + 40) << "byte " << i << " outside the password";
        }
    }
    const auto dump = fixture::DumpWithMdbReader(path, {"--password", kStandard});
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->password, kStandard);
    EXPECT_EQ(exportAll(path), exportedBefore);
    EXPECT_EQ(errorOf([&] { jet::Database::Open(path.string()); }), jet::kNotAValidPassword);

    jet::Database::Open(path.string(), {.connect = ";pwd=" + kStandard})
        ->NewPassword(kStandard, "");
    EXPECT_EQ(jettest::readBytes(path), original);
    const auto cleared = fixture::DumpWithMdbReader(path);
    ASSERT_TRUE(cleared.has_value());
    EXPECT_FALSE(cleared->password.has_value());
}

TEST_P(PasswordRoundTrip, RefusesAWrongOldPasswordOrAnOverlongNewOne) {
    jettest::ScratchDir dir;
    const auto path = dir.copyOf(GetParam());
    const auto original = jettest::readBytes(path);
    {
        auto db = jet::Database::Open(path.string());
        EXPECT_EQ(errorOf([&] { db->NewPassword("something", kStandard); }),
                  jet::kNotAValidPassword);
        EXPECT_EQ(errorOf([&] { db->NewPassword("", std::string(21, 'x')); }),
                  jet::kInvalidArgument);
        EXPECT_EQ(errorOf([&] { db->NewPassword("", std::string(20, 'x')); }), 0);
        EXPECT_EQ(db->password(), std::string(20, 'x'));
        EXPECT_EQ(errorOf([&] { db->NewPassword("", ""); }), jet::kNotAValidPassword);
        EXPECT_EQ(errorOf([&] { db->NewPassword(std::string(20, 'x'), ""); }), 0);
    }
    EXPECT_EQ(jettest::readBytes(path), original);
    auto readOnly = jet::Database::Open(path.string(), {.readOnly = true});
    EXPECT_EQ(errorOf([&] { readOnly->NewPassword("", kStandard); }), jet::kReadOnly);
}

INSTANTIATE_TEST_SUITE_P(Jet3AndJet4, PasswordRoundTrip,
                         ::testing::Values("jet4/V2003_no-password.mdb", "jet4/testV2003.mdb",
                                           "jet4/db-enc.mdb", "jet3/V1997_no-password.mdb",
                                           "jet3/db97-enc.mdb"),
                         [](const auto& info) { return jettest::testName(info.param); });

// A protected file keeps its password when the old one given is wrong, and a shared handle may
// not change it at all.
TEST(Password, RefusedChangesLeaveTheFileAlone) {
    jettest::ScratchDir dir;
    const auto path = dir.copyOf("jet4/V2003_with-password.mdb");
    const auto original = jettest::readBytes(path);
    {
        auto db = jet::Database::Open(path.string(), {.connect = ";pwd=password"});
        EXPECT_EQ(errorOf([&] { db->NewPassword("", kStandard); }), jet::kNotAValidPassword);
        EXPECT_EQ(errorOf([&] { db->NewPassword("Password", kStandard); }),
                  jet::kNotAValidPassword);
    }
    auto shared =
        jet::Database::Open(path.string(), {.exclusive = false, .connect = ";pwd=password"});
    EXPECT_EQ(errorOf([&] { shared->NewPassword("password", kStandard); }),
              jet::kSharedPasswordChange);
    shared->Close();
    EXPECT_EQ(jettest::readBytes(path), original);
    const auto dump = fixture::DumpWithMdbReader(path, {"--password", "password"});
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->password, "password");
}

// Jet 4 keeps UCS-2, Jet 3 the database code page (1252): mdb-reader must decode what we wrote.
TEST(Password, NonAsciiPasswordsAreStoredAsEachVersionStoresText) {
    struct Case {
        const char* file;
        std::string password;
        int error;  // expected from NewPassword
    };
    const Case cases[] = {
        {"jet4/V2003_no-password.mdb", "\xD0\x9C\xD0\xB8\xD1\x80-M\xC3\xBCller", 0},
        {"jet3/V1997_no-password.mdb", "M\xC3\xBCller\xE2\x82\xAC", 0},
        {"jet3/V1997_no-password.mdb", "\xD0\x9C\xD0\xB8\xD1\x80", jet::kInvalidArgument},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.password);
        jettest::ScratchDir dir;
        const auto path = dir.copyOf(c.file);
        const auto original = jettest::readBytes(path);
        EXPECT_EQ(errorOf([&] { jet::Database::Open(path.string())->NewPassword("", c.password); }),
                  c.error);
        if (c.error != 0) {
            EXPECT_EQ(jettest::readBytes(path), original);
            continue;
        }
        const auto dump = fixture::DumpWithMdbReader(path, {"--password", c.password});
        ASSERT_TRUE(dump.has_value());
        EXPECT_EQ(dump->password, c.password);
        EXPECT_EQ(jet::Database::Open(path.string(), {.connect = ";pwd=" + c.password})->password(),
                  c.password);
    }
}

}  // namespace
