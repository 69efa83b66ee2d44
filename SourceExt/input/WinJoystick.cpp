#include "WinJoystick.h"

#include <algorithm>
#include <stdexcept>

#include "WinInput.h"

namespace {
constexpr float kStick = 3.0518509e-05f;  // 1 / 32767
constexpr float kAbzug = 0.007874016f;    // 1 / 127
constexpr DWORD kPufferRecords = 64;

DIPROPHEADER Kopf(DWORD groesse, DWORD objekt, DWORD wie) {
  return {groesse, sizeof(DIPROPHEADER), objekt, wie};
}
}  // namespace

WinJoystick::WinJoystick(WinInput* system, std::uint64_t id, IDirectInput8A* di, const GUID& instanz,
                         const GUID& produkt)
    : DRENO::Joystick(system, id), directInput(di), instanzGuid(instanz), produktGuid(produkt) {
  IDirectInputDevice8A* roh = nullptr;
  if (FAILED(directInput->CreateDevice(instanz, &roh, nullptr)) || roh == nullptr)
    throw std::runtime_error("Could not initialize controller device");
  geraet.reset(roh);  // released also when a later step fails
  if (FAILED(geraet->SetDataFormat(&c_dfDIJoystick2))) throw std::runtime_error("Controller data format error");
  if (FAILED(geraet->SetCooperativeLevel(system->GetWindow(), DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
    throw std::runtime_error("Controller failed to set cooperation level");
  DIPROPDWORD puffer{Kopf(sizeof(DIPROPDWORD), 0, DIPH_DEVICE), kPufferRecords};
  if (FAILED(geraet->SetProperty(DIPROP_BUFFERSIZE, &puffer.diph)))
    throw std::runtime_error("Controller failed to set buffer size property");
  faehigkeiten.dwSize = sizeof faehigkeiten;
  if (FAILED(geraet->GetCapabilities(&faehigkeiten))) throw std::runtime_error("Controller failed to get capabilities");
  // The state has room for 64 buttons and 16 axes; more are not read.
  knopfAnzahl = std::min<std::uint64_t>(faehigkeiten.dwButtons, kMaxKnoepfe);
  achsAnzahl = std::min<std::uint64_t>(faehigkeiten.dwAxes, kMaxAchsen);
  achsenNummeriert = 0;
  geraet->EnumObjects(&EnumAxisCallback, this, DIDFT_AXIS);
  if (rangeFehler_) throw std::runtime_error("Controller failed to set min/max range property");
}

BOOL WinJoystick::EnumAxisCallback(const DIDEVICEOBJECTINSTANCEA* objekt, LPVOID selbst) {
  auto* j = static_cast<WinJoystick*>(selbst);
  DIPROPPOINTER app{Kopf(sizeof(DIPROPPOINTER), objekt->dwType, DIPH_BYID),
                    (static_cast<UINT_PTR>(kAchsKennung) << 16) + j->achsenNummeriert};
  if (FAILED(j->geraet->SetProperty(DIPROP_APPDATA, &app.diph))) return DIENUM_CONTINUE;
  ++j->achsenNummeriert;
  DIPROPRANGE bereich{Kopf(sizeof(DIPROPRANGE), objekt->dwType, DIPH_BYID), -32768, 32767};
  if (FAILED(j->geraet->SetProperty(DIPROP_RANGE, &bereich.diph))) {
    j->rangeFehler_ = true;
    return DIENUM_STOP;
  }
  return DIENUM_CONTINUE;
}

void WinJoystick::SetXInputIndex(std::uint64_t slot) {
  xinputSlot = slot;
  knopfAnzahl = 13;
  achsAnzahl = 8;
}

void WinJoystick::Update() {
  vorherKnoepfe = knoepfe;
  std::fill(std::begin(achsAenderungen), std::end(achsAenderungen), 0.0f);
  float vorher[kMaxAchsen];
  std::copy(std::begin(achsWerte), std::end(achsWerte), vorher);

  if (system->HasFocus()) {
    if (xinputSlot != kKeinSlot) LiesXInput();
    else LiesDirectInput();
  }

  for (std::uint64_t i = 0; i < achsAnzahl; ++i) {
    if (achsWerte[i] == vorher[i]) continue;
    achsAenderungen[i] = achsWerte[i] - vorher[i];
    if (!firstFrame) system->SendJoystickAxis(this, i, achsWerte[i]);
  }
  for (std::uint64_t i = 0; i < knopfAnzahl; ++i)
    if (Bit(knoepfe, i) != Bit(vorherKnoepfe, i) && !firstFrame) system->SendJoystickButton(this, i, Bit(knoepfe, i));
}

void WinJoystick::LiesXInput() {
  XINPUT_STATE zustand{};
  if (XInputGetState(static_cast<DWORD>(xinputSlot), &zustand) != ERROR_SUCCESS) zustand = {};
  const XINPUT_GAMEPAD& p = zustand.Gamepad;
  achsWerte[0] = std::max(p.sThumbLX * kStick, -1.0f);
  achsWerte[1] = std::max(-p.sThumbLY * kStick, -1.0f);
  achsWerte[2] = std::max(p.bLeftTrigger * kAbzug, -1.0f);
  achsWerte[3] = std::max(p.sThumbRX * kStick, -1.0f);
  achsWerte[4] = std::max(-p.sThumbRY * kStick, -1.0f);
  achsWerte[5] = std::max(p.bRightTrigger * kAbzug, -1.0f);
  achsWerte[6] = ((p.wButtons & XINPUT_GAMEPAD_DPAD_RIGHT) ? 1.0f : 0.0f) + ((p.wButtons & XINPUT_GAMEPAD_DPAD_LEFT) ? -1.0f : 0.0f);
  achsWerte[7] = ((p.wButtons & XINPUT_GAMEPAD_DPAD_DOWN) ? 1.0f : 0.0f) + ((p.wButtons & XINPUT_GAMEPAD_DPAD_UP) ? -1.0f : 0.0f);
  static constexpr WORD kKnoepfe[] = {XINPUT_GAMEPAD_A,           XINPUT_GAMEPAD_B,
                                      XINPUT_GAMEPAD_X,           XINPUT_GAMEPAD_Y,
                                      XINPUT_GAMEPAD_LEFT_SHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER,
                                      XINPUT_GAMEPAD_START,       XINPUT_GAMEPAD_BACK,
                                      0,                          XINPUT_GAMEPAD_LEFT_THUMB,
                                      XINPUT_GAMEPAD_RIGHT_THUMB};
  knoepfe = 0;
  for (std::uint64_t i = 0; i < std::size(kKnoepfe); ++i)
    if (kKnoepfe[i] != 0 && (p.wButtons & kKnoepfe[i])) knoepfe |= std::uint64_t{1} << i;
}

void WinJoystick::LiesDirectInput() {
  DIDEVICEOBJECTDATA saetze[kPufferRecords];
  DWORD anzahl = kPufferRecords;
  HRESULT hr = geraet->Poll();
  // Success notices (a full buffer, nothing to poll) still deliver good records.
  if (SUCCEEDED(hr)) hr = geraet->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), saetze, &anzahl, 0);
  if (FAILED(hr)) {
    hr = DIERR_INPUTLOST;
    for (int versuch = 0; versuch < kAcquireVersuche && hr == DIERR_INPUTLOST; ++versuch) hr = geraet->Acquire();
    geraet->Poll();
    if (anzahl > kPufferRecords) anzahl = kPufferRecords;
    hr = geraet->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), saetze, &anzahl, 0);
    if (FAILED(hr)) {
      // Nothing can be read: everything at rest. The previous state stays, so the
      // changes below send the releases.
      knoepfe = 0;
      std::fill(std::begin(achsWerte), std::end(achsWerte), 0.0f);
      return;
    }
  }
  for (DWORD i = 0; i < anzahl; ++i) Verarbeite(saetze[i]);
}

void WinJoystick::Verarbeite(const DIDEVICEOBJECTDATA& satz) {
  const DWORD ofs = satz.dwOfs;
  if (ofs >= 32 && ofs <= 44) return;  // hats
  if (ofs >= 48 && ofs <= 175) {
    const std::uint64_t knopf = ofs - 48;
    if (knopf >= kMaxKnoepfe) return;
    const std::uint64_t bit = std::uint64_t{1} << knopf;
    knoepfe = (satz.dwData & 0x80) ? (knoepfe | bit) : (knoepfe & ~bit);
    return;
  }
  if (((satz.uAppData >> 16) & 0xFFFF) != kAchsKennung) return;
  const std::uint64_t achse = satz.uAppData & 0xFFFF;
  // The record carries the signed value of the range -32768 ... 32767.
  if (achse < achsAnzahl) achsWerte[achse] = std::max(static_cast<LONG>(satz.dwData) * kStick, -1.0f);
}

void WinJoystick::ResetOnFocus(bool fokus) {
  if (fokus) return;
  for (std::uint64_t i = 0; i < achsAnzahl; ++i) {
    if (achsWerte[i] == 0.0f) continue;
    achsAenderungen[i] = -achsWerte[i];
    achsWerte[i] = 0.0f;
    system->SendJoystickAxis(this, i, 0.0f);
  }
  for (std::uint64_t i = 0; i < knopfAnzahl; ++i) {
    if (!Bit(knoepfe, i)) continue;
    knoepfe &= ~(std::uint64_t{1} << i);
    vorherKnoepfe |= std::uint64_t{1} << i;
    system->SendJoystickButton(this, i, false);
  }
}
