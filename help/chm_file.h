#pragma once
// A compiled HTML help file (.chm) opened for reading through chmlib: objects are read by their
// path inside the archive, compared without regard to letter case as HTML Help does, and a context
// ID is resolved to its topic through the archive's /#IVB and /#STRINGS tables. The file is
// untrusted: every table is bounds-checked and no object larger than kMaxObjectSize is read.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace help {

// Larger objects are refused rather than read: no help page, picture or table comes near it, and a
// hostile length must not make us allocate gigabytes.
inline constexpr std::uint64_t kMaxObjectSize = 32u * 1024u * 1024u;

class ChmFile {
  public:
    // Opens path; nullptr when it is missing, not a regular file (a pipe or device could block the
    // reader) or not a CHM archive. The file stays open: later calls read the file opened here,
    // even if the path is replaced meanwhile.
    static std::unique_ptr<ChmFile> Open(const std::filesystem::path& path);

    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // The object path of the topic that contextId maps to, spelled as the archive spells it
    // ("/topics/main.htm"); nullopt when the file maps no such ID or holds no such topic.
    std::optional<std::string> ResolveContext(std::uint32_t contextId);

    // The archive's spelling of objectPath ("/"-rooted, any letter case); nullopt when absent or
    // a folder.
    std::optional<std::string> Find(std::string_view objectPath);

    // The bytes of objectPath; nullopt when it is absent, a folder, too large or cannot be read in
    // full.
    std::optional<std::string> Read(std::string_view objectPath);

  private:
    // The platform's part of Open: the file opened if it is a regular file, not yet read.
    static std::unique_ptr<ChmFile> OpenRegularFile(const std::filesystem::path& path);
    ChmFile(int descriptor, std::string archiveName)
        : descriptor_(descriptor), archiveName_(std::move(archiveName)) {}

    int descriptor_;           // the file opened by Open; -1 where the name is used instead
    std::string archiveName_;  // the name chmlib opens in each child: the descriptor's /proc entry
};

// The byte offset into /#STRINGS that /#IVB gives for contextId (its first mapping), or nullopt.
// /#IVB: a little-endian DWORD byte count, then {DWORD context ID, DWORD string offset} pairs; only
// pairs both announced and present are read.
std::optional<std::uint32_t> FindContextStringOffset(std::span<const unsigned char> ivb,
                                                     std::uint32_t contextId);

// The NUL-terminated string at offset in /#STRINGS; nullopt when offset lies outside the table or
// the string has no terminator inside it.
std::optional<std::string> StringAt(std::span<const unsigned char> strings, std::uint32_t offset);

// The object paths to try for a topic named as a help project's [ALIAS] section names it, most
// specific first: the anchor dropped, "\" read as "/", rooted at "/"; then the same with leading
// folders dropped one at a time, since some compilers store absolute build paths
// ("/home/x/help/topics/a.htm" also yields "/topics/a.htm" and "/a.htm").
std::vector<std::string> TopicPathCandidates(std::string_view aliasTarget);

}  // namespace help
