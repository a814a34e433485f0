// The part of COM (objbase.h) that xofview calls: apartment initialisation.
#pragma once

#include <windows.h>

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

// S_OK on a thread's first call, S_FALSE on every further call; each needs a CoUninitialize.
HRESULT WINAPI CoInitialize(LPVOID reserved);
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD concurrencyModel);
VOID WINAPI CoUninitialize();
