// ID3DXSkinInfo, UpdateSkinnedMesh and the mesh containers BuildMeshContainerParts makes for the
// hierarchy loader: Windows' answers as Wine's D3DX tests hold them (test_create_skin_info,
// test_load_skin_mesh_from_xof, the hierarchy cases of D3DXLoadMeshTest), and the bind pose of
// every skinned file (the corpus's and generated ones, in every .x form): skinning a container's
// mesh with its bones' frames gives the mesh D3DXLoadMeshFromX gives.
#include "d3dx9/mesh_container.h"
#include "testing/recording_device.h"
#include "xfile/document.h"
#include "xfile_test_writer.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using d3dx9::MeshContainerParts;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

class SkinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder_ = xoftest::CreateRecordingDevice();
        device_ = xoftest::AsDevice(recorder_);
    }
    void TearDown() override {
        EXPECT_EQ(xoftest::LiveResources(recorder_), 0);
        device_->Release();
    }

    xoftest::RecordingDevice* recorder_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

std::string Text(std::string_view body) {
    return "xof 0303txt 0032\n" + std::string(body);
}

xfile::Document Parse(std::string_view bytes) {
    xfile::Document doc;
    const auto status =
        xfile::Parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, doc);
    EXPECT_EQ(status, xfile::Status::Ok);
    return doc;
}

// The document's Mesh objects in file order (references left out: they name one of these).
std::vector<const xfile::Node*> MeshNodes(const xfile::Document& doc) {
    std::vector<const xfile::Node*> meshes;
    for (const xfile::Node& n : doc.nodes())
        if (n.type == xfile::Template::Mesh && !n.is_reference) meshes.push_back(&n);
    return meshes;
}

struct Vec3 {
    float x, y, z;
};

std::vector<uint8_t> VertexBytes(ID3DXMesh* mesh) {
    void* p = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, &p);
    const auto* b = static_cast<const uint8_t*>(p);
    std::vector<uint8_t> v(b, b + size_t{mesh->GetNumVertices()} * mesh->GetNumBytesPerVertex());
    mesh->UnlockVertexBuffer();
    return v;
}

Vec3 Vec3At(const std::vector<uint8_t>& vertices, DWORD stride, DWORD vertex, DWORD offset) {
    Vec3 v;
    std::memcpy(&v, vertices.data() + size_t{vertex} * stride + offset, 12);
    return v;
}

std::vector<uint32_t> Indices(ID3DXMesh* mesh) {
    void* p = nullptr;
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &p);
    std::vector<uint32_t> v(mesh->GetNumFaces() * 3);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = (mesh->GetOptions() & D3DXMESH_32BIT) ? static_cast<const uint32_t*>(p)[i]
                                                     : static_cast<const uint16_t*>(p)[i];
    mesh->UnlockIndexBuffer();
    return v;
}

std::vector<DWORD> AdjacencyOf(const MeshContainerParts& parts) {
    const auto* a = static_cast<const DWORD*>(parts.adjacency->GetBufferPointer());
    return {a, a + parts.adjacency->GetBufferSize() / 4};
}

#define EXPECT_VEC3_NEAR(v, ex, ey, ez, tolerance)                                                 \
    do {                                                                                           \
        const Vec3 v_ = (v);                                                                       \
        EXPECT_NEAR(v_.x, ex, tolerance);                                                          \
        EXPECT_NEAR(v_.y, ey, tolerance);                                                          \
        EXPECT_NEAR(v_.z, ez, tolerance);                                                          \
    } while (0)

bool SameElements(const D3DVERTEXELEMENT9* a, const D3DVERTEXELEMENT9* b) {
    for (int i = 0;; ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(D3DVERTEXELEMENT9)) != 0) return false;
        if (a[i].Stream == 0xFF) return true;
    }
}

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

// ---------------------------------------------------------------------------------------------
// ID3DXSkinInfo (Wine's test_create_skin_info, whose answers are Windows')

TEST(SkinInfo, CreationChecksItsDeclaration) {
    const D3DVERTEXELEMENT9 empty[] = {D3DDECL_END()};
    const D3DVERTEXELEMENT9 second_stream[] = {
        {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    ID3DXSkinInfo* skin = nullptr;
    ASSERT_EQ(D3DXCreateSkinInfo(0, empty, 0, &skin), D3D_OK);
    skin->Release();
    skin = nullptr;
    EXPECT_EQ(D3DXCreateSkinInfo(1, nullptr, 1, &skin), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSkinInfo(1, second_stream, 1, &skin), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSkinInfoFVF(1, D3DFVF_XYZ, 1, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin, nullptr);
}

class SkinInfoOneBone : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(D3DXCreateSkinInfoFVF(1, 0, 1, &skin_), D3D_OK); }
    void TearDown() override {
        if (skin_) {
            EXPECT_EQ(skin_->Release(), 0u);
        }
    }
    ID3DXSkinInfo* skin_ = nullptr;
};

TEST_F(SkinInfoOneBone, StartsEmpty) {
    const D3DVERTEXELEMENT9 empty[] = {D3DDECL_END()};
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(skin_->GetDeclaration(declaration), D3D_OK);
    EXPECT_TRUE(SameElements(declaration, empty));
    EXPECT_EQ(skin_->GetNumBones(), 1u);
    EXPECT_EQ(skin_->GetMinBoneInfluence(), 0.0f);
    EXPECT_EQ(skin_->GetBoneName(0), nullptr);
    EXPECT_EQ(skin_->GetFVF(), 0u);
    EXPECT_EQ(skin_->GetNumBoneInfluences(0), 0u);
    EXPECT_EQ(skin_->GetNumBoneInfluences(1), 0u);
    EXPECT_EQ(skin_->GetBoneOffsetMatrix(static_cast<DWORD>(-1)), nullptr);
    ID3DXSkinInfo* clone = nullptr;
    ASSERT_EQ(skin_->Clone(&clone), D3D_OK);
    EXPECT_EQ(clone->Release(), 0u);
}

TEST_F(SkinInfoOneBone, OffsetMatrices) {
    D3DXMATRIX identity = Identity();
    EXPECT_EQ(skin_->SetBoneOffsetMatrix(1, &identity), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetBoneOffsetMatrix(0, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(skin_->SetBoneOffsetMatrix(0, &identity), D3D_OK);
    const D3DXMATRIX* got = skin_->GetBoneOffsetMatrix(0);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::memcmp(got, &identity, sizeof(D3DXMATRIX)), 0);
}

TEST_F(SkinInfoOneBone, BoneNamesAreCopiesKeptUntilChanged) {
    char name[] = "testBoneName";
    EXPECT_EQ(skin_->SetBoneName(1, name), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetBoneName(0, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(skin_->SetBoneName(0, name), D3D_OK);
    name[0] = 'X';
    const char* got = skin_->GetBoneName(0);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(got, "testBoneName");
    EXPECT_EQ(skin_->GetBoneName(0), got);
    EXPECT_EQ(skin_->GetBoneName(1), nullptr);
}

TEST_F(SkinInfoOneBone, InfluencesAreKeptAsGivenWithoutChecks) {
    DWORD vertices[2] = {0xdeadbeef, 0};
    float weights[2] = {std::numeric_limits<float>::max(), 0};
    // Nothing is written for a bone without influences.
    ASSERT_EQ(skin_->GetBoneInfluence(0, vertices, weights), D3D_OK);
    EXPECT_EQ(vertices[0], 0xdeadbeefu);
    EXPECT_EQ(weights[0], std::numeric_limits<float>::max());
    EXPECT_EQ(skin_->GetBoneInfluence(1, vertices, weights), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->GetBoneInfluence(0, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->GetBoneInfluence(0, vertices, nullptr), D3D_OK);
    EXPECT_EQ(skin_->GetBoneInfluence(0, nullptr, weights), D3DERR_INVALIDCALL);

    // A vertex past the vertex count and a NaN weight are taken as they are.
    const DWORD set_vertices[2] = {0, 0x87654321};
    const float set_weights[2] = {0.5f, kNaN};
    EXPECT_EQ(skin_->SetBoneInfluence(1, 2, set_vertices, set_weights), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetBoneInfluence(0, 2, nullptr, set_weights), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetBoneInfluence(0, 2, set_vertices, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetBoneInfluence(0, 2, nullptr, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(skin_->SetBoneInfluence(0, 2, set_vertices, set_weights), D3D_OK);
    std::memset(vertices, 0, sizeof vertices);
    std::memset(weights, 0, sizeof weights);
    ASSERT_EQ(skin_->GetBoneInfluence(0, vertices, weights), D3D_OK);
    EXPECT_EQ(vertices[0], 0u);
    EXPECT_EQ(vertices[1], 0x87654321u);
    EXPECT_EQ(weights[0], 0.5f);
    EXPECT_TRUE(std::isnan(weights[1]));
    EXPECT_EQ(skin_->GetNumBoneInfluences(0), 2u);

    // Setting none: nothing is written back either.
    ASSERT_EQ(skin_->SetBoneInfluence(0, 0, vertices, weights), D3D_OK);
    vertices[0] = 0xdeadbeef;
    weights[0] = std::numeric_limits<float>::max();
    ASSERT_EQ(skin_->GetBoneInfluence(0, vertices, weights), D3D_OK);
    EXPECT_EQ(vertices[0], 0xdeadbeefu);
    EXPECT_EQ(weights[0], std::numeric_limits<float>::max());
}

TEST_F(SkinInfoOneBone, DeclarationAndFormatFollowEachOther) {
    const D3DVERTEXELEMENT9 empty[] = {D3DDECL_END()};
    const D3DVERTEXELEMENT9 second_stream[] = {
        {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(skin_->SetDeclaration(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetDeclaration(second_stream), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->SetFVF(0), D3D_OK);

    D3DVERTEXELEMENT9 in[MAX_FVF_DECL_SIZE], out[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(D3DXDeclaratorFromFVF(D3DFVF_XYZ, in), D3D_OK);
    ASSERT_EQ(skin_->SetDeclaration(in), D3D_OK);
    EXPECT_EQ(skin_->GetFVF(), DWORD{D3DFVF_XYZ});
    ASSERT_EQ(skin_->GetDeclaration(out), D3D_OK);
    EXPECT_TRUE(SameElements(out, in));

    ASSERT_EQ(skin_->SetDeclaration(empty), D3D_OK);
    EXPECT_EQ(skin_->GetFVF(), 0u);
    ASSERT_EQ(skin_->GetDeclaration(out), D3D_OK);
    EXPECT_TRUE(SameElements(out, empty));

    ASSERT_EQ(skin_->SetFVF(D3DFVF_XYZ), D3D_OK);
    EXPECT_EQ(skin_->GetFVF(), DWORD{D3DFVF_XYZ});
    ASSERT_EQ(skin_->GetDeclaration(out), D3D_OK);
    EXPECT_TRUE(SameElements(out, in));
}

TEST_F(SkinInfoOneBone, CloneCopiesEverything) {
    const DWORD vertices[2] = {0, 0x87654321};
    const float weights[2] = {0.5f, kNaN};
    const D3DXMATRIX identity = Identity();
    ASSERT_EQ(skin_->SetBoneInfluence(0, 2, vertices, weights), D3D_OK);
    ASSERT_EQ(skin_->SetBoneName(0, "testBoneName"), D3D_OK);
    ASSERT_EQ(skin_->SetBoneOffsetMatrix(0, &identity), D3D_OK);
    ASSERT_EQ(skin_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL), D3D_OK);
    EXPECT_EQ(skin_->Clone(nullptr), D3DERR_INVALIDCALL);
    ID3DXSkinInfo* clone = nullptr;
    ASSERT_EQ(skin_->Clone(&clone), D3D_OK);
    D3DVERTEXELEMENT9 a[MAX_FVF_DECL_SIZE], b[MAX_FVF_DECL_SIZE];
    skin_->GetDeclaration(a);
    clone->GetDeclaration(b);
    EXPECT_TRUE(SameElements(a, b));
    DWORD fvf = 0;
    ASSERT_EQ(D3DXFVFFromDeclarator(a, &fvf), D3D_OK);
    EXPECT_EQ(clone->GetFVF(), fvf);
    EXPECT_STREQ(clone->GetBoneName(0), "testBoneName");
    EXPECT_NE(clone->GetBoneName(0), skin_->GetBoneName(0));
    EXPECT_EQ(std::memcmp(clone->GetBoneOffsetMatrix(0), &identity, sizeof identity), 0);
    DWORD got_vertices[2];
    float got_weights[2];
    ASSERT_EQ(clone->GetBoneInfluence(0, got_vertices, got_weights), D3D_OK);
    EXPECT_EQ(std::memcmp(got_vertices, vertices, sizeof vertices), 0);
    EXPECT_EQ(std::memcmp(got_weights, weights, sizeof weights), 0);
    EXPECT_EQ(clone->Release(), 0u);
}

// Wine's test_load_skin_mesh_from_xof: the skin info of a mesh without bones.
TEST(SkinInfo, WithoutBonesAnswersEmpty) {
    ID3DXSkinInfo* skin = nullptr;
    ASSERT_EQ(D3DXCreateSkinInfoFVF(3, D3DFVF_XYZ, 0, &skin), D3D_OK);
    const D3DVERTEXELEMENT9 expected[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(skin->GetDeclaration(declaration), D3D_OK);
    EXPECT_TRUE(SameElements(declaration, expected));
    EXPECT_EQ(skin->GetFVF(), DWORD{D3DFVF_XYZ});
    EXPECT_EQ(skin->GetNumBones(), 0u);
    EXPECT_EQ(skin->GetMinBoneInfluence(), 0.0f);
    DWORD most[3];
    std::memset(most, 0x55, sizeof most);
    EXPECT_EQ(skin->GetMaxVertexInfluences(most), D3D_OK);
    EXPECT_EQ(most[0], 0u);
    EXPECT_EQ(most[1], 0x55555555u);
    EXPECT_EQ(skin->GetBoneName(0), nullptr);
    EXPECT_EQ(skin->GetNumBoneInfluences(0), 0u);
    EXPECT_EQ(skin->GetNumBoneInfluences(1), 0u);
    EXPECT_EQ(skin->GetBoneOffsetMatrix(static_cast<DWORD>(-1)), nullptr);
    EXPECT_EQ(skin->GetBoneOffsetMatrix(0), nullptr);
    EXPECT_EQ(skin->Release(), 0u);
}

TEST(SkinInfo, OneInfluenceAtATime) {
    ID3DXSkinInfo* skin = nullptr;
    ASSERT_EQ(D3DXCreateSkinInfoFVF(4, D3DFVF_XYZ, 2, &skin), D3D_OK);
    const DWORD vertices[3] = {3, 1, 2};
    const float weights[3] = {0.25f, 0.5f, 1};
    ASSERT_EQ(skin->SetBoneInfluence(1, 3, vertices, weights), D3D_OK);
    float weight = 0;
    DWORD vertex = 0;
    ASSERT_EQ(skin->GetBoneVertexInfluence(1, 1, &weight, &vertex), D3D_OK);
    EXPECT_EQ(vertex, 1u);
    EXPECT_EQ(weight, 0.5f);
    EXPECT_EQ(skin->GetBoneVertexInfluence(1, 3, &weight, &vertex), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin->GetBoneVertexInfluence(2, 0, &weight, &vertex), D3DERR_INVALIDCALL);
    ASSERT_EQ(skin->SetBoneVertexInfluence(1, 1, 0.75f), D3D_OK);
    ASSERT_EQ(skin->GetBoneVertexInfluence(1, 1, &weight, &vertex), D3D_OK);
    EXPECT_EQ(weight, 0.75f);
    EXPECT_EQ(skin->SetBoneVertexInfluence(0, 0, 1), D3DERR_INVALIDCALL);
    DWORD index = 0;
    ASSERT_EQ(skin->FindBoneVertexInfluenceIndex(1, 2, &index), D3D_OK);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(skin->FindBoneVertexInfluenceIndex(1, 0, &index), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin->FindBoneVertexInfluenceIndex(0, 3, &index), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin->Release(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Vertex formats and declarations

TEST(VertexDeclaration, FormatsAndDeclarationsSayTheSame) {
    const D3DVERTEXELEMENT9 expected[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    const DWORD loader_format = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    ASSERT_EQ(D3DXDeclaratorFromFVF(loader_format, declaration), D3D_OK);
    EXPECT_TRUE(SameElements(declaration, expected));
    EXPECT_EQ(D3DXGetDeclLength(declaration), 4u);
    EXPECT_EQ(D3DXGetDeclVertexSize(declaration, 0), 36u);
    EXPECT_EQ(D3DXGetFVFVertexSize(loader_format), 36u);

    // Every format the loader makes, and blended and textured ones, there and back.
    const DWORD formats[] = {
        D3DFVF_XYZ,
        D3DFVF_XYZ | D3DFVF_NORMAL,
        D3DFVF_XYZ | D3DFVF_TEX1,
        D3DFVF_XYZ | D3DFVF_DIFFUSE,
        loader_format,
        D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR,
        D3DFVF_XYZW | D3DFVF_PSIZE,
        D3DFVF_XYZB2 | D3DFVF_NORMAL,
        D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_TEX1,
        D3DFVF_XYZB5 | D3DFVF_LASTBETA_D3DCOLOR,
        D3DFVF_XYZ | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE3(1) |
            D3DFVF_TEXCOORDSIZE4(2),
    };
    for (DWORD fvf : formats) {
        SCOPED_TRACE(fvf);
        ASSERT_EQ(D3DXDeclaratorFromFVF(fvf, declaration), D3D_OK);
        DWORD back = 0;
        ASSERT_EQ(D3DXFVFFromDeclarator(declaration, &back), D3D_OK);
        EXPECT_EQ(back, fvf);
        EXPECT_EQ(D3DXGetDeclVertexSize(declaration, 0), D3DXGetFVFVertexSize(fvf));
    }
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZB5 | D3DFVF_LASTBETA_D3DCOLOR), 32u);
    const D3DVERTEXELEMENT9 blended[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
        {0, 24, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDINDICES, 0},
        {0, 28, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        D3DDECL_END()};
    ASSERT_EQ(
        D3DXDeclaratorFromFVF(D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL, declaration),
        D3D_OK);
    EXPECT_TRUE(SameElements(declaration, blended));
    // Five weights do not fit one element; a declaration out of the FVF order has no FVF.
    EXPECT_EQ(D3DXDeclaratorFromFVF(D3DFVF_XYZB5, declaration), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 normal_first[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        D3DDECL_END()};
    DWORD fvf = 0;
    EXPECT_EQ(D3DXFVFFromDeclarator(normal_first, &fvf), D3DERR_INVALIDCALL);
}

// ---------------------------------------------------------------------------------------------
// UpdateSkinnedMesh

struct PNT { // position, normal, texture coordinates
    Vec3 p, n;
    float u, v;
};

class Skinning : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(D3DXCreateSkinInfoFVF(4, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 2, &skin_),
                  D3D_OK);
        D3DXMatrixTranslation(&bones_[0], 10, 0, 0);
        D3DXMatrixRotationZ(&bones_[1], D3DX_PI / 2); // (x, y) -> (-y, x)
        const DWORD hip[] = {0, 1};
        const float hip_weights[] = {1, 0.5f};
        const DWORD spine[] = {1, 2};
        const float spine_weights[] = {0.5f, 1};
        ASSERT_EQ(skin_->SetBoneInfluence(0, 2, hip, hip_weights), D3D_OK);
        ASSERT_EQ(skin_->SetBoneInfluence(1, 2, spine, spine_weights), D3D_OK);
    }
    void TearDown() override { EXPECT_EQ(skin_->Release(), 0u); }

    ID3DXSkinInfo* skin_ = nullptr;
    D3DXMATRIX bones_[2];
    // Vertex 3 is moved by no bone.
    PNT src_[4] = {{{1, 2, 3}, {0, 0, 1}, 0.25f, 0.5f},
                   {{1, 0, 0}, {1, 0, 0}, 0.75f, 1},
                   {{0, 1, 0}, {1, 0, 0}, 2, 3},
                   {{5, 5, 5}, {0, 1, 0}, 4, 5}};
};

TEST_F(Skinning, PositionsAndNormalsBlendTheirBonesTransforms) {
    PNT dst[4];
    std::memset(dst, 0xCD, sizeof dst);
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, dst), D3D_OK);
    // Translated; a translation leaves the normal.
    EXPECT_VEC3_NEAR(dst[0].p, 11, 2, 3, 1e-6);
    EXPECT_VEC3_NEAR(dst[0].n, 0, 0, 1, 1e-6);
    // Half translated (11, 0, 0), half turned (0, 1, 0).
    EXPECT_VEC3_NEAR(dst[1].p, 5.5, 0.5, 0, 1e-6);
    EXPECT_VEC3_NEAR(dst[1].n, 0.5, 0.5, 0, 1e-6);
    EXPECT_VEC3_NEAR(dst[2].p, -1, 0, 0, 1e-6);
    EXPECT_VEC3_NEAR(dst[2].n, 0, 1, 0, 1e-6);
    // Texture coordinates are copied.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dst[i].u, src_[i].u);
        EXPECT_EQ(dst[i].v, src_[i].v);
    }
}

// Wine's UpdateSkinnedMesh clears every position and normal before it adds the influences up.
TEST_F(Skinning, AVertexNoBoneMovesGoesToTheOrigin) {
    PNT dst[4];
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, dst), D3D_OK);
    EXPECT_VEC3_NEAR(dst[3].p, 0, 0, 0, 0);
    EXPECT_VEC3_NEAR(dst[3].n, 0, 0, 0, 0);
}

// The bone transforms are used as given: the caller has multiplied in the offset matrices
// (offset x bone, as the SDK's skinning sample does), so they are not applied again.
TEST_F(Skinning, OffsetMatricesAreTheCallersToApply) {
    D3DXMATRIX offset;
    D3DXMatrixTranslation(&offset, 100, 100, 100);
    ASSERT_EQ(skin_->SetBoneOffsetMatrix(0, &offset), D3D_OK);
    PNT dst[4];
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, dst), D3D_OK);
    EXPECT_VEC3_NEAR(dst[0].p, 11, 2, 3, 1e-6);
}

TEST_F(Skinning, NormalsTakeTheInverseTransposesWhenGiven) {
    D3DXMatrixScaling(&bones_[0], 2, 1, 1);
    D3DXMATRIX inverse_transposes[2];
    D3DXMatrixScaling(&inverse_transposes[0], 0.5f, 1, 1);
    inverse_transposes[1] = bones_[1];
    src_[0].n = {1, 1, 0};
    PNT with[4], without[4];
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, inverse_transposes, src_, with), D3D_OK);
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, without), D3D_OK);
    EXPECT_VEC3_NEAR(with[0].p, 2, 2, 3, 1e-6);
    EXPECT_VEC3_NEAR(with[0].n, 0.5, 1, 0, 1e-6);
    EXPECT_VEC3_NEAR(without[0].n, 2, 1, 0, 1e-6);
}

// Positions go through D3DXVec3TransformCoord: divided by w.
TEST_F(Skinning, AProjectiveBoneDividesByW) {
    bones_[0] = Identity();
    bones_[0].m[3][3] = 2;
    PNT dst[4];
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, dst), D3D_OK);
    EXPECT_VEC3_NEAR(dst[0].p, 0.5, 1, 1.5, 1e-6);
}

TEST_F(Skinning, InPlaceGivesTheSame) {
    PNT apart[4];
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, apart), D3D_OK);
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, src_), D3D_OK);
    EXPECT_EQ(std::memcmp(apart, src_, sizeof apart), 0);
}

TEST_F(Skinning, InfluencesPastTheVerticesMoveNothingAndNaNStaysItsOwn) {
    const DWORD vertices[] = {0, 0x87654321, 2};
    const float weights[] = {kNaN, 1, 1};
    ASSERT_EQ(skin_->SetBoneInfluence(0, 3, vertices, weights), D3D_OK);
    PNT dst[4];
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, dst), D3D_OK);
    EXPECT_TRUE(std::isnan(dst[0].p.x));
    // Vertex 2: spine (turned) plus hip (translated), each with weight 1.
    EXPECT_VEC3_NEAR(dst[2].p, 9, 1, 0, 1e-6);
    DWORD most = 0;
    ASSERT_EQ(skin_->GetMaxVertexInfluences(&most), D3D_OK);
    EXPECT_EQ(most, 2u);
}

TEST_F(Skinning, MissingArgumentsAreInvalid) {
    PNT dst[4];
    EXPECT_EQ(skin_->UpdateSkinnedMesh(nullptr, nullptr, src_, dst), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, nullptr, dst), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->UpdateSkinnedMesh(bones_, nullptr, src_, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(Skinning, RemapGivesEachCopyItsOriginalsInfluences) {
    // New vertex 4 copies vertex 1, new vertex 3 copies nothing, 2 and 0 swap.
    DWORD remap[] = {2, 1, 0, 0xFFFFFFFF, 1};
    ASSERT_EQ(skin_->Remap(5, remap), D3D_OK);
    DWORD vertices[4];
    float weights[4];
    ASSERT_EQ(skin_->GetNumBoneInfluences(0), 3u);
    ASSERT_EQ(skin_->GetBoneInfluence(0, vertices, weights), D3D_OK);
    EXPECT_EQ(std::vector<DWORD>(vertices, vertices + 3), (std::vector<DWORD>{2, 1, 4}));
    EXPECT_EQ(std::vector<float>(weights, weights + 3), (std::vector<float>{1, 0.5f, 0.5f}));
    ASSERT_EQ(skin_->GetBoneInfluence(1, vertices, weights), D3D_OK);
    EXPECT_EQ(std::vector<DWORD>(vertices, vertices + 3), (std::vector<DWORD>{1, 4, 0}));
    EXPECT_EQ(skin_->Remap(5, nullptr), D3DERR_INVALIDCALL);
}

// ---------------------------------------------------------------------------------------------
// Mesh containers: Wine's D3DXLoadMeshTest hierarchy cases, whose numbers are Windows'

class Containers : public SkinTest {
  protected:
    // The container of every Mesh object of `bytes`, in file order.
    std::vector<HRESULT> BuildAll(std::string_view bytes, std::vector<MeshContainerParts>& out) {
        const xfile::Document doc = Parse(bytes);
        const auto meshes = MeshNodes(doc);
        out = std::vector<MeshContainerParts>(meshes.size());
        std::vector<HRESULT> results;
        for (size_t i = 0; i < meshes.size(); ++i)
            results.push_back(d3dx9::BuildMeshContainerParts(doc, *meshes[i], D3DXMESH_MANAGED,
                                                             device_, &out[i]));
        return results;
    }
};

const char kSimple[] =
    "Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 1.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; }";

TEST_F(Containers, ATriangleWithoutMaterialsHasNoneAndNoSkin) {
    std::vector<MeshContainerParts> parts;
    ASSERT_EQ(BuildAll(Text(kSimple), parts), std::vector<HRESULT>{D3D_OK});
    const MeshContainerParts& p = parts[0];
    ASSERT_NE(p.mesh, nullptr);
    EXPECT_EQ(p.mesh->GetFVF(), DWORD{D3DFVF_XYZ});
    EXPECT_EQ(p.mesh->GetNumVertices(), 3u);
    EXPECT_EQ(p.mesh->GetNumFaces(), 1u);
    EXPECT_EQ(p.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
    const auto v = VertexBytes(p.mesh);
    EXPECT_VEC3_NEAR(Vec3At(v, 12, 2, 0), 1, 1, 0, 0);
    EXPECT_EQ(Indices(p.mesh), (std::vector<uint32_t>{0, 1, 2}));
    // Windows: no material list, no materials and no effect instances (not the default
    // material D3DXLoadMeshFromX gives).
    EXPECT_EQ(p.material_count, 0u);
    EXPECT_EQ(p.materials, nullptr);
    EXPECT_EQ(p.effect_instances, nullptr);
    ASSERT_NE(p.adjacency, nullptr);
    EXPECT_EQ(AdjacencyOf(p), (std::vector<DWORD>{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_EQ(p.skin_info, nullptr);
}

// Windows' box_xfile: normals split the cube's 8 corners into 24 vertices.
const char kBox[] = R"(template TestData {
 <12345678-1234-1234-1234-111111111111>
 DWORD value;
}
Mesh {
 8; 0.0; 0.0; 0.0;, 0.0; 0.0; 1.0;, 0.0; 1.0; 0.0;, 0.0; 1.0; 1.0;,
    1.0; 0.0; 0.0;, 1.0; 0.0; 1.0;, 1.0; 1.0; 0.0;, 1.0; 1.0; 1.0;;
 6; 4; 0, 1, 3, 2;, 4; 2, 3, 7, 6;, 4; 6, 7, 5, 4;, 4; 1, 0, 4, 5;, 4; 1, 5, 7, 3;,
    4; 0, 2, 6, 4;;
 MeshNormals {
  6; -1.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 1.0; 0.0; 0.0;, 0.0; -1.0; 0.0;, 0.0; 0.0; 1.0;,
     0.0; 0.0; -1.0;;
  6; 4; 0, 0, 0, 0;, 4; 1, 1, 1, 1;, 4; 2, 2, 2, 2;, 4; 3, 3, 3, 3;, 4; 4, 4, 4, 4;,
     4; 5, 5, 5, 5;;
 }
 TestData { 1;; }
 MeshMaterialList materials {
  2; 6; 0, 0, 0, 1, 1, 1;;
  Material { 0.0; 0.0; 1.0; 1.0;; 0.5; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0;; }
  Material { 1.0; 1.0; 1.0; 1.0;; 1.0; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0;;
   TextureFilename { "texture.jpg"; } }
 }
 TestData { 2;; }
 MeshVertexColors {
  8; 0; 0.0; 0.0; 0.0; 0.0;;, 1; 0.0; 0.0; 1.0; 0.1;;, 2; 0.0; 1.0; 0.0; 0.2;;,
     3; 0.0; 1.0; 1.0; 0.3;;, 4; 1.0; 0.0; 0.0; 0.4;;, 5; 1.0; 0.0; 1.0; 0.5;;,
     6; 1.0; 1.0; 0.0; 0.6;;, 7; 1.0; 1.0; 1.0; 0.7;;;
 }
 MeshTextureCoords {
  8; 0.0; 1.0;, 1.0; 1.0;, 0.0; 0.0;, 1.0; 0.0;, 1.0; 1.0;, 0.0; 1.0;, 1.0; 0.0;, 0.0; 0.0;;
 }
})";

struct BoxVertex {
    Vec3 p, n;
    D3DCOLOR color;
    float u, v;
};

const BoxVertex kBoxVertices[24] = {
    {{0, 0, 0}, {-1, 0, 0}, 0x00000000, 0, 1}, {{0, 0, 1}, {-1, 0, 0}, 0x1a0000ff, 1, 1},
    {{0, 1, 0}, {-1, 0, 0}, 0x3300ff00, 0, 0}, {{0, 1, 1}, {-1, 0, 0}, 0x4d00ffff, 1, 0},
    {{1, 0, 0}, {1, 0, 0}, 0x66ff0000, 1, 1},  {{1, 0, 1}, {1, 0, 0}, 0x80ff00ff, 0, 1},
    {{1, 1, 0}, {0, 1, 0}, 0x99ffff00, 1, 0},  {{1, 1, 1}, {0, 1, 0}, 0xb3ffffff, 0, 0},
    {{0, 1, 0}, {0, 1, 0}, 0x3300ff00, 0, 0},  {{0, 1, 1}, {0, 1, 0}, 0x4d00ffff, 1, 0},
    {{1, 1, 0}, {1, 0, 0}, 0x99ffff00, 1, 0},  {{1, 1, 1}, {1, 0, 0}, 0xb3ffffff, 0, 0},
    {{0, 0, 1}, {0, -1, 0}, 0x1a0000ff, 1, 1}, {{0, 0, 0}, {0, -1, 0}, 0x00000000, 0, 1},
    {{1, 0, 0}, {0, -1, 0}, 0x66ff0000, 1, 1}, {{1, 0, 1}, {0, -1, 0}, 0x80ff00ff, 0, 1},
    {{0, 0, 1}, {0, 0, 1}, 0x1a0000ff, 1, 1},  {{1, 0, 1}, {0, 0, 1}, 0x80ff00ff, 0, 1},
    {{1, 1, 1}, {0, 0, 1}, 0xb3ffffff, 0, 0},  {{0, 1, 1}, {0, 0, 1}, 0x4d00ffff, 1, 0},
    {{0, 0, 0}, {0, 0, -1}, 0x00000000, 0, 1}, {{0, 1, 0}, {0, 0, -1}, 0x3300ff00, 0, 0},
    {{1, 1, 0}, {0, 0, -1}, 0x99ffff00, 1, 0}, {{1, 0, 0}, {0, 0, -1}, 0x66ff0000, 1, 1},
};

void ExpectColor(const D3DCOLORVALUE& c, float r, float g, float b, float a) {
    EXPECT_EQ(c.r, r);
    EXPECT_EQ(c.g, g);
    EXPECT_EQ(c.b, b);
    EXPECT_EQ(c.a, a);
}

TEST_F(Containers, TheBoxAsWindowsBuildsIt) {
    std::vector<MeshContainerParts> parts;
    ASSERT_EQ(BuildAll(Text(kBox), parts), std::vector<HRESULT>{D3D_OK});
    const MeshContainerParts& p = parts[0];
    ASSERT_EQ(p.mesh->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1});
    ASSERT_EQ(p.mesh->GetNumVertices(), 24u);
    const auto v = VertexBytes(p.mesh);
    for (DWORD i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        BoxVertex got;
        std::memcpy(&got, v.data() + i * sizeof(BoxVertex), sizeof got);
        const BoxVertex& e = kBoxVertices[i];
        EXPECT_VEC3_NEAR(got.p, e.p.x, e.p.y, e.p.z, 1e-4);
        EXPECT_VEC3_NEAR(got.n, e.n.x, e.n.y, e.n.z, 1e-4);
        EXPECT_EQ(got.color, e.color);
        EXPECT_NEAR(got.u, e.u, 1e-4);
        EXPECT_NEAR(got.v, e.v, 1e-4);
    }
    EXPECT_EQ(Indices(p.mesh),
              (std::vector<uint32_t>{0,  1,  3,  0,  3,  2,  8,  9,  7,  8,  7,  6,
                                     10, 11, 5,  10, 5,  4,  12, 13, 14, 12, 14, 15,
                                     16, 17, 18, 16, 18, 19, 20, 21, 22, 20, 22, 23}));
    ASSERT_EQ(p.material_count, 2u);
    const auto* m = static_cast<const D3DXMATERIAL*>(p.materials->GetBufferPointer());
    ExpectColor(m[0].MatD3D.Diffuse, 0, 0, 1, 1);
    ExpectColor(m[0].MatD3D.Ambient, 0, 0, 0, 1);
    ExpectColor(m[0].MatD3D.Specular, 1, 1, 1, 1);
    ExpectColor(m[0].MatD3D.Emissive, 0, 0, 0, 1);
    EXPECT_EQ(m[0].MatD3D.Power, 0.5f);
    EXPECT_EQ(m[0].pTextureFilename, nullptr);
    ExpectColor(m[1].MatD3D.Diffuse, 1, 1, 1, 1);
    EXPECT_EQ(m[1].MatD3D.Power, 1.0f);
    EXPECT_STREQ(m[1].pTextureFilename, "texture.jpg");
    // One effect instance per material: five float defaults, and the texture's name.
    const auto* e = static_cast<const D3DXEFFECTINSTANCE*>(p.effect_instances->GetBufferPointer());
    const char* names[] = {"Diffuse", "Power", "Specular", "Emissive", "Ambient"};
    for (DWORD i = 0; i < 2; ++i) {
        ASSERT_EQ(e[i].NumDefaults, i == 0 ? 5u : 6u);
        for (int k = 0; k < 5; ++k) {
            EXPECT_STREQ(e[i].pDefaults[k].pParamName, names[k]);
            EXPECT_EQ(e[i].pDefaults[k].Type, D3DXEDT_FLOATS);
        }
        EXPECT_EQ(std::memcmp(e[i].pDefaults[0].pValue, &m[i].MatD3D.Diffuse, 16), 0);
    }
    EXPECT_STREQ(e[1].pDefaults[5].pParamName, "Texture0@Name");
    EXPECT_STREQ(static_cast<const char*>(e[1].pDefaults[5].pValue), "texture.jpg");
    // The closed box: every face has its three neighbours, each naming it back.
    const auto adjacency = AdjacencyOf(p);
    ASSERT_EQ(adjacency.size(), 36u);
    for (DWORD f = 0; f < 12; ++f)
        for (int k = 0; k < 3; ++k) {
            const DWORD n = adjacency[f * 3 + k];
            ASSERT_LT(n, 12u);
            EXPECT_TRUE(adjacency[n * 3] == f || adjacency[n * 3 + 1] == f ||
                        adjacency[n * 3 + 2] == f);
        }
    D3DXATTRIBUTERANGE ranges[2];
    DWORD count = 0;
    p.mesh->GetAttributeTable(nullptr, &count);
    ASSERT_EQ(count, 2u);
    p.mesh->GetAttributeTable(ranges, &count);
    EXPECT_EQ(ranges[1].FaceStart, 6u);
}

// Windows' framed_xfile: each mesh in its own frame's space; D3DXLoadMeshFromX moves them.
TEST_F(Containers, MeshesOfAFrameStayInTheirOwnSpace) {
    const std::string framed = Text(R"(template TestData {
 <12345678-1234-1234-1234-111111111111>
 DWORD value;
}
TestData { 1;; }
Material { 0.0; 0.0; 1.0; 1.0;; 0.5; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0;; }
Frame {
 TestData { 2;; }
 Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 1.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; TestData { 3;; } }
 FrameTransformMatrix { 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0,
  0.0, 0.0, 2.0, 1.0;; }
 TestData { 4;; }
 Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 2.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; }
 FrameTransformMatrix { 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0,
  0.0, 0.0, 3.0, 1.0;; }
 Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 3.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; }
})");
    std::vector<MeshContainerParts> parts;
    ASSERT_EQ(BuildAll(framed, parts), (std::vector<HRESULT>{D3D_OK, D3D_OK, D3D_OK}));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto v = VertexBytes(parts[i].mesh);
        ASSERT_EQ(parts[i].mesh->GetNumVertices(), 3u);
        EXPECT_VEC3_NEAR(Vec3At(v, 12, 0, 0), 0, 0, 0, 0);
        EXPECT_VEC3_NEAR(Vec3At(v, 12, 1, 0), 0, 1, 0, 0);
        EXPECT_VEC3_NEAR(Vec3At(v, 12, 2, 0), i + 1.0f, 1, 0, 0);
        EXPECT_EQ(Indices(parts[i].mesh), (std::vector<uint32_t>{0, 1, 2}));
        EXPECT_EQ(parts[i].material_count, 0u);
        EXPECT_EQ(parts[i].materials, nullptr);
        EXPECT_EQ(parts[i].effect_instances, nullptr);
    }
}

// Windows' framed_xfile_empty, and a mesh of no vertices at the top: no container at all.
TEST_F(Containers, AMeshWithoutVerticesIsSkipped) {
    const std::string files[] = {
        Text("Frame Box01 { Mesh { 0;; 0;; MeshNormals { 0;; 0;; } } }"),
        Text("Mesh { 0;; 0;; }"),
        Text("Mesh { 0;; 0;; XSkinMeshHeader { 1; 1; 1; } SkinWeights { \"a\"; 0; "
             "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }"),
    };
    for (const std::string& file : files) {
        std::vector<MeshContainerParts> parts;
        EXPECT_EQ(BuildAll(file, parts), std::vector<HRESULT>{S_FALSE});
        EXPECT_EQ(parts[0].mesh, nullptr);
        EXPECT_EQ(parts[0].adjacency, nullptr);
        EXPECT_EQ(parts[0].materials, nullptr);
        EXPECT_EQ(parts[0].skin_info, nullptr);
    }
}

TEST_F(Containers, InconsistentMeshDataFailsAsTheFlatLoadDoes) {
    const std::string files[] = {
        Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,7;; }"),
        Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0;; }"),
        Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 2; 0;0;, "
             "1;1;; } }"),
    };
    for (const std::string& file : files) {
        std::vector<MeshContainerParts> parts;
        const auto results = BuildAll(file, parts);
        ID3DXMesh* flat = nullptr;
        const HRESULT flat_result = D3DXLoadMeshFromXInMemory(
            file.data(), static_cast<DWORD>(file.size()), D3DXMESH_MANAGED, device_, nullptr,
            nullptr, nullptr, nullptr, &flat);
        EXPECT_TRUE(FAILED(flat_result));
        EXPECT_EQ(results, std::vector<HRESULT>{flat_result});
        EXPECT_EQ(parts[0].mesh, nullptr);
    }
    MeshContainerParts parts;
    const xfile::Document doc = Parse(Text(kSimple));
    EXPECT_EQ(d3dx9::BuildMeshContainerParts(doc, *MeshNodes(doc)[0], 0, nullptr, &parts),
              D3DERR_INVALIDCALL);
}

TEST_F(Containers, TheMeshKeepsTheCallersOptions) {
    const xfile::Document doc = Parse(Text(kSimple));
    MeshContainerParts parts;
    ASSERT_EQ(d3dx9::BuildMeshContainerParts(doc, *MeshNodes(doc)[0],
                                             D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT, device_, &parts),
              D3D_OK);
    EXPECT_EQ(parts.mesh->GetOptions(), DWORD{D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT});
    EXPECT_EQ(Indices(parts.mesh), (std::vector<uint32_t>{0, 1, 2}));
}

// ---------------------------------------------------------------------------------------------
// Skinned files, generated: a cube split by its face normals into 24 vertices, in a frame of its
// own under a turned and moved scene, skinned to a chain of three bones.

// 4x4 matrices in double precision, row vectors, for the test's own frame arithmetic.
using M4 = std::array<double, 16>;

M4 Multiply(const M4& a, const M4& b) {
    M4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
    return r;
}

M4 Inverse(M4 a) {
    M4 r{};
    for (int i = 0; i < 4; ++i)
        r[i * 5] = 1;
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int i = c + 1; i < 4; ++i)
            if (std::abs(a[i * 4 + c]) > std::abs(a[pivot * 4 + c])) pivot = i;
        for (int j = 0; j < 4; ++j) {
            std::swap(a[c * 4 + j], a[pivot * 4 + j]);
            std::swap(r[c * 4 + j], r[pivot * 4 + j]);
        }
        const double d = a[c * 5];
        for (int j = 0; j < 4; ++j) {
            a[c * 4 + j] /= d;
            r[c * 4 + j] /= d;
        }
        for (int i = 0; i < 4; ++i) {
            if (i == c) continue;
            const double f = a[i * 4 + c];
            for (int j = 0; j < 4; ++j) {
                a[i * 4 + j] -= f * a[c * 4 + j];
                r[i * 4 + j] -= f * r[c * 4 + j];
            }
        }
    }
    return r;
}

// A turn of `angle` about the unit axis (x, y, z), then a move by t.
M4 Rigid(double x, double y, double z, double angle, double tx, double ty, double tz) {
    const double c = std::cos(angle), s = std::sin(angle), k = 1 - c;
    return {x * x * k + c,
            x * y * k + z * s,
            x * z * k - y * s,
            0,
            y * x * k - z * s,
            y * y * k + c,
            y * z * k + x * s,
            0,
            z * x * k + y * s,
            z * y * k - x * s,
            z * z * k + c,
            0,
            tx,
            ty,
            tz,
            1};
}

// Values rounded to floats, as every .x form stores them alike.
std::vector<double> Floats(const M4& m) {
    std::vector<double> v;
    for (double d : m)
        v.push_back(static_cast<float>(d));
    return v;
}

// An .x object written once, emitted as text or as binary tokens.
struct XObject {
    struct Item {
        enum Kind { Integers, Floats, String } kind;
        std::vector<double> values;
        std::string text;
    };
    std::string type, name;
    std::vector<Item> items;
    std::vector<XObject> children;

    XObject& Ints(std::vector<double> v) {
        items.push_back({Item::Integers, std::move(v), {}});
        return *this;
    }
    XObject& Reals(std::vector<double> v) {
        items.push_back({Item::Floats, std::move(v), {}});
        return *this;
    }
    XObject& Str(std::string s) {
        items.push_back({Item::String, {}, std::move(s)});
        return *this;
    }
    XObject& Child(XObject o) {
        children.push_back(std::move(o));
        return *this;
    }

    void WriteText(std::string& out) const {
        out += type + " " + name + " {\n";
        char b[40];
        for (const Item& item : items) {
            for (double v : item.values) {
                if (item.kind == Item::Integers) {
                    std::snprintf(b, sizeof b, "%.0f;", v);
                } else {
                    std::snprintf(b, sizeof b, "%.9g;", v);
                }
                out += b;
            }
            if (item.kind == Item::String) out += "\"" + item.text + "\";";
            out += "\n";
        }
        for (const XObject& c : children)
            c.WriteText(out);
        out += "}\n";
    }
    void WriteBinary(xfile_test::BinaryWriter& w) const {
        w.Name(type);
        if (!name.empty()) w.Name(name);
        w.Open();
        for (const Item& item : items) {
            if (item.kind == Item::Integers) {
                std::vector<uint32_t> v(item.values.begin(), item.values.end());
                w.Integers(v);
            } else if (item.kind == Item::Floats) {
                w.Floats(item.values);
            } else {
                w.String(item.text);
            }
        }
        for (const XObject& c : children)
            c.WriteBinary(w);
        w.Close();
    }
};

XObject Frame(const std::string& name, const M4& local) {
    XObject f{"Frame", name, {}, {}};
    f.Child(XObject{"FrameTransformMatrix", "", {}, {}}.Reals(Floats(local)));
    return f;
}

struct Bind {
    const char* bone;
    std::vector<std::pair<uint32_t, double>> weights; // file vertex, weight
};

// The generated model: its frames' local matrices and its weights, and the file's objects.
struct SkinnedModel {
    M4 scene = Rigid(0, 0, 1, 0.5, 1, -2, 3);
    M4 body = Rigid(1, 0, 0, -0.75, 0, 0.5, 0);
    M4 hip = Rigid(0, 1, 0, 1.25, 0.25, 0, -1);
    M4 spine = Rigid(0.6, 0.8, 0, 0.5, 0, 1, 0);
    M4 head = Rigid(0, 0, 1, -0.3, 0, 1.5, 0.25);
    std::vector<Bind> binds = {
        {"Hip", {{0, 1}, {1, 0.5}, {5, 0.75}, {6, 0.5}}},
        {"Spine", {{1, 0.5}, {2, 1}, {3, 0.25}, {6, 0.25}, {7, 0.5}}},
        {"Head", {{3, 0.75}, {4, 1}, {5, 0.25}, {6, 0.25}, {7, 0.5}}},
    };
    std::vector<double> corners = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 0,
                                   1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 1, 1};

    M4 MeshWorld() const { return Multiply(body, scene); }
    M4 BoneWorld(const std::string& bone) const {
        const M4 h = Multiply(hip, scene), s = Multiply(spine, h);
        return bone == "Hip" ? h : bone == "Spine" ? s : Multiply(head, s);
    }

    std::vector<XObject> Objects() const {
        XObject mesh{"Mesh", "skin", {}, {}};
        mesh.Ints({8}).Reals(corners);
        mesh.Ints({6, 4, 0, 1, 3, 2, 4, 1, 3, 7, 6, 4, 2, 0, 5, 4,
                   4, 4, 5, 6, 7, 4, 0, 5, 6, 1, 4, 2, 3, 7, 4});
        mesh.Child(XObject{"MeshNormals", "", {}, {}}
                       .Ints({6})
                       .Reals({0, 0, -1, 0, 1, 0, 0, -1, 0, 0, 0, 1, -1, 0, 0, 1, 0, 0})
                       .Ints({6, 4, 0, 0, 0, 0, 4, 1, 1, 1, 1, 4, 2, 2, 2, 2,
                              4, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5}));
        mesh.Child(XObject{"MeshTextureCoords", "", {}, {}}.Ints({8}).Reals(
            {0, 0, 0.125, 0, 0.25, 0, 0.375, 0, 0.5, 0, 0.625, 0, 0.75, 0, 0.875, 0}));
        mesh.Child(XObject{"XSkinMeshHeader", "", {}, {}}.Ints({3, 6, 3}));
        for (const Bind& b : binds) {
            XObject w{"SkinWeights", "", {}, {}};
            std::vector<double> vertices, weights;
            for (const auto& [v, weight] : b.weights) {
                vertices.push_back(v);
                weights.push_back(weight);
            }
            // Offset: from the mesh's space into the bone's, as exporters write it.
            w.Str(b.bone).Ints({double(b.weights.size())}).Ints(vertices).Reals(weights);
            w.Reals(Floats(Multiply(MeshWorld(), Inverse(BoneWorld(b.bone)))));
            mesh.Child(w);
        }
        XObject scene_frame = Frame("Scene", scene);
        scene_frame.Child(Frame("Body", body).Child(mesh));
        scene_frame.Child(
            Frame("Hip", hip).Child(Frame("Spine", spine).Child(Frame("Head", head))));
        return {scene_frame};
    }

    std::string Text() const {
        std::string out;
        for (const XObject& o : Objects())
            o.WriteText(out);
        return out;
    }
    std::string Binary(bool doubles) const {
        xfile_test::BinaryWriter w(doubles);
        for (const XObject& o : Objects())
            o.WriteBinary(w);
        return w.str();
    }
    // Every .x form of the model.
    std::vector<std::pair<std::string, std::string>> Forms() const {
        return {
            {"text", "xof 0303txt 0032\n" + Text()},
            {"text, 64-bit floats", "xof 0303txt 0064\n" + Text()},
            {"binary", "xof 0303bin 0032" + Binary(false)},
            {"binary, 64-bit floats", "xof 0303bin 0064" + Binary(true)},
            {"text, compressed", xfile_test::Compressed("xof 0303tzip0032", Text(), 512)},
            {"binary, compressed", xfile_test::Compressed("xof 0303bzip0032", Binary(false), 300)},
            {"binary, 64-bit floats, compressed",
             xfile_test::Compressed("xof 0303bzip0064", Binary(true), 1000)}};
    }
};

// The world matrix of every frame by name, from the document's own frame tree (world = local x
// parent; a frame's last FrameTransformMatrix counts, as D3DX's hierarchy takes it), and each
// mesh's frame.
struct Frames {
    std::map<std::string, M4> world;
    std::map<const xfile::Node*, M4> mesh_world;
};

void WalkFrame(const xfile::Document& doc, const xfile::Node& frame, const M4& parent,
               Frames& out) {
    M4 local{};
    for (int i = 0; i < 4; ++i)
        local[i * 5] = 1;
    for (const xfile::Node& child : doc.children(frame)) {
        const xfile::Node* c = doc.resolve(child);
        if (c && c->type == xfile::Template::FrameTransformMatrix) {
            const auto v = doc.numbers(*c);
            for (int i = 0; i < 16; ++i)
                local[i] = v.real(i);
        }
    }
    const M4 world = Multiply(local, parent);
    out.world[std::string(doc.name(frame))] = world;
    for (const xfile::Node& child : doc.children(frame)) {
        const xfile::Node* c = doc.resolve(child);
        if (!c) continue;
        if (c->type == xfile::Template::Frame) WalkFrame(doc, *c, world, out);
        if (c->type == xfile::Template::Mesh) out.mesh_world[c] = world;
    }
}

Frames FramesOf(const xfile::Document& doc) {
    Frames f;
    M4 identity{};
    for (int i = 0; i < 4; ++i)
        identity[i * 5] = 1;
    for (const xfile::Node& n : doc.top_level()) {
        if (n.type == xfile::Template::Frame) WalkFrame(doc, n, identity, f);
        if (n.type == xfile::Template::Mesh) f.mesh_world[&n] = identity;
    }
    return f;
}

M4 FromMatrix(const D3DXMATRIX& m) {
    M4 r;
    for (int i = 0; i < 16; ++i)
        r[i] = m.m[i / 4][i % 4];
    return r;
}

// The bind pose: skinning the container's mesh with each bone's offset times its frame's world
// gives the vertices of D3DXLoadMeshFromX, within 1e-4 beyond what the file's own rounding of
// weights (not summing to exactly 1) accounts for. The bones in `posed_by_offset` (the caller
// says why) stand where their offset matrices put them: offset x bone = the mesh's world.
void ExpectBindPose(const std::string& bytes, IDirect3DDevice9* device,
                    const std::set<std::string>& posed_by_offset = {}) {
    const xfile::Document doc = Parse(bytes);
    const Frames frames = FramesOf(doc);
    const auto meshes = MeshNodes(doc);
    ASSERT_EQ(meshes.size(), 1u);
    MeshContainerParts parts;
    ASSERT_EQ(d3dx9::BuildMeshContainerParts(doc, *meshes[0], D3DXMESH_SYSTEMMEM, device, &parts),
              D3D_OK);
    ASSERT_NE(parts.skin_info, nullptr);
    ID3DXSkinInfo* skin = parts.skin_info;
    ASSERT_TRUE(frames.mesh_world.count(meshes[0]));
    const M4 mesh_world = frames.mesh_world.at(meshes[0]);

    const DWORD vertex_count = parts.mesh->GetNumVertices(),
                stride = parts.mesh->GetNumBytesPerVertex();
    std::vector<D3DXMATRIX> bones(skin->GetNumBones());
    std::vector<double> weight_sum(vertex_count, 0);
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
        const std::string name = skin->GetBoneName(b);
        const auto found = frames.world.find(name);
        M4 transform = mesh_world;
        if (!posed_by_offset.count(name)) {
            ASSERT_NE(found, frames.world.end()) << name << " names no frame";
            transform = Multiply(FromMatrix(*skin->GetBoneOffsetMatrix(b)), found->second);
        }
        for (int i = 0; i < 16; ++i)
            bones[b].m[i / 4][i % 4] = static_cast<float>(transform[i]);
        std::vector<DWORD> vertices(skin->GetNumBoneInfluences(b));
        std::vector<float> weights(vertices.size());
        if (!vertices.empty()) skin->GetBoneInfluence(b, vertices.data(), weights.data());
        for (size_t i = 0; i < vertices.size(); ++i)
            weight_sum[vertices[i]] += weights[i];
    }
    const auto src = VertexBytes(parts.mesh);
    std::vector<uint8_t> skinned(src.size());
    ASSERT_EQ(skin->UpdateSkinnedMesh(bones.data(), nullptr, src.data(), skinned.data()), D3D_OK);

    ID3DXMesh* flat = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()),
                                        D3DXMESH_SYSTEMMEM, device, nullptr, nullptr, nullptr,
                                        nullptr, &flat),
              D3D_OK);
    ASSERT_EQ(flat->GetNumVertices(), vertex_count);
    ASSERT_EQ(flat->GetFVF(), parts.mesh->GetFVF());
    const auto expected = VertexBytes(flat);
    flat->Release();
    const bool normals = (parts.mesh->GetFVF() & D3DFVF_NORMAL) != 0;
    int off = 0;
    for (DWORD v = 0; v < vertex_count; ++v) {
        const Vec3 p = Vec3At(skinned, stride, v, 0), e = Vec3At(expected, stride, v, 0);
        const double drift = std::abs(1 - weight_sum[v]);
        const double bound = 1e-4 + drift * std::sqrt(e.x * e.x + e.y * e.y + e.z * e.z);
        const double d = std::max({std::abs(p.x - e.x), std::abs(p.y - e.y), std::abs(p.z - e.z)});
        if (d > bound && off++ < 5) ADD_FAILURE() << "vertex " << v << " is off by " << d;
        if (!normals) continue;
        const Vec3 n = Vec3At(skinned, stride, v, 12), en = Vec3At(expected, stride, v, 12);
        const double dn =
            std::max({std::abs(n.x - en.x), std::abs(n.y - en.y), std::abs(n.z - en.z)});
        if (dn > 1e-4 + drift && off++ < 5) ADD_FAILURE() << "normal " << v << " is off by " << dn;
    }
    EXPECT_EQ(off, 0);
}

TEST_F(SkinTest, GeneratedSkinHasItsBonesInFileOrder) {
    const SkinnedModel model;
    const xfile::Document doc = Parse(Text(model.Text()));
    MeshContainerParts parts;
    ASSERT_EQ(
        d3dx9::BuildMeshContainerParts(doc, *MeshNodes(doc)[0], D3DXMESH_MANAGED, device_, &parts),
        D3D_OK);
    ID3DXSkinInfo* skin = parts.skin_info;
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->GetNumBones(), 3u);
    // On the mesh as built: its vertices and its format.
    EXPECT_EQ(parts.mesh->GetNumVertices(), 24u);
    EXPECT_EQ(skin->GetFVF(), parts.mesh->GetFVF());
    EXPECT_EQ(skin->GetFVF(), DWORD{D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1});
    for (DWORD b = 0; b < 3; ++b) {
        EXPECT_STREQ(skin->GetBoneName(b), model.binds[b].bone);
        const std::vector<double> offset =
            Floats(Multiply(model.MeshWorld(), Inverse(model.BoneWorld(model.binds[b].bone))));
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(skin->GetBoneOffsetMatrix(b)->m[i / 4][i % 4], float(offset[i]));
    }
    // Vertex 6 is moved by three bones; faces holding it by three.
    DWORD most = 0;
    ASSERT_EQ(skin->GetMaxVertexInfluences(&most), D3D_OK);
    EXPECT_EQ(most, 3u);
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(parts.mesh->GetIndexBuffer(&indices), D3D_OK);
    ASSERT_EQ(skin->GetMaxFaceInfluences(indices, parts.mesh->GetNumFaces(), &most), D3D_OK);
    EXPECT_EQ(most, 3u);
    EXPECT_EQ(skin->GetMaxFaceInfluences(indices, parts.mesh->GetNumFaces() + 1, &most),
              D3DERR_INVALIDCALL);
    indices->Release();
}

// Each of the 24 vertices (the 8 corners and the copies normals split off) carries exactly the
// weights the file gives the corner at its position.
TEST_F(SkinTest, VerticesSplitByNormalsFollowTheirCornersBones) {
    const SkinnedModel model;
    const xfile::Document doc = Parse(Text(model.Text()));
    MeshContainerParts parts;
    ASSERT_EQ(
        d3dx9::BuildMeshContainerParts(doc, *MeshNodes(doc)[0], D3DXMESH_MANAGED, device_, &parts),
        D3D_OK);
    const auto vertices = VertexBytes(parts.mesh);
    const DWORD stride = parts.mesh->GetNumBytesPerVertex();
    std::map<DWORD, std::set<std::pair<DWORD, float>>> got;
    for (DWORD b = 0; b < parts.skin_info->GetNumBones(); ++b) {
        std::vector<DWORD> v(parts.skin_info->GetNumBoneInfluences(b));
        std::vector<float> w(v.size());
        parts.skin_info->GetBoneInfluence(b, v.data(), w.data());
        for (size_t i = 0; i < v.size(); ++i)
            got[v[i]].insert({b, w[i]});
    }
    for (DWORD v = 0; v < 24; ++v) {
        SCOPED_TRACE(v);
        const Vec3 p = Vec3At(vertices, stride, v, 0);
        uint32_t corner = 8;
        for (uint32_t c = 0; c < 8; ++c)
            if (model.corners[c * 3] == p.x && model.corners[c * 3 + 1] == p.y &&
                model.corners[c * 3 + 2] == p.z)
                corner = c;
        ASSERT_LT(corner, 8u);
        std::set<std::pair<DWORD, float>> expected;
        for (DWORD b = 0; b < model.binds.size(); ++b)
            for (const auto& [file_vertex, weight] : model.binds[b].weights)
                if (file_vertex == corner) expected.insert({b, float(weight)});
        EXPECT_EQ(got[v], expected);
    }
}

TEST_F(SkinTest, EveryFormGivesTheSameSkinAndItsBindPose) {
    const auto forms = SkinnedModel().Forms();
    std::vector<uint8_t> reference_vertices;
    std::string reference_skin;
    for (const auto& [name, bytes] : forms) {
        SCOPED_TRACE(name);
        ExpectBindPose(bytes, device_);
        const xfile::Document doc = Parse(bytes);
        MeshContainerParts parts;
        ASSERT_EQ(d3dx9::BuildMeshContainerParts(doc, *MeshNodes(doc)[0], D3DXMESH_MANAGED, device_,
                                                 &parts),
                  D3D_OK);
        // The skin, byte for byte: names, offsets, influences.
        std::string skin;
        for (DWORD b = 0; b < parts.skin_info->GetNumBones(); ++b) {
            skin += parts.skin_info->GetBoneName(b);
            skin.append(reinterpret_cast<const char*>(parts.skin_info->GetBoneOffsetMatrix(b)),
                        sizeof(D3DXMATRIX));
            std::vector<DWORD> v(parts.skin_info->GetNumBoneInfluences(b));
            std::vector<float> w(v.size());
            parts.skin_info->GetBoneInfluence(b, v.data(), w.data());
            skin.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
            skin.append(reinterpret_cast<const char*>(w.data()), w.size() * 4);
        }
        if (reference_skin.empty()) {
            reference_skin = skin;
            reference_vertices = VertexBytes(parts.mesh);
        }
        EXPECT_EQ(skin, reference_skin);
        EXPECT_EQ(VertexBytes(parts.mesh), reference_vertices);
    }
}

TEST_F(SkinTest, CorpusSkinnedFileKeepsItsBindPose) {
    const std::string path = std::string(XOF_XCORPUS_DIR) + "/anim_test.x";
    const auto file = xfile_test::ReadFile(path);
    ASSERT_FALSE(file.empty()) << path;
    const std::string bytes(file.begin(), file.end());
    // Of its four bones, only joint1's frame stands at the pose its offset matrix gives: joint3
    // and joint4 name no frame of the file, and joint2's frame is turned 1.5 degrees away from
    // its offset's pose (checked below), so those three are posed by their offsets.
    ExpectBindPose(bytes, device_, {"joint2", "joint3", "joint4"});

    const xfile::Document doc = Parse(bytes);
    MeshContainerParts parts;
    ASSERT_EQ(
        d3dx9::BuildMeshContainerParts(doc, *MeshNodes(doc)[0], D3DXMESH_MANAGED, device_, &parts),
        D3D_OK);
    ASSERT_NE(parts.skin_info, nullptr);
    // The file's own header and weights: four bones, two of which name no frame of the file.
    const char* names[] = {"joint1", "joint2", "joint3", "joint4"};
    const DWORD counts[] = {1700, 1680, 1700, 1700};
    ASSERT_EQ(parts.skin_info->GetNumBones(), 4u);
    for (DWORD b = 0; b < 4; ++b) {
        EXPECT_STREQ(parts.skin_info->GetBoneName(b), names[b]);
        EXPECT_EQ(parts.skin_info->GetNumBoneInfluences(b), counts[b]);
    }
    EXPECT_EQ(parts.material_count, 1u);
    EXPECT_EQ(parts.mesh->GetNumVertices(), 1720u);

    const Frames frames = FramesOf(doc);
    EXPECT_FALSE(frames.world.count("joint3") || frames.world.count("joint4"));
    const M4 mesh_world = frames.mesh_world.at(MeshNodes(doc)[0]);
    const auto off_bind_pose = [&](DWORD bone) {
        const M4 posed = Multiply(FromMatrix(*parts.skin_info->GetBoneOffsetMatrix(bone)),
                                  frames.world.at(names[bone]));
        double most = 0;
        for (int i = 0; i < 16; ++i)
            most = std::max(most, std::abs(posed[i] - mesh_world[i]));
        return most;
    };
    EXPECT_LT(off_bind_pose(0), 1e-5);
    EXPECT_GT(off_bind_pose(1), 0.02);
}

// ---------------------------------------------------------------------------------------------
// Damaged skins

std::string SkinnedTriangle(const std::string& skin) {
    return Text("Frame bone {}\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n" + skin + "}");
}

const char kIdentity[] = "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;";

std::string Weights(const std::string& name, const std::string& body) {
    return "SkinWeights { \"" + name + "\"; " + body + " }\n";
}

TEST_F(Containers, DamagedSkinsAreRefusedAndTheFlatLoadIgnoresThem) {
    const std::string one = Weights("bone", std::string("1; 0; 1.0; ") + kIdentity);
    const struct {
        const char* what;
        std::string skin;
    } cases[] = {
        {"weights without a header", one},
        {"two headers", "XSkinMeshHeader { 1; 1; 1; }\nXSkinMeshHeader { 1; 1; 1; }\n" + one},
        {"fewer weights than bones", "XSkinMeshHeader { 1; 1; 2; }\n" + one},
        {"more weights than bones", "XSkinMeshHeader { 1; 1; 1; }\n" + one + one},
        {"weights for no bones", "XSkinMeshHeader { 1; 1; 0; }\n" + one},
        {"a header cut short", "XSkinMeshHeader { 1; 1; }\n"},
        {"bone count beyond a WORD", "XSkinMeshHeader { 1; 1; 65536; }\n"},
        {"vertex index past the mesh", "XSkinMeshHeader { 1; 1; 1; }\n" +
                                           Weights("bone", std::string("1; 3; 1.0; ") + kIdentity)},
        {"weight count past the data", "XSkinMeshHeader { 1; 1; 1; }\n" +
                                           Weights("bone", std::string("2; 0; 1.0; ") + kIdentity)},
        {"weight count of 2^32-1",
         "XSkinMeshHeader { 1; 1; 1; }\n" +
             Weights("bone", std::string("4294967295; 0; 1.0; ") + kIdentity)},
        {"offset matrix cut short",
         "XSkinMeshHeader { 1; 1; 1; }\n" + Weights("bone", "1; 0; 1.0; 1,0,0,0;;")},
        {"a negative vertex index", "XSkinMeshHeader { 1; 1; 1; }\n" +
                                        Weights("bone", std::string("1; -1; 1.0; ") + kIdentity)},
        {"no bone name", "XSkinMeshHeader { 1; 1; 1; }\nSkinWeights { 1; 0; 1.0; " +
                             std::string(kIdentity) + " }\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = SkinnedTriangle(c.skin);
        std::vector<MeshContainerParts> parts;
        EXPECT_EQ(BuildAll(file, parts), std::vector<HRESULT>{E_FAIL});
        EXPECT_EQ(parts[0].mesh, nullptr);
        EXPECT_EQ(parts[0].skin_info, nullptr);
        ID3DXMesh* flat = nullptr;
        EXPECT_EQ(D3DXLoadMeshFromXInMemory(file.data(), static_cast<DWORD>(file.size()),
                                            D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr,
                                            nullptr, &flat),
                  D3D_OK);
        if (flat) flat->Release();
    }
}

// A triangle skinned to one bone with a NaN weight and a NaN in its offset matrix, as only a
// binary file can hold them.
std::string NaNSkinnedTriangle() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    XObject mesh{"Mesh", "", {}, {}};
    mesh.Ints({3}).Reals({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2});
    mesh.Child(XObject{"XSkinMeshHeader", "", {}, {}}.Ints({1, 1, 1}));
    mesh.Child(XObject{"SkinWeights", "", {}, {}}.Str("bone").Ints({2, 0, 1}).Reals(
        {nan, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, nan}));
    xfile_test::BinaryWriter w;
    mesh.WriteBinary(w);
    return "xof 0303bin 0032" + w.str();
}

// D3DX keeps what SetBoneInfluence is given: NaN weights and matrices load, and so do bones
// naming no frame (whoever plays the model finds none for them).
TEST_F(Containers, OddButWellFormedSkinsLoad) {
    const std::string cases[] = {
        SkinnedTriangle("XSkinMeshHeader { 1; 1; 0; }\n"),
        SkinnedTriangle("XSkinMeshHeader { 1; 1; 1; }\n" +
                        Weights("nowhere", std::string("0; ") + kIdentity)),
        SkinnedTriangle("XSkinMeshHeader { 9; 9; 2; }\n" +
                        Weights("bone", std::string("3; 0, 1, 2; 1.0, 1.0, 1.0; ") + kIdentity) +
                        Weights("bone", std::string("3; 2, 2, 2; 0.5, 0.25, 0.25; ") + kIdentity)),
        NaNSkinnedTriangle(),
    };
    for (const std::string& file : cases) {
        std::vector<MeshContainerParts> parts;
        ASSERT_EQ(BuildAll(file, parts), std::vector<HRESULT>{D3D_OK});
        if (!parts[0].skin_info) continue; // no bones: no skin
        std::vector<uint8_t> out(3 * 12);
        std::vector<D3DXMATRIX> bones(parts[0].skin_info->GetNumBones(), Identity());
        const auto src = VertexBytes(parts[0].mesh);
        EXPECT_EQ(
            parts[0].skin_info->UpdateSkinnedMesh(bones.data(), nullptr, src.data(), out.data()),
            D3D_OK);
    }
    std::vector<MeshContainerParts> parts;
    ASSERT_EQ(BuildAll(NaNSkinnedTriangle(), parts), std::vector<HRESULT>{D3D_OK});
    float weights[2];
    DWORD vertices[2];
    ASSERT_EQ(parts[0].skin_info->GetBoneInfluence(0, vertices, weights), D3D_OK);
    EXPECT_TRUE(std::isnan(weights[0]));
    EXPECT_EQ(weights[1], 1.0f);
    EXPECT_TRUE(std::isnan(parts[0].skin_info->GetBoneOffsetMatrix(0)->m[3][3]));
}

} // namespace
