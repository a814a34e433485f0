// Windows file names on a POSIX file system, as D3DX's file reads and writes resolve them there.
#pragma once

#include "d3dx9/file_read.h"
#include "win32/file_names.h"

namespace d3dx9 {

// Windows file names are resolved as kernel32 resolves them.
using win32::ResolveFileName;
using win32::ResolveNewFileName;

} // namespace d3dx9
