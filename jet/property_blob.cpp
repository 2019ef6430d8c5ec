#include "jet/property_blob.h"

#include <algorithm>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/row_reader.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::uint16_t kNamePool = 0x80;
constexpr std::uint16_t kObjectValues = 0x00;
constexpr std::uint16_t kColumnValues = 0x01;
constexpr std::size_t kBlockHeader = 6;  // length (4) and type (2)
constexpr std::size_t kValueHeader = 8;  // length, DDL flag, type, name index, data size

bool isMap(std::uint16_t type) {
    return type == kObjectValues || type == kColumnValues;
}

Bytes copyOf(std::span<const std::uint8_t> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

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
    const auto& signature = format.propertyBlobSignature;
    if (bytes.size() < signature.size() ||
        !std::equal(signature.begin(), signature.end(), bytes.begin())) {
        throw corrupt("a property blob without its signature");
    }
    PropertyBlob blob(format, codePage);
    for (std::size_t at = signature.size(); at < bytes.size();) {
        const std::size_t length = reader.u32(at);
        if (length < kBlockHeader || !reader.contains(at, length))
            throw corrupt("a property block out of bounds");
        Block block;
        block.type = reader.u16(at + 4);
        const ByteReader payload = reader.sub(at + kBlockHeader, length - kBlockHeader);
        if (block.type == kNamePool) {
            // Each name: a 16-bit byte length, then the text.
            ++blob.pools_;
            for (std::size_t p = 0; p < payload.size();) {
                const std::size_t nameLength = payload.u16(p);
                blob.names_.push_back(
                    decodeText(payload.slice(p + 2, nameLength), format, codePage));
                p += 2 + nameLength;
            }
            block.raw = copyOf(payload.bytes());
        } else if (isMap(block.type)) {
            PropertyMap map;
            std::size_t p = 0;
            if (payload.size() >= 4) {
                const std::size_t nameBlock = payload.u32(0);
                if (nameBlock < 4 || nameBlock > payload.size())
                    throw corrupt("a property map's name is out of bounds");
                const ByteReader names = payload.sub(0, nameBlock);
                block.nameBlock = copyOf(names.bytes());
                if (nameBlock > kBlockHeader)
                    map.name =
                        decodeText(names.slice(kBlockHeader, names.u16(4)), format, codePage);
                p = nameBlock;
            }
            while (p < payload.size()) {
                const ByteReader value = payload.sub(p, payload.u16(p));
                if (value.size() < kValueHeader)
                    throw corrupt("a property value shorter than its header");
                Property property;
                property.ddl = value.u8(2) != 0;
                property.type = value.u8(3);
                const std::size_t nameIndex = value.u16(4);
                if (nameIndex >= blob.names_.size())
                    throw corrupt("a property names no entry of the name pool");
                property.name = blob.names_[nameIndex];
                property.value = decodeInlineValue(
                    property.type, 0, value.slice(kValueHeader, value.u16(6)), format, codePage);
                map.properties.push_back(std::move(property));
                block.values.push_back(copyOf(value.bytes()));
                block.nameIndexes.push_back(nameIndex);
                p += value.size();
            }
            block.map = blob.maps_.size();
            blob.maps_.push_back(std::move(map));
        } else {
            block.raw = copyOf(payload.bytes());
        }
        blob.blocks_.push_back(std::move(block));
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

std::size_t PropertyBlob::nameIndex(std::string_view name) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (equalsIgnoringAsciiCase(names_[i], name)) return i;
    }
    auto pool = std::find_if(blocks_.begin(), blocks_.end(),
                             [](const Block& block) { return block.type == kNamePool; });
    if (pool == blocks_.end()) {
        Block block;
        block.type = kNamePool;
        pool = blocks_.insert(blocks_.begin(), std::move(block));
        pools_ = 1;
    }
    const Bytes encoded = encodeText(name, *format_);
    appendU16(pool->raw, static_cast<std::uint32_t>(encoded.size()));
    pool->raw.insert(pool->raw.end(), encoded.begin(), encoded.end());
    names_.emplace_back(name);
    return names_.size() - 1;
}

void PropertyBlob::set(std::string_view mapName, std::string_view name, std::uint8_t type, bool ddl,
                       std::span<const std::uint8_t> data) {
    if (data.size() > 0xFFFF - kValueHeader) throw invalidArgument("a property value too long");
    const std::size_t index = nameIndex(name);
    auto block = std::find_if(blocks_.begin(), blocks_.end(), [&](const Block& candidate) {
        if (!isMap(candidate.type)) return false;
        const std::string& mapOf = maps_[candidate.map].name;
        return mapName.empty() ? mapOf.empty() : equalsIgnoringAsciiCase(mapOf, mapName);
    });
    if (block == blocks_.end()) {
        Block added;
        added.type = mapName.empty() ? kObjectValues : kColumnValues;
        const Bytes encoded = mapName.empty() ? Bytes{} : encodeText(mapName, *format_);
        appendU32(added.nameBlock, static_cast<std::uint32_t>(kBlockHeader + encoded.size()));
        appendU16(added.nameBlock, static_cast<std::uint32_t>(encoded.size()));
        added.nameBlock.insert(added.nameBlock.end(), encoded.begin(), encoded.end());
        added.map = maps_.size();
        maps_.push_back(PropertyMap{std::string(mapName), {}});
        blocks_.push_back(std::move(added));
        block = blocks_.end() - 1;
    }
    Bytes value;
    appendU16(value, static_cast<std::uint32_t>(kValueHeader + data.size()));
    value.push_back(ddl ? 1 : 0);
    value.push_back(type);
    appendU16(value, static_cast<std::uint32_t>(index));
    appendU16(value, static_cast<std::uint32_t>(data.size()));
    value.insert(value.end(), data.begin(), data.end());
    Property property{names_[index], type, ddl,
                      decodeInlineValue(type, 0, data, *format_, codePage_)};

    std::vector<Property>& properties = maps_[block->map].properties;
    const auto existing = std::find(block->nameIndexes.begin(), block->nameIndexes.end(), index);
    if (existing != block->nameIndexes.end()) {
        const auto at = existing - block->nameIndexes.begin();
        block->values[static_cast<std::size_t>(at)] = std::move(value);
        properties[static_cast<std::size_t>(at)] = std::move(property);
        return;
    }
    block->values.push_back(std::move(value));
    block->nameIndexes.push_back(index);
    properties.push_back(std::move(property));
}

Bytes PropertyBlob::bytes() const {
    if (pools_ > 1) throw corrupt("a property blob with two name pools");
    const auto& signature = format_->propertyBlobSignature;
    Bytes out(signature.begin(), signature.end());
    for (const Block& block : blocks_) {
        Bytes payload = isMap(block.type) ? block.nameBlock : block.raw;
        for (const Bytes& value : block.values)
            payload.insert(payload.end(), value.begin(), value.end());
        appendU32(out, static_cast<std::uint32_t>(kBlockHeader + payload.size()));
        appendU16(out, block.type);
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

}  // namespace jet
