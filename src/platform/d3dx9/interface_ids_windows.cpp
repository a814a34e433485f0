// The D3DX interface IDs, which the Windows SDK's headers declare and D3DX itself defines.
#include <initguid.h>

#include <d3dx9.h>
