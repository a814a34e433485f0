// Load benchmark: D3DXLoadMeshFromXA against Assimp's importer (no post-processing) on the same
// files, alternating in one run, medians of several samples; then the peak memory of each,
// measured in a fresh child process that loads one file once. The grid figures also go to
// bench-results.tsv in the build folder (load-<form> in ms, peak-<form> in MiB; Assimp's beside).
//
// D3DX loads onto the recording device (src/platform/testing): its buffers live in memory, as
// D3DXMESH_SYSTEMMEM asks, so the figure is reading and building the mesh, which is what
// Assimp does too; the GL device would add an upload that Assimp has no counterpart for.
#include "bench_util.h"
#include "machine.h"
#include "grid_model.h"

#include "testing/recording_device.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <d3dx9.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

enum class Loader { Ours, Assimp };

struct Loaded {
    bool ok = false;
    unsigned long faces = 0;
};

xoftest::RecordingDevice* Device() {
    static xoftest::RecordingDevice* device = xoftest::CreateRecordingDevice();
    return device;
}

Loaded LoadOurs(const std::string& path) {
    Loaded result;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    // As the viewer loads its model.
    if (D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, xoftest::AsDevice(Device()), nullptr,
                           &materials, nullptr, &count, &mesh) == D3D_OK) {
        result.ok = true;
        result.faces = mesh->GetNumFaces();
        mesh->Release();
        if (materials) materials->Release();
    }
    xoftest::Calls(Device()).clear();
    return result;
}

// Child mode `--digest`: a hash of everything the mesh holds (vertices, indices, attributes,
// materials), so two builds of the loader can be checked to give the same bits.
int Digest(const char* path) {
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    if (D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, xoftest::AsDevice(Device()), nullptr,
                           &materials, nullptr, &count, &mesh) != D3D_OK)
        return 1;
    uint64_t hash = 14695981039346656037ull;
    const auto add = [&](const void* data, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i)
            hash = (hash ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    };
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    void* data = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
    add(data, size_t{mesh->GetNumVertices()} * mesh->GetNumBytesPerVertex());
    mesh->UnlockVertexBuffer();
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
    add(data, size_t{mesh->GetNumFaces()} * 3 * (wide ? 4 : 2));
    mesh->UnlockIndexBuffer();
    DWORD* attributes = nullptr;
    mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes);
    add(attributes, size_t{mesh->GetNumFaces()} * 4);
    mesh->UnlockAttributeBuffer();
    const auto* records = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    for (DWORD i = 0; i < count; ++i) {
        add(&records[i].MatD3D, sizeof(D3DMATERIAL9));
        if (records[i].pTextureFilename)
            add(records[i].pTextureFilename, std::strlen(records[i].pTextureFilename));
    }
    std::printf("%016llx %lu vertices %lu faces fvf %lx\n", static_cast<unsigned long long>(hash),
                static_cast<unsigned long>(mesh->GetNumVertices()),
                static_cast<unsigned long>(mesh->GetNumFaces()),
                static_cast<unsigned long>(mesh->GetFVF()));
    mesh->Release();
    materials->Release();
    return 0;
}

Loaded LoadAssimp(const std::string& path) {
    Loaded result;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    if (scene) {
        result.ok = true;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i)
            result.faces += scene->mMeshes[i]->mNumFaces;
    }
    return result;
}

Loaded Load(Loader loader, const std::string& path) {
    return loader == Loader::Ours ? LoadOurs(path) : LoadAssimp(path);
}

// One sample: seconds per load, loading again until `least` seconds have passed.
double Sample(Loader loader, const std::string& path, double least, bool& ok) {
    int loads = 0;
    const double start = bench::Now();
    double elapsed = 0;
    do {
        ok = Load(loader, path).ok && ok;
        ++loads;
        elapsed = bench::Now() - start;
    } while (elapsed < least);
    return elapsed / loads;
}

// Child mode: load once, report the peak resident set.
int LoadOnce(const char* which, const char* path) {
    const Loader loader = std::strcmp(which, "assimp") == 0 ? Loader::Assimp : Loader::Ours;
    if (std::strcmp(which, "none") != 0 && !Load(loader, path).ok) return 1;
    std::printf("rss_kib=%ld\n", bench::PeakRssKib());
    return 0;
}

long PeakOf(const std::string& which, const std::string& path) {
    bool ok = false;
    const std::string out = bench::RunChild({bench::SelfPath(), "--once", which, path}, {}, ok);
    return ok ? std::atol(bench::Field(out, "rss_kib").c_str()) : -1;
}

// No new pair is started after this long on one file.
constexpr double kRowBudgetSeconds = 30;

struct Options {
    int grid = 700;
    int samples = 5;
    double least = 0.2; // seconds per sample for small files
    std::string data = XOF_BENCH_DATA_DIR;
    std::string corpus = XOF_XCORPUS_DIR;
    std::string results = XOF_BENCH_RESULTS;
};

struct Row {
    std::string name;
    std::string path;
    double target_ratio; // 0: none
    std::string figure;  // the name in the results file after "load-" / "peak-"; empty: none
};

void Measure(const Options& o, const Row& row, int& misses, std::vector<bench::Figure>& figures) {
    bool ours_ok = true, theirs_ok = true;
    int pair = 0;
    // Alternating pairs until the median difference settles (a shared machine moves both).
    const bench::Pairs p = bench::TakePairs(
        [&](double& ours, double& theirs) {
            // Alternate which goes first, so neither always finds a warmer cache.
            if (pair++ % 2 == 0) {
                ours = Sample(Loader::Ours, row.path, o.least, ours_ok);
                theirs = Sample(Loader::Assimp, row.path, o.least, theirs_ok);
            } else {
                theirs = Sample(Loader::Assimp, row.path, o.least, theirs_ok);
                ours = Sample(Loader::Ours, row.path, o.least, ours_ok);
            }
            return ours_ok && theirs_ok;
        },
        o.samples, 4 * o.samples, kRowBudgetSeconds);
    const double mine = bench::Median(p.ours) * 1e3, other = bench::Median(p.reference) * 1e3;
    const double megabytes = static_cast<double>(std::filesystem::file_size(row.path)) / 1e6;
    std::printf("%-34s %8.2f %11.3f %11.3f", row.name.c_str(), megabytes, mine, other);
    if (!ours_ok || !theirs_ok) {
        std::printf("   %s failed to load\n", !ours_ok ? "xofview" : "assimp");
        if (!ours_ok) ++misses;
        return;
    }
    if (!row.figure.empty()) figures.push_back({"load-" + row.figure, "ms", mine, other});
    const double ratio = other / mine;
    // How far the pairs' own ratios spread about their median.
    std::vector<double> ratios;
    for (size_t i = 0; i < p.ours.size(); ++i)
        ratios.push_back(p.reference[i] / p.ours[i]);
    if (row.target_ratio > 0) {
        const bool met = ratio >= row.target_ratio;
        misses += !met;
        std::printf(" %8.1f x  (target >= %4.1f x: %s)", ratio, row.target_ratio,
                    met ? "met" : "NOT MET");
    } else {
        std::printf(" %8.1f x", ratio);
    }
    std::printf("  ±%.1f x, %zu pairs\n", bench::HalfSpread(ratios), p.ours.size());
}

void MeasureMemory(const Row& row, long baseline, int& misses,
                   std::vector<bench::Figure>& figures) {
    const long mine = PeakOf("ours", row.path), other = PeakOf("assimp", row.path);
    if (mine < 0 || other < 0) {
        std::printf("%-34s peak memory: a child failed\n", row.name.c_str());
        return;
    }
    figures.push_back({"peak-" + row.figure, "MiB", mine / 1024.0, other / 1024.0});
    const double ratio = static_cast<double>(mine) / static_cast<double>(other);
    const bool met = ratio <= 0.4;
    misses += !met;
    std::printf("%-34s %10.1f %10.1f %8.2f   (target <= 0.40: %s)  [above an idle process: %.1f / "
                "%.1f MiB]\n",
                row.name.c_str(), mine / 1024.0, other / 1024.0, ratio, met ? "met" : "NOT MET",
                (mine - baseline) / 1024.0, (other - baseline) / 1024.0);
}

int Driver(const Options& o) {
    bench::RecordMachine(o.results, "load_bench");
    std::printf("Load: D3DXLoadMeshFromXA (recording device, D3DXMESH_SYSTEMMEM, materials) "
                "against Assimp::Importer::ReadFile(path, 0).\n"
                "Medians of %d to 4 times as many samples each, the two loaders alternating, until "
                "the median difference settles; small files are loaded repeatedly for %.2f s per "
                "sample.\n",
                o.samples, o.least);
    const bench::XForm forms[] = {bench::XForm::Text, bench::XForm::Binary, bench::XForm::TextZip,
                                  bench::XForm::BinaryZip};
    const double targets[] = {8, 15, 6, 6};
    std::vector<Row> rows;
    for (int i = 0; i < 4; ++i) {
        const std::string path = bench::EnsureGridModel(o.data, o.grid, forms[i]);
        rows.push_back({"grid " + std::to_string(o.grid) + "x" + std::to_string(o.grid) + " " +
                            bench::XFormName(forms[i]),
                        path, targets[i], bench::XFormName(forms[i])});
    }
    std::vector<Row> corpus;
    if (std::filesystem::is_directory(o.corpus))
        for (const auto& entry : std::filesystem::directory_iterator(o.corpus))
            if (entry.path().extension() == ".x")
                corpus.push_back(
                    {"xcorpus/" + entry.path().filename().string(), entry.path().string(), 0, ""});
    std::sort(corpus.begin(), corpus.end(),
              [](const Row& a, const Row& b) { return a.name < b.name; });

    int misses = 0;
    std::vector<bench::Figure> figures;
    std::printf("\n%-34s %8s %11s %11s %10s\n", "file", "MB", "xofview ms", "assimp ms",
                "assimp/xofview");
    for (const Row& row : rows)
        Measure(o, row, misses, figures);
    for (const Row& row : corpus)
        Measure(o, row, misses, figures);

    const long baseline = PeakOf("none", rows[0].path);
    std::printf("\nPeak resident memory (VmHWM of a child that loads the file once; idle "
                "process: %.1f MiB)\n%-34s %10s %10s %8s\n",
                baseline / 1024.0, "file", "xofview MiB", "assimp MiB", "ratio");
    for (const Row& row : rows)
        MeasureMemory(row, baseline, misses, figures);
    std::printf("\nLoad targets not met: %d\n", misses);
    if (!o.results.empty() && !bench::RecordFigures(o.results, figures))
        std::fprintf(stderr, "load_bench: cannot write %s\n", o.results.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--once" && i + 2 < argc) return LoadOnce(argv[i + 1], argv[i + 2]);
        if (arg == "--digest" && i + 1 < argc) return Digest(argv[i + 1]);
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: load_bench [--grid N] [--samples K] [--least SECONDS] "
                                 "[--data DIR] [--corpus DIR] [--results FILE]\n"
                                 "       load_bench --digest FILE.x\n");
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--grid") {
            o.grid = std::atoi(value.c_str());
        } else if (arg == "--samples") {
            o.samples = std::atoi(value.c_str());
        } else if (arg == "--least") {
            o.least = std::atof(value.c_str());
        } else if (arg == "--data") {
            o.data = value;
        } else if (arg == "--corpus") {
            o.corpus = value;
        } else if (arg == "--results") {
            o.results = value; // empty: none written
        } else {
            std::fprintf(stderr, "load_bench: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (o.grid < 1 || o.samples < 1) return 2;
    return Driver(o);
}
