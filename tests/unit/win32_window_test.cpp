// Windows as the viewer makes them: class registration, creation messages, Windows 10's client
// area, the close sequence, and the SDL window the Direct3D device draws into.
#include "testing/message_seam.h"
#include "win32/window.h"

#include <windows.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> received;
HWND handleSeenInCreate = nullptr;
bool liveDuringCreate = false;
CREATESTRUCTA createSeen{};
std::string titleSeen;
LRESULT createResult = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({message, wParam, lParam});
    switch (message) {
    case WM_CREATE:
        handleSeenInCreate = window;
        liveDuringCreate = IsWindow(window) && win32::SdlWindowOf(window) != nullptr;
        createSeen = *reinterpret_cast<CREATESTRUCTA*>(lParam);
        titleSeen = createSeen.lpszName;
        return createResult;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

constexpr char kTitle[] = "\x83\x72\x83\x85\x81\x5B\x83\x41"; // ビューア in code page 932
constexpr DWORD kViewerStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

std::vector<UINT> MessagesReceived() {
    std::vector<UINT> messages;
    for (const Received& r : received)
        messages.push_back(r.message);
    return messages;
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(win32::EnsureVideo());
        WNDCLASSEXA wc{};
        wc.cbSize = 48; // as a 32-bit Windows program passes it
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "NORMAL0";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        received.clear();
        createResult = 0;
        xoftest::ResetMessageQueue();
    }
    void TearDown() override {
        for (HWND w : win32::LiveWindows())
            DestroyWindow(w);
        UnregisterClassA("NORMAL0", nullptr);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        xoftest::ResetMessageQueue();
    }
    static HWND CreateViewerWindow() {
        return CreateWindowExA(WS_EX_ACCEPTFILES, "NORMAL0", kTitle, kViewerStyle, CW_USEDEFAULT,
                               CW_USEDEFAULT, 810, 600, nullptr, nullptr, GetModuleHandleA(nullptr),
                               nullptr);
    }
};

TEST_F(Window, CreationSendsCreateWithTheHandleBeforeReturning) {
    HWND window = CreateViewerWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(handleSeenInCreate, window);
    EXPECT_TRUE(liveDuringCreate);
    std::vector<UINT> messages = MessagesReceived();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], UINT(WM_NCCREATE));
    EXPECT_EQ(messages[1], UINT(WM_CREATE));
    EXPECT_EQ(createSeen.cx, 810);
    EXPECT_EQ(createSeen.cy, 600);
    EXPECT_EQ(DWORD(createSeen.style), kViewerStyle);
    EXPECT_EQ(createSeen.dwExStyle, DWORD(WS_EX_ACCEPTFILES));
    EXPECT_EQ(titleSeen, kTitle); // the program's own bytes, unconverted
    EXPECT_STREQ(createSeen.lpszClass, "NORMAL0");
}

TEST_F(Window, ViewerStyleGetsWindows10ClientArea) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kViewerStyle, FALSE, WS_EX_ACCEPTFILES);
    EXPECT_EQ(frame.left, -8);
    EXPECT_EQ(frame.top, -31);
    EXPECT_EQ(frame.right, 8);
    EXPECT_EQ(frame.bottom, 8);

    HWND window = CreateViewerWindow();
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 794);
    EXPECT_EQ(client.bottom, 561);
    int width = 0, height = 0;
    ASSERT_TRUE(win32::ClientSize(window, &width, &height));
    EXPECT_EQ(width, 794);
    EXPECT_EQ(height, 561);

    SDL_Window* sdl = win32::SdlWindowOf(window);
    ASSERT_NE(sdl, nullptr);
    int sdlWidth = 0, sdlHeight = 0;
    SDL_GetWindowSize(sdl, &sdlWidth, &sdlHeight);
    EXPECT_EQ(sdlWidth, 794);
    EXPECT_EQ(sdlHeight, 561);
    Uint32 flags = SDL_GetWindowFlags(sdl);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "ビューア");

    // WM_SIZE carries the client size too.
    bool sized = false;
    for (const Received& r : received)
        if (r.message == WM_SIZE) sized = r.lParam == MAKELPARAM(794, 561);
    EXPECT_TRUE(sized);
}

TEST_F(Window, PopupWithoutFrameKeepsItsSizeAndIsNotResizable) {
    HWND window = CreateWindowExA(0, "normal0", "", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr); // class names ignore letter case
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    Uint32 flags = SDL_GetWindowFlags(win32::SdlWindowOf(window));
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(flags & SDL_WINDOW_HIDDEN); // no WS_VISIBLE
}

TEST_F(Window, CloseButtonRunsTheCloseSequenceAndTheLoopEnds) {
    HWND window = CreateViewerWindow();
    received.clear();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(win32::SdlWindowOf(window));
    ASSERT_EQ(SDL_PushEvent(&close), 1);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 0u);
    std::vector<UINT> expected{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(MessagesReceived(), expected);
    EXPECT_EQ(received[0].wParam, WPARAM(SC_CLOSE));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(win32::SdlWindowOf(window), nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Window, DestroyedWindowIsGoneWithItsMessages) {
    HWND window = CreateViewerWindow();
    PostMessageA(window, WM_USER, 1, 2);
    received.clear();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(MessagesReceived(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(xoftest::PostedMessages().empty());

    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    RECT r{};
    EXPECT_FALSE(GetClientRect(window, &r));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
}

TEST_F(Window, CreateReturningMinusOneFailsCreation) {
    createResult = -1;
    HWND window = CreateViewerWindow();
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(IsWindow(handleSeenInCreate));
    std::vector<UINT> messages = MessagesReceived();
    EXPECT_EQ(messages.back(), UINT(WM_NCDESTROY));
}

TEST_F(Window, ClassesAreRegisteredOnceAndLookedUpByNameOrAtom) {
    WNDCLASSEXA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Normal0";
    SetLastError(0);
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));

    wc.lpszClassName = "Second";
    ATOM atom = RegisterClassExA(&wc);
    ASSERT_NE(atom, 0);
    HWND byAtom = CreateWindowExA(0, MAKEINTRESOURCEA(atom), "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    EXPECT_NE(byAtom, nullptr);
    DestroyWindow(byAtom);
    EXPECT_TRUE(UnregisterClassA("Second", nullptr));

    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "Second", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Window, ResizeSendsSizeOnceDuringPeek) {
    HWND window = CreateViewerWindow();
    received.clear();
    SDL_Event resize{};
    resize.type = SDL_WINDOWEVENT;
    resize.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resize.window.windowID = SDL_GetWindowID(win32::SdlWindowOf(window));
    resize.window.data1 = 1000;
    resize.window.data2 = 700;
    SDL_PushEvent(&resize);
    SDL_PushEvent(&resize); // the same size again is no change
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // sent, never returned
    ASSERT_EQ(MessagesReceived(), std::vector<UINT>{WM_SIZE});
    EXPECT_EQ(received[0].lParam, MAKELPARAM(1000, 700));
}

TEST_F(Window, HiddenGlWindowForTheDevice) {
    HWND hidden = win32::CreateHiddenGlWindow(900, 690);
    ASSERT_NE(hidden, nullptr);
    SDL_Window* sdl = win32::SdlWindowOf(hidden);
    ASSERT_NE(sdl, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    int width = 0, height = 0;
    EXPECT_TRUE(win32::ClientSize(hidden, &width, &height));
    EXPECT_EQ(width, 900);
    EXPECT_EQ(height, 690);

    // What the device does with it: an OpenGL context on the window.
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    EXPECT_NE(context, nullptr) << SDL_GetError();
    if (context) SDL_GL_DeleteContext(context);

    EXPECT_TRUE(DestroyWindow(hidden));
    EXPECT_EQ(win32::SdlWindowOf(hidden), nullptr);
    EXPECT_FALSE(win32::ClientSize(hidden, &width, &height));
    EXPECT_EQ(win32::SdlWindowOf(nullptr), nullptr);
    EXPECT_TRUE(win32::EnsureVideo());
}

TEST_F(Window, AltF4ClosesThroughDefWindowProc) {
    HWND window = CreateViewerWindow();
    received.clear();
    LPARAM altContext = 0x20000000 | (0x3E << 16) | 1;
    MSG altF4{window, WM_SYSKEYDOWN, VK_F4, altContext, 0, {0, 0}};
    DispatchMessageA(&altF4);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_SYSCOMMAND));
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(window));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
}

} // namespace
