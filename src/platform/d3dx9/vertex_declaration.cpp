// D3DXDeclaratorFromFVF, D3DXFVFFromDeclarator, D3DXGetDeclLength, D3DXGetDeclVertexSize and
// D3DXGetFVFVertexSize: flexible vertex formats and the vertex declarations that say the same.
#include <d3dx9.h>

namespace {

constexpr WORD kEndStream = 0xFF;

UINT TypeSize(BYTE type) {
    static const BYTE kSizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8, 0};
    return type < sizeof(kSizes) ? kSizes[type] : 0;
}

// The FVF's texture coordinate set `i`: 1 to 4 floats.
BYTE TextureType(DWORD fvf, UINT i) {
    switch ((fvf >> (16 + 2 * i)) & 3) {
    case D3DFVF_TEXTUREFORMAT1:
        return D3DDECLTYPE_FLOAT1;
    case D3DFVF_TEXTUREFORMAT3:
        return D3DDECLTYPE_FLOAT3;
    case D3DFVF_TEXTUREFORMAT4:
        return D3DDECLTYPE_FLOAT4;
    default:
        return D3DDECLTYPE_FLOAT2;
    }
}

DWORD TextureFormat(BYTE type, UINT i) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return D3DFVF_TEXCOORDSIZE1(i);
    case D3DDECLTYPE_FLOAT3:
        return D3DFVF_TEXCOORDSIZE3(i);
    case D3DDECLTYPE_FLOAT4:
        return D3DFVF_TEXCOORDSIZE4(i);
    default:
        return D3DFVF_TEXCOORDSIZE2(i);
    }
}

class DeclarationWriter {
  public:
    explicit DeclarationWriter(D3DVERTEXELEMENT9* out) : out_(out) {}
    void Add(BYTE type, BYTE usage, BYTE index) {
        out_[count_++] = {0, offset_, type, D3DDECLMETHOD_DEFAULT, usage, index};
        offset_ = static_cast<WORD>(offset_ + TypeSize(type));
    }
    void End() { out_[count_] = D3DDECL_END(); }

  private:
    D3DVERTEXELEMENT9* out_;
    UINT count_ = 0;
    WORD offset_ = 0;
};

// Reads a declaration element by element in the order an FVF lays a vertex out.
class DeclarationReader {
  public:
    explicit DeclarationReader(const D3DVERTEXELEMENT9* d) : d_(d) {}
    bool Next(BYTE usage, BYTE index) const {
        return d_[i_].Stream != kEndStream && d_[i_].Usage == usage && d_[i_].UsageIndex == index;
    }
    // The next element, if it is (usage, index) at the offset an FVF would give it.
    bool Take(BYTE usage, BYTE index, BYTE* type) {
        if (!Next(usage, index) || d_[i_].Stream != 0 || d_[i_].Offset != offset_) return false;
        *type = d_[i_].Type;
        offset_ = static_cast<WORD>(offset_ + TypeSize(*type));
        ++i_;
        return true;
    }
    bool AtEnd() const { return d_[i_].Stream == kEndStream; }

  private:
    const D3DVERTEXELEMENT9* d_;
    UINT i_ = 0;
    WORD offset_ = 0;
};

// XYZB1 to XYZB5: a position and 1 to 5 blend weights ("betas"), the last perhaps indices.
DWORD BlendPosition(UINT betas) {
    return static_cast<DWORD>(D3DFVF_XYZRHW + 2 * betas);
}
UINT BetasOf(DWORD position) {
    return (position - D3DFVF_XYZRHW) / 2;
}

} // namespace

HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) {
    if (!declaration) return D3DERR_INVALIDCALL;
    const UINT textures = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (textures > 8) return D3DERR_INVALIDCALL;
    DeclarationWriter w(declaration);
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    const DWORD last_beta = fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR);
    switch (position) {
    case 0:
        break;
    case D3DFVF_XYZ:
        w.Add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        break;
    case D3DFVF_XYZW:
        w.Add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0);
        break;
    case D3DFVF_XYZRHW:
        w.Add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5: {
        const UINT betas = BetasOf(position);
        const UINT weights = last_beta ? betas - 1 : betas;
        if (weights > 4 || last_beta == (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR))
            return D3DERR_INVALIDCALL;
        w.Add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        if (weights > 0)
            w.Add(static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + weights - 1), D3DDECLUSAGE_BLENDWEIGHT, 0);
        if (last_beta)
            w.Add(last_beta == D3DFVF_LASTBETA_UBYTE4 ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                  D3DDECLUSAGE_BLENDINDICES, 0);
        break;
    }
    default:
        return D3DERR_INVALIDCALL;
    }
    if (fvf & D3DFVF_NORMAL) w.Add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE) w.Add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) w.Add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) w.Add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    for (UINT i = 0; i < textures; ++i)
        w.Add(TextureType(fvf, i), D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i));
    w.End();
    return D3D_OK;
}

HRESULT WINAPI D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* declaration, DWORD* fvf) {
    if (!declaration || !fvf) return D3DERR_INVALIDCALL;
    if (D3DXGetDeclLength(declaration) > MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL;
    DeclarationReader r(declaration);
    DWORD out = 0;
    BYTE type = 0;
    if (r.Take(D3DDECLUSAGE_POSITION, 0, &type)) {
        if (type == D3DDECLTYPE_FLOAT4) {
            out = D3DFVF_XYZW;
        } else if (type == D3DDECLTYPE_FLOAT3) {
            out = D3DFVF_XYZ;
            UINT betas = 0;
            if (r.Take(D3DDECLUSAGE_BLENDWEIGHT, 0, &type)) {
                if (type > D3DDECLTYPE_FLOAT4) return D3DERR_INVALIDCALL;
                betas = type - D3DDECLTYPE_FLOAT1 + 1;
            }
            if (r.Take(D3DDECLUSAGE_BLENDINDICES, 0, &type)) {
                if (type == D3DDECLTYPE_UBYTE4)
                    out |= D3DFVF_LASTBETA_UBYTE4;
                else if (type == D3DDECLTYPE_D3DCOLOR)
                    out |= D3DFVF_LASTBETA_D3DCOLOR;
                else
                    return D3DERR_INVALIDCALL;
                ++betas;
            }
            if (betas > 0) out = (out & ~DWORD{D3DFVF_POSITION_MASK}) | BlendPosition(betas);
        } else {
            return D3DERR_INVALIDCALL;
        }
    } else if (r.Take(D3DDECLUSAGE_POSITIONT, 0, &type)) {
        if (type != D3DDECLTYPE_FLOAT4) return D3DERR_INVALIDCALL;
        out = D3DFVF_XYZRHW;
    }
    const struct {
        BYTE usage, index, type;
        DWORD bit;
    } kSingles[] = {{D3DDECLUSAGE_NORMAL, 0, D3DDECLTYPE_FLOAT3, D3DFVF_NORMAL},
                    {D3DDECLUSAGE_PSIZE, 0, D3DDECLTYPE_FLOAT1, D3DFVF_PSIZE},
                    {D3DDECLUSAGE_COLOR, 0, D3DDECLTYPE_D3DCOLOR, D3DFVF_DIFFUSE},
                    {D3DDECLUSAGE_COLOR, 1, D3DDECLTYPE_D3DCOLOR, D3DFVF_SPECULAR}};
    for (const auto& s : kSingles) {
        if (!r.Take(s.usage, s.index, &type)) continue;
        if (type != s.type) return D3DERR_INVALIDCALL;
        out |= s.bit;
    }
    UINT textures = 0;
    while (textures < 8 && r.Take(D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(textures), &type)) {
        if (type > D3DDECLTYPE_FLOAT4) return D3DERR_INVALIDCALL;
        out |= TextureFormat(type, textures);
        ++textures;
    }
    if (!r.AtEnd()) return D3DERR_INVALIDCALL;
    *fvf = out | (textures << D3DFVF_TEXCOUNT_SHIFT);
    return D3D_OK;
}

UINT WINAPI D3DXGetDeclLength(const D3DVERTEXELEMENT9* declaration) {
    if (!declaration) return 0;
    UINT length = 0;
    // A declaration holds at most MAXD3DDECLLENGTH elements; one without its end is not read on.
    while (length <= MAXD3DDECLLENGTH && declaration[length].Stream != kEndStream)
        ++length;
    return length;
}

UINT WINAPI D3DXGetDeclVertexSize(const D3DVERTEXELEMENT9* declaration, DWORD stream) {
    if (!declaration) return 0;
    UINT size = 0;
    const UINT length = D3DXGetDeclLength(declaration);
    for (UINT i = 0; i < length && i < MAXD3DDECLLENGTH; ++i) {
        const D3DVERTEXELEMENT9& e = declaration[i];
        if (e.Stream != stream) continue;
        const UINT end = e.Offset + TypeSize(e.Type);
        if (end > size) size = end;
    }
    return size;
}

UINT WINAPI D3DXGetFVFVertexSize(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        size = 12;
        break;
    case D3DFVF_XYZRHW:
    case D3DFVF_XYZW:
        size = 16;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        size = 12 + 4 * BetasOf(fvf & D3DFVF_POSITION_MASK);
        break;
    default:
        break;
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    const UINT textures = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT i = 0; i < textures && i < 8; ++i)
        size += TypeSize(TextureType(fvf, i));
    return size;
}
