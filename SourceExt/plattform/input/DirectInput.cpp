#include "DirectInput.h"

#include <algorithm>

#include "Eingabeschicht.h"
#include "Steuergeraete.h"
#include "Tastatur.h"
#include "Tastentabelle.h"

const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 24, 2, 256, 256, nullptr};

namespace {

using namespace Plattform::Eingabe;

// The system keyboard: only its key names are used.
class SystemTastatur : public ReferenzZaehler<IDirectInputDevice8A> {
 public:
  HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
    if (format == nullptr || Zustaende().fehler.datenformat) return DIERR_INVALIDPARAM;
    return DI_OK;
  }

  // DIPROP_KEYNAME by offset: the offset of a key in the keyboard format is its key code.
  HRESULT GetProperty(DIPROPERTY property, DIPROPHEADER* header) override {
    if (property != DIPROP_KEYNAME || header == nullptr || header->dwSize != sizeof(DIPROPSTRING) ||
        header->dwHeaderSize != sizeof(DIPROPHEADER) || header->dwHow != DIPH_BYOFFSET || header->dwObj > 255) {
      return DIERR_INVALIDPARAM;
    }
    const DWORD code = header->dwObj;
    const int evdev = code == 0xC5 ? 119 : EvdevFuerMake(code & 0x7F, (code & 0x80) != 0);
    auto* text = reinterpret_cast<DIPROPSTRING*>(header);
    if (evdev < 0 || !Tastenname(static_cast<unsigned>(evdev), text->wsz, 260)) return DIERR_NOTFOUND;
    return DI_OK;
  }
};

class DirectInput : public ReferenzZaehler<IDirectInput8A> {
 public:
  HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8A** device, IUnknown*) override {
    if (device == nullptr) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (IstSteuergeraet(guid)) return ErzeugeSteuergeraet(guid, device);
    if (!(guid == GUID_SysKeyboard) || Zustaende().fehler.systemTastatur) return DIERR_NOTFOUND;
    *device = new SystemTastatur();
    return DI_OK;
  }

  // The game controllers of the list frozen at creation (the system keyboard is not listed).
  HRESULT EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD) override {
    return callback ? ZaehleSteuergeraeteAuf(callback, ref) : DIERR_INVALIDPARAM;
  }
};

}  // namespace

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, IUnknown*) {
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (version != DIRECTINPUT_VERSION || !(iid == IID_IDirectInput8A) || Zustaende().fehler.directInput) {
    return DIERR_GENERIC;
  }
  FriereSteuergeraeteEin();
  *out = static_cast<IDirectInput8A*>(new DirectInput());
  return DI_OK;
}
