#include "projectdb/level_list.h"

#include "platform/runtime_error.h"

namespace projectdb {

int MemoryList::count() const {
    return static_cast<int>(entries_.size());
}

const MemoryList::Entry& MemoryList::at(int i) const {
    if (i < 0 || i >= count()) throw platform::invalidPropertyArrayIndex();
    return entries_[static_cast<std::size_t>(i)];
}

std::string MemoryList::text(int i) const {
    return at(i).text;
}

std::int32_t MemoryList::itemData(int i) const {
    return at(i).data;
}

bool MemoryList::checked(int i) const {
    return at(i).checked;
}

void MemoryList::setChecked(int i, bool value) {
    at(i);  // bounds check
    entries_[static_cast<std::size_t>(i)].checked = value;
}

void MemoryList::setSelectedIndex(int i) {
    if (i < -1 || i >= count()) throw platform::invalidPropertyValue();
    selected_ = i;
}

void MemoryList::clear() {
    entries_.clear();
    selected_ = -1;
}

void MemoryList::addItem(const std::string& text, std::int32_t data) {
    entries_.push_back(Entry{text, data, false});
}

}  // namespace projectdb
