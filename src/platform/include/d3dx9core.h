// D3DX 9's buffer and font interfaces.
#pragma once

#include <d3d9.h>

// The GDI font and text-format values that D3DX's font takes.
#ifndef LF_FACESIZE
#define LF_FACESIZE 32
#endif
#ifndef FW_NORMAL
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#endif
#ifndef SHIFTJIS_CHARSET
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#endif
#ifndef OUT_DEFAULT_PRECIS
#define OUT_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0
#endif
#ifndef DT_NOCLIP
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#endif

struct ID3DXBuffer;
struct ID3DXFont;
struct ID3DXSprite;
typedef ID3DXBuffer* LPD3DXBUFFER;
typedef ID3DXFont* LPD3DXFONT;
typedef ID3DXSprite* LPD3DXSPRITE;

inline const IID IID_ID3DXBuffer = {
    0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};
inline const IID IID_ID3DXFont = {
    0xd79dbb70, 0x5f21, 0x4d36, {0xbb, 0xc2, 0xff, 0x52, 0x5c, 0x21, 0x3c, 0xdc}};

struct ID3DXBuffer : public IUnknown {
    virtual LPVOID STDMETHODCALLTYPE GetBufferPointer() = 0;
    virtual DWORD STDMETHODCALLTYPE GetBufferSize() = 0;
};

HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);

struct D3DXFONT_DESCA {
    INT Height;
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    CHAR FaceName[LF_FACESIZE];
};
typedef D3DXFONT_DESCA D3DXFONT_DESC;

struct ID3DXFont : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* device) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescA(D3DXFONT_DESCA* desc) = 0;
    virtual INT STDMETHODCALLTYPE DrawTextA(LPD3DXSPRITE sprite, LPCSTR string, INT count,
                                            LPRECT rect, DWORD format, D3DCOLOR color) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnLostDevice() = 0;
    virtual HRESULT STDMETHODCALLTYPE OnResetDevice() = 0;
};

HRESULT WINAPI D3DXCreateFontIndirectA(LPDIRECT3DDEVICE9 device, const D3DXFONT_DESCA* desc,
                                       LPD3DXFONT* font);
#define D3DXCreateFontIndirect D3DXCreateFontIndirectA
