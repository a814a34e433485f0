// FilterQuad: the tinted image drawn over a fixed rectangle of the back buffer.
#pragma once

#include <windows.h>

#include <d3d9.h>

#include <cstdint>

// Pre-transformed, pre-lit vertex: XYZRHW | DIFFUSE | TEX1, 28 bytes.
struct QuadVertex {
    float x;
    float y;
    float z;
    float rhw;
    uint32_t diffuse;
    float u;
    float v;
};
static_assert(sizeof(QuadVertex) == 28, "the quad's vertex layout is what the device reads");

struct FilterQuad {
    IDirect3DVertexBuffer9* vertexBuffer;
    IDirect3DTexture9* texture;
    QuadVertex vertices[4]; // triangle-strip order: top left, top right, bottom left, bottom right
};

constexpr DWORD kQuadVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(kQuadVertexFormat == 0x144, "the layout QuadVertex spells out");

void CreateFilterQuad(FilterQuad* quad);
int32_t LoadFilterTexture(FilterQuad* quad, const char* fileName, uint32_t colourKey);
void SetFilterColour(FilterQuad* quad, uint32_t colour);
void PlaceFilterQuad(FilterQuad* quad, float x, float y, float width, float height);
void ReleaseFilterQuad(FilterQuad* quad);

// The filter tint and opacity as a D3DCOLOR, from the low bytes of the 16-bit fields.
uint32_t PackFilterColour();
