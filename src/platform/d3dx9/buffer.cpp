// ID3DXBuffer and D3DXCreateBuffer: a reference-counted block of bytes.
#include <d3dx9.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace {

class Buffer final : public ID3DXBuffer {
  public:
    Buffer(uint8_t* data, DWORD size) : data_(data), size_(size) {}
    ~Buffer() { delete[] data_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXBuffer) {
            *object = static_cast<ID3DXBuffer*>(this);
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
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return data_; }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return size_; }

  private:
    ULONG refs_ = 1;
    uint8_t* data_;
    DWORD size_;
};

} // namespace

// The bytes start zeroed.
HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    uint8_t* data = new (std::nothrow) uint8_t[numBytes ? numBytes : 1];
    if (!data) return E_OUTOFMEMORY;
    std::memset(data, 0, numBytes ? numBytes : 1);
    Buffer* b = new (std::nothrow) Buffer(data, numBytes);
    if (!b) {
        delete[] data;
        return E_OUTOFMEMORY;
    }
    *buffer = b;
    return D3D_OK;
}
