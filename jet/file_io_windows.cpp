#include <windows.h>

#include <algorithm>

#include "jet/error.h"
#include "jet/file_io.h"
#include "platform/file_lock.h"
#include "platform/utf16.h"

namespace jet {
namespace {

class WindowsFile : public FileIo {
  public:
    WindowsFile(platform::LockedFile file, std::string path)
        : file_(std::move(file)),
          handle_(reinterpret_cast<HANDLE>(file_.native())),
          path_(std::move(path)) {}

    std::uint64_t size() const override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(handle_, &size)) throw diskIo("cannot read the size of '" + path_ + "'");
        return static_cast<std::uint64_t>(size.QuadPart);
    }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            OVERLAPPED at = At(offset + done);
            DWORD got = 0;
            const DWORD want =
                static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
            if (!ReadFile(handle_, out.data() + done, want, &got, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF)
                    throw corrupt("the file ends inside a page");
                throw diskIo("cannot read '" + path_ + "'");
            }
            if (got == 0) throw corrupt("the file ends inside a page");
            done += got;
        }
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            OVERLAPPED at = At(offset + done);
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
    static OVERLAPPED At(std::uint64_t position) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        return at;
    }

    platform::LockedFile file_;  // closing it ends the exclusive use
    HANDLE handle_;
    std::string path_;
};

}  // namespace

std::unique_ptr<FileIo> openFile(const std::string& path, FileOpenMode mode) {
    const std::optional<std::wstring> wide = platform::WidePath(path);
    if (!wide) throw pathNotFound(path);
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_NETPATH ||
            error == ERROR_BAD_NET_NAME) {
            throw pathNotFound(path);
        }
        throw fileNotFound(path);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw unrecognizedFormat(path);
    if (!mode.readOnly && (attributes & FILE_ATTRIBUTE_READONLY)) throw readOnlyFile(path);
    platform::LockedFile file = platform::LockedFile::Open(
        path, mode.readOnly ? platform::FileAccess::Read : platform::FileAccess::ReadWrite,
        mode.exclusive ? platform::FileLock::Exclusive : platform::FileLock::Shared);
    switch (file.failure()) {
        case platform::OpenFailure::None:
            return std::make_unique<WindowsFile>(std::move(file), path);
        case platform::OpenFailure::InUse:
            throw fileInUse(path);
        case platform::OpenFailure::AccessDenied:
            throw readOnlyFile(path);
        case platform::OpenFailure::PathNotFound:
            throw pathNotFound(path);
        case platform::OpenFailure::NotFound:
            throw fileNotFound(path);
        default:
            throw diskIo("cannot open '" + path + "': error " + std::to_string(file.systemError()));
    }
}

std::unique_ptr<FileIo> adoptFile(NativeFile file, const std::string& name) {
    return std::make_unique<WindowsFile>(platform::LockedFile::Adopt(file), name);
}

}  // namespace jet
