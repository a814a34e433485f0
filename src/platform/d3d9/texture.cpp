// Textures: level memory for LockRect, uploaded to a GL texture when the texture is next drawn.
#include "texture.h"

#include "device.h"
#include "dxt_decode.h"

#include <algorithm>

namespace d3d9 {

namespace {

UINT FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2)
        ++levels;
    return levels;
}

} // namespace

// --- TextureLevelSurface ---

HRESULT TextureLevelSurface::QueryInterface(REFIID riid, void** object) {
    return QueryResourceInterface<IDirect3DSurface9>(this, riid, object, {&IID_IDirect3DSurface9});
}

ULONG TextureLevelSurface::AddRef() {
    return texture_->AddRef();
}

ULONG TextureLevelSurface::Release() {
    return texture_->Release();
}

HRESULT TextureLevelSurface::GetDevice(IDirect3DDevice9** device) {
    return texture_->GetDevice(device);
}

HRESULT TextureLevelSurface::GetDesc(D3DSURFACE_DESC* desc) {
    return texture_->GetLevelDesc(level_, desc);
}

HRESULT TextureLevelSurface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    return texture_->LockRect(level_, lockedRect, rect, flags);
}

HRESULT TextureLevelSurface::UnlockRect() {
    return texture_->UnlockRect(level_);
}

// --- Texture ---

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, Texture** texture) {
    const FormatInfo* info = TextureFormat(format);
    const UINT maxSize = UINT(device->Limits().maxTextureSize);
    if (!info || width == 0 || height == 0 || width > maxSize || height > maxSize)
        return D3DERR_INVALIDCALL;
    if (pool > D3DPOOL_SCRATCH || (usage & D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    // Dynamic textures live in the default pool only.
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    const UINT fullChain = FullChainLength(width, height);
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (levels > 1) return D3DERR_INVALIDCALL;
        levels = 1; // the GL makes the rest
    }
    if (levels == 0) levels = fullChain;
    if (levels > fullChain) return D3DERR_INVALIDCALL;
    *texture = new Texture(device, width, height, levels, usage, *info, pool);
    return D3D_OK;
}

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                 const FormatInfo& format, D3DPOOL pool)
    : ResourceLifetime(device), format_(format), usage_(usage), pool_(pool) {
    levels_.resize(levels);
    surfaces_.resize(levels);
    for (UINT i = 0; i < levels; ++i) {
        Level& level = levels_[i];
        level.width = std::max(1u, width >> i);
        level.height = std::max(1u, height >> i);
        level.memory.assign(LevelBytes(format, level.width, level.height), 0);
    }
}

Texture::~Texture() {
    if (texture_) {
        OwnerDevice()->MakeCurrent();
        glDeleteTextures(1, &texture_);
    }
}

HRESULT Texture::QueryInterface(REFIID riid, void** object) {
    return QueryResourceInterface<IDirect3DTexture9>(
        this, riid, object, {&IID_IDirect3DBaseTexture9, &IID_IDirect3DTexture9});
}

DWORD Texture::SetPriority(DWORD priority) {
    if (pool_ != D3DPOOL_MANAGED) return 0;
    DWORD old = priority_;
    priority_ = priority;
    return old;
}

DWORD Texture::SetLOD(DWORD lodNew) {
    // Only managed textures have a level of detail to set.
    if (pool_ != D3DPOOL_MANAGED) return 0;
    DWORD old = lod_;
    lod_ = std::min<DWORD>(lodNew, DWORD(levels_.size() - 1));
    return old;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{
        format_.format,       D3DRTYPE_SURFACE,     usage_, pool_, D3DMULTISAMPLE_NONE, 0,
        levels_[level].width, levels_[level].height};
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surfaceLevel) {
    if (!surfaceLevel) return D3DERR_INVALIDCALL;
    if (level >= levels_.size()) {
        *surfaceLevel = nullptr;
        return D3DERR_INVALIDCALL;
    }
    if (!surfaces_[level]) surfaces_[level] = std::make_unique<TextureLevelSurface>(this, level);
    AddRef();
    *surfaceLevel = surfaces_[level].get();
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (!lockedRect || level >= levels_.size()) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    // A default-pool texture is lockable only when dynamic; a level locks once at a time.
    if ((pool_ == D3DPOOL_DEFAULT && !(usage_ & D3DUSAGE_DYNAMIC)) || l.locked)
        return D3DERR_INVALIDCALL;
    const UINT pitch = RowPitch(format_, l.width);
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || UINT(rect->right) > l.width ||
            UINT(rect->bottom) > l.height)
            return D3DERR_INVALIDCALL;
        if (format_.blocks != BlockCompression::None) {
            // Compressed levels lock whole blocks.
            if ((rect->left | rect->top) & 3) return D3DERR_INVALIDCALL;
            offset = size_t(rect->top / 4) * pitch + size_t(rect->left / 4) * format_.blockBytes;
        } else {
            offset = size_t(rect->top) * pitch + size_t(rect->left) * format_.bytesPerPixel;
        }
    }
    l.locked = true;
    if (!(flags & D3DLOCK_READONLY)) l.dirty = anyDirty_ = true;
    lockedRect->Pitch = INT(pitch);
    lockedRect->pBits = l.memory.data() + offset;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    return D3D_OK;
}

HRESULT Texture::AddDirtyRect(const RECT*) {
    for (Level& level : levels_)
        level.dirty = true;
    anyDirty_ = true;
    return D3D_OK;
}

void Texture::Upload(UINT index) {
    const Level& level = levels_[index];
    const GLsizei w = GLsizei(level.width), h = GLsizei(level.height);
    if (format_.blocks == BlockCompression::None) {
        glTexImage2D(GL_TEXTURE_2D, GLint(index), GLint(format_.internalFormat), w, h, 0,
                     format_.pixelFormat, format_.pixelType, level.memory.data());
    } else if (OwnerDevice()->Limits().s3tc) {
        glCompressedTexImage2D(GL_TEXTURE_2D, GLint(index), format_.internalFormat, w, h, 0,
                               GLsizei(level.memory.size()), level.memory.data());
    } else {
        std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
        DecodeBlocks(format_.blocks, level.memory.data(), level.width, level.height, rgba.data());
        glTexImage2D(GL_TEXTURE_2D, GLint(index), GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
    }
}

void Texture::Bind() {
    if (!texture_) {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        const bool autoMips = usage_ & D3DUSAGE_AUTOGENMIPMAP;
        const UINT glLevels =
            autoMips ? FullChainLength(levels_[0].width, levels_[0].height) : UINT(levels_.size());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(glLevels - 1));
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format_.swizzle);
    } else {
        glBindTexture(GL_TEXTURE_2D, texture_);
    }
    if (!anyDirty_) return;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    for (UINT i = 0; i < levels_.size(); ++i) {
        if (!levels_[i].dirty) continue;
        Upload(i);
        levels_[i].dirty = false;
    }
    if (usage_ & D3DUSAGE_AUTOGENMIPMAP) glGenerateMipmap(GL_TEXTURE_2D);
    anyDirty_ = false;
}

} // namespace d3d9
