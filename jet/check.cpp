// Database::check: walks the file's structures the way the readers and writers rely on them and
// reports every place where they cannot be relied on, instead of failing at the first one.

#include "jet/check.h"

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "jet/byte_reader.h"
#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/database_core.h"
#include "jet/error.h"
#include "jet/header.h"
#include "jet/property_blob.h"
#include "jet/row_reader.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

// A table damaged throughout would drown the rest of the report.
constexpr std::size_t kMaxProblemsPerTable = 20;

class Checker {
  public:
    Checker(DatabaseCore& core, std::vector<std::string>& problems)
        : core_(core), pages_(core.channel()), problems_(problems) {}

    // Page 0 must still be the header this handle opened: the same version and page key, or
    // every other page would be read with the wrong layout or the wrong key.
    void header() {
        guard("the header", [&] {
            const Header onDisk = Header::parse(*pages_.page(0), core_.path);
            if (&onDisk.format() != &core_.header.format() ||
                onDisk.databaseKey() != core_.header.databaseKey())
                throw corrupt("it no longer matches the header the file was opened with");
        });
    }

    // The bitmap pages of the global map must be bitmap pages inside the file; the free pages it
    // marks may lie beyond the file's end, where Jet keeps them free already.
    void globalUsageMap() {
        guard("the global usage map",
              [&] { UsageMap(pages_, kGlobalUsageMap).requireBitmapPages(); });
    }

    // The table whose definition starts at `firstPage`: definition, usage maps, rows.
    void table(std::uint32_t firstPage, const std::string& name) {
        const std::string where = "table '" + name + "'";
        const std::size_t before = problems_.size();
        std::optional<TableDefinition> def;
        guard(where, [&] {
            def.emplace(TableDefinition::read(pages_, firstPage, core_.header.codePage()));
            const auto& maps = def->longValueMaps();
            for (const Column& column : def->columns()) {
                const auto hit = maps.find(column.number);
                if (hit == maps.end()) continue;
                guard(where + ", the long-value maps of column '" + column.name + "'", [&] {
                    walkMap(hit->second.owned, nullptr);
                    walkMap(hit->second.free, nullptr);
                });
            }
        });
        if (!def) return;
        const bool catalog = firstPage == Catalog::kCatalogPage;
        const int lvProp = catalog ? def->columnIndex("LvProp") : -1;
        guard(where, [&] {
            walkMap(def->usageMap(), [&](std::uint32_t page) {
                const Page bytes = pages_.page(page);
                if (!isDataPageOf(*bytes, firstPage)) return;
                const std::size_t rows = DataPage(*bytes, pages_.format()).rowCount();
                for (std::size_t i = 0; i < rows; ++i) {
                    if (problems_.size() - before >= kMaxProblemsPerTable) return;
                    guard(where + ", row " + std::to_string(i) + " of page " + std::to_string(page),
                          [&] { row(*def, bytes, i, lvProp); });
                }
            });
        });
        if (problems_.size() - before >= kMaxProblemsPerTable)
            problems_.push_back(where + ": further problems not listed");
    }

    // A page this handle wrote: inside the file and, when it holds rows, with a sound row table.
    void writtenPage(std::uint32_t number) {
        guard("page " + std::to_string(number), [&] {
            const Page page = pages_.page(number);
            if (number == 0 || (*page)[0] != kPageTypeData) return;
            DataPage(*page, pages_.format()).rows();
        });
    }

    template <typename Step>
    void guard(const std::string& where, Step step) {
        try {
            step();
        } catch (const JetError& error) {
            problems_.push_back(where + ": " + error.description());
        } catch (const std::bad_alloc&) {
            problems_.push_back(where + ": sizes too large to hold in memory");
        } catch (const std::exception& error) {
            problems_.push_back(where + ": " + error.what());
        }
    }

  private:
    // Walks every page of the map at `at` (each inside the file, else 3049), handing each to
    // `visit` when given; the walk reads every bitmap page of a reference map on its way.
    template <typename Visit>
    void walkMap(RowPointer at, Visit visit) {
        UsageMap(pages_, at).forEachPage([&](std::uint32_t page) {
            if constexpr (!std::is_same_v<Visit, std::nullptr_t>) visit(page);
            return true;
        });
    }

    void row(const TableDefinition& def, const Page& page, std::size_t index, int lvProp) {
        const DataPage rows(*page, pages_.format());
        const RowSlot slot = rows.slot(index);
        if (slot.deletedFlag()) return;  // deleted, or reached through its pointer row
        std::span<const std::uint8_t> bytes = rows.bytes(slot);
        RelocatedRow target;
        if (slot.isPointer()) {
            target = followPointerRow(pages_, def.firstPage(), bytes);
            if (!target.slot.isRelocatedTarget())
                throw corrupt("a pointer row leads to no relocated row");
            bytes = target.bytes;
        }
        const RowReader reader(pages_, bytes, def.variableColumnCount(), core_.header.codePage());
        for (std::size_t i = 0; i < def.columns().size(); ++i) {
            const Column& column = def.columns()[i];
            Value value;
            try {
                value = reader.read(column);
            } catch (const JetError& error) {
                throw JetError(error.number(),
                               "column '" + column.name + "': " + error.description());
            }
            if (static_cast<int>(i) != lvProp) continue;
            if (const auto* blob = std::get_if<Bytes>(&value)) {
                try {
                    PropertyBlob::parse(*blob, pages_.format(), core_.header.codePage());
                } catch (const JetError& error) {
                    throw JetError(error.number(), "its properties: " + error.description());
                }
            }
        }
    }

    DatabaseCore& core_;
    PageChannel& pages_;
    std::vector<std::string>& problems_;
};

}  // namespace

std::vector<std::string> Database::check(CheckScope scope) const {
    core_->channel();
    std::vector<std::string> problems;
    Checker checker(*core_, problems);
    checker.header();
    checker.globalUsageMap();
    std::set<std::uint32_t> tables{Catalog::kCatalogPage};
    checker.table(Catalog::kCatalogPage, "MSysObjects");
    for (const CatalogEntry& entry : core_->catalog.entries()) {
        if (!entry.isTable() || tables.count(entry.tablePage())) continue;
        const bool wanted =
            scope == CheckScope::Everything || core_->writtenTables.count(entry.tablePage());
        if (!wanted) continue;
        tables.insert(entry.tablePage());
        checker.table(entry.tablePage(), entry.name);
    }
    if (scope == CheckScope::Written) {
        for (const std::uint32_t page : core_->pages->writtenPages()) checker.writtenPage(page);
    }
    return problems;
}

}  // namespace jet
