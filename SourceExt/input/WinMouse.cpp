#include "WinMouse.h"

#include "WinInput.h"

WinMouse::WinMouse(WinInput* system, std::uint64_t id, HANDLE handle) : Mouse(system, id), handle(handle) {
  POINT cursor;
  if (GetCursorPos(&cursor) && ScreenToClient(system->GetWindow(), &cursor)) {
    x = static_cast<float>(cursor.x);
    y = static_cast<float>(cursor.y);
  }
}

WinInput* WinMouse::Input() const { return static_cast<WinInput*>(system); }

WinMouse* WinMouse::Target() {
  if (Input()->GetSeparateDevices()) return this;
  auto* first = dynamic_cast<WinMouse*>(Input()->GetMouseByIndex(0));
  return first != nullptr ? first : this;
}

bool WinMouse::IsButtonDown(std::uint64_t i) const { return i < 8 && ((buttons >> i) & 1u) != 0; }

bool WinMouse::WasButtonPressed(std::uint64_t i) const {
  return IsButtonDown(i) && ((previousButtons >> i) & 1u) == 0;
}

bool WinMouse::WasButtonReleased(std::uint64_t i) const {
  return i < 8 && !IsButtonDown(i) && ((previousButtons >> i) & 1u) != 0;
}

float WinMouse::GetAnalogueAbs(std::uint64_t i) const {
  switch (i) {
    case 0: return x;
    case 1: return y;
    case 2: return wheel;
    default: return 0.0f;
  }
}

float WinMouse::GetAnalogueRel(std::uint64_t i) const {
  switch (i) {
    case 0: return changeX;
    case 1: return changeY;
    case 2: return wheel - previousWheel;
    default: return 0.0f;
  }
}

void WinMouse::StartFrame() {
  previousButtons = buttons;
  previousWheel = wheel;
  wheel = 0;
  if (previousWheel != 0) SendAnalogue(0);
  changeX = pendingX;
  changeY = pendingY;
  pendingX = pendingY = 0;
  draining = true;
}

void WinMouse::HandleRawInput(const RAWMOUSE& record) {
  // Unlike keyboards, a mouse in its first frame still applies its records.
  if (!firstFrame) Input()->SwapMiceOnActivity(this);
  for (std::uint64_t button = 0; button < 5; ++button) {
    const unsigned flags = record.usButtonFlags >> (2 * button);
    if (flags & 1u) SetButtonState(button, true);
    if (flags & 2u) SetButtonState(button, false);
  }
  if (record.usButtonFlags & RI_MOUSE_WHEEL) {
    SendAnalogue(static_cast<float>(static_cast<SHORT>(record.usButtonData)));
  }
  if (!Input()->GetSeparateDevices()) return;
  float& targetX = draining ? changeX : pendingX;
  float& targetY = draining ? changeY : pendingY;
  const float newX = static_cast<float>(record.lLastX), newY = static_cast<float>(record.lLastY);
  if (record.usFlags & MOUSE_MOVE_ABSOLUTE) {
    if (newX != x || newY != y) {
      targetX += newX - x;
      targetY += newY - y;
      x = newX;
      y = newY;
    }
  } else if (record.lLastX != 0 || record.lLastY != 0) {
    targetX += newX;
    targetY += newY;
    x += newX;
    y += newY;
  }
}

void WinMouse::SetButtonState(std::uint64_t button, bool down) {
  WinMouse* target = Target();
  if (button >= 32 || target->IsButtonDown(button) == down) return;
  const std::uint32_t bit = 1u << button;
  target->buttons = down ? (target->buttons | bit) : (target->buttons & ~bit);
  Input()->SendMouseButton(target, button, down);
}

void WinMouse::SendAnalogue(float change) {
  WinMouse* target = Target();
  target->wheel += change;
  Input()->SendMouseWheel(target, change);
}

void WinMouse::ReleaseAllButtons() {
  for (std::uint64_t button = 0; button < 8; ++button) {
    if (!IsButtonDown(button)) continue;
    SetButtonState(button, false);
    previousButtons |= 1u << button;
  }
}
