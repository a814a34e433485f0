// The viewer on the offscreen driver, given hostile files: dropped on its window (through the
// drop seam, handled by its own message loop and OnDropFiles) and named at start-up. Each is
// refused within a second, the model on screen stays, a frame still draws, memory stays bounded.
// Then Esc or closing the window, and shutdown releases every object the viewer made.
#include "app/viewer.h"
#include "state/viewer_state.h"
#include "hostile_cases.h"
#include "hostile_files.h"
#include "scene/mesh_model.h"
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#include "win32/drag_drop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using hostile::Bytes;

class ViewerUnderHostileFiles : public ::testing::Test {
  protected:
    static inline size_t startPeakRss = 0;
    hostile::TempDir dir;

    static void SetUpTestSuite() {
        // The filter image is found in the working folder, as the viewer is started.
        ASSERT_EQ(chdir(XOF_DEMO_DIR), 0);
    }

    void SetUp() override {
        StartViewer("op.x");
        ASSERT_NE(viewer.model, nullptr);
        ASSERT_NE(viewer.model->mesh, nullptr) << "the demo model did not load";
        Settle();
        // The bound is on what the files add, so it is measured from the first running viewer.
        if (!startPeakRss) startPeakRss = hostile::PeakRssBytes();
    }

    void TearDown() override {
        Quit([] { xoftest::PressKey(VK_ESCAPE); });
        ShutdownAndCheckEverythingReleased();
        EXPECT_LT(hostile::PeakRssBytes() - startPeakRss, hostile::kMemoryBound)
            << "peak resident memory grew by more than the bound";
    }

    // Handles every waiting message, then draws one frame (the loop's idle branch).
    static void Settle() {
        for (int i = 0; i < 1000 && !xoftest::PostedMessages().empty(); ++i)
            ASSERT_TRUE(RunLoopPass());
        ASSERT_TRUE(RunLoopPass());
    }

    // The frame just drawn shows more than the clear colour: the model and the HUD are there.
    static size_t DistinctBackBufferColours() {
        IDirect3DSurface9* surface = nullptr;
        if (viewer.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface) != D3D_OK)
            return 0;
        D3DSURFACE_DESC desc{};
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked{};
        std::set<uint16_t> colours;
        if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            for (UINT y = 0; y < desc.Height; y += 7)
                for (UINT x = 0; x < desc.Width; x += 7)
                    colours.insert(reinterpret_cast<const uint16_t*>(
                        static_cast<const char*>(locked.pBits) + size_t(y) * locked.Pitch)[x]);
            surface->UnlockRect();
        }
        surface->Release();
        return colours.size();
    }

    // Drops one file and runs the loop until the drop is handled; returns the seconds it took.
    static double DropAndHandle(const std::string& path) {
        const double start = hostile::Now();
        EXPECT_TRUE(xoftest::DropFiles(viewer.windowHandle, {path}, {100, 100}));
        for (int i = 0; i < 1000 && win32::LiveDropCount() > 0; ++i)
            EXPECT_TRUE(RunLoopPass());
        const double seconds = hostile::Now() - start;
        EXPECT_EQ(win32::LiveDropCount(), 0u) << "the drop was never finished";
        return seconds;
    }

    // A hostile file dropped: refused in time, the same model stays, and a frame draws.
    static void ExpectRefusedDrop(const std::string& path, const std::string& what) {
        SCOPED_TRACE(what);
        MeshModel* model = viewer.model;
        ID3DXMesh* mesh = model->mesh;
        const double seconds = DropAndHandle(path);
        EXPECT_LT(seconds, hostile::kRefusalBound) << what << " took " << seconds << " s";
        EXPECT_EQ(viewer.model, model) << what << " replaced the model";
        EXPECT_EQ(viewer.model->mesh, mesh) << what << " replaced the mesh";
        Settle();
        EXPECT_GT(DistinctBackBufferColours(), 3u) << "no model drawn after " << what;
    }

    template <typename Action> static void Quit(Action action) {
        action();
        bool running = true;
        for (int i = 0; i < 1000 && running; ++i)
            running = RunLoopPass();
        EXPECT_FALSE(running) << "the viewer did not quit";
        xoftest::ReleaseAllKeys();
    }

    // ShutdownViewer lets go of everything: every resource holds its device, and the device
    // holds Direct3D, so both counts reach zero only when nothing the viewer made is alive.
    static void ShutdownAndCheckEverythingReleased() {
        IDirect3DDevice9* device = viewer.device;
        IDirect3D9* direct3D = viewer.direct3D;
        ASSERT_NE(device, nullptr);
        ASSERT_NE(direct3D, nullptr);
        device->AddRef();
        direct3D->AddRef();
        ShutdownViewer();
        EXPECT_EQ(viewer.model, nullptr);
        EXPECT_EQ(viewer.filterQuad, nullptr);
        EXPECT_EQ(viewer.hudFont, nullptr);
        EXPECT_EQ(viewer.directInput, nullptr);
        EXPECT_EQ(device->Release(), 0u) << "a resource of the device was never released";
        EXPECT_EQ(direct3D->Release(), 0u) << "Direct3D is still held";
        EXPECT_EQ(win32::LiveDropCount(), 0u) << "a drop handle was never finished";
    }
};

TEST_F(ViewerUnderHostileFiles, HostileModelsDroppedAreRefusedAndTheModelStays) {
    for (const auto& [name, bytes] : hostile::HostileModels())
        ExpectRefusedDrop(dir.Write("hostile.x", bytes), name);
    const Bytes model = hostile::TextCubeModel();
    for (size_t cut = 0; cut + 8 < model.size(); cut += model.size() / 17)
        ExpectRefusedDrop(dir.Write("cut.x", Bytes(model.begin(), model.begin() + cut)),
                          "a model cut at " + std::to_string(cut));
}

TEST_F(ViewerUnderHostileFiles, HostileNamesDroppedAreRefusedAndTheModelStays) {
    for (const hostile::HostileName& name :
         hostile::HostileNames(dir, hostile::TextCubeModel(), "drop")) {
        if (name.refused) {
            ExpectRefusedDrop(name.path, name.what);
        } else {
            // Root reads a chmod 000 file: the drop is a good model and replaces the current one.
            MeshModel* before = viewer.model;
            EXPECT_LT(DropAndHandle(name.path), hostile::kRefusalBound) << name.what;
            EXPECT_NE(viewer.model, before) << name.what;
            Settle();
        }
    }
    // A real file whose path is 300 bytes long: longer than a Windows path, refused whole.
    std::string folder = dir.path();
    while (folder.size() < 240) {
        folder += "/" + std::string(40, 'd');
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    }
    const std::string name = std::string(300 - folder.size() - 1, 'm');
    const std::string longPath = folder + "/" + name;
    ASSERT_EQ(longPath.size(), 300u);
    {
        FILE* f = std::fopen(longPath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const Bytes cube = hostile::TextCubeModel();
        std::fwrite(cube.data(), 1, cube.size(), f);
        std::fclose(f);
    }
    ExpectRefusedDrop(longPath, "an existing file with a path of 300 bytes");
}

TEST_F(ViewerUnderHostileFiles, AGoodDropReplacesTheModelAndABadOneAfterItKeepsIt) {
    MeshModel* demo = viewer.model;
    const double seconds = DropAndHandle(dir.Write("cube.x", hostile::TextCubeModel()));
    EXPECT_LT(seconds, hostile::kRefusalBound);
    ASSERT_NE(viewer.model, demo);
    ASSERT_NE(viewer.model->mesh, nullptr);
    Settle();
    ExpectRefusedDrop("/dev/zero", "/dev/zero after a good drop");
    ExpectRefusedDrop(dir.Write("nested.x", hostile::HostileModel("100000 nested frames")),
                      "deep nesting after a good drop");
}

// Named at start-up: the viewer starts with no model, draws its frame (HUD and overlay) and
// takes a good drop afterwards.
TEST_F(ViewerUnderHostileFiles, HostileFilesAtStartLeaveAnEmptyModelThatADropFills) {
    std::vector<std::pair<std::string, std::string>> starts = {
        {dir.path(), "a folder"},
        {"/dev/zero", "the device /dev/zero"},
        {dir.Write("empty.x", {}), "a zero-length file"},
        {dir.Write("nested.x", hostile::HostileModel("100000 nested frames")), "deep nesting"},
    };
    const std::string fifo = dir.path() + "/fifo.x";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    starts.push_back({fifo, "a FIFO"});
    for (const auto& [path, what] : starts) {
        SCOPED_TRACE(what);
        Quit([] { xoftest::PressKey(VK_ESCAPE); });
        ShutdownAndCheckEverythingReleased();
        const double start = hostile::Now();
        StartViewer(path.c_str());
        EXPECT_LT(hostile::Now() - start, 5 * hostile::kRefusalBound) << what;
        ASSERT_NE(viewer.model, nullptr);
        EXPECT_EQ(viewer.model->mesh, nullptr) << what << " loaded";
        Settle();
        EXPECT_GT(DistinctBackBufferColours(), 1u) << "nothing drawn after " << what;
    }
    DropAndHandle(dir.Write("cube.x", hostile::TextCubeModel()));
    EXPECT_NE(viewer.model->mesh, nullptr);
}

// Space and Tab on what each hostile file leaves on screen (itself where it loads, else the model
// before it): its animation plays, or nothing happens, within the bound, and frames still draw.
TEST_F(ViewerUnderHostileFiles, SpaceAndTabOnHostileModelsPlayOrDoNothing) {
    const std::string arm = std::string(XOF_TEST_DATA_DIR) + "/models/arm_bend.x";
    for (const auto& [name, bytes] : hostile::HostileModels()) {
        SCOPED_TRACE(name);
        DropAndHandle(arm); // a model with an animation of its own before each
        DropAndHandle(dir.Write("model.x", bytes));
        for (int key : {VK_SPACE, VK_TAB, VK_TAB, VK_SPACE}) {
            const double start = hostile::Now();
            xoftest::SetKeyDown(key, true);
            Settle();
            xoftest::SetKeyDown(key, false);
            Settle();
            EXPECT_LT(hostile::Now() - start, hostile::kRefusalBound) << name;
        }
        EXPECT_GT(DistinctBackBufferColours(), 3u) << "no model drawn after " << name;
    }
}

// Shutdown after the close button rather than Esc, with replaced models (and their textures)
// behind it: the fixture's checks run after WM_CLOSE has destroyed the window.
TEST_F(ViewerUnderHostileFiles, ClosingTheWindowAfterReplacedModelsReleasesEverything) {
    for (int i = 0; i < 3; ++i) {
        MeshModel* before = viewer.model;
        DropAndHandle(std::string(XOF_DEMO_DIR) + "/op.x");
        EXPECT_NE(viewer.model, before);
        Settle();
    }
    Quit([] { xoftest::InjectMessage(viewer.windowHandle, WM_CLOSE, 0, 0); });
    IDirect3DDevice9* device = viewer.device;
    device->AddRef();
    ShutdownViewer();
    EXPECT_EQ(device->Release(), 0u);
    // The fixture starts and stops a fresh viewer so its own checks have one to stop.
    StartViewer("op.x");
    Settle();
}

} // namespace
