// The viewer's life: start-up, the message loop and shutdown, and the window procedure.
#pragma once

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

// Sets up the window and graphics, runs the loop until WM_QUIT and ends the process.
[[noreturn]] void RunViewer();
// The same with another model than "op.x" (a code-page-932 name; null: "op.x"); fitView: the
// view is fitted to it; animationSet: its animation set to play (StartViewer).
[[noreturn]] void RunViewer(const char* modelFile, bool fitView,
                            const char* animationSet = nullptr);

// Start-up up to the first frame: state defaults, brush, class, window, graphics, with the
// model loaded from modelFile. Ends the process with status 1 when graphics cannot start.
// animationSet (not null): the model's animation set of that name or number (the first when
// empty) plays from its start. fitView: the eye is moved to see the model whole, and the view
// holds still until the mouse first moves over the window.
void StartViewer(const char* modelFile, bool fitView = false, const char* animationSet = nullptr);

// Fits the view to the model as when a model file opens: the whole model in view, the heading
// held still until the mouse first moves over the window.
void FitViewAsOpened();

// One pass of the message loop: handles one message, or draws one frame when none waits.
// Returns false once WM_QUIT has been taken.
bool RunLoopPass();

// Releases the scene objects and the DirectX objects, in that order.
void ShutdownViewer();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_DROPFILES: the first dropped file becomes the model when it loads.
void OnDropFiles(HDROP drop);
