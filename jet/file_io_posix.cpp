#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/error.h"
#include "jet/file_io.h"
#include "platform/file_lock.h"

namespace jet {
namespace {

class PosixFile : public FileIo {
  public:
    PosixFile(platform::LockedFile file, std::string path)
        : file_(std::move(file)), fd_(static_cast<int>(file_.native())), path_(std::move(path)) {}

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
    platform::LockedFile file_;  // closing it releases the lock
    int fd_;
    std::string path_;
};

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
    platform::LockedFile file = platform::LockedFile::Open(
        path, mode.readOnly ? platform::FileAccess::Read : platform::FileAccess::ReadWrite,
        mode.exclusive ? platform::FileLock::Exclusive : platform::FileLock::Shared);
    switch (file.failure()) {
        case platform::OpenFailure::None:
            return std::make_unique<PosixFile>(std::move(file), path);
        case platform::OpenFailure::AccessDenied:
            throw readOnlyFile(path);
        case platform::OpenFailure::NotFound:
            throw fileNotFound(path);
        case platform::OpenFailure::InUse:
            throw fileInUse(path);
        default:
            throw diskIo("cannot open '" + path + "': " + std::strerror(file.systemError()));
    }
}

std::unique_ptr<FileIo> adoptFile(NativeFile file, const std::string& name) {
    return std::make_unique<PosixFile>(platform::LockedFile::Adopt(file), name);
}

}  // namespace jet
