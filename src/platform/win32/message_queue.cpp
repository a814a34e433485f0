// The message queue and loop: PostMessageA, PeekMessageA, TranslateMessage, DispatchMessageA,
// PostQuitMessage.
#include "message_queue.h"

#include "keyboard_input.h"
#include "sdl_events.h"
#include "window.h"

#include <deque>

namespace {

std::deque<MSG> posted;
std::deque<MSG> input;
bool quitPending = false;
int quitExitCode = 0;

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
    if (window == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false; // only thread messages
    } else if (window && m.hwnd != window) {
        return false;
    }
    return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

bool Take(std::deque<MSG>& queue, MSG* out, HWND window, UINT first, UINT last, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(*it, window, first, last)) continue;
        *out = *it;
        if (remove) queue.erase(it);
        return true;
    }
    return false;
}

MSG Stamped(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{window, message, wParam, lParam, GetTickCount(), {0, 0}};
    return m;
}

} // namespace

namespace win32 {

bool QuitRequested(int* exitCode) {
    if (quitPending && exitCode) *exitCode = quitExitCode;
    return quitPending;
}

void MessageQueueReset() {
    posted.clear();
    input.clear();
    quitPending = false;
    quitExitCode = 0;
}

void QueueInputMessage(const MSG& message) {
    if (message.message == WM_MOUSEMOVE && !input.empty() && input.back().message == WM_MOUSEMOVE &&
        input.back().hwnd == message.hwnd) {
        input.back() = message;
        return;
    }
    input.push_back(message);
}

void RemoveWindowMessages(HWND window) {
    std::erase_if(posted, [window](const MSG& m) { return m.hwnd == window; });
    std::erase_if(input, [window](const MSG& m) { return m.hwnd == window; });
}

std::vector<MSG> PostedMessages() {
    return std::vector<MSG>(posted.begin(), posted.end());
}

} // namespace win32

// A flag, not a posted message: WM_QUIT is made when no posted message waits, and repeated
// calls coalesce into one.
VOID WINAPI PostQuitMessage(int exitCode) {
    quitPending = true;
    quitExitCode = exitCode;
}

// A null window posts a thread message, which DispatchMessageA does not deliver.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    posted.push_back(Stamped(window, message, wParam, lParam));
    return TRUE;
}

// One message per call. Events from the window system are taken first (messages Windows would
// send are delivered to window procedures here); then, in Windows' order: posted messages, the
// quit request, input. WM_QUIT is retrieved whatever the filter.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    win32::PumpSdlEvents();
    bool remove = removeMsg & PM_REMOVE;
    if (Take(posted, msg, window, filterMin, filterMax, remove)) return TRUE;
    if (quitPending) {
        *msg = Stamped(nullptr, WM_QUIT, WPARAM(quitExitCode), 0);
        if (remove) quitPending = false;
        return TRUE;
    }
    if (Take(input, msg, window, filterMin, filterMax, remove)) {
        if (remove) win32::KeyMessageRetrieved(*msg);
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN && msg->message != WM_KEYUP &&
        msg->message != WM_SYSKEYUP)
        return FALSE;
    if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
        int character = win32::CharacterOfKey(UINT(msg->wParam));
        if (character >= 0) {
            UINT charMessage = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
            posted.push_back(Stamped(msg->hwnd, charMessage, WPARAM(character), msg->lParam));
        }
    }
    return TRUE; // nonzero for every key message, translated or not
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
