#include "platform/file_copy.h"

#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/sendfile.h>
#endif
#endif

namespace platform {

namespace {

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

// The folder a temporary file beside `path` goes into.
std::string folderOf(const std::string& path, const char* separators) {
    const std::size_t slash = path.find_last_of(separators);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

[[noreturn]] void fail(DWORD error, const std::string& what) {
    char buffer[512] = {};
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, buffer, static_cast<DWORD>(sizeof buffer), nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    throw FileCopyError(static_cast<int>(error), what + ": " + text);
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (!GetFileInformationByHandle(a, &x) || !GetFileInformationByHandle(b, &y)) return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

CopyMethod CopyFileReplacing(const std::string& from, const std::string& to) {
    const std::wstring source = widen(from);
    const std::wstring target = widen(to);
    // Sharing reads only: a database handle that holds the source exclusively refuses this open.
    Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.valid()) fail(GetLastError(), "cannot read the source " + quoted(from));

    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        Handle existing(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (existing.valid() && sameFile(in.get(), existing.get())) {
            throw FileCopyError(ERROR_INVALID_PARAMETER, "cannot copy " + quoted(from) +
                                                             " onto itself: " + quoted(to) +
                                                             " is the same file");
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            fail(ERROR_ACCESS_DENIED, "cannot replace the folder " + quoted(to));
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            fail(ERROR_ACCESS_DENIED, "cannot replace the read-only " + quoted(to));
        }
        // Without sharing this open fails while anybody, a database handle above all, has it.
        Handle probe(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid()) fail(GetLastError(), "cannot replace " + quoted(to));
    }

    wchar_t temporary[MAX_PATH + 1] = {};
    const std::wstring folder = widen(folderOf(to, "\\/"));
    if (!GetTempFileNameW(folder.c_str(), L"tvx", 0, temporary)) {
        fail(GetLastError(), "cannot create a file beside " + quoted(to));
    }
    if (!CopyFileW(source.c_str(), temporary, FALSE)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary);
        fail(error, "cannot copy " + quoted(from) + " to " + quoted(to));
    }
    // The move fails, leaving the target alone, when someone opened it meanwhile without sharing.
    if (!MoveFileExW(temporary, target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary);
        fail(error, "cannot replace " + quoted(to));
    }
    return CopyMethod::KernelCopy;
}

#else

namespace {

[[noreturn]] void fail(int error, const std::string& what) {
    throw FileCopyError(error, what + ": " + std::strerror(error));
}

// Reads errno before anything that builds the message can change it.
[[noreturn]] void failWithErrno(const char* what, const std::string& path = {}) {
    const int error = errno;
    fail(error, path.empty() ? std::string(what) : what + (" " + quoted(path)));
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

int openRetrying(const std::string& path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The whole-file lock our database engine takes, without waiting: a write lock fails while any
// engine handle holds the file; a read lock fails while one holds it exclusively.
bool tryLock(int fd, bool write) {
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = write ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
#else
    while (::flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
#endif
}

// Errors that mean "this way of copying is not offered here", as opposed to a failed copy.
bool notOffered(int error) {
    return error == ENOSYS || error == EXDEV || error == EINVAL || error == EOPNOTSUPP ||
           error == ENOTTY || error == EPERM || error == EBADF;
}

void copyThroughBuffer(int in, int out) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failWithErrno("cannot read the source");
        if (got == 0) return;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n =
                ::write(out, buffer.data() + put, static_cast<std::size_t>(got - put));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) failWithErrno("cannot write the copy");
            if (n == 0) fail(EIO, "cannot write the copy");
            put += n;
        }
    }
}

// Moves every byte of `in` (from its current position) to `out`, in the fastest way offered.
CopyMethod copyBytes(int in, int out, off_t size) {
#ifdef FICLONE
    if (::ioctl(out, FICLONE, in) == 0) return CopyMethod::Clone;
#endif
#ifdef __linux__
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    off_t done = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (done > 0 || !notOffered(errno))) failWithErrno("cannot copy the bytes");
        break;
    }
    // Some file systems answer 0 at once for data they produce on demand; those take a slower way.
    if (done > 0 || size == 0) return CopyMethod::KernelCopy;
    for (;;) {
        const ssize_t n = ::sendfile(out, in, nullptr, kChunk);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (done > 0 || !notOffered(errno))) failWithErrno("cannot copy the bytes");
        break;
    }
    if (done > 0) return CopyMethod::KernelCopy;
#else
    (void)size;
#endif
    copyThroughBuffer(in, out);
    return CopyMethod::UserCopy;
}

// Removes the temporary file unless it became the target.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string folder) : path_(std::move(folder) + "/.travix-copy-XXXXXX") {
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) return;
        ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (fd_ >= 0 && !kept_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

  private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
};

// A link at the target is followed, so that the file it names is replaced and the link stays.
std::string resolveTarget(const std::string& to) {
    struct stat link {};
    if (::lstat(to.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return to;
    char resolved[PATH_MAX];
    if (::realpath(to.c_str(), resolved) == nullptr) return to;  // dangling: replace the link
    return resolved;
}

}  // namespace

CopyMethod CopyFileReplacing(const std::string& from, const std::string& to) {
    for (const std::string* path : {&from, &to}) {
        if (path->empty()) fail(ENOENT, "cannot copy " + quoted(from) + " to " + quoted(to));
        if (path->find('\0') != std::string::npos) fail(EINVAL, "malformed path " + quoted(*path));
    }
    const Descriptor in(openRetrying(from, O_RDONLY));
    if (in.get() < 0) failWithErrno("cannot read the source", from);
    struct stat source {};
    if (::fstat(in.get(), &source) != 0) failWithErrno("cannot read the source", from);
    if (S_ISDIR(source.st_mode)) fail(EISDIR, "cannot copy " + quoted(from));
    if (!S_ISREG(source.st_mode)) fail(EINVAL, "cannot copy " + quoted(from) + ", not a file");
    // Held for the whole copy: no engine handle can change the source under us, and a source an
    // engine holds exclusively is not copied half-written.
    if (!tryLock(in.get(), false)) fail(EBUSY, "cannot copy " + quoted(from));

    if (to.back() == '/') fail(EISDIR, "cannot replace " + quoted(to));
    const std::string target = resolveTarget(to);
    // The lock on the file now at `target` is held until the new file has taken its name: an
    // engine that opens the old file meanwhile finds it locked, and one that opens it afterwards
    // finds the complete copy. Without it the rename would replace a file under its holder.
    Descriptor held;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) {
            throw FileCopyError(EINVAL, "cannot copy " + quoted(from) +
                                            " onto itself: " + quoted(to) + " is the same file");
        }
        if (S_ISDIR(existing.st_mode)) fail(EISDIR, "cannot replace " + quoted(to));
        if (!S_ISREG(existing.st_mode)) fail(EINVAL, "cannot replace " + quoted(to));
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            fail(EACCES, "cannot replace the read-only " + quoted(to));
        }
        held.reset(openRetrying(target, O_RDWR | O_NONBLOCK));
        if (held.get() < 0) failWithErrno("cannot replace", to);
        if (!tryLock(held.get(), true)) fail(EBUSY, "cannot replace " + quoted(to));
    } else if (errno != ENOENT) {
        failWithErrno("cannot replace", to);
    }

    TemporaryFile copy(folderOf(target, "/"));
    if (copy.fd() < 0) failWithErrno("cannot create a file beside", to);
    const CopyMethod method = copyBytes(in.get(), copy.fd(), source.st_size);
    struct stat written {};
    if (::fstat(copy.fd(), &written) != 0) failWithErrno("cannot copy to", to);
    if (written.st_size != source.st_size) fail(EIO, "the copy of " + quoted(from) + " is short");
    if (::fchmod(copy.fd(), source.st_mode & 0777) != 0) failWithErrno("cannot copy to", to);
    if (::fsync(copy.fd()) != 0) failWithErrno("cannot copy to", to);
    if (::rename(copy.path().c_str(), target.c_str()) != 0) {
        failWithErrno("cannot replace", to);
    }
    copy.keep();
    return method;
}

#endif

}  // namespace platform
