// Skinned models. skin-update: ID3DXSkinInfo::UpdateSkinnedMesh over 100,000 vertices
// (position and normal), four bones each, against a plain hand-written loop that blends the same
// influences with the same matrices from four fixed slots per vertex; the median time of one
// whole update, at most 1.5 times the plain loop. load-hierarchy: D3DXLoadMeshHierarchyFromX of
// a large skinned, animated tube against D3DXLoadMeshFromX of the same file, both asked for the
// same mesh outputs; at most 1.2 times the flat load. Each pair alternates in one run.
#include "bench_util.h"
#include "skinned_model.h"
#include "testing/recording_device.h"

#include <d3dx9.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr int kInfluences = 4;
constexpr double kTargetRatio = 1.5;
constexpr double kHierarchyTargetRatio = 1.2;

struct Vertex {
    float p[3], n[3];
};

struct Options {
    int vertices = 100000;
    int bones = 64;
    int samples = 7;
    double least = 0.05;  // seconds per sample
    int tubeRings = 1500; // the load's model: rings x sides vertices
    int tubeSides = 400;
    int tubeBones = 48;
    std::string data = XOF_BENCH_DATA_DIR;
    std::string results = XOF_BENCH_RESULTS;
};

// The same data in both forms: the skin info's bones, and four slots per vertex.
struct Scene {
    std::vector<Vertex> source;
    std::vector<D3DXMATRIX> bones;
    std::vector<uint32_t> slot_bone; // kInfluences per vertex
    std::vector<float> slot_weight;  // kInfluences per vertex
    ID3DXSkinInfo* skin = nullptr;
};

// Deterministic pseudo-random numbers in [-1, 1).
float Random(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 23) - 1.0f;
}

bool MakeScene(const Options& o, Scene& s) {
    uint32_t seed = 12345;
    s.source.resize(o.vertices);
    for (Vertex& v : s.source) {
        for (float& c : v.p)
            c = 10 * Random(seed);
        const float n[3] = {Random(seed), Random(seed), Random(seed)};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) + 1e-6f;
        for (int k = 0; k < 3; ++k)
            v.n[k] = n[k] / length;
    }
    s.bones.resize(o.bones);
    for (D3DXMATRIX& m : s.bones) {
        D3DXMATRIX turn, move;
        D3DXMatrixRotationY(&turn, 3 * Random(seed));
        D3DXMatrixTranslation(&move, Random(seed), Random(seed), Random(seed));
        D3DXMatrixMultiply(&m, &turn, &move);
    }
    // Four different bones per vertex, the heaviest first.
    const float weights[kInfluences] = {0.4f, 0.3f, 0.2f, 0.1f};
    std::vector<std::vector<DWORD>> bone_vertices(o.bones);
    std::vector<std::vector<float>> bone_weights(o.bones);
    s.slot_bone.resize(size_t(o.vertices) * kInfluences);
    s.slot_weight.resize(s.slot_bone.size());
    for (int v = 0; v < o.vertices; ++v)
        for (int k = 0; k < kInfluences; ++k) {
            const uint32_t bone = uint32_t(v * 7 + k * (o.bones / kInfluences)) % uint32_t(o.bones);
            s.slot_bone[size_t(v) * kInfluences + k] = bone;
            s.slot_weight[size_t(v) * kInfluences + k] = weights[k];
            bone_vertices[bone].push_back(DWORD(v));
            bone_weights[bone].push_back(weights[k]);
        }
    if (D3DXCreateSkinInfoFVF(DWORD(o.vertices), D3DFVF_XYZ | D3DFVF_NORMAL, DWORD(o.bones),
                              &s.skin) != D3D_OK)
        return false;
    for (int b = 0; b < o.bones; ++b)
        if (s.skin->SetBoneInfluence(DWORD(b), DWORD(bone_vertices[b].size()),
                                     bone_vertices[b].data(), bone_weights[b].data()) != D3D_OK)
            return false;
    return true;
}

// The plain loop: each vertex's four slots, position by the whole matrix, normal by its 3x3.
void PlainBlend(const Scene& s, Vertex* out) {
    const size_t count = s.source.size();
    for (size_t v = 0; v < count; ++v) {
        const Vertex& in = s.source[v];
        float p[3] = {0, 0, 0}, n[3] = {0, 0, 0};
        for (int k = 0; k < kInfluences; ++k) {
            const D3DXMATRIX& m = s.bones[s.slot_bone[v * kInfluences + k]];
            const float w = s.slot_weight[v * kInfluences + k];
            for (int c = 0; c < 3; ++c) {
                p[c] += w * (in.p[0] * m.m[0][c] + in.p[1] * m.m[1][c] + in.p[2] * m.m[2][c] +
                             m.m[3][c]);
                n[c] += w * (in.n[0] * m.m[0][c] + in.n[1] * m.m[1][c] + in.n[2] * m.m[2][c]);
            }
        }
        std::memcpy(out[v].p, p, sizeof p);
        std::memcpy(out[v].n, n, sizeof n);
    }
}

// One sample: seconds per update, updating again until `least` seconds have passed.
template <class Update> double Sample(double least, Update update) {
    int runs = 0;
    const double start = bench::Now();
    double elapsed = 0;
    do {
        update();
        ++runs;
        elapsed = bench::Now() - start;
    } while (elapsed < least);
    return elapsed / runs;
}

// Frames and mesh containers as a program that plays a model keeps them: names copied, the
// mesh and skin info held.
class Allocator : public ID3DXAllocateHierarchy {
  public:
    HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* frame) override {
        *frame = new D3DXFRAME{};
        (*frame)->Name = Copy(name);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data,
                                                  const D3DXMATERIAL*, const D3DXEFFECTINSTANCE*,
                                                  DWORD, const DWORD*, ID3DXSkinInfo* skin,
                                                  LPD3DXMESHCONTAINER* container) override {
        *container = new D3DXMESHCONTAINER{};
        (*container)->Name = Copy(name);
        (*container)->MeshData = *data;
        data->pMesh->AddRef();
        if (skin) skin->AddRef();
        (*container)->pSkinInfo = skin;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override {
        delete[] frame->Name;
        delete frame;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER container) override {
        container->MeshData.pMesh->Release();
        if (container->pSkinInfo) container->pSkinInfo->Release();
        delete[] container->Name;
        delete container;
        return D3D_OK;
    }

  private:
    static char* Copy(const char* name) {
        const size_t length = name ? std::strlen(name) : 0;
        char* copy = new char[length + 1]();
        if (length) std::memcpy(copy, name, length);
        return copy;
    }
};

// The hierarchy load of the tube against its flat load, alternating; false if either fails.
bool MeasureHierarchyLoad(const Options& o, std::vector<bench::Figure>& figures) {
    const std::string path =
        bench::EnsureSkinnedModel(o.data, o.tubeRings, o.tubeSides, o.tubeBones);
    xoftest::RecordingDevice* recording = xoftest::CreateRecordingDevice();
    IDirect3DDevice9* device = xoftest::AsDevice(recording);
    bool ok = true;
    const auto flat = [&] {
        ID3DXBuffer *adjacency = nullptr, *materials = nullptr, *effects = nullptr;
        ID3DXMesh* mesh = nullptr;
        DWORD count = 0;
        const double start = bench::Now();
        ok = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, &adjacency, &materials,
                                &effects, &count, &mesh) == D3D_OK &&
             ok;
        const double seconds = bench::Now() - start;
        for (IUnknown* made : std::initializer_list<IUnknown*>{adjacency, materials, effects, mesh})
            if (made) made->Release();
        return seconds;
    };
    const auto hierarchy = [&] {
        Allocator allocator;
        D3DXFRAME* root = nullptr;
        ID3DXAnimationController* controller = nullptr;
        const double start = bench::Now();
        ok = D3DXLoadMeshHierarchyFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, &allocator,
                                         nullptr, &root, &controller) == D3D_OK &&
             controller && ok;
        const double seconds = bench::Now() - start;
        if (controller) controller->Release();
        if (root) D3DXFrameDestroy(root, &allocator);
        return seconds;
    };
    int pair = 0;
    const bench::Pairs p = bench::TakePairs(
        [&](double& mine, double& reference) {
            if (pair++ % 2 == 0) {
                mine = hierarchy();
                reference = flat();
            } else {
                reference = flat();
                mine = hierarchy();
            }
            xoftest::Calls(recording).clear();
            return ok;
        },
        o.samples, 4 * o.samples, 60);
    device->Release();
    if (!ok || p.ours.empty()) {
        std::fprintf(stderr, "skin_bench: %s does not load\n", path.c_str());
        return false;
    }
    const double mine = bench::Median(p.ours) * 1e3, reference = bench::Median(p.reference) * 1e3;
    const double ratio = mine / reference;
    std::printf("\nLoading: D3DXLoadMeshHierarchyFromX (frames, skin, animation) against "
                "D3DXLoadMeshFromX of the same file,\n%s (%d vertices, %d bones); medians of %zu "
                "pairs.\n",
                path.c_str(), o.tubeRings * o.tubeSides, o.tubeBones, p.ours.size());
    std::printf("%-34s %12s %12s %8s\n", "", "hierarchy ms", "flat ms", "ratio");
    std::printf("%-34s %12.1f %12.1f %8.2f   (target <= %.1f: %s)\n", "load-hierarchy", mine,
                reference, ratio, kHierarchyTargetRatio,
                ratio <= kHierarchyTargetRatio ? "met" : "NOT MET");
    figures.push_back({"load-hierarchy", "ms", mine, reference});
    return true;
}

int Run(const Options& o) {
    Scene s;
    if (!MakeScene(o, s)) {
        std::fprintf(stderr, "skin_bench: cannot make the skin\n");
        return 1;
    }
    std::vector<Vertex> ours(s.source.size()), plain(s.source.size());
    // The first update lays the influences out by vertex; the timed ones reuse that.
    if (s.skin->UpdateSkinnedMesh(s.bones.data(), nullptr, s.source.data(), ours.data()) !=
        D3D_OK) {
        std::fprintf(stderr, "skin_bench: UpdateSkinnedMesh failed\n");
        return 1;
    }
    PlainBlend(s, plain.data());
    double worst = 0;
    for (size_t v = 0; v < ours.size(); ++v)
        for (int c = 0; c < 3; ++c)
            worst = std::fmax(worst, std::fabs(ours[v].p[c] - plain[v].p[c]) +
                                         std::fabs(ours[v].n[c] - plain[v].n[c]));
    if (worst > 1e-4) {
        std::fprintf(stderr, "skin_bench: the two blends differ by %g\n", worst);
        return 1;
    }

    int pair = 0;
    const bench::Pairs p = bench::TakePairs(
        [&](double& mine, double& reference) {
            const auto update = [&] {
                s.skin->UpdateSkinnedMesh(s.bones.data(), nullptr, s.source.data(), ours.data());
            };
            const auto blend = [&] { PlainBlend(s, plain.data()); };
            // Alternate which goes first, so neither always finds a warmer cache.
            if (pair++ % 2 == 0) {
                mine = Sample(o.least, update);
                reference = Sample(o.least, blend);
            } else {
                reference = Sample(o.least, blend);
                mine = Sample(o.least, update);
            }
            return true;
        },
        o.samples, 4 * o.samples, 30);
    const double mine = bench::Median(p.ours) * 1e3, reference = bench::Median(p.reference) * 1e3;
    const double ratio = mine / reference;
    std::printf("Skinning: UpdateSkinnedMesh against a plain loop blending the same data, %d "
                "vertices (position and normal), %d bones, %d influences each; medians of %zu "
                "pairs.\n",
                o.vertices, o.bones, kInfluences, p.ours.size());
    std::printf("%-34s %12s %12s %8s\n", "", "xofview ms", "plain ms", "ratio");
    std::printf("%-34s %12.3f %12.3f %8.2f   (target <= %.1f: %s)\n", "skin-update", mine,
                reference, ratio, kTargetRatio, ratio <= kTargetRatio ? "met" : "NOT MET");
    s.skin->Release();
    std::vector<bench::Figure> figures = {{"skin-update", "ms", mine, reference}};
    const bool loaded = MeasureHierarchyLoad(o, figures);
    if (!o.results.empty() && !bench::RecordFigures(o.results, figures))
        std::fprintf(stderr, "skin_bench: cannot write %s\n", o.results.c_str());
    return loaded ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: skin_bench [--vertices N] [--bones B] [--samples K] "
                                 "[--least SECONDS] [--tube RINGSxSIDES] [--data DIR] "
                                 "[--results FILE]\n");
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--vertices") {
            o.vertices = std::atoi(value.c_str());
        } else if (arg == "--bones") {
            o.bones = std::atoi(value.c_str());
        } else if (arg == "--samples") {
            o.samples = std::atoi(value.c_str());
        } else if (arg == "--least") {
            o.least = std::atof(value.c_str());
        } else if (arg == "--tube") {
            if (std::sscanf(value.c_str(), "%dx%d", &o.tubeRings, &o.tubeSides) != 2) return 2;
        } else if (arg == "--data") {
            o.data = value;
        } else if (arg == "--results") {
            o.results = value; // empty: none written
        } else {
            std::fprintf(stderr, "skin_bench: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (o.vertices < 1 || o.bones < kInfluences || o.samples < 1 || o.tubeRings < o.tubeBones ||
        o.tubeSides < 3)
        return 2;
    return Run(o);
}
