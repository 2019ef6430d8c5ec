#pragma once
// The one door to the database file: positional reads and writes of byte ranges, and the lock that
// keeps other openers out for as long as the handle lives. Tests may put their own FileIo behind
// it.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace jet {

class FileIo {
  public:
    virtual ~FileIo() = default;
    virtual std::uint64_t size() const = 0;
    // Fills `out` from `offset`; a short read is an error (JetError).
    virtual void readAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    virtual void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
    virtual void flush() = 0;
};

struct FileOpenMode {
    bool readOnly = false;
    // Exclusive: nobody else may open the file while this handle lives. Shared opens still take a
    // shared lock so that an exclusive opener sees them.
    bool exclusive = true;
};

// Opens `path` exactly as given. Fails with 3024/3044 when it is missing, 3051 when a read-write
// open is refused by the file's permissions, 3045 when the lock is held elsewhere, and 3343 when
// the path names a folder.
std::unique_ptr<FileIo> openFile(const std::string& path, FileOpenMode mode);

// A file the caller has already opened read-write, as the system names it: a descriptor, or on
// Windows a HANDLE.
using NativeFile = std::intptr_t;

// Takes over `file` (it is closed with the FileIo) without locking it again: the caller keeps the
// file private, as the apply does its working file. `name` is what error messages call it.
std::unique_ptr<FileIo> adoptFile(NativeFile file, const std::string& name);

}  // namespace jet
