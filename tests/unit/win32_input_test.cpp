// Keyboard and mouse input as SDL reports it: which virtual key, the key-message bits, when each
// view of the keyboard changes, and mouse messages packed as Windows packs them.
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#include "win32/window.h"

#include <windows.h>

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class Input : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(win32::EnsureVideo());
        WNDCLASSEXA wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "Input";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "Input", "", WS_VISIBLE | WS_CAPTION | WS_THICKFRAME, 0, 0, 400,
                                 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        sdlId = SDL_GetWindowID(win32::SdlWindowOf(window));
        Drain();
        xoftest::ReleaseAllKeys();
    }
    void TearDown() override {
        DestroyWindow(window);
        UnregisterClassA("Input", nullptr);
        Drain();
        xoftest::ReleaseAllKeys();
    }
    static void Drain() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        xoftest::ResetMessageQueue();
    }
    void Key(SDL_Scancode scancode, SDL_Keycode symbol, bool down, Uint16 mod = KMOD_NONE,
             bool repeat = false) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = sdlId;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = scancode;
        e.key.keysym.sym = symbol;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void Motion(int x, int y, Uint32 buttons = 0) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = sdlId;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.state = buttons;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void Button(Uint8 button, bool down, int x, int y, Uint8 clicks = 1) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = sdlId;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = clicks;
        e.button.x = x;
        e.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static MSG Next() {
        MSG m{};
        EXPECT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        return m;
    }
    // The virtual key of one key press (the message taken, its release drained).
    UINT VirtualKeyOf(SDL_Scancode scancode, SDL_Keycode symbol, Uint16 mod) {
        Key(scancode, symbol, true, mod);
        Key(scancode, symbol, false, mod);
        UINT vk = UINT(Next().wParam);
        Next();
        return vk;
    }
    HWND window = nullptr;
    Uint32 sdlId = 0;
};

TEST_F(Input, KeyMessagesCarryWindowsBits) {
    Key(SDL_SCANCODE_A, SDLK_a, true);
    Key(SDL_SCANCODE_A, SDLK_a, true, KMOD_NONE, true);
    Key(SDL_SCANCODE_A, SDLK_a, false);
    MSG first = Next();
    EXPECT_EQ(first.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(first.hwnd, window);
    EXPECT_EQ(first.wParam, WPARAM('A'));
    EXPECT_EQ(DWORD(first.lParam), 0x001E0001u);  // count 1, scan 0x1E
    EXPECT_EQ(DWORD(Next().lParam), 0x401E0001u); // auto-repeat: was down
    MSG up = Next();
    EXPECT_EQ(up.message, UINT(WM_KEYUP));
    EXPECT_EQ(DWORD(up.lParam), 0xC01E0001u); // was down, released

    Key(SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, true);
    MSG pageUp = Next();
    EXPECT_EQ(pageUp.wParam, WPARAM(VK_PRIOR));
    EXPECT_EQ(DWORD(pageUp.lParam), 0x01490001u); // extended
    Key(SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, false);
    EXPECT_EQ(DWORD(Next().lParam), 0xC1490001u);
    Key(SDL_SCANCODE_KP_9, SDLK_KP_9, true);
    MSG keypadNine = Next();
    EXPECT_EQ(keypadNine.wParam, WPARAM(VK_PRIOR));   // NumLock off: the same key code ...
    EXPECT_EQ(DWORD(keypadNine.lParam), 0x00490001u); // ... without the extended bit

    Key(SDL_SCANCODE_LALT, SDLK_LALT, true);
    MSG alt = Next();
    EXPECT_EQ(alt.message, UINT(WM_SYSKEYDOWN));
    EXPECT_EQ(alt.wParam, WPARAM(VK_MENU));
    EXPECT_EQ(DWORD(alt.lParam), 0x20380001u); // Alt context
}

TEST_F(Input, AsyncStateChangesWhenReportedKeyStateWhenRetrieved) {
    Key(SDL_SCANCODE_W, SDLK_w, true);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)); // pumped, not retrieved
    EXPECT_LT(GetAsyncKeyState('W'), 0);
    EXPECT_EQ(GetKeyState('W'), 0);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_LT(GetKeyState('W'), 0);

    Key(SDL_SCANCODE_W, SDLK_w, false);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetAsyncKeyState('W'), 0);
    EXPECT_LT(GetKeyState('W'), 0); // the release is still waiting in the queue
    Next();
    EXPECT_GE(GetKeyState('W'), 0);

    // The seam goes the same way.
    xoftest::PressKey(VK_NUMPAD5);
    EXPECT_LT(GetAsyncKeyState(VK_NUMPAD5), 0);
    EXPECT_EQ(GetKeyState(VK_NUMPAD5), 0);
    EXPECT_EQ(Next().wParam, WPARAM(VK_NUMPAD5));
    EXPECT_LT(GetKeyState(VK_NUMPAD5), 0);
}

TEST_F(Input, KeypadFollowsNumLockAndShift) {
    struct Case {
        SDL_Scancode scancode;
        UINT withNumLock, withoutNumLock;
    };
    const Case cases[] = {
        {SDL_SCANCODE_KP_7, VK_NUMPAD7, VK_HOME},        {SDL_SCANCODE_KP_8, VK_NUMPAD8, VK_UP},
        {SDL_SCANCODE_KP_9, VK_NUMPAD9, VK_PRIOR},       {SDL_SCANCODE_KP_4, VK_NUMPAD4, VK_LEFT},
        {SDL_SCANCODE_KP_5, VK_NUMPAD5, VK_CLEAR},       {SDL_SCANCODE_KP_6, VK_NUMPAD6, VK_RIGHT},
        {SDL_SCANCODE_KP_1, VK_NUMPAD1, VK_END},         {SDL_SCANCODE_KP_2, VK_NUMPAD2, VK_DOWN},
        {SDL_SCANCODE_KP_3, VK_NUMPAD3, VK_NEXT},        {SDL_SCANCODE_KP_0, VK_NUMPAD0, VK_INSERT},
        {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, VK_DELETE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(SDL_GetScancodeName(c.scancode));
        EXPECT_EQ(VirtualKeyOf(c.scancode, 0, KMOD_NUM), c.withNumLock);
        EXPECT_EQ(VirtualKeyOf(c.scancode, 0, KMOD_NONE), c.withoutNumLock);
        EXPECT_EQ(VirtualKeyOf(c.scancode, 0, KMOD_NUM | KMOD_LSHIFT), c.withoutNumLock);
        EXPECT_EQ(VirtualKeyOf(c.scancode, 0, KMOD_RSHIFT), c.withoutNumLock);
    }
    // The operators do not depend on NumLock; '/' and Enter are extended.
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, 0), UINT(VK_ADD));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, KMOD_NUM), UINT(VK_SUBTRACT));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, 0), UINT(VK_MULTIPLY));
    Key(SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, true);
    MSG divide = Next();
    EXPECT_EQ(divide.wParam, WPARAM(VK_DIVIDE));
    EXPECT_EQ(DWORD(divide.lParam), 0x01350001u);
}

TEST_F(Input, ReleaseNamesTheKeyThePressMadeEvenAfterNumLockChanges) {
    Key(SDL_SCANCODE_KP_1, SDLK_KP_1, true, KMOD_NUM);
    Key(SDL_SCANCODE_KP_1, SDLK_KP_1, false, KMOD_NONE);
    EXPECT_EQ(Next().wParam, WPARAM(VK_NUMPAD1));
    EXPECT_LT(GetKeyState(VK_NUMPAD1), 0);
    MSG up = Next();
    EXPECT_EQ(up.wParam, WPARAM(VK_NUMPAD1));
    EXPECT_GE(GetKeyState(VK_NUMPAD1), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_NUMPAD1), 0);
}

TEST_F(Input, LettersAndDigitsFollowTheLayoutOtherKeysThePosition) {
    // A French layout: the key at US Q types 'a', the digit row types symbols.
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_Q, SDLK_a, 0), UINT('A'));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_SEMICOLON, SDLK_m, 0), UINT('M'));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_1, SDLK_AMPERSAND, 0), UINT('1'));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_0, SDLK_0, 0), UINT('0'));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0), UINT(VK_ESCAPE));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 0), UINT(VK_NEXT));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_LEFT, SDLK_LEFT, 0), UINT(VK_LEFT));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_DOWN, SDLK_DOWN, 0), UINT(VK_DOWN));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0), UINT(VK_CONTROL));
    EXPECT_EQ(VirtualKeyOf(SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0), UINT(VK_SHIFT));
}

TEST_F(Input, ModifiersRecordTheirSideAndEitherSide) {
    Key(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, true);
    Key(SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, true);
    Key(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, false);
    Key(SDL_SCANCODE_RCTRL, SDLK_RCTRL, true);
    for (int i = 0; i < 4; ++i)
        Next();
    EXPECT_GE(GetKeyState(VK_LSHIFT), 0);
    EXPECT_LT(GetKeyState(VK_RSHIFT), 0);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0); // the right one is still down
    EXPECT_LT(GetKeyState(VK_RCONTROL), 0);
    EXPECT_GE(GetKeyState(VK_LCONTROL), 0);
    EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0);
}

TEST_F(Input, MouseMovesArePackedInClientWords) {
    Motion(100, 200, SDL_BUTTON_LMASK);
    MSG move = Next();
    EXPECT_EQ(move.message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(move.hwnd, window);
    EXPECT_EQ(move.wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(DWORD(move.lParam), 0x00C80064u);

    Motion(-1, -2);
    MSG outside = Next();
    EXPECT_EQ(DWORD(outside.lParam), 0xFFFEFFFFu);
    EXPECT_EQ(LOWORD(outside.lParam), 0xFFFF);
    EXPECT_EQ(GET_X_LPARAM(outside.lParam), -1);
    EXPECT_EQ(GET_Y_LPARAM(outside.lParam), -2);
    EXPECT_EQ(outside.wParam, 0u);

    xoftest::InjectMouseMove(window, -5, 70000, MK_RBUTTON);
    MSG injected = Next();
    EXPECT_EQ(DWORD(injected.lParam), (DWORD(70000 & 0xFFFF) << 16) | 0xFFFBu);
    EXPECT_EQ(injected.wParam, WPARAM(MK_RBUTTON));
}

TEST_F(Input, WaitingMovesCoalesceIntoTheLatest) {
    Motion(1, 1);
    Motion(2, 2);
    Motion(3, 4);
    MSG move = Next();
    EXPECT_EQ(move.lParam, MAKELPARAM(3, 4));
    MSG none;
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Input, ButtonsGiveDownUpAndDoubleClickWithHeldFlags) {
    xoftest::SetKeyDown(VK_SHIFT, true);
    Button(SDL_BUTTON_LEFT, true, 5, 6);
    Button(SDL_BUTTON_LEFT, false, 5, 6);
    Button(SDL_BUTTON_LEFT, true, 5, 6, 2);
    Button(SDL_BUTTON_RIGHT, true, 7, 8);
    MSG down = Next();
    EXPECT_EQ(down.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(down.wParam, WPARAM(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(down.lParam, MAKELPARAM(5, 6));
    MSG up = Next();
    EXPECT_EQ(up.message, UINT(WM_LBUTTONUP));
    EXPECT_EQ(up.wParam, WPARAM(MK_SHIFT));
    EXPECT_EQ(Next().message, UINT(WM_LBUTTONDBLCLK)); // the class has CS_DBLCLKS
    MSG right = Next();
    EXPECT_EQ(right.message, UINT(WM_RBUTTONDOWN));
    EXPECT_EQ(right.wParam, WPARAM(MK_LBUTTON | MK_RBUTTON | MK_SHIFT));
}

} // namespace
