// Property blobs (MR2/KKD) of real files read the same through our engine as through mdb-prop:
// every table's blob and the database's custom properties ("UserDefined" under "Databases").

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "jet/database.h"
#include "tests/jet/test_files.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"

namespace {

std::string hexDigits(const jet::Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const auto b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0xF]);
    }
    return out;
}

// mdb-prop prints Booleans as yes/no, binary as its length, and a 16-byte "GUID" as a GUID (its
// digits are compared here without the dashes, which mdb-prop places its own way).
std::string asMdbProp(const jet::Property& property) {
    if (const auto* b = std::get_if<bool>(&property.value)) return *b ? "yes" : "no";
    if (const auto* bytes = std::get_if<jet::Bytes>(&property.value)) {
        if (property.name == "GUID" && bytes->size() == 16) {
            const jet::Bytes& g = *bytes;
            const jet::Bytes ordered = {g[3], g[2], g[1],  g[0],  g[5],  g[4],  g[7],  g[6],
                                        g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]};
            return "{" + hexDigits(ordered) + "}";
        }
        return "(binary data of length " + std::to_string(bytes->size()) + ")";
    }
    return jet::toText(property.value);
}

fixture::PropertyBlocks ours(const jet::PropertyBlob& blob) {
    fixture::PropertyBlocks out;
    for (const jet::PropertyMap& map : blob.maps()) {
        auto& properties = out[map.name];
        for (const jet::Property& property : map.properties)
            properties[property.name] = asMdbProp(property);
    }
    return out;
}

fixture::PropertyBlocks mdbProp(const std::filesystem::path& file, const std::string& object) {
    auto blocks = fixture::MdbProperties(file, object).value_or(fixture::PropertyBlocks{});
    for (auto& [name, properties] : blocks) {
        if (const auto guid = properties.find("GUID"); guid != properties.end())
            std::erase(guid->second, '-');
    }
    return blocks;
}

class PropertiesOf : public ::testing::TestWithParam<std::string> {};

TEST_P(PropertiesOf, EveryTableAndTheCustomPropertiesMatchMdbProp) {
    const auto file = jettest::jetFile(GetParam());
    auto db = jet::Database::Open(file.string(), {.readOnly = true});
    int compared = 0;
    for (const std::string& name : db->tableNames()) {
        SCOPED_TRACE(name);
        const auto blob = db->OpenTable(name).properties();
        ASSERT_TRUE(blob.has_value()) << "every table made by Access has a property blob";
        EXPECT_EQ(ours(*blob), mdbProp(file, name));
        ++compared;
    }
    // mdb-prop shows the previous object's blob for an object without one, so only a blob we
    // found can be compared.
    if (const auto custom = db->customProperties()) {
        EXPECT_EQ(ours(*custom), mdbProp(file, "UserDefined"));
        EXPECT_NE(custom->objectProperties().find("replicateproject"), nullptr)
            << "names ignore case";
        ++compared;
    }
    if (db->tableNames().empty()) {
        EXPECT_EQ(compared, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, PropertiesOf,
    ::testing::Values("jet3/testV1997.mdb", "jet3/db97-enc.mdb", "jet3/testIndexCodesV1997.mdb",
                      "jet3/overflowTestV1997.mdb", "jet4/testV2003.mdb", "jet4/testV2000.mdb",
                      "jet4/db-enc.mdb", "jet4/emptyV2003.mdb", "jet4/delColTestV2003.mdb",
                      "jet4/bigIndexTestV2003.mdb", "jet4/fixedNumericTestV2003.mdb"),
    [](const auto& info) { return jettest::testName(info.param); });

TEST(Properties, AnObjectWithoutABlobHasNone) {
    // In this file "UserDefined" exists but its LvProp is empty, as mdb-reader also reads it.
    const auto file = jettest::jetFile("jet4/V2003_no-password.mdb");
    auto db = jet::Database::Open(file.string(), {.readOnly = true});
    EXPECT_FALSE(db->customProperties().has_value());
    const auto dump =
        fixture::RunCommand({"node", std::string(TRAVIX_ORACLES_DIR) + "/mdb-dump.mjs",
                             file.string(), "--system", "--table", "MSysObjects"});
    ASSERT_EQ(dump.exit_code, 0);
    const auto doc = nlohmann::json::parse(dump.out);
    bool found = false;
    for (const auto& row : doc.at("tables").at(0).at("rows")) {
        if (row.at("Name") == "UserDefined") {
            found = true;
            EXPECT_TRUE(row.at("LvProp").is_null());
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
