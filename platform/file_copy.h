#pragma once
// Copying a whole file onto a path, replacing what is there, as fast as the file system allows
// (a clone where it can share the blocks, else a copy inside the kernel). The target is either
// the old file or the complete copy, never a half-written one, and a file that an engine handle
// holds, or the source file itself under another name, is never replaced.

#include <stdexcept>
#include <string>

namespace platform {

// A copy that did not happen; the target is as it was. `errorNumber` is the system's error code
// (errno, or GetLastError on Windows) that the description spells out.
class FileCopyError : public std::runtime_error {
  public:
    FileCopyError(int errorNumber, const std::string& description)
        : std::runtime_error(description), errorNumber_(errorNumber) {}
    int errorNumber() const { return errorNumber_; }

  private:
    int errorNumber_;
};

// How the bytes got there, for diagnostics and for the tests that hold the copy to being fast.
enum class CopyMethod {
    Clone,       // the file system shares the source's blocks (a reflink)
    KernelCopy,  // the kernel moved the bytes (copy_file_range, sendfile, CopyFileW)
    UserCopy,    // read and written through our own buffer
};

// Copies the regular file `from` to `to`, both used exactly as given (no trimming). A file at
// `to` is replaced; a symbolic link at `to` is followed and its target replaced. Refused with
// FileCopyError, touching nothing, when: `from` is missing or not a regular file, or held
// exclusively by a database handle; `to` is the same file as `from` (by identity: another
// spelling, a link); `to` is a folder, not a regular file, read-only, or locked by a database
// handle; its folder is missing or not writable; or the copy fails midway (then only a temporary
// file existed, and it is removed).
CopyMethod CopyFileReplacing(const std::string& from, const std::string& to);

}  // namespace platform
