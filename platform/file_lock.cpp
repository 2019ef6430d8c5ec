#include "platform/file_lock.h"

#include <utility>

namespace platform {

LockedFile LockedFile::Adopt(std::intptr_t native) {
    return {native, OpenFailure::None, 0};
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : native_(std::exchange(other.native_, noFile())),
      failure_(other.failure_),
      systemError_(other.systemError_) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        close();
        native_ = std::exchange(other.native_, noFile());
        failure_ = other.failure_;
        systemError_ = other.systemError_;
    }
    return *this;
}

LockedFile::~LockedFile() {
    close();
}

}  // namespace platform
