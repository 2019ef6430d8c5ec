#include "jet/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "jet/error.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // keep std::min usable
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace jet {

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

class WindowsFile : public FileIo {
  public:
    WindowsFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~WindowsFile() override { CloseHandle(handle_); }

    std::uint64_t size() const override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) throw diskIo("cannot read the size of '" + path_ + "'");
        return static_cast<std::uint64_t>(size.QuadPart);
    }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            OVERLAPPED at{};
            const std::uint64_t pos = offset + done;
            at.Offset = static_cast<DWORD>(pos);
            at.OffsetHigh = static_cast<DWORD>(pos >> 32);
            DWORD got = 0;
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
            if (!ReadFile(handle_, out.data() + done, want, &got, &at) || got == 0) {
                throw corrupt("the file ends inside a page");
            }
            done += got;
        }
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            OVERLAPPED at{};
            const std::uint64_t pos = offset + done;
            at.Offset = static_cast<DWORD>(pos);
            at.OffsetHigh = static_cast<DWORD>(pos >> 32);
            DWORD put = 0;
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
            if (!WriteFile(handle_, data.data() + done, want, &put, &at) || put == 0) {
                throw diskIo("cannot write '" + path_ + "'");
            }
            done += put;
        }
    }
    void flush() override {
        if (!FlushFileBuffers(handle_)) throw diskIo("cannot flush '" + path_ + "'");
    }

  private:
    HANDLE handle_;
    std::string path_;
};

}  // namespace

std::unique_ptr<FileIo> openFile(const std::string& path, FileOpenMode mode) {
    const std::wstring wide = widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) throw pathNotFound(path);
        throw fileNotFound(path);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw unrecognizedFormat(path);
    if (!mode.readOnly && (attributes & FILE_ATTRIBUTE_READONLY)) throw readOnlyFile(path);
    // Exclusive use is the absence of sharing: the OS refuses every other open while we hold it.
    const DWORD share = mode.exclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    const DWORD access = GENERIC_READ | (mode.readOnly ? 0 : GENERIC_WRITE);
    HANDLE handle = CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            throw fileInUse(path);
        if (error == ERROR_ACCESS_DENIED) throw readOnlyFile(path);
        throw fileNotFound(path);
    }
    return std::make_unique<WindowsFile>(handle, path);
}

std::unique_ptr<FileIo> adoptFile(NativeFile file, const std::string& name) {
    return std::make_unique<WindowsFile>(static_cast<HANDLE>(file), name);
}

#else

namespace {

class PosixFile : public FileIo {
  public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    // Closing the descriptor releases the open-file-description lock with it.
    ~PosixFile() override { ::close(fd_); }

    std::uint64_t size() const override {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) throw diskIo("cannot read the size of '" + path_ + "'");
        return static_cast<std::uint64_t>(info.st_size);
    }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw diskIo("cannot read '" + path_ + "': " + std::strerror(errno));
            if (got == 0) throw corrupt("the file ends inside a page");
            done += static_cast<std::size_t>(got);
        }
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t put = ::pwrite(fd_, data.data() + done, data.size() - done,
                                         static_cast<off_t>(offset + done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) throw diskIo("cannot write '" + path_ + "': " + std::strerror(errno));
            done += static_cast<std::size_t>(put);
        }
    }
    void flush() override {
        if (::fsync(fd_) != 0)
            throw diskIo("cannot flush '" + path_ + "': " + std::strerror(errno));
    }

  private:
    int fd_;
    std::string path_;
};

// Takes the whole-file lock without waiting. A write lock needs a descriptor open for writing; a
// read-only handle can only take the shared lock, which still keeps every writer out.
bool lockWholeFile(int fd, bool exclusive, bool readOnly) {
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = (exclusive && !readOnly) ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end of the file, however it grows
    lock.l_pid = 0;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
#else
    const int operation = ((exclusive && !readOnly) ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
#endif
}

}  // namespace

std::unique_ptr<FileIo> openFile(const std::string& path, FileOpenMode mode) {
    if (path.empty()) throw pathNotFound(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOTDIR ||
            (errno == ENOENT && path.find('/') != std::string::npos &&
             ::access(path.substr(0, path.rfind('/') + 1).c_str(), F_OK) != 0)) {
            throw pathNotFound(path);
        }
        throw fileNotFound(path);
    }
    if (S_ISDIR(info.st_mode) || !S_ISREG(info.st_mode)) throw unrecognizedFormat(path);
    // A file without any write permission is read-only even for a user whom the OS would let write
    // (root), as the read-only attribute is on Windows.
    if (!mode.readOnly && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        throw readOnlyFile(path);
    }
    const int flags = (mode.readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM) throw readOnlyFile(path);
        if (errno == ENOENT) throw fileNotFound(path);
        throw diskIo("cannot open '" + path + "': " + std::strerror(errno));
    }
    auto file = std::make_unique<PosixFile>(fd, path);
    if (!lockWholeFile(fd, mode.exclusive, mode.readOnly)) throw fileInUse(path);
    return file;
}

std::unique_ptr<FileIo> adoptFile(NativeFile file, const std::string& name) {
    return std::make_unique<PosixFile>(file, name);
}

#endif

}  // namespace jet
