// Compiles as a viewer source: the SDK subset and the viewer's rooms are in reach.
#include "state/viewer_state.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <dinput.h>
#include <shellapi.h>
#include <windows.h>

int ViewerBoundaryProbe() {
    return viewer.backBufferWidth;
}
