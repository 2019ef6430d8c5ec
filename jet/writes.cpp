// The writes of the engine: a Boolean set on a row, a Boolean column added to a table, custom
// database properties. Each gathers its page changes in a PageBatch and commits them at the end.

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <utility>

#include "jet/byte_reader.h"
#include "jet/catalog.h"
#include "jet/database.h"
#include "jet/database_core.h"
#include "jet/long_value.h"
#include "jet/page_allocator.h"
#include "jet/page_batch.h"
#include "jet/property_blob_writer.h"
#include "jet/row_reader.h"
#include "jet/row_store.h"
#include "jet/row_writer.h"
#include "jet/table_definition.h"
#include "jet/table_definition_writer.h"
#include "jet/table_scan.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::size_t kMaxNameLength = 64;
constexpr std::uint8_t kLongType = 0x04;
constexpr std::uint8_t kTextType = 0x0A;

PageChannel& writableChannel(DatabaseCore& core) {
    PageChannel& pages = core.channel();
    if (core.options.readOnly) throw readOnlyDatabase();
    return pages;
}

void requireName(std::string_view name, const char* what) {
    if (name.empty() || name.size() > kMaxNameLength)
        throw invalidArgument(std::string("a ") + what + " name must have 1 to 64 characters");
}

std::uint32_t integerOf(const Value& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<std::uint32_t>(*i);
    return 0;
}

// Where the catalog row of object `objectId` lies.
RowId findCatalogRow(PageChannel& pages, const TableDefinition& catalog, int codePage,
                     std::uint32_t objectId) {
    const int id = catalog.columnIndex("Id");
    if (id < 0) throw corrupt("the catalog has no column Id");
    TableScan scan(pages, catalog);
    while (scan.next()) {
        const RowReader row(pages, scan.row(), catalog.variableColumnCount(), codePage);
        if (integerOf(row.read(catalog.columns()[static_cast<std::size_t>(id)])) == objectId)
            return {scan.rowPage(), scan.rowIndex()};
    }
    throw itemNotFound();
}

// Rewrites the property blob (LvProp) of catalog object `objectId` with `change` applied.
void updateObjectProperties(PageBatch& batch, DatabaseCore& core, std::uint32_t objectId,
                            const std::function<void(PropertyBlobEditor&)>& change) {
    PageChannel& pages = core.channel();
    const int codePage = core.header.codePage();
    const JetFormat& format = pages.format();
    const TableDefinition catalog = TableDefinition::read(pages, Catalog::kCatalogPage, codePage);
    const int lvPropIndex = catalog.columnIndex("LvProp");
    if (lvPropIndex < 0) throw corrupt("the catalog has no column LvProp");
    const Column& lvProp = catalog.columns()[static_cast<std::size_t>(lvPropIndex)];
    if (lvProp.isFixed()) throw corrupt("the catalog's LvProp is not a long value");

    const RowLocation location =
        locateRow(batch, Catalog::kCatalogPage, findCatalogRow(pages, catalog, codePage, objectId));
    RowParts parts = splitRow(rowBytes(batch, location), format, catalog.variableColumnCount());
    std::optional<Bytes> current;
    std::vector<RowPointer> oldRows;
    if (parts.bit(lvProp.number) && lvProp.varIndex < parts.vars.size() &&
        !parts.vars[lvProp.varIndex].empty()) {
        current = readLongValue(pages, parts.vars[lvProp.varIndex]);
        oldRows = longValueRows(batch, parts.vars[lvProp.varIndex]);
    }
    PropertyBlobEditor editor(
        current ? std::optional<std::span<const std::uint8_t>>(*current) : std::nullopt, format,
        codePage);
    change(editor);
    const Bytes blob = editor.bytes();
    // Values that are already stored leave the file alone.
    if (current && *current == blob) return;
    core.writtenTables.insert(Catalog::kCatalogPage);

    // The new value's LVAL rows go where Access would put them, never beside the old value's
    // rows: those are deleted only after the catalog row has stopped referring to them.
    LongValuePlacement placement;
    if (const auto maps =
            TableDefinitionBytes::read(batch, Catalog::kCatalogPage).longValueMaps(lvProp.number)) {
        placement.ownedMap = maps->owned;
        placement.freeMap = maps->free;
    }
    for (const RowPointer& row : oldRows) placement.avoid.insert(row.page);

    if (parts.vars.size() <= lvProp.varIndex) parts.vars.resize(lvProp.varIndex + 1u);
    parts.vars[lvProp.varIndex] = writeLongValue(batch, blob, placement);
    parts.setBit(lvProp.number, true);
    storeRow(batch, Catalog::kCatalogPage, catalog.usageMap(), location, joinRow(parts, format));
    deleteLongValueRows(batch, oldRows);
}

// The fixed area a row of this table has when written now: up to the end of its last fixed
// column (Booleans live in the null mask and take none).
std::size_t fixedAreaLength(const TableDefinition& def) {
    std::size_t end = 0;
    for (const Column& column : def.columns()) {
        if (column.isFixed() && !column.is(ColumnType::Boolean))
            end = std::max<std::size_t>(end, column.fixedOffset + column.length);
    }
    return end;
}

std::size_t variableSlots(const TableDefinition& def) {
    std::size_t slots = 0;
    for (const Column& column : def.columns()) {
        if (!column.isFixed()) slots = std::max<std::size_t>(slots, column.varIndex + 1u);
    }
    return slots;
}

}  // namespace

void Database::SetBoolean(std::string_view table, RowId row, std::string_view column, bool value) {
    const std::pair<RowId, bool> change{row, value};
    SetBooleans(table, column, std::span(&change, 1));
}

void Database::SetBooleans(std::string_view table, std::string_view column,
                           std::span<const std::pair<RowId, bool>> changes) {
    PageChannel& pages = writableChannel(*core_);
    const CatalogEntry* entry = core_->catalog.findTable(table);
    if (!entry) throw itemNotFound();
    const std::uint32_t owner = entry->tablePage();
    const TableDefinition def = TableDefinition::read(pages, owner, core_->header.codePage());
    const int index = def.columnIndex(column);
    if (index < 0) throw itemNotFound();
    const Column& target = def.columns()[static_cast<std::size_t>(index)];
    if (!target.is(ColumnType::Boolean)) throw typeConversion();

    PageBatch batch(pages);
    const TableDefinitionBytes raw = TableDefinitionBytes::read(batch, owner);
    // Index entries would have to change with the value; this engine writes no index.
    if (raw.isIndexed(target.number))
        throw JetError(kInvalidArgument, "Invalid argument: the column '" + std::string(column) +
                                             "' is indexed, and indexes are not updated here.");
    core_->writtenTables.insert(owner);
    // Each row once, where it first comes, with the last value asked for it.
    std::vector<std::pair<RowId, bool>> rows;
    std::map<std::pair<std::uint32_t, std::uint16_t>, std::size_t> seen;
    for (const auto& [row, value] : changes) {
        const auto [at, added] = seen.try_emplace({row.page, row.row}, rows.size());
        if (added)
            rows.emplace_back(row, value);
        else
            rows[at->second].second = value;
    }
    for (const auto& [row, value] : rows) {
        // A row that cannot be changed stops the run there; the rows before it are stored.
        std::optional<PageBatch::Snapshot> before;
        try {
            const RowLocation location = locateRow(batch, owner, row);
            RowParts parts =
                splitRow(rowBytes(batch, location), pages.format(), def.variableColumnCount());
            const bool predates = target.number >= parts.columnCount;
            // A row written before the column existed reads false.
            if ((predates ? false : parts.bit(target.number)) == value) continue;
            if (predates) {
                // Written again as a row of today's table, whose columns it lacks are NULL.
                parts.growColumns(std::max<std::size_t>(raw.maxColumns(), target.number + 1u));
                if (parts.fixed.size() < fixedAreaLength(def))
                    parts.fixed.resize(fixedAreaLength(def), 0);
                if (parts.hasVarTable && parts.vars.size() < variableSlots(def))
                    parts.vars.resize(variableSlots(def));
            }
            parts.setBit(target.number, value);
            const Bytes bytes = joinRow(parts, pages.format());
            if (storeRowInPlace(batch, location, bytes)) continue;
            // Moving a row stages several pages; a failure midway must not leave half of it.
            before = batch.snapshot();
            storeRow(batch, owner, def.usageMap(), location, bytes);
        } catch (...) {
            if (before) batch.restore(std::move(*before));
            PageAllocator(batch).commit();
            throw;
        }
    }
    PageAllocator(batch).commit();
}

void Database::AddBooleanColumn(std::string_view table, std::string_view column,
                                std::string_view description) {
    PageChannel& pages = writableChannel(*core_);
    requireName(column, "column");
    const CatalogEntry* entry = core_->catalog.findTable(table);
    if (!entry) throw itemNotFound();
    const int codePage = core_->header.codePage();
    const TableDefinition def = TableDefinition::read(pages, entry->tablePage(), codePage);
    for (const Column& existing : def.columns()) {
        if (equalsIgnoringAsciiCase(existing.name, column)) throw duplicateField();
    }
    const Bytes name = PropertyBlobEditor::encodeText(column, pages.format());
    const Bytes text = PropertyBlobEditor::encodeText(description, pages.format());

    PageBatch batch(pages);
    TableDefinitionBytes raw = TableDefinitionBytes::read(batch, entry->tablePage());
    raw.addBooleanColumn(name, codePage);
    core_->writtenTables.insert(entry->tablePage());
    updateObjectProperties(batch, *core_, entry->id, [&](PropertyBlobEditor& editor) {
        editor.set(column, "Description", kTextType, true, text);
    });
    raw.write(batch);
    PageAllocator(batch).commit();
}

void Database::SetCustomProperty(std::string_view name, const Value& value) {
    const std::pair<std::string, Value> property{std::string(name), value};
    SetCustomProperties(std::span(&property, 1));
}

void Database::SetCustomProperties(std::span<const std::pair<std::string, Value>> properties) {
    PageChannel& pages = writableChannel(*core_);
    struct Stored {
        std::uint8_t type = 0;
        Bytes data;
    };
    std::vector<Stored> stored;
    for (const auto& [name, value] : properties) {
        requireName(name, "property");
        Stored entry;
        if (const auto* number = std::get_if<std::int64_t>(&value)) {
            if (*number < std::numeric_limits<std::int32_t>::min() ||
                *number > std::numeric_limits<std::int32_t>::max())
                throw invalidArgument("a Long property value outside 32 bits");
            entry.type = kLongType;
            entry.data.resize(4);
            putU32(entry.data, 0, static_cast<std::uint32_t>(*number));
        } else if (const auto* text = std::get_if<std::string>(&value)) {
            entry.type = kTextType;
            entry.data = PropertyBlobEditor::encodeText(*text, pages.format());
        } else {
            throw invalidArgument("a custom property is a Long or a Text");
        }
        stored.push_back(std::move(entry));
    }
    const CatalogEntry* databases = core_->catalog.find(Catalog::kDatabasesParentId, "Databases");
    const CatalogEntry* userDefined =
        databases ? core_->catalog.find(databases->id, "UserDefined") : nullptr;
    if (!userDefined) throw itemNotFound();

    PageBatch batch(pages);
    updateObjectProperties(batch, *core_, userDefined->id, [&](PropertyBlobEditor& editor) {
        for (std::size_t i = 0; i < stored.size(); ++i)
            editor.set("", properties[i].first, stored[i].type, false, stored[i].data);
    });
    PageAllocator(batch).commit();
}

std::optional<Value> Database::customProperty(std::string_view name) const {
    const std::optional<PropertyBlob> blob = customProperties();
    if (!blob) return std::nullopt;
    const Property* property = blob->objectProperties().find(name);
    if (!property) return std::nullopt;
    return property->value;
}

}  // namespace jet
