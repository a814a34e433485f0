// The back buffer framebuffer object and its surface, read and written top row first.
#include "back_buffer.h"

#include "device.h"

#include <algorithm>
#include <cstring>

namespace d3d9 {

// --- BackBuffer ---

BackBuffer::~BackBuffer() {
    Destroy();
}

void BackBuffer::Destroy() {
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (colorTexture_) glDeleteTextures(1, &colorTexture_);
    if (depthRenderbuffer_) glDeleteRenderbuffers(1, &depthRenderbuffer_);
    framebuffer_ = colorTexture_ = depthRenderbuffer_ = 0;
}

namespace {

// The highest level of an n-bit channel.
uint32_t MaxLevel(uint8_t bits) {
    return (1u << bits) - 1;
}

// Rows of a 16-bit target read at a time (64 rows of 900 pixels: 460 KB).
constexpr UINT kReadBandRows = 64;

// A 16-bit channel to the nearest level of an n-bit one. 65535 is odd, so there are no ties.
uint32_t Narrow(uint32_t wide, uint8_t bits) {
    return (wide * MaxLevel(bits) + 32767) / 65535;
}

// An n-bit level to the 16-bit channel nearest to it.
uint16_t Widen(uint32_t level, uint8_t bits) {
    const uint32_t max = MaxLevel(bits);
    return uint16_t((level * 65535 + max / 2) / max);
}

} // namespace

bool BackBuffer::CreateColor(GLenum internal, GLenum pixelFormat, GLenum pixelType) {
    if (colorTexture_) glDeleteTextures(1, &colorTexture_);
    glGenTextures(1, &colorTexture_);
    glBindTexture(GL_TEXTURE_2D, colorTexture_);
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(internal), GLsizei(width_), GLsizei(height_), 0,
                 pixelFormat, pixelType, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (glGetError() != GL_NO_ERROR) return false;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture_, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

bool BackBuffer::Create(UINT width, UINT height, const RenderTargetFormat& color,
                        const DepthFormat* depth) {
    Destroy();
    width_ = width;
    height_ = height;
    color_ = &color;
    narrowLevels_.clear(); // built for the format at the first read
    depth_ = depth;
    roundsOnStore_ = false;
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    if (depth) {
        glGenRenderbuffers(1, &depthRenderbuffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, depthRenderbuffer_);
        glRenderbufferStorage(GL_RENDERBUFFER, depth->internalFormat, GLsizei(width),
                              GLsizei(height));
        glFramebufferRenderbuffer(
            GL_FRAMEBUFFER, depth->hasStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
            GL_RENDERBUFFER, depthRenderbuffer_);
    }
    // A narrow format in 16 bits with its store emulated (GL_RGBA16 renders and blends in every
    // 3.3 implementation); failing that, and for 8-bit formats, the exact format (GL_RGB565
    // needs GL 4.1 or ARB_ES2_compatibility), then the nearest format every 3.3 GL renders to.
    if (color.Narrow() && CreateColor(GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT)) {
        roundsOnStore_ = true;
        // Black, and the alpha of 1 a format without alpha reads; its alpha is never written.
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return true;
    }
    for (GLenum internal : {color.internalFormat, color.fallbackFormat})
        if (CreateColor(internal, color.pixelFormat, color.pixelType)) return true;
    Destroy();
    return false;
}

void BackBuffer::Read(uint8_t* pixels, UINT pitch) {
    const UINT rowBytes = width_ * color_->bytesPerPixel;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    if (roundsOnStore_) {
        // Each 16-bit channel rounded to the nearest level of the format, as Direct3D stores;
        // narrow formats are 16-bit words. Bits above the format's channels (X1R5G5B5's X)
        // read 1.
        // Each channel's 16-bit values to its levels, looked up: the division per channel and
        // pixel was most of a read.
        const uint8_t* bits = color_->bits;
        if (narrowLevels_.empty()) {
            narrowLevels_.resize(4 * 65536);
            for (int channel = 0; channel < 4; ++channel)
                if (bits[channel])
                    for (uint32_t wide = 0; wide < 65536; ++wide)
                        narrowLevels_[size_t(channel) * 65536 + wide] =
                            uint8_t(Narrow(wide, bits[channel]));
        }
        const uint8_t* red = narrowLevels_.data();
        const uint8_t *green = red + 65536, *blue = green + 65536, *alpha = blue + 65536;
        const unsigned greenShift = bits[2], redShift = bits[2] + bits[1],
                       alphaShift = redShift + bits[0];
        // Alpha's table is all zeros for a format without it, whose top bits read 1.
        const uint32_t unused = bits[3] ? 0 : ~0u << alphaShift;
        // Read in bands of rows through one small buffer: the whole target at 8 bytes a pixel
        // would be megabytes of fresh pages at every read, which cost more than the extra calls.
        const UINT band = std::min<UINT>(height_, kReadBandRows);
        wide_.resize(size_t(width_) * band * 4);
        for (UINT top = 0; top < height_; top += band) {
            const UINT rows = std::min(band, height_ - top);
            // GL's rows run bottom up; Direct3D's memory starts with the top row.
            glReadPixels(0, GLint(height_ - top - rows), GLsizei(width_), GLsizei(rows), GL_RGBA,
                         GL_UNSIGNED_SHORT, wide_.data());
            for (UINT y = top; y < top + rows; ++y) {
                const uint16_t* c = wide_.data() + size_t(top + rows - 1 - y) * width_ * 4;
                uint8_t* row = pixels + size_t(y) * pitch;
                for (UINT x = 0; x < width_; ++x, c += 4) {
                    const uint32_t packed = uint32_t(blue[c[2]]) |
                                            uint32_t(green[c[1]]) << greenShift |
                                            uint32_t(red[c[0]]) << redShift |
                                            uint32_t(alpha[c[3]]) << alphaShift | unused;
                    const uint16_t value = uint16_t(packed);
                    memcpy(row + size_t(x) * 2, &value, 2);
                }
            }
        }
        return;
    }
    bottomUp_.resize(size_t(rowBytes) * height_);
    glReadPixels(0, 0, GLsizei(width_), GLsizei(height_), color_->pixelFormat, color_->pixelType,
                 bottomUp_.data());
    for (UINT y = 0; y < height_; ++y)
        memcpy(pixels + size_t(y) * pitch, bottomUp_.data() + size_t(height_ - 1 - y) * rowBytes,
               rowBytes);
}

void BackBuffer::Write(const uint8_t* pixels, UINT pitch) {
    const UINT rowBytes = width_ * color_->bytesPerPixel;
    const size_t count = size_t(width_) * height_;
    bottomUp_.resize(size_t(rowBytes) * height_);
    for (UINT y = 0; y < height_; ++y)
        memcpy(bottomUp_.data() + size_t(height_ - 1 - y) * rowBytes, pixels + size_t(y) * pitch,
               rowBytes);
    glBindTexture(GL_TEXTURE_2D, colorTexture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (roundsOnStore_) {
        // Each level to the 16-bit value nearest to it; no alpha channel: alpha 1.
        wide_.resize(count * 4);
        const uint8_t* bits = color_->bits;
        const unsigned greenShift = bits[2], redShift = bits[2] + bits[1],
                       alphaShift = redShift + bits[0];
        for (size_t i = 0; i < count; ++i) {
            uint16_t value;
            memcpy(&value, &bottomUp_[i * 2], 2);
            uint16_t* c = &wide_[i * 4];
            c[0] = Widen((value >> redShift) & MaxLevel(bits[0]), bits[0]);
            c[1] = Widen((value >> greenShift) & MaxLevel(bits[1]), bits[1]);
            c[2] = Widen(value & MaxLevel(bits[2]), bits[2]);
            c[3] = bits[3] ? Widen((value >> alphaShift) & MaxLevel(bits[3]), bits[3]) : 65535;
        }
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(width_), GLsizei(height_), GL_RGBA,
                        GL_UNSIGNED_SHORT, wide_.data());
        return;
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(width_), GLsizei(height_), color_->pixelFormat,
                    color_->pixelType, bottomUp_.data());
}

// --- BackBufferSurface ---

HRESULT BackBufferSurface::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DSurface9) {
        AddRef();
        *object = static_cast<IDirect3DSurface9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG BackBufferSurface::AddRef() {
    return device_->AddRef();
}

ULONG BackBufferSurface::Release() {
    return device_->Release();
}

HRESULT BackBufferSurface::GetDevice(IDirect3DDevice9** device) {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT BackBufferSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{owner_->Format().format, D3DRTYPE_SURFACE,    D3DUSAGE_RENDERTARGET,
                            D3DPOOL_DEFAULT,         D3DMULTISAMPLE_NONE, 0,
                            owner_->Width(),         owner_->Height()};
    return D3D_OK;
}

HRESULT BackBufferSurface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (!lockedRect || locked_) return D3DERR_INVALIDCALL;
    const LONG width = LONG(owner_->Width()), height = LONG(owner_->Height());
    RECT area{0, 0, width, height};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > width || rect->bottom > height ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        area = *rect;
    }
    // Readable without D3DPRESENTFLAG_LOCKABLE_BACKBUFFER: screenshots rely on it.
    device_->MakeCurrent();
    const UINT bpp = owner_->Format().bytesPerPixel;
    const UINT pitch = UINT(width) * bpp;
    pixels_.resize(size_t(pitch) * UINT(height));
    owner_->Read(pixels_.data(), pitch);
    locked_ = true;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    lockedRect->Pitch = INT(pitch);
    lockedRect->pBits = pixels_.data() + size_t(area.top) * pitch + size_t(area.left) * bpp;
    return D3D_OK;
}

HRESULT BackBufferSurface::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (!readOnly_) {
        device_->MakeCurrent();
        owner_->Write(pixels_.data(), owner_->Width() * owner_->Format().bytesPerPixel);
    }
    return D3D_OK;
}

} // namespace d3d9
