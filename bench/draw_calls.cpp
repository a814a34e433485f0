// The cost of a draw call: 10,000 small indexed draws a frame through our Direct3D 9 device,
// a texture and a render state changing between draws (the pattern of a program with many
// materials), against the same sequence as direct GL 3.3 calls. The figure is the calling
// thread's CPU time per draw while the draws are issued (llvmpipe rasterises on threads of
// its own); each side runs in its own process, the processes alternate, medians.
#include "bench_util.h"
#include "machine.h"

#include "d3d9/present_pacing.h"
#include "win32/window.h"

#include <SDL.h>
#include <unistd.h>
#include <d3d9.h>
#include <windows.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kDraws = 10000;
constexpr int kSide = 100; // the quads sit on a 100 x 100 grid
constexpr int kWidth = 640, kHeight = 480;
constexpr int kWarmUpFrames = 3;

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Vertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Four corners per quad, small squares across clip space; six 16-bit indices per quad.
void MakeQuads(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices) {
    const float step = 2.0f / kSide, size = step * 0.6f;
    for (int i = 0; i < kDraws; ++i) {
        const float x = -1.0f + step * float(i % kSide), y = -1.0f + step * float(i / kSide);
        const D3DCOLOR c = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
        // Clockwise on screen: Direct3D's front faces.
        vertices.insert(vertices.end(), {{x, y + size, 0.5f, c, 0, 0},
                                         {x + size, y + size, 0.5f, c, 1, 0},
                                         {x, y, 0.5f, c, 0, 1},
                                         {x + size, y, 0.5f, c, 1, 1}});
        // Relative to the draw's base vertex.
        indices.insert(indices.end(), {0, 1, 2, 2, 1, 3});
    }
}

// Median over frames of the issuing thread's CPU time per draw, in nanoseconds.
template <class Frame> double TimeDraws(int frames, Frame frame) {
    for (int i = 0; i < kWarmUpFrames; ++i)
        frame();
    std::vector<double> perDraw;
    for (int f = 0; f < frames; ++f)
        perDraw.push_back(frame() * 1e9 / kDraws);
    return bench::Median(perDraw);
}

// ---- Through the device -------------------------------------------------------------------

IDirect3DTexture9* CheckerTexture(IDirect3DDevice9* device, D3DCOLOR a, D3DCOLOR b) {
    IDirect3DTexture9* texture = nullptr;
    if (device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr) !=
        D3D_OK)
        return nullptr;
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            reinterpret_cast<D3DCOLOR*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                (x + y) % 2 ? a : b;
    texture->UnlockRect(0);
    return texture;
}

int DeviceDraws(int frames) {
    d3d9::SetPresentPacing(false);
    HWND window = win32::CreateHiddenGlWindow(kWidth, kHeight);
    IDirect3D9* d3d = window ? Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
    if (!d3d) return 1;
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kWidth;
    p.BackBufferHeight = kHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                          &device) != D3D_OK)
        return 1;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    MakeQuads(vertices, indices);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    const UINT vbBytes = UINT(vertices.size() * sizeof(Vertex));
    const UINT ibBytes = UINT(indices.size() * 2);
    device->CreateVertexBuffer(vbBytes, D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED, &vb, nullptr);
    device->CreateIndexBuffer(ibBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib,
                              nullptr);
    void* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices.data(), vbBytes);
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices.data(), ibBytes);
    ib->Unlock();
    IDirect3DTexture9* textures[2] = {CheckerTexture(device, 0xFFFFFFFF, 0xFF808080),
                                      CheckerTexture(device, 0xFFFF8040, 0xFF4080FF)};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetFVF(kFvf);
    device->SetStreamSource(0, vb, 0, sizeof(Vertex));
    device->SetIndices(ib);
    const double ns = TimeDraws(frames, [&] {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0);
        device->BeginScene();
        const double start = ThreadCpuSeconds();
        for (int i = 0; i < kDraws; ++i) {
            device->SetTexture(0, textures[i & 1]);
            device->SetRenderState(D3DRS_CULLMODE, i & 2 ? D3DCULL_NONE : D3DCULL_CCW);
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, INT(i * 4), 0, 4, UINT(i * 6), 2);
        }
        const double cpu = ThreadCpuSeconds() - start;
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        return cpu;
    });
    std::printf("ns_per_draw=%.1f\n", ns);
    std::fflush(stdout);
    _exit(0);
}

// ---- Direct GL ----------------------------------------------------------------------------

const char kVertexShader[] = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texCoord;
out vec4 vColour;
out vec2 vTex;
void main() {
    gl_Position = vec4(position.xy, 2.0 * position.z - 1.0, 1.0);
    vColour = colour;
    vTex = texCoord;
})";

const char kFragmentShader[] = R"(#version 330 core
in vec4 vColour;
in vec2 vTex;
uniform sampler2D image;
out vec4 fragColour;
void main() { fragColour = texture(image, vTex) * vColour; })";

GLuint Compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

GLuint CheckerGlTexture(uint32_t a, uint32_t b) {
    uint32_t texels[64];
    for (int i = 0; i < 64; ++i)
        texels[i] = (i % 8 + i / 8) % 2 ? a : b;
    GLuint id;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}

int GlDraws(int frames) {
    bench::KeepFreedMemoryMapped();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_Window* window =
        SDL_CreateWindow("draw_calls", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth,
                         kHeight, SDL_WINDOW_OPENGL);
    if (!window || !SDL_GL_CreateContext(window)) return 1;
    SDL_GL_SetSwapInterval(0);
    const GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glLinkProgram(program);
    glUseProgram(program);
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    MakeQuads(vertices, indices);
    GLuint vao, buffers[2];
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(Vertex)), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(),
                 GL_STATIC_DRAW);
    const GLsizei stride = sizeof(Vertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<void*>(12));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(16));
    const GLuint textures[2] = {CheckerGlTexture(0xFFFFFFFF, 0xFF808080),
                                CheckerGlTexture(0xFFFF8040, 0xFF4080FF)};
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CW);
    const double ns = TimeDraws(frames, [&] {
        glClearColor(0.125f, 0.125f, 0.125f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const double start = ThreadCpuSeconds();
        for (int i = 0; i < kDraws; ++i) {
            glBindTexture(GL_TEXTURE_2D, textures[i & 1]);
            if (i & 2)
                glDisable(GL_CULL_FACE);
            else
                glEnable(GL_CULL_FACE);
            glDrawElementsBaseVertex(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT,
                                     reinterpret_cast<const void*>(size_t(i) * 12), i * 4);
        }
        const double cpu = ThreadCpuSeconds() - start;
        SDL_GL_SwapWindow(window);
        return cpu;
    });
    std::printf("ns_per_draw=%.1f\n", ns);
    std::fflush(stdout);
    _exit(0);
}

// ---- The driver ---------------------------------------------------------------------------

int Driver(int runs, int frames, const std::string& results) {
    bench::RecordMachine(results, "draw_calls");
    const std::vector<std::string> environment = {"SDL_VIDEODRIVER=offscreen",
                                                  "SDL_AUDIODRIVER=dummy"};
    // Alternating pairs until the median difference settles, as the start-up figures are taken.
    const bench::Pairs p = bench::TakePairs(
        [&](double& ours, double& direct) {
            bool ok = false;
            const std::string d = bench::RunChild(
                {bench::SelfPath(), "--device", std::to_string(frames)}, environment, ok);
            bool okGl = false;
            const std::string g = bench::RunChild(
                {bench::SelfPath(), "--gl", std::to_string(frames)}, environment, okGl);
            if (!ok || !okGl) {
                std::printf("draw_calls: a child failed\n");
                return false;
            }
            ours = std::atof(bench::Field(d, "ns_per_draw").c_str());
            direct = std::atof(bench::Field(g, "ns_per_draw").c_str());
            return true;
        },
        runs, 4 * runs, 40);
    if (p.ours.empty()) return 1;
    std::vector<double> ratios;
    for (size_t i = 0; i < p.ours.size(); ++i)
        ratios.push_back(p.ours[i] / p.reference[i]);
    const double a = bench::Median(p.ours), b = bench::Median(p.reference);
    std::printf("\nDraw calls: %d indexed draws a frame, a texture and a render state changing "
                "between draws;\nthe issuing thread's CPU time per draw, median of %d frames; "
                "medians of alternating runs, at least %d,\ntaken until the difference settles "
                "(± half the interquartile range of the runs' own ratios).\n\n%-22s %10s %10s "
                "%12s\n%-22s %10.0f %10.0f %5.2f ±%4.2f, %zu pairs   (target <= 1.1: %s)\n",
                kDraws, frames, runs, "", "device ns", "GL ns", "ratio", "per draw", a, b, a / b,
                bench::HalfSpread(ratios), p.ours.size(), a / b <= 1.1 ? "met" : "NOT MET");
    if (!results.empty())
        if (FILE* f = std::fopen(results.c_str(), "a")) {
            std::fprintf(f, "draw-call\tns\t%.4g\t%.4g\n", a, b);
            std::fclose(f);
        }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--device" && argc == 3) return DeviceDraws(std::atoi(argv[2]));
    if (mode == "--gl" && argc == 3) return GlDraws(std::atoi(argv[2]));
    int runs = 3, frames = 20;
    std::string results = XOF_BENCH_RESULTS;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--runs") {
            runs = std::atoi(value.c_str());
        } else if (arg == "--frames") {
            frames = std::atoi(value.c_str());
        } else if (arg == "--results") {
            results = value;
        } else {
            std::fprintf(stderr, "usage: draw_calls [--runs K] [--frames F] [--results FILE]\n");
            return 2;
        }
    }
    if (argc % 2 == 0 || runs < 1 || frames < 1) {
        std::fprintf(stderr, "usage: draw_calls [--runs K] [--frames F] [--results FILE]\n");
        return 2;
    }
    return Driver(runs, frames, results);
}
