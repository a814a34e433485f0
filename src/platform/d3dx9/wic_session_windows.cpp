// The WIC factory of one D3DX call, with COM started around it when the thread needs it.
#include "d3dx9/wic_session.h"

#include <objbase.h>

namespace d3dx9 {

WicSession::WicSession() {
    // S_FALSE: COM was already started on this thread, and the call still needs its CoUninitialize.
    // RPC_E_CHANGED_MODE: the thread runs COM in another mode, which serves WIC just as well.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    startedCom_ = SUCCEEDED(com);
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory_))))
        factory_ = nullptr;
}

WicSession::~WicSession() {
    if (factory_) factory_->Release();
    if (startedCom_) CoUninitialize();
}

} // namespace d3dx9
