// Drawing of glyph quads through Direct3D's public interface, leaving the device's state as it
// was found.
#pragma once

#include <d3d9.h>

#include <vector>

namespace d3dx9 {

// One glyph on screen: whole-pixel destination rectangle (left, top, width, height) and the
// texel rectangle on atlas page `page` of `pageSize` texels.
struct GlyphQuad {
    int page;
    int left, top, width, height;
    int texelX, texelY;
};

// Draws the quads, textured and tinted with `colour`, alpha-blended over the render target, one
// DrawPrimitiveUP per page. Every state set is saved first and restored after.
HRESULT DrawGlyphQuads(IDirect3DDevice9* device, const std::vector<IDirect3DTexture9*>& pages,
                       UINT pageSize, const std::vector<GlyphQuad>& quads, D3DCOLOR colour);

} // namespace d3dx9
