#include "jet/database.h"

#include <algorithm>

#include "jet/database_core.h"
#include "jet/file_io.h"
#include "jet/row_reader.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::string> passwordFromConnect(std::string_view connect) {
    while (!connect.empty()) {
        const std::size_t end = connect.find(';');
        const std::string_view item = connect.substr(0, end);
        const std::size_t equals = item.find('=');
        if (equals != std::string_view::npos &&
            equalsIgnoringAsciiCase(trimBlanks(item.substr(0, equals)), "pwd")) {
            return std::string(item.substr(equals + 1));
        }
        if (end == std::string_view::npos) break;
        connect.remove_prefix(end + 1);
    }
    return std::nullopt;
}

Database::Database(std::shared_ptr<DatabaseCore> core) : core_(std::move(core)) {}

Database::~Database() {
    Close();
}

std::unique_ptr<Database> Database::Open(const std::string& path, const OpenOptions& options) {
    return Open(path, options, FileWrapper{});
}

std::unique_ptr<Database> Database::Open(const std::string& path, const OpenOptions& options,
                                         const FileWrapper& wrap) {
    std::unique_ptr<FileIo> file =
        openFile(path, {.readOnly = options.readOnly, .exclusive = options.exclusive});
    if (wrap) file = wrap(std::move(file));
    return Open(std::move(file), path, options);
}

std::unique_ptr<Database> Database::Open(std::unique_ptr<FileIo> file, const std::string& path,
                                         const OpenOptions& options) {
    auto core = std::make_shared<DatabaseCore>();
    core->path = path;
    core->options = options;
    if (file->size() < Header::kProbeLength) throw unrecognizedFormat(path);
    std::vector<std::uint8_t> probe(Header::kProbeLength);
    file->readAt(0, probe);
    core->header = Header::parse(probe, path);
    const JetFormat& format = core->header.format();
    if (file->size() < format.pageSize * (Catalog::kCatalogPage + 1))
        throw unrecognizedFormat(path);
    // A file cut short ends inside a page: whatever lay beyond is lost, and a write would put
    // its new pages over the partial one.
    if (file->size() % format.pageSize != 0)
        throw corrupt("the file's size is not a whole number of pages");

    if (core->header.hasPassword()) {
        const std::string given = passwordFromConnect(options.connect).value_or("");
        if (!core->header.passwordMatches(given)) throw notAValidPassword();
    }
    core->pages = std::make_unique<PageChannel>(std::move(file), format, core->header.databaseKey(),
                                                !options.deferSync);
    core->catalog = Catalog::read(*core->pages, core->header.codePage());
    // Every table's definition is read once here: a few pages per table whatever the file's size,
    // and a catalog or definition that points outside the file is refused before anyone reads or
    // writes through it. Rows and long values are left to the operations that use them and to
    // check().
    for (const CatalogEntry& entry : core->catalog.entries()) {
        if (!entry.isTable()) continue;
        if (entry.tablePage() >= core->pages->pageCount())
            throw corrupt("the catalog names table '" + entry.name +
                          "' beyond the end of the file");
        const TableDefinition def =
            TableDefinition::read(*core->pages, entry.tablePage(), core->header.codePage());
        if (def.usageMap().page >= core->pages->pageCount())
            throw corrupt("the usage map of table '" + entry.name +
                          "' lies beyond the end of the file");
    }
    return std::unique_ptr<Database>(new Database(std::move(core)));
}

void Database::Close() {
    if (core_ && core_->pages) core_->pages->close();
}

Version Database::format() const {
    return core_->header.format().version;
}
int Database::codePage() const {
    return core_->header.codePage();
}
std::uint32_t Database::databaseKey() const {
    return core_->header.databaseKey();
}
std::string Database::password() const {
    return core_->header.password();
}

void Database::NewPassword(std::string_view oldPassword, std::string_view newPassword) {
    PageChannel& pages = core_->channel();
    if (core_->options.readOnly) throw readOnlyDatabase();
    if (!core_->options.exclusive) throw sharedPasswordChange();
    if (!core_->header.passwordMatches(oldPassword)) throw notAValidPassword();
    // The header bytes are all this writes, but a protected damaged file would be harder to
    // recover: the catalog and its properties must read.
    if (const auto problems = check(CheckScope::Written); !problems.empty())
        throw checkedCorrupt(problems.front());
    const std::vector<std::uint8_t> field = core_->header.encodePasswordField(newPassword);
    pages.writeHeaderBytes(core_->header.passwordOffset(), field);
    pages.flush();
    core_->header.adoptPasswordField(field);
}

std::vector<std::string> Database::tableNames() const {
    core_->channel();
    std::vector<std::string> names;
    for (const CatalogEntry& entry : core_->catalog.entries()) {
        if (entry.isTable() && !entry.isSystem()) names.push_back(entry.name);
    }
    return names;
}

Table Database::OpenTable(std::string_view name) const {
    PageChannel& pages = core_->channel();
    const CatalogEntry* entry = core_->catalog.findTable(name);
    if (!entry) throw itemNotFound();
    auto definition = std::make_shared<const TableDefinition>(
        TableDefinition::read(pages, entry->tablePage(), core_->header.codePage()));
    return Table(core_, std::move(definition), entry->name, entry->id);
}

std::optional<PropertyBlob> Database::customProperties() const {
    PageChannel& pages = core_->channel();
    const CatalogEntry* object = core_->customPropertiesObject();
    if (!object) return std::nullopt;
    return Catalog::properties(pages, core_->header.codePage(), object->id);
}

Table::Table(std::shared_ptr<DatabaseCore> core, std::shared_ptr<const TableDefinition> definition,
             std::string name, std::uint32_t catalogId)
    : core_(std::move(core)),
      definition_(std::move(definition)),
      name_(std::move(name)),
      catalogId_(catalogId) {}

const std::string& Table::name() const {
    return name_;
}
const std::vector<Column>& Table::columns() const {
    return definition_->columns();
}

std::vector<std::string> Table::columnNames() const {
    std::vector<std::string> names;
    for (const Column& column : definition_->columns()) names.push_back(column.name);
    return names;
}

std::optional<PropertyBlob> Table::properties() const {
    PageChannel& pages = core_->channel();
    return Catalog::properties(pages, core_->header.codePage(), catalogId_);
}

struct RowCursor::State {
    std::shared_ptr<DatabaseCore> core;
    std::shared_ptr<const TableDefinition> definition;
    TableScan scan;
    bool current = false;

    State(std::shared_ptr<DatabaseCore> c, std::shared_ptr<const TableDefinition> d)
        : core(std::move(c)), definition(std::move(d)), scan(core->channel(), *definition) {}
};

RowCursor Table::rows() const {
    return RowCursor(std::make_unique<RowCursor::State>(core_, definition_));
}

RowCursor::RowCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
RowCursor::~RowCursor() = default;
RowCursor::RowCursor(RowCursor&&) noexcept = default;
RowCursor& RowCursor::operator=(RowCursor&&) noexcept = default;

bool RowCursor::moveNext() {
    state_->core->channel();
    state_->current = state_->scan.next();
    return state_->current;
}

Value RowCursor::valueAt(std::size_t columnIndex) const {
    PageChannel& pages = state_->core->channel();
    const auto& columns = state_->definition->columns();
    if (columnIndex >= columns.size()) throw itemNotFound();
    if (!state_->current) throw noCurrentRecord();
    const RowReader row(pages, state_->scan.row(), state_->definition->variableColumnCount(),
                        state_->core->header.codePage());
    return row.read(columns[columnIndex]);
}

RowId RowCursor::rowId() const {
    state_->core->channel();
    if (!state_->current) throw noCurrentRecord();
    return {state_->scan.rowPage(), state_->scan.rowIndex()};
}

Value RowCursor::value(std::string_view column) const {
    const int index = state_->definition->columnIndex(column);
    if (index < 0) throw itemNotFound();
    return valueAt(static_cast<std::size_t>(index));
}

}  // namespace jet
