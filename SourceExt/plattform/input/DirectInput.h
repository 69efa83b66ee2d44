#pragma once
// DirectInput 8 as the input library calls it: the system keyboard (key names) and the
// enumeration of attached game controllers.
#include <algorithm>

#include "RohEingabe.h"

struct GUID {
  DWORD Data1;
  WORD Data2, Data3;
  BYTE Data4[8];
};
using REFGUID = const GUID&;
using REFIID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

extern const GUID IID_IDirectInput8A;
extern const GUID GUID_SysKeyboard;

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;
constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOTFOUND = static_cast<HRESULT>(0x80070002u);
constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;
constexpr DWORD DI8DEVCLASS_ALL = 0;
constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
constexpr DWORD DIEDFL_ALLDEVICES = 0;
constexpr DWORD DIEDFL_ATTACHEDONLY = 1;
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;

struct DIDATAFORMAT {
  DWORD dwSize, dwObjSize, dwFlags, dwDataSize, dwNumObjs;
  const void* rgodf;
};
// The standard keyboard format: 256 one-byte keys.
extern const DIDATAFORMAT c_dfDIKeyboard;

struct DIPROPHEADER {
  DWORD dwSize, dwHeaderSize, dwObj, dwHow;
};
struct DIPROPSTRING {
  DIPROPHEADER diph;
  WCHAR wsz[260];
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPSTRING) == 536);

// Properties are named by number, as Windows' MAKEDIPROP does.
using DIPROPERTY = UINT_PTR;
constexpr DIPROPERTY DIPROP_KEYNAME = 20;

struct DIDEVICEINSTANCEA {
  DWORD dwSize;
  GUID guidInstance, guidProduct;
  DWORD dwDevType;
  char tszInstanceName[260], tszProductName[260];
  GUID guidFFDriver;
  WORD wUsagePage, wUsage;
};
using LPDIENUMDEVICESCALLBACKA = BOOL (*)(const DIDEVICEINSTANCEA* instance, LPVOID ref);

struct IDirectInputDevice8A : IUnknown {
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  virtual HRESULT GetProperty(DIPROPERTY property, DIPROPHEADER* header) = 0;
};

struct IDirectInput8A : IUnknown {
  virtual HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8A** device, IUnknown* outer) = 0;
  virtual HRESULT EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref,
                              DWORD flags) = 0;
};

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* out, IUnknown* outer);
