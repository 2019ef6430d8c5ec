#pragma once
// The layout of one Jet version as data: page size, header fields, table-definition, column and row
// offsets. Code that reads structures asks a JetFormat instead of testing the version.

#include <array>
#include <cstddef>
#include <cstdint>

namespace jet {

enum class Version { Jet3, Jet4 };

struct JetFormat {
    Version version;
    std::size_t pageSize;

    // Page 0: the region masked with the fixed RC4 key, and fields inside it.
    std::size_t headerMaskLength;
    std::size_t passwordLength;  // bytes
    bool passwordDateMasked;     // Jet 4 XORs the password with the creation date

    // Data pages.
    std::size_t dataRowCountOffset;  // the row offset table follows it

    // Table definitions (offsets into the concatenated definition).
    std::size_t tdefRowCountOffset;
    std::size_t tdefVarColumnCountOffset;
    std::size_t tdefColumnCountOffset;
    std::size_t tdefIndexCountOffset;
    std::size_t tdefRealIndexCountOffset;
    std::size_t tdefUsageMapOffset;
    std::size_t tdefRealIndexStart;
    std::size_t tdefRealIndexEntrySize;
    std::size_t tdefIndexEntrySize;  // logical index entries, after the column names
    std::size_t columnEntrySize;
    std::size_t columnNumberOffset;
    std::size_t columnVarIndexOffset;
    std::size_t columnFlagsOffset;
    std::size_t columnFixedOffsetOffset;
    std::size_t columnLengthOffset;
    std::size_t columnPrecisionOffset;
    std::size_t columnScaleOffset;
    std::size_t columnNameLengthSize;  // 1 (Jet 3) or 2 (Jet 4) bytes

    // Rows: the column count and variable column count are 1 (Jet 3) or 2 (Jet 4) bytes.
    std::size_t rowCountSize;

    // Text is UCS-2 (Jet 4) or single-byte in the database code page (Jet 3).
    bool unicodeText;

    // The database header (page 0): where its fields lie, and the bytes one character of plain
    // text takes (the password is never stored in Jet 4's compressed form).
    std::size_t headerCodePageOffset;
    std::size_t headerDatabaseKeyOffset;
    std::size_t headerPasswordOffset;
    std::size_t headerCreationDateOffset;  // read only where the password is date-masked
    std::size_t textCharSize;

    // The table definition beyond its columns, and the Boolean column its edit appends.
    std::size_t tdefMaxColumnsOffset;        // columns ever made: the next column's number
    std::size_t tdefRealIndexBlockSize;      // per real index, after the column names
    std::size_t tdefRealIndexColumnsOffset;  // its ten (column, order) places, inside that block
    bool tdefPageStoresFreeSpace;            // else the first page's tag stays at that place
    std::size_t columnSecondNumberOffset;    // the column number stored once more
    std::size_t columnSecondNumberBias;      // what Access adds to it in a table of this version
    std::size_t columnSortOrderOffset;
    std::size_t columnCodePageOffset;
    bool columnStoresCodePage;  // else that place holds zero

    // Property blobs: the signature that opens every blob of this version.
    std::array<std::uint8_t, 4> propertyBlobSignature;

    // Stored rows: each variable column's offset is `rowOffsetSize` bytes; where a row is longer
    // than such an offset reaches, a jump table records each wrap.
    std::size_t rowOffsetSize;
};

const JetFormat& jet3Format();
const JetFormat& jet4Format();

inline constexpr std::uint8_t kPageTypeDatabase = 0x00;
inline constexpr std::uint8_t kPageTypeData = 0x01;
inline constexpr std::uint8_t kPageTypeTableDefinition = 0x02;
inline constexpr std::uint8_t kPageTypeUsageBitmap = 0x05;

}  // namespace jet
