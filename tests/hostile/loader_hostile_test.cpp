// Hostile files for D3DX's loaders on the recording device: the .x reader through
// D3DXLoadMeshFromXA / D3DXLoadMeshFromXInMemory, the hierarchy loader's mesh containers with
// their skins, and the image loader through D3DXCreateTextureFromFileExA. Each is refused with
// an error (or, for skins, built so that it skins safely), in well under a second, without
// leaving an object alive and without memory growing past a fixed bound.
#include "d3dx9/mesh_container.h"

#include "../unit/d3dx_hierarchy_fixture.h"
#include "hostile_cases.h"
#include "hostile_files.h"
#include "testing/recording_device.h"
#include "xfile/document.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using hostile::Bytes;

class Loaders : public ::testing::Test {
  protected:
    static inline size_t startPeakRss = 0;
    xoftest::RecordingDevice* recording = nullptr;
    IDirect3DDevice9* device = nullptr;
    hostile::TempDir dir;

    static void SetUpTestSuite() { startPeakRss = hostile::PeakRssBytes(); }

    void SetUp() override {
        recording = xoftest::CreateRecordingDevice();
        device = xoftest::AsDevice(recording);
    }

    void TearDown() override {
        EXPECT_EQ(xoftest::LiveResources(recording), 0) << "a failed load left an object alive";
        device->Release();
        // Peak memory over the whole suite, the large and the hostile inputs together; not under
        // ThreadSanitizer, whose shadow memory multiplies what every allocation takes.
#ifndef __SANITIZE_THREAD__
        EXPECT_LT(hostile::PeakRssBytes() - startPeakRss, hostile::kMemoryBound)
            << "peak resident memory grew by more than the bound";
#endif
    }

    // Loads from memory; returns the result, checks the time, releases what came back.
    HRESULT LoadInMemory(const Bytes& bytes, const std::string& what) {
        ID3DXBuffer* materials = nullptr;
        ID3DXMesh* mesh = nullptr;
        DWORD count = 0;
        const double start = hostile::Now();
        const HRESULT hr =
            D3DXLoadMeshFromXInMemory(bytes.data(), DWORD(bytes.size()), D3DXMESH_SYSTEMMEM, device,
                                      nullptr, &materials, nullptr, &count, &mesh);
        const double seconds = hostile::Now() - start;
        EXPECT_LT(seconds, hostile::kRefusalBound) << what << " took " << seconds << " s";
        if (SUCCEEDED(hr))
            EXPECT_NE(mesh, nullptr) << what;
        else
            EXPECT_EQ(mesh, nullptr) << what;
        if (materials) materials->Release();
        if (mesh) mesh->Release();
        return hr;
    }

    HRESULT LoadFile(const std::string& path, const std::string& what) {
        ID3DXBuffer* materials = nullptr;
        ID3DXMesh* mesh = nullptr;
        DWORD count = 0;
        const double start = hostile::Now();
        const HRESULT hr = D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr,
                                              &materials, nullptr, &count, &mesh);
        const double seconds = hostile::Now() - start;
        EXPECT_LT(seconds, hostile::kRefusalBound) << what << " took " << seconds << " s";
        if (materials) materials->Release();
        if (mesh) mesh->Release();
        return hr;
    }

    HRESULT LoadTexture(const std::string& path, const std::string& what) {
        IDirect3DTexture9* texture = nullptr;
        D3DXIMAGE_INFO info{};
        const double start = hostile::Now();
        const HRESULT hr = D3DXCreateTextureFromFileExA(
            device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
            D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture);
        const double seconds = hostile::Now() - start;
        EXPECT_LT(seconds, hostile::kRefusalBound) << what << " took " << seconds << " s";
        if (SUCCEEDED(hr))
            EXPECT_NE(texture, nullptr) << what;
        else
            EXPECT_EQ(texture, nullptr) << what;
        if (texture) texture->Release();
        return hr;
    }

    // Loads a hierarchy from memory, plays its animation a little and destroys it; returns the
    // result, checks the time and that every frame and container went back to the allocator.
    HRESULT LoadHierarchy(const Bytes& bytes, const std::string& what) {
        xoftest::CountingAllocator alloc;
        D3DXFRAME* root = nullptr;
        ID3DXAnimationController* controller = nullptr;
        const double start = hostile::Now();
        const HRESULT hr = D3DXLoadMeshHierarchyFromXInMemory(bytes.data(), DWORD(bytes.size()),
                                                              D3DXMESH_SYSTEMMEM, device, &alloc,
                                                              nullptr, &root, &controller);
        if (controller) {
            for (double step : {0.5, 1e9, -7.0})
                EXPECT_EQ(controller->AdvanceTime(step, nullptr), D3D_OK) << what;
            controller->Release();
        }
        if (root) {
            EXPECT_EQ(D3DXFrameDestroy(root, &alloc), D3D_OK) << what;
        }
        const double seconds = hostile::Now() - start;
        EXPECT_LT(seconds, hostile::kRefusalBound) << what << " took " << seconds << " s";
        EXPECT_EQ(SUCCEEDED(hr), root != nullptr) << what;
        EXPECT_EQ(alloc.frames, 0) << what;
        EXPECT_EQ(alloc.containers, 0) << what;
        return hr;
    }
};

TEST_F(Loaders, HostileAnimationsGiveD3DXsResult) {
    for (const auto& c : hostile::HostileAnimations())
        EXPECT_EQ(LoadHierarchy(c.bytes, c.name), HRESULT(c.result)) << c.name;
}

// Whatever the flat loader refuses, the hierarchy loader reads or refuses as quickly, leaving
// nothing behind (it needs no mesh, so some load).
TEST_F(Loaders, HostileModelsThroughTheHierarchyLoader) {
    for (const auto& [name, bytes] : hostile::GoodModels())
        EXPECT_EQ(LoadHierarchy(bytes, name), D3D_OK) << name;
    for (const auto& [name, bytes] : hostile::HostileModels())
        LoadHierarchy(bytes, name);
}

TEST_F(Loaders, GoodFilesLoad) {
    for (const auto& [name, bytes] : hostile::GoodModels())
        EXPECT_EQ(LoadInMemory(bytes, name), D3D_OK) << name;
    EXPECT_EQ(LoadFile(dir.Write("cube.x", hostile::TextCubeModel()), "cube.x"), D3D_OK);
    EXPECT_EQ(LoadTexture(dir.Write("p.png", hostile::Png(16, 8)), "p.png"), D3D_OK);
    EXPECT_EQ(LoadTexture(dir.Write("d.dds", hostile::Dds(8, 8, 1, "", 8 * 8 * 4)), "d.dds"),
              D3D_OK);
}

TEST_F(Loaders, ModelsTruncatedAtEveryByteAreRefused) {
    for (const auto& [name, bytes] : hostile::GoodModels()) {
        int loaded = 0;
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            const Bytes part(bytes.begin(), bytes.begin() + cut);
            const HRESULT hr = part.empty()
                                   ? D3DERR_INVALIDCALL
                                   : LoadInMemory(part, name + " cut at " + std::to_string(cut));
            // Only trailing white space or the last closing brace's tokens may go.
            if (SUCCEEDED(hr)) {
                ++loaded;
                EXPECT_GE(cut + 4, bytes.size()) << name << " cut at " << cut << " loaded";
            }
        }
        EXPECT_LE(loaded, 4) << name;
    }
    // Through files as well, at a spread of points.
    const Bytes model = hostile::TextCubeModel();
    for (size_t cut = 0; cut + 8 < model.size(); cut += model.size() / 23) {
        const std::string path = dir.Write("cut.x", Bytes(model.begin(), model.begin() + cut));
        EXPECT_TRUE(FAILED(LoadFile(path, "file cut at " + std::to_string(cut))));
    }
}

TEST_F(Loaders, HostileModelsAreRefused) {
    for (const auto& [name, bytes] : hostile::HostileModels()) {
        EXPECT_TRUE(FAILED(LoadInMemory(bytes, name))) << name << " loaded";
        EXPECT_TRUE(FAILED(LoadFile(dir.Write("m.x", bytes), name))) << name << " loaded";
    }
}

// Every mesh container of a damaged skin is refused with E_FAIL or built; a built skin skins
// its mesh, answers its influence counts, and is released with everything else. The flat load
// ignores skins and loads each file.
TEST_F(Loaders, DamagedSkinsAreRefusedOrSkinSafely) {
    for (const hostile::HostileSkin& c : hostile::HostileSkins()) {
        SCOPED_TRACE(c.name);
        const double start = hostile::Now();
        xfile::Document doc;
        ASSERT_EQ(xfile::Parse({c.bytes.data(), c.bytes.size()}, doc), xfile::Status::Ok);
        int meshes = 0;
        for (const xfile::Node& node : doc.nodes()) {
            if (node.type != xfile::Template::Mesh || node.is_reference) continue;
            ++meshes;
            d3dx9::MeshContainerParts parts;
            const HRESULT hr =
                d3dx9::BuildMeshContainerParts(doc, node, D3DXMESH_SYSTEMMEM, device, &parts);
            EXPECT_EQ(hr, c.loads ? D3D_OK : E_FAIL);
            if (FAILED(hr)) {
                EXPECT_EQ(parts.mesh, nullptr);
                EXPECT_EQ(parts.skin_info, nullptr);
                continue;
            }
            ID3DXSkinInfo* skin = parts.skin_info;
            if (!skin) continue;
            D3DXMATRIX identity;
            D3DXMatrixIdentity(&identity);
            const std::vector<D3DXMATRIX> bones(skin->GetNumBones(), identity);
            void* src = nullptr;
            ASSERT_EQ(parts.mesh->LockVertexBuffer(D3DLOCK_READONLY, &src), D3D_OK);
            std::vector<unsigned char> dst(size_t{parts.mesh->GetNumVertices()} *
                                           parts.mesh->GetNumBytesPerVertex());
            EXPECT_EQ(skin->UpdateSkinnedMesh(bones.data(), nullptr, src, dst.data()), D3D_OK);
            parts.mesh->UnlockVertexBuffer();
            DWORD most = 0;
            EXPECT_EQ(skin->GetMaxVertexInfluences(&most), D3D_OK);
            IDirect3DIndexBuffer9* indices = nullptr;
            ASSERT_EQ(parts.mesh->GetIndexBuffer(&indices), D3D_OK);
            EXPECT_EQ(skin->GetMaxFaceInfluences(indices, parts.mesh->GetNumFaces(), &most),
                      D3D_OK);
            indices->Release();
        }
        EXPECT_EQ(meshes, 1);
        const double seconds = hostile::Now() - start;
        EXPECT_LT(seconds, hostile::kRefusalBound) << c.name << " took " << seconds << " s";
        EXPECT_EQ(LoadInMemory(c.bytes, c.name), D3D_OK);
    }
}

TEST_F(Loaders, HostileImagesAreRefused) {
    for (const auto& [name, bytes] : hostile::HostileImages())
        EXPECT_TRUE(FAILED(LoadTexture(dir.Write(name, bytes), name))) << name << " loaded";
}

TEST_F(Loaders, ImagesTruncatedAtEveryByteAreRefused) {
    const std::vector<std::pair<std::string, Bytes>> images = {
        {"png", hostile::Png(13, 7)},
        {"dds", hostile::Dds(8, 8, 4, "DXT1", 32 + 8 + 8 + 8)},
        {"ddsargb", hostile::Dds(4, 4, 1, "", 64)},
    };
    for (const auto& [kind, bytes] : images) {
        ASSERT_EQ(LoadTexture(dir.Write("whole." + kind, bytes), kind), D3D_OK) << kind;
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            const std::string path =
                dir.Write("cut." + kind, Bytes(bytes.begin(), bytes.begin() + cut));
            EXPECT_TRUE(FAILED(LoadTexture(path, kind + " cut at " + std::to_string(cut))))
                << kind << " cut at " << cut;
        }
    }
}

// Names that are not regular files, or that cannot be opened, are refused before any reading.
TEST_F(Loaders, HostileNamesAreRefusedByBothLoaders) {
    for (const hostile::HostileName& name :
         hostile::HostileNames(dir, hostile::TextCubeModel(), "model"))
        EXPECT_EQ(FAILED(LoadFile(name.path, name.what)), name.refused) << name.what;
    for (const hostile::HostileName& name : hostile::HostileNames(dir, hostile::Png(4, 4), "image"))
        EXPECT_EQ(FAILED(LoadTexture(name.path, name.what)), name.refused) << name.what;
}

} // namespace
