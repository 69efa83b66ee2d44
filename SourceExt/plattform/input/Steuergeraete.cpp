#include "Steuergeraete.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

const GUID GUID_Joystick = {0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), 24, 1, 272, 164, nullptr};
const GUID CLSID_WbemLocator = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0, 0xAA, 0, 0x4B, 0x2E, 0x24}};
const GUID IID_IWbemLocator = {0xDC12A687, 0x737F, 0x11CF, {0x88, 0x4D, 0, 0xAA, 0, 0x4B, 0x2E, 0x24}};

namespace Plattform::Eingabe {

namespace {

constexpr DWORD kInstanzKennung = 0x4A0F0000;

// "PIDVID" in the product GUID's tail, as DirectInput's product GUIDs carry it.
constexpr BYTE kProduktEnde[8] = {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'};

SHORT Stick(float wert) {
  return static_cast<SHORT>(std::clamp(std::lround(wert * 32767.0f), -32768l, 32767l));
}
BYTE Abzug(float wert) { return static_cast<BYTE>(std::clamp(std::lround((wert + 1.0f) * 127.5f), 0l, 255l)); }

// GLFW's GUID text holds the vendor at hex digits 8 to 11 and the product at 16 to 19,
// each little-endian.
WORD AusGuid(const char* guid, int stelle) {
  if (!guid || std::strlen(guid) < 32) return 0;
  unsigned lo = 0, hi = 0;
  if (std::sscanf(guid + stelle, "%2x%2x", &lo, &hi) != 2) return 0;
  return static_cast<WORD>(hi << 8 | lo);
}

// Reads the current state of a controller backed by a GLFW joystick.
void LiesGlfw(Steuergeraet& s) {
  if (s.glfw < 0) return;
  s.angeschlossen = glfwJoystickPresent(s.glfw) == GLFW_TRUE;
  if (!s.angeschlossen) return;
  int n = 0;
  if (const float* achsen = glfwGetJoystickAxes(s.glfw, &n))
    for (int i = 0; i < n && i < static_cast<int>(s.achsWerte.size()); ++i)
      s.achsWerte[static_cast<std::size_t>(i)] = Stick(achsen[i]);
  if (const unsigned char* knoepfe = glfwGetJoystickButtons(s.glfw, &n))
    for (int i = 0; i < n && i < static_cast<int>(s.knopfWerte.size()); ++i)
      s.knopfWerte[static_cast<std::size_t>(i)] = knoepfe[i] == GLFW_PRESS;
  GLFWgamepadstate g;
  if (s.gamepad && glfwGetGamepadState(s.glfw, &g)) {
    static const std::pair<int, WORD> kKnoepfe[] = {
        {GLFW_GAMEPAD_BUTTON_A, XINPUT_GAMEPAD_A},
        {GLFW_GAMEPAD_BUTTON_B, XINPUT_GAMEPAD_B},
        {GLFW_GAMEPAD_BUTTON_X, XINPUT_GAMEPAD_X},
        {GLFW_GAMEPAD_BUTTON_Y, XINPUT_GAMEPAD_Y},
        {GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, XINPUT_GAMEPAD_LEFT_SHOULDER},
        {GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER, XINPUT_GAMEPAD_RIGHT_SHOULDER},
        {GLFW_GAMEPAD_BUTTON_BACK, XINPUT_GAMEPAD_BACK},
        {GLFW_GAMEPAD_BUTTON_START, XINPUT_GAMEPAD_START},
        {GLFW_GAMEPAD_BUTTON_LEFT_THUMB, XINPUT_GAMEPAD_LEFT_THUMB},
        {GLFW_GAMEPAD_BUTTON_RIGHT_THUMB, XINPUT_GAMEPAD_RIGHT_THUMB},
        {GLFW_GAMEPAD_BUTTON_DPAD_UP, XINPUT_GAMEPAD_DPAD_UP},
        {GLFW_GAMEPAD_BUTTON_DPAD_DOWN, XINPUT_GAMEPAD_DPAD_DOWN},
        {GLFW_GAMEPAD_BUTTON_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT},
        {GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, XINPUT_GAMEPAD_DPAD_RIGHT},
    };
    s.pad = {};
    for (const auto& [glfw, xinput] : kKnoepfe)
      if (g.buttons[glfw] == GLFW_PRESS) s.pad.wButtons |= xinput;
    // GLFW's sticks point down with positive y, XInput's up.
    s.pad.sThumbLX = Stick(g.axes[GLFW_GAMEPAD_AXIS_LEFT_X]);
    s.pad.sThumbLY = Stick(-g.axes[GLFW_GAMEPAD_AXIS_LEFT_Y]);
    s.pad.sThumbRX = Stick(g.axes[GLFW_GAMEPAD_AXIS_RIGHT_X]);
    s.pad.sThumbRY = Stick(-g.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y]);
    s.pad.bLeftTrigger = Abzug(g.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER]);
    s.pad.bRightTrigger = Abzug(g.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER]);
  }
}

// The DirectInput device of one controller: buffered records of every change since the
// last poll, each axis object with its application data.
class SteuergeraetDI : public ReferenzZaehler<IDirectInputDevice8A> {
 public:
  explicit SteuergeraetDI(std::size_t nummer) : nummer_(nummer) {}

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
    Steuergeraet& s = Geraet("SetDataFormat");
    if (format != &c_dfDIJoystick2) return DIERR_INVALIDPARAM;
    return s.datenformat;
  }
  HRESULT GetProperty(DIPROPERTY, DIPROPHEADER*) override { return DIERR_UNSUPPORTED; }
  HRESULT SetCooperativeLevel(HWND, DWORD) override { return Geraet("SetCooperativeLevel").kooperation; }

  HRESULT SetProperty(DIPROPERTY eigenschaft, const DIPROPHEADER* kopf) override {
    if (!kopf) return DIERR_INVALIDPARAM;
    if (eigenschaft == DIPROP_BUFFERSIZE) {
      Steuergeraet& s = Geraet("SetProperty BUFFERSIZE");
      if (s.puffergroesse != DI_OK) return s.puffergroesse;
      puffer_ = reinterpret_cast<const DIPROPDWORD*>(kopf)->dwData;
      return DI_OK;
    }
    const std::size_t achse = kopf->dwObj >> 8;
    if (kopf->dwHow != DIPH_BYID || achse >= Geraet("").achsen) return DIERR_NOTFOUND;
    if (eigenschaft == DIPROP_APPDATA) {
      Steuergeraet& s = Geraet("SetProperty APPDATA");
      if (s.appDaten != DI_OK) return s.appDaten;
      appDaten_[achse] = reinterpret_cast<const DIPROPPOINTER*>(kopf)->uData;
      return DI_OK;
    }
    if (eigenschaft == DIPROP_RANGE) return Geraet("SetProperty RANGE").bereich;
    return DIERR_UNSUPPORTED;
  }

  HRESULT GetCapabilities(DIDEVCAPS* caps) override {
    Steuergeraet& s = Geraet("GetCapabilities");
    if (!caps) return DIERR_INVALIDPARAM;
    if (s.faehigkeiten != DI_OK) return s.faehigkeiten;
    *caps = {};
    caps->dwSize = sizeof(DIDEVCAPS);
    caps->dwDevType = s.typ;
    caps->dwAxes = s.achsen;
    caps->dwButtons = s.knoepfe;
    return DI_OK;
  }

  HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA rueckruf, LPVOID ref, DWORD) override {
    if (!rueckruf) return DIERR_INVALIDPARAM;
    for (DWORD i = 0; i < Geraet("EnumObjects").achsen; ++i) {
      DIDEVICEOBJECTINSTANCEA objekt{};
      objekt.dwSize = sizeof objekt;
      objekt.dwOfs = Versatz(i);
      objekt.dwType = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i);
      std::snprintf(objekt.tszName, sizeof objekt.tszName, "Achse %u", static_cast<unsigned>(i));
      if (rueckruf(&objekt, ref) == DIENUM_STOP) break;
    }
    return DI_OK;
  }

  HRESULT Acquire() override {
    Steuergeraet& s = Geraet("Acquire");
    if (!s.angeschlossen || s.verloren < 0) return DIERR_INPUTLOST;
    if (s.verloren > 0) {
      --s.verloren;
      return DIERR_INPUTLOST;
    }
    if (!erworben_) Merke(s);  // changes before acquiring are not buffered
    erworben_ = true;
    return DI_OK;
  }
  HRESULT Unacquire() override {
    erworben_ = false;
    return DI_OK;
  }

  HRESULT Poll() override {
    Steuergeraet& s = Geraet("Poll");
    if (!erworben_) return DIERR_NOTACQUIRED;
    LiesGlfw(s);
    if (!s.angeschlossen) {
      erworben_ = false;
      return DIERR_INPUTLOST;
    }
    if (FAILED(s.poll)) return s.poll;
    Puffere(s);
    return s.poll;
  }

  HRESULT GetDeviceData(DWORD groesse, DIDEVICEOBJECTDATA* daten, DWORD* anzahl, DWORD) override {
    Steuergeraet& s = Geraet("GetDeviceData");
    if (groesse != sizeof(DIDEVICEOBJECTDATA) || !anzahl) return DIERR_INVALIDPARAM;
    if (!erworben_) return DIERR_NOTACQUIRED;
    HRESULT antwort = DI_OK;
    if (!s.lesen.empty()) {
      antwort = s.lesen.front();
      s.lesen.pop_front();
    }
    if (FAILED(antwort)) return antwort;
    DWORD n = 0;
    while (n < *anzahl && !schlange_.empty()) {
      if (daten) daten[n] = schlange_.front();
      schlange_.pop_front();
      ++n;
    }
    *anzahl = n;
    return ueberlauf_ ? (ueberlauf_ = false, DI_BUFFEROVERFLOW) : antwort;
  }

 private:
  static DWORD Versatz(DWORD achse) { return achse < 8 ? 4 * achse : 176 + 4 * (achse - 8); }

  Steuergeraet& Geraet(const char* aufruf) {
    Steuergeraet& s = Steuergeraete().liste[nummer_];
    if (*aufruf) s.aufrufe.emplace_back(aufruf);
    return s;
  }
  void Merke(const Steuergeraet& s) {
    achsen_ = s.achsWerte;
    knoepfe_ = s.knopfWerte;
  }
  void Reihe(DWORD versatz, DWORD daten, UINT_PTR app) {
    if (schlange_.size() >= puffer_) {
      ueberlauf_ = true;
      if (schlange_.empty()) return;
      schlange_.pop_front();
    }
    schlange_.push_back({versatz, daten, 0, ++folge_, app});
  }
  void Puffere(const Steuergeraet& s) {
    for (std::size_t i = 0; i < s.achsWerte.size() && i < achsen_.size(); ++i)
      if (s.achsWerte[i] != achsen_[i]) {
        const auto app = appDaten_.find(i);
        Reihe(Versatz(static_cast<DWORD>(i)), static_cast<DWORD>(s.achsWerte[i]),
              app == appDaten_.end() ? ~UINT_PTR{0} : app->second);
      }
    for (std::size_t i = 0; i < s.knopfWerte.size() && i < knoepfe_.size() && i < 128; ++i)
      if (s.knopfWerte[i] != knoepfe_[i]) Reihe(48 + static_cast<DWORD>(i), s.knopfWerte[i] ? 0x80 : 0, ~UINT_PTR{0});
    Merke(s);
  }

  std::size_t nummer_;
  bool erworben_ = false;
  bool ueberlauf_ = false;
  DWORD puffer_ = 0;
  DWORD folge_ = 0;
  std::map<std::size_t, UINT_PTR> appDaten_;
  std::vector<LONG> achsen_;
  std::vector<bool> knoepfe_;
  std::deque<DIDEVICEOBJECTDATA> schlange_;
};

}  // namespace

SteuergeraeteZustand& Steuergeraete() {
  static SteuergeraeteZustand zustand;
  return zustand;
}

void SetzeSteuergeraeteZurueck() {
  Steuergeraete() = SteuergeraeteZustand{};
  Steuergeraete().vonTest = true;
}

void FriereSteuergeraeteEin() {
  SteuergeraeteZustand& z = Steuergeraete();
  if (z.vonTest) {
    for (Steuergeraet& s : z.liste) {
      s.achsWerte.resize(s.achsen);
      s.knopfWerte.resize(s.knoepfe);
    }
    z.eingefroren = true;
    return;
  }
  z.liste.clear();
  for (int j = GLFW_JOYSTICK_1; j <= GLFW_JOYSTICK_LAST; ++j) {
    if (glfwJoystickPresent(j) != GLFW_TRUE) continue;
    Steuergeraet s;
    s.glfw = j;
    const char* name = glfwGetJoystickName(j);
    s.name = name ? name : "";
    const char* guid = glfwGetJoystickGUID(j);
    s.hersteller = AusGuid(guid, 8);
    s.produkt = AusGuid(guid, 16);
    s.gamepad = glfwJoystickIsGamepad(j) == GLFW_TRUE;
    s.typ = s.gamepad ? DI8DEVTYPE_GAMEPAD : DI8DEVTYPE_JOYSTICK;
    int n = 0;
    glfwGetJoystickAxes(j, &n);
    s.achsen = static_cast<DWORD>(n);
    glfwGetJoystickButtons(j, &n);
    s.knoepfe = static_cast<DWORD>(n);
    s.achsWerte.resize(s.achsen);
    s.knopfWerte.resize(s.knoepfe);
    LiesGlfw(s);
    z.liste.push_back(std::move(s));
  }
  z.eingefroren = true;
}

GUID InstanzGuid(std::size_t i) {
  return {kInstanzKennung + static_cast<DWORD>(i), 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
}

GUID ProduktGuid(const Steuergeraet& s) {
  GUID g{static_cast<DWORD>(s.produkt) << 16 | s.hersteller, 0, 0, {}};
  std::memcpy(g.Data4, kProduktEnde, 8);
  return g;
}

HRESULT ZaehleSteuergeraeteAuf(LPDIENUMDEVICESCALLBACKA rueckruf, LPVOID ref) {
  const auto& liste = Steuergeraete().liste;
  for (std::size_t i = 0; i < liste.size(); ++i) {
    if (!liste[i].angeschlossen) continue;
    DIDEVICEINSTANCEA instanz{};
    instanz.dwSize = sizeof instanz;
    instanz.guidInstance = InstanzGuid(i);
    instanz.guidProduct = ProduktGuid(liste[i]);
    instanz.dwDevType = liste[i].typ;
    std::snprintf(instanz.tszInstanceName, sizeof instanz.tszInstanceName, "%s", liste[i].name.c_str());
    std::snprintf(instanz.tszProductName, sizeof instanz.tszProductName, "%s", liste[i].name.c_str());
    if (rueckruf(&instanz, ref) == DIENUM_STOP) break;
  }
  return DI_OK;
}

bool IstSteuergeraet(REFGUID instanz) {
  const DWORD i = instanz.Data1 - kInstanzKennung;
  return instanz == InstanzGuid(i) && i < Steuergeraete().liste.size();
}

HRESULT ErzeugeSteuergeraet(REFGUID instanz, IDirectInputDevice8A** geraet) {
  const std::size_t i = instanz.Data1 - kInstanzKennung;
  Steuergeraet& s = Steuergeraete().liste[i];
  s.aufrufe.emplace_back("CreateDevice");
  if (s.erzeugen != DI_OK) return s.erzeugen;
  *geraet = new SteuergeraetDI(i);
  return DI_OK;
}

}  // namespace Plattform::Eingabe

using namespace Plattform::Eingabe;

DWORD XInputGetState(DWORD slot, XINPUT_STATE* zustand) {
  if (!zustand) return ERROR_DEVICE_NOT_CONNECTED;
  // Slot n is the n-th gamepad in the order the device query lists them.
  DWORD n = 0;
  for (Steuergeraet& s : Steuergeraete().liste) {
    if (!s.gamepad || n++ != slot) continue;
    LiesGlfw(s);
    if (!s.angeschlossen) return ERROR_DEVICE_NOT_CONNECTED;
    zustand->dwPacketNumber = 0;
    zustand->Gamepad = s.pad;
    return ERROR_SUCCESS;
  }
  return ERROR_DEVICE_NOT_CONNECTED;
}
