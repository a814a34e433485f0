// ID3DXSkinInfo, D3DXCreateSkinInfo and D3DXCreateSkinInfoFVF: bones kept as set (names, offset
// matrices, influences), and beside them the same influences by vertex, laid out once after a
// change so that UpdateSkinnedMesh skins in one pass over the vertices without allocating.
#include <d3dx9.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace d3dx9 {
namespace {

constexpr DWORD kNoElement = 0xFFFFFFFF;

// All zeros, as D3DX gives a bone whose offset was never set (the SDK's D3DXMATRIX leaves its
// elements unset when made without a value).
D3DXMATRIX ZeroMatrix() {
    D3DXMATRIX m;
    std::memset(m.m, 0, sizeof m.m);
    return m;
}

struct Bone {
    std::string name;
    bool named = false;
    D3DXMATRIX offset = ZeroMatrix();
    std::vector<DWORD> vertices;
    std::vector<float> weights;
};

struct Influence {
    uint32_t bone;
    float weight;
};

// A bone's matrices as skinning applies them: positions by the bone transform's first three
// columns (and its last, for a transform that is not affine), normals by the upper 3x3 of the
// inverse transpose when given, else of the bone transform, as D3DXVec3TransformNormal does.
// Rows of three floats, one after the other, so that blending matrices is a run of floats.
struct alignas(16) BoneTransform {
    float p[12]; // x' = x * p[0..2] + y * p[3..5] + z * p[6..8] + p[9..11]
    float n[12]; // the normals' rows in n[0..8]
    float w[4];  // the last column
};

// Where UpdateSkinnedMesh finds what it changes in a vertex.
struct VertexLayout {
    DWORD stride = 0;
    DWORD position = kNoElement;
    DWORD normal = kNoElement;
    bool other_parts = false; // parts UpdateSkinnedMesh copies unchanged
    bool supported = true;    // positions and normals are three floats
};

VertexLayout LayoutOf(const D3DVERTEXELEMENT9* declaration) {
    VertexLayout l;
    l.stride = D3DXGetDeclVertexSize(declaration, 0);
    for (UINT i = 0; declaration[i].Stream != 0xFF; ++i) {
        const D3DVERTEXELEMENT9& e = declaration[i];
        const bool position = e.Usage == D3DDECLUSAGE_POSITION && e.UsageIndex == 0;
        const bool normal = e.Usage == D3DDECLUSAGE_NORMAL && e.UsageIndex == 0;
        if ((position || normal) && e.Type != D3DDECLTYPE_FLOAT3) l.supported = false;
        if (position && l.position == kNoElement) {
            l.position = e.Offset;
        } else if (normal && l.normal == kNoElement) {
            l.normal = e.Offset;
        } else {
            l.other_parts = true;
        }
    }
    return l;
}

BoneTransform Pack(const D3DXMATRIX& bone, const D3DXMATRIX& normal) {
    BoneTransform t{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            t.p[r * 3 + c] = bone.m[r][c];
            if (r < 3) t.n[r * 3 + c] = normal.m[r][c];
        }
        t.w[r] = bone.m[r][3];
    }
    return t;
}

bool IsAffine(const BoneTransform& t) {
    return t.w[0] == 0 && t.w[1] == 0 && t.w[2] == 0 && t.w[3] == 1;
}

// v (x, y, z, `one`) times the rows of three `m` holds.
void Transform(const float* v, const float* m, float one, float* out) {
    for (int c = 0; c < 3; ++c)
        out[c] = v[0] * m[c] + v[1] * m[3 + c] + v[2] * m[6 + c] + one * m[9 + c];
}

// The skinning pass for affine bones: each vertex's influences blend their bones' matrices (in
// bone order), and the blend moves the position and turns the normal once. `kOwnNormals`: the
// normals have matrices of their own (the inverse transposes). A vertex no bone moves blends
// nothing and ends at the origin with a zero normal, as D3DX leaves it.
template <bool kNormals, bool kOwnNormals>
void SkinAffine(const VertexLayout& l, DWORD vertex_count, const uint32_t* first,
                const Influence* influences, const BoneTransform* bones, const uint8_t* src,
                uint8_t* dst) {
    const bool copy = l.other_parts && src != dst;
    for (DWORD v = 0; v < vertex_count; ++v) {
        const uint8_t* in = src + size_t{v} * l.stride;
        uint8_t* out = dst + size_t{v} * l.stride;
        float p[3], n[3] = {};
        std::memcpy(p, in + l.position, 12);
        if constexpr (kNormals) std::memcpy(n, in + l.normal, 12);
        if (copy) std::memcpy(out, in, l.stride);
        float blend[12] = {}, normal_blend[12] = {};
        for (uint32_t i = first[v], end = first[v + 1]; i < end; ++i) {
            const BoneTransform& t = bones[influences[i].bone];
            const float weight = influences[i].weight;
            for (int k = 0; k < 12; ++k)
                blend[k] += weight * t.p[k];
            if constexpr (kOwnNormals)
                for (int k = 0; k < 12; ++k)
                    normal_blend[k] += weight * t.n[k];
        }
        float skinned[3];
        Transform(p, blend, 1, skinned);
        std::memcpy(out + l.position, skinned, 12);
        if constexpr (kNormals) {
            Transform(n, kOwnNormals ? normal_blend : blend, 0, skinned);
            std::memcpy(out + l.normal, skinned, 12);
        }
    }
}

// The same for bones that are not all affine: each influence's position is divided by its w, as
// D3DXVec3TransformCoord does, so the influences are applied one by one.
template <bool kNormals>
void SkinProjective(const VertexLayout& l, DWORD vertex_count, const uint32_t* first,
                    const Influence* influences, const BoneTransform* bones, const uint8_t* src,
                    uint8_t* dst) {
    const bool copy = l.other_parts && src != dst;
    for (DWORD v = 0; v < vertex_count; ++v) {
        const uint8_t* in = src + size_t{v} * l.stride;
        uint8_t* out = dst + size_t{v} * l.stride;
        float p[3], n[3] = {};
        std::memcpy(p, in + l.position, 12);
        if constexpr (kNormals) std::memcpy(n, in + l.normal, 12);
        if (copy) std::memcpy(out, in, l.stride);
        float position[3] = {}, normal[3] = {};
        for (uint32_t i = first[v], end = first[v + 1]; i < end; ++i) {
            const BoneTransform& t = bones[influences[i].bone];
            const float weight = influences[i].weight;
            float moved[3], turned[3];
            Transform(p, t.p, 1, moved);
            const float w = p[0] * t.w[0] + p[1] * t.w[1] + p[2] * t.w[2] + t.w[3];
            Transform(n, t.n, 0, turned);
            for (int c = 0; c < 3; ++c) {
                position[c] += weight * (moved[c] / w);
                normal[c] += weight * turned[c];
            }
        }
        std::memcpy(out + l.position, position, 12);
        if constexpr (kNormals) std::memcpy(out + l.normal, normal, 12);
    }
}

class SkinInfo final : public ID3DXSkinInfo {
  public:
    SkinInfo(DWORD vertex_count, DWORD bone_count)
        : vertex_count_(vertex_count), bones_(bone_count) {
        declaration_[0] = D3DDECL_END();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXSkinInfo) {
            *object = static_cast<ID3DXSkinInfo*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE SetBoneInfluence(DWORD bone, DWORD count, const DWORD* vertices,
                                               const FLOAT* weights) override {
        if (bone >= bones_.size() || !vertices || !weights) return D3DERR_INVALIDCALL;
        try {
            std::vector<DWORD> v(vertices, vertices + count);
            std::vector<float> w(weights, weights + count);
            bones_[bone].vertices.swap(v);
            bones_[bone].weights.swap(w);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        laid_out_ = false;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBoneVertexInfluence(DWORD bone, DWORD influence,
                                                     FLOAT weight) override {
        if (bone >= bones_.size() || influence >= bones_[bone].weights.size())
            return D3DERR_INVALIDCALL;
        bones_[bone].weights[influence] = weight;
        laid_out_ = false;
        return D3D_OK;
    }
    DWORD STDMETHODCALLTYPE GetNumBoneInfluences(DWORD bone) override {
        return bone < bones_.size() ? static_cast<DWORD>(bones_[bone].vertices.size()) : 0;
    }
    HRESULT STDMETHODCALLTYPE GetBoneInfluence(DWORD bone, DWORD* vertices,
                                               FLOAT* weights) override {
        if (bone >= bones_.size() || !vertices) return D3DERR_INVALIDCALL;
        const Bone& b = bones_[bone];
        std::copy(b.vertices.begin(), b.vertices.end(), vertices);
        if (weights) std::copy(b.weights.begin(), b.weights.end(), weights);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBoneVertexInfluence(DWORD bone, DWORD influence, FLOAT* weight,
                                                     DWORD* vertex) override {
        if (bone >= bones_.size() || influence >= bones_[bone].vertices.size() || !weight ||
            !vertex)
            return D3DERR_INVALIDCALL;
        *weight = bones_[bone].weights[influence];
        *vertex = bones_[bone].vertices[influence];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMaxVertexInfluences(DWORD* most) override {
        if (!most) return D3DERR_INVALIDCALL;
        if (HRESULT hr = LayOut(); FAILED(hr)) return hr;
        *most = max_vertex_influences_;
        return D3D_OK;
    }
    DWORD STDMETHODCALLTYPE GetNumBones() override { return static_cast<DWORD>(bones_.size()); }
    HRESULT STDMETHODCALLTYPE FindBoneVertexInfluenceIndex(DWORD bone, DWORD vertex,
                                                           DWORD* influence) override {
        if (bone >= bones_.size() || !influence) return D3DERR_INVALIDCALL;
        const std::vector<DWORD>& v = bones_[bone].vertices;
        const auto at = std::find(v.begin(), v.end(), vertex);
        if (at == v.end()) return D3DERR_INVALIDCALL;
        *influence = static_cast<DWORD>(at - v.begin());
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMaxFaceInfluences(IDirect3DIndexBuffer9* indices, DWORD faces,
                                                   DWORD* most) override;
    HRESULT STDMETHODCALLTYPE SetMinBoneInfluence(FLOAT least) override {
        min_influence_ = least;
        return D3D_OK;
    }
    FLOAT STDMETHODCALLTYPE GetMinBoneInfluence() override { return min_influence_; }
    HRESULT STDMETHODCALLTYPE SetBoneName(DWORD bone, LPCSTR name) override {
        if (bone >= bones_.size() || !name) return D3DERR_INVALIDCALL;
        try {
            bones_[bone].name = name;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        bones_[bone].named = true;
        return D3D_OK;
    }
    LPCSTR STDMETHODCALLTYPE GetBoneName(DWORD bone) override {
        return bone < bones_.size() && bones_[bone].named ? bones_[bone].name.c_str() : nullptr;
    }
    HRESULT STDMETHODCALLTYPE SetBoneOffsetMatrix(DWORD bone, const D3DXMATRIX* offset) override {
        if (bone >= bones_.size() || !offset) return D3DERR_INVALIDCALL;
        bones_[bone].offset = *offset;
        return D3D_OK;
    }
    LPD3DXMATRIX STDMETHODCALLTYPE GetBoneOffsetMatrix(DWORD bone) override {
        return bone < bones_.size() ? &bones_[bone].offset : nullptr;
    }
    HRESULT STDMETHODCALLTYPE Clone(ID3DXSkinInfo** clone) override {
        if (!clone) return D3DERR_INVALIDCALL;
        SkinInfo* copy = new (std::nothrow) SkinInfo(0, 0);
        if (!copy) return E_OUTOFMEMORY;
        try {
            copy->vertex_count_ = vertex_count_;
            std::memcpy(copy->declaration_, declaration_, sizeof(declaration_));
            copy->fvf_ = fvf_;
            copy->min_influence_ = min_influence_;
            copy->bones_ = bones_;
        } catch (const std::bad_alloc&) {
            delete copy;
            return E_OUTOFMEMORY;
        }
        *clone = copy;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Remap(DWORD vertex_count, DWORD* remap) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override {
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        if (HRESULT hr = D3DXDeclaratorFromFVF(fvf, declaration); FAILED(hr)) return hr;
        return SetDeclaration(declaration);
    }
    HRESULT STDMETHODCALLTYPE SetDeclaration(const D3DVERTEXELEMENT9* declaration) override {
        if (!declaration) return D3DERR_INVALIDCALL;
        const UINT length = D3DXGetDeclLength(declaration);
        if (length > MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL;
        for (UINT i = 0; i < length; ++i)
            if (declaration[i].Stream != 0) return D3DERR_INVALIDCALL;
        std::memcpy(declaration_, declaration, (length + 1) * sizeof(D3DVERTEXELEMENT9));
        if (FAILED(D3DXFVFFromDeclarator(declaration_, &fvf_))) fvf_ = 0;
        laid_out_ = false;
        return D3D_OK;
    }
    DWORD STDMETHODCALLTYPE GetFVF() override { return fvf_; }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* declaration) override {
        if (!declaration) return D3DERR_INVALIDCALL;
        std::memcpy(declaration, declaration_,
                    (D3DXGetDeclLength(declaration_) + 1) * sizeof(D3DVERTEXELEMENT9));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UpdateSkinnedMesh(const D3DXMATRIX* bone_transforms,
                                                const D3DXMATRIX* inverse_transposes, LPCVOID src,
                                                LPVOID dst) override;
    HRESULT STDMETHODCALLTYPE ConvertToBlendedMesh(ID3DXMesh*, DWORD, const DWORD*, DWORD*, DWORD*,
                                                   LPD3DXBUFFER*, DWORD*, DWORD*, LPD3DXBUFFER*,
                                                   ID3DXMesh**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConvertToIndexedBlendedMesh(ID3DXMesh*, DWORD, DWORD, const DWORD*,
                                                          DWORD*, DWORD*, LPD3DXBUFFER*, DWORD*,
                                                          DWORD*, LPD3DXBUFFER*,
                                                          ID3DXMesh**) override {
        return E_NOTIMPL;
    }

  private:
    ~SkinInfo() = default;
    HRESULT LayOut();

    ULONG refs_ = 1;
    DWORD vertex_count_;
    D3DVERTEXELEMENT9 declaration_[MAX_FVF_DECL_SIZE];
    DWORD fvf_ = 0;
    float min_influence_ = 0;
    std::vector<Bone> bones_;

    // The influences by vertex: vertex v's are influences_[first_[v] .. first_[v + 1]), in bone
    // order. Made again after any change to the bones or the declaration.
    bool laid_out_ = false;
    VertexLayout layout_;
    std::vector<uint32_t> first_;
    std::vector<Influence> influences_;
    std::vector<BoneTransform> transforms_; // one per bone, filled by each UpdateSkinnedMesh
    DWORD max_vertex_influences_ = 0;
};

// Influences on vertices past the vertex count move nothing (SetBoneInfluence takes any index,
// as D3DX's does), so they are left out here.
HRESULT SkinInfo::LayOut() {
    if (laid_out_) return D3D_OK;
    try {
        first_.assign(size_t{vertex_count_} + 1, 0);
        for (const Bone& b : bones_)
            for (DWORD v : b.vertices)
                if (v < vertex_count_) ++first_[size_t{v} + 1];
        for (size_t v = 0; v < vertex_count_; ++v)
            first_[v + 1] += first_[v];
        influences_.resize(first_[vertex_count_]);
        std::vector<uint32_t> next(first_.begin(), first_.end() - 1);
        for (size_t b = 0; b < bones_.size(); ++b) {
            const Bone& bone = bones_[b];
            for (size_t i = 0; i < bone.vertices.size(); ++i)
                if (bone.vertices[i] < vertex_count_)
                    influences_[next[bone.vertices[i]]++] = {static_cast<uint32_t>(b),
                                                             bone.weights[i]};
        }
        max_vertex_influences_ = 0;
        for (size_t v = 0; v < vertex_count_; ++v)
            max_vertex_influences_ =
                std::max(max_vertex_influences_, static_cast<DWORD>(first_[v + 1] - first_[v]));
        transforms_.resize(bones_.size());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    layout_ = LayoutOf(declaration_);
    laid_out_ = true;
    return D3D_OK;
}

HRESULT SkinInfo::UpdateSkinnedMesh(const D3DXMATRIX* bone_transforms,
                                    const D3DXMATRIX* inverse_transposes, LPCVOID src, LPVOID dst) {
    if (!bone_transforms || !src || !dst) return D3DERR_INVALIDCALL;
    if (HRESULT hr = LayOut(); FAILED(hr)) return hr;
    const VertexLayout& l = layout_;
    if (!l.supported) return E_NOTIMPL;
    const auto* in = static_cast<const uint8_t*>(src);
    auto* out = static_cast<uint8_t*>(dst);
    if (l.position == kNoElement) {
        if (in != out) std::memmove(out, in, size_t{vertex_count_} * l.stride);
        return D3D_OK;
    }
    bool affine = true;
    for (size_t b = 0; b < bones_.size(); ++b) {
        transforms_[b] = Pack(bone_transforms[b],
                              inverse_transposes ? inverse_transposes[b] : bone_transforms[b]);
        affine = affine && IsAffine(transforms_[b]);
    }
    using Kernel = void (*)(const VertexLayout&, DWORD, const uint32_t*, const Influence*,
                            const BoneTransform*, const uint8_t*, uint8_t*);
    const bool normals = l.normal != kNoElement;
    Kernel run;
    if (!affine)
        run = normals ? SkinProjective<true> : SkinProjective<false>;
    else if (!normals)
        run = SkinAffine<false, false>;
    else
        run = inverse_transposes ? SkinAffine<true, true> : SkinAffine<true, false>;
    run(l, vertex_count_, first_.data(), influences_.data(), transforms_.data(), in, out);
    return D3D_OK;
}

// The most bones that move any vertex of one face.
HRESULT SkinInfo::GetMaxFaceInfluences(IDirect3DIndexBuffer9* indices, DWORD faces, DWORD* most) {
    if (!indices || !most) return D3DERR_INVALIDCALL;
    D3DINDEXBUFFER_DESC desc;
    if (FAILED(indices->GetDesc(&desc))) return D3DERR_INVALIDCALL;
    const size_t index_size = desc.Format == D3DFMT_INDEX32 ? 4 : 2;
    if (uint64_t{faces} * 3 * index_size > desc.Size) return D3DERR_INVALIDCALL;
    if (HRESULT hr = LayOut(); FAILED(hr)) return hr;
    void* data = nullptr;
    if (FAILED(indices->Lock(0, 0, &data, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
    const auto* bytes = static_cast<const uint8_t*>(data);
    DWORD result = 0;
    try {
        // The face each bone was last counted for: a bone is counted once per face.
        std::vector<uint32_t> counted_for(bones_.size(), 0xFFFFFFFF);
        for (uint32_t f = 0; f < faces; ++f) {
            DWORD count = 0;
            for (size_t c = 0; c < 3; ++c) {
                uint32_t v = 0;
                std::memcpy(&v, bytes + (size_t{f} * 3 + c) * index_size, index_size);
                if (v >= vertex_count_) continue;
                for (uint32_t i = first_[v]; i < first_[v + 1]; ++i) {
                    const uint32_t bone = influences_[i].bone;
                    if (counted_for[bone] == f) continue;
                    counted_for[bone] = f;
                    ++count;
                }
            }
            result = std::max(result, count);
        }
    } catch (const std::bad_alloc&) {
        indices->Unlock();
        return E_OUTOFMEMORY;
    }
    indices->Unlock();
    *most = result;
    return D3D_OK;
}

// `remap[new]` is the old vertex each new one copies (0xFFFFFFFF, or any index past the old
// vertices: none); every influence on an old vertex goes to each of its copies.
HRESULT SkinInfo::Remap(DWORD vertex_count, DWORD* remap) {
    if (!remap) return D3DERR_INVALIDCALL;
    try {
        // The new vertices of each old one, by a counting sort.
        std::vector<uint32_t> start(size_t{vertex_count_} + 1, 0);
        for (DWORD n = 0; n < vertex_count; ++n)
            if (remap[n] < vertex_count_) ++start[size_t{remap[n]} + 1];
        for (size_t v = 0; v < vertex_count_; ++v)
            start[v + 1] += start[v];
        std::vector<uint32_t> copies(start[vertex_count_]);
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (DWORD n = 0; n < vertex_count; ++n)
            if (remap[n] < vertex_count_) copies[next[remap[n]]++] = n;
        std::vector<Bone> remapped(bones_.size());
        for (size_t b = 0; b < bones_.size(); ++b) {
            const Bone& old = bones_[b];
            Bone& bone = remapped[b];
            bone.name = old.name;
            bone.named = old.named;
            bone.offset = old.offset;
            size_t count = 0;
            for (DWORD v : old.vertices)
                if (v < vertex_count_) count += start[size_t{v} + 1] - start[v];
            bone.vertices.reserve(count);
            bone.weights.reserve(count);
            for (size_t i = 0; i < old.vertices.size(); ++i) {
                const DWORD v = old.vertices[i];
                if (v >= vertex_count_) continue;
                for (uint32_t k = start[v]; k < start[size_t{v} + 1]; ++k) {
                    bone.vertices.push_back(copies[k]);
                    bone.weights.push_back(old.weights[i]);
                }
            }
        }
        bones_.swap(remapped);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    vertex_count_ = vertex_count;
    laid_out_ = false;
    return D3D_OK;
}

} // namespace
} // namespace d3dx9

HRESULT WINAPI D3DXCreateSkinInfo(DWORD numVertices, const D3DVERTEXELEMENT9* declaration,
                                  DWORD numBones, LPD3DXSKININFO* skinInfo) {
    if (!skinInfo || !declaration) return D3DERR_INVALIDCALL;
    ID3DXSkinInfo* made = nullptr;
    try {
        made = new d3dx9::SkinInfo(numVertices, numBones);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (HRESULT hr = made->SetDeclaration(declaration); FAILED(hr)) {
        made->Release();
        return hr;
    }
    *skinInfo = made;
    return D3D_OK;
}

HRESULT WINAPI D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                                     LPD3DXSKININFO* skinInfo) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    if (HRESULT hr = D3DXDeclaratorFromFVF(fvf, declaration); FAILED(hr)) return hr;
    return D3DXCreateSkinInfo(numVertices, declaration, numBones, skinInfo);
}
