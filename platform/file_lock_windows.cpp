#include <windows.h>

#include "platform/file_lock.h"
#include "platform/utf16.h"

namespace platform {
namespace {

OpenFailure FailureOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return OpenFailure::NotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return OpenFailure::PathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return OpenFailure::AccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return OpenFailure::InUse;
        default:
            return OpenFailure::Other;
    }
}

}  // namespace

LockedFile LockedFile::Open(const std::string& path, FileAccess access, FileLock lock) {
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) return {noFile(), OpenFailure::NotFound, ERROR_INVALID_NAME};
    const DWORD rights = GENERIC_READ | (access == FileAccess::ReadWrite ? GENERIC_WRITE : 0);
    // Exclusive use is the absence of sharing: the system refuses every other open while we hold
    // the file, and refuses ours while anybody else has it open.
    const DWORD share = lock == FileLock::Exclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    const HANDLE handle = CreateFileW(wide->c_str(), rights, share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {noFile(), FailureOf(error), static_cast<int>(error)};
    }
    return {reinterpret_cast<std::intptr_t>(handle), OpenFailure::None, 0};
}

std::intptr_t LockedFile::noFile() {
    return reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

void LockedFile::close() noexcept {
    if (native_ != noFile()) CloseHandle(reinterpret_cast<HANDLE>(native_));
    native_ = noFile();
}

}  // namespace platform
