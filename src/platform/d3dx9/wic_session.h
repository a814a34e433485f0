// A WIC imaging factory for the length of one D3DX call, COM started for it when the calling
// thread has not started COM itself. Windows only.
#pragma once

#include <wincodec.h>

namespace d3dx9 {

// Releases a COM object at the end of its scope.
template <class T> struct ComPointer {
    T* p = nullptr;
    ~ComPointer() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

class WicSession {
  public:
    WicSession();
    ~WicSession();
    WicSession(const WicSession&) = delete;
    WicSession& operator=(const WicSession&) = delete;

    // Null when WIC is not available.
    IWICImagingFactory* Factory() const { return factory_; }

  private:
    bool startedCom_ = false;
    IWICImagingFactory* factory_ = nullptr;
};

} // namespace d3dx9
