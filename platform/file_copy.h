#pragma once
// Copying a whole file onto a path, replacing what is there, as fast as the file system allows
// (a clone where it can share the blocks, else a copy inside the kernel). The target is either
// the old file or the complete copy, never a half-written one, and a file that an engine handle
// holds, or the source file itself under another name, is never replaced.

#include <cstdint>
#include <memory>
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

// A private copy of a file, made beside the path it is to replace, that takes that path's name only
// when committed: until then nobody else sees it, and one that is never committed leaves the old
// file as it was. Where the system has unnamed files (O_TMPFILE) a killed run leaves nothing;
// otherwise a named working file is left that the next working file in that folder removes once
// no live process holds it. The files read and replaced stay locked, as a database handle locks
// them, from the creation to the commit, so that no engine handle and no other apply can come
// between: a second apply onto the same target is refused (EBUSY), not made to wait.
class WorkingFile {
  public:
    // The copy of `from` that is to replace `to`; refused exactly as CopyFileReplacing refuses.
    static WorkingFile CopyOf(const std::string& from, const std::string& to);
    // A copy of `path` that is to replace it in place. The result keeps the file's mode and owner
    // and has the times a write in place leaves: the access time it had when the copy was made,
    // the modification time of the commit (Windows: the attributes and, through ReplaceFileW, the
    // creation time too). FileCopyError when `path` is missing or not a regular file, has no
    // write permission (EACCES), or is held by a database handle (EBUSY).
    static WorkingFile InPlace(const std::string& path);

    WorkingFile(WorkingFile&&) noexcept;
    WorkingFile& operator=(WorkingFile&&) noexcept;
    ~WorkingFile();  // discards the working file unless it was committed

    CopyMethod method() const;
    // The file the copy comes from has no write permission (the read-only attribute).
    bool readOnly() const;
    // A new read-write descriptor (Windows: HANDLE) of the working file; the caller closes it.
    std::intptr_t Duplicate() const;
    // Syncs the working file, gives it the target's name and syncs the folder. FileCopyError when
    // it cannot; the target is then as it was. REQUIRES: every duplicate closed.
    void Commit();

  private:
    struct State;
    explicit WorkingFile(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace platform
