// ID3DXMesh: system-memory vertices, indices and attributes; DrawSubset through device
// buffers made once, lazily, and refreshed only after a writing lock.
#include "d3dx9/mesh.h"
#include "d3dx9/sdk_interfaces.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace d3dx9 {
namespace {

class Mesh final : public MeshInterface {
  public:
    Mesh(IDirect3DDevice9* device, MeshContents&& contents)
        : device_(device), c_(std::move(contents)) {
        device_->AddRef();
    }
    ~Mesh() {
        if (vertex_buffer_) vertex_buffer_->Release();
        if (index_buffer_) index_buffer_->Release();
        device_->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXBaseMesh || riid == IID_ID3DXMesh) {
            *object = static_cast<ID3DXMesh*>(this);
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

    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD attribId) override;
    DWORD STDMETHODCALLTYPE GetNumFaces() override { return c_.face_count; }
    DWORD STDMETHODCALLTYPE GetNumVertices() override { return c_.vertex_count; }
    DWORD STDMETHODCALLTYPE GetFVF() override { return c_.fvf; }
    DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() override { return c_.stride; }
    DWORD STDMETHODCALLTYPE GetOptions() override { return c_.options; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* device) override {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return D3D_OK;
    }
    // The buffers DrawSubset draws from, brought up to date with the mesh's data. The index
    // buffer holds the faces grouped by attribute.
    HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* buffer) override {
        if (!buffer) return D3DERR_INVALIDCALL;
        if (HRESULT hr = PrepareDrawing(); FAILED(hr)) return hr;
        vertex_buffer_->AddRef();
        *buffer = vertex_buffer_;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* buffer) override {
        if (!buffer) return D3DERR_INVALIDCALL;
        if (HRESULT hr = PrepareDrawing(); FAILED(hr)) return hr;
        index_buffer_->AddRef();
        *buffer = index_buffer_;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD flags, LPVOID* data) override {
        if (!data) return D3DERR_INVALIDCALL;
        if (!(flags & D3DLOCK_READONLY)) vertices_changed_ = true;
        *data = c_.vertices.data();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD flags, LPVOID* data) override {
        if (!data) return D3DERR_INVALIDCALL;
        if (!(flags & D3DLOCK_READONLY)) faces_changed_ = true;
        *data = c_.indices.data();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD flags, DWORD** data) override {
        if (!data) return D3DERR_INVALIDCALL;
        if (!(flags & D3DLOCK_READONLY)) faces_changed_ = true;
        *data = c_.attributes.data();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override {
        if (!size) return D3DERR_INVALIDCALL;
        if (table)
            std::copy(c_.attribute_table.begin(), c_.attribute_table.end(), table);
        else
            *size = static_cast<DWORD>(c_.attribute_table.size());
        return D3D_OK;
    }

  private:
    struct Subset {
        DWORD attribute;
        DWORD first_face;
        DWORD face_count;
    };

    bool wide() const { return (c_.options & D3DXMESH_32BIT) != 0; }
    HRESULT PrepareDrawing();
    HRESULT UploadVertices();
    HRESULT UploadFaces();

    ULONG refs_ = 1;
    IDirect3DDevice9* device_;
    MeshContents c_;
    IDirect3DVertexBuffer9* vertex_buffer_ = nullptr;
    IDirect3DIndexBuffer9* index_buffer_ = nullptr;
    bool vertices_changed_ = true;
    bool faces_changed_ = true;
    std::vector<Subset>
        subsets_; // sorted by attribute: where each one's faces are in the device copy
};

HRESULT Mesh::UploadVertices() {
    const UINT bytes = static_cast<UINT>(c_.vertices.size());
    if (!vertex_buffer_) {
        HRESULT hr = device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, c_.fvf, D3DPOOL_DEFAULT,
                                                 &vertex_buffer_, nullptr);
        if (FAILED(hr)) {
            vertex_buffer_ = nullptr;
            return hr;
        }
    }
    void* data = nullptr;
    if (HRESULT hr = vertex_buffer_->Lock(0, 0, &data, 0); FAILED(hr)) return hr;
    std::memcpy(data, c_.vertices.data(), bytes);
    vertex_buffer_->Unlock();
    vertices_changed_ = false;
    return D3D_OK;
}

// The device copy holds the faces stably grouped by attribute, so each subset is one draw.
HRESULT Mesh::UploadFaces() {
    const size_t index_size = wide() ? 4 : 2;
    const size_t face_bytes = 3 * index_size;
    const UINT bytes = static_cast<UINT>(c_.indices.size());
    if (!index_buffer_) {
        HRESULT hr = device_->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY,
                                                wide() ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                                D3DPOOL_DEFAULT, &index_buffer_, nullptr);
        if (FAILED(hr)) {
            index_buffer_ = nullptr;
            return hr;
        }
    }
    std::vector<DWORD> order(c_.face_count);
    for (DWORD f = 0; f < c_.face_count; ++f)
        order[f] = f;
    std::stable_sort(order.begin(), order.end(),
                     [&](DWORD a, DWORD b) { return c_.attributes[a] < c_.attributes[b]; });
    void* data = nullptr;
    if (HRESULT hr = index_buffer_->Lock(0, 0, &data, 0); FAILED(hr)) return hr;
    uint8_t* out = static_cast<uint8_t*>(data);
    subsets_.clear();
    for (DWORD i = 0; i < c_.face_count; ++i) {
        const DWORD f = order[i];
        std::memcpy(out + i * face_bytes, c_.indices.data() + f * face_bytes, face_bytes);
        const DWORD attribute = c_.attributes[f];
        if (subsets_.empty() || subsets_.back().attribute != attribute)
            subsets_.push_back({attribute, i, 0});
        ++subsets_.back().face_count;
    }
    index_buffer_->Unlock();
    faces_changed_ = false;
    return D3D_OK;
}

HRESULT Mesh::PrepareDrawing() {
    if (vertices_changed_)
        if (HRESULT hr = UploadVertices(); FAILED(hr)) return hr;
    if (faces_changed_)
        if (HRESULT hr = UploadFaces(); FAILED(hr)) return hr;
    return D3D_OK;
}

HRESULT Mesh::DrawSubset(DWORD attribId) {
    if (HRESULT hr = PrepareDrawing(); FAILED(hr)) return hr;
    device_->SetFVF(c_.fvf);
    device_->SetStreamSource(0, vertex_buffer_, 0, c_.stride);
    device_->SetIndices(index_buffer_);
    auto it = std::lower_bound(subsets_.begin(), subsets_.end(), attribId,
                               [](const Subset& s, DWORD id) { return s.attribute < id; });
    if (it == subsets_.end() || it->attribute != attribId) return D3D_OK; // no faces: nothing drawn
    return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, c_.vertex_count,
                                         it->first_face * 3, it->face_count);
}

} // namespace

HRESULT CreateMeshObject(IDirect3DDevice9* device, MeshContents&& contents, ID3DXMesh** mesh) {
    if (!device || !mesh) return D3DERR_INVALIDCALL;
    Mesh* m = new (std::nothrow) Mesh(device, std::move(contents));
    if (!m) return E_OUTOFMEMORY;
    *mesh = m;
    return D3D_OK;
}

} // namespace d3dx9
