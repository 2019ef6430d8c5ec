#pragma once
// A property blob ("MR2" in Jet 4, "KKD" in Jet 3), as kept in a catalog row's LvProp: a pool of
// property names and one map of properties for the object itself and for each of its columns. It
// is taken apart into its blocks once; a property set on it changes its own entry and leaves every
// other byte as it was when the blob is written back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_format.h"
#include "jet/value.h"

namespace jet {

struct Property {
    std::string name;
    std::uint8_t type = 0;  // a ColumnType byte
    bool ddl = false;       // set through DDL: an inherent property rather than a user's
    Value value;
};

struct PropertyMap {
    std::string name;  // "" for the object itself, else the column name
    std::vector<Property> properties;

    // Property names are compared without regard to ASCII case, as Jet does.
    const Property* find(std::string_view propertyName) const;
};

class PropertyBlob {
  public:
    // Parses `bytes`; throws 3049 when they are not a well-formed blob of this version.
    static PropertyBlob parse(std::span<const std::uint8_t> bytes, const JetFormat& format,
                              int codePage);
    // A blob with no properties yet, for an object that has none.
    PropertyBlob(const JetFormat& format, int codePage) : format_(&format), codePage_(codePage) {}

    const std::vector<PropertyMap>& maps() const { return maps_; }
    // The map of the object itself (empty when the blob has none).
    const PropertyMap& objectProperties() const;
    // The map of one column; nullptr when the blob has none for it.
    const PropertyMap* columnProperties(std::string_view column) const;

    // Creates or replaces property `name` of the map `mapName` ("" for the object itself, else a
    // column), with `type` (a ColumnType byte) and its stored `data`. Names compare without regard
    // to ASCII case, as Jet compares them.
    void set(std::string_view mapName, std::string_view name, std::uint8_t type, bool ddl,
             std::span<const std::uint8_t> data);

    // The blob as stored. Throws 3049 for a blob with two name pools, whose numbering a change
    // could not keep.
    Bytes bytes() const;

  private:
    struct Block {
        std::uint16_t type = 0;
        Bytes raw;                   // the name pool, or a block of a kind we do not read
        Bytes nameBlock;             // a map: its name block
        std::size_t map = SIZE_MAX;  // a map: its place in maps_
        std::vector<Bytes> values;   // a map: each entry whole, header included
        std::vector<std::size_t> nameIndexes;
    };

    std::size_t nameIndex(std::string_view name);

    const JetFormat* format_;
    int codePage_;
    std::vector<Block> blocks_;
    std::vector<std::string> names_;  // every pool's names, in order
    std::size_t pools_ = 0;
    std::vector<PropertyMap> maps_;
    PropertyMap empty_;
};

}  // namespace jet
