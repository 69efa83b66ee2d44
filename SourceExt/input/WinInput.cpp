#include "WinInput.h"

#include <stdexcept>

WinInput::WinInput(HWND window) : window_(window) {
  if (window_ == nullptr) throw std::runtime_error("HWND is not valid");
}

WinInput::~WinInput() { DestroyDevices(); }

void WinInput::Update() {
  InputSystem::Update();
  StartDeviceFrames();
  DrainRawInput();
  UpdateMice();
  EndFirstFrame();
}

// The window has no devices of its own yet, so the three device steps find nothing to do.
void WinInput::StartDeviceFrames() {}

void WinInput::DrainRawInput() {}

void WinInput::UpdateMice() {}

// On loss held keys and buttons are released, on gain the mouse is read again: both
// belong to the window's own devices, which have none to reset yet.
void WinInput::ResetDevices(bool) {}

// Needs the window's cursor services, which come with the raw-input mice.
void WinInput::PlaceCursor(bool) {}
