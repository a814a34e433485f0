// 2D textures with their mip levels: system-memory levels for LockRect, a GL texture for
// sampling, and one IDirect3DSurface9 per level.
#pragma once

#include "format_table.h"
#include "gl_api.h"
#include "resource.h"

#include <d3d9.h>

#include <memory>
#include <vector>

namespace d3d9 {

class Texture;

// A level of a texture as a surface; its references are the texture's.
class TextureLevelSurface final : public IDirect3DSurface9 {
  public:
    TextureLevelSurface(Texture* texture, UINT level) : texture_(texture), level_(level) {}
    virtual ~TextureLevelSurface() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

  private:
    Texture* texture_;
    UINT level_;
};

class Texture final : public IDirect3DTexture9, public ResourceLifetime {
  public:
    // Validates as CreateTexture does; the texture or the HRESULT of the refusal.
    static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, Texture** texture);
    ~Texture() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddPublicRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleasePublicRef(); }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        return GetDeviceInterface(device);
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
    DWORD STDMETHODCALLTYPE GetPriority() override { return priority_; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE SetLOD(DWORD lodNew) override;
    DWORD STDMETHODCALLTYPE GetLOD() override { return lod_; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return DWORD(levels_.size()); }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level,
                                              IDirect3DSurface9** surfaceLevel) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
    HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT* dirtyRect) override;

    // Binds the GL texture to the active unit, uploading the levels that changed.
    void Bind();
    D3DPOOL Pool() const { return pool_; }

  private:
    struct Level {
        UINT width, height;
        std::vector<uint8_t> memory;
        bool locked = false;
        bool dirty = true;
    };

    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
            const FormatInfo& format, D3DPOOL pool);
    void Upload(UINT level);

    const FormatInfo& format_;
    DWORD usage_;
    D3DPOOL pool_;
    DWORD priority_ = 0;
    DWORD lod_ = 0;
    std::vector<Level> levels_;
    std::vector<std::unique_ptr<TextureLevelSurface>> surfaces_;
    GLuint texture_ = 0;
    bool anyDirty_ = true;
};

} // namespace d3d9
