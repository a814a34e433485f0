// Direct3D 9 enumerations translated to OpenGL, one small switch each.
#include "gl_translate.h"

#include "log.h"

namespace d3d9 {
namespace {

void ReportUnknown(const char* type, DWORD value, const char* fallback) {
    Fixme("state", "%s %lu is not a Direct3D 9 value; read as %s", type, (unsigned long)value,
          fallback);
}

// Whether a texture filter samples linearly; NONE and POINT do not.
bool FilterIsLinear(DWORD filter, const char* state) {
    switch (filter) {
    case D3DTEXF_NONE:
    case D3DTEXF_POINT:
        return false;
    case D3DTEXF_LINEAR:
    case D3DTEXF_ANISOTROPIC:
    case D3DTEXF_PYRAMIDALQUAD:
    case D3DTEXF_GAUSSIANQUAD:
        return true;
    default:
        ReportUnknown(state, filter, "D3DTEXF_POINT");
        return false;
    }
}

} // namespace

bool GlPrimitivesOf(D3DPRIMITIVETYPE type, UINT count, GlPrimitives* out) {
    switch (type) {
    case D3DPT_POINTLIST:
        *out = {GL_POINTS, count};
        return true;
    case D3DPT_LINELIST:
        *out = {GL_LINES, count * 2};
        return true;
    case D3DPT_LINESTRIP:
        *out = {GL_LINE_STRIP, count + 1};
        return true;
    case D3DPT_TRIANGLELIST:
        *out = {GL_TRIANGLES, count * 3};
        return true;
    case D3DPT_TRIANGLESTRIP:
        *out = {GL_TRIANGLE_STRIP, count + 2};
        return true;
    case D3DPT_TRIANGLEFAN:
        *out = {GL_TRIANGLE_FAN, count + 2};
        return true;
    default:
        return false;
    }
}

GLenum GlCompareFunction(DWORD func, D3DCMPFUNC fallback) {
    switch (func) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    case D3DCMP_ALWAYS:
        return GL_ALWAYS;
    default:
        ReportUnknown("D3DCMPFUNC", func, "the state's default");
        return fallback == D3DCMP_LESSEQUAL ? GL_LEQUAL : GL_ALWAYS;
    }
}

GLenum GlBlendFactor(DWORD blend, D3DBLEND fallback) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        // The "both" forms are source factors only: as a destination they are not defined.
        ReportUnknown("D3DBLEND", blend, "the state's default");
        return fallback == D3DBLEND_ZERO ? GL_ZERO : GL_ONE;
    }
}

GlBlendPair GlBlendFactors(DWORD source, DWORD destination) {
    if (source == D3DBLEND_BOTHSRCALPHA) return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    if (source == D3DBLEND_BOTHINVSRCALPHA) return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
    return {GlBlendFactor(source, D3DBLEND_ONE), GlBlendFactor(destination, D3DBLEND_ZERO)};
}

GLenum GlBlendEquation(DWORD op) {
    switch (op) {
    case D3DBLENDOP_ADD:
        return GL_FUNC_ADD;
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        ReportUnknown("D3DBLENDOP", op, "D3DBLENDOP_ADD");
        return GL_FUNC_ADD;
    }
}

GLenum GlStencilOperation(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_KEEP:
        return GL_KEEP;
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        ReportUnknown("D3DSTENCILOP", op, "D3DSTENCILOP_KEEP");
        return GL_KEEP;
    }
}

GLint GlAddressMode(DWORD mode) {
    switch (mode) {
    case D3DTADDRESS_WRAP:
        return GL_REPEAT;
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
        return GL_MIRROR_CLAMP_TO_EDGE;
    default:
        ReportUnknown("D3DTEXTUREADDRESS", mode, "D3DTADDRESS_WRAP");
        return GL_REPEAT;
    }
}

GlCulling GlCullMode(DWORD mode) {
    switch (mode) {
    case D3DCULL_NONE:
        return {false, GL_BACK};
    case D3DCULL_CW:
        return {true, GL_FRONT};
    case D3DCULL_CCW:
        return {true, GL_BACK};
    default:
        ReportUnknown("D3DCULL", mode, "D3DCULL_CCW");
        return {true, GL_BACK};
    }
}

GLenum GlPolygonMode(DWORD fill) {
    switch (fill) {
    case D3DFILL_POINT:
        return GL_POINT;
    case D3DFILL_WIREFRAME:
        return GL_LINE;
    case D3DFILL_SOLID:
        return GL_FILL;
    default:
        ReportUnknown("D3DFILLMODE", fill, "D3DFILL_SOLID");
        return GL_FILL;
    }
}

GLint GlMagFilter(DWORD magFilter) {
    return FilterIsLinear(magFilter, "D3DSAMP_MAGFILTER") ? GL_LINEAR : GL_NEAREST;
}

GLint GlMinFilter(DWORD minFilter, DWORD mipFilter) {
    const bool linear = FilterIsLinear(minFilter, "D3DSAMP_MINFILTER");
    switch (mipFilter) {
    case D3DTEXF_NONE:
        return linear ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case D3DTEXF_LINEAR:
    case D3DTEXF_ANISOTROPIC:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default:
        ReportUnknown("D3DSAMP_MIPFILTER", mipFilter, "D3DTEXF_NONE");
        return linear ? GL_LINEAR : GL_NEAREST;
    }
}

} // namespace d3d9
