#pragma once
// The lock protocol that every opener of a database file keeps, the engine's handles and the file
// copy alike: a shared holder lets other shared holders in and keeps an exclusive one out; an
// exclusive holder keeps everybody out. Locks are taken without waiting and last as long as the
// file stays open. On POSIX they are whole-file locks of the open file description (flock where
// those are missing); on Windows they are the share modes of the open, which the system enforces
// against every other program too, the product that holds its project open among them.

#include <cstdint>
#include <string>

namespace platform {

enum class FileLock { Shared, Exclusive };
enum class FileAccess { Read, ReadWrite };

// Why an open failed, in the terms its callers report.
enum class OpenFailure { None, NotFound, PathNotFound, AccessDenied, InUse, Other };

// An open file and its lock; both end with the object.
class LockedFile {
  public:
    // Opens `path` (UTF-8, used as the platform uses a path) and takes the lock. A read-only open
    // on POSIX can hold only the shared lock, which still keeps every writer and exclusive holder
    // out. Never throws; see failure().
    static LockedFile Open(const std::string& path, FileAccess access, FileLock lock);

    // Takes over a file the caller opened and keeps private (no lock is taken); it is closed with
    // the object.
    static LockedFile Adopt(std::intptr_t native);

    // POSIX only: takes the lock on an open descriptor without waiting; false when a conflicting
    // lock is held. (Windows has no such step: the lock is the share mode of the open.)
    static bool TryLockDescriptor(int fd, FileLock lock);

    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    bool isOpen() const { return failure_ == OpenFailure::None; }
    OpenFailure failure() const { return failure_; }
    // errno or GetLastError of the failed step.
    int systemError() const { return systemError_; }
    // The descriptor (POSIX) or HANDLE (Windows), owned by this object.
    std::intptr_t native() const { return native_; }

  private:
    LockedFile(std::intptr_t native, OpenFailure failure, int systemError)
        : native_(native), failure_(failure), systemError_(systemError) {}
    // The value of native() when nothing is open.
    static std::intptr_t noFile();
    void close() noexcept;

    std::intptr_t native_;
    OpenFailure failure_;
    int systemError_;
};

}  // namespace platform
