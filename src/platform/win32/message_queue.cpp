// The message queue and loop: PostMessageA, PeekMessageA, TranslateMessage, DispatchMessageA,
// PostQuitMessage.
#include "message_queue.h"

#include "keyboard_input.h"
#include "sdl_events.h"

#include <deque>

namespace {

// Posted messages, input messages from the window system, and the quit request, which is a flag
// rather than a message (see PostQuitMessage).
struct MessageQueue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quitPending = false;
    int quitExitCode = 0;
};
MessageQueue queue;

bool Matches(const MSG& m, HWND window, UINT first, UINT last) {
    if (window == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false; // only thread messages
    } else if (window && m.hwnd != window) {
        return false;
    }
    return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
}

bool Take(std::deque<MSG>& messages, MSG* out, HWND window, UINT first, UINT last, bool remove) {
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (!Matches(*it, window, first, last)) continue;
        *out = *it;
        if (remove) messages.erase(it);
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
    if (queue.quitPending && exitCode) *exitCode = queue.quitExitCode;
    return queue.quitPending;
}

void MessageQueueReset() {
    queue.posted.clear();
    queue.input.clear();
    queue.quitPending = false;
    queue.quitExitCode = 0;
}

void QueueInputMessage(const MSG& message) {
    if (message.message == WM_MOUSEMOVE && !queue.input.empty() &&
        queue.input.back().message == WM_MOUSEMOVE && queue.input.back().hwnd == message.hwnd) {
        queue.input.back() = message;
        return;
    }
    queue.input.push_back(message);
}

void RemoveWindowMessages(HWND window) {
    std::erase_if(queue.posted, [window](const MSG& m) { return m.hwnd == window; });
    std::erase_if(queue.input, [window](const MSG& m) { return m.hwnd == window; });
}

std::vector<MSG> PostedMessages() {
    return std::vector<MSG>(queue.posted.begin(), queue.posted.end());
}

} // namespace win32

// A flag, not a posted message: WM_QUIT is made when no posted message waits, and repeated
// calls coalesce into one.
VOID WINAPI PostQuitMessage(int exitCode) {
    queue.quitPending = true;
    queue.quitExitCode = exitCode;
}

// A null window posts a thread message, which DispatchMessageA does not deliver.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    queue.posted.push_back(Stamped(window, message, wParam, lParam));
    return TRUE;
}

// One message per call. Events from the window system are taken first (messages Windows would
// send are delivered to window procedures here); then, in Windows' order: posted messages, the
// quit request, input. WM_QUIT is retrieved whatever the filter.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    win32::PumpSdlEvents();
    bool remove = removeMsg & PM_REMOVE;
    if (Take(queue.posted, msg, window, filterMin, filterMax, remove)) return TRUE;
    if (queue.quitPending) {
        *msg = Stamped(nullptr, WM_QUIT, WPARAM(queue.quitExitCode), 0);
        if (remove) queue.quitPending = false;
        return TRUE;
    }
    if (Take(queue.input, msg, window, filterMin, filterMax, remove)) {
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
            queue.posted.push_back(Stamped(msg->hwnd, charMessage, WPARAM(character), msg->lParam));
        }
    }
    return TRUE; // nonzero for every key message, translated or not
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
