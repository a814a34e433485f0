// DirectInput8Create: a DirectInput object that can be created, queried and released. Input
// itself comes through window messages and GetAsyncKeyState; no devices are offered.
#include <dinput.h>

#include <atomic>
#include <new>

namespace {

class DirectInput8 final : public IDirectInput8A {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IDirectInput8A) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        *object = static_cast<IDirectInput8A*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID, LPDIRECTINPUTDEVICE8A* device,
                                           LPUNKNOWN) override {
        if (device) *device = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return E_NOTIMPL; }

    // The version rules DirectInput8Create relies on.
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE instance, DWORD version) override {
        if (!instance) return DIERR_INVALIDPARAM;
        if (version == 0) return DIERR_NOTINITIALIZED;
        if (version < 0x0800) return DIERR_OLDDIRECTINPUTVERSION;
        if (version > 0x0800) return DIERR_BETADIRECTINPUTVERSION;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCSTR, GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCSTR, DIACTIONFORMATA*,
                                                     LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID,
                                                     DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK,
                                               DICONFIGUREDEVICESPARAMSA*, DWORD, LPVOID) override {
        return E_NOTIMPL;
    }

  private:
    ~DirectInput8() = default;
    std::atomic<ULONG> references{1};
};

} // namespace

// Aggregation (an outer object) is not supported and ignored: the object is initialised as
// without one.
HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* out,
                                  LPUNKNOWN) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IDirectInput8A && iid != IID_IUnknown) return DIERR_NOINTERFACE;
    auto* object = new (std::nothrow) DirectInput8;
    if (!object) return E_OUTOFMEMORY;
    // As Windows does, only a request for IDirectInput8A initialises (and checks the version).
    HRESULT result = iid == IID_IDirectInput8A ? object->Initialize(instance, version) : DI_OK;
    if (FAILED(result)) {
        object->Release();
        return result;
    }
    *out = static_cast<IDirectInput8A*>(object);
    return DI_OK;
}
