// COM apartment initialisation: a per-thread count, since nothing here needs a real apartment.
#include <objbase.h>

namespace {

thread_local int comInitCount = 0;

} // namespace

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD) {
    return comInitCount++ == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

VOID WINAPI CoUninitialize() {
    if (comInitCount > 0) --comInitCount;
}
