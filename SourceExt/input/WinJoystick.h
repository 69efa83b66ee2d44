#pragma once
// A game controller: opened through DirectInput; one that the WMI device query identifies
// as an XInput pad is read through XInput instead, with 8 axes and 13 buttons. Each frame
// the controller is polled and every change becomes an event.
#include <memory>

#include "Device.h"
#include "Steuergeraete.h"

class WinInput;

class WinJoystick : public DRENO::Joystick {
 public:
  static constexpr std::uint64_t kMaxKnoepfe = 64;
  static constexpr std::uint64_t kMaxAchsen = 16;
  static constexpr std::uint64_t kKeinSlot = ~std::uint64_t{0};
  static constexpr DWORD kAchsKennung = 0x1313;  // bits 16 to 31 of an axis's application data
  // Acquire is retried while it answers "input lost", but not for ever: an unplugged
  // device answers so every time.
  static constexpr int kAcquireVersuche = 4;

  // Throws std::runtime_error with the failing step's message.
  WinJoystick(WinInput* system, std::uint64_t id, IDirectInput8A* directInput, const GUID& instanz,
              const GUID& produkt);

  std::uint64_t GetNumButtons() const override { return knopfAnzahl; }
  std::uint64_t GetNumAnalogues() const override { return achsAnzahl; }
  bool IsButtonDown(std::uint64_t i) const override { return i < knopfAnzahl && Bit(knoepfe, i); }
  bool WasButtonPressed(std::uint64_t i) const override {
    return i < knopfAnzahl && Bit(knoepfe, i) && !Bit(vorherKnoepfe, i);
  }
  bool WasButtonReleased(std::uint64_t i) const override {
    return i < knopfAnzahl && !Bit(knoepfe, i) && Bit(vorherKnoepfe, i);
  }
  float GetAnalogueAbs(std::uint64_t i) const override { return i < achsAnzahl ? achsWerte[i] : 0.0f; }
  float GetAnalogueRel(std::uint64_t i) const override { return i < achsAnzahl ? achsAenderungen[i] : 0.0f; }

  // Numbers the axes at construction: application data and range of one axis object.
  static BOOL EnumAxisCallback(const DIDEVICEOBJECTINSTANCEA* objekt, LPVOID selbst);
  // Read through XInput from now on: 13 buttons, 8 axes.
  void SetXInputIndex(std::uint64_t slot);
  // The poll of one frame.
  void Update();
  // On focus loss every axis returns to 0 and every button goes up, with events.
  void ResetOnFocus(bool fokus);

  struct ComRelease {
    void operator()(IUnknown* objekt) const { objekt->Release(); }
  };

  IDirectInput8A* directInput;  // not owned
  std::unique_ptr<IDirectInputDevice8A, ComRelease> geraet;
  DIDEVCAPS faehigkeiten{};
  GUID instanzGuid, produktGuid;
  std::uint64_t xinputSlot = kKeinSlot;
  std::uint64_t knopfAnzahl = 0, achsAnzahl = 0;
  std::uint64_t knoepfe = 0, vorherKnoepfe = 0;
  float achsWerte[kMaxAchsen] = {};
  float achsAenderungen[kMaxAchsen] = {};
  std::uint32_t achsenNummeriert = 0;

 private:
  static bool Bit(std::uint64_t maske, std::uint64_t i) { return ((maske >> i) & 1u) != 0; }
  void LiesXInput();
  void LiesDirectInput();
  void Verarbeite(const DIDEVICEOBJECTDATA& satz);
  bool rangeFehler_ = false;
};
