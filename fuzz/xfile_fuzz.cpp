// libFuzzer target: any bytes as an .x file (text, binary or MSZIP-compressed, as the header
// says), through the reader and, when it parses, through the mesh builder D3DX runs on it.
#include "d3dx9/mesh_build.h"
#include "xfile/document.h"

#include <cstddef>
#include <cstdint>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xfile::Document doc;
    xfile::Error error;
    if (xfile::Parse({data, size}, doc, &error) != xfile::Status::Ok) return 0;
    d3dx9::MeshGeometry geometry;
    try {
        d3dx9::BuildMeshGeometry(doc, geometry);
    } catch (const std::bad_alloc&) {
        // D3DXLoadMeshFromX turns this into E_OUTOFMEMORY.
    }
    return 0;
}
