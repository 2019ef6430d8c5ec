#pragma once
// A property blob ("MR2" in Jet 4, "KKD" in Jet 3), as kept in a catalog row's LvProp: a pool of
// property names and one map of properties for the object itself and for each of its columns.

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

    const std::vector<PropertyMap>& maps() const { return maps_; }
    // The map of the object itself (empty when the blob has none).
    const PropertyMap& objectProperties() const;
    // The map of one column; nullptr when the blob has none for it.
    const PropertyMap* columnProperties(std::string_view column) const;

  private:
    std::vector<PropertyMap> maps_;
    PropertyMap empty_;
};

}  // namespace jet
