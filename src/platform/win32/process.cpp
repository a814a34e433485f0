// The process and thread services: module handle, exit, last error, sleeping and the tick count.
#include <windows.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Where an executable's image sits by default; any non-null value would do.
HMODULE const kExecutableModule = reinterpret_cast<HMODULE>(0x00400000);

thread_local DWORD lastError = ERROR_SUCCESS;

} // namespace

// Only the executable itself is a module here: no DLLs are loaded by name.
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return kExecutableModule;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// Output is flushed and the window system shut down; C++ static destructors do not run, as a
// Windows program's do not when it ends through ExitProcess with objects that still use the
// graphics system.
VOID WINAPI ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    SDL_Quit();
    std::_Exit(static_cast<int>(exitCode));
}

DWORD WINAPI GetLastError() {
    return lastError;
}

VOID WINAPI SetLastError(DWORD error) {
    lastError = error;
}

VOID WINAPI Sleep(DWORD milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

// Milliseconds since the system started, wrapping after 49.7 days as on Windows.
DWORD WINAPI GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}
