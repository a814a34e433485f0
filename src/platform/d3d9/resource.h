// The lifetime every Direct3D resource shares: a public COM count that holds the device, and a
// private count of the device's bindings (SetTexture, SetStreamSource, SetIndices) that does not.
#pragma once

#include <d3d9.h>

#include <initializer_list>

namespace d3d9 {

class Device;

class ResourceLifetime {
  public:
    explicit ResourceLifetime(Device* device);
    ResourceLifetime(const ResourceLifetime&) = delete;
    ResourceLifetime& operator=(const ResourceLifetime&) = delete;

    ULONG AddPublicRef();
    ULONG ReleasePublicRef();
    void AddBinding() { ++bindings_; }
    void ReleaseBinding();

    Device* OwnerDevice() const { return device_; }
    HRESULT GetDeviceInterface(IDirect3DDevice9** device) const;

  protected:
    virtual ~ResourceLifetime() = default;

  private:
    Device* device_;
    ULONG publicRefs_ = 1;
    ULONG bindings_ = 0;
};

// QueryInterface for a resource that answers IUnknown, IDirect3DResource9 and the IIDs given.
template <typename Interface>
HRESULT QueryResourceInterface(Interface* self, REFIID riid, void** object,
                               std::initializer_list<const IID*> own) {
    if (!object) return E_POINTER;
    bool known = riid == IID_IUnknown || riid == IID_IDirect3DResource9;
    for (const IID* iid : own)
        known = known || riid == *iid;
    if (!known) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    self->AddRef();
    *object = self;
    return S_OK;
}

} // namespace d3d9
