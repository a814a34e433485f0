// The model's animation in the viewer: Space and Tab on a recording device, with a clock the
// test sets; the static model untouched until asked; drops, damaged files and the HUD's line.
#include "app/viewer.h"
#include "controls/controls.h"
#include "render/frame.h"
#include "render/hud_text.h"
#include "scene/animated_model.h"
#include "scene/filter_quad.h"
#include "scene/mesh_model.h"
#include "state/viewer_state.h"
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#include "testing/recording_device.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using xoftest::Calls;

double testClock = 0.0;
double TestClock() {
    return testClock;
}

const char kStill[] = R"(xof 0303txt 0032
Frame Still {
 FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
 Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,2,1;; }
}
)";

class Animation : public ::testing::Test {
  protected:
    xoftest::RecordingDevice* device = nullptr;
    fs::path folder;
    fs::path startDirectory;

    void SetUp() override {
        viewer = ViewerState{};
        viewer.lastMouseX = 400;
        xoftest::ReleaseAllKeys();
        device = xoftest::CreateRecordingDevice();
        viewer.device = xoftest::AsDevice(device);
        viewer.hudFont = xoftest::CreateRecordingFont(device);
        viewer.filterQuad = new FilterQuad{};
        CreateFilterQuad(viewer.filterQuad);
        viewer.model = new MeshModel{};
        folder = fs::temp_directory_path() / ("xofview-animation-" + std::to_string(getpid()));
        fs::create_directories(folder);
        const fs::path models = fs::path(XOF_TEST_DATA_DIR) / "models";
        fs::copy_file(models / "arm_bend.x", folder / "arm_bend.x");
        fs::copy_file(models / "rigid_parts.x", folder / "rigid_parts.x");
        std::ofstream(folder / "still.x") << kStill;
        // The arm with a key list of a type no animation has: the mesh reads, the animation
        // does not.
        std::ifstream in(models / "arm_bend.x", std::ios::binary);
        std::string arm{std::istreambuf_iterator<char>(in), {}};
        arm.replace(arm.find("AnimationKey { 0; 3;"), 20, "AnimationKey { 7; 3;");
        std::ofstream(folder / "damaged.x") << arm;
        startDirectory = fs::current_path();
        fs::current_path(folder);
        testClock = 0.0;
        SetAnimationClock(TestClock);
    }

    void TearDown() override {
        SetAnimationClock(nullptr);
        fs::current_path(startDirectory);
        fs::remove_all(folder);
        ForgetAnimation();
        ReleaseMeshModel(viewer.model);
        delete viewer.model;
        ReleaseFilterQuad(viewer.filterQuad);
        delete viewer.filterQuad;
        viewer.hudFont->Release();
        viewer.device->SetStreamSource(0, nullptr, 0, 0);
        viewer.device->SetIndices(nullptr);
        viewer.device->SetTexture(0, nullptr);
        EXPECT_EQ(xoftest::LiveResources(device), 0);
        viewer.device->Release();
        viewer = ViewerState{};
        xoftest::ReleaseAllKeys();
    }

    void Open(const char* name) {
        ReleaseMeshModel(viewer.model);
        ASSERT_TRUE(LoadMeshModel(viewer.model, name));
        std::snprintf(viewer.shownModelPath, sizeof viewer.shownModelPath, "%s", name);
    }

    // One idle pass of the loop: the keys held for it, the controls, the frame; the calls it
    // made, the font's texts named alike (each frame's are new objects).
    std::vector<std::string> Pass(std::initializer_list<int> keys = {}) {
        for (int key : keys)
            xoftest::SetKeyDown(key, true);
        Calls(device).clear();
        UpdateControls();
        DrawFrame();
        for (int key : keys)
            xoftest::SetKeyDown(key, false);
        std::vector<std::string> calls = Calls(device);
        for (std::string& call : calls)
            if (call.rfind("DrawTextA(null, text", 0) == 0)
                call.erase(20, call.find(',', 20) - 20);
        return calls;
    }

    std::string Line() {
        char line[256];
        FormatAnimationLine(ShownAnimation(viewer.animatedModel), line, sizeof line);
        return line;
    }
};

TEST_F(Animation, AModelWithoutAnimationDrawsTheSameFramesWithAndWithoutTheKeys) {
    Open("still.x");
    Pass(); // the first frame makes the mesh's buffers
    const std::vector<std::string> before = Pass();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Pass({VK_SPACE}), before);
    EXPECT_EQ(Pass({VK_TAB}), before);
    EXPECT_EQ(Pass({VK_SPACE, VK_TAB}), before);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(viewer.animatedModel, nullptr);
    // Said once: the model is not read again at every press.
    EXPECT_EQ(said, "xofview: no animation to play in model \"still.x\": it has no animation set\n");
}

TEST_F(Animation, ADamagedAnimationLeavesTheStaticModel) {
    Open("damaged.x");
    Pass();
    const std::vector<std::string> before = Pass();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Pass({VK_SPACE}), before);
    EXPECT_EQ(Pass({VK_TAB}), before);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(viewer.animatedModel, nullptr);
    EXPECT_NE(said.find("no animation to play in model \"damaged.x\": its animation cannot be "
                        "read (0x"),
              std::string::npos)
        << said;
}

TEST_F(Animation, SpacePlaysAndPausesTabTakesTheNextSetEachOncePerPress) {
    Open("arm_bend.x");
    const std::vector<std::string> still = Pass();
    Pass({VK_SPACE});
    ASSERT_NE(viewer.animatedModel, nullptr);
    EXPECT_TRUE(viewer.animatedModel->playing);
    const std::string first = Line();
    EXPECT_EQ(first.substr(first.find(' ')), " 0.00 / 2.00 s") << first;

    // Playing: the pose follows the clock, not the frames.
    testClock = 0.25;
    Pass();
    Pass();
    EXPECT_EQ(Line().substr(Line().find(' ')), " 0.25 / 2.00 s");
    const std::vector<std::string> moving = Pass();
    EXPECT_NE(moving, still) << "the skinned vertices go to the device again";

    // Space held over several frames pauses once; the clock then moves nothing.
    xoftest::SetKeyDown(VK_SPACE, true);
    Pass();
    Pass();
    xoftest::SetKeyDown(VK_SPACE, false);
    EXPECT_FALSE(viewer.animatedModel->playing);
    testClock = 1.0;
    Pass();
    EXPECT_EQ(Line().substr(Line().find(' ')), " 0.25 / 2.00 s");
    Pass({VK_SPACE});
    testClock = 1.5;
    Pass();
    EXPECT_EQ(Line().substr(Line().find(' ')), " 0.75 / 2.00 s");

    // Tab: the next set from its start, playing; held, still one set on; then it wraps.
    const std::string firstSet = first.substr(0, first.find(' '));
    xoftest::SetKeyDown(VK_TAB, true);
    Pass();
    Pass();
    xoftest::SetKeyDown(VK_TAB, false);
    const std::string second = Line();
    EXPECT_NE(second.substr(0, second.find(' ')), firstSet);
    EXPECT_EQ(second.substr(second.find(' ')), " 0.00 / 1.00 s");
    EXPECT_TRUE(viewer.animatedModel->playing);
    Pass(); // the release
    Pass({VK_TAB});
    EXPECT_EQ(Line(), first);
}

TEST_F(Animation, TheLineNamesTheSetAndCutsALongNameBetweenCharacters) {
    char line[64];
    FormatAnimationLine({2, "", 1.254, 3.0}, line, sizeof line);
    EXPECT_STREQ(line, "#2 1.25 / 3.00 s");
    // 40 bytes of double-byte characters ("ア" is 0x83 0x41) and room for 32 bytes of name.
    std::string name;
    for (int i = 0; i < 20; ++i)
        name += "\x83\x41";
    FormatAnimationLine({0, name.c_str(), 0.5, 1.0}, line, sizeof line);
    EXPECT_EQ(std::string(line), name.substr(0, 32) + " 0.50 / 1.00 s");
    name = "a" + name;
    FormatAnimationLine({0, name.c_str(), 0.5, 1.0}, line, sizeof line);
    EXPECT_EQ(std::string(line), name.substr(0, 31) + " 0.50 / 1.00 s");
}

TEST_F(Animation, ADropStartsStillAndTheHudHasNoAnimationLine) {
    Open("arm_bend.x");
    Pass({VK_TAB});
    ASSERT_NE(viewer.animatedModel, nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.lpszClassName = "XofviewAnimationTest";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, "XofviewAnimationTest", "drop", 0, 0, 0, 200,
                                  200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(xoftest::DropFiles(window, {(folder / "rigid_parts.x").string()}));
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    DestroyWindow(window);
    xoftest::ResetMessageQueue();
    EXPECT_EQ(viewer.animatedModel, nullptr);
    EXPECT_STREQ(viewer.shownModelPath, (folder / "rigid_parts.x").string().c_str());
    int texts = 0;
    for (const std::string& call : Pass())
        texts += call.rfind("DrawTextA", 0) == 0;
    EXPECT_EQ(texts, 3);
    Pass({VK_SPACE});
    ASSERT_NE(viewer.animatedModel, nullptr);
    EXPECT_EQ(Line().substr(0, 5), "Turn ");
}

} // namespace
