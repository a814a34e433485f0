// What the .x loaders (flat and hierarchy) share before they build: reading the model file and
// D3DX's answer for how the document parsed.
#pragma once

#include "xfile/document.h"
#include "xfile/large_buffer.h"

#include <d3dx9.h>

#include <cstddef>

namespace d3dx9 {

// Far beyond any model a viewer shows (a text .x of millions of vertices); a larger file is
// refused before it is read, so naming a huge file cannot take the memory it would fill.
constexpr size_t kMaxModelFileBytes = size_t(256) << 20;

// The whole file named by a CP932 name; D3DXERR_INVALIDDATA, as D3DX answers, for one that is
// missing, not a regular file, empty, too large or unreadable.
HRESULT ReadModelFile(const char* cp932Name, xfile::LargeVector<unsigned char>& bytes);

// D3DX's result for the reader's status: the D3DXFERR_* codes, E_OUTOFMEMORY, or D3D_OK.
HRESULT FromParseStatus(xfile::Status status);

} // namespace d3dx9
