#include "jet/page_allocator.h"

#include "jet/usage_map.h"

namespace jet {

std::uint32_t PageAllocator::allocate(std::span<const RowPointer> ownerMaps) {
    const std::uint32_t page = batch_.append();
    // Each map is read only now: adding to the one before may have appended a bitmap page.
    for (const RowPointer& map : ownerMaps) UsageMap(batch_, map).add(batch_, page);
    return page;
}

void PageAllocator::commit() {
    if (!batch_.appended().empty()) {
        UsageMap global(batch_, kGlobalUsageMap);
        for (const std::uint32_t page : batch_.appended()) global.clear(batch_, page);
    }
    batch_.writeOut();
}

}  // namespace jet
