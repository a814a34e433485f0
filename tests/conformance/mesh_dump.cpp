// mesh_dump: loads a .x file with D3DXLoadMeshFromXA (D3DXMESH_SYSTEMMEM) on a device made like
// the viewer's and prints what the viewer gets from it, as text: the result code, the counts,
// the FVF, the material records, every vertex, every face with its attribute. Floats are
// printed with four decimals, so that two loaders agreeing to within rounding print the same.
#include "scenes/scene.h"

#include <cmath>
#include <cinttypes>
#include <cstdint>
#include <cstdio>

namespace {

void PrintFloat(float f) {
    const double rounded = std::round(double(f) * 10000.0) / 10000.0;
    std::printf(" %.4f", rounded == 0.0 ? 0.0 : rounded);
}

void PrintColour(const char* name, const D3DCOLORVALUE& c) {
    std::printf(" %s", name);
    PrintFloat(c.r);
    PrintFloat(c.g);
    PrintFloat(c.b);
    PrintFloat(c.a);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mesh_dump FILE.x\n");
        return 2;
    }
    scene::Context c = scene::CreateWindowAndDevice();
    ID3DXBuffer* materials = nullptr;
    DWORD materialCount = 0;
    ID3DXMesh* mesh = nullptr;
    const HRESULT result = D3DXLoadMeshFromXA(argv[1], D3DXMESH_SYSTEMMEM, c.device, nullptr,
                                              &materials, nullptr, &materialCount, &mesh);
    // Through uint32_t: unsigned long is 64 bits on Linux, where a failure would print
    // sign-extended.
    std::printf("result 0x%08" PRIX32 "\n", static_cast<uint32_t>(result));
    if (result != D3D_OK) {
        // A failed load still leaves the device to release: Wine has crashed now and then at
        // exit ("double free or corruption") when the process ended with it alive.
        std::fflush(stdout);
        if (materials) materials->Release();
        c.device->Release();
        c.direct3D->Release();
        DestroyWindow(c.window);
        return 0;
    }

    const DWORD fvf = mesh->GetFVF(), stride = mesh->GetNumBytesPerVertex();
    const DWORD vertices = mesh->GetNumVertices(), faces = mesh->GetNumFaces();
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    std::printf("vertices %lu faces %lu fvf 0x%03lX stride %lu 32-bit indices %d\n",
                static_cast<unsigned long>(vertices), static_cast<unsigned long>(faces),
                static_cast<unsigned long>(fvf), static_cast<unsigned long>(stride), int(wide));

    std::printf("materials %lu\n", static_cast<unsigned long>(materialCount));
    const D3DXMATERIAL* records =
        materials ? static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()) : nullptr;
    for (DWORD i = 0; records && i < materialCount; ++i) {
        const D3DMATERIAL9& m = records[i].MatD3D;
        std::printf("material %lu", static_cast<unsigned long>(i));
        PrintColour("diffuse", m.Diffuse);
        PrintColour("ambient", m.Ambient);
        PrintColour("specular", m.Specular);
        PrintColour("emissive", m.Emissive);
        std::printf(" power");
        PrintFloat(m.Power);
        if (records[i].pTextureFilename)
            std::printf(" texture \"%s\"\n", records[i].pTextureFilename);
        else
            std::printf(" texture NULL\n");
    }

    // Vertices: position, normal, colour and texture coordinates as the FVF lays them out.
    void* data = nullptr;
    if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &data) == D3D_OK) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (DWORD v = 0; v < vertices; ++v) {
            const unsigned char* p = bytes + size_t(v) * stride;
            std::printf("v %lu", static_cast<unsigned long>(v));
            size_t offset = 0;
            const auto floats = [&](int n) {
                for (int k = 0; k < n; ++k, offset += 4) {
                    float f;
                    std::memcpy(&f, p + offset, 4);
                    PrintFloat(f);
                }
            };
            floats(3);
            if (fvf & D3DFVF_NORMAL) {
                std::printf(" n");
                floats(3);
            }
            if (fvf & D3DFVF_DIFFUSE) {
                DWORD colour;
                std::memcpy(&colour, p + offset, 4);
                offset += 4;
                std::printf(" c %08lX", static_cast<unsigned long>(colour));
            }
            if (fvf & D3DFVF_TEX1) {
                std::printf(" t");
                floats(2);
            }
            std::printf("\n");
        }
        mesh->UnlockVertexBuffer();
    } else {
        std::printf("vertex buffer: lock failed\n");
    }

    DWORD* attributes = nullptr;
    const bool haveAttributes = mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes) == D3D_OK;
    if (mesh->LockIndexBuffer(D3DLOCK_READONLY, &data) == D3D_OK) {
        for (DWORD f = 0; f < faces; ++f) {
            unsigned long index[3];
            for (int k = 0; k < 3; ++k)
                index[k] = wide ? static_cast<const DWORD*>(data)[f * 3 + k]
                                : static_cast<const WORD*>(data)[f * 3 + k];
            std::printf("f %lu %lu %lu %lu a %ld\n", static_cast<unsigned long>(f), index[0],
                        index[1], index[2],
                        haveAttributes ? static_cast<long>(attributes[f]) : -1L);
        }
        mesh->UnlockIndexBuffer();
    } else {
        std::printf("index buffer: lock failed\n");
    }
    if (haveAttributes) mesh->UnlockAttributeBuffer();

    if (materials) materials->Release();
    mesh->Release();
    c.device->Release();
    c.direct3D->Release();
    DestroyWindow(c.window);
    return 0;
}
