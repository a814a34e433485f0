// ID3DXKeyframedAnimationSet: named animations of scale, rotation and translation keys, kept in
// three flat arrays sorted by time, sampled without allocating.
#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace d3dx9 {

// The animation set of the hierarchy loader, or of D3DXCreateKeyframedAnimationSet.
class KeyframedAnimationSet;

// A new set (reference count 1) with room for `capacity` animations.
HRESULT CreateKeyframedSet(std::string_view name, double ticks_per_second,
                           D3DXPLAYBACK_TYPE playback, UINT capacity, KeyframedAnimationSet** out);

// Adds an animation whose keys are already in order of time; `spline` makes its translation a
// Catmull-Rom curve through the keys instead of straight lines. D3DERR_INVALIDCALL when the set
// is full.
HRESULT AddSortedAnimation(KeyframedAnimationSet* set, std::string_view name,
                           std::span<const D3DXKEY_VECTOR3> scale,
                           std::span<const D3DXKEY_QUATERNION> rotation,
                           std::span<const D3DXKEY_VECTOR3> translation, bool spline);

ID3DXKeyframedAnimationSet* AsInterface(KeyframedAnimationSet* set);

} // namespace d3dx9
