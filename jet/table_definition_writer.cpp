#include "jet/table_definition_writer.h"

#include <algorithm>
#include <array>
#include <set>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/table_definition.h"

namespace jet {

namespace {

constexpr std::size_t kFreeSpaceOffset = 2;
constexpr std::size_t kNextPageOffset = 4;
constexpr std::size_t kLengthOffset = 8;
constexpr std::size_t kPageHeader = 8;  // what each continuation page starts with
constexpr std::size_t kMaxColumns = 255;
constexpr std::uint8_t kBooleanType = 0x01;
// Flags of a Boolean column as Access writes them: fixed length, updatable.
constexpr std::uint8_t kBooleanFlags = 0x03;
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::size_t kIndexColumns = 10;
// A long-value column's map entry: column number, owned-pages and free-pages map rows.
constexpr std::size_t kColumnMapEntrySize = 10;

// Per real index, after the column names: the index's columns and maps (Jet 4 adds 4 bytes in
// front and 9 after).
std::size_t realIndexBlockSize(const JetFormat& format) {
    return format.version == Version::Jet4 ? 52 : 39;
}

void setU16(std::span<std::uint8_t> bytes, std::size_t at, std::size_t value) {
    if (at + 2 > bytes.size()) throw corrupt("a write out of bounds");
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

TableDefinitionBytes TableDefinitionBytes::read(PageBatch& batch, std::uint32_t firstPage) {
    const JetFormat& format = batch.format();
    Bytes all;
    std::set<std::uint32_t> seen;
    for (std::uint32_t number = firstPage; number != 0;) {
        if (!seen.insert(number).second || seen.size() > TableDefinition::kMaxPages)
            throw corrupt("a table definition's page chain loops");
        const auto page = batch.view(number);
        if (page[0] != kPageTypeTableDefinition)
            throw corrupt("a table definition's chain leaves its pages");
        all.insert(all.end(),
                   page.begin() + static_cast<std::ptrdiff_t>(all.empty() ? 0 : kPageHeader),
                   page.end());
        number = ByteReader(page).u32(kNextPageOffset);
    }
    const ByteReader reader(all);
    TableDefinitionBytes def;
    def.firstPage_ = firstPage;
    def.format_ = &format;
    const std::size_t length = reader.u32(kLengthOffset);
    if (length < format.tdefRealIndexStart || length > all.size())
        throw corrupt("a table definition's length is out of bounds");
    def.maxColumns_ = reader.u16(format.tdefColumnCountOffset - 4);
    def.varColumnCount_ = reader.u16(format.tdefVarColumnCountOffset);
    def.columnCount_ = reader.u16(format.tdefColumnCountOffset);
    def.realIndexCount_ = reader.u32(format.tdefRealIndexCountOffset);
    if (def.realIndexCount_ > length / format.tdefRealIndexEntrySize ||
        def.columnCount_ > kMaxColumns)
        throw corrupt("a table definition's counts are out of bounds");
    auto skipNames = [&](std::size_t at, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t nameLength =
                format.columnNameLengthSize == 1 ? reader.u8(at) : reader.u16(at);
            at += format.columnNameLengthSize;
            reader.slice(at, nameLength);
            at += nameLength;
        }
        return at;
    };
    def.namesEnd_ =
        skipNames(def.columnStart() + def.columnCount_ * format.columnEntrySize, def.columnCount_);
    // Where the definition really ends: after the indexes, their names and the list of long-value
    // column maps closed by 0xFFFF. Access states that end in the length field; keep whatever it
    // counts beyond, but never cut the structure short for a length that says less.
    const std::size_t logicalIndexes = reader.u32(format.tdefIndexCountOffset);
    if (logicalIndexes > all.size() / format.tdefIndexEntrySize)
        throw corrupt("a table definition claims more indexes than it holds");
    // Each real index names up to ten columns (number, order); 0xFFFF marks an unused place.
    const std::size_t indexColumnsAt = format.version == Version::Jet4 ? 4 : 0;
    for (std::size_t i = 0; i < def.realIndexCount_; ++i) {
        const std::size_t block = def.namesEnd_ + i * realIndexBlockSize(format) + indexColumnsAt;
        for (std::size_t k = 0; k < kIndexColumns; ++k) {
            const std::uint16_t column = reader.u16(block + 3 * k);
            if (column != kNoColumn) def.indexedColumns_.insert(column);
        }
    }
    std::size_t at = def.namesEnd_ + def.realIndexCount_ * realIndexBlockSize(format) +
                     logicalIndexes * format.tdefIndexEntrySize;
    at = skipNames(at, logicalIndexes);
    while (reader.u16(at) != kNoColumn) {
        const ByteReader entry = reader.sub(at, kColumnMapEntrySize);
        // Page 0 holds no maps: such a column has never had its maps made.
        const RowPointer owned = RowPointer::fromPacked(entry.u32(2));
        const RowPointer free = RowPointer::fromPacked(entry.u32(6));
        if (owned.page != 0 && free.page != 0) def.longValueMaps_[entry.u16(0)] = {owned, free};
        at += kColumnMapEntrySize;
    }
    at += 2;
    all.resize(std::max(at, length));
    def.bytes_ = std::move(all);
    // The largest column number in use must stay below the count of columns ever made.
    for (std::size_t i = 0; i < def.columnCount_; ++i) {
        const std::size_t number =
            reader.u16(def.columnStart() + i * format.columnEntrySize + format.columnNumberOffset);
        if (number >= def.maxColumns_) throw corrupt("a column number beyond the table's maximum");
    }
    return def;
}

std::size_t TableDefinitionBytes::columnStart() const {
    return format_->tdefRealIndexStart + realIndexCount_ * format_->tdefRealIndexEntrySize;
}

void TableDefinitionBytes::addBooleanColumn(std::span<const std::uint8_t> encodedName,
                                            int codePage) {
    const JetFormat& format = *format_;
    if (columnCount_ >= kMaxColumns || maxColumns_ >= 0xFFFF) throw tooManyFields();
    const std::size_t entrySize = format.columnEntrySize;
    const ByteReader reader(bytes_);

    // The variable-table slot Access gives a fixed column: the next free one.
    std::size_t nextVar = 0;
    for (std::size_t i = 0; i < columnCount_; ++i) {
        const ByteReader col = reader.sub(columnStart() + i * entrySize, entrySize);
        if ((col.u8(format.columnFlagsOffset) & 0x01) == 0)
            nextVar = std::max<std::size_t>(nextVar, col.u16(format.columnVarIndexOffset) + 1u);
    }
    const std::size_t number = maxColumns_;

    // Start from the last column's entry so that what we do not set (the table's magic number in
    // Jet 4, sort order and code page) is what Access wrote for this table.
    Bytes entry(entrySize, 0);
    if (columnCount_ > 0) {
        const auto last = reader.slice(columnStart() + (columnCount_ - 1) * entrySize, entrySize);
        std::copy(last.begin(), last.end(), entry.begin());
    }
    const std::size_t lastNumber =
        columnCount_ > 0 ? ByteReader(entry).u16(format.columnNumberOffset) : 0;
    // The column number is stored a second time right after the variable slot; Jet 4 files from
    // Access store it there plus one, Jet 3 files as is: keep the table's own habit.
    const std::size_t secondAt = format.columnVarIndexOffset + 2;
    const std::size_t secondDelta = columnCount_ > 0 ? ByteReader(entry).u16(secondAt) - lastNumber
                                                     : (format.version == Version::Jet4 ? 1 : 0);
    entry[0] = kBooleanType;
    setU16(entry, format.columnNumberOffset, number);
    setU16(entry, format.columnVarIndexOffset, nextVar);
    setU16(entry, secondAt, number + (secondDelta <= 1 ? secondDelta : 0));
    if (format.version == Version::Jet4) {
        // Sort order 0x409 (General) and no precision, as Access writes for a Boolean.
        entry[11] = 0x09;
        entry[12] = 0x04;
        entry[13] = 0;
        entry[14] = 0;
        entry[16] = 0;  // no compressed-unicode flag
        std::fill(entry.begin() + 17, entry.begin() + 21, 0);
    } else {
        // Sort order 0x409 and the database's code page, as in Access 97's Boolean entries.
        entry[9] = 0x09;
        entry[10] = 0x04;
        setU16(entry, 11, static_cast<std::size_t>(codePage));
    }
    entry[format.columnFlagsOffset] = kBooleanFlags;
    setU16(entry, format.columnFixedOffsetOffset, 0);  // a Boolean lives in the null mask
    setU16(entry, format.columnLengthOffset, 1);

    Bytes name;
    if (format.columnNameLengthSize == 1) {
        if (encodedName.size() > 0xFF) throw invalidArgument("a column name too long");
        name.push_back(static_cast<std::uint8_t>(encodedName.size()));
    } else {
        name.push_back(static_cast<std::uint8_t>(encodedName.size()));
        name.push_back(static_cast<std::uint8_t>(encodedName.size() >> 8));
    }
    name.insert(name.end(), encodedName.begin(), encodedName.end());

    const std::size_t entryAt = columnStart() + columnCount_ * entrySize;
    const std::size_t nameAt = namesEnd_;
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(nameAt), name.begin(), name.end());
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(entryAt), entry.begin(),
                  entry.end());
    namesEnd_ += entrySize + name.size();
    ++columnCount_;
    ++maxColumns_;
    setU16(bytes_, format.tdefColumnCountOffset - 4, maxColumns_);
    setU16(bytes_, format.tdefColumnCountOffset, columnCount_);
    putU32(bytes_, kLengthOffset, static_cast<std::uint32_t>(bytes_.size()));
}

void TableDefinitionBytes::write(PageBatch& batch) const {
    const JetFormat& format = *format_;
    const std::size_t pageSize = format.pageSize;
    const auto first = batch.view(firstPage_);
    const std::array<std::uint8_t, 2> tag{first[kFreeSpaceOffset], first[kFreeSpaceOffset + 1]};

    // Cut: the first page holds pageSize bytes, each continuation pageSize - 8 after its header.
    std::vector<std::pair<std::size_t, std::size_t>> pieces;  // [from, to) of bytes_
    pieces.emplace_back(0, std::min(bytes_.size(), pageSize));
    while (pieces.back().second < bytes_.size()) {
        const std::size_t from = pieces.back().second;
        pieces.emplace_back(from, std::min(bytes_.size(), from + pageSize - kPageHeader));
    }
    std::vector<std::uint32_t> numbers{firstPage_};
    for (std::size_t i = 1; i < pieces.size(); ++i) numbers.push_back(batch.append());

    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::vector<std::uint8_t> page(pageSize, 0);
        const std::size_t header = i == 0 ? 0 : kPageHeader;
        std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(pieces[i].first),
                  bytes_.begin() + static_cast<std::ptrdiff_t>(pieces[i].second),
                  page.begin() + static_cast<std::ptrdiff_t>(header));
        page[0] = kPageTypeTableDefinition;
        page[1] = 0x01;
        const std::size_t used = header + (pieces[i].second - pieces[i].first);
        if (format.version == Version::Jet4) {
            // Jet 4 keeps the page's free space, less 8, where Jet 3 keeps the tag "VC".
            setU16(page, kFreeSpaceOffset, pageSize - used >= 8 ? pageSize - used - 8 : 0);
        } else {
            page[kFreeSpaceOffset] = tag[0];
            page[kFreeSpaceOffset + 1] = tag[1];
        }
        putU32(page, kNextPageOffset, i + 1 < numbers.size() ? numbers[i + 1] : 0);
        const auto stage = i == 0 ? PageBatch::Stage::Definition : PageBatch::Stage::NewPage;
        batch.edit(numbers[i], stage) = std::move(page);
    }
}

}  // namespace jet
