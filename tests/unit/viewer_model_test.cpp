// The model: materials and textures as loaded, drawing per subset, failed loads, and drops.
#include "app/viewer.h"
#include "controls/controls.h"
#include "state/viewer_state.h"
#include "scene/mesh_model.h"
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#include "testing/recording_device.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using xoftest::Calls;

// Three triangles, three materials: the first and last name the same texture, the middle none;
// the first's ambient differs from its diffuse.
const char kThreeMaterials[] = R"(xof 0302txt 0032
Mesh Three {
 9;
 0;0;0;, 1;0;0;, 0;1;0;,
 2;0;0;, 3;0;0;, 2;1;0;,
 4;0;0;, 5;0;0;, 4;1;0;;
 3;
 3;0,2,1;, 3;3,5,4;, 3;6,8,7;;
 MeshMaterialList {
  3; 3; 0, 1, 2;;
  Material { 1.0;0.5;0.25;1.0;; 8.0; 0.1;0.2;0.3;; 0.0;0.0;0.0;; TextureFilename { "tile.png"; } }
  Material { 0.2;0.4;0.6;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
  Material { 0.9;0.9;0.9;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { "tile.png"; } }
 }
}
)";

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Model : public ::testing::Test {
  protected:
    xoftest::RecordingDevice* device = nullptr;
    fs::path folder;
    fs::path startDirectory;

    void SetUp() override {
        viewer = ViewerState{};
        device = xoftest::CreateRecordingDevice();
        viewer.device = xoftest::AsDevice(device);
        folder = fs::temp_directory_path() / ("xofview-model-" + std::to_string(getpid()));
        fs::create_directories(folder / "elsewhere");
        WriteFile(folder / "three.x", kThreeMaterials);
        WriteFile(folder / "elsewhere" / "three.x", kThreeMaterials);
        fs::copy_file(fs::path(XOF_TEST_DATA_DIR) / "images/quad_rgb.png", folder / "tile.png");
        fs::copy_file(fs::path(XOF_TEST_DATA_DIR) / "images/flat_16x16.jpg",
                      folder / "elsewhere" / "tile.png");
        WriteFile(folder / "broken.x", "xof 0302txt 0032\nMesh { 3; 0;0;0;, ");
        startDirectory = fs::current_path();
        fs::current_path(folder);
    }

    void TearDown() override {
        fs::current_path(startDirectory);
        fs::remove_all(folder);
        if (viewer.model) {
            ReleaseMeshModel(viewer.model);
            delete viewer.model;
        }
        viewer.device->SetStreamSource(0, nullptr, 0, 0);
        viewer.device->SetIndices(nullptr);
        viewer.device->SetTexture(0, nullptr);
        EXPECT_EQ(xoftest::LiveResources(device), 0);
        viewer.device->Release();
        viewer = ViewerState{};
    }

    UINT TextureWidth(IDirect3DTexture9* texture) {
        D3DSURFACE_DESC desc = {};
        texture->GetLevelDesc(0, &desc);
        return desc.Width;
    }
};

TEST_F(Model, EachMaterialHasItsOwnTextureAndAmbientFromDiffuse) {
    MeshModel model = {};
    ASSERT_TRUE(LoadMeshModel(&model, "three.x"));
    ASSERT_EQ(model.materialCount, 3u);
    ASSERT_NE(model.textures[0], nullptr);
    EXPECT_EQ(model.textures[1], nullptr);
    ASSERT_NE(model.textures[2], nullptr);
    EXPECT_NE(model.textures[0], model.textures[2]); // one texture object per material
    EXPECT_EQ(model.materials[0].Ambient.r, 1.0f);
    EXPECT_EQ(model.materials[0].Ambient.g, 0.5f);
    EXPECT_EQ(model.materials[0].Ambient.b, 0.25f);
    EXPECT_EQ(model.materials[0].Ambient.a, 1.0f);
    EXPECT_EQ(model.materials[0].Power, 8.0f);

    Calls(device).clear();
    DrawMeshModel(&model, {0, 0, 0}, {0, 0, 0});
    std::vector<std::string> perSubset;
    for (const std::string& call : Calls(device))
        if (call.rfind("SetTexture", 0) == 0 || call.rfind("DrawIndexedPrimitive", 0) == 0)
            perSubset.push_back(call.substr(0, call.find(',')));
    const std::string first = xoftest::NameOf(device, model.textures[0]);
    const std::string last = xoftest::NameOf(device, model.textures[2]);
    EXPECT_EQ(perSubset, (std::vector<std::string>{
                             "SetTexture(0", "DrawIndexedPrimitive(D3DPT_TRIANGLELIST",
                             "SetTexture(0", "DrawIndexedPrimitive(D3DPT_TRIANGLELIST",
                             "SetTexture(0", "DrawIndexedPrimitive(D3DPT_TRIANGLELIST"}));
    std::vector<std::string> textures;
    for (const std::string& call : Calls(device))
        if (call.rfind("SetTexture", 0) == 0) textures.push_back(call);
    EXPECT_EQ(textures,
              (std::vector<std::string>{"SetTexture(0, " + first + ")", "SetTexture(0, null)",
                                        "SetTexture(0, " + last + ")"}));
    ReleaseMeshModel(&model);
    EXPECT_EQ(model.mesh, nullptr);
    EXPECT_EQ(model.textures, nullptr);
}

TEST_F(Model, TexturesAreLookedForInTheCurrentDirectoryFirstThenBesideTheModel) {
    MeshModel here = {};
    ASSERT_TRUE(LoadMeshModel(&here, "elsewhere/three.x"));
    ASSERT_NE(here.textures[0], nullptr);
    EXPECT_EQ(TextureWidth(here.textures[0]), 2u); // tile.png of the current directory
    ReleaseMeshModel(&here);

    fs::remove(folder / "tile.png");
    MeshModel beside = {};
    ASSERT_TRUE(LoadMeshModel(&beside, "elsewhere\\three.x"));
    ASSERT_NE(beside.textures[0], nullptr);
    EXPECT_EQ(TextureWidth(beside.textures[0]), 16u); // the one next to the model
    ReleaseMeshModel(&beside);

    fs::remove(folder / "elsewhere" / "tile.png");
    MeshModel untextured = {};
    ASSERT_TRUE(LoadMeshModel(&untextured, "elsewhere/three.x"));
    EXPECT_EQ(untextured.textures[0], nullptr);
    EXPECT_EQ(untextured.textures[2], nullptr);
    ReleaseMeshModel(&untextured);
}

// Exporters write the texture's path on the machine the model was made on; its file name is
// then looked for beside the model, with '\\' and '/' both separators, and the file used is said.
TEST_F(Model, ATextureNamedByAnotherMachinesPathIsFoundByItsFileNameBesideTheModel) {
    const std::string model = kThreeMaterials;
    const auto naming = [&](const std::string& name) {
        std::string text = model;
        for (size_t at; (at = text.find("\"tile.png\"")) != std::string::npos;)
            text.replace(at, 10, "\"" + name + "\"");
        return text;
    };
    fs::remove(folder / "tile.png");
    WriteFile(folder / "elsewhere" / "windows.x", naming("C:\\somewhere\\tile.png"));
    WriteFile(folder / "elsewhere" / "unix.x", naming("/home/artist/maps/tile.png"));
    WriteFile(folder / "here.x", naming("D:\\art/x\\tile.png"));
    fs::copy_file(folder / "elsewhere" / "tile.png", folder / "tile.png");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"elsewhere/windows.x", "C:\\somewhere\\tile.png"},
        {"elsewhere/unix.x", "/home/artist/maps/tile.png"},
        {"here.x", "D:\\art/x\\tile.png"},
    };
    for (const auto& [path, name] : cases) {
        SCOPED_TRACE(path);
        const std::string used = path == "here.x" ? "tile.png" : "elsewhere/tile.png";
        MeshModel loaded = {};
        testing::internal::CaptureStderr();
        ASSERT_TRUE(LoadMeshModel(&loaded, path.c_str()));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "xofview: texture \"" + name + "\" of model \"" + path +
                      "\" found by its file name: using \"" + used + "\"\n");
        ASSERT_NE(loaded.textures[0], nullptr);
        EXPECT_EQ(TextureWidth(loaded.textures[0]), 16u);
        EXPECT_NE(loaded.textures[2], nullptr);
        ReleaseMeshModel(&loaded);
    }

    // Nowhere: each place it was looked for is named.
    fs::remove(folder / "elsewhere" / "tile.png");
    MeshModel untextured = {};
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadMeshModel(&untextured, "elsewhere/windows.x"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "xofview: texture \"C:\\somewhere\\tile.png\" of model \"elsewhere/windows.x\" not "
              "found: looked for \"C:\\somewhere\\tile.png\" (from the current directory) and "
              "\"elsewhere/tile.png\" (its file name beside the model)\n");
    EXPECT_EQ(untextured.textures[0], nullptr);
    ReleaseMeshModel(&untextured);
}

// Messages name files as the terminal writes them (UTF-8), not as code page 932 bytes.
TEST_F(Model, MessagesNameFilesInTheTerminalsEncoding) {
    const char* cp932Name = "\x93\xfa\x96\x7b\x8c\xea \x82\xcc \x83\x82\x83\x66\x83\x8b.x";
    MeshModel model = {};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadMeshModel(&model, cp932Name));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "xofview: cannot load model \"\u65e5\u672c\u8a9e \u306e \u30e2\u30c7\u30eb.x\": "
                  "no such file",
                  0),
              0u);

    // A texture's name, its model's and the file tried.
    fs::create_directories(folder / "\u8cc7\u6599");                  // 資料
    WriteFile(folder / "\u8cc7\u6599" / "\u6728.x", kThreeMaterials); // 木.x
    fs::remove(folder / "tile.png");
    WriteFile(folder / "\u8cc7\u6599" / "tile.png", "not a picture");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadMeshModel(&model, "\x8e\x91\x97\xbf/\x96\xd8.x"));
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "xofview: texture \"tile.png\" of model \"\u8cc7\u6599/\u6728.x\" not used: "
                  "\"\u8cc7\u6599/tile.png\": not an image that can be decoded",
                  0),
              0u);
    ReleaseMeshModel(&model);
}

// A file that cannot be opened for reading whatever the user: a locked file for anyone but
// root; for root, a write-only kernel setting (root's own file permissions are not checked).
std::string UnreadableFile(const fs::path& folder) {
    if (geteuid() != 0) {
        const fs::path locked = folder / "locked.x";
        WriteFile(locked, kThreeMaterials);
        fs::permissions(locked, fs::perms::none);
        return locked.string();
    }
    const char* writeOnly = "/proc/sys/vm/compact_memory";
    const int fd = open(writeOnly, O_RDONLY);
    if (fd >= 0) close(fd);
    return fd < 0 && errno == EACCES ? writeOnly : "";
}

TEST_F(Model, AFileThatDoesNotLoadLeavesAnEmptyModelAndSaysWhy) {
    WriteFile(folder / "empty.x", "");
    ASSERT_EQ(mkfifo((folder / "pipe.x").c_str(), 0644), 0);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.x", "no such file"},
        {"empty.x", "the file is empty"},
        {"elsewhere", "it is a folder, not a file"},
        {"pipe.x", "it is not a regular file"},
        {"tile.png", "not a DirectX .x file"},
        {"broken.x", "the file is damaged or not valid .x data"},
    };
    if (const std::string unreadable = UnreadableFile(folder); !unreadable.empty())
        cases.emplace_back(unreadable, "permission denied");
    else
        std::cout << "(no file here that this user cannot read: that case is left out)\n";
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        MeshModel model = {};
        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadMeshModel(&model, name.c_str()));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("xofview: cannot load model \"" + name + "\": " + reason + " (0x", 0),
                  0u)
            << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(model.mesh, nullptr);
        EXPECT_EQ(model.materialCount, 0u);
        Calls(device).clear();
        DrawMeshModel(&model, {0, 0, 0}, {0, 0, 0}); // draws nothing
        EXPECT_EQ(Calls(device).size(), 1u);
        ReleaseMeshModel(&model);
    }
}

// A texture that cannot be had leaves its subsets untextured and is named once per load, with
// where it was looked for or why the file found is no image.
TEST_F(Model, ATextureThatCannotBeHadIsReportedOncePerName) {
    fs::remove(folder / "tile.png");
    fs::remove(folder / "elsewhere" / "tile.png");
    for (int load = 0; load < 2; ++load) {
        MeshModel model = {};
        testing::internal::CaptureStderr();
        ASSERT_TRUE(LoadMeshModel(&model, "elsewhere/three.x"));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, "xofview: texture \"tile.png\" of model \"elsewhere/three.x\" not found: "
                        "looked for \"tile.png\" (from the current directory) and "
                        "\"elsewhere/tile.png\" (beside the model)\n");
        EXPECT_EQ(model.textures[0], nullptr);
        EXPECT_EQ(model.textures[2], nullptr);
        ReleaseMeshModel(&model);
    }

    WriteFile(folder / "elsewhere" / "tile.png", "not a picture");
    MeshModel model = {};
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadMeshModel(&model, "elsewhere/three.x"));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("xofview: texture \"tile.png\" of model \"elsewhere/three.x\" not used: "
                         "\"elsewhere/tile.png\": not an image that can be decoded (0x",
                         0),
              0u)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    ReleaseMeshModel(&model);

    WriteFile(folder / "elsewhere" / "tile.png", "");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadMeshModel(&model, "elsewhere/three.x"));
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("\"elsewhere/tile.png\": the file is empty"), std::string::npos) << said;
    ReleaseMeshModel(&model);

    // Found and decoded: nothing to say.
    fs::copy_file(fs::path(XOF_TEST_DATA_DIR) / "images/quad_rgb.png", folder / "tile.png");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LoadMeshModel(&model, "elsewhere/three.x"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(model.textures[0], nullptr);
    ReleaseMeshModel(&model);
}

// Drops arrive as they do from the desktop: a WM_DROPFILES to the viewer's window procedure.
class Drop : public Model {
  protected:
    HWND window = nullptr;

    void SetUp() override {
        Model::SetUp();
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = MainWindowProc;
        windowClass.lpszClassName = "XofviewDropTest";
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(WS_EX_ACCEPTFILES, "XofviewDropTest", "drop", 0, 0, 0, 200, 200,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        viewer.model = new MeshModel{};
    }

    void TearDown() override {
        DestroyWindow(window);
        xoftest::ResetMessageQueue();
        Model::TearDown();
    }

    // Drops the files and dispatches what the queue delivers; returns what went to stderr.
    std::string DropAndDispatch(const std::vector<std::string>& paths) {
        EXPECT_TRUE(xoftest::DropFiles(window, paths));
        testing::internal::CaptureStderr();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(Drop, ALoadableFileReplacesTheModelAndOnlyTheFirstCounts) {
    const std::string three = (folder / "three.x").string();
    DropAndDispatch({three, (folder / "broken.x").string(), (folder / "missing.x").string()});
    ASSERT_NE(viewer.model, nullptr);
    EXPECT_EQ(viewer.model->materialCount, 3u);
    EXPECT_STREQ(viewer.droppedPath, three.c_str());

    // The replaced model's textures and mesh are released, not left behind.
    const int liveBefore = xoftest::LiveResources(device);
    DropAndDispatch({three});
    EXPECT_EQ(viewer.model->materialCount, 3u);
    EXPECT_EQ(xoftest::LiveResources(device), liveBefore);
}

TEST_F(Drop, AFileThatDoesNotLoadKeepsTheModel) {
    DropAndDispatch({(folder / "three.x").string()});
    MeshModel* shown = viewer.model;
    const std::string said = DropAndDispatch({(folder / "broken.x").string()});
    EXPECT_EQ(viewer.model, shown);
    EXPECT_EQ(viewer.model->materialCount, 3u);
    EXPECT_NE(said.find("broken.x"), std::string::npos);
}

TEST_F(Drop, NamesThatDoNotFitOrCannotBeSpeltAreRefusedWhole) {
    DropAndDispatch({(folder / "three.x").string()});
    MeshModel* shown = viewer.model;

    const std::string longName = (folder / (std::string(300, 'x') + ".x")).string();
    std::string said = DropAndDispatch({longName});
    EXPECT_NE(said.find("longer than 259"), std::string::npos) << said;
    EXPECT_EQ(viewer.model, shown);

    const std::string accented = (folder / "caf\xC3\xA9.x").string(); // no é in code page 932
    fs::copy_file(folder / "three.x", accented);
    said = DropAndDispatch({accented});
    EXPECT_NE(said.find("code page 932"), std::string::npos) << said;
    EXPECT_EQ(viewer.model, shown);
}

TEST_F(Drop, AJapaneseNameLoads) {
    const std::string japanese = (folder / "\xE6\xA8\xA1\xE5\x9E\x8B.x").string(); // 模型.x
    fs::copy_file(folder / "three.x", japanese);
    const std::string said = DropAndDispatch({japanese});
    EXPECT_EQ(said, "");
    EXPECT_EQ(viewer.model->materialCount, 3u);
}

} // namespace

// Home fits the view to the model as placed: once per press, along the heading and the slope the
// view has, and not at all without a model to see.
TEST_F(Model, HomeFitsTheViewOncePerPressAndLeavesItWithoutAModel) {
    xoftest::ReleaseAllKeys();
    viewer.lastMouseX = 400; // the heading holds still
    viewer.model = new MeshModel{};
    xoftest::SetKeyDown(VK_HOME, true);
    UpdateControls();
    EXPECT_EQ(viewer.eyePosition.z, -10.0f) << "an empty model leaves the view as it is";
    EXPECT_EQ(viewer.lookHeight, 4.0f);
    xoftest::SetKeyDown(VK_HOME, false);
    UpdateControls();
    ReleaseMeshModel(viewer.model);
    ASSERT_TRUE(LoadMeshModel(viewer.model, "three.x"));

    viewer.modelPosition = {300.0f, -20.0f, 40.0f};
    viewer.heading = 0.5f;
    const float slope = (viewer.lookHeight - viewer.eyePosition.y) / 2;
    xoftest::SetKeyDown(VK_HOME, true);
    xoftest::SetKeyDown('W', true);
    UpdateControls();
    const Vector3 fitted = viewer.eyePosition;
    // The model's box spans x 0..5, y 0..1 at z 0: its centre, as placed, lies ahead of the eye
    // along the heading and the unchanged slope.
    const float ahead = std::hypot(302.5f - fitted.x, 40.0f - fitted.z);
    EXPECT_NEAR((302.5f - fitted.x) / ahead, std::sin(0.5f), 1e-4);
    EXPECT_NEAR((-19.5f - (fitted.y + 0.0f)) / ahead, slope, 1e-4);
    EXPECT_NEAR((viewer.lookHeight - viewer.eyePosition.y) / 2, slope, 1e-5);
    EXPECT_GT(ahead, 2.5f) << "far enough back to see the model whole";

    UpdateControls(); // still held: only the walk moves the eye
    UpdateControls();
    EXPECT_NEAR(std::hypot(viewer.eyePosition.x - fitted.x, viewer.eyePosition.z - fitted.z), 0.08f,
                1e-4);
    xoftest::SetKeyDown('W', false);
    xoftest::SetKeyDown(VK_HOME, false);
    UpdateControls();
    xoftest::SetKeyDown(VK_HOME, true);
    UpdateControls(); // a new press fits again, back where the first fit stood
    EXPECT_NEAR(viewer.eyePosition.x, fitted.x, 1e-3);
    EXPECT_NEAR(viewer.eyePosition.z, fitted.z, 1e-3);
    xoftest::ReleaseAllKeys();
}
