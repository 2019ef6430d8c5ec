// The byte-level pieces: page coding, text decoding, connect-text parsing, value text forms.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "jet/database.h"
#include "jet/page_channel.h"
#include "jet/row_reader.h"
#include "jet/text_codec.h"
#include "tests/jet/test_files.h"

namespace {

TEST(TextCodec, DecodesJet4CompressedAndPlainText) {
    struct Case {
        std::vector<std::uint8_t> stored;
        std::string utf8;
    };
    const Case cases[] = {
        {{'A', 0, 'b', 0}, "Ab"},
        {{0xFF, 0xFE, 'a', 'b', 'c'}, "abc"},
        // Compressed, then a 0x00 switches to two bytes a character (U+041C), and back.
        {{0xFF, 0xFE, 'x', 0x00, 0x1C, 0x04, 0x00, 'y'}, "x\xD0\x9Cy"},
        {{0xFF, 0xFE}, ""},
        {{0xFF, 0xFE, 0x00, 0x1C}, ""},  // a dangling half character is dropped, not read past
        {{0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},  // a surrogate pair
        {{0x00, 0xD8}, "\xEF\xBF\xBD"},                  // an unpaired surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(jet::decodeJet4Text(c.stored), c.utf8);
}

TEST(TextCodec, Cp1252BothWays) {
    const std::vector<std::uint8_t> stored = {'a', 0x80, 0xE4, 0x9F, 0x81};
    EXPECT_EQ(jet::decodeCodePage(stored, 1252), "a\xE2\x82\xAC\xC3\xA4\xC5\xB8\xC2\x81");
    EXPECT_EQ(jet::utf8ToCp1252("a\xE2\x82\xAC\xC3\xA4"),
              (std::vector<std::uint8_t>{'a', 0x80, 0xE4}));
    EXPECT_FALSE(jet::utf8ToCp1252("\xD0\x9C").has_value()) << "Cyrillic has no cp1252 byte";
    EXPECT_FALSE(jet::utf8ToUtf16("\xC3").has_value()) << "truncated UTF-8";
}

TEST(ConnectText, FindsThePasswordItem) {
    struct Case {
        const char* connect;
        std::optional<std::string> password;
    };
    const Case cases[] = {
        {";pwd=QTRMBXLNAHZWEP", "QTRMBXLNAHZWEP"},
        {";PWD=secret", "secret"},
        {"MS Access;Pwd=a b;", "a b"},
        {";pwd=", ""},
        {";uid=admin;pwd=x=y", "x=y"},
        {"", std::nullopt},
        {";uid=admin", std::nullopt},
        {"pwdx=1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jet::passwordFromConnect(c.connect), c.password) << c.connect;
}

TEST(ValueText, GivesEachTypeAStableForm) {
    struct Case {
        jet::Value value;
        std::string text;
    };
    jet::Guid guid;
    for (std::size_t i = 0; i < 16; ++i) guid.bytes[i] = static_cast<std::uint8_t>(i);
    const Case cases[] = {
        {jet::Null{}, "NULL"},
        {true, "true"},
        {std::int64_t{-42}, "-42"},
        {0.1, "0.1"},
        {1.5f, "1.5"},
        {jet::Currency{35000}, "3.5000"},
        {jet::Currency{-5}, "-0.0005"},
        {jet::Currency{INT64_MIN}, "-922337203685477.5808"},
        {jet::DateTime{27293.5}, "date:27293.5"},
        {std::string("text"), "text"},
        {jet::Bytes{0x00, 0xAB}, "0x00ab"},
        {jet::Decimal{"-1.50"}, "-1.50"},
        {guid, "{03020100-0504-0706-0809-0A0B0C0D0E0F}"},
    };
    for (const Case& c : cases) EXPECT_EQ(jet::toText(c.value), c.text);
}

TEST(NumericValue, DecodesSignScaleAndWordOrder) {
    struct Case {
        std::vector<std::uint8_t> stored;
        int scale;
        std::string text;
    };
    std::vector<std::uint8_t> small(17, 0);
    small[13] = 0xE2;  // least significant word comes last: 1250
    small[14] = 0x04;
    auto negative = small;
    negative[0] = 0x80;
    std::vector<std::uint8_t> high(17, 0);
    high[1] = 1;  // the lowest byte of the most significant word: 2^96
    const Case cases[] = {
        {small, 2, "12.50"},
        {negative, 2, "-12.50"},
        {small, 0, "1250"},
        {small, 6, "0.001250"},
        {std::vector<std::uint8_t>(17, 0), 2, "0.00"},
        {high, 0, "79228162514264337593543950336"},
    };
    for (const Case& c : cases) EXPECT_EQ(jet::numericText(c.stored, c.scale), c.text);
    EXPECT_THROW(jet::numericText(std::vector<std::uint8_t>(16, 0), 0), jet::JetError)
        << "short value";
}

}  // namespace

namespace {

TEST(PageChannel, EncodesWrittenPagesAndDecodesThemOnRead) {
    const jet::JetFormat& format = jet::jet4Format();
    auto file =
        std::make_unique<jettest::MemoryFile>(std::vector<std::uint8_t>(format.pageSize * 4));
    jettest::MemoryFile* disk = file.get();
    jet::PageChannel pages(std::move(file), format, 0x1234ABCD);

    std::vector<std::uint8_t> plain(format.pageSize);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i % 251);
    (void)pages.page(3);  // cached before the write: the write must replace it
    pages.writePage(3, plain);
    EXPECT_EQ(*pages.page(3), plain);

    std::vector<std::uint8_t> stored(format.pageSize);
    disk->readAt(3 * format.pageSize, stored);
    EXPECT_NE(stored, plain) << "an encoded database keeps its pages encoded on disk";
    jet::PageChannel::codePage(0x1234ABCD, 3, stored);
    EXPECT_EQ(stored, plain);

    const std::vector<std::uint8_t> header = {1, 2, 3};
    pages.writeHeaderBytes(0x42, header);
    std::vector<std::uint8_t> raw(3);
    disk->readAt(0x42, raw);
    EXPECT_EQ(raw, header) << "header bytes are written as given";
    EXPECT_THROW(pages.writeHeaderBytes(format.pageSize - 1, header), jet::JetError);
}

// Counts the reads that reach the file.
class CountingFile : public jet::FileIo {
  public:
    CountingFile(std::unique_ptr<jet::FileIo> inner, int& reads)
        : inner_(std::move(inner)), reads_(reads) {}
    std::uint64_t size() const override { return inner_->size(); }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        ++reads_;
        inner_->readAt(offset, out);
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        inner_->writeAt(offset, data);
    }
    void flush() override { inner_->flush(); }

  private:
    std::unique_ptr<jet::FileIo> inner_;
    int& reads_;
};

TEST(PageChannel, OpeningReadsAFewPagesWhateverTheFileSize) {
    // testV2003 is 15 times the size of emptyV2003; opening either reads the header, the catalog
    // and each table's definition, never rows: at most the header and catalog pages and one read
    // per definition page the file has.
    for (const char* file : {"jet4/emptyV2003.mdb", "jet4/testV2003.mdb"}) {
        int reads = 0;
        auto db =
            jet::Database::Open(jettest::jetFile(file).string(), {.readOnly = true},
                                [&](std::unique_ptr<jet::FileIo> inner) {
                                    return std::make_unique<CountingFile>(std::move(inner), reads);
                                });
        const auto bytes = jettest::readBytes(jettest::jetFile(file));
        int definitionPages = 0;
        for (std::size_t at = 4096; at < bytes.size(); at += 4096)
            definitionPages += bytes[at] == 2;
        RecordProperty(std::string("reads_") + file, reads);
        EXPECT_LE(reads, 6 + definitionPages) << file;
    }
}

}  // namespace
