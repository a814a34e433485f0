// The device object: creation from presentation parameters, reference counting, the state
// setters and getters, scenes, and the Direct3D object's queries.
#include "device.h"

#include "buffers.h"
#include "direct3d.h"
#include "log.h"
#include "present_pacing.h"
#include "texture.h"
#include "win32/window.h"

#include <SDL.h>

#include <cstring>

namespace d3d9 {

namespace {

constexpr DWORD kVertexProcessingFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                         D3DCREATE_MIXED_VERTEXPROCESSING;

bool ValidTransform(D3DTRANSFORMSTATETYPE state) {
    const DWORD s = DWORD(state);
    return s == D3DTS_VIEW || s == D3DTS_PROJECTION ||
           (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) || (s >= 256 && s < kTransformCount);
}

// Render states that live in GL's fixed state rather than in the generated programs.
bool IsRasterState(DWORD state) {
    switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_BLENDOP:
    case D3DRS_BLENDFACTOR:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA:
    case D3DRS_DEPTHBIAS:
    case D3DRS_SLOPESCALEDEPTHBIAS:
        return true;
    default:
        return false;
    }
}

} // namespace

// --- Creation and lifetime ---

HRESULT Device::Create(Direct3D* parent, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
    // Exactly one way of processing vertices; every one is the same GL pipeline here.
    const DWORD processing = behaviorFlags & kVertexProcessingFlags;
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    const HWND windowHandle = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    if (!windowHandle) return D3DERR_INVALIDCALL;
    SDL_Window* window = win32::SdlWindowOf(windowHandle);
    if (!window) return D3DERR_INVALIDCALL;
    // Full-screen display modes are not offered: the device draws into windows only.
    if (!parameters->Windowed) return D3DERR_NOTAVAILABLE;

    SDL_GLContext context = TakeCoreContext(window);
    if (!context) return D3DERR_NOTAVAILABLE;
    auto* created =
        new Device(parent, type, behaviorFlags, window, windowHandle, context, QueryLimits());
    const HRESULT hr = created->ApplyPresentParameters(*parameters);
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *parameters = created->parameters_;
    *device = created;
    return D3D_OK;
}

Device::Device(Direct3D* parent, D3DDEVTYPE type, DWORD behaviorFlags, SDL_Window* window,
               HWND windowHandle, SDL_GLContext context, const GlLimits& limits)
    : parent_(parent), type_(type), behaviorFlags_(behaviorFlags), window_(window),
      windowHandle_(windowHandle), context_(context), limits_(limits),
      backBuffer_(std::make_unique<BackBuffer>(this)) {
    parent_->AddRef();
    SetUpContext();
    SetDefaultState(state_, false, 1, 1);
}

Device::~Device() {
    MakeCurrent();
    ReleaseBindings();
    programs_.Clear();
    backBuffer_.reset();
    glDeleteSamplers(GLsizei(kStageCount), samplers_);
    if (presentProgram_) glDeleteProgram(presentProgram_);
    if (clearProgram_) glDeleteProgram(clearProgram_);
    glDeleteSamplers(2, presentSamplers_);
    glDeleteVertexArrays(1, &attributelessVertexArray_);
    glDeleteBuffers(1, &userVertexBuffer_);
    glDeleteBuffers(1, &userIndexBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
    if (SDL_GL_GetCurrentContext() == context_) SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(context_);
    parent_->Release();
}

void Device::SetUpContext() {
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glGenBuffers(1, &userVertexBuffer_);
    glGenBuffers(1, &userIndexBuffer_);
    glGenSamplers(GLsizei(kStageCount), samplers_);
    // Direct3D does not dither, shades flat with the first vertex, and treats clockwise
    // triangles on screen as front faces; the back buffer is drawn the right way up.
    glDisable(GL_DITHER);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glFrontFace(GL_CW);
    if (limits_.clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (bool& dirty : samplerDirty_)
        dirty = true;
}

HRESULT Device::ApplyPresentParameters(const D3DPRESENT_PARAMETERS& requested) {
    D3DPRESENT_PARAMETERS p = requested;
    if (p.BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    if (p.PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
        p.PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
        p.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
        return D3DERR_INVALIDCALL;
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    // Windowed, an unknown format means the desktop's.
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = DesktopMode().Format;
    const RenderTargetFormat* color = BackBufferFormat(p.BackBufferFormat);
    if (!color) return D3DERR_INVALIDCALL;
    const DepthFormat* depth = nullptr;
    if (p.EnableAutoDepthStencil) {
        depth = DepthStencilFormat(p.AutoDepthStencilFormat);
        if (!depth) return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        int width = 0, height = 0;
        if (!win32::ClientSize(windowHandle_, &width, &height))
            SDL_GetWindowSize(window_, &width, &height);
        if (p.BackBufferWidth == 0) p.BackBufferWidth = UINT(width > 0 ? width : 1);
        if (p.BackBufferHeight == 0) p.BackBufferHeight = UINT(height > 0 ? height : 1);
    }
    const UINT maxSize = UINT(limits_.maxTextureSize);
    if (p.BackBufferWidth > maxSize || p.BackBufferHeight > maxSize) return D3DERR_INVALIDCALL;

    MakeCurrent();
    if (!backBuffer_->Create(p.BackBufferWidth, p.BackBufferHeight, *color, depth))
        return D3DERR_NOTAVAILABLE;
    parameters_ = p;
    SetDefaultState(state_, depth != nullptr, p.BackBufferWidth, p.BackBufferHeight);
    swapInterval_ = p.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
    ApplySwapInterval();
    rasterDirty_ = viewportDirty_ = derivedDirty_ = true;
    rasterKnown_ = false; // the new back buffer set masks and the scissor itself
    for (bool& dirty : samplerDirty_)
        dirty = true;
    ++generations_.transforms;
    ++generations_.lights;
    ++generations_.material;
    ++generations_.colors;
    ++generations_.viewport;
    return D3D_OK;
}

void Device::ReleaseBindings() {
    for (Texture*& texture : textures_) {
        if (texture) texture->ReleaseBinding();
        texture = nullptr;
    }
    for (StreamBinding& stream : streams_) {
        if (stream.buffer) stream.buffer->ReleaseBinding();
        stream = StreamBinding{};
    }
    if (indices_) indices_->ReleaseBinding();
    indices_ = nullptr;
}

void Device::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() == context_) return;
    // A window destroyed before its device leaves no surface: GL calls then go nowhere rather
    // than into another device's context.
    if (win32::SdlWindowOf(windowHandle_) == window_)
        SDL_GL_MakeCurrent(window_, context_);
    else
        SDL_GL_MakeCurrent(nullptr, nullptr);
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
        AddRef();
        *object = static_cast<IDirect3DDevice9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Device::AddRef() {
    return ++refs_;
}

ULONG Device::Release() {
    if (refs_ == 0) return 0;
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// --- Device queries ---

HRESULT Device::TestCooperativeLevel() {
    return D3D_OK;
}

UINT Device::GetAvailableTextureMem() {
    // GL does not say; a figure rounded to the megabyte as Direct3D reports it.
    return 512u * 1024u * 1024u;
}

HRESULT Device::GetDirect3D(IDirect3D9** d3d9) {
    if (!d3d9) return D3DERR_INVALIDCALL;
    parent_->AddRef();
    *d3d9 = parent_;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    FillCaps(*caps, type_, limits_);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    if (swapChain != 0 || !mode) return D3DERR_INVALIDCALL;
    *mode = DesktopMode();
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* presentationParameters) {
    if (!presentationParameters || inScene_) return D3DERR_INVALIDCALL;
    if (!presentationParameters->Windowed) return D3DERR_NOTAVAILABLE;
    if (presentationParameters->hDeviceWindow &&
        presentationParameters->hDeviceWindow != windowHandle_)
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    // A reset device starts over: default state, nothing bound, a new back buffer.
    ReleaseBindings();
    D3DPRESENT_PARAMETERS p = *presentationParameters;
    p.hDeviceWindow = windowHandle_;
    const HRESULT hr = ApplyPresentParameters(p);
    if (FAILED(hr)) return hr;
    *presentationParameters = parameters_;
    return D3D_OK;
}

// --- Scenes ---

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

// --- Transforms, viewport, material, lights ---

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix || !ValidTransform(state)) return D3DERR_INVALIDCALL;
    state_.transforms[state] = *matrix;
    derivedDirty_ = true;
    ++generations_.transforms;
    if (state == D3DTS_VIEW) ++generations_.lights; // lights live in view space
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix || !ValidTransform(state)) return D3DERR_INVALIDCALL;
    *matrix = state_.transforms[state];
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    // The viewport must lie within the render target.
    const uint64_t right = uint64_t(viewport->X) + viewport->Width;
    const uint64_t bottom = uint64_t(viewport->Y) + viewport->Height;
    if (viewport->Width == 0 || viewport->Height == 0 || right > backBuffer_->Width() ||
        bottom > backBuffer_->Height())
        return D3DERR_INVALIDCALL;
    state_.viewport = *viewport;
    viewportDirty_ = derivedDirty_ = true;
    ++generations_.viewport;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    state_.material = *material;
    derivedDirty_ = true;
    ++generations_.material;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    auto found = state_.lights.find(index);
    if (found == state_.lights.end())
        state_.lights.emplace(index, LightSlot{*light, false});
    else
        found->second.light = *light;
    derivedDirty_ = true;
    ++generations_.lights;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
    auto found = state_.lights.find(index);
    if (!light || found == state_.lights.end()) return D3DERR_INVALIDCALL;
    *light = found->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    auto found = state_.lights.find(index);
    // Enabling a light that was never set gives it the default light.
    if (found == state_.lights.end())
        found = state_.lights.emplace(index, LightSlot{DefaultLight(), false}).first;
    if (enable && !found->second.enabled) {
        DWORD active = 0;
        for (const auto& entry : state_.lights)
            active += entry.second.enabled ? 1 : 0;
        if (active >= kMaxActiveLights) return D3DERR_INVALIDCALL;
    }
    found->second.enabled = enable != FALSE;
    derivedDirty_ = true;
    ++generations_.lights;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
    auto found = state_.lights.find(index);
    if (!enable || found == state_.lights.end()) return D3DERR_INVALIDCALL;
    // Windows reports an enabled light as 128, not TRUE.
    *enable = found->second.enabled ? 128 : FALSE;
    return D3D_OK;
}

// --- Render, stage and sampler states ---

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (DWORD(state) >= kRenderStateCount) return D3DERR_INVALIDCALL;
    if (state_.renderStates[state] == value) return D3D_OK;
    state_.renderStates[state] = value;
    if (IsRasterState(state)) rasterDirty_ = true;
    switch (state) {
    case D3DRS_AMBIENT:
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF:
        derivedDirty_ = true;
        ++generations_.colors;
        break;
    case D3DRS_FOGENABLE:
        if (value) Fixme("render state", "fog is not drawn");
        break;
    default:
        break;
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || DWORD(state) >= kRenderStateCount) return D3DERR_INVALIDCALL;
    *value = state_.renderStates[state];
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (!value || stage >= kStageCount || DWORD(type) >= kStageStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.stageStates[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kStageCount || DWORD(type) >= kStageStateCount) return D3DERR_INVALIDCALL;
    state_.stageStates[stage][type] = value;
    if (type == D3DTSS_CONSTANT) {
        derivedDirty_ = true;
        ++generations_.colors;
    }
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (!value || sampler >= kStageCount || DWORD(type) >= kSamplerStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= kStageCount || DWORD(type) >= kSamplerStateCount) return D3DERR_INVALIDCALL;
    state_.samplerStates[sampler][type] = value;
    samplerDirty_[sampler] = true;
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
    state_.fvf = fvf;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

} // namespace d3d9
