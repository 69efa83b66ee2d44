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
extern const GUID GUID_Joystick;

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;
constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOTFOUND = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;  // a success notice: the records read are good
constexpr HRESULT DI_NOEFFECT = S_FALSE;
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
// The extended controller format: axes at offsets 0 to 28, hats 32 to 44, buttons 48 to
// 175 (one byte each), further axes from 176 on.
extern const DIDATAFORMAT c_dfDIJoystick2;

// Device types (low byte of dwDevType) of game controllers.
constexpr DWORD DI8DEVTYPE_JOYSTICK = 0x14;
constexpr DWORD DI8DEVTYPE_GAMEPAD = 0x15;
constexpr DWORD DI8DEVTYPE_DRIVING = 0x16;
constexpr DWORD DI8DEVTYPE_FLIGHT = 0x17;
constexpr DWORD DI8DEVTYPE_1STPERSON = 0x18;

constexpr DWORD DISCL_EXCLUSIVE = 0x1;
constexpr DWORD DISCL_FOREGROUND = 0x4;
constexpr DWORD DIPH_BYID = 2;
constexpr DWORD DIDFT_ABSAXIS = 0x2;
constexpr DWORD DIDFT_AXIS = 0x3;
constexpr DWORD DIDFT_BUTTON = 0xC;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return n << 8; }

struct DIDEVCAPS {
  DWORD dwSize, dwFlags, dwDevType, dwAxes, dwButtons, dwPOVs, dwFFSamplePeriod, dwFFMinTimeResolution,
      dwFirmwareRevision, dwHardwareRevision, dwFFDriverVersion;
};
struct DIDEVICEOBJECTINSTANCEA {
  DWORD dwSize;
  GUID guidType;
  DWORD dwOfs, dwType, dwFlags;
  char tszName[260];
};
using LPDIENUMDEVICEOBJECTSCALLBACKA = BOOL (*)(const DIDEVICEOBJECTINSTANCEA* object, LPVOID ref);
// One buffered record: 24 bytes in the x64 layout.
struct DIDEVICEOBJECTDATA {
  DWORD dwOfs, dwData, dwTimeStamp, dwSequence;
  UINT_PTR uAppData;
};
static_assert(sizeof(DIDEVICEOBJECTDATA) == 24);

struct DIPROPHEADER {
  DWORD dwSize, dwHeaderSize, dwObj, dwHow;
};
struct DIPROPSTRING {
  DIPROPHEADER diph;
  WCHAR wsz[260];
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPSTRING) == 536);
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPPOINTER {
  DIPROPHEADER diph;
  UINT_PTR uData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin, lMax;
};


// Properties are named by number, as Windows' MAKEDIPROP does.
using DIPROPERTY = UINT_PTR;
constexpr DIPROPERTY DIPROP_BUFFERSIZE = 1;
constexpr DIPROPERTY DIPROP_RANGE = 4;
constexpr DIPROPERTY DIPROP_KEYNAME = 20;
constexpr DIPROPERTY DIPROP_APPDATA = 22;

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
  // What the system keyboard does not need: controllers answer these.
  virtual HRESULT SetCooperativeLevel(HWND, DWORD) { return DIERR_UNSUPPORTED; }
  virtual HRESULT SetProperty(DIPROPERTY, const DIPROPHEADER*) { return DIERR_UNSUPPORTED; }
  virtual HRESULT GetCapabilities(DIDEVCAPS*) { return DIERR_UNSUPPORTED; }
  virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) { return DIERR_UNSUPPORTED; }
  virtual HRESULT Acquire() { return DIERR_UNSUPPORTED; }
  virtual HRESULT Unacquire() { return DIERR_UNSUPPORTED; }
  virtual HRESULT Poll() { return DIERR_UNSUPPORTED; }
  virtual HRESULT GetDeviceData(DWORD, DIDEVICEOBJECTDATA*, DWORD*, DWORD) { return DIERR_UNSUPPORTED; }
};

struct IDirectInput8A : IUnknown {
  virtual HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8A** device, IUnknown* outer) = 0;
  virtual HRESULT EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref,
                              DWORD flags) = 0;
};

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* out, IUnknown* outer);
