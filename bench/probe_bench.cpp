// How much the probe reads, how long it takes and how much memory it needs on a file of about
// 1 GiB, beside mdbtools' mdb-ver and mdb-tables on the same file. The big file is a real Jet 4
// file with empty data pages appended; a copy of the original serves as the small twin, so that
// equal counts on both show that the probe's reads do not grow with the file.
//
// usage: probe_bench [WORK_FOLDER [SOURCE_JET4_FILE]]   (prints a Markdown report)

#include <fcntl.h>
#include <sys/resource.h>
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
#include <sstream>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/grow_file.h"
#include "projectdb/password.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kPageSize = 4096;  // Jet 4
constexpr std::uint64_t kTargetSize = 1ull << 30;
constexpr int kRuns = 21;

void GrowWithDataPages(const fs::path& file) {
    bench::GrowWithDataPages(file, kTargetSize);
}

struct IoCounters {
    std::uint64_t rchar = 0;  // bytes asked of read-like system calls
    std::uint64_t syscr = 0;  // read-like system calls
};

IoCounters ReadIoCounters() {
    std::ifstream in("/proc/self/io");
    IoCounters counters;
    std::string key;
    std::uint64_t value = 0;
    while (in >> key >> value) {
        if (key == "rchar:") counters.rchar = value;
        if (key == "syscr:") counters.syscr = value;
    }
    return counters;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ProgramRun {
    double medianMs = 0;
    long peakRssKb = 0;
    int exitCode = -1;
};

// Runs `argv` kRuns times with stdout and stderr discarded; wall time per run and the child's peak
// resident set from wait4.
ProgramRun RunProgram(const std::vector<std::string>& argv) {
    ProgramRun result;
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const bench::ChildRun child = bench::RunQuietly(argv);
        times.push_back(child.ms);
        result.peakRssKb = std::max(result.peakRssKb, child.peakRssKb);
        result.exitCode = child.exitCode;
    }
    result.medianMs = Median(times);
    return result;
}

struct TracedReads {
    int calls = 0;
    std::uint64_t bytes = 0;
};

// The read calls `argv` makes on `file`, as strace sees them (-P keeps only that file's calls).
TracedReads TraceReads(const std::vector<std::string>& argv, const fs::path& file,
                       const fs::path& traceFile) {
    std::vector<std::string> traced = {"strace",
                                       "-qq",
                                       "-f",
                                       "-P",
                                       file.string(),
                                       "-e",
                                       "trace=read,pread64,readv,preadv",
                                       "-o",
                                       traceFile.string()};
    traced.insert(traced.end(), argv.begin(), argv.end());
    RunProgram({traced.begin(), traced.end()});
    TracedReads reads;
    std::ifstream in(traceFile);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.rfind(" = ");
        if (equals == std::string::npos) continue;
        ++reads.calls;
        reads.bytes += std::stoull(line.substr(equals + 3));
    }
    return reads;
}

struct ProbeInProcess {
    projectdb::DatabaseState state = -1;
    double medianUs = 0;
    IoCounters io;  // of one probe
    long rssGrowthKb = 0;
};

ProbeInProcess ProbeHere(const fs::path& file) {
    ProbeInProcess result;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    // Reading /proc/self/io costs reads of its own; they are measured once and taken off.
    const IoCounters idle0 = ReadIoCounters();
    const IoCounters idle1 = ReadIoCounters();
    const IoCounters ioBefore = ReadIoCounters();
    result.state = projectdb::GetDatabaseState(file.string());
    const IoCounters ioAfter = ReadIoCounters();
    result.io = {(ioAfter.rchar - ioBefore.rchar) - (idle1.rchar - idle0.rchar),
                 (ioAfter.syscr - ioBefore.syscr) - (idle1.syscr - idle0.syscr)};
    std::vector<double> times;
    for (int run = 0; run < kRuns * 5; ++run) {
        const auto start = Clock::now();
        projectdb::GetDatabaseState(file.string());
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    result.medianUs = Median(times);
    result.rssGrowthKb = after.ru_maxrss - before.ru_maxrss;
    return result;
}

}  // namespace

int main(int argc, char** argv) try {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path source =
        argc > 2 ? fs::path(argv[2]) : fs::path(TRAVIX_JETFILES_DIR) / "jet4/testV2003.mdb";
    const fs::path small = folder / "probe-bench-small.mdb";
    const fs::path big = folder / "probe-bench-1g.mdb";
    fs::create_directories(folder);
    for (const fs::path& target : {small, big}) {
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    }
    const auto growStart = Clock::now();
    GrowWithDataPages(big);
    const double growS = std::chrono::duration<double>(Clock::now() - growStart).count();

    std::cout << "source: " << source.filename().string() << "; big file "
              << fs::file_size(big) / (1024 * 1024) << " MiB (" << fs::file_size(big) / kPageSize
              << " pages, written in " << growS << " s); warm page cache; medians of " << kRuns
              << " runs\n\n";
    std::cout << "| file | what | state/exit | median time | read calls | bytes read | "
                 "peak RSS |\n|---|---|---|---|---|---|---|\n";
    const auto report = [&](const std::string& name, const fs::path& file, bool withMdbtools) {
        const ProbeInProcess here = ProbeHere(file);
        std::cout << "| " << name << " | GetDatabaseState (in process) | " << here.state << " | "
                  << here.medianUs << " us | " << here.io.syscr << " | " << here.io.rchar << " | +"
                  << here.rssGrowthKb << " KiB over " << kRuns * 5 + 1 << " probes |\n";
        std::vector<std::vector<std::string>> programs = {
            {TRAVIX_CLI_PATH, "probe", file.string()}};
        if (withMdbtools) {
            programs.push_back({"mdb-ver", file.string()});
            programs.push_back({"mdb-tables", file.string()});
        }
        for (const auto& program : programs) {
            const ProgramRun run = RunProgram(program);
            const TracedReads reads = TraceReads(program, file, folder / "probe-bench-trace.txt");
            std::string what = fs::path(program[0]).filename().string();
            if (program.size() > 2) what += " " + program[1];
            std::cout << "| " << name << " | " << what << " | " << run.exitCode << " | "
                      << run.medianMs << " ms | " << reads.calls << " | " << reads.bytes << " | "
                      << run.peakRssKb << " KiB |\n";
        }
    };
    report("original", small, true);
    report("1 GiB", big, true);
    // A protected file takes both attempts: the second open is the one that succeeds.
    projectdb::SetStandardPassword(big.string());
    report("1 GiB, standard password", big, false);
    fs::remove(big);
    fs::remove(small);
    fs::remove(folder / "probe-bench-trace.txt");
    return 0;
} catch (const std::exception& error) {
    std::cerr << "probe_bench: " << error.what() << '\n';
    return 1;
}
