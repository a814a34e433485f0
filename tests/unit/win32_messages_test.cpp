// The message loop's order: one message per PeekMessageA; posted messages, then the quit
// request, then input; TranslateMessage's characters; DispatchMessageA's result.
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#include "win32/window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> dispatched;

LRESULT CALLBACK AnsweringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    dispatched.push_back(message);
    if (message == WM_USER + 7) return LRESULT(wParam * 2);
    return DefWindowProcA(window, message, wParam, lParam);
}

class MessageLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(win32::EnsureVideo());
        WNDCLASSEXA wc{};
        wc.lpfnWndProc = AnsweringProc;
        wc.lpszClassName = "Loop";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "Loop", "", WS_VISIBLE | WS_CAPTION, 0, 0, 200, 150, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Drain();
        dispatched.clear();
        xoftest::ReleaseAllKeys();
    }
    void TearDown() override {
        DestroyWindow(window);
        UnregisterClassA("Loop", nullptr);
        Drain();
        xoftest::ReleaseAllKeys();
    }
    static void Drain() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        xoftest::ResetMessageQueue();
    }
    static MSG Next(UINT remove = PM_REMOVE) {
        MSG m{};
        EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, remove));
        return m;
    }
    HWND window = nullptr;
};

TEST_F(MessageLoop, QuitComesOnlyAfterEveryPostedMessage) {
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    PostMessageA(window, WM_USER + 2, 0, 0);
    PostQuitMessage(3);
    PostMessageA(nullptr, WM_USER + 3, 0, 0); // posted after the quit, still ahead of it
    EXPECT_EQ(Next().message, UINT(WM_USER + 1));
    MSG second = Next();
    EXPECT_EQ(second.message, UINT(WM_USER + 2));
    EXPECT_EQ(second.hwnd, window);
    EXPECT_EQ(Next().message, UINT(WM_USER + 3));
    MSG quit = Next();
    EXPECT_EQ(quit.message, UINT(WM_QUIT));
    EXPECT_EQ(quit.hwnd, nullptr);
    EXPECT_EQ(quit.wParam, 3u);
    MSG none;
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageLoop, QuitRequestsCoalesceAndNoRemoveKeepsThem) {
    PostQuitMessage(1);
    PostQuitMessage(2);
    EXPECT_EQ(Next(PM_NOREMOVE).message, UINT(WM_QUIT));
    int code = -1;
    EXPECT_TRUE(xoftest::QuitPosted(&code));
    EXPECT_EQ(code, 2);
    EXPECT_EQ(Next().wParam, 2u);
    EXPECT_FALSE(xoftest::QuitPosted());
    MSG none;
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageLoop, PostedBeforeQuitBeforeInput) {
    xoftest::InjectMouseMove(window, 10, 20);
    PostQuitMessage(0);
    PostMessageA(window, WM_USER, 0, 0);
    EXPECT_EQ(Next().message, UINT(WM_USER));
    EXPECT_EQ(Next().message, UINT(WM_QUIT));
    MSG move = Next();
    EXPECT_EQ(move.message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(move.lParam, MAKELPARAM(10, 20));
}

TEST_F(MessageLoop, NoRemoveLeavesTheMessageFirst) {
    xoftest::InjectMessage(window, WM_USER + 4, 0, 0);
    xoftest::InjectMessage(window, WM_USER + 5, 0, 0);
    EXPECT_EQ(Next(PM_NOREMOVE).message, UINT(WM_USER + 4));
    EXPECT_EQ(Next(PM_NOREMOVE).message, UINT(WM_USER + 4));
    EXPECT_EQ(xoftest::PostedMessages().size(), 2u);
    EXPECT_EQ(Next().message, UINT(WM_USER + 4));
    EXPECT_EQ(Next().message, UINT(WM_USER + 5));
}

TEST_F(MessageLoop, FiltersPickByRangeAndWindowButQuitAlwaysComes) {
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    PostMessageA(window, WM_USER + 2, 0, 0);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER + 2));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
    PostQuitMessage(5);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)); // thread only
    EXPECT_EQ(m.message, UINT(WM_USER + 1));
}

TEST_F(MessageLoop, DispatchCallsTheProcedureAndReturnsItsResult) {
    PostMessageA(window, WM_USER + 7, 21, 0);
    PostMessageA(nullptr, WM_USER + 7, 1, 0);
    MSG m = Next();
    EXPECT_EQ(DispatchMessageA(&m), 42);
    m = Next();
    EXPECT_EQ(DispatchMessageA(&m), 0); // a thread message reaches no procedure
    EXPECT_EQ(dispatched, std::vector<UINT>{WM_USER + 7});
}

TEST_F(MessageLoop, TranslatePostsCharactersAheadOfLaterInput) {
    xoftest::PressKey('A');
    xoftest::ReleaseKey('A');
    MSG down = Next();
    ASSERT_EQ(down.message, UINT(WM_KEYDOWN));
    EXPECT_TRUE(TranslateMessage(&down));
    MSG character = Next();
    EXPECT_EQ(character.message, UINT(WM_CHAR));
    EXPECT_EQ(character.wParam, WPARAM('a'));
    EXPECT_EQ(character.lParam, down.lParam);
    MSG up = Next();
    EXPECT_EQ(up.message, UINT(WM_KEYUP));
    EXPECT_TRUE(TranslateMessage(&up)); // key messages report nonzero, with or without a char
    EXPECT_TRUE(xoftest::PostedMessages().empty());

    xoftest::PressKey(VK_SHIFT);
    xoftest::PressKey('2');
    xoftest::PressKey(VK_ESCAPE);
    MSG shift = Next();
    TranslateMessage(&shift);
    MSG two = Next();
    TranslateMessage(&two);
    EXPECT_EQ(Next().wParam, WPARAM('@'));
    MSG escape = Next();
    TranslateMessage(&escape);
    EXPECT_EQ(Next().wParam, WPARAM(0x1B));
    MSG notKey{window, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(TranslateMessage(&notKey));
}

} // namespace
