// D3DXCreateTextureFromFile(Ex)A, their InMemory forms and D3DXGetImageInfoFrom*: image files
// made into textures through CreateTexture and LockRect.
#include "d3dx9/image.h"
#include "d3dx9/file_read.h"
#include "d3dx9/resample.h"
#include "d3dx9/texture_texels.h"

#include <algorithm>
#include <utility>

namespace d3dx9 {
namespace {

// No image file worth a texture comes near this; larger ones are not read at all.
constexpr size_t kMaxImageFileBytes = size_t(256) << 20;

HRESULT ReadImageFile(LPCSTR fileName, std::vector<unsigned char>& bytes) {
    if (ReadWholeFile(fileName, bytes, kMaxImageFileBytes) != FileReadResult::Ok)
        return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

UINT RoundUpToPowerOfTwo(UINT v) {
    UINT p = 1;
    while (p < v && p < 0x80000000u)
        p <<= 1;
    return p;
}

UINT FullMipChain(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

UINT TextureSide(UINT requested, UINT fileSide, const D3DCAPS9& caps) {
    const bool pow2Only = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) &&
                          !(caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    switch (requested) {
    case 0:
    case D3DX_DEFAULT:
        return RoundUpToPowerOfTwo(fileSide);
    case D3DX_DEFAULT_NONPOW2:
        return pow2Only ? RoundUpToPowerOfTwo(fileSide) : fileSide;
    case D3DX_FROM_FILE:
        return fileSide;
    default:
        return pow2Only ? RoundUpToPowerOfTwo(requested) : requested;
    }
}

// The format a texture takes from its file when none is asked for: the file's own where we can
// write it, with alpha added for a colour key.
D3DFORMAT FormatFromFile(D3DFORMAT fileFormat, bool colourKey) {
    D3DFORMAT format = fileFormat;
    switch (fileFormat) {
    case D3DFMT_P8:
    case D3DFMT_R8G8B8:
        format = D3DFMT_X8R8G8B8;
        break;
    case D3DFMT_L16:
        format = D3DFMT_L8;
        break;
    case D3DFMT_DXT1:
    case D3DFMT_DXT3:
    case D3DFMT_DXT5:
        format = D3DFMT_A8R8G8B8;
        break; // decompressed
    default:
        break;
    }
    if (colourKey) {
        switch (format) {
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R5G6B5:
            format = D3DFMT_A8R8G8B8;
            break;
        case D3DFMT_X1R5G5B5:
            format = D3DFMT_A1R5G5B5;
            break;
        case D3DFMT_X4R4G4B4:
            format = D3DFMT_A4R4G4B4;
            break;
        case D3DFMT_L8:
            format = D3DFMT_A8L8;
            break;
        default:
            break;
        }
    }
    return format;
}

// The 32-bit format every device takes, keeping alpha when the wanted format has it.
D3DFORMAT Fallback(D3DFORMAT wanted) {
    return FormatHasAlphaChannel(wanted) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

HRESULT CreateTextureFromBytes(LPDIRECT3DDEVICE9 device, const unsigned char* bytes, size_t size,
                               UINT width, UINT height, UINT mipLevels, DWORD usage,
                               D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                               D3DCOLOR colourKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                               LPDIRECT3DTEXTURE9* texture) {
    if (filter == D3DX_DEFAULT) filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
    if (!IsValidFilter(filter)) return D3DERR_INVALIDCALL;
    const UINT skipLevels =
        mipFilter == D3DX_DEFAULT
            ? 0
            : (mipFilter >> D3DX_SKIP_DDS_MIP_LEVELS_SHIFT) & D3DX_SKIP_DDS_MIP_LEVELS_MASK;
    // A mip filter that names no filter never fails: it means BOX, D3DX's default.
    if (mipFilter == D3DX_DEFAULT ||
        !IsValidFilter(mipFilter &
                       ~(D3DX_SKIP_DDS_MIP_LEVELS_MASK << D3DX_SKIP_DDS_MIP_LEVELS_SHIFT)))
        mipFilter = D3DX_FILTER_BOX;

    DecodedImage image;
    if (const HRESULT hr = DecodeImage(bytes, size, image); FAILED(hr)) return hr;
    if (srcInfo) *srcInfo = image.info;
    if (palette) *palette = PALETTEENTRY{};
    const UINT skip = std::min<UINT>(skipLevels, UINT(image.levels.size()) - 1);
    image.levels.erase(image.levels.begin(), image.levels.begin() + skip);

    D3DCAPS9 caps{};
    if (FAILED(device->GetDeviceCaps(&caps))) caps = {};
    const UINT maxWidth = caps.MaxTextureWidth ? caps.MaxTextureWidth : kMaxImageSide;
    const UINT maxHeight = caps.MaxTextureHeight ? caps.MaxTextureHeight : kMaxImageSide;
    const ArgbImage& top = image.levels.front();
    UINT w = std::min(TextureSide(width, top.width, caps), maxWidth);
    UINT h = std::min(TextureSide(height, top.height, caps), maxHeight);
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::max(w, h);
    if (w == 0 || h == 0 || w > kMaxImageSide || h > kMaxImageSide) return D3DERR_INVALIDCALL;

    const UINT fullChain = FullMipChain(w, h);
    UINT levels = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? fullChain
                  : mipLevels == D3DX_FROM_FILE               ? UINT(image.levels.size())
                                                              : std::min(mipLevels, fullChain);
    if (caps.MaxTextureWidth && !(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) levels = 1;

    const bool fromFile = format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE;
    D3DFORMAT wanted = fromFile ? FormatFromFile(image.info.Format, colourKey != 0) : format;
    if (WritableTexelBytes(wanted) == 0) wanted = Fallback(wanted);

    // The colour key compares whole ARGB texels of the file's image, before any filtering.
    if (colourKey != 0) {
        for (ArgbImage& level : image.levels)
            std::replace(level.texels.begin(), level.texels.end(), uint32_t(colourKey), 0u);
    }

    IDirect3DTexture9* made = nullptr;
    HRESULT hr = device->CreateTexture(w, h, levels, usage, wanted, pool, &made, nullptr);
    if (FAILED(hr) && Fallback(wanted) != wanted) {
        wanted = Fallback(wanted);
        hr = device->CreateTexture(w, h, levels, usage, wanted, pool, &made, nullptr);
    }
    if (FAILED(hr) || !made) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;

    // Level i comes from the file's level i where the file has one, otherwise from level i - 1
    // through the mip filter.
    ArgbImage previous;
    const DWORD madeLevels = made->GetLevelCount();
    for (DWORD i = 0; i < madeLevels; ++i) {
        D3DSURFACE_DESC desc{};
        if (FAILED(hr = made->GetLevelDesc(i, &desc))) break;
        if (i < image.levels.size() && image.levels[i].width == desc.Width &&
            image.levels[i].height == desc.Height && (filter & 0xFF) != D3DX_FILTER_NONE) {
            previous = std::move(image.levels[i]); // as Resample would give it, without a copy
        } else {
            previous = i < image.levels.size()
                           ? Resample(image.levels[i], desc.Width, desc.Height, filter)
                           : Resample(previous, desc.Width, desc.Height, mipFilter);
        }
        D3DLOCKED_RECT locked{};
        if (FAILED(hr = made->LockRect(i, &locked, nullptr, 0))) break;
        WriteTexels(wanted, previous, locked.pBits, locked.Pitch);
        made->UnlockRect(i);
    }
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *texture = made;
    return D3D_OK;
}

} // namespace
} // namespace d3dx9

using namespace d3dx9;

HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID srcData, UINT srcDataSize,
                                                D3DXIMAGE_INFO* srcInfo) {
    if (!srcData || srcDataSize == 0 || !srcInfo) return D3DERR_INVALIDCALL;
    D3DXIMAGE_INFO info{};
    const HRESULT hr = ReadImageInfo(static_cast<const unsigned char*>(srcData), srcDataSize, info);
    if (SUCCEEDED(hr)) *srcInfo = info;
    return hr;
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* srcInfo) {
    if (!srcFile || !srcInfo) return D3DERR_INVALIDCALL;
    std::vector<unsigned char> bytes;
    if (const HRESULT hr = ReadImageFile(srcFile, bytes); FAILED(hr)) return hr;
    if (bytes.empty()) return D3DXERR_INVALIDDATA;
    return D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), srcInfo);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 device, LPCVOID srcData,
                                                   UINT srcDataSize, UINT width, UINT height,
                                                   UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                   D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                   D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                                   PALETTEENTRY* palette,
                                                   LPDIRECT3DTEXTURE9* texture) {
    if (texture) *texture = nullptr;
    if (!device || !srcData || srcDataSize == 0 || !texture) return D3DERR_INVALIDCALL;
    return CreateTextureFromBytes(device, static_cast<const unsigned char*>(srcData), srcDataSize,
                                  width, height, mipLevels, usage, format, pool, filter, mipFilter,
                                  colorKey, srcInfo, palette, texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 device, LPCVOID srcData,
                                                 UINT srcDataSize, LPDIRECT3DTEXTURE9* texture) {
    return D3DXCreateTextureFromFileInMemoryEx(
        device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE9* texture) {
    if (texture) *texture = nullptr;
    if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
    std::vector<unsigned char> bytes;
    if (const HRESULT hr = ReadImageFile(srcFile, bytes); FAILED(hr)) return hr;
    if (bytes.empty()) return D3DXERR_INVALIDDATA;
    return CreateTextureFromBytes(device, bytes.data(), bytes.size(), width, height, mipLevels,
                                  usage, format, pool, filter, mipFilter, colorKey, srcInfo,
                                  palette, texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR srcFile,
                                          LPDIRECT3DTEXTURE9* texture) {
    return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                        0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                        D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}
