// PNG and BMP files written by WIC's encoders, named by ANSI Windows names.
#include "d3dx9/image_encode.h"
#include "d3dx9/wic_session.h"

#include <string>
#include <vector>

namespace d3dx9 {
namespace {

std::wstring WideName(const char* ansiName) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansiName, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansiName, -1, wide.data(), length);
    wide.resize(size_t(length - 1));
    return wide;
}

// The texels as rows of 32-bit BGRA (alpha) or 24-bit BGR bytes, as WIC's formats lay them out.
std::vector<BYTE> Rows(const ArgbImage& image, bool alpha, UINT& stride) {
    const UINT bytesPerTexel = alpha ? 4 : 3;
    stride = (image.width * bytesPerTexel + 3) & ~3u;
    std::vector<BYTE> rows(size_t(stride) * image.height);
    for (UINT y = 0; y < image.height; ++y) {
        const uint32_t* in = image.texels.data() + size_t(y) * image.width;
        BYTE* out = rows.data() + size_t(y) * stride;
        for (UINT x = 0; x < image.width; ++x, out += bytesPerTexel) {
            out[0] = BYTE(in[x]);
            out[1] = BYTE(in[x] >> 8);
            out[2] = BYTE(in[x] >> 16);
            if (alpha) out[3] = BYTE(in[x] >> 24);
        }
    }
    return rows;
}

} // namespace

HRESULT WriteImageFile(const char* ansiName, D3DXIMAGE_FILEFORMAT format, const ArgbImage& image,
                       bool alpha) {
    const std::wstring name = WideName(ansiName);
    if (name.empty()) return D3DERR_INVALIDCALL;
    WicSession wic;
    IWICImagingFactory* factory = wic.Factory();
    if (!factory) return D3DERR_INVALIDCALL;
    UINT stride = 0;
    std::vector<BYTE> rows = Rows(image, alpha, stride);
    WICPixelFormatGUID pixelFormat =
        alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    const GUID& container =
        format == D3DXIFF_PNG ? GUID_ContainerFormatPng : GUID_ContainerFormatBmp;

    ComPointer<IWICStream> stream;
    ComPointer<IWICBitmapEncoder> encoder;
    ComPointer<IWICBitmapFrameEncode> frame;
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromFilename(name.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(image.width, image.height)) ||
        FAILED(frame->SetPixelFormat(&pixelFormat)) ||
        pixelFormat != (alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR) ||
        FAILED(frame->WritePixels(image.height, stride, UINT(rows.size()), rows.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

} // namespace d3dx9
