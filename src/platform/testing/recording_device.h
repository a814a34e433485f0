// Test seam: an IDirect3DDevice9 and an ID3DXFont that log every call with its arguments.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include <string>
#include <vector>

namespace xoftest {

// Failures a test can ask the recording device for.
struct DeviceFaults {
    bool createVertexBuffer = false; // CreateVertexBuffer returns D3DERR_OUTOFVIDEOMEMORY
    bool lockVertexBuffer = false;   // every vertex buffer Lock returns D3DERR_INVALIDCALL
    bool createTexture = false;      // CreateTexture returns D3DERR_OUTOFVIDEOMEMORY
};

// A device that draws nothing: it keeps the state a real device keeps (so Get* answers), holds
// buffers and textures in memory, and appends one line per call to `calls`, such as
// "SetRenderState(27, 1)" or "DrawPrimitive(5, 0, 2)". Floats are written with %.9g, pointers
// as the name of the object ("vb1", "tex2", "null").
struct RecordingDevice;

RecordingDevice* CreateRecordingDevice();
IDirect3DDevice9* AsDevice(RecordingDevice* device);
std::vector<std::string>& Calls(RecordingDevice* device);
DeviceFaults& Faults(RecordingDevice* device);

// The name the log uses for a resource the device made ("vb1", "ib1", "tex1"), or "null".
std::string NameOf(RecordingDevice* device, const void* resource);

// The bytes of the vertex buffer the device named `name`, as last unlocked.
std::vector<unsigned char> VertexBufferBytes(RecordingDevice* device, const std::string& name);

// Live objects the device made and that were not released yet (itself excluded).
int LiveResources(RecordingDevice* device);

// A font that logs DrawTextA with its text bytes into the device's log:
// "DrawTextA(null, <text>, -1, {50, 517, 0, 0}, 0x140, 0xffc8c8c8)".
ID3DXFont* CreateRecordingFont(RecordingDevice* device);

// The text of the i-th DrawTextA call, byte for byte.
const std::vector<std::string>& DrawnTexts(RecordingDevice* device);

} // namespace xoftest
