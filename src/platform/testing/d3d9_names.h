// The SDK's names of Direct3D 9 values, so that a recorded call reads as the code that made it.
#pragma once

#include <d3d9.h>

#include <string>

namespace xoftest {

// "D3DRS_SRCBLEND, D3DBLEND_SRCALPHA": the state and its value, named where the value is one
// of an enumeration (blend factors, compare functions, cull and fill modes, booleans).
std::string RenderStateText(D3DRENDERSTATETYPE state, DWORD value);
// "D3DTSS_COLOROP, D3DTOP_MODULATE", "D3DTSS_COLORARG1, D3DTA_TEXTURE".
std::string StageStateText(D3DTEXTURESTAGESTATETYPE type, DWORD value);
// "D3DSAMP_MINFILTER, D3DTEXF_LINEAR".
std::string SamplerStateText(D3DSAMPLERSTATETYPE type, DWORD value);
// "D3DTS_WORLD", "D3DTS_VIEW", "D3DTS_WORLDMATRIX(3)".
std::string TransformName(D3DTRANSFORMSTATETYPE state);
std::string PrimitiveName(D3DPRIMITIVETYPE type);
// "D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1"; "0" for none.
std::string FvfText(DWORD fvf);

} // namespace xoftest
