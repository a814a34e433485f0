// The machine's description for the results file: /proc for the processor and the load, a
// throwaway GL context in a forked child for the renderer.
#include "machine.h"

#include <SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

// The value of the first "key<tabs>: value" line of /proc/cpuinfo.
std::string CpuInfoField(const std::string& cpuinfo, const std::string& key) {
    std::istringstream lines(cpuinfo);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        name.erase(name.find_last_not_of(" \t") + 1);
        if (name == key) return line.substr(std::min(line.size(), colon + 2));
    }
    return {};
}

std::string ProcessorLine() {
    std::ifstream in("/proc/cpuinfo");
    std::stringstream text;
    text << in.rdbuf();
    const std::string cpuinfo = text.str();
    std::string flags = " ";
    flags += CpuInfoField(cpuinfo, "flags");
    flags += ' ';
    const auto has = [&](const std::string& flag) {
        return flags.find(' ' + flag + ' ') != std::string::npos;
    };
    const char* widest = has("avx512f") ? "AVX-512"
                         : has("avx2")  ? "AVX2"
                         : has("avx")   ? "AVX"
                                        : "SSE";
    const std::string model = CpuInfoField(cpuinfo, "model name");
    return "# processor: " + (model.empty() ? std::string("unknown") : model) + " (family " +
           CpuInfoField(cpuinfo, "cpu family") + ", model " + CpuInfoField(cpuinfo, "model") +
           "), " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, widest vectors " +
           widest;
}

// The renderer and version strings of an OpenGL 3.3 core context on SDL's offscreen driver,
// as the benchmarks' children make theirs, one per line; empty if there is none. Made in a
// child so that this process keeps no GL state.
std::string GlStrings() {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {};
    }
    if (pid == 0) {
        close(fds[0]);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (SDL_Init(SDL_INIT_VIDEO) != 0) _exit(1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_Window* window = SDL_CreateWindow("machine", 0, 0, 16, 16, SDL_WINDOW_OPENGL);
        if (!window || !SDL_GL_CreateContext(window)) _exit(1);
        const auto text = [](GLenum name) {
            const auto* s = reinterpret_cast<const char*>(glGetString(name));
            return std::string(s ? s : "");
        };
        const std::string out = text(GL_RENDERER) + "\n" + text(GL_VERSION) + "\n";
        (void)!write(fds[1], out.data(), out.size());
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : std::string();
}

std::string GlLine() {
    const std::string strings = GlStrings();
    if (strings.empty()) return "# gl: no OpenGL 3.3 context on SDL's offscreen driver";
    const size_t end = strings.find('\n');
    const std::string renderer = strings.substr(0, end);
    const std::string version = strings.substr(end + 1, strings.find('\n', end + 1) - end - 1);
    std::string line = "# gl: " + renderer + "; OpenGL " + version;
    // llvmpipe names its vector width (LP_NATIVE_VECTOR_WIDTH) in its renderer string, and
    // rasterizes on one thread per core unless LP_NUM_THREADS says otherwise.
    if (renderer.find("llvmpipe") != std::string::npos) {
        const char* threads = std::getenv("LP_NUM_THREADS");
        line += "; rasterizer threads: ";
        line += threads ? std::string(threads) + " (LP_NUM_THREADS)"
                        : std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " (one per core)";
    }
    return line;
}

std::string LoadLine(const std::string& benchmark) {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return "# load at " + benchmark + "'s start: " + one + " " + five + " " + fifteen +
           " (1, 5, 15 minute averages)";
}

// The part of a header line before its value: lines with the same key replace each other.
std::string Key(const std::string& line) {
    return line.substr(0, line.find(':'));
}

} // namespace

std::vector<std::string> MachineLines(const std::string& benchmark) {
    return {ProcessorLine(), GlLine(), LoadLine(benchmark)};
}

void RecordMachine(const std::string& path, const std::string& benchmark) {
    const std::vector<std::string> fresh = MachineLines(benchmark);
    for (const std::string& line : fresh)
        std::printf("%s\n", line.c_str());
    std::printf("\n");
    if (path.empty()) return;
    std::vector<std::string> header, figures;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        if (line[0] != '#') {
            figures.push_back(line);
        } else if (std::none_of(fresh.begin(), fresh.end(),
                                [&](const std::string& f) { return Key(f) == Key(line); })) {
            header.push_back(line);
        }
    }
    in.close();
    // The processor and GL lines first, then every benchmark's load line in the order they ran.
    std::vector<std::string> lines(fresh.begin(), fresh.begin() + 2);
    for (const std::string& line : header)
        if (line.rfind("# load", 0) == 0) lines.push_back(line);
    lines.push_back(fresh[2]);
    std::ofstream out(path, std::ios::trunc);
    for (const std::vector<std::string>* part : {&lines, &figures})
        for (const std::string& line : *part)
            out << line << '\n';
}

} // namespace bench
