// Projects with many languages, side by side with the tools a user would compare them to:
// travix-cli show of 10,000 languages against mdb-export of TcfgLanguages, and a copy-export with
// 1,000 languages (levels, every release mark, the column added) against cp plus sync of the file.
// Runs alternate between the two commands so that both see the same machine load.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "jet/byte_reader.h"
#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/file_io.h"
#include "jet/header.h"
#include "jet/page_allocator.h"
#include "jet/page_batch.h"
#include "jet/page_channel.h"
#include "jet/table_definition.h"
#include "jet/table_scan.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 11;
// LCIDs the platform names; a large project repeats them, as real ones repeat languages.
constexpr std::int32_t kLcids[] = {1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034,
                                   1035, 1036, 1037, 1038, 1040, 1041, 1042, 1043, 1044, 1045,
                                   1046, 1048, 1049, 1050, 1051, 1053, 1055, 1057, 1058, 1060,
                                   2052, 2057, 2070, 3082, 3084, 4100, 5124, 1061, 1062, 1063};

// A copy of a checked-in project with `languages` records in TcfgLanguages: its first record
// repeated with other LCIDs on new data pages that the table's usage map records, written through
// the engine's own page layer (the engine has no row inserts of its own).
fs::path Project(const fs::path& folder, const std::string& name, const std::string& from,
                 int languages) {
    const fs::path file = folder / name;
    fs::copy_file(fs::path(TRAVIX_JETFILES_DIR) / "projects" / from, file,
                  fs::copy_options::overwrite_existing);
    auto io = jet::openFile(file.string(), {});
    std::vector<std::uint8_t> probe(jet::Header::kProbeLength);
    io->readAt(0, probe);
    const jet::Header header = jet::Header::parse(probe, file.string());
    jet::PageChannel pages(std::move(io), header.format(), header.databaseKey());
    const jet::Catalog catalog = jet::Catalog::read(pages, header.codePage());
    const std::uint32_t owner = catalog.findTable("TcfgLanguages")->tablePage();
    const jet::TableDefinition def = jet::TableDefinition::read(pages, owner, header.codePage());
    jet::TableScan scan(pages, def);
    if (!scan.next()) throw std::runtime_error(from + " has no languages");
    const jet::Bytes model(scan.row().begin(), scan.row().end());
    // A Jet 4 row starts with its column count (2 bytes), then the fixed-length area.
    const std::size_t lcidAt = 2 + def.columns()[def.columnIndex("LCID")].fixedOffset;

    jet::PageBatch batch(pages);
    const jet::RowPointer map = def.usageMap();
    int written = 0;
    while (written < languages) {
        const std::uint32_t page = jet::PageAllocator(batch).allocate({&map, 1});
        std::vector<std::uint8_t>& bytes = batch.edit(page, jet::PageBatch::Stage::NewPage);
        jet::initDataPage(bytes, header.format(), owner);
        std::vector<jet::PageRow> rows;
        while (written < languages) {
            jet::Bytes row = model;
            jet::putU32(row, lcidAt,
                        static_cast<std::uint32_t>(kLcids[written % std::size(kLcids)]));
            rows.push_back({0, row});
            if (rows.size() > 200 || !jet::writePageRows(bytes, header.format(), rows)) {
                rows.pop_back();
                break;
            }
            ++written;
        }
        jet::writePageRows(bytes, header.format(), rows);
    }
    jet::PageAllocator(batch).commit();
    return file;
}

struct Timing {
    std::vector<double> ms;
    long peakRssKb = 0;
    int exitCode = -1;
    double median() const {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

// One run of `argv` with its output discarded, added to `timing`.
void RunOnce(const std::vector<std::string>& argv, Timing& timing) {
    const bench::ChildRun run = bench::RunQuietly(argv);
    timing.ms.push_back(run.ms);
    timing.peakRssKb = std::max(timing.peakRssKb, run.peakRssKb);
    timing.exitCode = run.exitCode;
}

void Compare(const std::string& what, const std::vector<std::string>& ours,
             const std::string& theirsName, const std::vector<std::string>& theirs) {
    Timing a;
    Timing b;
    for (int run = 0; run < kRuns; ++run) {
        RunOnce(ours, a);
        RunOnce(theirs, b);
    }
    std::cout << "| " << what << " | travix-cli | " << a.exitCode << " | " << a.median() << " ms | "
              << a.peakRssKb << " KiB | " << a.median() / b.median() << " |\n"
              << "| " << what << " | " << theirsName << " | " << b.exitCode << " | " << b.median()
              << " ms | " << b.peakRssKb << " KiB | 1 |\n";
}

}  // namespace

int main(int argc, char** argv) try {
    const fs::path folder =
        (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "travix-languages-bench";
    fs::create_directories(folder);
    const fs::path shown = Project(folder, "show10k.kxs", "project.kxs", 10000);
    const fs::path exported = Project(folder, "export1k.kxs", "no-release-column.kxs", 1000);
    const fs::path target = folder / "target.kxs";
    const fs::path copy = folder / "copy.kxs";

    // Every other LCID released, and one level per component.
    std::string releases;
    for (std::size_t i = 0; i < std::size(kLcids); i += 2)
        releases += (releases.empty() ? "" : ",") + std::to_string(kLcids[i]);
    std::vector<std::string> exportArgs = {TRAVIX_CLI_PATH, "export",    exported.string(),
                                           target.string(), "--release", releases};
    for (const char* key :
         {"KXAlarmeditor", "KXArchiveditor", "KXOPCEditor", "KXIndextexteditor", "KXFormulaEditor",
          "KXRecipeEditor", "KXUserAdminEditor", "KX4VariableEditor"})
        exportArgs.insert(exportArgs.end(), {"--level", std::string(key) + "=3"});

    std::cout << "| case | program | exit | median time | peak RSS | ratio |\n"
              << "|---|---|---|---|---|---|\n";
    Compare("show, 10,000 languages (" + std::to_string(fs::file_size(shown) / 1024) + " KiB)",
            {TRAVIX_CLI_PATH, "show", shown.string()}, "mdb-export TcfgLanguages",
            {"mdb-export", shown.string(), "TcfgLanguages"});
    Compare(
        "copy-export, 1,000 languages (" + std::to_string(fs::file_size(exported) / 1024) + " KiB)",
        exportArgs, "cp + sync",
        {"sh", "-c", "cp \"$0\" \"$1\" && sync \"$1\"", exported.string(), copy.string()});
    // "keep" leaves the projects for a profiler.
    if (argc < 3 || std::string(argv[2]) != "keep") fs::remove_all(folder);
    return 0;
} catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
}
