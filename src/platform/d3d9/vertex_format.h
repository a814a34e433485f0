// Flexible vertex formats: where each element of a vertex lies.
#pragma once

#include <d3d9.h>

namespace d3d9 {

struct VertexLayout {
    bool valid = false;
    bool pretransformed = false;                  // D3DFVF_XYZRHW
    UINT positionComponents = 0;                  // 3 or 4
    int normal = -1, diffuse = -1, specular = -1; // byte offsets, -1 when absent
    UINT texCount = 0;
    int texOffset[8] = {};
    UINT texComponents[8] = {};
    UINT size = 0;
};

// The layout of an FVF; not valid for formats without a position or with unknown bits.
VertexLayout LayoutOf(DWORD fvf);

} // namespace d3d9
