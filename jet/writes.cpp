// The writes of the engine: a Boolean set on a row, a Boolean column added to a table, custom
// database properties. Each gathers its page changes in a PageBatch and commits them at the end.

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <utility>

#include "jet/byte_reader.h"
#include "jet/catalog.h"
#include "jet/database.h"
#include "jet/database_core.h"
#include "jet/page_allocator.h"
#include "jet/page_batch.h"
#include "jet/row_format.h"
#include "jet/row_store.h"
#include "jet/table_definition.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::size_t kMaxNameLength = 64;
constexpr auto kLongType = static_cast<std::uint8_t>(ColumnType::Long);
constexpr auto kTextType = static_cast<std::uint8_t>(ColumnType::Text);

PageChannel& writableChannel(DatabaseCore& core) {
    PageChannel& pages = core.channel();
    if (core.options.readOnly) throw readOnlyDatabase();
    return pages;
}

void requireName(std::string_view name, const char* what) {
    // Jet counts characters: a name of 64 umlauts takes 128 bytes of UTF-8 and is still allowed.
    const auto units = utf8ToUtf16(name);
    const std::size_t length = units ? units->size() : name.size();
    if (length == 0 || length > kMaxNameLength)
        throw invalidArgument(std::string("a ") + what + " name must have 1 to 64 characters");
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
    // Index entries would have to change with the value; this engine writes no index.
    if (def.isIndexed(target.number))
        throw invalidArgument("the column '" + std::string(column) +
                              "' is indexed, and indexes are not updated here");
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
                parts.growColumns(std::max<std::size_t>(def.maxColumns(), target.number + 1u));
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
    TableDefinition def = TableDefinition::read(pages, entry->tablePage(), codePage);
    for (const Column& existing : def.columns()) {
        if (equalsIgnoringAsciiCase(existing.name, column)) throw duplicateField();
    }
    const Bytes text = encodeText(description, pages.format());

    PageBatch batch(pages);
    def.addBooleanColumn(column, codePage);
    core_->writtenTables.insert(entry->tablePage());
    const bool changed =
        Catalog::updateProperties(batch, codePage, entry->id, [&](PropertyBlob& properties) {
            properties.set(column, "Description", kTextType, true, text);
        });
    if (changed) core_->writtenTables.insert(Catalog::kCatalogPage);
    def.write(batch);
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
            entry.data = encodeText(*text, pages.format());
        } else {
            throw invalidArgument("a custom property is a Long or a Text");
        }
        stored.push_back(std::move(entry));
    }
    const CatalogEntry* userDefined = core_->customPropertiesObject();
    if (!userDefined) throw itemNotFound();

    PageBatch batch(pages);
    const bool changed = Catalog::updateProperties(
        batch, core_->header.codePage(), userDefined->id, [&](PropertyBlob& blob) {
            for (std::size_t i = 0; i < stored.size(); ++i)
                blob.set("", properties[i].first, stored[i].type, false, stored[i].data);
        });
    if (changed) core_->writtenTables.insert(Catalog::kCatalogPage);
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
