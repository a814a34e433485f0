// Shapes for the lit scenes, built the same way on both sides, and the viewer's light and camera.
#pragma once

#include "scene.h"

#include <cmath>
#include <vector>

namespace scene {

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    DWORD diffuse; // written only when the format has D3DFVF_DIFFUSE
    float u, v;
};

struct Shape {
    std::vector<float> data; // packed in the chosen format
    std::vector<WORD> indices;
    DWORD fvf = 0;
    UINT stride = 0;
    UINT vertexCount = 0;
};

inline void Append(Shape& shape, const LitVertex& v) {
    const float* f = &v.x;
    shape.data.insert(shape.data.end(), f, f + 6);
    if (shape.fvf & D3DFVF_DIFFUSE) {
        float packed;
        std::memcpy(&packed, &v.diffuse, 4);
        shape.data.push_back(packed);
    }
    if (shape.fvf & D3DFVF_TEX1) {
        shape.data.push_back(v.u);
        shape.data.push_back(v.v);
    }
    ++shape.vertexCount;
}

inline Shape NewShape(DWORD fvf) {
    Shape shape;
    shape.fvf = fvf;
    shape.stride = 24 + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) + ((fvf & D3DFVF_TEX1) ? 8 : 0);
    return shape;
}

// A UV sphere of the given radius; colour(i, j) gives the vertex colour of ring i, segment j.
template <typename Colour>
Shape Sphere(DWORD fvf, float radius, int rings, int segments, Colour colour) {
    Shape shape = NewShape(fvf);
    for (int i = 0; i <= rings; ++i) {
        const float theta = 3.14159265f * float(i) / float(rings);
        for (int j = 0; j <= segments; ++j) {
            const float phi = 2.0f * 3.14159265f * float(j) / float(segments);
            const float nx = std::sin(theta) * std::cos(phi);
            const float ny = std::cos(theta);
            const float nz = std::sin(theta) * std::sin(phi);
            Append(shape, {radius * nx, radius * ny, radius * nz, nx, ny, nz, colour(i, j),
                           float(j) / float(segments), float(i) / float(rings)});
        }
    }
    // Clockwise seen from outside: the front faces of Direct3D's default culling.
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const WORD a = WORD(i * (segments + 1) + j), b = WORD(a + segments + 1);
            shape.indices.insert(shape.indices.end(),
                                 {a, WORD(a + 1), b, WORD(a + 1), WORD(b + 1), b});
        }
    return shape;
}

// A flat w x h grid in the XY plane facing -z (towards a camera in front of it), n x n cells.
inline Shape Plane(DWORD fvf, float w, float h, int n) {
    Shape shape = NewShape(fvf);
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j) {
            const float u = float(j) / float(n), v = float(i) / float(n);
            Append(shape,
                   {(u - 0.5f) * w, (0.5f - v) * h, 0.0f, 0.0f, 0.0f, -1.0f, 0xFFFFFFFF, u, v});
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const WORD a = WORD(i * (n + 1) + j), b = WORD(a + n + 1);
            shape.indices.insert(shape.indices.end(),
                                 {a, WORD(a + 1), b, WORD(a + 1), WORD(b + 1), b});
        }
    return shape;
}

struct Buffers {
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
};

inline Buffers Upload(IDirect3DDevice9* device, const Shape& shape) {
    Buffers b;
    const UINT vertexBytes = UINT(shape.data.size() * sizeof(float));
    const UINT indexBytes = UINT(shape.indices.size() * sizeof(WORD));
    Check(device->CreateVertexBuffer(vertexBytes, 0, shape.fvf, D3DPOOL_MANAGED, &b.vertices,
                                     nullptr),
          "CreateVertexBuffer");
    Check(device->CreateIndexBuffer(indexBytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &b.indices,
                                    nullptr),
          "CreateIndexBuffer");
    void* locked = nullptr;
    Check(b.vertices->Lock(0, 0, &locked, 0), "Lock vertices");
    std::memcpy(locked, shape.data.data(), vertexBytes);
    b.vertices->Unlock();
    Check(b.indices->Lock(0, 0, &locked, 0), "Lock indices");
    std::memcpy(locked, shape.indices.data(), indexBytes);
    b.indices->Unlock();
    return b;
}

inline void Draw(IDirect3DDevice9* device, const Shape& shape, const Buffers& b) {
    device->SetFVF(shape.fvf);
    device->SetStreamSource(0, b.vertices, 0, shape.stride);
    device->SetIndices(b.indices);
    Check(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, shape.vertexCount, 0,
                                       UINT(shape.indices.size() / 3)),
          "DrawIndexedPrimitive");
}

inline void Release(Buffers& b) {
    b.vertices->Release();
    b.indices->Release();
}

// The viewer's light: slot 2, directional (0,-1,1), diffuse 0.2, specular 0.3, ambient a.
inline void ViewerLight(IDirect3DDevice9* device, float ambient) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.2f, 0.2f, 0.2f, 0.2f};
    light.Specular = {0.3f, 0.3f, 0.3f, 0.3f};
    light.Ambient = {ambient, ambient, ambient, 1.0f};
    light.Direction = {0.0f, -1.0f, 1.0f};
    device->SetLight(2, &light);
    device->LightEnable(2, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
}

// The viewer's camera: look-at view and a pi/3 perspective with aspect 1, near 0.01, far 2000.
inline void ViewerCamera(IDirect3DDevice9* device, D3DXVECTOR3 eye, D3DXVECTOR3 at) {
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0471975803375244f, 1.0f, 0.01f, 2000.0f);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
}

inline void World(IDirect3DDevice9* device, float x, float y, float z, float yaw) {
    D3DXMATRIX rotate, translate, world;
    D3DXMatrixRotationY(&rotate, yaw);
    D3DXMatrixTranslation(&translate, x, y, z);
    D3DXMatrixMultiply(&world, &rotate, &translate);
    device->SetTransform(D3DTS_WORLD, &world);
}

// A material as the viewer makes it: ambient = diffuse.
inline D3DMATERIAL9 Material(float r, float g, float b, float a, float specular, float power) {
    D3DMATERIAL9 m = {};
    m.Diffuse = {r, g, b, a};
    m.Ambient = m.Diffuse;
    m.Specular = {specular, specular, specular, 1.0f};
    m.Emissive = {0.0f, 0.0f, 0.0f, 1.0f};
    m.Power = power;
    return m;
}

} // namespace scene
