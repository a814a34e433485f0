// Every Direct3D 9 value the device translates, and what a value outside each enumeration reads as.
#include "d3d9/gl_translate.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using d3d9::GlBlendPair;
using d3d9::GlCulling;
using d3d9::GlPrimitives;

template <typename Translate>
void ExpectTable(const char* what, Translate translate,
                 const std::vector<std::pair<DWORD, GLenum>>& table) {
    for (const auto& [value, gl] : table)
        EXPECT_EQ(GLenum(translate(value)), gl) << what << " " << value;
}

TEST(GlTranslate, PrimitivesAndTheVerticesTheirCountReads) {
    const struct {
        D3DPRIMITIVETYPE type;
        GLenum mode;
        UINT vertices;
    } table[] = {{D3DPT_POINTLIST, GL_POINTS, 5},
                 {D3DPT_LINELIST, GL_LINES, 10},
                 {D3DPT_LINESTRIP, GL_LINE_STRIP, 6},
                 {D3DPT_TRIANGLELIST, GL_TRIANGLES, 15},
                 {D3DPT_TRIANGLESTRIP, GL_TRIANGLE_STRIP, 7},
                 {D3DPT_TRIANGLEFAN, GL_TRIANGLE_FAN, 7}};
    for (const auto& row : table) {
        GlPrimitives p{};
        ASSERT_TRUE(d3d9::GlPrimitivesOf(row.type, 5, &p)) << row.type;
        EXPECT_EQ(p.mode, row.mode);
        EXPECT_EQ(p.vertices, row.vertices);
    }
    GlPrimitives p{};
    EXPECT_FALSE(d3d9::GlPrimitivesOf(D3DPRIMITIVETYPE(0), 5, &p));
    EXPECT_FALSE(d3d9::GlPrimitivesOf(D3DPRIMITIVETYPE(7), 5, &p));
}

TEST(GlTranslate, CompareFunctionsWithTheStatesDefaultForUnknownValues) {
    const std::vector<std::pair<DWORD, GLenum>> table = {
        {D3DCMP_NEVER, GL_NEVER},         {D3DCMP_LESS, GL_LESS},
        {D3DCMP_EQUAL, GL_EQUAL},         {D3DCMP_LESSEQUAL, GL_LEQUAL},
        {D3DCMP_GREATER, GL_GREATER},     {D3DCMP_NOTEQUAL, GL_NOTEQUAL},
        {D3DCMP_GREATEREQUAL, GL_GEQUAL}, {D3DCMP_ALWAYS, GL_ALWAYS}};
    ExpectTable(
        "D3DCMPFUNC", [](DWORD v) { return d3d9::GlCompareFunction(v, D3DCMP_ALWAYS); }, table);
    for (DWORD unknown : {0u, 9u, 0xFFFFFFFFu}) {
        EXPECT_EQ(d3d9::GlCompareFunction(unknown, D3DCMP_LESSEQUAL), GLenum(GL_LEQUAL)); // ZFUNC
        EXPECT_EQ(d3d9::GlCompareFunction(unknown, D3DCMP_ALWAYS), GLenum(GL_ALWAYS));    // stencil
    }
}

TEST(GlTranslate, BlendFactorsEquationsAndTheBothForms) {
    const std::vector<std::pair<DWORD, GLenum>> factors = {
        {D3DBLEND_ZERO, GL_ZERO},
        {D3DBLEND_ONE, GL_ONE},
        {D3DBLEND_SRCCOLOR, GL_SRC_COLOR},
        {D3DBLEND_INVSRCCOLOR, GL_ONE_MINUS_SRC_COLOR},
        {D3DBLEND_SRCALPHA, GL_SRC_ALPHA},
        {D3DBLEND_INVSRCALPHA, GL_ONE_MINUS_SRC_ALPHA},
        {D3DBLEND_DESTALPHA, GL_DST_ALPHA},
        {D3DBLEND_INVDESTALPHA, GL_ONE_MINUS_DST_ALPHA},
        {D3DBLEND_DESTCOLOR, GL_DST_COLOR},
        {D3DBLEND_INVDESTCOLOR, GL_ONE_MINUS_DST_COLOR},
        {D3DBLEND_SRCALPHASAT, GL_SRC_ALPHA_SATURATE},
        {D3DBLEND_BLENDFACTOR, GL_CONSTANT_COLOR},
        {D3DBLEND_INVBLENDFACTOR, GL_ONE_MINUS_CONSTANT_COLOR}};
    ExpectTable(
        "D3DBLEND", [](DWORD v) { return d3d9::GlBlendFactor(v, D3DBLEND_ONE); }, factors);

    GlBlendPair both = d3d9::GlBlendFactors(D3DBLEND_BOTHSRCALPHA, D3DBLEND_ONE);
    EXPECT_EQ(both.source, GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(both.destination, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    both = d3d9::GlBlendFactors(D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE);
    EXPECT_EQ(both.source, GLenum(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_EQ(both.destination, GLenum(GL_SRC_ALPHA));
    // Unknown source reads as ONE, unknown destination as ZERO; a "both" form is no destination.
    const GlBlendPair unknown = d3d9::GlBlendFactors(0, D3DBLEND_BOTHSRCALPHA);
    EXPECT_EQ(unknown.source, GLenum(GL_ONE));
    EXPECT_EQ(unknown.destination, GLenum(GL_ZERO));

    ExpectTable("D3DBLENDOP", d3d9::GlBlendEquation,
                {{D3DBLENDOP_ADD, GL_FUNC_ADD},
                 {D3DBLENDOP_SUBTRACT, GL_FUNC_SUBTRACT},
                 {D3DBLENDOP_REVSUBTRACT, GL_FUNC_REVERSE_SUBTRACT},
                 {D3DBLENDOP_MIN, GL_MIN},
                 {D3DBLENDOP_MAX, GL_MAX},
                 {0, GL_FUNC_ADD},
                 {6, GL_FUNC_ADD}});
}

TEST(GlTranslate, StencilOperationsAndAddressModes) {
    ExpectTable("D3DSTENCILOP", d3d9::GlStencilOperation,
                {{D3DSTENCILOP_KEEP, GL_KEEP},
                 {D3DSTENCILOP_ZERO, GL_ZERO},
                 {D3DSTENCILOP_REPLACE, GL_REPLACE},
                 {D3DSTENCILOP_INCRSAT, GL_INCR},
                 {D3DSTENCILOP_DECRSAT, GL_DECR},
                 {D3DSTENCILOP_INVERT, GL_INVERT},
                 {D3DSTENCILOP_INCR, GL_INCR_WRAP},
                 {D3DSTENCILOP_DECR, GL_DECR_WRAP},
                 {0, GL_KEEP},
                 {9, GL_KEEP}});
    ExpectTable("D3DTEXTUREADDRESS", d3d9::GlAddressMode,
                {{D3DTADDRESS_WRAP, GL_REPEAT},
                 {D3DTADDRESS_MIRROR, GL_MIRRORED_REPEAT},
                 {D3DTADDRESS_CLAMP, GL_CLAMP_TO_EDGE},
                 {D3DTADDRESS_BORDER, GL_CLAMP_TO_BORDER},
                 {D3DTADDRESS_MIRRORONCE, GL_MIRROR_CLAMP_TO_EDGE},
                 {0, GL_REPEAT},
                 {6, GL_REPEAT}});
}

TEST(GlTranslate, CullingFillAndFilters) {
    const struct {
        DWORD mode;
        bool enabled;
        GLenum face;
    } culls[] = {{D3DCULL_NONE, false, GL_BACK},
                 {D3DCULL_CW, true, GL_FRONT},
                 {D3DCULL_CCW, true, GL_BACK},
                 {0, true, GL_BACK}, // unknown: Direct3D's default, counter-clockwise culled
                 {4, true, GL_BACK}};
    for (const auto& row : culls) {
        const GlCulling c = d3d9::GlCullMode(row.mode);
        EXPECT_EQ(c.enabled, row.enabled) << row.mode;
        if (c.enabled) {
            EXPECT_EQ(c.face, row.face) << row.mode;
        }
    }
    ExpectTable("D3DFILLMODE", d3d9::GlPolygonMode,
                {{D3DFILL_POINT, GL_POINT},
                 {D3DFILL_WIREFRAME, GL_LINE},
                 {D3DFILL_SOLID, GL_FILL},
                 {0, GL_FILL},
                 {4, GL_FILL}});
    ExpectTable("D3DSAMP_MAGFILTER", d3d9::GlMagFilter,
                {{D3DTEXF_NONE, GL_NEAREST},
                 {D3DTEXF_POINT, GL_NEAREST},
                 {D3DTEXF_LINEAR, GL_LINEAR},
                 {D3DTEXF_ANISOTROPIC, GL_LINEAR},
                 {D3DTEXF_PYRAMIDALQUAD, GL_LINEAR},
                 {D3DTEXF_GAUSSIANQUAD, GL_LINEAR},
                 {4, GL_NEAREST}});
    const struct {
        DWORD min, mip;
        GLenum gl;
    } mins[] = {{D3DTEXF_POINT, D3DTEXF_NONE, GL_NEAREST},
                {D3DTEXF_LINEAR, D3DTEXF_NONE, GL_LINEAR},
                {D3DTEXF_POINT, D3DTEXF_POINT, GL_NEAREST_MIPMAP_NEAREST},
                {D3DTEXF_LINEAR, D3DTEXF_POINT, GL_LINEAR_MIPMAP_NEAREST},
                {D3DTEXF_POINT, D3DTEXF_LINEAR, GL_NEAREST_MIPMAP_LINEAR},
                {D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
                {D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC, GL_LINEAR_MIPMAP_LINEAR},
                {D3DTEXF_LINEAR, 9, GL_LINEAR}, // unknown mip filter: none
                {9, D3DTEXF_POINT, GL_NEAREST_MIPMAP_NEAREST}};
    for (const auto& row : mins)
        EXPECT_EQ(GLenum(d3d9::GlMinFilter(row.min, row.mip)), row.gl) << row.min << "/" << row.mip;
}

} // namespace
