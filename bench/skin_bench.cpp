// Skinning benchmark: ID3DXSkinInfo::UpdateSkinnedMesh over 100,000 vertices (position and
// normal), four bones each, against a plain hand-written loop that blends the same influences
// with the same matrices from four fixed slots per vertex. Both alternate in one run; the figure
// is the median time of one whole update (skin-update in bench-results.tsv, in ms). Target: at
// most 1.5 times the plain loop.
#include "bench_util.h"

#include <d3dx9.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kInfluences = 4;
constexpr double kTargetRatio = 1.5;

struct Vertex {
    float p[3], n[3];
};

struct Options {
    int vertices = 100000;
    int bones = 64;
    int samples = 7;
    double least = 0.05; // seconds per sample
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
    if (!o.results.empty() &&
        !bench::RecordFigures(o.results, {{"skin-update", "ms", mine, reference}}))
        std::fprintf(stderr, "skin_bench: cannot write %s\n", o.results.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: skin_bench [--vertices N] [--bones B] [--samples K] "
                                 "[--least SECONDS] [--results FILE]\n");
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
        } else if (arg == "--results") {
            o.results = value; // empty: none written
        } else {
            std::fprintf(stderr, "skin_bench: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (o.vertices < 1 || o.bones < kInfluences || o.samples < 1) return 2;
    return Run(o);
}
