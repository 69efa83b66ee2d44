#pragma once
// The application's event sink. The input system offers each event to the installed
// handler; an operation that returns true takes the event, so nothing later in the event's
// chain sees it. The defaults take nothing.
#include <cstdint>

#include "Channels.h"

namespace DRENO {

class Device;
class Joystick;
class Keyboard;
class Mouse;

class InputHandler {
 public:
  virtual ~InputHandler();

  // key: scan code 0 to 255.
  virtual bool OnKey(Keyboard* keyboard, std::int32_t key, bool down);
  // x, y: the new position.
  virtual bool OnMouseMoved(Mouse* mouse, float x, float y);
  virtual bool OnMouseButton(Mouse* mouse, std::uint64_t button, bool down);
  virtual bool OnMouseWheel(Mouse* mouse, float change);
  virtual bool OnJoystickButton(Joystick* joystick, std::uint64_t button, bool down);
  virtual bool OnJoystickAxis(Joystick* joystick, std::uint64_t axis, float value);
  // character: one UTF-16 code unit.
  virtual bool OnUnicode(Keyboard* keyboard, std::uint32_t character);
  virtual bool OnDigitalEvent(Device* device, std::uint64_t control, bool down);
  virtual bool OnAnalogueEvent(Device* device, std::uint64_t axis, float value);
  virtual void OnDigitalChannel(const DigitalChannel& channel);
  virtual void OnAnalogueChannel(const AnalogueChannel& channel);
};

}  // namespace DRENO
