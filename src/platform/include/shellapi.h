// The part of the Windows shell API (shellapi.h) that xofview calls: dropped files.
#pragma once

#include <windows.h>

DECLARE_HANDLE(HDROP);

// With index 0xFFFFFFFF: the number of files. With a null buffer: the name's length in bytes,
// without the terminating zero. Otherwise copies at most size - 1 bytes and a zero and returns
// the number of bytes copied. Names are in the ANSI code page (932).
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
// The drop point in client coordinates; TRUE when it lies in the client area.
BOOL WINAPI DragQueryPoint(HDROP drop, POINT* point);
// Frees the drop handle; call once per WM_DROPFILES, after the queries.
VOID WINAPI DragFinish(HDROP drop);
// Sets or clears WS_EX_ACCEPTFILES on a window.
VOID WINAPI DragAcceptFiles(HWND window, BOOL accept);
