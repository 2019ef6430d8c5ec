#pragma once
// Pages of one database file: page n lives at n * pageSize, and in an encoded database (key != 0)
// every page but the header is RC4-encrypted with the key XOR n. Everything above this layer sees
// plain pages; nothing above it touches the file.

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <span>
#include <unordered_map>
#include <vector>

#include "jet/file_io.h"
#include "jet/jet_format.h"

namespace jet {

using Page = std::shared_ptr<const std::vector<std::uint8_t>>;

class PageChannel {
  public:
    // Without `syncs`, flush() does nothing: the owner syncs the file once at the end.
    PageChannel(std::unique_ptr<FileIo> file, const JetFormat& format, std::uint32_t databaseKey,
                bool syncs = true);

    const JetFormat& format() const { return format_; }
    std::uint32_t pageCount() const { return pageCount_; }

    // The plain bytes of page `number` (page 0 as on disk, header mask still on). Throws 3049 when
    // the page lies outside the file. Pages are cached; the cache holds at most kCachePages.
    Page page(std::uint32_t number);

    // Writes a whole plain page, encoding it first when the database is encoded.
    // REQUIRES: a handle opened read-write and exclusively.
    void writePage(std::uint32_t number, std::span<const std::uint8_t> plain);

    // Writes raw bytes into page 0 (the header is never page-encoded).
    // REQUIRES: a handle opened read-write and exclusively.
    void writeHeaderBytes(std::size_t offset, std::span<const std::uint8_t> bytes);

    void flush();
    // Every page this handle has written (page 0 for header bytes), so that a check can look at
    // exactly what changed.
    const std::set<std::uint32_t>& writtenPages() const { return written_; }
    // Releases the file (and its lock); every later call fails with 3420.
    void close();
    bool isOpen() const { return file_ != nullptr; }

    static constexpr std::size_t kCachePages = 64;

    // Encodes or decodes (the same operation) one page in place.
    static void codePage(std::uint32_t databaseKey, std::uint32_t number,
                         std::span<std::uint8_t> page);

  private:
    void remember(std::uint32_t number, Page page);
    // Drops a page from the cache once the file holds newer bytes for it.
    void forget(std::uint32_t number);

    std::unique_ptr<FileIo> file_;
    const JetFormat& format_;
    std::uint32_t databaseKey_;
    std::uint32_t pageCount_;
    std::set<std::uint32_t> written_;
    bool syncs_;
    std::list<std::uint32_t> recent_;  // most recently used first
    std::unordered_map<std::uint32_t, std::pair<Page, std::list<std::uint32_t>::iterator>> cache_;
};

}  // namespace jet
