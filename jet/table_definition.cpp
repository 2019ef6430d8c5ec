#include "jet/table_definition.h"

#include <algorithm>
#include <set>

#include "jet/byte_reader.h"
#include "jet/page_batch.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::size_t kFreeSpaceOffset = 2;
constexpr std::size_t kNextPageOffset = 4;
constexpr std::size_t kLengthOffset = 8;
constexpr std::size_t kContinuationHeader = 8;
constexpr std::size_t kMaxColumns = 255;
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::size_t kIndexColumns = 10;
// A long-value column's map entry: column number, owned-pages and free-pages map rows.
constexpr std::size_t kColumnMapEntrySize = 10;
// Flags of a Boolean column as Access writes them: fixed length, updatable.
constexpr std::uint8_t kBooleanFlags = 0x03;
// Sort order General, which Access gives every Boolean it makes.
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

std::vector<std::uint8_t> concatenatePages(PageChannel& pages, std::uint32_t firstPage) {
    std::vector<std::uint8_t> bytes;
    std::set<std::uint32_t> seen;
    std::uint32_t number = firstPage;
    while (number != 0) {
        if (!seen.insert(number).second) throw corrupt("a table definition's page chain loops");
        if (seen.size() > TableDefinition::kMaxPages)
            throw corrupt("a table definition is too long");
        const Page page = pages.page(number);
        if ((*page)[0] != kPageTypeTableDefinition) {
            throw corrupt("page " + std::to_string(number) + " is not a table definition");
        }
        const auto from =
            page->begin() + static_cast<std::ptrdiff_t>(bytes.empty() ? 0 : kContinuationHeader);
        bytes.insert(bytes.end(), from, page->end());
        number = ByteReader(*page).u32(kNextPageOffset);
    }
    return bytes;
}

std::size_t nameLength(const ByteReader& reader, std::size_t at, const JetFormat& format) {
    return format.columnNameLengthSize == 1 ? reader.u8(at) : reader.u16(at);
}

Column decodeColumn(const ByteReader& entry, const JetFormat& format) {
    Column column;
    column.type = entry.u8(0);
    column.number = entry.u16(format.columnNumberOffset);
    column.varIndex = entry.u16(format.columnVarIndexOffset);
    column.flags = entry.u8(format.columnFlagsOffset);
    column.fixedOffset = entry.u16(format.columnFixedOffsetOffset);
    column.length = entry.u16(format.columnLengthOffset);
    column.precision = entry.u8(format.columnPrecisionOffset);
    column.scale = entry.u8(format.columnScaleOffset);
    return column;
}

}  // namespace

TableDefinition TableDefinition::read(PageChannel& pages, std::uint32_t firstPage, int codePage) {
    const JetFormat& format = pages.format();
    TableDefinition def;
    def.format_ = &format;
    def.firstPage_ = firstPage;
    def.bytes_ = concatenatePages(pages, firstPage);
    const ByteReader reader(def.bytes_);

    def.rowCount_ = reader.u32(format.tdefRowCountOffset);
    def.variableColumnCount_ = reader.u16(format.tdefVarColumnCountOffset);
    const std::size_t columnCount = reader.u16(format.tdefColumnCountOffset);
    def.realIndexCount_ = reader.u32(format.tdefRealIndexCountOffset);
    def.usageMap_ = RowPointer::fromPacked(reader.u32(format.tdefUsageMapOffset));
    if (def.realIndexCount_ > def.bytes_.size() / format.tdefRealIndexEntrySize) {
        throw corrupt("a table definition claims more indexes than it holds");
    }

    std::size_t entry = def.columnStart();
    std::size_t nameAt = entry + columnCount * format.columnEntrySize;
    def.columns_.reserve(
        std::min<std::size_t>(columnCount, def.bytes_.size() / format.columnEntrySize));
    for (std::size_t i = 0; i < columnCount; ++i, entry += format.columnEntrySize) {
        Column column = decodeColumn(reader.sub(entry, format.columnEntrySize), format);
        const std::size_t length = nameLength(reader, nameAt, format);
        nameAt += format.columnNameLengthSize;
        column.name = decodeText(reader.slice(nameAt, length), format, codePage);
        nameAt += length;
        def.columns_.push_back(std::move(column));
    }
    std::stable_sort(def.columns_.begin(), def.columns_.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });

    try {
        def.tail_.emplace();
        def.tail_->namesEnd = nameAt;
        def.readTail(format);
    } catch (const JetError& error) {
        def.tail_.reset();
        def.tailError_ = error;
    }
    return def;
}

void TableDefinition::readTail(const JetFormat& format) {
    const ByteReader reader(bytes_);
    Tail& tail = *tail_;
    const std::size_t length = reader.u32(kLengthOffset);
    if (length < format.tdefRealIndexStart || length > bytes_.size())
        throw corrupt("a table definition's length is out of bounds");
    tail.maxColumns = reader.u16(format.tdefMaxColumnsOffset);
    if (realIndexCount_ > length / format.tdefRealIndexEntrySize || columns_.size() > kMaxColumns)
        throw corrupt("a table definition's counts are out of bounds");
    // Where the definition really ends: after the indexes, their names and the list of long-value
    // column maps closed by 0xFFFF. Access states that end in the length field; keep whatever it
    // counts beyond, but never cut the structure short for a length that says less.
    const std::size_t logicalIndexes = reader.u32(format.tdefIndexCountOffset);
    if (logicalIndexes > bytes_.size() / format.tdefIndexEntrySize)
        throw corrupt("a table definition claims more indexes than it holds");
    // Each real index names up to ten columns (number, order); 0xFFFF marks an unused place.
    for (std::size_t i = 0; i < realIndexCount_; ++i) {
        const std::size_t block =
            tail.namesEnd + i * format.tdefRealIndexBlockSize + format.tdefRealIndexColumnsOffset;
        for (std::size_t k = 0; k < kIndexColumns; ++k) {
            const std::uint16_t column = reader.u16(block + 3 * k);
            if (column != kNoColumn) tail.indexedColumns.push_back(column);
        }
    }
    std::size_t at = tail.namesEnd + realIndexCount_ * format.tdefRealIndexBlockSize +
                     logicalIndexes * format.tdefIndexEntrySize;
    for (std::size_t i = 0; i < logicalIndexes; ++i) {
        const std::size_t length = nameLength(reader, at, format);
        at += format.columnNameLengthSize;
        reader.slice(at, length);
        at += length;
    }
    while (reader.u16(at) != kNoColumn) {
        const ByteReader entry = reader.sub(at, kColumnMapEntrySize);
        // Page 0 holds no maps: such a column has never had its maps made.
        const RowPointer owned = RowPointer::fromPacked(entry.u32(2));
        const RowPointer free = RowPointer::fromPacked(entry.u32(6));
        if (owned.page != 0 && free.page != 0) tail.longValueMaps[entry.u16(0)] = {owned, free};
        at += kColumnMapEntrySize;
    }
    at += 2;
    // The largest column number in use must stay below the count of columns ever made.
    for (const Column& column : columns_) {
        if (column.number >= tail.maxColumns)
            throw corrupt("a column number beyond the table's maximum");
    }
    bytes_.resize(std::max(at, length));
}

const TableDefinition::Tail& TableDefinition::tail() const {
    if (tailError_) throw *tailError_;
    return *tail_;
}

std::size_t TableDefinition::columnStart() const {
    return format_->tdefRealIndexStart + realIndexCount_ * format_->tdefRealIndexEntrySize;
}

int TableDefinition::columnIndex(std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

std::size_t TableDefinition::maxColumns() const {
    return tail().maxColumns;
}

bool TableDefinition::isIndexed(std::size_t number) const {
    const auto& columns = tail().indexedColumns;
    return std::find(columns.begin(), columns.end(), number) != columns.end();
}

const std::map<std::size_t, TableDefinition::LongValueMaps>& TableDefinition::longValueMaps()
    const {
    return tail().longValueMaps;
}

void TableDefinition::addBooleanColumn(std::string_view name, int codePage) {
    const JetFormat& format = *format_;
    const Bytes encodedName = encodeText(name, format);
    const Tail& current = tail();
    if (columns_.size() >= kMaxColumns || current.maxColumns >= 0xFFFF) throw tooManyFields();

    // The variable-table slot Access gives a fixed column: the next free one.
    std::size_t nextVar = 0;
    for (const Column& column : columns_) {
        if (!column.isFixed())
            nextVar = std::max<std::size_t>(nextVar, column.varIndex + std::size_t{1});
    }
    const std::size_t number = current.maxColumns;
    const std::size_t entrySize = format.columnEntrySize;
    const std::size_t count = columns_.size();

    // Start from the last column's entry so that what we do not set (the four bytes after the
    // type in Jet 4) is what Access wrote for this table.
    Bytes entry(entrySize, 0);
    if (count > 0) {
        const auto last =
            ByteReader(bytes_).slice(columnStart() + (count - 1) * entrySize, entrySize);
        std::copy(last.begin(), last.end(), entry.begin());
    }
    // Access stores the column number a second time, in Jet 4 plus one: keep the table's own habit.
    const std::size_t lastNumber = count > 0 ? ByteReader(entry).u16(format.columnNumberOffset) : 0;
    const std::size_t secondDelta =
        count > 0 ? ByteReader(entry).u16(format.columnSecondNumberOffset) - lastNumber
                  : format.columnSecondNumberBias;
    entry[0] = static_cast<std::uint8_t>(ColumnType::Boolean);
    putU16(entry, format.columnNumberOffset, static_cast<std::uint32_t>(number));
    putU16(entry, format.columnVarIndexOffset, static_cast<std::uint32_t>(nextVar));
    putU16(entry, format.columnSecondNumberOffset,
           static_cast<std::uint32_t>(number + (secondDelta <= 1 ? secondDelta : 0)));
    putU16(entry, format.columnSortOrderOffset, kGeneralSortOrder);
    putU16(entry, format.columnCodePageOffset,
           format.columnStoresCodePage ? static_cast<std::uint32_t>(codePage) : 0);
    // Jet 4's second flag byte (compressed text among them) and the bytes up to the fixed offset
    // are clear in a Boolean's entry.
    std::fill(entry.begin() + static_cast<std::ptrdiff_t>(format.columnFlagsOffset + 1),
              entry.begin() + static_cast<std::ptrdiff_t>(format.columnFixedOffsetOffset), 0);
    entry[format.columnFlagsOffset] = kBooleanFlags;
    putU16(entry, format.columnFixedOffsetOffset, 0);  // a Boolean lives in the null mask
    putU16(entry, format.columnLengthOffset, 1);

    Bytes storedName;
    if (format.columnNameLengthSize == 1 && encodedName.size() > 0xFF)
        throw invalidArgument("a column name too long");
    appendLittleEndian(storedName, static_cast<std::uint32_t>(encodedName.size()),
                       format.columnNameLengthSize);
    storedName.insert(storedName.end(), encodedName.begin(), encodedName.end());

    Column column = decodeColumn(ByteReader(entry), format);
    column.name = std::string(name);
    const std::size_t entryAt = columnStart() + count * entrySize;
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(tail_->namesEnd), storedName.begin(),
                  storedName.end());
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(entryAt), entry.begin(),
                  entry.end());
    tail_->namesEnd += entrySize + storedName.size();
    ++tail_->maxColumns;
    columns_.push_back(std::move(column));
    putU16(bytes_, format.tdefMaxColumnsOffset, static_cast<std::uint32_t>(tail_->maxColumns));
    putU16(bytes_, format.tdefColumnCountOffset, static_cast<std::uint32_t>(columns_.size()));
    putU32(bytes_, kLengthOffset, static_cast<std::uint32_t>(bytes_.size()));
}

void TableDefinition::write(PageBatch& batch) const {
    tail();
    const JetFormat& format = *format_;
    const std::size_t pageSize = format.pageSize;

    // Cut: the first page holds pageSize bytes, each continuation pageSize - 8 after its header.
    std::vector<std::pair<std::size_t, std::size_t>> pieces;  // [from, to) of bytes_
    pieces.emplace_back(0, std::min(bytes_.size(), pageSize));
    while (pieces.back().second < bytes_.size()) {
        const std::size_t from = pieces.back().second;
        pieces.emplace_back(from, std::min(bytes_.size(), from + pageSize - kContinuationHeader));
    }
    std::vector<std::uint32_t> numbers{firstPage_};
    for (std::size_t i = 1; i < pieces.size(); ++i) numbers.push_back(batch.append());

    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::vector<std::uint8_t> page(pageSize, 0);
        const std::size_t header = i == 0 ? 0 : kContinuationHeader;
        std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(pieces[i].first),
                  bytes_.begin() + static_cast<std::ptrdiff_t>(pieces[i].second),
                  page.begin() + static_cast<std::ptrdiff_t>(header));
        page[0] = kPageTypeTableDefinition;
        page[1] = 0x01;
        const std::size_t used = header + (pieces[i].second - pieces[i].first);
        if (format.tdefPageStoresFreeSpace) {
            // Jet 4 keeps the page's free space there, less 8.
            putU16(page, kFreeSpaceOffset,
                   static_cast<std::uint32_t>(pageSize - used >= 8 ? pageSize - used - 8 : 0));
        } else {
            page[kFreeSpaceOffset] = bytes_[kFreeSpaceOffset];
            page[kFreeSpaceOffset + 1] = bytes_[kFreeSpaceOffset + 1];
        }
        putU32(page, kNextPageOffset,
               static_cast<std::uint32_t>(i + 1 < numbers.size() ? numbers[i + 1] : 0));
        const auto stage = i == 0 ? PageBatch::Stage::Definition : PageBatch::Stage::NewPage;
        batch.edit(numbers[i], stage) = std::move(page);
    }
}

}  // namespace jet
