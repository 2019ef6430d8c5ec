#pragma once
// The fuzz input as a file the engine opens by a path of its own: one memory file for the whole
// run, so that each open gets its own file description and lock, as with a file on disk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

inline int InputFile() {
    static const int fd = [] {
        const int created = memfd_create("jet-fuzz-input", 0);
        if (created < 0) std::abort();
        return created;
    }();
    return fd;
}

inline std::string WriteInput(const std::uint8_t* data, std::size_t size) {
    const int fd = InputFile();
    if (ftruncate(fd, 0) != 0) std::abort();
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<std::size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace fuzz
