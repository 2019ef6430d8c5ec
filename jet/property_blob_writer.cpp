#include "jet/property_blob_writer.h"

#include <cstring>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/property_blob_layout.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

using namespace property_blob_layout;

void putU16(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void putU32(Bytes& out, std::size_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

const char* signature(const JetFormat& format) {
    return format.version == Version::Jet4 ? kJet4Signature : kJet3Signature;
}

}  // namespace

Bytes PropertyBlobEditor::encodeText(std::string_view utf8, const JetFormat& format) {
    if (format.unicodeText) {
        const auto units = utf8ToUtf16(utf8);
        if (!units) throw invalidArgument("text that is not UTF-8");
        Bytes out;
        for (const char16_t unit : *units) putU16(out, unit);
        return out;
    }
    const auto bytes = utf8ToCp1252(utf8);
    if (!bytes) throw invalidArgument("text with characters this database cannot store");
    return *bytes;
}

PropertyBlobEditor::PropertyBlobEditor(std::optional<std::span<const std::uint8_t>> bytes,
                                       const JetFormat& format, int codePage)
    : format_(format) {
    if (!bytes) return;
    const ByteReader reader(*bytes);
    if (bytes->size() < 4 || std::memcmp(bytes->data(), signature(format), 4) != 0)
        throw corrupt("a property blob without its signature");
    auto text = [&](std::span<const std::uint8_t> raw) {
        return format.unicodeText ? decodeJet4Text(raw) : decodeCodePage(raw, codePage);
    };
    for (std::size_t at = 4; at < bytes->size();) {
        const std::size_t length = reader.u32(at);
        if (length < kBlockHeader || !reader.contains(at, length))
            throw corrupt("a property block out of bounds");
        Block block;
        block.type = reader.u16(at + 4);
        const ByteReader payload = reader.sub(at + kBlockHeader, length - kBlockHeader);
        if (block.type == kNamePool) {
            if (poolBlock_ != SIZE_MAX) throw corrupt("a property blob with two name pools");
            poolBlock_ = blocks_.size();
            for (std::size_t p = 0; p < payload.size();) {
                const std::size_t n = payload.u16(p);
                names_.push_back(text(payload.slice(p + 2, n)));
                p += 2 + n;
            }
            const auto raw = payload.slice(0, payload.size());
            block.raw.assign(raw.begin(), raw.end());
        } else if (block.type == kObjectValues || block.type == kColumnValues) {
            std::size_t p = 0;
            if (payload.size() >= 4) {
                const std::size_t nameBlock = payload.u32(0);
                if (nameBlock < 4 || nameBlock > payload.size())
                    throw corrupt("a property map's name is out of bounds");
                const auto raw = payload.slice(0, nameBlock);
                block.nameBlock.assign(raw.begin(), raw.end());
                if (nameBlock > kBlockHeader) block.name = text(payload.slice(6, payload.u16(4)));
                p = nameBlock;
            }
            while (p < payload.size()) {
                const std::size_t size = payload.u16(p);
                if (size < kValueHeader || !payload.contains(p, size))
                    throw corrupt("a property value out of bounds");
                Value value;
                const auto raw = payload.slice(p, size);
                value.raw.assign(raw.begin(), raw.end());
                value.nameIndex = payload.u16(p + 4);
                if (value.nameIndex >= names_.size())
                    throw corrupt("a property names no entry of the name pool");
                block.values.push_back(std::move(value));
                p += size;
            }
        } else {
            const auto raw = payload.slice(0, payload.size());
            block.raw.assign(raw.begin(), raw.end());
        }
        blocks_.push_back(std::move(block));
        at += length;
    }
}

std::size_t PropertyBlobEditor::nameIndex(std::string_view name) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (equalsIgnoringAsciiCase(names_[i], name)) return i;
    }
    if (poolBlock_ == SIZE_MAX) {
        Block pool;
        pool.type = kNamePool;
        blocks_.insert(blocks_.begin(), std::move(pool));
        poolBlock_ = 0;
    }
    const Bytes encoded = encodeText(name, format_);
    Bytes& raw = blocks_[poolBlock_].raw;
    putU16(raw, encoded.size());
    raw.insert(raw.end(), encoded.begin(), encoded.end());
    names_.emplace_back(name);
    return names_.size() - 1;
}

void PropertyBlobEditor::set(std::string_view mapName, std::string_view name, std::uint8_t type,
                             bool ddl, std::span<const std::uint8_t> data) {
    if (data.size() > 0xFFFF - kValueHeader) throw invalidArgument("a property value too long");
    const std::size_t index = nameIndex(name);
    Block* map = nullptr;
    for (Block& block : blocks_) {
        if ((block.type == kObjectValues || block.type == kColumnValues) &&
            (mapName.empty() ? block.name.empty() : equalsIgnoringAsciiCase(block.name, mapName))) {
            map = &block;
            break;
        }
    }
    if (!map) {
        Block block;
        block.type = mapName.empty() ? kObjectValues : kColumnValues;
        block.name = std::string(mapName);
        const Bytes encoded = mapName.empty() ? Bytes{} : encodeText(mapName, format_);
        putU32(block.nameBlock, kBlockHeader + encoded.size());
        putU16(block.nameBlock, encoded.size());
        block.nameBlock.insert(block.nameBlock.end(), encoded.begin(), encoded.end());
        blocks_.push_back(std::move(block));
        map = &blocks_.back();
    }
    Value value;
    value.nameIndex = index;
    putU16(value.raw, kValueHeader + data.size());
    value.raw.push_back(ddl ? 1 : 0);
    value.raw.push_back(type);
    putU16(value.raw, index);
    putU16(value.raw, data.size());
    value.raw.insert(value.raw.end(), data.begin(), data.end());
    for (Value& existing : map->values) {
        if (existing.nameIndex == index) {
            existing = std::move(value);
            return;
        }
    }
    map->values.push_back(std::move(value));
}

Bytes PropertyBlobEditor::bytes() const {
    Bytes out(signature(format_), signature(format_) + 4);
    for (const Block& block : blocks_) {
        Bytes payload;
        if (block.type == kObjectValues || block.type == kColumnValues) {
            payload = block.nameBlock;
            for (const Value& value : block.values)
                payload.insert(payload.end(), value.raw.begin(), value.raw.end());
        } else {
            payload = block.raw;
        }
        putU32(out, kBlockHeader + payload.size());
        putU16(out, block.type);
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

}  // namespace jet
