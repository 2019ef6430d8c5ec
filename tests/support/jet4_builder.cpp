#include "tests/support/jet4_builder.h"

#include <cmath>
#include <memory>
#include <set>
#include <stdexcept>

#include "tests/support/jet4_pages.h"
#include "tests/support/jet4_properties.h"
#include "tests/support/jet4_table.h"

namespace fixture {

namespace {

using detail::Bytes;

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::size_t kMaskedStart = 0x18;
constexpr std::size_t kMaskedSize = 128;
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kDatabaseKeyOffset = 0x3E;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kPasswordSize = 40;
constexpr std::size_t kSortOrderOffset = 0x6E;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::uint32_t kGeneralSortOrder = 0x0409;
// Catalog object types and ids as Access writes them.
constexpr std::int64_t kTypeTable = 1;
constexpr std::int64_t kTypeDatabase = 2;
constexpr std::int64_t kTypeContainer = 3;
constexpr std::int64_t kTypeDatabaseProperty = -32757;  // 0x800B as a 16-bit integer
constexpr std::int64_t kSystemFlags = INT32_MIN;        // 0x80000000
constexpr std::int64_t kRootId = 0x0F000000;
constexpr std::int64_t kTablesId = 0x0F000001;
constexpr std::int64_t kDatabasesId = 0x0F000002;
constexpr std::int64_t kRelationshipsId = 0x0F000003;
constexpr std::int64_t kMSysDbId = 0x10000000;
const std::string kAdminOwner("\xA6\x33", 2);
constexpr std::size_t kMapRowsPerPage =
    (detail::kPageSize - detail::kDataPageHeaderSize) / (detail::kUsageMapRowSize + 2);

Column Col(std::string name, ColumnType type, int length = 0) {
    return Column{std::move(name), type, length};
}

Table CatalogTable() {
    using T = ColumnType;
    return Table{
        "MSysObjects",
        {Col("Id", T::Long), Col("ParentId", T::Long), Col("Name", T::Text, 255),
         Col("Type", T::Integer), Col("DateCreate", T::DateTime), Col("DateUpdate", T::DateTime),
         Col("Owner", T::Binary, 255), Col("Flags", T::Long), Col("Database", T::Memo),
         Col("Connect", T::Memo), Col("ForeignName", T::Text, 255),
         Col("RmtInfoShort", T::Binary, 255), Col("RmtInfoLong", T::Ole), Col("Lv", T::Ole),
         Col("LvProp", T::Ole), Col("LvModule", T::Ole), Col("LvExtra", T::Ole)},
        {}};
}

// The empty system tables every Access database has beside the catalog.
std::vector<Table> SystemTables() {
    using T = ColumnType;
    return {
        Table{"MSysACEs",
              {Col("ObjectId", T::Long), Col("SID", T::Binary, 255), Col("ACM", T::Long),
               Col("FInheritable", T::Boolean)},
              {}},
        Table{"MSysQueries",
              {Col("ObjectId", T::Long), Col("Attribute", T::Byte), Col("Order", T::Binary, 255),
               Col("Name1", T::Text, 255), Col("Name2", T::Text, 255), Col("Expression", T::Memo),
               Col("Flag", T::Integer), Col("LvExtra", T::Long)},
              {}},
        Table{
            "MSysRelationships",
            {Col("szRelationship", T::Text, 255), Col("grbit", T::Long), Col("ccolumn", T::Long),
             Col("icolumn", T::Long), Col("szObject", T::Text, 255), Col("szColumn", T::Text, 255),
             Col("szReferencedObject", T::Text, 255), Col("szReferencedColumn", T::Text, 255)},
            {}},
    };
}

std::vector<Value> CatalogRow(std::int64_t id, std::int64_t parent, const std::string& name,
                              std::int64_t type, std::int64_t flags, double date,
                              const Bytes& properties = {}) {
    std::vector<Value> row(17, kNull);
    row[0] = id;
    row[1] = parent;
    row[2] = name;
    row[3] = type;
    row[4] = date;
    row[5] = date;
    row[6] = kAdminOwner;
    row[7] = flags;
    if (!properties.empty()) row[14] = std::string(properties.begin(), properties.end());
    return row;
}

void WriteHeader(Bytes& page, const Database& db) {
    page.assign(detail::kPageSize, 0);
    page[1] = 0x01;
    const std::string magic = "Standard Jet DB";
    std::copy(magic.begin(), magic.end(), page.begin() + 4);
    detail::PutU32(page, 0x14, 1);  // Jet 4
    detail::PutU16(page, kCodePageOffset, db.code_page);
    detail::PutU32(page, kDatabaseKeyOffset, 0);  // pages are not encoded
    detail::PutU32(page, kSortOrderOffset, kGeneralSortOrder);
    Bytes date;
    detail::AppendF64(date, db.creation_date);
    std::copy(date.begin(), date.end(), page.begin() + kCreationDateOffset);

    Bytes password(kPasswordSize, 0);
    if (db.password) {
        const Bytes text = detail::Ucs2(detail::Utf8ToUtf16(*db.password));
        if (text.size() > kPasswordSize) {
            throw std::invalid_argument("a password has at most 20 characters");
        }
        std::copy(text.begin(), text.end(), password.begin());
    }
    // Jet 4 masks the password with the whole days of the creation date, as 4 repeated bytes.
    const auto days =
        static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(db.creation_date)));
    for (std::size_t i = 0; i < kPasswordSize; ++i) {
        password[i] ^= static_cast<std::uint8_t>(days >> (8 * (i % 4)));
    }
    std::copy(password.begin(), password.end(), page.begin() + kPasswordOffset);
    detail::Rc4Xor({0xC7, 0xDA, 0x39, 0x6B}, page.data() + kMaskedStart, kMaskedSize);
}

// Pages with room for more rows: where Access would put the next insert.
std::set<std::uint32_t> PagesWithFreeSpace(detail::PageFile& file,
                                           const std::vector<std::uint32_t>& pages) {
    std::set<std::uint32_t> out;
    for (std::uint32_t number : pages) {
        const Bytes& page = file.Page(number);
        const int free = page[2] | page[3] << 8;
        const int rows = page[detail::kRowCountOffset] | page[detail::kRowCountOffset + 1] << 8;
        if (free >= 64 && rows < detail::kMaxRowsPerPage) out.insert(number);
    }
    return out;
}

struct PlacedTable {
    const Table* table = nullptr;
    detail::TableLayout layout;
    std::vector<std::uint32_t> tdef_pages;
    std::vector<std::uint32_t> map_rows;  // used, free, then used/free per long value column
    std::unique_ptr<detail::RowWriter> writer;
};

}  // namespace

void Database::Build(const std::filesystem::path& path) const {
    const Table catalog_description = CatalogTable();
    const std::vector<Table> system_tables = SystemTables();
    std::vector<PlacedTable> placed;
    std::set<std::string> names;
    auto add = [&](const Table& table, bool system) {
        if (!names.insert(table.name).second) {
            throw std::invalid_argument("two tables named " + table.name);
        }
        PlacedTable p;
        p.table = &table;
        p.layout = detail::LayOut(table, system);
        placed.push_back(std::move(p));
    };
    add(catalog_description, true);
    for (const Table& t : system_tables) add(t, true);
    for (const Table& t : tables) add(t, false);

    detail::PageFile file;
    for (int i = 0; i < 3; ++i) file.Allocate();  // header, global usage map, catalog TDEF

    std::size_t map_row_count = 0;
    for (const PlacedTable& p : placed) {
        std::size_t long_values = 0;
        for (const auto& c : p.layout.columns) long_values += c.long_value ? 1 : 0;
        map_row_count += 2 + 2 * long_values;
    }
    std::vector<std::uint32_t> map_pages;
    for (std::size_t i = 0; i < (map_row_count + kMapRowsPerPage - 1) / kMapRowsPerPage; ++i) {
        map_pages.push_back(file.Allocate());
        detail::InitDataPage(file.Page(map_pages.back()), 0);
    }
    std::size_t next_map_row = 0;
    for (PlacedTable& p : placed) {
        std::size_t wanted = 2;
        for (const auto& c : p.layout.columns) wanted += c.long_value ? 2 : 0;
        for (std::size_t i = 0; i < wanted; ++i, ++next_map_row) {
            p.map_rows.push_back(
                detail::RowPointer(map_pages[next_map_row / kMapRowsPerPage],
                                   static_cast<int>(next_map_row % kMapRowsPerPage)));
        }
    }

    // Table definitions first, so that catalog rows can name their pages.
    for (PlacedTable& p : placed) {
        detail::DefinitionRefs sizing;
        for (const auto& c : p.layout.columns) {
            if (c.long_value) sizing.long_value_maps.emplace_back(0, 0);
        }
        const std::size_t count =
            detail::DefinitionPageCount(detail::TableDefinition(p.layout, sizing).size());
        for (std::size_t i = 0; i < count; ++i) {
            p.tdef_pages.push_back(&p == &placed.front() && i == 0 ? kCatalogPage
                                                                   : file.Allocate());
        }
    }

    Table catalog = catalog_description;
    const double date = creation_date;
    catalog.rows = {
        CatalogRow(kTablesId, kRootId, "Tables", kTypeContainer, kSystemFlags, date),
        CatalogRow(kDatabasesId, kRootId, "Databases", kTypeContainer, kSystemFlags, date),
        CatalogRow(kRelationshipsId, kRootId, "Relationships", kTypeContainer, kSystemFlags, date),
        CatalogRow(kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, kSystemFlags, date,
                   detail::PropertyBlob(database_properties, {})),
    };
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const bool system = i < 1 + system_tables.size();
        const Table& t = *placed[i].table;
        std::vector<std::pair<std::string, std::vector<Property>>> column_properties;
        for (const Column& c : t.columns) column_properties.emplace_back(c.name, c.properties);
        catalog.rows.push_back(CatalogRow(placed[i].tdef_pages.front(), kTablesId, t.name,
                                          kTypeTable, system ? kSystemFlags : 0, date,
                                          detail::PropertyBlob(t.properties, column_properties)));
    }
    catalog.rows.push_back(
        CatalogRow(INT32_MIN + 7, kDatabasesId, "SummaryInfo", kTypeDatabaseProperty, 0, date));
    catalog.rows.push_back(CatalogRow(INT32_MIN + 8, kDatabasesId, "UserDefined",
                                      kTypeDatabaseProperty, 0, date,
                                      detail::PropertyBlob(user_defined_properties, {})));
    placed.front().table = &catalog;

    for (PlacedTable& p : placed) {
        p.writer = std::make_unique<detail::RowWriter>(file, p.layout, p.tdef_pages.front());
        for (const auto& row : p.table->rows) p.writer->Add(row);
    }

    for (PlacedTable& p : placed) {
        detail::DefinitionRefs refs;
        refs.row_count = static_cast<std::uint32_t>(p.table->rows.size());
        refs.used_map = p.map_rows[0];
        refs.free_map = p.map_rows[1];
        std::vector<std::pair<std::set<std::uint32_t>, detail::MapKind>> maps;
        const auto& data_pages = p.writer->DataPages();
        const std::set<std::uint32_t> used(data_pages.begin(), data_pages.end());
        const bool reference = p.table->usage_map == UsageMapStyle::Reference;
        maps.emplace_back(used, reference ? detail::MapKind::Reference : detail::KindFor(used));
        const auto free = PagesWithFreeSpace(file, data_pages);
        maps.emplace_back(free, reference ? detail::MapKind::Reference : detail::KindFor(free));
        std::size_t row_index = 2;
        for (const auto& c : p.layout.columns) {
            if (!c.long_value) continue;
            const auto pages = p.writer->LongValuePages(c.number);
            const std::set<std::uint32_t> lv_used(pages.begin(), pages.end());
            const auto lv_free = PagesWithFreeSpace(file, pages);
            maps.emplace_back(lv_used, detail::KindFor(lv_used));
            maps.emplace_back(lv_free, detail::KindFor(lv_free));
            refs.long_value_maps.emplace_back(p.map_rows[row_index], p.map_rows[row_index + 1]);
            row_index += 2;
        }
        for (std::size_t i = 0; i < maps.size(); ++i) {
            const Bytes row = detail::UsageMapRow(maps[i].first, maps[i].second, file);
            const int placed_row = detail::AddRow(file.Page(p.map_rows[i] >> 8), row);
            if (placed_row != static_cast<int>(p.map_rows[i] & 0xFF)) {
                throw std::logic_error("usage map row landed out of order");
            }
        }
        detail::WriteTableDefinition(file, p.tdef_pages, detail::TableDefinition(p.layout, refs));
    }

    WriteHeader(file.Page(0), *this);
    detail::WriteGlobalUsageMap(file);
    file.WriteTo(path);
}

Table LanguagesTable(const std::vector<Language>& languages, bool with_toolbox_access) {
    Table table{"TcfgLanguages",
                {Col("LCID", ColumnType::Long), Col("Name", ColumnType::Text, 50),
                 Col("ShortName", ColumnType::Text, 10), Col("DisplayName", ColumnType::Text, 100)},
                {}};
    if (with_toolbox_access) table.columns.push_back(Col("ToolBoxAccess", ColumnType::Boolean));
    for (const Language& l : languages) {
        std::vector<Value> row{std::int64_t{l.lcid}, l.name, l.short_name, l.display_name};
        if (with_toolbox_access) row.emplace_back(l.toolbox_access);
        table.rows.push_back(std::move(row));
    }
    return table;
}

Database ProjectDatabase(const std::vector<Language>& languages, bool with_toolbox_access,
                         std::optional<std::string> password) {
    Database db;
    db.tables.push_back(LanguagesTable(languages, with_toolbox_access));
    db.password = std::move(password);
    return db;
}

}  // namespace fixture
