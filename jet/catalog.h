#pragma once
// The catalog: the rows of MSysObjects (table definition at page 2) that name every object of the
// database, its parent, type and flags, and carry its property blob in LvProp, which is read and
// rewritten here.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/page_batch.h"
#include "jet/page_channel.h"
#include "jet/property_blob.h"
#include "jet/value.h"

namespace jet {

struct CatalogEntry {
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;
    std::string name;
    int type = 0;  // low 7 bits of Type
    std::uint32_t flags = 0;

    static constexpr int kTable = 1;
    // Either flag marks a system object (MSys* tables and their kin).
    static constexpr std::uint32_t kSystemFlags = 0x80000002;
    bool isTable() const { return type == kTable; }
    bool isSystem() const { return (flags & kSystemFlags) != 0; }
    // A table's Id is its first table-definition page (in the low three bytes).
    std::uint32_t tablePage() const { return id & 0x00FFFFFF; }
};

class Catalog {
  public:
    static constexpr std::uint32_t kCatalogPage = 2;
    // Parent of the "Databases" container object, fixed by Jet.
    static constexpr std::uint32_t kDatabasesParentId = 0x0F000000;

    static Catalog read(PageChannel& pages, int codePage);

    const std::vector<CatalogEntry>& entries() const { return entries_; }
    // The table named exactly `name`; nullptr when there is none.
    const CatalogEntry* findTable(std::string_view name) const;
    const CatalogEntry* find(std::uint32_t parentId, std::string_view name) const;

    // The property blob of the object `id`, read afresh; nullopt when it has none.
    static std::optional<PropertyBlob> properties(PageChannel& pages, int codePage,
                                                  std::uint32_t id);
    // Stages in `batch` the property blob of the object `id` with `change` applied (to an empty
    // blob when it has none). False, with nothing staged, when the change leaves the blob as it
    // was. 3265 when the catalog has no row for `id`.
    static bool updateProperties(PageBatch& batch, int codePage, std::uint32_t id,
                                 const std::function<void(PropertyBlob&)>& change);

  private:
    std::vector<CatalogEntry> entries_;
};

}  // namespace jet
