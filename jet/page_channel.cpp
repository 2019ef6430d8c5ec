#include "jet/page_channel.h"

#include <algorithm>
#include <string>

#include "jet/error.h"
#include "jet/rc4.h"

namespace jet {

PageChannel::PageChannel(std::unique_ptr<FileIo> file, const JetFormat& format,
                         std::uint32_t databaseKey, bool syncs)
    : file_(std::move(file)), format_(format), databaseKey_(databaseKey), syncs_(syncs) {
    const std::uint64_t pages = file_->size() / format_.pageSize;
    // Page numbers are stored in 3 bytes in row pointers; nothing larger is addressable.
    pageCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0x1000000));
}

void PageChannel::codePage(std::uint32_t databaseKey, std::uint32_t number,
                           std::span<std::uint8_t> page) {
    if (databaseKey == 0 || number == 0) return;
    const std::uint32_t key = databaseKey ^ number;
    const std::uint8_t keyBytes[4] = {
        static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
        static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    rc4Apply(keyBytes, page);
}

Page PageChannel::page(std::uint32_t number) {
    if (!file_) throw objectInvalid();
    if (const auto hit = cache_.find(number); hit != cache_.end()) {
        recent_.splice(recent_.begin(), recent_, hit->second.second);
        return hit->second.first;
    }
    if (number >= pageCount_) {
        throw corrupt("page " + std::to_string(number) + " lies beyond the end of the file");
    }
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(format_.pageSize);
    file_->readAt(static_cast<std::uint64_t>(number) * format_.pageSize, *bytes);
    codePage(databaseKey_, number, *bytes);
    Page result = std::move(bytes);
    remember(number, result);
    return result;
}

void PageChannel::remember(std::uint32_t number, Page page) {
    if (cache_.size() >= kCachePages) {
        cache_.erase(recent_.back());
        recent_.pop_back();
    }
    recent_.push_front(number);
    cache_.emplace(number, std::make_pair(std::move(page), recent_.begin()));
}

void PageChannel::forget(std::uint32_t number) {
    if (const auto hit = cache_.find(number); hit != cache_.end()) {
        recent_.erase(hit->second.second);
        cache_.erase(hit);
    }
}

void PageChannel::writePage(std::uint32_t number, std::span<const std::uint8_t> plain) {
    if (!file_) throw objectInvalid();
    if (plain.size() != format_.pageSize) throw invalidArgument("a page has the wrong size");
    std::vector<std::uint8_t> onDisk(plain.begin(), plain.end());
    codePage(databaseKey_, number, onDisk);
    file_->writeAt(static_cast<std::uint64_t>(number) * format_.pageSize, onDisk);
    forget(number);
    if (number >= pageCount_) pageCount_ = number + 1;
    written_.insert(number);
}

void PageChannel::writeHeaderBytes(std::size_t offset, std::span<const std::uint8_t> bytes) {
    if (!file_) throw objectInvalid();
    if (offset > format_.pageSize || bytes.size() > format_.pageSize - offset) {
        throw invalidArgument("a header write outside page 0");
    }
    file_->writeAt(offset, bytes);
    written_.insert(0);
    forget(0);
}

void PageChannel::flush() {
    if (!file_) throw objectInvalid();
    if (syncs_) file_->flush();
}

void PageChannel::close() {
    cache_.clear();
    recent_.clear();
    file_.reset();
}

}  // namespace jet
