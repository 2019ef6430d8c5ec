// What an export costs beside copying the file and syncing it: travix-cli export of a small, a
// 100 MiB and a 1 GiB project, against `cp` of the same file followed by `sync` of the copy (`cp
// --reflink=never` where the file system clones, so that it copies), side by side in one run (the
// two alternate, so that both meet the same load). The project is the checked-in
// tests/data/projects/project.kxs (TcfgLanguages and three languages, which mdbtools and mdb-reader
// are held to in the tests); the big ones are that file grown with empty data pages. With --reflink
// (as root) only the 1 GiB in-place export runs, on an XFS with reflink that the bench makes in an
// image in WORK_FOLDER and loop-mounts, and then in WORK_FOLDER.
//
// usage: apply_bench [--reflink] [WORK_FOLDER]   (prints a Markdown report)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/grow_file.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using bench::GrowWithDataPages;

using Run = bench::ChildRun;

Run RunOnce(const std::vector<std::string>& argv) {
    return bench::RunQuietly(argv);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Comparison {
    double exportMs = 0, copyMs = 0;  // medians
    double bestExportMs = 0, bestCopyMs = 0;
    long exportRssKb = 0;
    int exitCode = 0;
};

// `runs` rounds of the export and of cp + sync, taking turns at going first so that neither finds
// the page cache always fuller; each writes a file that is removed before the round (the in-place
// export rewrites `source` itself).
Comparison Compare(const fs::path& source, const fs::path& folder, bool inPlace, int runs,
                   const std::vector<std::string>& copyCommand) {
    const fs::path exported = folder / "exported.kxs";
    const fs::path copied = folder / "copied.kxs";
    std::vector<std::string> exportArgs = {TRAVIX_CLI_PATH, "export", source.string()};
    if (!inPlace) exportArgs.push_back(exported.string());
    exportArgs.insert(exportArgs.end(),
                      {"--level", "KXAlarmeditor=1", "--release", "1031", "--password", "set"});
    Comparison result;
    std::vector<double> exportTimes, copyTimes;
    for (int round = 0; round < runs; ++round) {
        fs::remove(exported);
        fs::remove(copied);
        ::sync();  // the removals' own write-back is nobody's cost
        const auto copy = [&] {
            std::vector<std::string> cpArgs = copyCommand;
            cpArgs.insert(cpArgs.end(), {source.string(), copied.string()});
            const Run cp = RunOnce(cpArgs);
            const Run sync = RunOnce({"sync", copied.string()});
            copyTimes.push_back(cp.ms + sync.ms);
        };
        if (round % 2 == 0) copy();
        ::sync();
        const Run run = RunOnce(exportArgs);
        exportTimes.push_back(run.ms);
        result.exportRssKb = std::max(result.exportRssKb, run.peakRssKb);
        result.exitCode = std::max(result.exitCode, run.exitCode);
        ::sync();
        if (round % 2 == 1) copy();
        // In place the source keeps its password after the first round: the next ones clear it.
        if (inPlace) exportArgs.back() = exportArgs.back() == "set" ? "clear" : "set";
    }
    fs::remove(exported);
    fs::remove(copied);
    result.exportMs = Median(exportTimes);
    result.copyMs = Median(copyTimes);
    result.bestExportMs = *std::min_element(exportTimes.begin(), exportTimes.end());
    result.bestCopyMs = *std::min_element(copyTimes.begin(), copyTimes.end());
    return result;
}

std::string FileSystemOf(const fs::path& folder) {
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) return "?";
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0xEF53:
            return "ext4";
        case 0x58465342:
            return "xfs";
        case 0x9123683E:
            return "btrfs";
        case 0x01021994:
            return "tmpfs";
        default:
            return "other";
    }
}

// A reflink XFS in a sparse image file, loop-mounted while it lives.
class LoopXfs {
  public:
    explicit LoopXfs(const fs::path& folder) : image_(folder / "xfs.img"), point_(folder / "xfs") {
        fs::create_directories(point_);
        std::ofstream(image_).close();
        fs::resize_file(image_, 4ull << 30);
        if (RunOnce({"mkfs.xfs", "-q", "-f", "-m", "reflink=1", image_.string()}).exitCode != 0 ||
            RunOnce({"mount", "-o", "loop", image_.string(), point_.string()}).exitCode != 0) {
            fs::remove(image_);
            throw std::runtime_error("cannot make and loop-mount an XFS image (root, xfsprogs)");
        }
    }
    ~LoopXfs() {
        RunOnce({"umount", point_.string()});
        fs::remove(point_);
        fs::remove(image_);
    }
    const fs::path& point() const { return point_; }

  private:
    fs::path image_, point_;
};

struct Case {
    const char* name;
    std::uint64_t size;  // 0: the fixture project as built
    bool inPlace;
    int runs;
};

void Report(const fs::path& small, const fs::path& folder, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        const fs::path source = folder / "source.kxs";
        fs::copy_file(small, source, fs::copy_options::overwrite_existing);
        if (c.size) GrowWithDataPages(source, c.size);
        const std::string fileSystem = FileSystemOf(folder);
        const bool clones = fileSystem == "xfs" || fileSystem == "btrfs";
        const Comparison result = Compare(source, folder, c.inPlace, c.runs,
                                          clones ? std::vector<std::string>{"cp", "--reflink=never"}
                                                 : std::vector<std::string>{"cp"});
        std::cout << "| " << fileSystem << " | " << c.name << " (" << fs::file_size(source) / 1024
                  << " KiB) | " << (c.inPlace ? "in place" : "copy") << " | " << c.runs << " | "
                  << result.exportMs << " ms | " << result.copyMs << " ms | "
                  << result.exportMs / result.copyMs << " | " << result.bestExportMs << " ms | "
                  << result.bestCopyMs << " ms | " << result.bestExportMs / result.bestCopyMs
                  << " | " << result.exitCode << " | " << result.exportRssKb << " KiB |\n";
        fs::remove(source);
    }
}

}  // namespace

int main(int argc, char** argv) try {
    const bool reflink = argc > 1 && std::string(argv[1]) == "--reflink";
    const int folderArg = reflink ? 2 : 1;
    const fs::path folder =
        argc > folderArg ? fs::path(argv[folderArg]) : fs::temp_directory_path() / "apply-bench";
    fs::create_directories(folder);
    const fs::path small = folder / "small.kxs";
    fs::copy_file(fs::path(TRAVIX_JETFILES_DIR) / "projects" / "project.kxs", small,
                  fs::copy_options::overwrite_existing);
    fs::permissions(small, fs::perms::owner_read | fs::perms::owner_write);

    std::cout << "| file system | project | export | runs | median export | median cp + sync | "
                 "ratio | best export | best cp + sync | ratio | export exit | export peak RSS |\n"
                 "|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    const Case inPlace{"1 GiB", 1ull << 30, true, 7};
    if (reflink) {
        {
            const LoopXfs xfs(folder);
            Report(small, xfs.point(), {inPlace});
        }
        Report(small, folder, {inPlace});
    } else {
        Report(small, folder,
               {Case{"small", 0, false, 31}, Case{"100 MiB", 100ull << 20, false, 11}, inPlace,
                Case{"1 GiB", 1ull << 30, false, 5}});
    }
    fs::remove(small);
    return 0;
} catch (const std::exception& error) {
    std::cerr << "apply_bench: " << error.what() << '\n';
    return 1;
}
