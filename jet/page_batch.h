#pragma once
// The pages one write changes, kept in memory until every one of them is ready and then written in
// an order that keeps the file readable if a write fails midway: new pages first, then the global
// usage map and the pages that only gain rows, then the pages that refer to new rows, the table
// definition last. Nothing reaches the file before writeOut().

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "jet/page_channel.h"

namespace jet {

class PageBatch {
  public:
    // Cleanup: pages that only let go of what nothing refers to any more.
    enum class Stage {
        NewPage = 0,
        UsageMap = 1,
        Data = 2,
        Reference = 3,
        Definition = 4,
        Cleanup = 5
    };

    explicit PageBatch(PageChannel& pages) : pages_(pages) {}

    const JetFormat& format() const { return pages_.format(); }
    PageChannel& channel() { return pages_; }

    // The page as this batch will leave it.
    std::span<const std::uint8_t> view(std::uint32_t number);
    // The page to change, written at `stage` (the latest stage asked for wins).
    std::vector<std::uint8_t>& edit(std::uint32_t number, Stage stage);
    // A new zeroed page after the end of the file and of the pages already added.
    std::uint32_t append();
    bool isAppended(std::uint32_t number) const;
    // The pages added by append(), in ascending order.
    const std::vector<std::uint32_t>& appended() const { return appended_; }
    // The page count of the file as this batch will leave it.
    std::uint32_t pageLimit() const {
        return appended_.empty() ? pages_.pageCount() : appended_.back() + 1;
    }

    // What the batch holds at one moment, to go back to when a later change cannot be staged
    // whole.
    struct Snapshot;
    Snapshot snapshot() const;
    void restore(Snapshot snapshot);
    bool empty() const;

    // Writes every page, stage by stage (appended pages in ascending order), and flushes. A failing
    // write throws; the pages written before it stay written. Writes call PageAllocator::commit,
    // which first records the appended pages in the global usage map.
    void writeOut();

  private:
    struct Entry {
        std::vector<std::uint8_t> bytes;
        Stage stage = Stage::Data;
        std::size_t order = 0;
    };

  public:
    struct Snapshot {
        std::map<std::uint32_t, Entry> entries;
        std::vector<std::uint32_t> appended;
        std::size_t nextOrder = 0;
    };

  private:
    PageChannel& pages_;
    std::map<std::uint32_t, Entry> entries_;
    std::vector<std::uint32_t> appended_;
    std::size_t nextOrder_ = 0;
};

}  // namespace jet
