// Frame and start-up benchmarks on SDL's offscreen driver.
//
// Frames: the viewer's own start-up and frames (StartViewer, then UpdateControls and DrawFrame
// as the viewer's loop runs them) with presentation pacing off, against a minimal OpenGL 3.3
// program that draws the same triangles from one vertex buffer and one index buffer with a
// trivial lit shader, through the same world-view-projection, into a window of the viewer's
// back buffer size. Each runs in its own process; the processes alternate; medians.
//
// Start-up: the parent takes the monotonic time just before fork and exec and passes it in
// argv; the child stops the clock when its first Present (or SDL_GL_SwapWindow) returns.
// The viewer keeps its default pacing here, as a user starts it.
#include "bench_util.h"
#include "machine.h"
#include "grid_model.h"
#include "skinned_model.h"

#include "app/viewer.h"
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "d3d9/present_pacing.h"
#include "render/frame.h"
#include "scene/animated_model.h"
#include "scene/mesh_model.h"
#include "testing/recording_device.h"

#include <SDL.h>
#include <dirent.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <unistd.h>
#include <windows.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

// Every allocation of the program's own C++ code is counted, so a frame that allocates shows.
std::atomic<long> cppAllocations{0};

void* operator new(std::size_t size) {
    ++cppAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int kWarmUpFrames = 10;
constexpr int kBatches = 5;

// ---- The viewer -------------------------------------------------------------------------

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void ViewerFrame() {
    PumpMessages();
    UpdateControls();
    DrawFrame();
}

// The combined world-view-projection of the model's draw, Direct3D row-vector convention.
D3DXMATRIX ModelTransform() {
    D3DXMATRIX world, view, projection, all;
    viewer.device->GetTransform(D3DTS_WORLD, &world);
    viewer.device->GetTransform(D3DTS_VIEW, &view);
    viewer.device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXMatrixMultiply(&all, &world, &view);
    D3DXMatrixMultiply(&all, &all, &projection);
    return all;
}

// Runs `frame` in batches, finishing GL's work at the end of each; median milliseconds.
template <class Frame> double TimeFrames(int frames, Frame frame) {
    for (int i = 0; i < kWarmUpFrames; ++i)
        frame();
    glFinish();
    const int per_batch = frames / kBatches > 0 ? frames / kBatches : 1;
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const double start = bench::Now();
        for (int i = 0; i < per_batch; ++i)
            frame();
        glFinish();
        batches.push_back((bench::Now() - start) * 1e3 / per_batch);
    }
    return bench::Median(batches);
}

// Direct3D matrices as comma-separated floats that read back exactly.
void PrintMatrices(std::initializer_list<D3DTRANSFORMSTATETYPE> which) {
    const char* separator = "";
    for (D3DTRANSFORMSTATETYPE t : which) {
        D3DXMATRIX m;
        viewer.device->GetTransform(t, &m);
        for (int i = 0; i < 16; ++i, separator = ",")
            std::printf("%s%.9g", separator, m.m[i / 4][i % 4]);
    }
}

int ViewerFrames(const char* folder, const char* model, int frames, const char* shot) {
    if (chdir(folder) != 0) return 1;
    d3d9::SetPresentPacing(false);
    StartViewer(model);
    // The pointer rests mid-window: from a last position of x = 400 its first move turns the
    // view onto the model, as in the README's picture. From x = 0 the view turns away and the
    // viewer would be timed drawing almost nothing of it.
    viewer.lastMouseX = 400;
    const double ms = TimeFrames(frames, ViewerFrame);
    // The model's draw leaves its transforms on the device; the HUD and the filter quad use
    // their own (pretransformed) vertices. The view is steady after the warm-up frames.
    const D3DXMATRIX transform = ModelTransform();
    IDirect3DSurface9* back = nullptr;
    D3DSURFACE_DESC desc{};
    if (viewer.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back) == D3D_OK) {
        back->GetDesc(&desc);
        // The last frame's back buffer, as the screenshot tool saves it.
        if (*shot && D3DXSaveSurfaceToFileA(shot, D3DXIFF_PNG, back, nullptr, nullptr) != D3D_OK)
            return 1;
        back->Release();
    }
    std::printf("frame_ms=%.4f width=%u height=%u faces=%lu transform=", ms, desc.Width,
                desc.Height,
                viewer.model && viewer.model->mesh ? viewer.model->mesh->GetNumFaces() : 0ul);
    for (int i = 0; i < 16; ++i)
        std::printf("%s%.9g", i ? "," : "", transform.m[i / 4][i % 4]);
    std::printf(" matrices=");
    PrintMatrices({D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION});
    // What the yardstick needs to draw the same filter quad, light and HUD.
    const ViewerState& v = viewer;
    std::printf(" state=%d,%d,%d,%d,%.9g,%.9g,%.9g,%d,%d,%d\n", v.filterRed, v.filterGreen,
                v.filterBlue, v.filterAlpha, v.ambientRed, v.ambientGreen, v.ambientBlue,
                v.ambientRedPercent, v.ambientGreenPercent, v.ambientBluePercent);
    std::fflush(stdout);
    _exit(0); // the figure is out; shutdown is not what is measured
}

// The skinned tube fitted in view, drawn still or playing its set: the median frame, and the
// C++ allocations a timed frame makes.
int ViewerAnimatedFrames(const char* folder, const char* model, int frames, bool play) {
    if (chdir(folder) != 0) return 1;
    d3d9::SetPresentPacing(false);
    StartViewer(model, true);
    if (play && !PlayAnimationSet("")) return 1;
    for (int i = 0; i < kWarmUpFrames; ++i)
        ViewerFrame();
    const long before = cppAllocations;
    const double ms = TimeFrames(frames, ViewerFrame);
    const long made = cppAllocations - before;
    std::printf("frame_ms=%.4f allocations_per_frame=%.2f\n", ms,
                double(made) / double(frames + kWarmUpFrames));
    std::fflush(stdout);
    _exit(0);
}

// The viewer left running on the demo at its default pacing: CPU time (all threads) over wall
// time, after start-up.
int ViewerIdle(const char* folder, double seconds) {
    if (chdir(folder) != 0) return 1;
    StartViewer("op.x");
    ViewerFrame();
    const double cpuStart = bench::CpuSeconds(), start = bench::Now();
    while (bench::Now() - start < seconds)
        ViewerFrame();
    const double share = (bench::CpuSeconds() - cpuStart) / (bench::Now() - start);
    std::printf("cpu_percent=%.2f\n", share * 100.0);
    std::fflush(stdout);
    _exit(0);
}

// A whole short session as a user's ends (Esc): the first frame, then the viewer's own
// shutdown and a normal exit. Mesa writes the variants it compiled to its shader cache on a
// thread of its own; a process that leaves with _exit right after its first frame loses the
// last of them, so the warm figure's filling run is a session, not a start-up.
int ViewerSession(const char* folder) {
    if (chdir(folder) != 0) return 1;
    StartViewer("op.x");
    ViewerFrame();
    ShutdownViewer();
    return 0;
}

int ViewerStartup(const char* folder, long long started) {
    if (chdir(folder) != 0) return 1;
    StartViewer("op.x");
    ViewerFrame();
    const double ms = static_cast<double>(bench::NowNanoseconds() - started) * 1e-6;
    std::printf("startup_ms=%.3f\n", ms);
    std::fflush(stdout);
    _exit(0);
}

// ---- The minimal program ------------------------------------------------------------------

struct Triangles {
    std::vector<float> vertices; // position, normal
    std::vector<uint32_t> indices;
};

// The model's triangles, as D3DX merges them (loaded onto the recording device: no GL here).
bool ReadTriangles(const char* path, Triangles& out) {
    xoftest::RecordingDevice* device = xoftest::CreateRecordingDevice();
    ID3DXMesh* mesh = nullptr;
    if (D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, xoftest::AsDevice(device), nullptr, nullptr,
                           nullptr, nullptr, &mesh) != D3D_OK)
        return false;
    const DWORD stride = mesh->GetNumBytesPerVertex(), count = mesh->GetNumVertices();
    const bool normals = (mesh->GetFVF() & D3DFVF_NORMAL) != 0;
    void* data = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
    for (DWORD v = 0; v < count; ++v) {
        const auto* f =
            reinterpret_cast<const float*>(static_cast<const uint8_t*>(data) + v * stride);
        out.vertices.insert(out.vertices.end(), {f[0], f[1], f[2]});
        if (normals) {
            out.vertices.insert(out.vertices.end(), {f[3], f[4], f[5]});
        } else {
            out.vertices.insert(out.vertices.end(), {0.0f, 1.0f, 0.0f});
        }
    }
    mesh->UnlockVertexBuffer();
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
    for (DWORD i = 0; i < mesh->GetNumFaces() * 3; ++i)
        out.indices.push_back(wide ? static_cast<const uint32_t*>(data)[i]
                                   : static_cast<const uint16_t*>(data)[i]);
    mesh->UnlockIndexBuffer();
    mesh->Release();
    return true;
}

const char kVertexShader[] = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
uniform mat4 transform;
out vec3 shade;
void main() {
    vec4 p = transform * vec4(position, 1.0);
    gl_Position = vec4(p.x, p.y, 2.0 * p.z - p.w, p.w);
    float light = max(dot(normalize(normal), normalize(vec3(0.3, 0.8, -0.5))), 0.0);
    shade = vec3(0.2) + vec3(0.8) * light;
})";

const char kFragmentShader[] = R"(#version 330 core
in vec3 shade;
out vec4 colour;
void main() { colour = vec4(shade, 1.0); })";

GLuint Compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

struct MinimalWindow {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

MinimalWindow OpenMinimalWindow(int width, int height) {
    bench::KeepFreedMemoryMapped();
    MinimalWindow w;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return w;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    w.window = SDL_CreateWindow("minimal", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                height, SDL_WINDOW_OPENGL);
    if (w.window) w.context = SDL_GL_CreateContext(w.window);
    return w;
}

int MinimalFrames(const char* path, int frames, int width, int height, const char* transform) {
    Triangles t;
    if (!ReadTriangles(path, t)) return 1;
    float matrix[16];
    for (int i = 0; i < 16; ++i) {
        matrix[i] = std::strtof(transform, const_cast<char**>(&transform));
        if (*transform == ',') ++transform;
    }
    MinimalWindow w = OpenMinimalWindow(width, height);
    if (!w.context) return 1;
    SDL_GL_SetSwapInterval(0);
    const GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(program);
    GLuint vao, buffers[2];
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(t.vertices.size() * 4), t.vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(t.indices.size() * 4),
                 t.indices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 24, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 24, reinterpret_cast<void*>(12));
    glUseProgram(program);
    // A row-major Direct3D matrix read column-major is its transpose: column vectors work.
    glUniformMatrix4fv(glGetUniformLocation(program, "transform"), 1, GL_FALSE, matrix);
    glEnable(GL_DEPTH_TEST);
    // Direct3D's default culling (counter-clockwise on screen, y down) is GL's back-face culling
    // of counter-clockwise front faces in y-up device coordinates: the same triangles are drawn.
    glEnable(GL_CULL_FACE);
    glViewport(0, 0, width, height);
    const auto count = static_cast<GLsizei>(t.indices.size());
    const double ms = TimeFrames(frames, [&] {
        glClearColor(0.72f, 0.64f, 0.24f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
        SDL_GL_SwapWindow(w.window);
    });
    std::printf("frame_ms=%.4f faces=%zu\n", ms, t.indices.size() / 3);
    std::fflush(stdout);
    _exit(0);
}

int MinimalStartup(int width, int height, long long started) {
    MinimalWindow w = OpenMinimalWindow(width, height);
    if (!w.context) return 1;
    glClearColor(0.72f, 0.64f, 0.24f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(w.window);
    const double ms = static_cast<double>(bench::NowNanoseconds() - started) * 1e-6;
    std::printf("startup_ms=%.3f\n", ms);
    std::fflush(stdout);
    _exit(0);
}

// ---- The driver ---------------------------------------------------------------------------

const std::vector<std::string> kEnvironment = {"SDL_VIDEODRIVER=offscreen",
                                               "SDL_AUDIODRIVER=dummy"};

struct Options {
    int grid = 700;
    int runs = 3;
    int frames = 100;    // per batch set on the demo
    int gridFrames = 10; // the grid's frames take 50-300 ms each
    int tubeRings = 200; // the animated model: rings x sides vertices
    int tubeSides = 200;
    int startups = 5;
    double idleSeconds = 10;
    std::string data = XOF_BENCH_DATA_DIR;
    std::string demo = XOF_DEMO_DIR;
    std::string results = XOF_BENCH_RESULTS;
    std::string xcorpus = XOF_XCORPUS_DIR;
    std::string shot = XOF_SHOT_PATH;
};

// No figure takes a new pair after this long.
constexpr double kPairBudgetSeconds = 40;

struct Child {
    std::string out;
    bool ok = false;
};

Child RunProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& extraEnvironment = {}, bool quiet = false) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> environment = kEnvironment;
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    Child c;
    c.out = bench::RunChild(argv, environment, c.ok, quiet);
    return c;
}

std::string Run(const std::vector<std::string>& args,
                const std::vector<std::string>& extraEnvironment = {}) {
    const Child c = RunProgram(bench::SelfPath(), args, extraEnvironment);
    return c.ok ? c.out : std::string();
}

// The yardstick: bench/same_frame beside this program.
std::string SameFramePath() {
    const std::string self = bench::SelfPath();
    return self.substr(0, self.rfind('/') + 1) + "same_frame";
}

// One line of bench-results.tsv (name, unit, ours, reference), appended: the load benchmark
// writes its lines to the same file.
void Record(const Options& o, const char* name, const char* unit, double ours, double reference) {
    if (o.results.empty()) return;
    if (FILE* f = std::fopen(o.results.c_str(), "a")) {
        std::fprintf(f, "%s\t%s\t%.4g\t%.4g\n", name, unit, ours, reference);
        std::fclose(f);
    }
}

// The viewer's back buffer size, as its first frame run reported it: the minimal programs open
// a window of that size.
std::string viewer_width = "900", viewer_height = "690";

// How far the pairs' own ratios (ours over the reference) spread about their median.
double RatioSpread(const bench::Pairs& p) {
    std::vector<double> ratios;
    for (size_t i = 0; i < p.ours.size(); ++i)
        ratios.push_back(p.ours[i] / p.reference[i]);
    return bench::HalfSpread(ratios);
}

// The viewer against the yardstick (the same frame, drawn directly) and against the minimal
// program (the bare triangles), in alternating runs until the median difference settles;
// false if the yardstick's frame is not the viewer's.
bool CompareFrames(const Options& o, const std::string& name, const std::string& key,
                   const std::string& folder, const std::string& model, int frames, double goal) {
    std::vector<double> bare;
    std::string faces, size, match;
    bool same = true;
    const std::string shot = "/tmp/xofview-frame-bench-" + std::to_string(getpid()) + ".png";
    const bench::Pairs p = bench::TakePairs(
        [&](double& ours, double& reference) {
            const std::string v =
                Run({"--viewer-frames", folder, model, std::to_string(frames), shot});
            if (v.empty()) {
                std::printf("%-14s the viewer failed\n", name.c_str());
                return same = false;
            }
            const Child y = RunProgram(SameFramePath(), {folder, model, std::to_string(frames),
                                                         bench::Field(v, "matrices"),
                                                         bench::Field(v, "state"), shot});
            if (!y.ok) {
                std::printf("%-14s the yardstick's frame is not the viewer's (%s %% of pixels "
                            "within one 565 step)\n",
                            name.c_str(), bench::Field(y.out, "match").c_str());
                return same = false;
            }
            const std::string m = Run({"--minimal-frames", folder + "/" + model,
                                       std::to_string(frames), bench::Field(v, "width"),
                                       bench::Field(v, "height"), bench::Field(v, "transform")});
            if (m.empty()) {
                std::printf("%-14s the minimal program failed\n", name.c_str());
                return same = false;
            }
            ours = std::atof(bench::Field(v, "frame_ms").c_str());
            reference = std::atof(bench::Field(y.out, "frame_ms").c_str());
            bare.push_back(std::atof(bench::Field(m, "frame_ms").c_str()));
            faces = bench::Field(v, "faces");
            match = bench::Field(y.out, "match");
            viewer_width = bench::Field(v, "width");
            viewer_height = bench::Field(v, "height");
            size = viewer_width + "x" + viewer_height;
            return true;
        },
        o.runs, 4 * o.runs, kPairBudgetSeconds);
    std::remove(shot.c_str());
    if (!same || p.ours.empty()) return false;
    const double a = bench::Median(p.ours), b = bench::Median(p.reference), c = bench::Median(bare);
    std::printf("%-14s %9s %9s %10.3f %10.3f %5.2f ±%4.2f %8.3f %6.2f %8s  %2zu pairs (<= %.2f: "
                "%s)\n",
                name.c_str(), size.c_str(), faces.c_str(), a, b, a / b, RatioSpread(p), c, a / c,
                match.c_str(), p.ours.size(), goal, a / b <= goal ? "met" : "NOT MET");
    Record(o, ("frame-" + key).c_str(), "ms", a, b);
    Record(o, ("frame-" + key + "-bare").c_str(), "ms", a, c);
    return true;
}

// The skinned tube playing against the same model drawn still, in alternating runs.
void CompareAnimated(const Options& o) {
    const std::string path = bench::EnsureSkinnedModel(o.data, o.tubeRings, o.tubeSides, 48);
    const std::string folder = path.substr(0, path.rfind('/'));
    const std::string model = path.substr(path.rfind('/') + 1);
    std::string stillAllocations, playingAllocations;
    const bench::Pairs p = bench::TakePairs(
        [&](double& ours, double& reference) {
            const std::string playing =
                Run({"--viewer-animated", folder, model, std::to_string(o.frames), "1"});
            const std::string still =
                Run({"--viewer-animated", folder, model, std::to_string(o.frames), "0"});
            if (playing.empty() || still.empty()) return false;
            ours = std::atof(bench::Field(playing, "frame_ms").c_str());
            reference = std::atof(bench::Field(still, "frame_ms").c_str());
            playingAllocations = bench::Field(playing, "allocations_per_frame");
            stillAllocations = bench::Field(still, "allocations_per_frame");
            return true;
        },
        o.runs, 4 * o.runs, kPairBudgetSeconds);
    if (p.ours.empty()) {
        std::printf("%-14s the viewer failed on %s\n", "animated", path.c_str());
        return;
    }
    const double a = bench::Median(p.ours), b = bench::Median(p.reference);
    std::printf("\nAnimation: the skinned tube %s (%d vertices, 48 bones) playing its set against "
                "the same model drawn still;\nC++ allocations per frame (the platform's and the "
                "viewer's) playing %s, still %s.\n\n%-14s %10.3f %10.3f %5.2f ±%4.2f  %2zu pairs "
                "(<= 1.25: %s)\n",
                model.c_str(), o.tubeRings * o.tubeSides, playingAllocations.c_str(),
                stillAllocations.c_str(), "animated", a, b, a / b, RatioSpread(p), p.ours.size(),
                a / b <= 1.25 ? "met" : "NOT MET");
    Record(o, "frame-animated", "ms", a, b);
}

// Exec to first Present, the viewer against the minimal window; with Mesa's shader cache
// empty (a fresh directory per start) or warm (one directory, filled by a start first).
void CompareStartup(const Options& o, bool cold) {
    char warmDir[] = "/tmp/xofview-shader-cache-XXXXXX";
    const bool haveWarm = !cold && mkdtemp(warmDir);
    auto cacheFor = [&](std::vector<std::string>& madeDirs) {
        if (!cold && haveWarm) return std::string("MESA_SHADER_CACHE_DIR=") + warmDir;
        char fresh[] = "/tmp/xofview-shader-cache-XXXXXX";
        if (!mkdtemp(fresh)) return std::string("MESA_SHADER_CACHE_DISABLE=true");
        madeDirs.push_back(fresh);
        return std::string("MESA_SHADER_CACHE_DIR=") + fresh;
    };
    std::vector<std::string> madeDirs;
    if (haveWarm) {
        madeDirs.push_back(warmDir);
        Run({"--viewer-session", o.demo}, {cacheFor(madeDirs)});
    }
    // Alternating, each child timed from just before its fork.
    const bench::Pairs p = bench::TakePairs(
        [&](double& ours, double& reference) {
            const std::string v =
                Run({"--viewer-startup", o.demo, std::to_string(bench::NowNanoseconds())},
                    {cacheFor(madeDirs)});
            const std::string m = Run({"--minimal-startup", viewer_width, viewer_height,
                                       std::to_string(bench::NowNanoseconds())},
                                      {cacheFor(madeDirs)});
            if (v.empty() || m.empty()) {
                std::printf("start-up: a child failed\n");
                return false;
            }
            ours = std::atof(bench::Field(v, "startup_ms").c_str());
            reference = std::atof(bench::Field(m, "startup_ms").c_str());
            return true;
        },
        o.startups, 4 * o.startups, kPairBudgetSeconds);
    for (const std::string& dir : madeDirs)
        std::system(("rm -rf '" + dir + "'").c_str());
    if (p.ours.empty()) return;
    const double a = bench::Median(p.ours), b = bench::Median(p.reference);
    const double goal = cold ? 2.5 : 1.5;
    std::printf("%-22s %7.1f ±%4.1f %7.1f ±%4.1f %6.2fx ±%4.2f, %2zu pairs (target <= %.1fx: %s)\n",
                cold ? "cold shader cache" : "warm shader cache", a, bench::HalfSpread(p.ours), b,
                bench::HalfSpread(p.reference), a / b, RatioSpread(p), p.ours.size(), goal,
                a <= goal * b ? "met" : "NOT MET");
    Record(o, cold ? "startup-cold" : "startup-warm", "ms", a, b);
}

// Milliseconds a child takes from fork to exit, or a negative value if it failed.
double WholeRun(const std::string& program, const std::vector<std::string>& args) {
    const double start = bench::Now();
    const Child c = RunProgram(program, args, {}, true);
    return c.ok ? (bench::Now() - start) * 1000.0 : -1.0;
}

// One xofview-shot process per thumbnail, as a file manager runs a thumbnailer, against the
// minimal program's whole run (exec, window and context, one swap, exit); the models of the
// corpus in turn, warm shader cache.
void CompareThumbnailOneShot(const Options& o) {
    std::vector<std::string> models;
    if (DIR* dir = opendir(o.xcorpus.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 2 && name.compare(name.size() - 2, 2, ".x") == 0)
                models.push_back(o.xcorpus + "/" + name);
        }
        closedir(dir);
    }
    std::sort(models.begin(), models.end());
    if (models.empty() || access(o.shot.c_str(), X_OK) != 0) {
        std::printf("thumbnail-oneshot: no corpus models or no xofview-shot; left out\n");
        return;
    }
    char out[] = "/tmp/xofview-thumbnail-XXXXXX";
    if (!mkdtemp(out)) return;
    const std::string png = std::string(out) + "/thumbnail.png";
    size_t next = 0;
    WholeRun(o.shot, {"--thumbnail", "256", models[0], png}); // fills the shader cache
    const bench::Pairs p = bench::TakePairs(
        [&](double& ours, double& reference) {
            ours = WholeRun(o.shot, {"--thumbnail", "256", models[next++ % models.size()], png});
            reference = WholeRun(bench::SelfPath(), {"--minimal-startup", "256", "256",
                                                     std::to_string(bench::NowNanoseconds())});
            if (ours < 0 || reference < 0) std::printf("thumbnail-oneshot: a child failed\n");
            return ours >= 0 && reference >= 0;
        },
        std::max(o.startups, int(models.size())), 4 * std::max(o.startups, int(models.size())),
        kPairBudgetSeconds);
    std::system(("rm -rf '" + std::string(out) + "'").c_str());
    if (p.ours.empty()) return;
    const double a = bench::Median(p.ours), b = bench::Median(p.reference);
    std::printf("%-22s %7.1f ±%4.1f %7.1f ±%4.1f %6.2fx ±%4.2f, %2zu pairs (target <= 1.5x: "
                "%s)\n",
                "thumbnail, one process", a, bench::HalfSpread(p.ours), b,
                bench::HalfSpread(p.reference), a / b, RatioSpread(p), p.ours.size(),
                a <= 1.5 * b ? "met" : "NOT MET");
    Record(o, "thumbnail-oneshot", "ms", a, b);
}

// CPU share of the viewer left on the demo, paced at 60 Hz, against the yardstick paced alike.
void CompareIdle(const Options& o) {
    char seconds_text[32];
    std::snprintf(seconds_text, sizeof seconds_text, "%g", o.idleSeconds);
    const std::string seconds = seconds_text;
    const std::string v = Run({"--viewer-idle", o.demo, seconds});
    // The yardstick draws the same frame from the state the viewer reports.
    const std::string shot = "-";
    const std::string state = Run({"--viewer-frames", o.demo, "op.x", "5"});
    const Child y =
        RunProgram(SameFramePath(), {o.demo, "op.x", "5", bench::Field(state, "matrices"),
                                     bench::Field(state, "state"), shot, "idle=" + seconds});
    if (v.empty() || !y.ok) {
        std::printf("idle: a child failed\n");
        return;
    }
    const double a = std::atof(bench::Field(v, "cpu_percent").c_str());
    const double b = std::atof(bench::Field(y.out, "cpu_percent").c_str());
    std::printf("%-22s %10.1f %% %10.1f %% of a core over %s s\n", "demo at 60 Hz", a, b,
                seconds.c_str());
    Record(o, "idle-cpu", "percent", a, b);
}

int Driver(const Options& o) {
    bench::RecordMachine(o.results, "frame_bench");
    const std::string grid = bench::EnsureGridModel(o.data, o.grid, bench::XForm::Binary);
    std::printf("Frames (pacing off, SDL offscreen driver): the viewer (StartViewer, "
                "UpdateControls, DrawFrame) against\nbench/same_frame (the same frame written "
                "directly in GL 3.3, checked pixel by pixel against the viewer's) and\nagainst a "
                "minimal GL program drawing the bare triangles; median per-frame time of %d "
                "batches after %d warm-up\nframes; medians of alternating runs, at least %d, "
                "taken until the difference settles (± half the\ninterquartile range of the "
                "runs' own ratios).\n\n",
                kBatches, kWarmUpFrames, o.runs);
    std::printf("%-14s %9s %9s %10s %10s %11s %8s %6s %8s\n", "model", "size", "triangles",
                "xofview", "same_frame", "ratio", "bare", "ratio", "match %");
    bool same = CompareFrames(o, "demo op.x", "demo", o.demo, "op.x", o.frames, 1.1);
    const std::string folder = grid.substr(0, grid.rfind('/'));
    same = CompareFrames(o, "grid " + std::to_string(o.grid), "grid", folder,
                         grid.substr(grid.rfind('/') + 1), o.gridFrames, 1.25) &&
           same;
    CompareAnimated(o);
    std::printf(
        "\nStart-up: exec to the first Present returning (the viewer in demo/, default "
        "pacing) against a minimal SDL window\nand GL context reaching its first swap; "
        "median (± half the interquartile range) of alternating pairs, at least %d, taken until\n"
        "the difference settles; the ratio's spread is that of the pairs' own ratios.\n\n"
        "%-22s %13s %13s\n",
        o.startups, "", "xofview ms", "minimal ms");
    CompareStartup(o, false);
    CompareStartup(o, true);
    CompareThumbnailOneShot(o);
    std::printf("\nIdle: CPU time over wall time, paced to 60 Hz.\n\n%-22s %12s %12s\n", "",
                "xofview", "same_frame");
    CompareIdle(o);
    if (!same) std::printf("\nThe yardstick did not draw the viewer's frame: see above.\n");
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--viewer-frames" && (argc == 5 || argc == 6))
        return ViewerFrames(argv[2], argv[3], std::atoi(argv[4]), argc == 6 ? argv[5] : "");
    if (mode == "--viewer-animated" && argc == 6)
        return ViewerAnimatedFrames(argv[2], argv[3], std::atoi(argv[4]), argv[5][0] == '1');
    if (mode == "--viewer-idle" && argc == 4) return ViewerIdle(argv[2], std::atof(argv[3]));
    if (mode == "--viewer-startup" && argc == 4) return ViewerStartup(argv[2], std::atoll(argv[3]));
    if (mode == "--viewer-session" && argc == 3) return ViewerSession(argv[2]);
    if (mode == "--minimal-frames" && argc == 7)
        return MinimalFrames(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                             argv[6]);
    if (mode == "--minimal-startup" && argc == 5)
        return MinimalStartup(std::atoi(argv[2]), std::atoi(argv[3]), std::atoll(argv[4]));
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr,
                         "usage: frame_bench [--grid N] [--runs K] [--frames F] "
                         "[--grid-frames F] [--tube RINGSxSIDES] [--startups K] [--idle SECONDS] "
                         "[--data DIR] [--demo DIR] [--results FILE]\n");
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--grid") {
            o.grid = std::atoi(value.c_str());
        } else if (arg == "--runs") {
            o.runs = std::atoi(value.c_str());
        } else if (arg == "--frames") {
            o.frames = std::atoi(value.c_str());
        } else if (arg == "--tube") {
            if (std::sscanf(value.c_str(), "%dx%d", &o.tubeRings, &o.tubeSides) != 2) return 2;
        } else if (arg == "--grid-frames") {
            o.gridFrames = std::atoi(value.c_str());
        } else if (arg == "--idle") {
            o.idleSeconds = std::atof(value.c_str());
        } else if (arg == "--results") {
            o.results = value;
        } else if (arg == "--startups") {
            o.startups = std::atoi(value.c_str());
        } else if (arg == "--data") {
            o.data = value;
        } else if (arg == "--demo") {
            o.demo = value;
        } else {
            std::fprintf(stderr, "frame_bench: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (o.grid < 1 || o.runs < 1 || o.frames < 1 || o.gridFrames < 1 || o.startups < 1 ||
        o.idleSeconds <= 0)
        return 2;
    return Driver(o);
}
