#include "jet/catalog.h"

#include <utility>

#include "jet/column.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/row_format.h"
#include "jet/row_reader.h"
#include "jet/row_store.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"

namespace jet {

namespace {

const Column& requireColumn(const TableDefinition& def, std::string_view name) {
    const int index = def.columnIndex(name);
    if (index < 0) throw corrupt("the catalog has no column " + std::string(name));
    return def.columns()[static_cast<std::size_t>(index)];
}

std::int64_t integerOr(const Value& value, std::int64_t fallback) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
    return fallback;
}

// Moves `scan` on to the row of object `objectId`; false when there is none.
bool seekObject(TableScan& scan, PageChannel& pages, const TableDefinition& def, int codePage,
                std::uint32_t objectId) {
    const Column& id = requireColumn(def, "Id");
    while (scan.next()) {
        const RowReader row(pages, scan.row(), def.variableColumnCount(), codePage);
        if (static_cast<std::uint32_t>(integerOr(row.read(id), 0)) == objectId) return true;
    }
    return false;
}

}  // namespace

Catalog Catalog::read(PageChannel& pages, int codePage) {
    const TableDefinition def = TableDefinition::read(pages, kCatalogPage, codePage);
    const Column& id = requireColumn(def, "Id");
    const Column& parentId = requireColumn(def, "ParentId");
    const Column& name = requireColumn(def, "Name");
    const Column& type = requireColumn(def, "Type");
    const Column& flags = requireColumn(def, "Flags");
    Catalog catalog;
    TableScan scan(pages, def);
    while (scan.next()) {
        const RowReader row(pages, scan.row(), def.variableColumnCount(), codePage);
        CatalogEntry entry;
        entry.id = static_cast<std::uint32_t>(integerOr(row.read(id), 0));
        entry.parentId = static_cast<std::uint32_t>(integerOr(row.read(parentId), 0));
        if (const auto nameValue = row.read(name);
            const auto* text = std::get_if<std::string>(&nameValue)) {
            entry.name = *text;
        }
        entry.type = static_cast<int>(integerOr(row.read(type), 0) & 0x7F);
        entry.flags = static_cast<std::uint32_t>(integerOr(row.read(flags), 0));
        catalog.entries_.push_back(std::move(entry));
    }
    return catalog;
}

const CatalogEntry* Catalog::findTable(std::string_view name) const {
    for (const CatalogEntry& entry : entries_) {
        if (entry.isTable() && entry.name == name) return &entry;
    }
    return nullptr;
}

const CatalogEntry* Catalog::find(std::uint32_t parentId, std::string_view name) const {
    for (const CatalogEntry& entry : entries_) {
        if (entry.parentId == parentId && entry.name == name) return &entry;
    }
    return nullptr;
}

std::optional<PropertyBlob> Catalog::properties(PageChannel& pages, int codePage,
                                                std::uint32_t objectId) {
    const TableDefinition def = TableDefinition::read(pages, kCatalogPage, codePage);
    requireColumn(def, "Id");
    const int lvProp = def.columnIndex("LvProp");
    if (lvProp < 0) return std::nullopt;
    TableScan scan(pages, def);
    if (!seekObject(scan, pages, def, codePage, objectId)) return std::nullopt;
    const RowReader row(pages, scan.row(), def.variableColumnCount(), codePage);
    const Value value = row.read(def.columns()[static_cast<std::size_t>(lvProp)]);
    if (const auto* bytes = std::get_if<Bytes>(&value))
        return PropertyBlob::parse(*bytes, pages.format(), codePage);
    return std::nullopt;
}

bool Catalog::updateProperties(PageBatch& batch, int codePage, std::uint32_t objectId,
                               const std::function<void(PropertyBlob&)>& change) {
    PageChannel& pages = batch.channel();
    const JetFormat& format = pages.format();
    const TableDefinition catalog = TableDefinition::read(pages, kCatalogPage, codePage);
    const int lvPropIndex = catalog.columnIndex("LvProp");
    if (lvPropIndex < 0) throw corrupt("the catalog has no column LvProp");
    const Column& lvProp = catalog.columns()[static_cast<std::size_t>(lvPropIndex)];
    if (lvProp.isFixed()) throw corrupt("the catalog's LvProp is not a long value");

    TableScan scan(pages, catalog);
    if (!seekObject(scan, pages, catalog, codePage, objectId)) throw itemNotFound();
    const RowLocation location =
        locateRow(batch, kCatalogPage, RowId{scan.rowPage(), scan.rowIndex()});
    RowParts parts = splitRow(rowBytes(batch, location), format, catalog.variableColumnCount());
    std::optional<Bytes> current;
    std::vector<RowPointer> oldRows;
    if (parts.bit(lvProp.number) && lvProp.varIndex < parts.vars.size() &&
        !parts.vars[lvProp.varIndex].empty()) {
        current = readLongValue(pages, parts.vars[lvProp.varIndex]);
        oldRows = longValueRows(batch, parts.vars[lvProp.varIndex]);
    }
    PropertyBlob blob =
        current ? PropertyBlob::parse(*current, format, codePage) : PropertyBlob(format, codePage);
    change(blob);
    const Bytes stored = blob.bytes();
    // Values that are already stored leave the file alone.
    if (current && *current == stored) return false;

    // The new value's LVAL rows go where Access would put them, never beside the old value's
    // rows: those are deleted only after the catalog row has stopped referring to them.
    LongValuePlacement placement;
    const auto& maps = catalog.longValueMaps();
    if (const auto hit = maps.find(lvProp.number); hit != maps.end()) {
        placement.ownedMap = hit->second.owned;
        placement.freeMap = hit->second.free;
    }
    for (const RowPointer& row : oldRows) placement.avoid.insert(row.page);

    if (parts.vars.size() <= lvProp.varIndex) parts.vars.resize(lvProp.varIndex + 1u);
    parts.vars[lvProp.varIndex] = writeLongValue(batch, stored, placement);
    parts.setBit(lvProp.number, true);
    storeRow(batch, kCatalogPage, catalog.usageMap(), location, joinRow(parts, format));
    deleteLongValueRows(batch, oldRows);
    return true;
}

}  // namespace jet
