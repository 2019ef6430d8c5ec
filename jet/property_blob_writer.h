#pragma once
// Changes to a property blob that leave every byte we do not mean to change as it was: the blob is
// taken apart into its blocks (name pool, one value block per map), one property is set, and the
// blocks are put back with their lengths recomputed.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_format.h"
#include "jet/value.h"

namespace jet {

class PropertyBlobEditor {
  public:
    // `bytes` nullopt starts an empty blob. Throws 3049 when they are not a well-formed blob.
    PropertyBlobEditor(std::optional<std::span<const std::uint8_t>> bytes, const JetFormat& format,
                       int codePage);

    // Creates or replaces property `name` of the map `mapName` ("" for the object itself, else a
    // column), with `type` (a ColumnType byte) and its stored `data`. Names compare without regard
    // to ASCII case, as Jet compares them.
    void set(std::string_view mapName, std::string_view name, std::uint8_t type, bool ddl,
             std::span<const std::uint8_t> data);

    Bytes bytes() const;

    // Text as this format stores it in blobs and definitions: UTF-16LE (Jet 4) or code page bytes
    // (Jet 3). Throws 3001 for text that has no such form.
    static Bytes encodeText(std::string_view utf8, const JetFormat& format);

  private:
    struct Value {
        Bytes raw;  // the whole entry, header included
        std::size_t nameIndex = 0;
    };
    struct Block {
        std::uint16_t type = 0;
        Bytes raw;         // the payload of a block we do not take apart
        Bytes nameBlock;   // value blocks: the map's name block
        std::string name;  // value blocks: the map's name
        std::vector<Value> values;
    };

    std::size_t nameIndex(std::string_view name);

    const JetFormat& format_;
    std::vector<Block> blocks_;
    std::vector<std::string> names_;  // the name pool, decoded
    std::size_t poolBlock_ = SIZE_MAX;
};

}  // namespace jet
