// The Direct3D 9 device over an OpenGL 3.3 core context: state, resources, draws and Present.
#pragma once

#include "back_buffer.h"
#include "gl_api.h"
#include "gl_context.h"
#include "program_cache.h"
#include "state_defaults.h"
#include "vertex_format.h"

#include <d3d9.h>

#include <chrono>
#include <cstdint>
#include <memory>

struct SDL_Window;

namespace d3d9 {

// The GL state behind Direct3D's raster render states (depth, blending, culling, fill, colour
// mask, stencil, depth bias).
struct GlRasterState {
    bool depthTest, depthMask, blend, cull, stencil, polygonOffset;
    GLenum depthFunc;
    GLenum blendFactors[4]; // colour source, destination; alpha source, destination
    GLenum blendEquations[2];
    D3DCOLOR blendColor;
    GLenum cullFace, polygonMode;
    unsigned colorMask; // bits: red, green, blue, alpha
    GLenum stencilFunc;
    GLint stencilRef;
    GLuint stencilMask;
    GLenum stencilOps[3]; // fail, depth fail, pass
    GLuint stencilWriteMask;
    float offsetFactor, offsetUnits;
};

class Direct3D;
class VertexBuffer;
class IndexBuffer;
class Texture;

struct StreamBinding {
    VertexBuffer* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

class Device final : public IDirect3DDevice9 {
  public:
    // Validates the arguments as IDirect3D9::CreateDevice does and makes the device.
    static HRESULT Create(Direct3D* parent, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                          D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDirect3DDevice9
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** d3d9) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* sourceRect, const RECT* destRect,
                                      HWND destWindowOverride, const void* dirtyRegion) override;
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT backBuffer,
                                            D3DBACKBUFFER_TYPE type,
                                            IDirect3DSurface9** backBufferSurface) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DTexture9** texture,
                                            HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** vertexBuffer,
                                                 HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DIndexBuffer9** indexBuffer,
                                                HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                                  IDirect3DSurface9* destSurface) override;
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                                          D3DPOOL pool, IDirect3DSurface9** surface,
                                                          HANDLE* sharedHandle) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                    float z, DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state,
                                           const D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* material) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                   DWORD* value) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                   DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD* value) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD value) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                                            UINT primitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType,
                                                   INT baseVertexIndex, UINT minVertexIndex,
                                                   UINT numVertices, UINT startIndex,
                                                   UINT primitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                              const void* vertexStreamZeroData,
                                              UINT vertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType,
                                                     UINT minVertexIndex, UINT numVertices,
                                                     UINT primitiveCount, const void* indexData,
                                                     D3DFORMAT indexDataFormat,
                                                     const void* vertexStreamZeroData,
                                                     UINT vertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* fvf) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData,
                                              UINT offsetInBytes, UINT stride) override;
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT streamNumber,
                                              IDirect3DVertexBuffer9** streamData,
                                              UINT* offsetInBytes, UINT* stride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** indexData) override;

    // For the device's resources.
    void MakeCurrent();
    const GlLimits& Limits() const { return limits_; }
    BackBuffer& RenderTarget() { return *backBuffer_; }

  private:
    Device(Direct3D* parent, D3DDEVTYPE type, DWORD behaviorFlags, SDL_Window* window,
           HWND windowHandle, SDL_GLContext context, const GlLimits& limits);
    ~Device();

    HRESULT ApplyPresentParameters(const D3DPRESENT_PARAMETERS& parameters);
    void SetUpContext();
    void ReleaseBindings();

    // Drawing (device_draw.cpp): everything but the GL draw call itself.
    HRESULT SetUpDraw(const VertexLayout& layout, GLuint vertexBuffer, size_t baseOffset,
                      UINT stride);
    GlRasterState WantedRasterState() const;
    void ApplyRasterState();
    void ApplyViewport();
    void ApplySampler(DWORD stage);
    void UploadUniforms(Program& program);
    void UpdateDerived();
    ShaderKey BuildShaderKey(const VertexLayout& layout) const;
    void BindAttributes(const VertexLayout& layout, UINT stride, GLuint buffer, size_t baseOffset);

    // Presentation (present.cpp).
    void ApplySwapInterval();
    void PaceAfterSwap(std::chrono::steady_clock::duration swapTime);
    bool DrawBackBuffer(const RECT& source, const RECT& dest, int drawableHeight, bool sameSize);
    GLuint AttributelessVertexArray();
    bool ClearRectangle(GLbitfield bits, const float rgba[4], float z, DWORD stencil);

    ULONG refs_ = 1;
    Direct3D* parent_;
    D3DDEVTYPE type_;
    DWORD behaviorFlags_;
    SDL_Window* window_;
    HWND windowHandle_;
    SDL_GLContext context_;
    GlLimits limits_;
    D3DPRESENT_PARAMETERS parameters_{};
    std::unique_ptr<BackBuffer> backBuffer_;

    DeviceState state_;
    Texture* textures_[kStageCount] = {};
    StreamBinding streams_[16];
    IndexBuffer* indices_ = nullptr;
    bool inScene_ = false;

    // GL objects the device owns.
    GLuint vertexArray_ = 0;
    GLuint samplers_[kStageCount] = {};
    GLuint userVertexBuffer_ = 0;
    GLuint userIndexBuffer_ = 0;
    ProgramCache programs_;

    // The vertex attributes the vertex array holds (compared whole: no padding).
    struct AttributeBinding {
        uint64_t fvf;
        uint64_t stride;
        uint64_t buffer;
        uint64_t offset;
        uint64_t deletedBuffers;
    };
    AttributeBinding boundAttributes_{};
    bool attributesBound_ = false;

    // What changed since the last draw.
    bool rasterDirty_ = true;
    GlRasterState appliedRaster_{}; // as the GL has it, when rasterKnown_
    bool rasterKnown_ = false;
    bool viewportDirty_ = true;
    bool samplerDirty_[kStageCount];
    bool derivedDirty_ = true;
    UniformGenerations generations_{};
    DerivedUniforms derived_{};

    // Programs of the device's own for Present and for clearing part of the target: the GL's
    // filtered blit and its scissored clear draw with shaders of the driver's own, which
    // llvmpipe compiles at every start and no shader cache keeps.
    GLuint attributelessVertexArray_ = 0;
    GLuint presentProgram_ = 0;
    GLuint presentSamplers_[2] = {}; // nearest, linear
    GLint presentSourceRect_ = -1;
    GLuint clearProgram_ = 0;
    GLint clearColor_ = -1, clearDepth_ = -1;

    // Present pacing.
    int swapInterval_ = 1;
    bool pacingApplied_ = true;
    std::chrono::steady_clock::time_point lastTick_{};
};

} // namespace d3d9
