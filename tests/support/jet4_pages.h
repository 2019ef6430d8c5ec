// The pages of a Jet 4 file under construction, held in memory, and the three page-level
// structures the builder fills: data/LVAL pages with their row offset table, and usage maps.
// Internal to the fixture builder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <vector>

#include "tests/support/jet4_encoding.h"

namespace fixture::detail {

inline constexpr std::size_t kPageSize = 4096;
inline constexpr std::uint8_t kPageTypeData = 0x01;
inline constexpr std::uint8_t kPageTypeTableDefinition = 0x02;
inline constexpr std::uint8_t kPageTypeUsageBitmap = 0x05;
// Where a data page's row count sits; the row offset table follows it.
inline constexpr std::size_t kRowCountOffset = 12;
inline constexpr std::size_t kDataPageHeaderSize = 14;
// Row numbers are one byte in every row pointer.
inline constexpr int kMaxRowsPerPage = 255;
// An LVAL page carries the word "LVAL" where a data page names its table definition page.
inline constexpr std::uint32_t kLvalOwner = 0x4C41564C;

class PageFile {
  public:
    // A new zero-filled page at the end of the file; returns its number.
    std::uint32_t Allocate();
    Bytes& Page(std::uint32_t number) { return pages_.at(number); }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(pages_.size()); }
    void WriteTo(const std::filesystem::path& path) const;

  private:
    std::vector<Bytes> pages_;
};

// Jet's page/row address: the row number in the low byte, the page number above it.
inline std::uint32_t RowPointer(std::uint32_t page, int row) {
    return (page << 8) | static_cast<std::uint32_t>(row);
}

void InitDataPage(Bytes& page, std::uint32_t owner);
// Places a row below the existing ones; returns its row number, or -1 when it does not fit.
int AddRow(Bytes& page, const Bytes& row);
// Where row `row` of a data page starts (its bytes may be patched after placement).
std::size_t RowStart(const Bytes& page, int row);

// Fills pages of one owner (a table's TDEF page, or kLvalOwner) with rows, taking new pages at
// the end of the file as each one fills.
class RowPacker {
  public:
    RowPacker(PageFile& file, std::uint32_t owner) : file_(file), owner_(owner) {}
    std::uint32_t Add(const Bytes& row);  // returns the row pointer
    // The next row goes to a fresh page whatever room the current one has left.
    void StartNewPage() { fresh_page_ = true; }
    const std::vector<std::uint32_t>& Pages() const { return pages_; }

  private:
    PageFile& file_;
    std::uint32_t owner_;
    std::vector<std::uint32_t> pages_;
    bool fresh_page_ = false;
};

enum class MapKind { Inline, Reference };
inline constexpr std::size_t kUsageMapRowSize = 69;  // type byte + 68 bytes of map
inline constexpr std::uint32_t kInlineMapPages = 64 * 8;
inline constexpr std::uint32_t kBitmapPagePages = (kPageSize - 4) * 8;

// A usage map row over `pages`. The reference kind takes its bitmap pages at the end of the file.
Bytes UsageMapRow(const std::set<std::uint32_t>& pages, MapKind kind, PageFile& file);

// Chooses Inline when the pages fit one inline map window.
MapKind KindFor(const std::set<std::uint32_t>& pages);

// Writes page 1: row 0 is the global usage map (a set bit is a free page; every page of the file
// is in use and every page past its end counts as free), row 1 an empty map as Access leaves it.
void WriteGlobalUsageMap(PageFile& file);

}  // namespace fixture::detail
