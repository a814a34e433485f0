// Small helpers the benchmarks share: a monotonic clock, medians, and running this same program
// again in another mode as a child process whose output is read back.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Seconds on the monotonic clock.
double Now();
// Nanoseconds on the monotonic clock, as passed from a parent to a child in argv.
long long NowNanoseconds();

// The heap policy the device layer sets for itself (freed frame memory kept mapped, up to
// 64 MB), for the reference programs, so that both sides of a comparison run under it.
void KeepFreedMemoryMapped();

// CPU time of this process (all threads, user and system), in seconds.
double CpuSeconds();

double Median(std::vector<double> values);

// This process's peak resident set so far, in KiB (VmHWM of /proc/self/status).
long PeakRssKib();

// Runs `argv` (argv[0] a path) with the environment `extra_env` added ("NAME=value" entries),
// waits for it, and returns what it wrote on stdout. `ok` is false if it could not start or did
// not exit with 0.
std::string RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extra_env, bool& ok);

// The value after "key=" in text written as "key=value ..." lines or words; empty if absent.
std::string Field(const std::string& text, const std::string& key);

// One figure of bench-results.tsv: `name unit xofview reference`, tab-separated.
struct Figure {
    std::string name, unit;
    double ours = 0, reference = 0;
};

// Writes `figures` into the tab-separated results file at `path`, replacing lines of the same
// names and keeping the other benchmark's lines. Returns false if the file cannot be written.
bool RecordFigures(const std::string& path, const std::vector<Figure>& figures);

// The path of the running executable.
std::string SelfPath();

} // namespace bench
