// Property blobs ("MR2" in Jet 4) as kept in the LvProp column of a catalog row: a chunk of
// property names, then one chunk of values for the object itself and one per column that has
// properties. Internal to the fixture builder.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/jet4_builder.h"
#include "tests/support/jet4_encoding.h"

namespace fixture::detail {

// Empty when neither the object nor any column has a property (the catalog then stores NULL).
Bytes PropertyBlob(const std::vector<Property>& object,
                   const std::vector<std::pair<std::string, std::vector<Property>>>& columns);

}  // namespace fixture::detail
