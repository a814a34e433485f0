// D3DXLoadMeshFromX(InMemory), ID3DXMesh and ID3DXBuffer: the merged mesh the loader builds
// (frames, fans, split vertices, colours, uvs, materials), its errors, and how DrawSubset draws.
#include "miscounted_mesh.h"
#include "testing/recording_device.h"
#include "xfile_test_writer.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <vector>

using xfile_test::BinaryWriter;
using xfile_test::MeshArray;
using xfile_test::Miscount;

namespace {

struct Vec3 {
    float x, y, z;
};

class MeshTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder_ = xoftest::CreateRecordingDevice();
        device_ = xoftest::AsDevice(recorder_);
    }
    void TearDown() override {
        device_->SetStreamSource(0, nullptr, 0, 0);
        device_->SetIndices(nullptr);
        EXPECT_EQ(xoftest::LiveResources(recorder_), 0);
        device_->Release();
    }
    std::vector<std::string>& calls() { return xoftest::Calls(recorder_); }

    xoftest::RecordingDevice* recorder_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

// A loaded mesh and its material buffer, released at the end of the test's scope.
struct Loaded {
    HRESULT hr = E_FAIL;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;

    Loaded() = default;
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    ~Loaded() {
        if (mesh) mesh->Release();
        if (materials) materials->Release();
    }
    const D3DXMATERIAL& material(DWORD i) const {
        return static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer())[i];
    }
    std::vector<uint8_t> vertices() const {
        void* p = nullptr;
        mesh->LockVertexBuffer(D3DLOCK_READONLY, &p);
        const auto* b = static_cast<const uint8_t*>(p);
        std::vector<uint8_t> v(b, b + mesh->GetNumVertices() * mesh->GetNumBytesPerVertex());
        mesh->UnlockVertexBuffer();
        return v;
    }
    std::vector<uint32_t> indices() const {
        void* p = nullptr;
        mesh->LockIndexBuffer(D3DLOCK_READONLY, &p);
        std::vector<uint32_t> v(mesh->GetNumFaces() * 3);
        for (size_t i = 0; i < v.size(); ++i) {
            if (mesh->GetOptions() & D3DXMESH_32BIT) {
                v[i] = static_cast<const uint32_t*>(p)[i];
            } else {
                v[i] = static_cast<const uint16_t*>(p)[i];
            }
        }
        mesh->UnlockIndexBuffer();
        return v;
    }
    std::vector<DWORD> attributes() const {
        DWORD* p = nullptr;
        mesh->LockAttributeBuffer(D3DLOCK_READONLY, &p);
        std::vector<DWORD> v(p, p + mesh->GetNumFaces());
        mesh->UnlockAttributeBuffer();
        return v;
    }
    Vec3 vec3(DWORD vertex, DWORD offset) const {
        void* p = nullptr;
        mesh->LockVertexBuffer(D3DLOCK_READONLY, &p);
        Vec3 v;
        std::memcpy(&v,
                    static_cast<const uint8_t*>(p) + vertex * mesh->GetNumBytesPerVertex() + offset,
                    12);
        mesh->UnlockVertexBuffer();
        return v;
    }
    Vec3 position(DWORD vertex) const { return vec3(vertex, 0); }
    Vec3 normal(DWORD vertex) const { return vec3(vertex, 12); }
    DWORD dword(DWORD vertex, DWORD offset) const {
        void* p = nullptr;
        mesh->LockVertexBuffer(D3DLOCK_READONLY, &p);
        DWORD v;
        std::memcpy(
            &v, static_cast<const uint8_t*>(p) + vertex * mesh->GetNumBytesPerVertex() + offset, 4);
        mesh->UnlockVertexBuffer();
        return v;
    }
};

void LoadInto(Loaded& out, std::string_view bytes, IDirect3DDevice9* device,
              DWORD options = D3DXMESH_SYSTEMMEM) {
    out.hr =
        D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), options, device,
                                  nullptr, &out.materials, nullptr, &out.count, &out.mesh);
}

std::string Text(std::string_view body) {
    return "xof 0303txt 0032\n" + std::string(body);
}

HRESULT LoadResult(std::string_view bytes, IDirect3DDevice9* device) {
    Loaded l;
    LoadInto(l, bytes, device);
    if (FAILED(l.hr)) {
        EXPECT_EQ(l.mesh, nullptr);
        EXPECT_EQ(l.materials, nullptr);
    }
    return l.hr;
}

#define EXPECT_VEC3_NEAR(v, ex, ey, ez)                                                            \
    do {                                                                                           \
        const Vec3 v_ = (v);                                                                       \
        EXPECT_NEAR(v_.x, ex, 1e-5f);                                                              \
        EXPECT_NEAR(v_.y, ey, 1e-5f);                                                              \
        EXPECT_NEAR(v_.z, ez, 1e-5f);                                                              \
    } while (0)

// The unit cube: 8 corners, 6 quads, one normal per quad.
const char kCube[] = R"(Mesh cube {
 8;
 0;0;0;, 0;1;0;, 1;0;0;, 1;1;0;, 1;0;1;, 0;0;1;, 0;1;1;, 1;1;1;;
 6;
 4;0,1,3,2;, 4;1,3,7,6;, 4;2,0,5,4;, 4;4,5,6,7;, 4;0,5,6,1;, 4;2,3,7,4;;
 MeshNormals {
  6; 0;0;-1;, 0;1;0;, 0;-1;0;, 0;0;1;, -1;0;0;, 1;0;0;;
  6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;;
 }
})";

// ---------------------------------------------------------------------------------------------
// Geometry

TEST_F(MeshTest, CubeWithOneNormalPerFaceSplitsInto24Vertices) {
    Loaded l;
    LoadInto(l, Text(kCube), device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetNumVertices(), 24u);
    EXPECT_EQ(l.mesh->GetNumFaces(), 12u);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL});
    EXPECT_EQ(l.mesh->GetNumBytesPerVertex(), 24u);
    const std::vector<uint32_t> first24 = {0,  1,  3, 0,  3, 2, 8,  9,  7,  8,  7,  6,
                                           10, 11, 5, 10, 5, 4, 12, 13, 14, 12, 14, 15};
    const auto indices = l.indices();
    EXPECT_EQ(std::vector<uint32_t>(indices.begin(), indices.begin() + 24), first24);
    // Copies come in order of discovery: 8 is corner 1 seen again by the top face.
    EXPECT_VEC3_NEAR(l.position(8), 0, 1, 0);
    EXPECT_VEC3_NEAR(l.normal(8), 0, 1, 0);
    EXPECT_VEC3_NEAR(l.normal(1), 0, 0, -1);
    EXPECT_VEC3_NEAR(l.position(11), 0, 0, 0);
    EXPECT_VEC3_NEAR(l.normal(11), 0, -1, 0);
}

TEST_F(MeshTest, EqualNormalValuesShareAVertexAndUnusedVerticesGetNone) {
    Loaded l;
    LoadInto(l,
             Text("Mesh { 5; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;, 9;9;9;;\n"
                  " 2; 3;0,1,2;, 3;1,3,2;;\n"
                  " MeshNormals { 3; 0;0;2;, 0;0;1;, 0;0;-1;;\n"
                  "  2; 3;0,0,0;, 3;1,1,2;; } }"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    // Normals 0 and 1 are the same once normalised; only vertex 2's last corner differs.
    EXPECT_EQ(l.mesh->GetNumVertices(), 6u);
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{0, 1, 2, 1, 3, 5}));
    EXPECT_VEC3_NEAR(l.normal(0), 0, 0, 1);
    EXPECT_VEC3_NEAR(l.normal(5), 0, 0, -1);
    EXPECT_VEC3_NEAR(l.position(5), 0, 1, 0);
    EXPECT_VEC3_NEAR(l.normal(4), 0, 0, 0);
}

TEST_F(MeshTest, PolygonsBecomeFansKeepingTheirWinding) {
    Loaded l;
    LoadInto(l, Text("Mesh { 5; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;1;0;; 1; 5;0,1,2,3,4;; }"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD{D3DFVF_XYZ});
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
}

TEST_F(MeshTest, ColoursAndTextureCoordinatesFollowTheirVertex) {
    Loaded l;
    LoadInto(l,
             Text("Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 2; 3;0,1,2;, 3;1,3,2;;\n"
                  " MeshNormals { 2; 0;0;1;, 1;0;0;; 2; 3;0,0,0;, 3;1,1,1;; }\n"
                  " MeshTextureCoords { 4; 0;0;, 1;0;, 0;1;, 0.25;0.75;; }\n"
                  " MeshVertexColors { 3; 0;0;0;1;0.1;;, 1;2;-1;0.5;1;;, 2;1;1;1;1;;; } }"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1});
    ASSERT_EQ(l.mesh->GetNumBytesPerVertex(), 36u);
    ASSERT_EQ(l.mesh->GetNumVertices(), 6u); // vertices 1 and 2 copied for the second face
    EXPECT_EQ(l.dword(0, 24), 0x1A0000FFu);  // (0,0,1,0.1)
    EXPECT_EQ(l.dword(1, 24), 0xFFFF0080u);  // clamped to [0,1]
    EXPECT_EQ(l.dword(3, 24), 0x00FFFFFFu);  // not listed: white, alpha 0
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{0, 1, 2, 4, 3, 5}));
    EXPECT_EQ(l.dword(4, 24), 0xFFFF0080u); // a copy of vertex 1 keeps its colour and uv
    float uv[2];
    void* p = nullptr;
    l.mesh->LockVertexBuffer(D3DLOCK_READONLY, &p);
    std::memcpy(uv, static_cast<uint8_t*>(p) + 5 * 36 + 28, 8);
    l.mesh->UnlockVertexBuffer();
    EXPECT_EQ(uv[0], 0.0f);
    EXPECT_EQ(uv[1], 1.0f);
}

TEST_F(MeshTest, NotANumberColourComponentsCountAsZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    BinaryWriter w;
    w.Name("Mesh")
        .Open()
        .Integers({3})
        .Floats({0, 0, 0, 1, 0, 0, 0, 1, 0})
        .Integers({1, 3, 0, 1, 2});
    w.Name("MeshVertexColors").Open().Integers({1, 0}).Floats({nan, 1, nan, nan}).Close().Close();
    Loaded l;
    LoadInto(l, "xof 0303bin 0032" + w.str(), device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.dword(0, 12), 0x0000FF00u);
}

TEST_F(MeshTest, MatricesApplyToTheMeshesAfterThemAndAccumulate) {
    Loaded l;
    LoadInto(l,
             Text("Frame {\n"
                  " Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"
                  " FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,2,1;; }\n"
                  " Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"
                  " FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,3,1;; }\n"
                  " Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"
                  "}"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.mesh->GetNumVertices(), 9u);
    EXPECT_VEC3_NEAR(l.position(0), 0, 0, 0);
    EXPECT_VEC3_NEAR(l.position(3), 0, 0, 2);
    EXPECT_VEC3_NEAR(l.position(6), 0, 0, 5);
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(MeshTest, NestedFramesApplyTheChildFirstThenTheParent) {
    // Parent: a quarter turn about y. Child: a move along x, then the mesh.
    const float c = std::cos(1.5707963f), s = std::sin(1.5707963f);
    char parent[200];
    std::snprintf(parent, sizeof parent, "%.9g,0,%.9g,0, 0,1,0,0, %.9g,0,%.9g,0, 0,0,0,1;;", c, -s,
                  s, c);
    Loaded l;
    LoadInto(l,
             Text(std::string("Frame parent {\n FrameTransformMatrix { ") + parent +
                  " }\n"
                  " Frame child {\n"
                  "  FrameTransformMatrix { 2,0,0,0, 0,1,0,0, 0,0,1,0, 1,0,0,1;; }\n"
                  "  Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                  "   MeshNormals { 1; 1;0;0;; 1; 3;0,0,0;; } }\n"
                  " }\n}"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    // (0,0,0) -> child (1,0,0) -> parent (0,0,-1); (1,0,0) -> (3,0,0) -> (0,0,-3).
    EXPECT_VEC3_NEAR(l.position(0), 0, 0, -1);
    EXPECT_VEC3_NEAR(l.position(1), 0, 0, -3);
    EXPECT_VEC3_NEAR(l.position(2), 0, 1, -1);
    // The normal turns with the frames and stays unit length; the move does not touch it.
    EXPECT_VEC3_NEAR(l.normal(0), 0, 0, -1);
}

TEST_F(MeshTest, ReferencedMeshesAndFramesAreEmittedWhereReferenced) {
    Loaded l;
    LoadInto(l,
             Text("Mesh tri { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"
                  "Frame moved { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1;; }\n"
                  " { tri } }\n"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.mesh->GetNumVertices(), 6u); // top level, then again inside the frame
    EXPECT_VEC3_NEAR(l.position(3), 5, 0, 0);
}

TEST_F(MeshTest, TwoMeshesMergeIntoTheUnionLayout) {
    Loaded l;
    LoadInto(
        l,
        Text(
            "Material red { 1;0;0;1;; 5; 1;1;1;; 0;0;0;; TextureFilename { \"red.png\"; } }\n"
            "Mesh a { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;2,1,0;;\n"
            " MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; }\n"
            " MeshMaterialList { 2; 2; 1, 0;; { red } Material { 0;1;0;1;; 1; 0;0;0;; 0;0;0;; } }\n"
            "}\n"
            "Mesh b { 3; 0;0;1;, 1;0;1;, 0;1;1;; 1; 3;0,1,2;;\n"
            " MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }\n"
            "}\n"
            "Mesh c { 3; 0;0;2;, 1;0;2;, 0;1;2;; 1; 3;0,2,1;;\n"
            " MeshMaterialList { 1; 1; 0;; Material { 0;0;1;1;; 1; 0;0;0;; 0;0;0;; } }\n"
            "}\n"),
        device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1});
    EXPECT_EQ(l.mesh->GetNumVertices(), 9u);
    EXPECT_EQ(l.mesh->GetNumFaces(), 4u);
    // Mesh a's faces sorted by material; b keeps id 0 (no list); c's ids follow a's two.
    EXPECT_EQ(l.attributes(), (std::vector<DWORD>{0, 1, 0, 2}));
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{2, 1, 0, 0, 1, 2, 3, 4, 5, 6, 8, 7}));
    ASSERT_EQ(l.count, 3u);
    EXPECT_STREQ(l.material(0).pTextureFilename, "red.png");
    EXPECT_EQ(l.material(1).MatD3D.Diffuse.g, 1.0f);
    EXPECT_EQ(l.material(2).MatD3D.Diffuse.b, 1.0f);
    // Elements a mesh lacks are zero: a has no uv, b no normal.
    EXPECT_EQ(l.dword(0, 24), 0u);
    EXPECT_VEC3_NEAR(l.normal(3), 0, 0, 0);
    EXPECT_EQ(l.dword(4, 24), 0x3F800000u); // b's second uv u = 1.0f
    D3DXATTRIBUTERANGE table[4];
    DWORD size = 99;
    EXPECT_EQ(l.mesh->GetAttributeTable(nullptr, &size), D3D_OK);
    EXPECT_EQ(size, 0u); // merged meshes get no attribute table
    (void)table;
}

TEST_F(MeshTest, MaterialRecordsAreFilledAsD3DXDoes) {
    Loaded l;
    LoadInto(
        l,
        Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
             " MeshMaterialList { 2; 1; 1;;\n"
             "  Material { 0.1;0.2;0.3;0.4;; 12.5; 0.5;0.6;0.7;; 0.8;0.9;1.0;;\n"
             "   TextureFilename { \"first.png\"; } TextureFilename { \"..\\\\tex\\\\B.PNG\"; } }\n"
             "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"),
        device_);
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.count, 2u);
    const D3DMATERIAL9& m = l.material(0).MatD3D;
    EXPECT_EQ(m.Diffuse.r, 0.1f);
    EXPECT_EQ(m.Diffuse.a, 0.4f);
    EXPECT_EQ(m.Ambient.r, 0.0f);
    EXPECT_EQ(m.Ambient.a, 1.0f);
    EXPECT_EQ(m.Specular.g, 0.6f);
    EXPECT_EQ(m.Specular.a, 1.0f);
    EXPECT_EQ(m.Emissive.b, 1.0f);
    EXPECT_EQ(m.Emissive.a, 1.0f);
    EXPECT_EQ(m.Power, 12.5f);
    EXPECT_STREQ(l.material(0).pTextureFilename, "..\\\\tex\\\\B.PNG"); // the last one, verbatim
    EXPECT_EQ(l.material(1).pTextureFilename, nullptr);
    // The names live inside the buffer, after the records.
    const char* begin = static_cast<const char*>(l.materials->GetBufferPointer());
    EXPECT_GE(l.material(0).pTextureFilename, begin + 2 * sizeof(D3DXMATERIAL));
    EXPECT_LT(l.material(0).pTextureFilename, begin + l.materials->GetBufferSize());
    DWORD size = 0;
    ASSERT_EQ(l.mesh->GetAttributeTable(nullptr, &size), D3D_OK);
    ASSERT_EQ(size, 1u);
    D3DXATTRIBUTERANGE range;
    l.mesh->GetAttributeTable(&range, &size);
    EXPECT_EQ(range.AttribId, 1u);
    EXPECT_EQ(range.FaceCount, 1u);
    EXPECT_EQ(range.VertexCount, 3u);
}

TEST_F(MeshTest, AShortFaceIndexListRepeatsItsLastIndex) {
    Loaded l;
    LoadInto(l,
             Text("Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 3; 3;0,1,2;, 3;1,3,2;, 3;0,3,2;;\n"
                  " MeshMaterialList { 3; 2; 2, 1;;\n"
                  "  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
                  "  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
                  "  Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; } } }"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.attributes(), (std::vector<DWORD>{1, 1, 2}));
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{1, 3, 2, 0, 3, 2, 0, 1, 2}));
}

TEST_F(MeshTest, AFileWithoutMaterialsGetsOneDefaultMaterial) {
    Loaded l;
    LoadInto(l, Text(kCube), device_);
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.count, 1u);
    const D3DMATERIAL9& m = l.material(0).MatD3D;
    EXPECT_EQ(m.Diffuse.r, 0.5f);
    EXPECT_EQ(m.Diffuse.a, 0.0f);
    EXPECT_EQ(m.Ambient.a, 0.0f);
    EXPECT_EQ(m.Specular.b, 0.5f);
    EXPECT_EQ(m.Specular.a, 0.0f);
    EXPECT_EQ(m.Emissive.a, 0.0f);
    EXPECT_EQ(m.Power, 0.0f);
    EXPECT_EQ(l.material(0).pTextureFilename, nullptr);
    for (DWORD a : l.attributes())
        EXPECT_EQ(a, 0u);
}

TEST_F(MeshTest, MoreThan65535VerticesGet32BitIndices) {
    std::string body = "Mesh { 70000;\n";
    for (int i = 0; i < 70000; ++i)
        body += std::to_string(i) + ";0;0;" + (i + 1 < 70000 ? "," : ";");
    body += "\n 1; 3;69997,69998,69999;; }";
    Loaded l;
    LoadInto(l, Text(body), device_, D3DXMESH_SYSTEMMEM);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetOptions(), DWORD{D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT});
    EXPECT_EQ(l.indices(), (std::vector<uint32_t>{69997, 69998, 69999}));

    Loaded small;
    LoadInto(small, Text(kCube), device_, D3DXMESH_SYSTEMMEM);
    EXPECT_EQ(small.mesh->GetOptions(), DWORD{D3DXMESH_SYSTEMMEM});
}

// ---------------------------------------------------------------------------------------------
// The same model as text, binary (32- and 64-bit floats) and compressed

const std::vector<double> kPositions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5};
const std::vector<double> kNormals = {0, 0, 1, 0, 1, 0};
const std::vector<double> kUvs = {0, 0, 1, 0, 1, 1, 0.25, 1};
const std::vector<double> kMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5, 2, -1, 1};

std::string NumberList(const std::vector<double>& v, int group, const char* end) {
    std::string s;
    char b[32];
    for (size_t i = 0; i < v.size(); ++i) {
        std::snprintf(b, sizeof b, "%.17g;", v[i]);
        s += b;
        if ((i + 1) % group == 0) s += i + 1 == v.size() ? end : ",";
    }
    return s;
}

std::string ModelText() {
    return "Frame root {\n FrameTransformMatrix { " + NumberList(kMatrix, 16, ";") +
           " }\n Mesh quad { 4; " + NumberList(kPositions, 3, ";") +
           "\n  2; 4;0,1,2,3;, 3;0,2,3;;\n"
           "  MeshNormals { 2; " +
           NumberList(kNormals, 3, ";") +
           " 2; 4;0,0,0,0;, 3;1,1,1;; }\n"
           "  MeshTextureCoords { 4; " +
           NumberList(kUvs, 2, ";") +
           " }\n"
           "  MeshVertexColors { 2; 0;1;0;0;1;;, 3;0;0;1;0.5;;; }\n"
           "  MeshMaterialList { 2; 2; 1, 0;;\n"
           "   Material { 1;1;1;1;; 8; 0.5;0.5;0.5;; 0;0;0;; TextureFilename { \"a.png\"; } }\n"
           "   Material { 0;1;0;1;; 2; 0;0;0;; 0;0;0;; } }\n"
           " }\n}\n";
}

std::string ModelBinary(bool doubles) {
    BinaryWriter w(doubles);
    w.Name("Frame").Name("root").Open();
    w.Name("FrameTransformMatrix").Open().Floats(kMatrix).Close();
    w.Name("Mesh").Name("quad").Open().Integers({4}).Floats(kPositions);
    w.Integers({2, 4, 0, 1, 2, 3, 3, 0, 2, 3});
    w.Name("MeshNormals").Open().Integers({2}).Floats(kNormals);
    w.Integers({2, 4, 0, 0, 0, 0, 3, 1, 1, 1}).Close();
    w.Name("MeshTextureCoords").Open().Integers({4}).Floats(kUvs).Close();
    w.Name("MeshVertexColors").Open().Integers({2, 0}).Floats({1, 0, 0, 1});
    w.Integers({3}).Floats({0, 0, 1, 0.5}).Close();
    w.Name("MeshMaterialList").Open().Integers({2, 2, 1, 0});
    w.Name("Material").Open().Floats({1, 1, 1, 1, 8, 0.5, 0.5, 0.5, 0, 0, 0});
    w.Name("TextureFilename").Open().String("a.png").Close().Close();
    w.Name("Material").Open().Floats({0, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0}).Close();
    w.Close().Close().Close();
    return w.str();
}

TEST_F(MeshTest, TextBinaryAndCompressedFormsGiveTheSameMesh) {
    const std::string forms[] = {
        Text(ModelText()),
        "xof 0303bin 0032" + ModelBinary(false),
        "xof 0303bin 0064" + ModelBinary(true),
        xfile_test::Compressed("xof 0303tzip0032", "\n" + ModelText(), 100),
        xfile_test::Compressed("xof 0303bzip0064", ModelBinary(true), 64),
    };
    Loaded reference;
    LoadInto(reference, forms[0], device_);
    ASSERT_EQ(reference.hr, D3D_OK);
    EXPECT_EQ(reference.mesh->GetNumVertices(), 7u);
    EXPECT_EQ(reference.mesh->GetNumFaces(), 3u);
    EXPECT_VEC3_NEAR(reference.position(0), 0.5, 2, -1);
    for (size_t i = 1; i < std::size(forms); ++i) {
        SCOPED_TRACE("form " + std::to_string(i));
        Loaded l;
        LoadInto(l, forms[i], device_);
        ASSERT_EQ(l.hr, D3D_OK);
        EXPECT_EQ(l.mesh->GetFVF(), reference.mesh->GetFVF());
        EXPECT_EQ(l.vertices(), reference.vertices());
        EXPECT_EQ(l.indices(), reference.indices());
        EXPECT_EQ(l.attributes(), reference.attributes());
        ASSERT_EQ(l.count, reference.count);
        for (DWORD m = 0; m < l.count; ++m) {
            EXPECT_EQ(std::memcmp(&l.material(m).MatD3D, &reference.material(m).MatD3D,
                                  sizeof(D3DMATERIAL9)),
                      0);
            EXPECT_EQ(l.material(m).pTextureFilename == nullptr,
                      reference.material(m).pTextureFilename == nullptr);
        }
        EXPECT_STREQ(l.material(0).pTextureFilename, "a.png");
    }
}

// ---------------------------------------------------------------------------------------------
// The corpus

struct CorpusCase {
    const char* file;
    DWORD vertices, faces, fvf;
    std::vector<const char*> textures; // nullptr: no TextureFilename
};

TEST_F(MeshTest, EveryCorpusFileLoadsWithItsCountsAndTextureNames) {
    const DWORD kNormalUv = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    const std::string kw =
        "C:\\\\code\\\\sourceforge\\\\kwxport\\\\trunkMerged\\\\test\\\\data\\\\";
    const std::string bottom = kw + "bottom.tga", top = kw + "top.tga", side = kw + "updown.tga";
    const CorpusCase cases[] = {
        {"test_cube_text.x", 24, 12, kNormalUv, {nullptr}},
        {"test_cube_binary.x", 24, 12, kNormalUv, {nullptr}},
        {"test_cube_compressed.x", 24, 12, kNormalUv, {nullptr}},
        {"kwxport_test_cubewithvcolors.x",
         24,
         12,
         kNormalUv | D3DFVF_DIFFUSE,
         {bottom.c_str(), top.c_str(), side.c_str()}},
        {"test.x", 24, 12, kNormalUv, {".\\\\test.png"}},
        {"anim_test.x", 1720, 840, kNormalUv, {""}},
    };
    for (const CorpusCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = std::string(XOF_XCORPUS_DIR) + "/" + c.file;
        Loaded l;
        l.hr = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device_, nullptr, &l.materials,
                                  nullptr, &l.count, &l.mesh);
        ASSERT_EQ(l.hr, D3D_OK);
        EXPECT_EQ(l.mesh->GetNumVertices(), c.vertices);
        EXPECT_EQ(l.mesh->GetNumFaces(), c.faces);
        EXPECT_EQ(l.mesh->GetFVF(), c.fvf);
        ASSERT_EQ(l.count, c.textures.size());
        for (DWORD i = 0; i < l.count; ++i) {
            if (c.textures[i]) {
                EXPECT_STREQ(l.material(i).pTextureFilename, c.textures[i]);
            } else {
                EXPECT_EQ(l.material(i).pTextureFilename, nullptr);
            }
        }
    }
}

TEST_F(MeshTest, CorpusCubesCarryTheirFrameAndMaterialValues) {
    Loaded cube;
    const std::string dir = XOF_XCORPUS_DIR;
    cube.hr = D3DXLoadMeshFromXA((dir + "/test_cube_text.x").c_str(), D3DXMESH_SYSTEMMEM, device_,
                                 nullptr, &cube.materials, nullptr, &cube.count, &cube.mesh);
    ASSERT_EQ(cube.hr, D3D_OK);
    const D3DMATERIAL9& m = cube.material(0).MatD3D;
    EXPECT_FLOAT_EQ(m.Diffuse.r, 0.639216f);
    EXPECT_FLOAT_EQ(m.Power, 96.07843f);
    EXPECT_FLOAT_EQ(m.Specular.r, 0.498039f);
    EXPECT_EQ(m.Specular.a, 1.0f);
    // Root's matrix swaps y and z: the first vertex (-1,-1,1) lands at (-1,1,-1).
    EXPECT_VEC3_NEAR(cube.position(0), -1, 1, -1);

    Loaded kw;
    kw.hr =
        D3DXLoadMeshFromXA((dir + "/kwxport_test_cubewithvcolors.x").c_str(), D3DXMESH_SYSTEMMEM,
                           device_, nullptr, &kw.materials, nullptr, &kw.count, &kw.mesh);
    ASSERT_EQ(kw.hr, D3D_OK);
    EXPECT_VEC3_NEAR(kw.position(0), -0.492126f, -0.492126f, -0.492126f);
    EXPECT_EQ(kw.dword(0, 24), 0xFFFF0000u);
    EXPECT_EQ(kw.attributes(), (std::vector<DWORD>{0, 0, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2}));
}

// ---------------------------------------------------------------------------------------------
// Errors

TEST_F(MeshTest, ArgumentErrorsAreInvalidCall) {
    const std::string cube = Text(kCube);
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(nullptr, 10, 0, device_, nullptr, nullptr, nullptr, nullptr,
                                        &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(cube.data(), 0, 0, device_, nullptr, nullptr, nullptr,
                                        nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(cube.data(), DWORD(cube.size()), 0, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXInMemory(cube.data(), DWORD(cube.size()), 0, device_, nullptr,
                                        nullptr, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXA(nullptr, 0, device_, nullptr, nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    // Only the mesh is required: every other output may be absent.
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(cube.data(), DWORD(cube.size()), 0, device_, nullptr,
                                        nullptr, nullptr, nullptr, &mesh),
              D3D_OK);
    mesh->Release();
}

TEST_F(MeshTest, AMissingFileIsInvalidData) {
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(
        D3DXLoadMeshFromXA("no such file.x", 0, device_, nullptr, nullptr, nullptr, nullptr, &mesh),
        D3DXERR_INVALIDDATA);
    EXPECT_EQ(
        D3DXLoadMeshFromXA(XOF_XCORPUS_DIR, 0, device_, nullptr, nullptr, nullptr, nullptr, &mesh),
        D3DXERR_INVALIDDATA); // a folder
}

TEST_F(MeshTest, HeaderAndSyntaxFaultsGiveTheFileErrors) {
    EXPECT_EQ(LoadResult("xOf 0303txt 0032", device_), D3DXFERR_BADFILETYPE);
    EXPECT_EQ(LoadResult("xof 0303cmp 0032", device_), D3DXFERR_BADFILETYPE);
    EXPECT_EQ(LoadResult("xof", device_), D3DXFERR_BADFILETYPE);
    EXPECT_EQ(LoadResult("xof 0102txt 0032", device_), D3DXFERR_BADFILEVERSION);
    EXPECT_EQ(LoadResult("xof 0303txt 0050", device_), D3DXFERR_BADFILEFLOATSIZE);
    EXPECT_EQ(LoadResult(Text("Mesh { 3; 0;0;0;, 1 0;0;, 0;1;0;; 1; 3;0,1,2;; }"), device_),
              D3DXFERR_PARSEERROR);
    EXPECT_EQ(LoadResult(Text("Mesh { 3;"), device_), D3DXFERR_PARSEERROR);
    EXPECT_EQ(
        LoadResult(xfile_test::Compressed("xof 0303tzip0032", Text(kCube)).substr(0, 40), device_),
        D3DXFERR_PARSEERROR);
}

TEST_F(MeshTest, FilesWithoutMeshDataFail) {
    EXPECT_EQ(LoadResult("xof 0303txt 0032", device_), E_FAIL);
    EXPECT_EQ(
        LoadResult(Text("Frame { Frame {} } Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }"), device_),
        E_FAIL);
    EXPECT_EQ(LoadResult(Text("Mesh { 0; 0; }"), device_), E_FAIL);
    // A mesh without vertices is skipped; the other one loads.
    Loaded l;
    LoadInto(l, Text(std::string("Mesh { 0; 0; }\n") + kCube), device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetNumVertices(), 24u);
    // Vertices but no faces: the mesh itself cannot be made.
    EXPECT_EQ(LoadResult(Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0; }"), device_),
              D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, InconsistentMeshDataFails) {
    const std::string tri = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
    const char* faults[] = {
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }",      // face under 3 corners
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }",    // vertex index too large
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1.5,2;; }",  // fractional index
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,-1,2;; }",   // negative index
        "MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }", // more face normals
        "MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }",         // corner count differs
        "MeshNormals { 1; 0;0;1;; 1; 3;0,1,0;; } }",           // normal index too large
        "MeshTextureCoords { 2; 0;0;, 1;1;; } }",              // uv count differs
        "MeshVertexColors { 1; 3;1;1;1;1;;; } }",              // colour index too large
        "MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
        "MeshMaterialList { 2; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }",
        "MeshMaterialList { 1; 1; 0;; { nowhere } } }", // unresolved material
        "MeshMaterialList { 1; 0; } }",                 // no face indices
    };
    for (size_t i = 0; i < std::size(faults); ++i) {
        const std::string body =
            faults[i][0] == 'M' && faults[i][4] == ' ' ? faults[i] : tri + faults[i];
        EXPECT_EQ(LoadResult(Text(body), device_), E_FAIL) << i << ": " << body;
    }
}

TEST_F(MeshTest, DataThatDoNotFillTheirTemplatesAreParseErrors) {
    // Lists shorter than their counts, and counts that cannot be counts: the file parser stops
    // in the object (see ListsLongerOrShorterThanTheirCountsAreParseErrors).
    const std::string tri = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
    const char* faults[] = {
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;; }",           // fewer faces than counted
        "Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }",           // fewer vertices than counted
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 4294967295;0,1,2;; }",  // huge corner count
        "MeshNormals { 1000000; 0;0;1;; 1; 3;0,0,0;; } }",            // count past the data
        "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; } } }", // short material
        "Mesh { 2.5; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }",         // a count not whole
    };
    for (size_t i = 0; i < std::size(faults); ++i) {
        const std::string body =
            faults[i][0] == 'M' && faults[i][4] == ' ' ? faults[i] : tri + faults[i];
        EXPECT_EQ(LoadResult(Text(body), device_), D3DXFERR_PARSEERROR) << i << ": " << body;
    }
    EXPECT_EQ(LoadResult(Text("Frame { FrameTransformMatrix { 1;0;0;; }\n" + tri + "} }"), device_),
              D3DXFERR_PARSEERROR); // a matrix that is not 16 numbers
}

// ---------------------------------------------------------------------------------------------
// What may follow the last object, and lists against their counts

struct ModelForm {
    const char* name;
    bool text, compressed, doubles;
};
constexpr ModelForm kModelForms[] = {{"text", true, false, false},
                                     {"tzip", true, true, false},
                                     {"binary 32", false, false, false},
                                     {"binary 64", false, false, true},
                                     {"bzip", false, true, true}};

// The model of miscounted_mesh.h in `form`, with `m` applied, counted as `counted` says, and
// `trailer` (text, or binary tokens, as the form takes) after its data.
std::string ModelBytes(const ModelForm& form, Miscount m = {}, const std::string& trailer = "",
                       const xfile_test::miscounted::Model& counted = {}) {
    const std::string plain = form.text
                                  ? xfile_test::MiscountedText(m, counted).bytes
                                  : xfile_test::MiscountedBinary(m, form.doubles, counted).bytes;
    if (!form.compressed) return plain + trailer;
    std::string header = plain.substr(0, 16);
    header.replace(8, 4, form.text ? "tzip" : "bzip");
    return xfile_test::Compressed(header, plain.substr(16) + trailer, 64);
}

void ExpectSameMesh(const Loaded& a, const Loaded& b) {
    EXPECT_EQ(a.mesh->GetFVF(), b.mesh->GetFVF());
    EXPECT_EQ(a.vertices(), b.vertices());
    EXPECT_EQ(a.indices(), b.indices());
    EXPECT_EQ(a.attributes(), b.attributes());
    ASSERT_EQ(a.count, b.count);
    for (DWORD m = 0; m < a.count; ++m) {
        EXPECT_EQ(std::memcmp(&a.material(m).MatD3D, &b.material(m).MatD3D, sizeof(D3DMATERIAL9)),
                  0);
        EXPECT_STREQ(a.material(m).pTextureFilename ? a.material(m).pTextureFilename : "",
                     b.material(m).pTextureFilename ? b.material(m).pTextureFilename : "");
    }
}

TEST_F(MeshTest, StrayClosingBracesAfterTheLastObjectLoadTheMeshAsWithoutThem) {
    // D3DX's file parser stops at a '}' with nothing open once every object is read, and D3DX
    // builds its mesh from those objects: the one they make without the '}'.
    const std::string close = BinaryWriter().Close().str();
    const std::string zeros(6, '\0');
    const std::string text_trailers[] = {"}", "}\n", "}}\n}\r\n", "}\n" + zeros, zeros};
    const std::string binary_trailers[] = {close, close + close, close + zeros, zeros};
    for (const ModelForm& f : kModelForms) {
        SCOPED_TRACE(f.name);
        Loaded reference;
        LoadInto(reference, ModelBytes(f), device_);
        ASSERT_EQ(reference.hr, D3D_OK);
        // Vertices 0 and 2 carry both faces' normals, and are split.
        EXPECT_EQ(reference.mesh->GetNumVertices(), 6u);
        EXPECT_EQ(reference.mesh->GetNumFaces(), 2u);
        for (const std::string& trailer : f.text ? std::span<const std::string>(text_trailers)
                                                 : std::span<const std::string>(binary_trailers)) {
            SCOPED_TRACE(trailer.size());
            Loaded l;
            LoadInto(l, ModelBytes(f, {}, trailer), device_);
            ASSERT_EQ(l.hr, D3D_OK);
            ExpectSameMesh(reference, l);
        }
        // More data after the '}' do not parse: the file parser's error.
        const std::string frame = BinaryWriter().Name("Frame").Open().Close().str();
        EXPECT_EQ(
            LoadResult(ModelBytes(f, {}, f.text ? "}\nFrame after {}\n" : close + frame), device_),
            D3DXFERR_PARSEERROR);
    }
}

TEST_F(MeshTest, ListsLongerOrShorterThanTheirCountsAreParseErrors) {
    // Each array of the mesh and its parts, one element more or one fewer than counted: D3DX's
    // file parser reads values as their templates lay them out, and the object does not parse.
    for (const ModelForm& f : kModelForms)
        for (MeshArray a : xfile_test::kMeshArrays)
            for (int listed : {1, -1})
                EXPECT_EQ(LoadResult(ModelBytes(f, {a, listed}), device_), D3DXFERR_PARSEERROR)
                    << f.name << ": " << xfile_test::ArrayName(a) << ", " << listed;
}

TEST_F(MeshTest, PartsCountedOtherwiseThanTheMeshAreD3DXsOwnFailures) {
    // Lists as long as their counts, but counts that disagree with the mesh: the file parses,
    // and D3DX's mesh builder refuses texture coordinates not one per vertex and face normals
    // not one face per face (E_FAIL).
    using xfile_test::miscounted::Model;
    Model more_uvs, fewer_uvs, more_normal_faces, fewer_normal_faces;
    more_uvs.uvs.push_back({0.5, 0.5});
    fewer_uvs.uvs.pop_back();
    more_normal_faces.normal_faces.push_back({1, 1, 1});
    fewer_normal_faces.normal_faces.pop_back();
    // Colours for some vertices only: the others white with alpha 0, as D3DX gives them. A
    // material index list shorter or longer than the faces: this loader repeats the last index
    // or drops the extra ones, where D3DX fails (see docs/x-parser-tolerance.md).
    Model fewer_colors, fewer_indices, more_indices;
    fewer_colors.colors.pop_back();
    fewer_indices.material_indices.pop_back();
    more_indices.material_indices.push_back(1);
    for (const ModelForm& f : kModelForms) {
        SCOPED_TRACE(f.name);
        for (const Model* model : {&more_uvs, &fewer_uvs, &more_normal_faces, &fewer_normal_faces})
            EXPECT_EQ(LoadResult(ModelBytes(f, {}, "", *model), device_), E_FAIL);
        Loaded colors;
        LoadInto(colors, ModelBytes(f, {}, "", fewer_colors), device_);
        ASSERT_EQ(colors.hr, D3D_OK);
        EXPECT_EQ(colors.dword(0, 24), 0xFFFF0000u);
        EXPECT_EQ(colors.dword(3, 24), 0x00FFFFFFu);
        Loaded fewer, more;
        LoadInto(fewer, ModelBytes(f, {}, "", fewer_indices), device_);
        LoadInto(more, ModelBytes(f, {}, "", more_indices), device_);
        ASSERT_EQ(fewer.hr, D3D_OK);
        ASSERT_EQ(more.hr, D3D_OK);
        EXPECT_EQ(fewer.attributes(), (std::vector<DWORD>{1, 1}));
        EXPECT_EQ(more.attributes(), (std::vector<DWORD>{0, 1}));
    }
}

TEST_F(MeshTest, ReferencesThatMultiplyTheDataAreRefused) {
    // Each frame references the previous one twice: 2^40 triangles from a few hundred bytes.
    std::string body = "Frame f0 { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; } }\n";
    for (int i = 1; i <= 40; ++i)
        body += "Frame f" + std::to_string(i) + " { {f" + std::to_string(i - 1) + "} {f" +
                std::to_string(i - 1) + "} }\n";
    EXPECT_EQ(LoadResult(Text(body), device_), E_OUTOFMEMORY);
}

// ---------------------------------------------------------------------------------------------
// The mesh object

TEST_F(MeshTest, DrawSubsetMakesDeviceBuffersOnceAndDrawsOneAttributeRun) {
    Loaded l;
    LoadInto(l,
             Text("Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 3; 3;0,1,2;, 3;1,3,2;, 3;0,3,2;;\n"
                  " MeshMaterialList { 2; 3; 1, 0, 1;;\n"
                  "  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
                  "  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }"),
             device_);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.attributes(), (std::vector<DWORD>{0, 1, 1}));
    calls().clear();
    ASSERT_EQ(l.mesh->DrawSubset(1), D3D_OK);
    const std::vector<std::string> first = {
        "CreateVertexBuffer(48, 8, D3DFVF_XYZ, 0, null) = vb1",
        "Lock(vb1, 0, 0, 0x0)",
        "Unlock(vb1)",
        "CreateIndexBuffer(18, 8, 101, 0) = ib1",
        "Lock(ib1, 0, 0, 0x0)",
        "Unlock(ib1)",
        "SetFVF(D3DFVF_XYZ)",
        "SetStreamSource(0, vb1, 0, 12)",
        "SetIndices(ib1)",
        "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2)",
    };
    EXPECT_EQ(calls(), first);
    EXPECT_EQ(xoftest::VertexBufferBytes(recorder_, "vb1"), l.vertices());

    calls().clear();
    ASSERT_EQ(l.mesh->DrawSubset(0), D3D_OK);
    ASSERT_EQ(l.mesh->DrawSubset(7), D3D_OK); // no faces: nothing drawn
    EXPECT_EQ(calls(),
              (std::vector<std::string>{
                  "SetFVF(D3DFVF_XYZ)", "SetStreamSource(0, vb1, 0, 12)", "SetIndices(ib1)",
                  "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1)", "SetFVF(D3DFVF_XYZ)",
                  "SetStreamSource(0, vb1, 0, 12)", "SetIndices(ib1)"}));

    // Writing through a lock refreshes the device copy at the next draw, once.
    void* p = nullptr;
    l.mesh->LockVertexBuffer(0, &p);
    static_cast<float*>(p)[0] = 7.0f;
    l.mesh->UnlockVertexBuffer();
    calls().clear();
    l.mesh->DrawSubset(0);
    l.mesh->DrawSubset(0);
    EXPECT_EQ(std::count(calls().begin(), calls().end(), "Lock(vb1, 0, 0, 0x0)"), 1);
    EXPECT_EQ(std::count(calls().begin(), calls().end(), "Lock(ib1, 0, 0, 0x0)"), 0);
    EXPECT_EQ(xoftest::VertexBufferBytes(recorder_, "vb1"), l.vertices());

    // Changing attributes regroups the faces: all three now draw as subset 1.
    DWORD* attributes = nullptr;
    l.mesh->LockAttributeBuffer(0, &attributes);
    attributes[0] = 1;
    l.mesh->UnlockAttributeBuffer();
    calls().clear();
    l.mesh->DrawSubset(1);
    EXPECT_EQ(calls().back(), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 3)");
}

TEST_F(MeshTest, DrawSubsetReportsADeviceThatCannotMakeBuffers) {
    Loaded l;
    LoadInto(l, Text(kCube), device_);
    ASSERT_EQ(l.hr, D3D_OK);
    xoftest::Faults(recorder_).createVertexBuffer = true;
    EXPECT_EQ(l.mesh->DrawSubset(0), D3DERR_OUTOFVIDEOMEMORY);
    xoftest::Faults(recorder_).createVertexBuffer = false;
    EXPECT_EQ(l.mesh->DrawSubset(0), D3D_OK);
}

TEST_F(MeshTest, MeshIsACountedComObjectHoldingItsDevice) {
    Loaded l;
    LoadInto(l, Text(kCube), device_);
    ASSERT_EQ(l.hr, D3D_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(l.mesh->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    ID3DXBaseMesh* base = nullptr;
    ASSERT_EQ(l.mesh->QueryInterface(IID_ID3DXBaseMesh, reinterpret_cast<void**>(&base)), S_OK);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(l.mesh->QueryInterface(IID_ID3DXBuffer, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(unknown->Release(), 2u);
    EXPECT_EQ(base->Release(), 1u);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(l.mesh->GetDevice(&device), D3D_OK);
    EXPECT_EQ(device, device_);
    device->Release();
    EXPECT_EQ(l.mesh->GetOptions(), DWORD{D3DXMESH_SYSTEMMEM});
}

TEST_F(MeshTest, AdjacencyAndEffectInstancesWhenAskedFor) {
    const std::string text = Text(ModelText());
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer *adjacency = nullptr, *effects = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(text.data(), DWORD(text.size()), D3DXMESH_SYSTEMMEM,
                                        device_, &adjacency, nullptr, &effects, nullptr, &mesh),
              D3D_OK);
    // Faces after sorting: (4,5,6) [material 0, at the positions of 0,2,3], (0,1,2) and
    // (0,2,3). Adjacency goes by position, so the first and last faces meet on all edges.
    ASSERT_EQ(adjacency->GetBufferSize(), 3u * 12u);
    const DWORD* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    const DWORD none = 0xFFFFFFFFu;
    EXPECT_EQ(std::vector<DWORD>(adj, adj + 9),
              (std::vector<DWORD>{1, 2, 2, none, none, 0, 0, 0, 0}));

    const auto* instances = static_cast<const D3DXEFFECTINSTANCE*>(effects->GetBufferPointer());
    ASSERT_EQ(instances[0].NumDefaults, 6u); // material 0 has a texture
    ASSERT_EQ(instances[1].NumDefaults, 5u);
    EXPECT_EQ(instances[0].pEffectFilename, nullptr);
    const char* names[] = {"Diffuse", "Power", "Specular", "Emissive", "Ambient", "Texture0@Name"};
    for (int i = 0; i < 6; ++i)
        EXPECT_STREQ(instances[0].pDefaults[i].pParamName, names[i]);
    EXPECT_EQ(instances[0].pDefaults[1].NumBytes, 4u);
    EXPECT_EQ(*static_cast<const float*>(instances[0].pDefaults[1].pValue), 8.0f);
    EXPECT_EQ(instances[0].pDefaults[5].Type, D3DXEDT_STRING);
    EXPECT_STREQ(static_cast<const char*>(instances[0].pDefaults[5].pValue), "a.png");
    adjacency->Release();
    effects->Release();
    mesh->Release();
}

TEST_F(MeshTest, CubeAdjacencyIsClosed) {
    const std::string text = Text(kCube);
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(text.data(), DWORD(text.size()), 0, device_, &adjacency,
                                        nullptr, nullptr, nullptr, &mesh),
              D3D_OK);
    const DWORD* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    // Every edge of a closed cube has a face across it. Face 0 (0,1,3) meets face 1 (0,3,2)
    // across its diagonal 3-0, and the top face (8,9,7) across 1-3, at copied vertices.
    for (int i = 0; i < 36; ++i)
        EXPECT_NE(adj[i], 0xFFFFFFFFu) << i;
    EXPECT_EQ(adj[2], 1u);
    EXPECT_EQ(adj[1], 2u);
    adjacency->Release();
    mesh->Release();
}

TEST(D3DXBuffer, CreateBufferGivesZeroedBytesOfTheSize) {
    ID3DXBuffer* buffer = nullptr;
    EXPECT_EQ(D3DXCreateBuffer(16, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(D3DXCreateBuffer(16, &buffer), D3D_OK);
    EXPECT_EQ(buffer->GetBufferSize(), 16u);
    const auto* bytes = static_cast<const uint8_t*>(buffer->GetBufferPointer());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
}

} // namespace
