#include "help/chm_file.h"

#include <chm_lib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <system_error>

#include "help/isolated_call.h"

namespace help {
namespace {

constexpr char kContextTable[] = "/#IVB";
constexpr char kStringTable[] = "/#STRINGS";
constexpr std::size_t kIvbPairSize = 8;

std::optional<std::uint32_t> Le32At(std::span<const unsigned char> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::span<const unsigned char> BytesOf(const std::string& text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// What the child does with the archive open; nullopt for "nothing".
using ArchiveWork = std::function<std::optional<std::string>(chmFile*)>;

std::optional<std::string> InArchive(const std::string& archiveName, std::size_t maxBytes,
                                     const ArchiveWork& work) {
    return RunIsolated(
        [&archiveName, &work]() -> std::optional<std::string> {
            chmFile* handle = chm_open(archiveName.c_str());
            if (handle == nullptr) return std::nullopt;
            std::optional<std::string> result = work(handle);
            chm_close(handle);
            return result;
        },
        maxBytes);
}

// Looks up a file object. Folders are objects of their own ("/topics/"), but never a page.
bool ResolveObject(chmFile* handle, std::string_view objectPath, chmUnitInfo& unit) {
    // chmlib keeps no path longer than this, and needs a terminated copy.
    if (objectPath.empty() || objectPath.size() > CHM_MAX_PATHLEN) return false;
    if (objectPath.back() == '/') return false;
    const std::string wanted(objectPath);
    unit = chmUnitInfo{};
    return chm_resolve_object(handle, wanted.c_str(), &unit) == CHM_RESOLVE_SUCCESS;
}

std::optional<std::string> FindObject(chmFile* handle, std::string_view objectPath) {
    chmUnitInfo unit{};
    if (!ResolveObject(handle, objectPath, unit)) return std::nullopt;
    return std::string(unit.path, strnlen(unit.path, sizeof unit.path));
}

std::optional<std::string> ReadObject(chmFile* handle, std::string_view objectPath) {
    chmUnitInfo unit{};
    if (!ResolveObject(handle, objectPath, unit) || unit.length > kMaxObjectSize) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(unit.length), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const LONGINT64 got = chm_retrieve_object(
            handle, &unit, reinterpret_cast<unsigned char*>(bytes.data() + done), done,
            static_cast<LONGINT64>(bytes.size() - done));
        // A short archive ends the object early; half a page is no page.
        if (got <= 0 || static_cast<std::uint64_t>(got) > bytes.size() - done) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

std::optional<std::string> ResolveContextIn(chmFile* handle, std::uint32_t contextId) {
    const std::optional<std::string> ivb = ReadObject(handle, kContextTable);
    if (!ivb) return std::nullopt;
    const std::optional<std::uint32_t> offset = FindContextStringOffset(BytesOf(*ivb), contextId);
    if (!offset) return std::nullopt;
    const std::optional<std::string> strings = ReadObject(handle, kStringTable);
    if (!strings) return std::nullopt;
    const std::optional<std::string> target = StringAt(BytesOf(*strings), *offset);
    if (!target) return std::nullopt;
    for (const std::string& candidate : TopicPathCandidates(*target)) {
        if (std::optional<std::string> found = FindObject(handle, candidate)) return found;
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<ChmFile> ChmFile::Open(const std::filesystem::path& path) {
    std::unique_ptr<ChmFile> file = OpenRegularFile(path);
    if (!file) return nullptr;
    const std::optional<std::string> opened =
        InArchive(file->archiveName_, 0, [](chmFile*) -> std::optional<std::string> { return ""; });
    if (!opened) return nullptr;
    return file;
}

std::optional<std::string> ChmFile::Find(std::string_view objectPath) {
    return InArchive(archiveName_, CHM_MAX_PATHLEN,
                     [objectPath](chmFile* handle) { return FindObject(handle, objectPath); });
}

std::optional<std::string> ChmFile::Read(std::string_view objectPath) {
    return InArchive(archiveName_, kMaxObjectSize,
                     [objectPath](chmFile* handle) { return ReadObject(handle, objectPath); });
}

std::optional<std::string> ChmFile::ResolveContext(std::uint32_t contextId) {
    return InArchive(archiveName_, CHM_MAX_PATHLEN,
                     [contextId](chmFile* handle) { return ResolveContextIn(handle, contextId); });
}

std::optional<std::uint32_t> FindContextStringOffset(std::span<const unsigned char> ivb,
                                                     std::uint32_t contextId) {
    const std::optional<std::uint32_t> announced = Le32At(ivb, 0);
    if (!announced) return std::nullopt;
    const std::size_t present = ivb.size() - 4;
    const std::size_t pairs = std::min<std::size_t>(*announced, present) / kIvbPairSize;
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::size_t at = 4 + i * kIvbPairSize;
        if (Le32At(ivb, at) == contextId) return Le32At(ivb, at + 4);
    }
    return std::nullopt;
}

std::optional<std::string> StringAt(std::span<const unsigned char> strings, std::uint32_t offset) {
    if (offset >= strings.size()) return std::nullopt;
    const auto begin = strings.begin() + offset;
    const auto end = std::find(begin, strings.end(), static_cast<unsigned char>('\0'));
    if (end == strings.end()) return std::nullopt;
    return std::string(begin, end);
}

std::vector<std::string> TopicPathCandidates(std::string_view aliasTarget) {
    aliasTarget = aliasTarget.substr(0, aliasTarget.find('#'));
    // Built from the last folder backwards, so that a hostile string of any length costs one pass
    // and stops at the first suffix chmlib could not hold.
    std::vector<std::string> candidates;
    std::string suffix;
    std::size_t end = aliasTarget.size();
    while (end > 0) {
        const std::size_t separator = aliasTarget.find_last_of("/\\", end - 1);
        const std::size_t begin = separator == std::string_view::npos ? 0 : separator + 1;
        const std::string_view part = aliasTarget.substr(begin, end - begin);
        if (!part.empty() && part != ".") {
            if (suffix.size() + part.size() + 1 > CHM_MAX_PATHLEN) break;
            suffix = '/' + std::string(part) + suffix;
            candidates.push_back(suffix);
        }
        if (separator == std::string_view::npos) break;
        end = separator;
    }
    std::reverse(candidates.begin(), candidates.end());
    return candidates;
}

}  // namespace help
