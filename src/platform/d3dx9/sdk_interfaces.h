// The D3DX interfaces our objects implement. Our own SDK headers declare only the methods this
// D3DX offers; the Windows SDK's declare D3DX's whole interfaces, in their vtable order, and the
// methods beyond ours answer as not implemented here.
#pragma once

#include <d3dx9.h>

namespace d3dx9 {

#ifdef __D3DX9MATH_INL__ // the Windows SDK's headers

struct FontInterface : ID3DXFont {
    HRESULT STDMETHODCALLTYPE GetDescW(D3DXFONT_DESCW*) override { return E_NOTIMPL; }
    BOOL STDMETHODCALLTYPE GetTextMetricsA(TEXTMETRICA*) override { return FALSE; }
    BOOL STDMETHODCALLTYPE GetTextMetricsW(TEXTMETRICW*) override { return FALSE; }
    HDC STDMETHODCALLTYPE GetDC() override { return nullptr; }
    HRESULT STDMETHODCALLTYPE GetGlyphData(UINT, IDirect3DTexture9**, RECT*, POINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PreloadCharacters(UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PreloadGlyphs(UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PreloadTextA(const char*, INT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PreloadTextW(const WCHAR*, INT) override { return E_NOTIMPL; }
    INT STDMETHODCALLTYPE DrawTextW(ID3DXSprite*, const WCHAR*, INT, RECT*, DWORD,
                                    D3DCOLOR) override {
        return 0;
    }
};

struct MeshInterface : ID3DXMesh {
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD, DWORD, IDirect3DDevice9*, ID3DXMesh**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CloneMesh(DWORD, const D3DVERTEXELEMENT9*, IDirect3DDevice9*,
                                        ID3DXMesh**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConvertPointRepsToAdjacency(const DWORD*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConvertAdjacencyToPointReps(const DWORD*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UpdateSemantics(D3DVERTEXELEMENT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Optimize(DWORD, const DWORD*, DWORD*, DWORD*, ID3DXBuffer**,
                                       ID3DXMesh**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD, const DWORD*, DWORD*, DWORD*,
                                              ID3DXBuffer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE*, DWORD) override {
        return E_NOTIMPL;
    }
};

#else

using FontInterface = ID3DXFont;
using MeshInterface = ID3DXMesh;

#endif

} // namespace d3dx9
