// Clocks, medians, peak memory, child processes and the results file for the benchmarks.
#include "bench_util.h"

#include <malloc.h>
#include <sys/resource.h>

#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace bench {

double Now() {
    return static_cast<double>(NowNanoseconds()) * 1e-9;
}

long long NowNanoseconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void KeepFreedMemoryMapped() {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double HalfSpread(std::vector<double> values) {
    if (values.size() < 2) return 0;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        const double x = q * double(values.size() - 1);
        const size_t i = size_t(x);
        const double f = x - double(i);
        return i + 1 < values.size() ? values[i] * (1 - f) + values[i + 1] * f : values[i];
    };
    return (at(0.75) - at(0.25)) / 2;
}

long PeakRssKib() {
    // VmHWM, not getrusage's ru_maxrss: on Linux ru_maxrss survives exec, so a child started by
    // a parent that holds a large model would report the parent's peak.
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(status);
    return kib;
}

std::string RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& extra_env, bool& ok, bool quiet) {
    ok = false;
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {};
    }
    if (pid == 0) {
        dup2(fds[1], 1);
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, 2);
        }
        close(fds[0]);
        close(fds[1]);
        for (const std::string& e : extra_env)
            putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return out;
}

std::string Field(const std::string& text, const std::string& key) {
    const std::string tag = key + "=";
    size_t at = 0;
    while ((at = text.find(tag, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == ' ' || text[at - 1] == '\n') {
            const size_t start = at + tag.size();
            const size_t end = text.find_first_of(" \n", start);
            return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
        at += tag.size();
    }
    return {};
}

std::string SelfPath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return path;
}

bool RecordFigures(const std::string& path, const std::vector<Figure>& figures) {
    std::vector<std::string> kept;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const std::string name = line.substr(0, line.find('\t'));
        const bool replaced = std::any_of(figures.begin(), figures.end(),
                                          [&](const Figure& f) { return f.name == name; });
        if (!replaced && !line.empty()) kept.push_back(line);
    }
    in.close();
    std::ofstream out(path, std::ios::trunc);
    for (const std::string& line : kept)
        out << line << '\n';
    for (const Figure& f : figures) {
        char values[64];
        std::snprintf(values, sizeof values, "%.3f\t%.3f", f.ours, f.reference);
        out << f.name << '\t' << f.unit << '\t' << values << '\n';
    }
    return static_cast<bool>(out);
}

} // namespace bench
