#pragma once
// What Database::check walks. Internal to the engine; the public entry is Database::check.

namespace jet {

enum class CheckScope {
    // Every table's definition, usage map, data pages, rows and long values, and the usage maps.
    Everything,
    // The header, the global usage map and the catalog, the tables this handle has written and
    // the pages it has written: what an apply changed, cheap on a large file.
    Written,
};

}  // namespace jet
