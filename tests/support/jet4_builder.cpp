#include "tests/support/jet4_builder.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <stdexcept>

#include "tests/support/jet4_pages.h"
#include "tests/support/jet4_properties.h"
#include "tests/support/jet4_rows.h"
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
// Free space from which a page counts as one with room for more rows.
constexpr int kRoomForARow = 64;
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
    // Access's own date range, 100-01-01 to 9999-12-31; it also keeps the mask below defined.
    if (!(db.creation_date >= -657434.0 && db.creation_date < 2958466.0)) {
        throw std::invalid_argument("creation date outside the years 100 to 9999");
    }
    page.assign(detail::kPageSize, 0);
    page[1] = 0x01;
    const std::string magic = "Standard Jet DB";
    std::copy(magic.begin(), magic.end(), page.begin() + 4);
    detail::PutU32(page, 0x14, 1);  // Jet 4
    detail::PutU16(page, kCodePageOffset, db.code_page);
    detail::PutU32(page, kDatabaseKeyOffset, db.database_key);
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
        if (free >= kRoomForARow && rows < detail::kMaxRowsPerPage) out.insert(number);
    }
    return out;
}

struct PlacedTable {
    const Table* table = nullptr;
    bool system = false;
    detail::TableLayout layout;
    std::vector<std::uint32_t> tdef_pages;
    std::vector<std::uint32_t> map_rows;  // used, free, then used/free per long value column
    std::unique_ptr<detail::RowWriter> writer;
};

// Lays a described database out page by page: header, global usage map and catalog TDEF at pages
// 0-2, then the usage map rows of every table, the table definitions, and the rows of each table
// in turn; bitmap pages of reference maps come last.
class FileWriter {
  public:
    explicit FileWriter(const Database& db) : db_(db), catalog_(CatalogTable()) {
        system_tables_ = SystemTables();
        Place(catalog_, true);
        for (const Table& t : system_tables_) Place(t, true);
        for (const Table& t : db.tables) Place(t, false);
    }

    void Write(const std::filesystem::path& path) {
        for (int i = 0; i < 3; ++i) file_.Allocate();
        ReserveMapRows();
        ReserveDefinitions();
        FillCatalog();
        for (PlacedTable& p : placed_) {
            WriteRows(p);
        }
        for (PlacedTable& p : placed_) WriteMapsAndDefinition(p);
        WriteHeader(file_.Page(0), db_);
        detail::WriteGlobalUsageMap(file_);
        if (db_.database_key != 0) Encode();
        file_.WriteTo(path);
    }

  private:
    void Place(const Table& table, bool system) {
        for (const PlacedTable& p : placed_) {
            if (p.table->name == table.name) {
                throw std::invalid_argument("two tables named " + table.name);
            }
        }
        PlacedTable p;
        p.table = &table;
        p.system = system;
        p.layout = detail::LayOut(table, system);
        placed_.push_back(std::move(p));
    }

    void WriteRows(PlacedTable& p) {
        const Table& t = *p.table;
        p.writer = std::make_unique<detail::RowWriter>(file_, p.layout, p.tdef_pages.front(),
                                                       t.stored_columns);
        for (std::size_t i = 0; i < std::max(t.rows.size(), t.deleted_rows.size()); ++i) {
            if (i < t.rows.size()) {
                const bool moved = t.relocated_rows.count(i) > 0;
                p.writer->Add(t.rows[i],
                              moved ? detail::RowFate::Relocated : detail::RowFate::Live);
            }
            if (i < t.deleted_rows.size())
                p.writer->Add(t.deleted_rows[i], detail::RowFate::Deleted);
        }
        if (!t.relocated_rows.empty() && *t.relocated_rows.rbegin() >= t.rows.size()) {
            throw std::invalid_argument("table " + t.name + " relocates a row it does not have");
        }
        p.writer->Finish();
    }

    void Encode() {
        for (std::uint32_t n = 1; n < file_.Count(); ++n) {
            Bytes key;
            detail::AppendU32(key, db_.database_key ^ n);
            detail::Rc4Xor(key, file_.Page(n).data(), detail::kPageSize);
        }
    }

    static std::size_t MapRowCount(const PlacedTable& p) {
        std::size_t rows = 2;
        for (const auto& c : p.layout.columns) rows += c.long_value ? 2 : 0;
        return rows;
    }

    void ReserveMapRows() {
        std::size_t total = 0;
        for (const PlacedTable& p : placed_) total += MapRowCount(p);
        std::vector<std::uint32_t> map_pages;
        for (std::size_t i = 0; i < (total + kMapRowsPerPage - 1) / kMapRowsPerPage; ++i) {
            map_pages.push_back(file_.Allocate());
            detail::InitDataPage(file_.Page(map_pages.back()), 0);
        }
        std::size_t next = 0;
        for (PlacedTable& p : placed_) {
            for (std::size_t i = MapRowCount(p); i > 0; --i, ++next) {
                p.map_rows.push_back(detail::RowPointer(map_pages[next / kMapRowsPerPage],
                                                        static_cast<int>(next % kMapRowsPerPage)));
            }
        }
    }

    // Definitions take their pages before any row does, so that catalog rows can name them.
    void ReserveDefinitions() {
        for (PlacedTable& p : placed_) {
            detail::DefinitionRefs sizing;
            for (const auto& c : p.layout.columns) {
                if (c.long_value) sizing.long_value_maps.emplace_back(0, 0);
            }
            const std::size_t count =
                detail::DefinitionPageCount(detail::TableDefinition(p.layout, sizing).size());
            for (std::size_t i = 0; i < count; ++i) {
                const bool catalog_start = &p == &placed_.front() && i == 0;
                p.tdef_pages.push_back(catalog_start ? kCatalogPage : file_.Allocate());
            }
        }
    }

    void FillCatalog() {
        const double date = db_.creation_date;
        catalog_.rows = {
            CatalogRow(kTablesId, kRootId, "Tables", kTypeContainer, kSystemFlags, date),
            CatalogRow(kDatabasesId, kRootId, "Databases", kTypeContainer, kSystemFlags, date),
            CatalogRow(kRelationshipsId, kRootId, "Relationships", kTypeContainer, kSystemFlags,
                       date),
            CatalogRow(kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, kSystemFlags, date,
                       detail::PropertyBlob(db_.database_properties, {})),
        };
        for (const PlacedTable& p : placed_) {
            std::vector<std::pair<std::string, std::vector<Property>>> column_properties;
            for (const Column& c : p.table->columns) {
                column_properties.emplace_back(c.name, c.properties);
            }
            catalog_.rows.push_back(
                CatalogRow(p.tdef_pages.front(), kTablesId, p.table->name, kTypeTable,
                           p.system ? kSystemFlags : 0, date,
                           detail::PropertyBlob(p.table->properties, column_properties)));
        }
        catalog_.rows.push_back(
            CatalogRow(INT32_MIN + 7, kDatabasesId, "SummaryInfo", kTypeDatabaseProperty, 0, date));
        catalog_.rows.push_back(CatalogRow(INT32_MIN + 8, kDatabasesId, "UserDefined",
                                           kTypeDatabaseProperty, 0, date,
                                           detail::PropertyBlob(db_.user_defined_properties, {})));
    }

    void WriteMapsAndDefinition(const PlacedTable& p) {
        detail::DefinitionRefs refs;
        refs.row_count = static_cast<std::uint32_t>(p.table->rows.size());
        refs.used_map = p.map_rows[0];
        refs.free_map = p.map_rows[1];
        const bool forced = p.table->usage_map == UsageMapStyle::Reference;
        std::vector<Bytes> rows;
        auto add_maps = [&](const std::vector<std::uint32_t>& pages, bool reference) {
            const std::set<std::uint32_t> used(pages.begin(), pages.end());
            const std::set<std::uint32_t> free = PagesWithFreeSpace(file_, pages);
            for (const auto* set : {&used, &free}) {
                const auto kind = reference ? detail::MapKind::Reference : detail::KindFor(*set);
                rows.push_back(detail::UsageMapRow(*set, kind, file_));
            }
        };
        add_maps(p.writer->DataPages(), forced);
        for (const auto& c : p.layout.columns) {
            if (!c.long_value) continue;
            refs.long_value_maps.emplace_back(p.map_rows[rows.size()], p.map_rows[rows.size() + 1]);
            add_maps(p.writer->LongValuePages(c.number), false);
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int row = detail::AddRow(file_.Page(p.map_rows[i] >> 8), rows[i]);
            if (row != static_cast<int>(p.map_rows[i] & 0xFF)) {
                throw std::logic_error("usage map row landed out of order");
            }
        }
        detail::WriteTableDefinition(file_, p.tdef_pages, detail::TableDefinition(p.layout, refs));
    }

    const Database& db_;
    Table catalog_;
    std::vector<Table> system_tables_;
    std::vector<PlacedTable> placed_;
    detail::PageFile file_;
};

}  // namespace

void Database::Build(const std::filesystem::path& path) const {
    FileWriter(*this).Write(path);
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
