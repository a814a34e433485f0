// Small helpers the benchmarks share: a monotonic clock, medians, and running this same program
// again in another mode as a child process whose output is read back.
#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace bench {

// Seconds on the monotonic clock.
double Now();
// Nanoseconds on the monotonic clock, as passed from a parent to a child in argv.
long long NowNanoseconds();

// The heap policy the device layer sets for itself (freed frame memory kept mapped, up to
// 1 GB), for the reference programs, so that both sides of a comparison run under it.
void KeepFreedMemoryMapped();

// CPU time of this process (all threads, user and system), in seconds.
double CpuSeconds();

double Median(std::vector<double> values);
// Half the interquartile range: how far the middle half of the values lies from the median.
double HalfSpread(std::vector<double> values);

// Samples of two programs, taken in alternating pairs.
struct Pairs {
    std::vector<double> ours, reference;
};
// Takes pairs with `take` (false: a run failed, and the pairs so far are returned) until the
// median difference has moved by less than 2 % of the reference's median over the last three
// pairs, at least `least` and at most `most` pairs, and no new pair after `budgetSeconds`.
template <typename Take> Pairs TakePairs(Take take, int least, int most, double budgetSeconds);

// This process's peak resident set so far, in KiB (VmHWM of /proc/self/status).
long PeakRssKib();

// Runs `argv` (argv[0] a path) with the environment `extra_env` added ("NAME=value" entries),
// waits for it, and returns what it wrote on stdout. `ok` is false if it could not start or did
// not exit with 0. With `quiet`, what it writes on stderr is dropped (a thumbnailer's "texture
// not found" lines, a hundred times over).
std::string RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extra_env, bool& ok, bool quiet = false);

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

template <typename Take> Pairs TakePairs(Take take, int least, int most, double budgetSeconds) {
    Pairs p;
    std::vector<double> differences; // the median difference after each pair
    const double start = Now();
    while (int(p.ours.size()) < most && (p.ours.empty() || Now() - start < budgetSeconds)) {
        double ours = 0, reference = 0;
        if (!take(ours, reference)) break;
        p.ours.push_back(ours);
        p.reference.push_back(reference);
        differences.push_back(Median(p.ours) - Median(p.reference));
        const size_t n = differences.size();
        if (int(n) < least || n < 4) continue;
        const double scale = 0.02 * Median(p.reference);
        bool settled = true;
        for (size_t k = n - 3; k < n; ++k)
            settled = settled && std::abs(differences[k] - differences[k - 1]) <= scale;
        if (settled) break;
    }
    return p;
}

} // namespace bench
