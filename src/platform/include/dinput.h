// The part of DirectInput 8 (dinput.h) that xofview calls: creating and releasing the object.
#pragma once

#include <windows.h>

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif

#define DI_OK S_OK
#define DI_NOTATTACHED S_FALSE
#define DIERR_OLDDIRECTINPUTVERSION MAKE_HRESULT(1, 7, 1150)  // ERROR_OLD_WIN_VERSION
#define DIERR_BETADIRECTINPUTVERSION MAKE_HRESULT(1, 7, 1153) // ERROR_RMODE_APP
#define DIERR_NOTINITIALIZED MAKE_HRESULT(1, 7, 21)           // ERROR_NOT_READY
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154)

#define DI8DEVCLASS_ALL 0
#define DIEDFL_ALLDEVICES 0x00000000

inline constexpr IID IID_IDirectInput8A = {
    0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
inline constexpr IID IID_IDirectInput8W = {
    0xBF798031, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
#define IID_IDirectInput8 IID_IDirectInput8A

struct IDirectInputDevice8A;
struct DIDEVICEINSTANCEA;
struct DIACTIONFORMATA;
struct DICONFIGUREDEVICESPARAMSA;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;
typedef BOOL(CALLBACK* LPDIENUMDEVICESCALLBACKA)(const DIDEVICEINSTANCEA*, LPVOID);
typedef BOOL(CALLBACK* LPDIENUMDEVICESBYSEMANTICSCBA)(const DIDEVICEINSTANCEA*,
                                                      LPDIRECTINPUTDEVICE8A, DWORD, DWORD, LPVOID);
typedef BOOL(CALLBACK* LPDICONFIGUREDEVICESCALLBACK)(IUnknown*, LPVOID);

// The methods in the SDK's vtable order. Only the IUnknown methods do anything here: the object
// can be created and released; device methods report E_NOTIMPL.
struct IDirectInput8A : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device,
                                                   LPUNKNOWN outer) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDevices(DWORD deviceType,
                                                  LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                                                  DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID instance) = 0;
    virtual HRESULT STDMETHODCALLTYPE RunControlPanel(HWND owner, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE instance, DWORD version) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindDevice(REFGUID classGuid, LPCSTR name,
                                                 GUID* instance) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCSTR userName,
                                                             DIACTIONFORMATA* actionFormat,
                                                             LPDIENUMDEVICESBYSEMANTICSCBA callback,
                                                             LPVOID context, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK callback,
                                                       DICONFIGUREDEVICESPARAMSA* params,
                                                       DWORD flags, LPVOID data) = 0;

  protected:
    ~IDirectInput8A() = default;
};
typedef IDirectInput8A* LPDIRECTINPUT8A;
typedef IDirectInput8A IDirectInput8;
typedef IDirectInput8A* LPDIRECTINPUT8;

// Makes a DirectInput object. The version must be 0x0800; the interface IDirectInput8A or
// IUnknown. On failure *out is null.
HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* out,
                                  LPUNKNOWN outer);
