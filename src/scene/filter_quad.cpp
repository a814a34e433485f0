// The filter overlay: four vertices in a small vertex buffer, the image as a texture.
#include "scene/filter_quad.h"
#include "state/viewer_state.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <cstring>

namespace {

constexpr UINT kQuadBytes = sizeof(QuadVertex) * 4;

} // namespace

void CreateFilterQuad(FilterQuad* quad) {
    static const float corners[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}};
    for (int i = 0; i < 4; ++i) {
        quad->vertices[i].z = 0.0f;
        quad->vertices[i].rhw = 1.0f;
        quad->vertices[i].diffuse = 0xFFFFFFFF;
        quad->vertices[i].u = corners[i][0];
        quad->vertices[i].v = corners[i][1];
    }
    if (viewer.device->CreateVertexBuffer(kQuadBytes, 0, kQuadVertexFormat, D3DPOOL_DEFAULT,
                                          &quad->vertexBuffer, nullptr) != 0)
        quad->vertexBuffer = nullptr;
    quad->texture = nullptr;
}

int32_t LoadFilterTexture(FilterQuad* quad, const char* fileName, uint32_t colourKey) {
    if (D3DXCreateTextureFromFileExA(viewer.device, fileName, D3DX_DEFAULT, D3DX_DEFAULT,
                                     D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                     D3DX_DEFAULT, colourKey, nullptr, nullptr,
                                     &quad->texture) != 0) {
        quad->texture = nullptr;
        return 0;
    }
    return 1;
}

void SetFilterColour(FilterQuad* quad, uint32_t colour) {
    for (QuadVertex& vertex : quad->vertices)
        vertex.diffuse = colour;
}

void PlaceFilterQuad(FilterQuad* quad, float x, float y, float width, float height) {
    quad->vertices[0].x = x;
    quad->vertices[0].y = y;
    quad->vertices[1].x = x + width;
    quad->vertices[1].y = y;
    quad->vertices[2].x = x;
    quad->vertices[2].y = y + height;
    quad->vertices[3].x = x + width;
    quad->vertices[3].y = y + height;

    // Without a vertex buffer there is nothing to draw from, as after a failed lock.
    if (!quad->vertexBuffer) return;
    void* locked = nullptr;
    if (quad->vertexBuffer->Lock(0, kQuadBytes, &locked, 0) != 0) return;
    std::memcpy(locked, quad->vertices, kQuadBytes);
    quad->vertexBuffer->Unlock();

    IDirect3DDevice9* device = viewer.device;
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, quad->texture);
    device->SetStreamSource(0, quad->vertexBuffer, 0, sizeof(QuadVertex));
    device->SetFVF(kQuadVertexFormat);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

void ReleaseFilterQuad(FilterQuad* quad) {
    if (quad->vertexBuffer) quad->vertexBuffer->Release();
    quad->vertexBuffer = nullptr;
    if (quad->texture) quad->texture->Release();
    quad->texture = nullptr;
}

uint32_t PackFilterColour() {
    return uint32_t(viewer.filterAlpha & 0xFF) << 24 | uint32_t(viewer.filterRed & 0xFF) << 16 |
           uint32_t(viewer.filterGreen & 0xFF) << 8 | uint32_t(viewer.filterBlue & 0xFF);
}
