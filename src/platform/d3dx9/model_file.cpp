// ReadModelFile and FromParseStatus: the model file and its parse, as both .x loaders take them.
#include "d3dx9/model_file.h"
#include "d3dx9/file_read.h"

namespace d3dx9 {

HRESULT ReadModelFile(const char* cp932Name, xfile::LargeVector<unsigned char>& bytes) {
    if (ReadWholeFile(cp932Name, bytes, kMaxModelFileBytes) != FileReadResult::Ok || bytes.empty())
        return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

HRESULT FromParseStatus(xfile::Status status) {
    switch (status) {
    case xfile::Status::Ok:
        return D3D_OK;
    case xfile::Status::BadFileType:
        return D3DXFERR_BADFILETYPE;
    case xfile::Status::BadFileVersion:
        return D3DXFERR_BADFILEVERSION;
    case xfile::Status::BadFileFloatSize:
        return D3DXFERR_BADFILEFLOATSIZE;
    case xfile::Status::ParseError:
        return D3DXFERR_PARSEERROR;
    case xfile::Status::OutOfMemory:
        return E_OUTOFMEMORY;
    }
    return E_FAIL;
}

} // namespace d3dx9
