// A Direct3D 9 device and a D3DX font that record their calls instead of drawing.
#include "recording_device.h"

#include "d3d9_names.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace xoftest {

namespace {

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string FloatText(float f) {
    return Format("%.9g", double(f));
}

std::string MatrixText(const D3DMATRIX* m) {
    if (!m) return "null";
    std::string text = "[";
    for (int i = 0; i < 16; ++i)
        text += (i ? " " : "") + FloatText((&m->_11)[i]);
    return text + "]";
}

std::string ColourText(const D3DCOLORVALUE& c) {
    return "(" + FloatText(c.r) + " " + FloatText(c.g) + " " + FloatText(c.b) + " " +
           FloatText(c.a) + ")";
}

bool Equal(REFIID a, REFIID b) {
    return a == b;
}

} // namespace

struct RecordingDevice final : IDirect3DDevice9 {
    ULONG references = 1;
    std::vector<std::string> calls;
    std::vector<std::string> texts;
    DeviceFaults faults;
    std::map<const void*, std::string> names;
    std::map<std::string, int> counters;
    int live = 0;

    DWORD renderStates[256] = {};
    DWORD stageStates[8][33] = {};
    DWORD samplerStates[8][14] = {};
    D3DMATRIX transforms[512] = {};
    D3DLIGHT9 lights[8] = {};
    BOOL lightEnabled[8] = {};
    D3DMATERIAL9 material = {};
    D3DVIEWPORT9 viewport = {0, 0, 900, 690, 0.0f, 1.0f};
    IDirect3DBaseTexture9* textures[8] = {};
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IDirect3DIndexBuffer9* indices = nullptr;
    DWORD fvf = 0;

    RecordingDevice();

    void Log(std::string line) { calls.push_back(std::move(line)); }
    std::string Name(const void* p) const {
        if (!p) return "null";
        auto it = names.find(p);
        return it == names.end() ? "unknown" : it->second;
    }
    std::string Register(const void* p, const char* kind) {
        std::string name = kind + std::to_string(++counters[kind]);
        names[p] = name;
        ++live;
        return name;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (Equal(riid, IID_IDirect3DDevice9)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return D3D_OK; }
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override { return 256u << 20; }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** d3d9) override {
        if (d3d9) *d3d9 = nullptr;
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override {
        if (!caps) return D3DERR_INVALIDCALL;
        *caps = D3DCAPS9{};
        caps->DeviceType = D3DDEVTYPE_HAL;
        caps->MaxTextureWidth = caps->MaxTextureHeight = 8192;
        caps->MaxActiveLights = 8;
        caps->MaxSimultaneousTextures = 8;
        caps->MaxTextureBlendStages = 8;
        caps->MaxPrimitiveCount = 0xFFFFFF;
        caps->MaxVertexIndex = 0xFFFFFF;
        caps->MaxStreams = 1;
        caps->TextureCaps = D3DPTEXTURECAPS_MIPMAP;
        caps->AlphaCmpCaps = D3DPCMPCAPS_ALWAYS;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT, D3DDISPLAYMODE* mode) override {
        if (!mode) return D3DERR_INVALIDCALL;
        *mode = {1024, 768, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS*) override {
        Log("Reset()");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Present(const RECT* source, const RECT* dest, HWND window,
                                      const void* region) override {
        Log(Format("Present(%s, %s, %s, %s)", source ? "rect" : "null", dest ? "rect" : "null",
                   window ? "window" : "null", region ? "region" : "null"));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE,
                                            IDirect3DSurface9** surface) override {
        if (surface) *surface = nullptr;
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** buffer,
                                                 HANDLE* shared) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                                                HANDLE* shared) override;
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL,
                                                          IDirect3DSurface9** surface,
                                                          HANDLE*) override {
        if (surface) *surface = nullptr;
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        Log("BeginScene()");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        Log("EndScene()");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour,
                                    float z, DWORD stencil) override {
        Log(Format("Clear(%u, %s, %u, 0x%08x, %s, %u)", count, rects ? "rects" : "null", flags,
                   colour, FloatText(z).c_str(), stencil));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state,
                                           const D3DMATRIX* matrix) override {
        Log("SetTransform(" + TransformName(state) + ", " + MatrixText(matrix) + ")");
        if (!matrix || unsigned(state) >= 512) return D3DERR_INVALIDCALL;
        transforms[state] = *matrix;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state,
                                           D3DMATRIX* matrix) override {
        if (!matrix || unsigned(state) >= 512) return D3DERR_INVALIDCALL;
        *matrix = transforms[state];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* v) override {
        if (!v) return D3DERR_INVALIDCALL;
        viewport = *v;
        Log(Format("SetViewport(%u, %u, %u, %u)", v->X, v->Y, v->Width, v->Height));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* v) override {
        if (!v) return D3DERR_INVALIDCALL;
        *v = viewport;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* m) override {
        if (!m) return D3DERR_INVALIDCALL;
        material = *m;
        Log("SetMaterial(" + ColourText(m->Diffuse) + " " + ColourText(m->Ambient) + " " +
            ColourText(m->Specular) + " " + ColourText(m->Emissive) + " " + FloatText(m->Power) +
            ")");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* m) override {
        if (!m) return D3DERR_INVALIDCALL;
        *m = material;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9* l) override {
        if (!l || index >= 8) return D3DERR_INVALIDCALL;
        lights[index] = *l;
        Log(Format("SetLight(%u, type %d, ", index, int(l->Type)) + "diffuse " +
            ColourText(l->Diffuse) + " specular " + ColourText(l->Specular) + " ambient " +
            ColourText(l->Ambient) + " direction (" + FloatText(l->Direction.x) + " " +
            FloatText(l->Direction.y) + " " + FloatText(l->Direction.z) + "))");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9* l) override {
        if (!l || index >= 8) return D3DERR_INVALIDCALL;
        *l = lights[index];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override {
        Log(Format("LightEnable(%u, %d)", index, enable));
        if (index >= 8) return D3DERR_INVALIDCALL;
        lightEnabled[index] = enable;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL* enable) override {
        if (!enable || index >= 8) return D3DERR_INVALIDCALL;
        *enable = lightEnabled[index];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        Log("SetRenderState(" + RenderStateText(state, value) + ")");
        if (unsigned(state) >= 256) return D3DERR_INVALIDCALL;
        renderStates[state] = value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override {
        if (!value || unsigned(state) >= 256) return D3DERR_INVALIDCALL;
        *value = renderStates[state];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override {
        if (!texture || stage >= 8) return D3DERR_INVALIDCALL;
        *texture = textures[stage];
        if (*texture) (*texture)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override {
        Log(Format("SetTexture(%u, %s)", stage, Name(texture).c_str()));
        if (stage >= 8) return D3DERR_INVALIDCALL;
        if (texture) texture->AddRef();
        if (textures[stage]) textures[stage]->Release();
        textures[stage] = texture;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                   DWORD* value) override {
        if (!value || stage >= 8 || unsigned(type) >= 33) return D3DERR_INVALIDCALL;
        *value = stageStates[stage][type];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                   DWORD value) override {
        Log(Format("SetTextureStageState(%u, ", stage) + StageStateText(type, value) + ")");
        if (stage >= 8 || unsigned(type) >= 33) return D3DERR_INVALIDCALL;
        stageStates[stage][type] = value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD* value) override {
        if (!value || sampler >= 8 || unsigned(type) >= 14) return D3DERR_INVALIDCALL;
        *value = samplerStates[sampler][type];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD value) override {
        Log(Format("SetSamplerState(%u, ", sampler) + SamplerStateText(type, value) + ")");
        if (sampler >= 8 || unsigned(type) >= 14) return D3DERR_INVALIDCALL;
        samplerStates[sampler][type] = value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start,
                                            UINT count) override {
        Log("DrawPrimitive(" + PrimitiveName(type) + Format(", %u, %u)", start, count));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex,
                                                   UINT vertices, UINT start, UINT count) override {
        Log("DrawIndexedPrimitive(" + PrimitiveName(type) +
            Format(", %d, %u, %u, %u, %u)", base, minIndex, vertices, start, count));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void*,
                                              UINT stride) override {
        Log("DrawPrimitiveUP(" + PrimitiveName(type) + Format(", %u, %u)", count, stride));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex,
                                                     UINT vertices, UINT count, const void*,
                                                     D3DFORMAT format, const void*,
                                                     UINT stride) override {
        Log("DrawIndexedPrimitiveUP(" + PrimitiveName(type) +
            Format(", %u, %u, %u, %d, %u)", minIndex, vertices, count, int(format), stride));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD value) override {
        Log("SetFVF(" + FvfText(value) + ")");
        fvf = value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* value) override {
        if (!value) return D3DERR_INVALIDCALL;
        *value = fvf;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT number, IDirect3DVertexBuffer9* buffer,
                                              UINT offset, UINT stride) override {
        Log(Format("SetStreamSource(%u, %s, %u, %u)", number, Name(buffer).c_str(), offset,
                   stride));
        if (number != 0) return D3DERR_INVALIDCALL;
        if (buffer) buffer->AddRef();
        if (stream) stream->Release();
        stream = buffer;
        streamOffset = offset;
        streamStride = stride;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT number, IDirect3DVertexBuffer9** buffer,
                                              UINT* offset, UINT* stride) override {
        if (number != 0 || !buffer || !offset || !stride) return D3DERR_INVALIDCALL;
        *buffer = stream;
        if (stream) stream->AddRef();
        *offset = streamOffset;
        *stride = streamStride;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* buffer) override {
        Log("SetIndices(" + Name(buffer) + ")");
        if (buffer) buffer->AddRef();
        if (indices) indices->Release();
        indices = buffer;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** buffer) override {
        if (!buffer) return D3DERR_INVALIDCALL;
        *buffer = indices;
        if (indices) indices->AddRef();
        return D3D_OK;
    }

  private:
    ~RecordingDevice() {
        for (auto*& t : textures)
            if (t) t->Release();
        if (stream) stream->Release();
        if (indices) indices->Release();
    }
};

// Buffers and textures: memory the test can read back.
template <class Interface> struct RecordingResourceBase : Interface {
    RecordingDevice* device;
    ULONG references = 1;
    std::string name;

    explicit RecordingResourceBase(RecordingDevice* owner) : device(owner) { device->AddRef(); }
    virtual ~RecordingResourceBase() {
        device->names.erase(this);
        --device->live;
        device->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = device;
        device->AddRef();
        return D3D_OK;
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
};

template <class Interface, class Desc, D3DRESOURCETYPE Type>
struct RecordingBuffer final : RecordingResourceBase<Interface> {
    std::vector<unsigned char> bytes;
    std::vector<unsigned char> unlocked;
    Desc desc{};
    bool locked = false;

    RecordingBuffer(RecordingDevice* owner, UINT length) : RecordingResourceBase<Interface>(owner) {
        bytes.assign(length, 0);
        unlocked = bytes;
    }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return Type; }
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        this->device->Log(
            Format("Lock(%s, %u, %u, 0x%x)", this->name.c_str(), offset, size, flags));
        if (!data) return D3DERR_INVALIDCALL;
        *data = nullptr;
        if (Type == D3DRTYPE_VERTEXBUFFER && this->device->faults.lockVertexBuffer)
            return D3DERR_INVALIDCALL;
        if (offset > bytes.size() || size > bytes.size() - offset) return D3DERR_INVALIDCALL;
        *data = bytes.data() + offset;
        locked = true;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        this->device->Log("Unlock(" + this->name + ")");
        if (!locked) return D3DERR_INVALIDCALL;
        locked = false;
        unlocked = bytes;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDesc(Desc* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = desc;
        return D3D_OK;
    }
};
using RecordingVertexBuffer =
    RecordingBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC, D3DRTYPE_VERTEXBUFFER>;
using RecordingIndexBuffer =
    RecordingBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC, D3DRTYPE_INDEXBUFFER>;

UINT BytesPerTexel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8L8:
        return 2;
    case D3DFMT_L8:
    case D3DFMT_A8:
        return 1;
    default:
        return 4; // block formats get more room than they need; nothing reads them back
    }
}

struct RecordingTexture final : RecordingResourceBase<IDirect3DTexture9> {
    struct Level {
        UINT width;
        UINT height;
        std::vector<unsigned char> texels;
    };
    std::vector<Level> levels;
    D3DFORMAT format;
    D3DPOOL pool;
    DWORD usage;

    RecordingTexture(RecordingDevice* owner, UINT width, UINT height, UINT count,
                     D3DFORMAT textureFormat, D3DPOOL texturePool, DWORD textureUsage)
        : RecordingResourceBase(owner), format(textureFormat), pool(texturePool),
          usage(textureUsage) {
        for (UINT i = 0; i < count; ++i) {
            levels.push_back(
                {width, height,
                 std::vector<unsigned char>(size_t(width) * height * BytesPerTexel(format))});
            if (width == 1 && height == 1) break;
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
        }
    }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE SetLOD(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetLOD() override { return 0; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return DWORD(levels.size()); }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        if (!desc || level >= levels.size()) return D3DERR_INVALIDCALL;
        *desc = {format,
                 D3DRTYPE_SURFACE,
                 usage,
                 pool,
                 D3DMULTISAMPLE_NONE,
                 0,
                 levels[level].width,
                 levels[level].height};
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT, IDirect3DSurface9** surface) override {
        if (surface) *surface = nullptr;
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                                       DWORD) override {
        if (!locked || level >= levels.size()) return D3DERR_INVALIDCALL;
        Level& l = levels[level];
        const UINT bpp = BytesPerTexel(format);
        locked->Pitch = INT(l.width * bpp);
        locked->pBits = l.texels.data();
        if (rect)
            locked->pBits =
                l.texels.data() + size_t(rect->top) * locked->Pitch + size_t(rect->left) * bpp;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
        return level < levels.size() ? D3D_OK : D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT*) override { return D3D_OK; }
};

RecordingDevice::RecordingDevice() {
    static const D3DMATRIX identity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
    for (D3DMATRIX& m : transforms)
        m = identity;
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                       D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                       HANDLE* shared) {
    if (!texture || shared || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (faults.createTexture) {
        Log(Format("CreateTexture(%u, %u, %u, %u, %d, %d) failed", width, height, levels, usage,
                   int(format), int(pool)));
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    UINT count = levels;
    if (count == 0) {
        count = 1;
        for (UINT w = width, h = height; w > 1 || h > 1; w /= 2, h /= 2)
            ++count;
    }
    auto* made = new RecordingTexture(this, width, height, count, format, pool, usage);
    made->name = Register(made, "tex");
    Log(Format("CreateTexture(%u, %u, %u, %u, %d, %d) = ", width, height, levels, usage,
               int(format), int(pool)) +
        made->name);
    *texture = made;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD bufferFvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer9** buffer, HANDLE* shared) {
    std::string line = Format("CreateVertexBuffer(%u, %u, ", length, usage) + FvfText(bufferFvf) +
                       Format(", %d, %s)", int(pool), shared ? "shared" : "null");
    if (!buffer || length == 0) {
        Log(line + " invalid");
        return D3DERR_INVALIDCALL;
    }
    *buffer = nullptr;
    if (faults.createVertexBuffer) {
        Log(line + " failed");
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    auto* made = new RecordingVertexBuffer(this, length);
    made->desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, bufferFvf};
    made->name = Register(made, "vb");
    Log(line + " = " + made->name);
    *buffer = made;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DIndexBuffer9** buffer, HANDLE* shared) {
    if (!buffer || length == 0 || shared) return D3DERR_INVALIDCALL;
    auto* made = new RecordingIndexBuffer(this, length);
    made->desc = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    made->name = Register(made, "ib");
    Log(Format("CreateIndexBuffer(%u, %u, %d, %d) = ", length, usage, int(format), int(pool)) +
        made->name);
    *buffer = made;
    return D3D_OK;
}

// The font logs its text and draws nothing.
struct RecordingFont final : ID3DXFont {
    RecordingDevice* device;
    ULONG references = 1;

    explicit RecordingFont(RecordingDevice* owner) : device(owner) { device->AddRef(); }
    ~RecordingFont() { device->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = device;
        device->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescA(D3DXFONT_DESCA* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = D3DXFONT_DESCA{};
        desc->Height = 14;
        return D3D_OK;
    }
    INT STDMETHODCALLTYPE DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, LPRECT rect,
                                    DWORD format, D3DCOLOR colour) override {
        std::string bytes = text ? (count < 0 ? std::string(text) : std::string(text, count)) : "";
        device->texts.push_back(bytes);
        device->Log(
            Format("DrawTextA(%s, text%zu, %d, ", sprite ? "sprite" : "null",
                   device->texts.size() - 1, count) +
            (rect ? Format("{%d, %d, %d, %d}", rect->left, rect->top, rect->right, rect->bottom)
                  : std::string("null")) +
            Format(", 0x%x, 0x%08x)", format, colour));
        if (!text) return 0;
        int lines = 1;
        for (char c : bytes)
            lines += c == '\n';
        return lines * 14;
    }
    HRESULT STDMETHODCALLTYPE OnLostDevice() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return D3D_OK; }
};

RecordingDevice* CreateRecordingDevice() {
    return new RecordingDevice();
}
IDirect3DDevice9* AsDevice(RecordingDevice* device) {
    return device;
}
std::vector<std::string>& Calls(RecordingDevice* device) {
    return device->calls;
}
DeviceFaults& Faults(RecordingDevice* device) {
    return device->faults;
}
std::string NameOf(RecordingDevice* device, const void* resource) {
    return device->Name(resource);
}
int LiveResources(RecordingDevice* device) {
    return device->live;
}
const std::vector<std::string>& DrawnTexts(RecordingDevice* device) {
    return device->texts;
}

std::vector<unsigned char> VertexBufferBytes(RecordingDevice* device, const std::string& name) {
    for (auto& [pointer, itsName] : device->names)
        if (itsName == name)
            return static_cast<const RecordingVertexBuffer*>(
                       static_cast<const IDirect3DVertexBuffer9*>(pointer))
                ->unlocked;
    return {};
}

ID3DXFont* CreateRecordingFont(RecordingDevice* device) {
    return new RecordingFont(device);
}

} // namespace xoftest
