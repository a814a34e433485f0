// FVF bits to element offsets, in Direct3D's fixed element order.
#include "vertex_format.h"

namespace d3d9 {

VertexLayout LayoutOf(DWORD fvf) {
    VertexLayout layout;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        offset = 12;
        layout.positionComponents = 3;
        break;
    case D3DFVF_XYZRHW:
        offset = 16;
        layout.positionComponents = 4;
        layout.pretransformed = true;
        break;
    case D3DFVF_XYZW:
        offset = 16;
        layout.positionComponents = 4;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        // Blend weights follow the position; vertex blending is off, so they are skipped.
        offset = 12 + 4 * (((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZ) / 2);
        layout.positionComponents = 3;
        break;
    default:
        return layout;
    }
    if (layout.pretransformed && (fvf & D3DFVF_NORMAL)) return layout;
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = int(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = int(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specular = int(offset);
        offset += 4;
    }
    layout.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (layout.texCount > 8) return layout;
    for (UINT i = 0; i < layout.texCount; ++i) {
        // Two bits per set above bit 16: 0 = two floats, 1 = three, 2 = four, 3 = one.
        static const UINT kComponents[4] = {2, 3, 4, 1};
        layout.texComponents[i] = kComponents[(fvf >> (16 + 2 * i)) & 3];
        layout.texOffset[i] = int(offset);
        offset += 4 * layout.texComponents[i];
    }
    layout.size = offset;
    layout.valid = true;
    return layout;
}

} // namespace d3d9
