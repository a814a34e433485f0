// The AnimationSet objects of an .x document as keyframed animation sets.
#pragma once

#include "d3dx9/keyframed_set.h"

#include <vector>

namespace xfile {
class Document;
}

namespace d3dx9 {

// D3DX's default when the file has no AnimTicksPerSecond.
inline constexpr double kDefaultTicksPerSecond = 4800.0;

// The sets in the order D3DX registers them with the controller; each reference is owned.
struct AnimationSets {
    std::vector<KeyframedAnimationSet*> sets;
    AnimationSets() = default;
    AnimationSets(const AnimationSets&) = delete;
    AnimationSets& operator=(const AnimationSets&) = delete;
    ~AnimationSets();
};

// Reads every top-level AnimationSet: D3D_OK (with no sets when the file has none), E_FAIL for
// an AnimationKey whose type, key count or value counts do not fit its numbers, E_OUTOFMEMORY
// when references would multiply the keys beyond what the file holds.
HRESULT ReadAnimationSets(const xfile::Document& doc, AnimationSets* out);

} // namespace d3dx9
