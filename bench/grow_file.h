#pragma once
// Grows a real Jet 4 file to a benchmark's size without changing what any table holds.

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace bench {

// Appends empty Jet 4 data pages (type 1, no rows, owned by no table) until `file` is `size` bytes
// long; each page is written, so the file is not sparse.
inline void GrowWithDataPages(const std::filesystem::path& file, std::uint64_t size) {
    constexpr std::size_t kPageSize = 4096;
    std::array<char, kPageSize> page{};
    page[0] = 0x01;  // data page
    page[1] = 0x01;
    const std::uint16_t freeSpace = kPageSize - 14;
    page[2] = static_cast<char>(freeSpace & 0xFF);
    page[3] = static_cast<char>(freeSpace >> 8);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    for (std::uint64_t at = std::filesystem::file_size(file); at < size; at += kPageSize)
        out.write(page.data(), page.size());
    if (!out) throw std::runtime_error("cannot grow " + file.string());
}

}  // namespace bench
