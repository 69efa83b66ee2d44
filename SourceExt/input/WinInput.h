#pragma once
// The input system of the program's window. It is built over the window handle; the
// window's own devices (raw-input mice and keyboards, game controllers) and the window
// binding that feeds them are added to it step by step. Until they are, it runs the
// frame with whatever devices were added to it.
#include "InputSystem.h"
#include "WinTypen.h"

class WinInput : public DRENO::InputSystem {
 public:
  // Throws std::runtime_error "HWND is not valid" for a handle that is not a window.
  explicit WinInput(HWND window);
  ~WinInput() override;

  // One frame: the base step, then the devices' frame start, the buffered raw input, the
  // mouse positions, and last the end of every device's first frame.
  void Update() override;
  void ResetDevices(bool focus) override;
  void PlaceCursor(bool centre) override;

  HWND GetWindow() const { return window_; }

 private:
  // Mice start their frame, keyboards keep their previous key state, controllers are polled.
  void StartDeviceFrames();
  // Applies the raw input that was buffered since the last frame.
  void DrainRawInput();
  // Mice take the cursor position or the grab step and report movement.
  void UpdateMice();

  HWND window_;
};
