// The hostile inputs themselves, shared by the loader and viewer suites: damaged and crafted
// model and image files, and names that are not regular readable files.
#pragma once

#include "hostile_files.h"

#include <string>
#include <utility>
#include <vector>

namespace hostile {

// Every input must be refused within this bound (a generous one: most take microseconds).
inline constexpr double kRefusalBound = 1.0;

// Peak resident memory may grow by less than this over a whole suite of hostile inputs.
inline constexpr size_t kMemoryBound = size_t(256) << 20;

using NamedBytes = std::vector<std::pair<std::string, Bytes>>;

// Models that load: text, binary, both compressed forms.
NamedBytes GoodModels();

// Models that must be refused: huge counts, deep nesting, bad compressed blocks, bad indices.
NamedBytes HostileModels();

// The one of HostileModels() with this name.
Bytes HostileModel(const std::string& name);

// Models whose skin (XSkinMeshHeader, SkinWeights) is damaged, crafted or merely odd: each mesh
// container is either refused (E_FAIL, `loads` false) or built with a skin that skins safely.
// D3DXLoadMeshFromX, which ignores skins, loads every one of them.
struct HostileSkin {
    std::string name;
    Bytes bytes;
    bool loads;
};
std::vector<HostileSkin> HostileSkins();

// Hierarchy and animation files for D3DXLoadMeshHierarchyFromX, each with the result D3DX
// gives: key counts past the numbers that follow, references multiplying frames or keys,
// NaN and infinite keys, times going backwards, thousands of sets, deep hierarchies.
struct ExpectedResult {
    std::string name;
    Bytes bytes;
    long result; // an HRESULT
};
std::vector<ExpectedResult> HostileAnimations();

// Image files that must be refused: sizes no data can back, truncated or crafted headers.
NamedBytes HostileImages();

struct HostileName {
    std::string path; // UTF-8 path, which is also its CP932 spelling (ASCII only)
    std::string what;
    bool refused; // false only where this machine really lets the file be read (root)
};

// Made in `dir`: an empty file, a folder, a FIFO, /dev/zero, an unreadable file (holding
// `goodContent`, so only its mode can refuse it), symlink loops, a name of 300 bytes, a sparse
// file larger than any loader reads. `tag` keeps the names of several calls apart.
std::vector<HostileName> HostileNames(const TempDir& dir, const Bytes& goodContent,
                                      const std::string& tag);

} // namespace hostile
