#pragma once
// The raw-input mouse. In shared mode (separate devices off) its position is the cursor in
// the window's client area; with separate devices on it sums its own movement.
#include "Device.h"
#include "RohEingabe.h"

class WinInput;

class WinMouse : public DRENO::Mouse {
 public:
  // Starts at the cursor's client position.
  WinMouse(WinInput* system, std::uint64_t id, HANDLE handle);

  std::uint64_t GetNumButtons() const override { return 8; }
  std::uint64_t GetNumAnalogues() const override { return 3; }
  bool IsButtonDown(std::uint64_t index) const override;
  bool WasButtonPressed(std::uint64_t index) const override;
  bool WasButtonReleased(std::uint64_t index) const override;
  float GetAnalogueAbs(std::uint64_t index) const override;
  float GetAnalogueRel(std::uint64_t index) const override;
  float GetMouseX() const override { return x; }
  float GetMouseY() const override { return y; }
  float GetRelMouseX() const override { return changeX; }
  float GetRelMouseY() const override { return changeY; }

  // The mouse part of a record, found by the input system as for keyboards.
  void HandleRawInput(const RAWMOUSE& record);
  void SetButtonState(std::uint64_t button, bool down);
  // The wheel event: one notch is 120.
  void SendAnalogue(float change);
  // Frame start: keeps the previous buttons and wheel, takes the movement that came as
  // messages, and lets the wheel come to rest.
  void StartFrame();
  // After a focus loss: every held button goes up with its event and reads as released.
  void ReleaseAllButtons();

  HANDLE handle;
  float x = 0, y = 0;
  float changeX = 0, changeY = 0;
  float wheel = 0, previousWheel = 0;
  std::uint32_t buttons = 0, previousButtons = 0;
  bool draining = false;
  float pendingX = 0, pendingY = 0;

 private:
  // The mouse that takes this one's changes: mouse 0 unless devices are separate.
  WinMouse* Target();
  WinInput* Input() const;
};
