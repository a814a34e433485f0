// Resource lifetime: public references hold the device; bindings keep only the resource.
#include "resource.h"

#include "device.h"

namespace d3d9 {

ResourceLifetime::ResourceLifetime(Device* device) : device_(device) {
    device_->AddRef();
}

ULONG ResourceLifetime::AddPublicRef() {
    if (publicRefs_++ == 0) device_->AddRef();
    return publicRefs_;
}

ULONG ResourceLifetime::ReleasePublicRef() {
    if (publicRefs_ == 0) return 0;
    const ULONG left = --publicRefs_;
    if (left == 0) {
        // A resource still bound lives on until the device lets go of it.
        Device* device = device_;
        if (bindings_ == 0) delete this;
        device->Release();
    }
    return left;
}

void ResourceLifetime::ReleaseBinding() {
    if (bindings_ > 0 && --bindings_ == 0 && publicRefs_ == 0) delete this;
}

HRESULT ResourceLifetime::GetDeviceInterface(IDirect3DDevice9** device) const {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

} // namespace d3d9
