// D3DXLoadMeshHierarchyFromX(InMemory) and the frame functions: the frame tree Windows builds
// for Wine's test files (their answers), what the loader does with top-level meshes and several
// top-level frames, errors, and hierarchies far deeper than any call stack would take.
#include "d3dx_hierarchy_fixture.h"
#include "testing/recording_device.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using xoftest::AllFrames;
using xoftest::Children;
using xoftest::CountingAllocator;

namespace {

// Wine's test files (dlls/d3dx9_36/tests/mesh.c), whose frames Windows gives as checked below.
const char kEmpty[] = "xof 0303txt 0032";
const char kSimple[] = "xof 0303txt 0032"
                       "Mesh {3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 1.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; }";
const char kFramed[] =
    "xof 0303txt 0032"
    "template TestData { <12345678-1234-1234-1234-111111111111> DWORD value; }"
    "TestData { 1;; }"
    "Material { 0.0; 0.0; 1.0; 1.0;; 0.5; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0;; }"
    "Frame {"
    "  TestData { 2;; }"
    "  Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 1.0; 1.0; 0.0;; 1; 3; 0, 1, 2;;"
    "    TestData { 3;; } }"
    "  FrameTransformMatrix { 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0,"
    "                         0.0, 0.0, 2.0, 1.0;; }"
    "  TestData { 4;; }"
    "  Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 2.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; }"
    "  FrameTransformMatrix { 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0,"
    "                         0.0, 0.0, 3.0, 1.0;; }"
    "  Mesh { 3; 0.0; 0.0; 0.0;, 0.0; 1.0; 0.0;, 3.0; 1.0; 0.0;; 1; 3; 0, 1, 2;; }"
    "}";
const char kFramedEmpty[] = "xof 0303txt 0032"
                            "Frame Box01 { Mesh { 0;; 0;; MeshNormals { 0;; 0;; } } }";
const char kBoxBody[] =
    "8; 0.0; 0.0; 0.0;, 0.0; 0.0; 1.0;, 0.0; 1.0; 0.0;, 0.0; 1.0; 1.0;, 1.0; 0.0; 0.0;,"
    " 1.0; 0.0; 1.0;, 1.0; 1.0; 0.0;, 1.0; 1.0; 1.0;;"
    "6; 4; 0, 1, 3, 2;, 4; 2, 3, 7, 6;, 4; 6, 7, 5, 4;, 4; 1, 0, 4, 5;, 4; 1, 5, 7, 3;,"
    " 4; 0, 2, 6, 4;;"
    "MeshMaterialList materials { 2; 6; 0, 0, 0, 1, 1, 1;;"
    "  Material { 0.0; 0.0; 1.0; 1.0;; 0.5; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0;; }"
    "  Material { 1.0; 1.0; 1.0; 1.0;; 1.0; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0;;"
    "    TextureFilename { \"texture.jpg\"; } } }";
const std::string kBox = std::string("xof 0303txt 0032 Mesh {") + kBoxBody + "}";
const std::string kBoxAnim =
    std::string("xof 0303txt 0032 Mesh CubeMesh {") + kBoxBody +
    "}"
    "Frame CubeFrame { FrameTransformMatrix { 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0,"
    "  0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0;; } {CubeMesh} }"
    "AnimationSet AnimationSet0 { Animation Animation0 { {CubeFrame}"
    "  AnimationKey { 2; 9; 10; 3; -100.0, 0.0, 0.0;;, 20; 3; -75.0, 0.0, 0.0;;,"
    "    30; 3; -50.0, 0.0, 0.0;;, 40; 3; -25.5, 0.0, 0.0;;, 50; 3; 0.0, 0.0, 0.0;;,"
    "    60; 3; 25.5, 0.0, 0.0;;, 70; 3; 50.0, 0.0, 0.0;;, 80; 3; 75.5, 0.0, 0.0;;,"
    "    90; 3; 100.0, 0.0, 0.0;;; } } }";

D3DXMATRIX Translation(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

void ExpectMatrix(const D3DXMATRIX& got, const D3DXMATRIX& want) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR((&got._11)[i], (&want._11)[i], 1e-6f) << "element " << i;
}

class HierarchyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder_ = xoftest::CreateRecordingDevice();
        device_ = xoftest::AsDevice(recorder_);
    }
    void TearDown() override {
        if (root_) {
            EXPECT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
        }
        if (controller_) controller_->Release();
        EXPECT_EQ(alloc_.frames, 0);
        EXPECT_EQ(alloc_.containers, 0);
        device_->Release();
    }
    HRESULT Load(const std::string& file, bool want_controller = false) {
        controller_ = reinterpret_cast<ID3DXAnimationController*>(0x1);
        const HRESULT hr = D3DXLoadMeshHierarchyFromXInMemory(
            file.data(), static_cast<DWORD>(file.size()), D3DXMESH_MANAGED, device_, &alloc_,
            nullptr, &root_, want_controller ? &controller_ : nullptr);
        if (!want_controller) controller_ = nullptr;
        return hr;
    }

    xoftest::RecordingDevice* recorder_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    CountingAllocator alloc_;
    D3DXFRAME* root_ = nullptr;
    ID3DXAnimationController* controller_ = nullptr;
};

TEST_F(HierarchyTest, RefusesMissingArgumentsAndAnEmptyFileAsWindowsDoes) {
    const DWORD n = sizeof(kSimple) - 1;
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(nullptr, n, D3DXMESH_MANAGED, device_, &alloc_,
                                                 nullptr, &root_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(kSimple, 0, D3DXMESH_MANAGED, device_, &alloc_,
                                                 nullptr, &root_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(kSimple, n, D3DXMESH_MANAGED, nullptr, &alloc_,
                                                 nullptr, &root_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(kSimple, n, D3DXMESH_MANAGED, device_, nullptr,
                                                 nullptr, &root_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXInMemory(kSimple, n, D3DXMESH_MANAGED, device_, &alloc_,
                                                 nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(Load(kEmpty), E_FAIL);
    EXPECT_EQ(root_, nullptr);
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXA(nullptr, 0, device_, &alloc_, nullptr, &root_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshHierarchyFromXA("/nonexistent/model.x", 0, device_, &alloc_, nullptr,
                                          &root_, nullptr),
              D3DXERR_INVALIDDATA);
}

TEST_F(HierarchyTest, ATopLevelMeshGetsAnUnnamedIdentityFrame) {
    ASSERT_EQ(Load(kSimple), D3D_OK);
    EXPECT_EQ(root_->Name, nullptr);
    ExpectMatrix(root_->TransformationMatrix, Translation(0, 0, 0));
    EXPECT_EQ(root_->pFrameSibling, nullptr);
    EXPECT_EQ(root_->pFrameFirstChild, nullptr);
}

TEST_F(HierarchyTest, AnUnnamedFrameIsNamedEmptyAndItsLastMatrixWins) {
    ASSERT_EQ(Load(kFramed), D3D_OK);
    ASSERT_NE(root_->Name, nullptr);
    EXPECT_STREQ(root_->Name, "");
    ExpectMatrix(root_->TransformationMatrix, Translation(0, 0, 3));
    EXPECT_EQ(root_->pFrameFirstChild, nullptr);
}

TEST_F(HierarchyTest, AMeshWithoutVerticesLeavesItsFrameWithoutAContainer) {
    ASSERT_EQ(Load(kFramedEmpty), D3D_OK);
    EXPECT_STREQ(root_->Name, "Box01");
    EXPECT_EQ(root_->pMeshContainer, nullptr);
}

TEST_F(HierarchyTest, NoControllerWithoutAnimationAndOneWithIt) {
    ASSERT_EQ(Load(kBox, true), D3D_OK);
    EXPECT_EQ(controller_, nullptr);
    EXPECT_EQ(root_->Name, nullptr);
    ASSERT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
    root_ = nullptr;

    ASSERT_EQ(Load(kBoxAnim, true), D3D_OK);
    ASSERT_NE(controller_, nullptr);
    // The top-level mesh's frame and CubeFrame, under one unnamed frame made for them.
    EXPECT_EQ(root_->Name, nullptr);
    const auto top = Children(root_);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]->Name, nullptr);
    EXPECT_STREQ(top[1]->Name, "CubeFrame");
}

TEST_F(HierarchyTest, FramesNestAndFollowEachOtherInFileOrder) {
    ASSERT_EQ(Load("xof 0303txt 0032 Header { 1; 0; 1; }"
                   "Frame A { Frame B { Frame C { } } Frame D { } }"),
              D3D_OK);
    EXPECT_STREQ(root_->Name, "A");
    const auto a = Children(root_);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_STREQ(a[0]->Name, "B");
    EXPECT_STREQ(a[1]->Name, "D");
    ASSERT_EQ(Children(a[0]).size(), 1u);
    EXPECT_STREQ(Children(a[0])[0]->Name, "C");
    EXPECT_EQ(D3DXFrameNumNamedMatrices(root_), 4u);
    EXPECT_EQ(D3DXFrameFind(root_, "C"), Children(a[0])[0]);
    EXPECT_EQ(D3DXFrameFind(root_, "D"), a[1]);
    EXPECT_EQ(D3DXFrameFind(root_, "E"), nullptr);
}

TEST_F(HierarchyTest, AFrameNamedByReferenceIsPlacedAgainWhereItIsNamed) {
    ASSERT_EQ(Load("xof 0303txt 0032 Frame Leaf { } Frame Top { {Leaf} }"), D3D_OK);
    ASSERT_EQ(Children(root_).size(), 2u);
    const D3DXFRAME* top = Children(root_)[1];
    ASSERT_EQ(Children(top).size(), 1u);
    EXPECT_STREQ(Children(top)[0]->Name, "Leaf");
}

TEST_F(HierarchyTest, AFailingAllocatorFailsTheLoadAndLeavesNothingBehind) {
    for (int at = 0; at < 4; ++at) {
        alloc_.create_frame_calls = 0;
        alloc_.fail_frame_at = at;
        EXPECT_EQ(Load("xof 0303txt 0032 Frame A { Frame B { } } Frame C { }"), E_FAIL) << at;
        EXPECT_EQ(alloc_.frames, 0) << at;
        root_ = nullptr;
    }
}

// A matrix of other than 16 numbers does not fit its template: the reader refuses it where it
// stands, as it refuses any list shorter than its count.
TEST_F(HierarchyTest, AMalformedFrameMatrixFailsTheLoad) {
    EXPECT_EQ(Load("xof 0303txt 0032 Frame A { FrameTransformMatrix { 1.0, 2.0;; } }"),
              D3DXFERR_PARSEERROR);
}

TEST_F(HierarchyTest, AHierarchyAsDeepAsTheReaderAllowsLoadsAndDeeperIsAParseError) {
    const auto nested = [](int depth) {
        std::string s = "xof 0303txt 0032 ";
        for (int i = 0; i < depth; ++i)
            s += "Frame F" + std::to_string(i) + " {";
        s.append(depth, '}');
        return s;
    };
    ASSERT_EQ(Load(nested(1000)), D3D_OK);
    EXPECT_EQ(alloc_.frames, 1000);
    const D3DXFRAME* f = root_;
    int depth = 1;
    while (f->pFrameFirstChild) {
        f = f->pFrameFirstChild;
        ++depth;
    }
    EXPECT_EQ(depth, 1000);
    EXPECT_STREQ(f->Name, "F999");
    ASSERT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
    root_ = nullptr;
    EXPECT_EQ(Load(nested(5000)), D3DXFERR_PARSEERROR);
}

TEST_F(HierarchyTest, ReferencesThatWouldMultiplyFramesBeyondTheFileAreRefused) {
    // Each frame names the one before it twice: 2^40 frames if followed.
    std::string s = "xof 0303txt 0032 Frame F0 { }";
    for (int i = 1; i <= 40; ++i)
        s += " Frame F" + std::to_string(i) + " { {F" + std::to_string(i - 1) + "} {F" +
             std::to_string(i - 1) + "} }";
    EXPECT_EQ(Load(s), E_OUTOFMEMORY);
}

TEST(FrameFunctionsTest, RefuseNullArguments) {
    CountingAllocator alloc;
    D3DXFRAME frame{};
    EXPECT_EQ(D3DXFrameDestroy(nullptr, &alloc), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFrameDestroy(&frame, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFrameAppendChild(nullptr, &frame), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFrameAppendChild(&frame, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFrameFind(nullptr, "a"), nullptr);
    EXPECT_EQ(D3DXFrameNumNamedMatrices(nullptr), 0u);
    D3DXVECTOR3 center;
    float radius;
    EXPECT_EQ(D3DXFrameCalculateBoundingSphere(nullptr, &center, &radius), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFrameRegisterNamedMatrices(&frame, nullptr), D3DERR_INVALIDCALL);
}

TEST(FrameFunctionsTest, AChainOfAHundredThousandFramesIsBuiltAndDestroyedWithoutRecursion) {
    CountingAllocator alloc;
    constexpr int kFrames = 100000;
    D3DXFRAME* root = nullptr;
    ASSERT_EQ(alloc.CreateFrame("0", &root), D3D_OK);
    D3DXFRAME* last = root;
    for (int i = 1; i < kFrames; ++i) {
        D3DXFRAME* f = nullptr;
        ASSERT_EQ(alloc.CreateFrame(std::to_string(i).c_str(), &f), D3D_OK);
        ASSERT_EQ(D3DXFrameAppendChild(last, f), D3D_OK);
        last = f;
    }
    EXPECT_EQ(D3DXFrameNumNamedMatrices(root), static_cast<UINT>(kFrames));
    EXPECT_EQ(D3DXFrameFind(root, "99999"), last);
    D3DXVECTOR3 center;
    float radius = -1;
    EXPECT_EQ(D3DXFrameCalculateBoundingSphere(root, &center, &radius), D3D_OK);
    EXPECT_EQ(radius, 0.0f);
    EXPECT_EQ(D3DXFrameDestroy(root, &alloc), D3D_OK);
    EXPECT_EQ(alloc.frames, 0);
}

TEST(FrameFunctionsTest, AppendChildAddsAfterTheChildrenThereAre) {
    D3DXFRAME parent{}, a{}, b{};
    ASSERT_EQ(D3DXFrameAppendChild(&parent, &a), D3D_OK);
    ASSERT_EQ(D3DXFrameAppendChild(&parent, &b), D3D_OK);
    EXPECT_EQ(parent.pFrameFirstChild, &a);
    EXPECT_EQ(a.pFrameSibling, &b);
    EXPECT_EQ(b.pFrameSibling, nullptr);
}

TEST(FrameFunctionsTest, FindMatchesNamesExactlyAndANullNameAnUnnamedFrame) {
    char a_name[] = "Arm", b_name[] = "arm";
    D3DXFRAME root{}, a{}, b{};
    a.Name = a_name;
    b.Name = b_name;
    D3DXFrameAppendChild(&root, &a);
    D3DXFrameAppendChild(&a, &b);
    EXPECT_EQ(D3DXFrameFind(&root, "arm"), &b);
    EXPECT_EQ(D3DXFrameFind(&root, "Arm"), &a);
    EXPECT_EQ(D3DXFrameFind(&root, nullptr), &root);
    EXPECT_EQ(D3DXFrameNumNamedMatrices(&root), 2u);
}

TEST(FrameFunctionsTest, RegisterNamedMatricesGivesTheControllerEveryNamedFrame) {
    char a_name[] = "A", b_name[] = "B";
    D3DXFRAME root{}, a{}, b{};
    a.Name = a_name;
    b.Name = b_name;
    D3DXFrameAppendChild(&root, &a);
    D3DXFrameAppendChild(&root, &b);
    ID3DXAnimationController* controller = nullptr;
    ASSERT_EQ(D3DXCreateAnimationController(2, 1, 1, 1, &controller), D3D_OK);
    EXPECT_EQ(D3DXFrameRegisterNamedMatrices(&root, controller), D3D_OK);
    // Both outputs taken: a third has no room.
    D3DXMATRIX m;
    EXPECT_EQ(controller->RegisterAnimationOutput("C", &m, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    controller->Release();
}

// A mesh placed by its frames: the sphere is the one around its vertices where they end up.
TEST(FrameFunctionsTest, TheBoundingSphereFollowsTheFramesMatrices) {
    auto* recorder = xoftest::CreateRecordingDevice();
    IDirect3DDevice9* device = xoftest::AsDevice(recorder);
    const std::string cube = "xof 0303txt 0032 Mesh { 8; -1;-1;-1;, -1;-1;1;, -1;1;-1;, -1;1;1;,"
                             " 1;-1;-1;, 1;-1;1;, 1;1;-1;, 1;1;1;; 2; 3; 0, 1, 2;, 3; 5, 6, 7;; }";
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(cube.data(), static_cast<DWORD>(cube.size()),
                                        D3DXMESH_MANAGED, device, nullptr, nullptr, nullptr,
                                        nullptr, &mesh),
              D3D_OK);
    D3DXMESHCONTAINER container{};
    container.MeshData.Type = D3DXMESHTYPE_MESH;
    container.MeshData.pMesh = mesh;
    D3DXFRAME root{}, child{};
    D3DXMatrixTranslation(&root.TransformationMatrix, 5, 0, 0);
    D3DXMatrixScaling(&child.TransformationMatrix, 2, 2, 2);
    child.pMeshContainer = &container;
    D3DXFrameAppendChild(&root, &child);
    D3DXVECTOR3 center;
    float radius = 0;
    ASSERT_EQ(D3DXFrameCalculateBoundingSphere(&root, &center, &radius), D3D_OK);
    EXPECT_NEAR(center.x, 5.0f, 1e-5f);
    EXPECT_NEAR(center.y, 0.0f, 1e-5f);
    EXPECT_NEAR(center.z, 0.0f, 1e-5f);
    EXPECT_NEAR(radius, 2.0f * std::sqrt(3.0f), 1e-5f);
    mesh->Release();
    device->Release();
}

// The mesh containers Windows gives for Wine's files: these need the per-mesh build.
TEST_F(HierarchyTest, MeshContainersOfWinesFilesAreWhatWindowsGives) {
    ASSERT_EQ(Load(kSimple), D3D_OK);
    D3DXMESHCONTAINER* c = root_->pMeshContainer;
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->Name, "");
    EXPECT_EQ(c->MeshData.Type, D3DXMESHTYPE_MESH);
    EXPECT_EQ(c->MeshData.pMesh->GetNumVertices(), 3u);
    EXPECT_EQ(c->NumMaterials, 0u);
    EXPECT_EQ(c->pMaterials, nullptr);
    EXPECT_NE(c->pAdjacency, nullptr);
    ASSERT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
    root_ = nullptr;

    ASSERT_EQ(Load(kFramed), D3D_OK);
    const float last_x[] = {1.0f, 2.0f, 3.0f};
    c = root_->pMeshContainer;
    for (float x : last_x) {
        ASSERT_NE(c, nullptr);
        EXPECT_STREQ(c->Name, "");
        void* data = nullptr;
        ASSERT_EQ(c->MeshData.pMesh->LockVertexBuffer(0, &data), D3D_OK);
        // Each mesh in its own frame's space: the frame matrices are not applied.
        EXPECT_EQ(static_cast<const float*>(data)[6], x);
        EXPECT_EQ(static_cast<const float*>(data)[8], 0.0f);
        c->MeshData.pMesh->UnlockVertexBuffer();
        c = c->pNextMeshContainer;
    }
    EXPECT_EQ(c, nullptr);
    ASSERT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
    root_ = nullptr;

    ASSERT_EQ(Load(kBox), D3D_OK);
    c = root_->pMeshContainer;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->NumMaterials, 2u);
    EXPECT_EQ(c->MeshData.pMesh->GetNumVertices(), 8u);
    ASSERT_NE(c->pMaterials, nullptr);
    EXPECT_STREQ(c->pMaterials[1].pTextureFilename, "texture.jpg");
    EXPECT_EQ(c->pMaterials[0].MatD3D.Power, 0.5f);

    ASSERT_EQ(D3DXFrameDestroy(root_, &alloc_), D3D_OK);
    root_ = nullptr;
    ASSERT_EQ(Load(kBoxAnim, true), D3D_OK);
    // The top-level mesh in its frame, and again where CubeFrame names it.
    const auto top = Children(root_);
    ASSERT_EQ(top.size(), 2u);
    ASSERT_NE(top[0]->pMeshContainer, nullptr);
    ASSERT_NE(top[1]->pMeshContainer, nullptr);
    EXPECT_STREQ(top[1]->pMeshContainer->Name, "CubeMesh");
}

} // namespace
