#include "jet/catalog.h"

#include "jet/column.h"
#include "jet/error.h"
#include "jet/row_reader.h"
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

std::optional<Bytes> Catalog::properties(PageChannel& pages, int codePage, std::uint32_t objectId) {
    const TableDefinition def = TableDefinition::read(pages, kCatalogPage, codePage);
    const Column& id = requireColumn(def, "Id");
    const int lvProp = def.columnIndex("LvProp");
    if (lvProp < 0) return std::nullopt;
    TableScan scan(pages, def);
    while (scan.next()) {
        const RowReader row(pages, scan.row(), def.variableColumnCount(), codePage);
        if (static_cast<std::uint32_t>(integerOr(row.read(id), 0)) != objectId) continue;
        Value value = row.read(def.columns()[static_cast<std::size_t>(lvProp)]);
        if (auto* bytes = std::get_if<Bytes>(&value)) return std::move(*bytes);
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace jet
