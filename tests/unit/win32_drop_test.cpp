// File drops: SDL's drop events become one WM_DROPFILES per gesture, and its handle answers
// DragQueryFileA as Windows does, in code page 932.
#include "testing/message_seam.h"
#include "win32/drag_drop.h"
#include "win32/window.h"

#include <shellapi.h>
#include <windows.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class Drop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(win32::EnsureVideo());
        WNDCLASSEXA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "Drop";
        RegisterClassExA(&wc);
        window = CreateWindowExA(WS_EX_ACCEPTFILES, "Drop", "",
                                 WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 0, 0, 810,
                                 600, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Drain();
    }
    void TearDown() override {
        DestroyWindow(window);
        UnregisterClassA("Drop", nullptr);
        Drain();
    }
    static void Drain() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            if (m.message == WM_DROPFILES) DragFinish(HDROP(m.wParam));
        xoftest::ResetMessageQueue();
    }
    void PushDropEvent(Uint32 type, const char* file = nullptr) {
        SDL_Event e{};
        e.type = type;
        e.drop.windowID = SDL_GetWindowID(win32::SdlWindowOf(window));
        e.drop.file = file ? SDL_strdup(file) : nullptr;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    // One drop gesture as SDL reports it, retrieved as the message loop would.
    HDROP DropThroughSdl(const std::vector<std::string>& paths) {
        PushDropEvent(SDL_DROPBEGIN);
        for (const std::string& path : paths)
            PushDropEvent(SDL_DROPFILE, path.c_str());
        PushDropEvent(SDL_DROPCOMPLETE);
        MSG m{};
        EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.message, UINT(WM_DROPFILES));
        EXPECT_EQ(m.hwnd, window);
        return HDROP(m.wParam);
    }
    HWND window = nullptr;
};

TEST_F(Drop, OneMessageListsEveryFileOfTheGesture) {
    HDROP drop = DropThroughSdl({"/data/a.x", "/data/b.x", "/data/c.x"});
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)); // one message, not three

    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 3u);
    char name[MAX_PATH] = "unchanged";
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, name, MAX_PATH), 3u);
    EXPECT_STREQ(name, "unchanged");
    EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 9u);
    EXPECT_EQ(DragQueryFileA(drop, 0, name, MAX_PATH), 9u);
    EXPECT_STREQ(name, "/data/a.x");
    EXPECT_EQ(DragQueryFileA(drop, 2, name, MAX_PATH), 9u);
    EXPECT_STREQ(name, "/data/c.x");
    EXPECT_EQ(DragQueryFileA(drop, 3, name, MAX_PATH), 0u);

    EXPECT_EQ(win32::LiveDropCount(), 1u);
    DragFinish(drop);
    EXPECT_EQ(win32::LiveDropCount(), 0u);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 0u); // a freed handle answers 0
    DragFinish(drop);                                            // and a second finish is harmless
}

TEST_F(Drop, LongNamesAreCutToTheBufferAsLstrcpyn) {
    std::string longName = "/" + std::string(299, 'n');
    HDROP drop = DropThroughSdl({longName});
    EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 300u);
    char buffer[MAX_PATH + 8];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(DragQueryFileA(drop, 0, buffer, MAX_PATH), 259u);
    EXPECT_EQ(buffer[259], '\0');
    EXPECT_EQ(buffer[260], 'X'); // nothing written past the buffer
    EXPECT_EQ(std::string(buffer), longName.substr(0, 259));
    char small[4];
    EXPECT_EQ(DragQueryFileA(drop, 0, small, 4), 3u);
    EXPECT_STREQ(small, "/nn");
    DragFinish(drop);
}

TEST_F(Drop, NamesComeInCodePage932) {
    HDROP drop = DropThroughSdl({"/tmp/立方体モデル.x", "/tmp/caf\xC3\xA9.x", "/tmp/😀.x"});
    char name[MAX_PATH];
    const char expected[] = "/tmp/\x97\xA7\x95\xFB\x91\xCC\x83\x82\x83\x66\x83\x8B.x";
    EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), UINT(std::strlen(expected)));
    DragQueryFileA(drop, 0, name, MAX_PATH);
    EXPECT_STREQ(name, expected);
    DragQueryFileA(drop, 1, name, MAX_PATH);
    EXPECT_STREQ(name, "/tmp/caf?.x"); // no code page 932 form
    DragQueryFileA(drop, 2, name, MAX_PATH);
    EXPECT_STREQ(name, "/tmp/?.x");
    DragFinish(drop);
}

TEST_F(Drop, SeamDropsAsARealDropAndOnlyOnAcceptingWindows) {
    ASSERT_TRUE(xoftest::DropFiles(window, {"one.x", "two.x"}, POINT{30, 40}));
    std::vector<MSG> posted = xoftest::PostedMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, UINT(WM_DROPFILES));
    HDROP drop = HDROP(posted[0].wParam);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    POINT at{};
    EXPECT_TRUE(DragQueryPoint(drop, &at));
    EXPECT_EQ(at.x, 30);
    EXPECT_EQ(at.y, 40);
    Drain();

    DragAcceptFiles(window, FALSE);
    EXPECT_FALSE(xoftest::DropFiles(window, {"one.x"}));
    EXPECT_TRUE(xoftest::PostedMessages().empty());
    DragAcceptFiles(window, TRUE);
    EXPECT_TRUE(xoftest::DropFiles(window, {"one.x"}));
}

} // namespace
