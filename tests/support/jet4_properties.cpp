#include "tests/support/jet4_properties.h"

#include <algorithm>
#include <stdexcept>

namespace fixture::detail {

namespace {

constexpr std::uint16_t kChunkNames = 0x0080;
constexpr std::uint16_t kChunkObject = 0x0000;
constexpr std::uint16_t kChunkColumn = 0x0001;
constexpr std::size_t kChunkHeaderSize = 6;  // u32 length (itself included) + u16 type
constexpr std::uint8_t kTypeBoolean = 0x01;
constexpr std::uint8_t kTypeLong = 0x04;
constexpr std::uint8_t kTypeText = 0x0A;

Bytes Name(const std::string& utf8) {
    const Bytes name = Ucs2(Utf8ToUtf16(utf8));
    Bytes out;
    AppendU16(out, static_cast<std::uint16_t>(name.size()));
    AppendBytes(out, name);
    return out;
}

Bytes Chunk(std::uint16_t type, const Bytes& body) {
    Bytes out;
    AppendU32(out, static_cast<std::uint32_t>(body.size() + kChunkHeaderSize));
    AppendU16(out, type);
    AppendBytes(out, body);
    return out;
}

Bytes ValueBlock(const std::string& owner, const std::vector<Property>& properties,
                 const std::vector<std::string>& names) {
    // The block opens with the length of its name part (this length field included), as in the
    // blobs Access writes; the property values follow it.
    Bytes body;
    const Bytes owner_name = Name(owner);
    AppendU32(body, static_cast<std::uint32_t>(4 + owner_name.size()));
    AppendBytes(body, owner_name);
    for (const Property& p : properties) {
        Bytes data;
        std::uint8_t type = kTypeText;
        if (const bool* b = std::get_if<bool>(&p.value)) {
            type = kTypeBoolean;
            data.push_back(*b ? 0xFF : 0x00);
        } else if (const std::int32_t* l = std::get_if<std::int32_t>(&p.value)) {
            type = kTypeLong;
            AppendU32(data, static_cast<std::uint32_t>(*l));
        } else {
            data = Ucs2(Utf8ToUtf16(std::get<std::string>(p.value)));
        }
        const auto index = std::find(names.begin(), names.end(), p.name) - names.begin();
        AppendU16(body, static_cast<std::uint16_t>(8 + data.size()));
        body.push_back(0x00);  // not a DDL property
        body.push_back(type);
        AppendU16(body, static_cast<std::uint16_t>(index));
        AppendU16(body, static_cast<std::uint16_t>(data.size()));
        AppendBytes(body, data);
    }
    return body;
}

}  // namespace

Bytes PropertyBlob(const std::vector<Property>& object,
                   const std::vector<std::pair<std::string, std::vector<Property>>>& columns) {
    std::vector<std::string> names;
    auto collect = [&](const std::vector<Property>& properties) {
        for (const Property& p : properties) {
            if (p.name.empty()) throw std::invalid_argument("a property needs a name");
            if (std::find(names.begin(), names.end(), p.name) == names.end()) {
                names.push_back(p.name);
            }
        }
    };
    collect(object);
    for (const auto& column : columns) collect(column.second);
    if (names.empty()) return {};

    Bytes blob{'M', 'R', '2', 0};
    Bytes name_list;
    for (const std::string& name : names) AppendBytes(name_list, Name(name));
    AppendBytes(blob, Chunk(kChunkNames, name_list));
    AppendBytes(blob, Chunk(kChunkObject, ValueBlock("", object, names)));
    for (const auto& [column, properties] : columns) {
        if (!properties.empty()) {
            AppendBytes(blob, Chunk(kChunkColumn, ValueBlock(column, properties, names)));
        }
    }
    return blob;
}

}  // namespace fixture::detail
