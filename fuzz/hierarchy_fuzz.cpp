// libFuzzer target: any bytes as an .x file through D3DXLoadMeshHierarchyFromXInMemory on the
// recording device, with an allocator that counts what it gives out; when it loads, the
// animation is played a few steps and the hierarchy destroyed, and nothing may be left alive.
#include "../tests/unit/d3dx_hierarchy_fixture.h"
#include "testing/recording_device.h"

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static IDirect3DDevice9* device = xoftest::AsDevice(xoftest::CreateRecordingDevice());
    xoftest::CountingAllocator alloc;
    D3DXFRAME* root = nullptr;
    ID3DXAnimationController* controller = nullptr;
    const HRESULT hr =
        D3DXLoadMeshHierarchyFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_MANAGED, device,
                                           &alloc, nullptr, &root, &controller);
    if (FAILED(hr)) {
        if (root || controller || alloc.frames || alloc.containers) std::abort();
        return 0;
    }
    if (controller) {
        for (double step : {0.0, 0.01, 0.5, 7.25, -3.0, 1e6})
            controller->AdvanceTime(step, nullptr);
        controller->Release();
    }
    D3DXVECTOR3 center;
    float radius;
    D3DXFrameCalculateBoundingSphere(root, &center, &radius);
    if (D3DXFrameDestroy(root, &alloc) != D3D_OK || alloc.frames || alloc.containers) std::abort();
    return 0;
}
