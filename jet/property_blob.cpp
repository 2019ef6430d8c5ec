#include "jet/property_blob.h"

#include <cstring>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/property_blob_layout.h"
#include "jet/row_reader.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

using namespace property_blob_layout;

class BlobParser {
  public:
    BlobParser(const JetFormat& format, int codePage) : format_(format), codePage_(codePage) {}

    std::string text(std::span<const std::uint8_t> bytes) const {
        return format_.unicodeText ? decodeJet4Text(bytes) : decodeCodePage(bytes, codePage_);
    }

    // A name: 16-bit byte length, then the text.
    std::string name(const ByteReader& reader, std::size_t& at) const {
        const std::size_t length = reader.u16(at);
        std::string result = text(reader.slice(at + 2, length));
        at += 2 + length;
        return result;
    }

    void namePool(const ByteReader& block, std::vector<std::string>& names) const {
        for (std::size_t at = 0; at < block.size();) names.push_back(name(block, at));
    }

    PropertyMap values(const ByteReader& block, const std::vector<std::string>& names) const {
        PropertyMap map;
        std::size_t at = 0;
        if (block.size() >= 4) {
            const std::size_t nameBlock = block.u32(0);
            if (nameBlock < 4 || nameBlock > block.size())
                throw corrupt("a property map's name is out of bounds");
            if (nameBlock > kBlockHeader) {
                std::size_t nameAt = 4;
                map.name = name(block.sub(0, nameBlock), nameAt);
            }
            at = nameBlock;
        }
        while (at < block.size()) {
            const ByteReader value = block.sub(at, block.u16(at));
            if (value.size() < kValueHeader)
                throw corrupt("a property value shorter than its header");
            Property property;
            property.ddl = value.u8(2) != 0;
            property.type = value.u8(3);
            const std::size_t nameIndex = value.u16(4);
            if (nameIndex >= names.size())
                throw corrupt("a property names no entry of the name pool");
            property.name = names[nameIndex];
            const auto data = value.slice(kValueHeader, value.u16(6));
            property.value = decodeInlineValue(property.type, 0, data, format_, codePage_);
            map.properties.push_back(std::move(property));
            at += value.size();
        }
        return map;
    }

  private:
    const JetFormat& format_;
    int codePage_;
};

}  // namespace

const Property* PropertyMap::find(std::string_view propertyName) const {
    for (const Property& property : properties) {
        if (equalsIgnoringAsciiCase(property.name, propertyName)) return &property;
    }
    return nullptr;
}

PropertyBlob PropertyBlob::parse(std::span<const std::uint8_t> bytes, const JetFormat& format,
                                 int codePage) {
    const ByteReader reader(bytes);
    const char* signature = format.version == Version::Jet4 ? kJet4Signature : kJet3Signature;
    if (bytes.size() < 4 || std::memcmp(bytes.data(), signature, 4) != 0) {
        throw corrupt("a property blob without its signature");
    }
    const BlobParser parser(format, codePage);
    PropertyBlob blob;
    std::vector<std::string> names;
    for (std::size_t at = 4; at < bytes.size();) {
        const std::size_t length = reader.u32(at);
        if (length < kBlockHeader || !reader.contains(at, length))
            throw corrupt("a property block out of bounds");
        const std::uint16_t type = reader.u16(at + 4);
        const ByteReader block = reader.sub(at + kBlockHeader, length - kBlockHeader);
        if (type == kNamePool) {
            parser.namePool(block, names);
        } else if (type == kObjectValues || type == kColumnValues) {
            blob.maps_.push_back(parser.values(block, names));
        }
        at += length;
    }
    return blob;
}

const PropertyMap& PropertyBlob::objectProperties() const {
    for (const PropertyMap& map : maps_) {
        if (map.name.empty()) return map;
    }
    return empty_;
}

const PropertyMap* PropertyBlob::columnProperties(std::string_view column) const {
    for (const PropertyMap& map : maps_) {
        if (!map.name.empty() && equalsIgnoringAsciiCase(map.name, column)) return &map;
    }
    return nullptr;
}

}  // namespace jet
