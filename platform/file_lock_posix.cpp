#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock.h"

namespace platform {

bool LockedFile::TryLockDescriptor(int fd, FileLock lock) {
    const bool exclusive = lock == FileLock::Exclusive;
#ifdef F_OFD_SETLK
    struct flock range {};
    range.l_type = exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0;  // to the end of the file, however it grows
    while (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
#else
    while (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
#endif
}

namespace {

OpenFailure FailureOf(int error) {
    switch (error) {
        case ENOENT:
            return OpenFailure::NotFound;
        case ENOTDIR:
            return OpenFailure::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenFailure::AccessDenied;
        default:
            return OpenFailure::Other;
    }
}

}  // namespace

LockedFile LockedFile::Open(const std::string& path, FileAccess access, FileLock lock) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return {noFile(), OpenFailure::NotFound, ENOENT};
    }
    const bool write = access == FileAccess::ReadWrite;
    // Non-blocking, so that a pipe in the file's place cannot hold the open.
    const int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        return {noFile(), FailureOf(error), error};
    }
    LockedFile file(fd, OpenFailure::None, 0);
    // A read-only descriptor cannot hold a write lock.
    const FileLock taken = write ? lock : FileLock::Shared;
    if (!TryLockDescriptor(fd, taken)) {
        const int error = errno;
        file.close();
        return {noFile(), OpenFailure::InUse, error};
    }
    return file;
}

std::intptr_t LockedFile::noFile() {
    return -1;
}

// Closing the descriptor releases the open-file-description lock with it.
void LockedFile::close() noexcept {
    if (native_ != noFile()) ::close(static_cast<int>(native_));
    native_ = noFile();
}

}  // namespace platform
