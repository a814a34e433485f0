// The fixed-function matrix: one page of cells, each a small sphere read from a .x text made for
// the cell and drawn as the viewer draws a model (materials with ambient = diffuse, the texture
// its material names, one subset at a time). A page crosses every vertex format the loader
// gives (normals, vertex colours, texture coordinates, each present or not) with the texture
// (a file, none named, a name that does not load) and six materials; the variant picks the
// lighting and the render states the page is drawn under:
//   VARIANT = {lit|unlit}-{device|viewer|blend}
//     device  the device's defaults (no specular)
//     viewer  the states a viewer frame holds when it draws the model: specular on, stage 0
//             alpha MODULATE of texture and diffuse, the overlay's blend factors (blending off)
//     blend   the same with alpha blending on, as the overlay draws
// Cells lie in rows of kColumns tiles of kTile x kTile pixels, each its own viewport; their
// names go to standard output, one a line, in tile order.
#include "geometry.h"

#include <string>
#include <vector>

namespace {

constexpr int kTile = 50;
constexpr int kColumns = int(scene::kWidth) / kTile;

struct MaterialCase {
    const char* name;
    float r, g, b, a; // diffuse (the viewer makes the ambient the same)
    float power;      //
    float specular;   // grey
    float er, eg, eb; // emissive
};

const MaterialCase kMaterials[] = {
    {"plain", 0.8f, 0.5f, 0.2f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {"emissive", 0.3f, 0.3f, 0.6f, 1.0f, 0.0f, 0.0f, 0.9f, 0.5f, 0.0f}, // red saturates
    {"spec-power0", 0.6f, 0.6f, 0.3f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f},
    {"spec-power20", 0.6f, 0.6f, 0.3f, 1.0f, 20.0f, 1.0f, 0.0f, 0.0f, 0.0f},
    {"alpha", 0.2f, 0.8f, 0.4f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {"black", 0.0f, 0.0f, 0.0f, 1.0f, 10.0f, 0.5f, 0.0f, 0.0f, 0.0f},
};

// What the material's TextureFilename says: an image that loads, nothing, a file not there.
const char* const kTextures[] = {"file", "none", "missing"};
const char* TextureName(int texture) {
    return texture == 0 ? "filter.png" : texture == 2 ? "missing.png" : nullptr;
}

enum Parts { kNormals = 1, kColours = 2, kCoords = 4 };

std::string FormatName(int parts) {
    std::string s = "p";
    if (parts & kNormals) s += "n";
    if (parts & kColours) s += "c";
    if (parts & kCoords) s += "t";
    return s;
}

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", double(value));
    return text;
}

// A unit UV sphere as a .x text with the given parts and one material.
std::string SphereFile(int parts, const MaterialCase& m, const char* texture) {
    constexpr int kRings = 8, kSegments = 12;
    struct Vertex {
        float x, y, z, u, v;
    };
    std::vector<Vertex> vertices;
    for (int i = 0; i <= kRings; ++i)
        for (int j = 0; j <= kSegments; ++j) {
            const float theta = 3.14159265f * float(i) / kRings;
            const float phi = 2.0f * 3.14159265f * float(j) / kSegments;
            // Coordinates inside the image that never fall on a texel's edge (the image is 64
            // texels wide and high), where point sampling could pick either texel.
            vertices.push_back(
                {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi),
                 0.03f + 0.9f * float(j) / kSegments, 0.03f + 0.9f * float(i) / kRings});
        }
    std::vector<int> faces;
    for (int i = 0; i < kRings; ++i)
        for (int j = 0; j < kSegments; ++j) {
            const int a = i * (kSegments + 1) + j, b = a + kSegments + 1;
            faces.insert(faces.end(), {a, a + 1, b, a + 1, b + 1, b});
        }
    const size_t faceCount = faces.size() / 3;
    auto list = [&](auto item, size_t count) {
        std::string s;
        for (size_t k = 0; k < count; ++k)
            s += "  " + item(k) + (k + 1 < count ? ",\n" : ";\n");
        return s;
    };
    auto faceList = [&]() {
        return list(
            [&](size_t f) {
                return "3;" + std::to_string(faces[f * 3]) + "," +
                       std::to_string(faces[f * 3 + 1]) + "," + std::to_string(faces[f * 3 + 2]) +
                       ";";
            },
            faceCount);
    };

    std::string x = "xof 0303txt 0032\nMesh {\n " + std::to_string(vertices.size()) + ";\n";
    x += list(
        [&](size_t k) {
            return Number(vertices[k].x) + ";" + Number(vertices[k].y) + ";" +
                   Number(vertices[k].z) + ";";
        },
        vertices.size());
    x += " " + std::to_string(faceCount) + ";\n" + faceList();
    if (parts & kNormals) {
        x += " MeshNormals {\n " + std::to_string(vertices.size()) + ";\n";
        x += list(
            [&](size_t k) {
                return Number(vertices[k].x) + ";" + Number(vertices[k].y) + ";" +
                       Number(vertices[k].z) + ";";
            },
            vertices.size());
        x += " " + std::to_string(faceCount) + ";\n" + faceList() + " }\n";
    }
    if (parts & kCoords) {
        x += " MeshTextureCoords {\n " + std::to_string(vertices.size()) + ";\n";
        x += list(
            [&](size_t k) { return Number(vertices[k].u) + ";" + Number(vertices[k].v) + ";"; },
            vertices.size());
        x += " }\n";
    }
    if (parts & kColours) {
        // A colour that changes across the sphere, with an alpha below 1.
        x += " MeshVertexColors {\n " + std::to_string(vertices.size()) + ";\n";
        x += list(
            [&](size_t k) {
                const Vertex& v = vertices[k];
                return std::to_string(k) + ";" + Number(0.5f + 0.5f * v.x) + ";" +
                       Number(0.5f + 0.5f * v.y) + ";" + Number(0.5f - 0.5f * v.z) + ";" +
                       Number(0.75f) + ";";
            },
            vertices.size());
        x += " }\n";
    }
    x += " MeshMaterialList {\n  1;\n  " + std::to_string(faceCount) + ";\n";
    x += list([](size_t) { return std::string("0"); }, faceCount);
    x += "  Material {\n   " + Number(m.r) + ";" + Number(m.g) + ";" + Number(m.b) + ";" +
         Number(m.a) + ";;\n   " + Number(m.power) + ";\n   " + Number(m.specular) + ";" +
         Number(m.specular) + ";" + Number(m.specular) + ";;\n   " + Number(m.er) + ";" +
         Number(m.eg) + ";" + Number(m.eb) + ";;\n";
    if (texture) x += "   TextureFilename { \"" + std::string(texture) + "\"; }\n";
    x += "  }\n }\n}\n";
    return x;
}

// The model of one cell, loaded and drawn as the viewer loads and draws one.
void DrawCell(IDirect3DDevice9* device, const std::string& file) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    scene::Check(D3DXLoadMeshFromXInMemory(file.data(), DWORD(file.size()), D3DXMESH_SYSTEMMEM,
                                           device, nullptr, &materials, nullptr, &count, &mesh),
                 "D3DXLoadMeshFromXInMemory");
    const auto* records = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    for (DWORD i = 0; i < count; ++i) {
        D3DMATERIAL9 material = records[i].MatD3D;
        material.Ambient = material.Diffuse;
        IDirect3DTexture9* texture = nullptr;
        if (records[i].pTextureFilename &&
            D3DXCreateTextureFromFileA(device, records[i].pTextureFilename, &texture) != D3D_OK)
            texture = nullptr;
        device->SetMaterial(&material);
        device->SetTexture(0, texture);
        mesh->DrawSubset(i);
        device->SetTexture(0, nullptr);
        if (texture) texture->Release();
    }
    materials->Release();
    mesh->Release();
}

} // namespace

int main(int argc, char** argv) {
    scene::Context c = scene::Open(argc, argv);
    IDirect3DDevice9* device = c.device;
    const std::string variant = c.variant;
    const size_t dash = variant.find('-');
    const std::string lighting = variant.substr(0, dash);
    const std::string states = dash == std::string::npos ? "" : variant.substr(dash + 1);
    if ((lighting != "lit" && lighting != "unlit") ||
        (states != "device" && states != "viewer" && states != "blend"))
        scene::UnknownVariant(c);

    scene::Check(device->BeginScene(), "BeginScene");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, scene::kClearColour, 1.0f, 0);
    scene::ViewerLight(device, 0.5f);
    scene::ViewerCamera(device, D3DXVECTOR3(0.0f, 0.6f, -2.6f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    scene::World(device, 0.0f, 0.0f, 0.0f, 0.5f);
    device->SetRenderState(D3DRS_LIGHTING, lighting == "lit");
    if (states == "device") {
        device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    } else {
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, states == "blend");
    }

    std::vector<std::string> names;
    for (int parts = 0; parts < 8; ++parts)
        for (int texture = 0; texture < 3; ++texture)
            for (const MaterialCase& m : kMaterials) {
                const int cell = int(names.size());
                const D3DVIEWPORT9 viewport = {DWORD(cell % kColumns * kTile),
                                               DWORD(cell / kColumns * kTile),
                                               kTile,
                                               kTile,
                                               0.0f,
                                               1.0f};
                device->SetViewport(&viewport);
                DrawCell(device, SphereFile(parts, m, TextureName(texture)));
                names.push_back(variant + "/" + FormatName(parts) + "-" + kTextures[texture] + "-" +
                                m.name);
            }
    scene::Check(device->EndScene(), "EndScene");

    for (const std::string& name : names)
        std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    scene::SaveAndClose(c);
}
