#pragma once
// Game controllers as the input library calls them: DirectInput devices for every
// controller, XInput 1.3 for gamepads, and the COM and WMI calls that tell the two apart
// ("IG_" in a device id). Behind them stands one list of controllers, frozen when
// DirectInput is created: GLFW's joysticks, or the list a test sets up.
#include <deque>
#include <string>
#include <vector>

#include "DirectInput.h"

// XInput 1.3.
constexpr WORD XINPUT_GAMEPAD_DPAD_UP = 0x0001, XINPUT_GAMEPAD_DPAD_DOWN = 0x0002, XINPUT_GAMEPAD_DPAD_LEFT = 0x0004,
               XINPUT_GAMEPAD_DPAD_RIGHT = 0x0008, XINPUT_GAMEPAD_START = 0x0010, XINPUT_GAMEPAD_BACK = 0x0020,
               XINPUT_GAMEPAD_LEFT_THUMB = 0x0040, XINPUT_GAMEPAD_RIGHT_THUMB = 0x0080,
               XINPUT_GAMEPAD_LEFT_SHOULDER = 0x0100, XINPUT_GAMEPAD_RIGHT_SHOULDER = 0x0200,
               XINPUT_GAMEPAD_A = 0x1000, XINPUT_GAMEPAD_B = 0x2000, XINPUT_GAMEPAD_X = 0x4000,
               XINPUT_GAMEPAD_Y = 0x8000;
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

struct XINPUT_GAMEPAD {
  WORD wButtons;
  BYTE bLeftTrigger, bRightTrigger;
  SHORT sThumbLX, sThumbLY, sThumbRX, sThumbRY;
};
struct XINPUT_STATE {
  DWORD dwPacketNumber;
  XINPUT_GAMEPAD Gamepad;
};
DWORD XInputGetState(DWORD slot, XINPUT_STATE* state);

// COM and WMI, as far as the device query needs them.
using BSTR = WCHAR*;
BSTR SysAllocString(const WCHAR* text);
void SysFreeString(BSTR text);
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();

constexpr WORD VT_EMPTY = 0;
constexpr WORD VT_BSTR = 8;
struct VARIANT {
  WORD vt;
  BSTR bstrVal;
};
void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD RPC_C_AUTHN_WINNT = 10, RPC_C_AUTHZ_NONE = 0, RPC_C_AUTHN_LEVEL_CALL = 3,
                RPC_C_IMP_LEVEL_IMPERSONATE = 3, EOAC_NONE = 0;
constexpr HRESULT WBEM_S_FALSE = S_FALSE;  // fewer objects than asked for

struct IWbemClassObject : IUnknown {
  virtual HRESULT Get(const WCHAR* name, LONG flags, VARIANT* value, LONG* type, LONG* flavor) = 0;
};
struct IEnumWbemClassObject : IUnknown {
  virtual HRESULT Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) = 0;
};
struct IWbemServices : IUnknown {
  virtual HRESULT CreateInstanceEnum(const BSTR klass, LONG flags, void* context, IEnumWbemClassObject** out) = 0;
};
struct IWbemLocator : IUnknown {
  virtual HRESULT ConnectServer(const BSTR space, const BSTR user, const BSTR password, const BSTR locale,
                                LONG flags, const BSTR authority, void* context, IWbemServices** out) = 0;
};
extern const GUID CLSID_WbemLocator;
extern const GUID IID_IWbemLocator;
HRESULT CoCreateInstance(REFGUID klass, IUnknown* outer, DWORD context, REFIID iid, LPVOID* out);
HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD authn, DWORD authz, WCHAR* principal, DWORD level, DWORD impersonation,
                          void* identity, DWORD capabilities);

namespace Plattform::Eingabe {

// One controller of the frozen list, with its live state and the faults a test injects.
struct Steuergeraet {
  std::string name;
  WORD hersteller = 0, produkt = 0;
  bool gamepad = false;  // read through XInput; listed by WMI with "IG_"
  DWORD typ = DI8DEVTYPE_GAMEPAD;
  DWORD achsen = 0, knoepfe = 0;  // what the capabilities report
  int glfw = -1;                  // the GLFW joystick behind it; -1: state set by a test

  // Live state: axes in -32768 ... 32767, buttons, and the gamepad as XInput reports it.
  std::vector<LONG> achsWerte;
  std::vector<bool> knopfWerte;
  XINPUT_GAMEPAD pad{};
  bool angeschlossen = true;

  // Injected answers; DI_OK is none. A success notice (S_FALSE) still hands out records.
  HRESULT erzeugen = DI_OK, datenformat = DI_OK, kooperation = DI_OK, puffergroesse = DI_OK, faehigkeiten = DI_OK,
          bereich = DI_OK, appDaten = DI_OK, poll = DI_OK;
  std::deque<HRESULT> lesen;  // answers of the next reads, in turn
  int verloren = 0;           // Acquire answers DIERR_INPUTLOST this often (-1: always)

  // Calls made on the device, by name.
  std::vector<std::string> aufrufe;
};

struct SteuergeraeteZustand {
  std::vector<Steuergeraet> liste;
  bool vonTest = false;  // the list is the test's: GLFW is not asked
  bool eingefroren = false;
  // Device ids of further WMI entries (not controllers), listed first.
  std::vector<std::string> wmiWeitere;
  struct {
    bool coInit = false, locator = false, verbinden = false, blanket = false, aufzaehlen = false, naechstes = false,
         lesen = false;
  } wmiFehler;
  int comOffen = 0;  // CoInitialize not yet undone
  int wmiObjekte = 0;  // WMI objects and strings not yet released
};

SteuergeraeteZustand& Steuergeraete();
// For tests: an empty list of their own, nothing injected.
void SetzeSteuergeraeteZurueck();
// Called when DirectInput is created: takes GLFW's joysticks unless a test set the list.
void FriereSteuergeraeteEin();

// DirectInput's side: the controllers' instances and their devices.
HRESULT ZaehleSteuergeraeteAuf(LPDIENUMDEVICESCALLBACKA callback, LPVOID ref);
bool IstSteuergeraet(REFGUID instanz);
HRESULT ErzeugeSteuergeraet(REFGUID instanz, IDirectInputDevice8A** geraet);

// The instance and product GUIDs of controller `i`.
GUID InstanzGuid(std::size_t i);
GUID ProduktGuid(const Steuergeraet& s);

}  // namespace Plattform::Eingabe
