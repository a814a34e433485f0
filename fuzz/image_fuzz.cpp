// libFuzzer target: any bytes as an image file, through the path D3DXCreateTextureFromFileExA
// takes once it has read the file (type detection, header checks, SDL_image or our DDS reader,
// resampling, texel conversion, CreateTexture and LockRect) on the recording device. The first
// byte picks the size, format and colour key asked for; the rest is the file.
#include "testing/recording_device.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <cstddef>
#include <cstdint>

namespace {

xoftest::RecordingDevice* recording = nullptr;

const D3DFORMAT kFormats[] = {D3DFMT_UNKNOWN,  D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                              D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L8,       D3DFMT_DXT1};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    if (!recording) recording = xoftest::CreateRecordingDevice();
    IDirect3DDevice9* device = xoftest::AsDevice(recording);
    const uint8_t choice = data[0];
    const UINT side = (choice & 3) == 0   ? D3DX_DEFAULT
                      : (choice & 3) == 1 ? D3DX_DEFAULT_NONPOW2
                      : (choice & 3) == 2 ? D3DX_FROM_FILE
                                          : 3;
    const D3DFORMAT format = kFormats[(choice >> 2) & 7];
    const D3DCOLOR colourKey = (choice & 0x20) ? 0xFF000000 : 0;
    const DWORD filter = (choice & 0x40) ? D3DX_FILTER_POINT : D3DX_DEFAULT;
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info{};
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        device, data + 1, UINT(size - 1), side, side, (choice & 0x80) ? 1 : D3DX_DEFAULT, 0, format,
        D3DPOOL_MANAGED, filter, D3DX_DEFAULT, colourKey, &info, nullptr, &texture);
    if (SUCCEEDED(hr) != (texture != nullptr)) __builtin_trap();
    if (texture) texture->Release();
    // Nothing the loader made may outlive it, on success or failure.
    if (xoftest::LiveResources(recording) != 0) __builtin_trap();
    xoftest::Calls(recording).clear();
    return 0;
}
