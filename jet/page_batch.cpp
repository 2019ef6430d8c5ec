#include "jet/page_batch.h"

#include <algorithm>
#include <tuple>

#include "jet/error.h"

namespace jet {

std::span<const std::uint8_t> PageBatch::view(std::uint32_t number) {
    if (const auto hit = entries_.find(number); hit != entries_.end()) return hit->second.bytes;
    Entry entry;
    const Page page = pages_.page(number);
    entry.bytes.assign(page->begin(), page->end());
    entry.stage = Stage::Data;
    entry.order = SIZE_MAX;  // loaded for reading only: not written unless edited
    return entries_.emplace(number, std::move(entry)).first->second.bytes;
}

std::vector<std::uint8_t>& PageBatch::edit(std::uint32_t number, Stage stage) {
    view(number);
    Entry& entry = entries_.at(number);
    if (entry.order == SIZE_MAX) entry.order = nextOrder_++;
    if (!isAppended(number)) entry.stage = std::max(entry.stage, stage);
    return entry.bytes;
}

std::uint32_t PageBatch::append() {
    const std::uint32_t number = appended_.empty() ? pages_.pageCount() : appended_.back() + 1;
    // Row pointers hold page numbers in three bytes.
    if (number >= 0x1000000) throw resourceExceeded("the file is full");
    Entry entry;
    entry.bytes.assign(pages_.format().pageSize, 0);
    entry.stage = Stage::NewPage;
    entry.order = nextOrder_++;
    entries_.emplace(number, std::move(entry));
    appended_.push_back(number);
    return number;
}

bool PageBatch::isAppended(std::uint32_t number) const {
    return std::find(appended_.begin(), appended_.end(), number) != appended_.end();
}

PageBatch::Snapshot PageBatch::snapshot() const {
    return {entries_, appended_, nextOrder_};
}

void PageBatch::restore(Snapshot snapshot) {
    entries_ = std::move(snapshot.entries);
    appended_ = std::move(snapshot.appended);
    nextOrder_ = snapshot.nextOrder;
}

bool PageBatch::empty() const {
    return appended_.empty() && std::none_of(entries_.begin(), entries_.end(), [](const auto& e) {
               return e.second.order != SIZE_MAX;
           });
}

void PageBatch::writeOut() {
    // Nothing changed: not even a sync.
    if (empty()) return;
    std::vector<std::tuple<Stage, std::size_t, std::uint32_t>> order;
    for (const auto& [number, entry] : entries_) {
        if (entry.order == SIZE_MAX) continue;
        // Appended pages go in file order so that the file never has a gap.
        const std::size_t rank = entry.stage == Stage::NewPage ? number : entry.order;
        order.emplace_back(entry.stage, rank, number);
    }
    std::sort(order.begin(), order.end());
    for (const auto& [stage, rank, number] : order)
        pages_.writePage(number, entries_.at(number).bytes);
    pages_.flush();
    entries_.clear();
    appended_.clear();
}

}  // namespace jet
