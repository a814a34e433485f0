// Direct3D 9's enumerations as OpenGL's: primitives, compare functions, blending, stencil
// operations, texture addressing and filtering, culling and fill modes. A value Direct3D does not
// define is reported once through Fixme and read as the state's Direct3D default.
#pragma once

#include "gl_api.h"

#include <d3d9.h>

namespace d3d9 {

struct GlPrimitives {
    GLenum mode;
    UINT vertices; // or indices: what `count` primitives read
};

// False for a type Direct3D does not define (the draw is then an invalid call).
bool GlPrimitivesOf(D3DPRIMITIVETYPE type, UINT count, GlPrimitives* out);

// `fallback` is the state's Direct3D default, used for a value outside the enumeration:
// D3DCMP_LESSEQUAL or D3DCMP_ALWAYS, D3DBLEND_ONE or D3DBLEND_ZERO.
GLenum GlCompareFunction(DWORD func, D3DCMPFUNC fallback);
GLenum GlBlendFactor(DWORD blend, D3DBLEND fallback);
GLenum GlBlendEquation(DWORD op);
GLenum GlStencilOperation(DWORD op);
GLint GlAddressMode(DWORD mode);

struct GlBlendPair {
    GLenum source;
    GLenum destination;
};

// Source and destination factors, with the two "both" source forms that set the destination too.
GlBlendPair GlBlendFactors(DWORD source, DWORD destination);

struct GlCulling {
    bool enabled;
    GLenum face; // which GL face is culled, with front faces clockwise (glFrontFace(GL_CW))
};

GlCulling GlCullMode(DWORD mode);
GLenum GlPolygonMode(DWORD fill);

// MAGFILTER as GL's magnification filter; MINFILTER with MIPFILTER as GL's minification filter
// (MIPFILTER NONE reads only the top level).
GLint GlMagFilter(DWORD magFilter);
GLint GlMinFilter(DWORD minFilter, DWORD mipFilter);

} // namespace d3d9
