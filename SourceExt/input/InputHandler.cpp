#include "InputHandler.h"

namespace DRENO {

InputHandler::~InputHandler() = default;

bool InputHandler::OnKey(Keyboard*, std::int32_t, bool) { return false; }
bool InputHandler::OnMouseMoved(Mouse*, float, float) { return false; }
bool InputHandler::OnMouseButton(Mouse*, std::uint64_t, bool) { return false; }
bool InputHandler::OnMouseWheel(Mouse*, float) { return false; }
bool InputHandler::OnJoystickButton(Joystick*, std::uint64_t, bool) { return false; }
bool InputHandler::OnJoystickAxis(Joystick*, std::uint64_t, float) { return false; }
bool InputHandler::OnUnicode(Keyboard*, std::uint32_t) { return false; }
bool InputHandler::OnDigitalEvent(Device*, std::uint64_t, bool) { return false; }
bool InputHandler::OnAnalogueEvent(Device*, std::uint64_t, float) { return false; }
void InputHandler::OnDigitalChannel(const DigitalChannel&) {}
void InputHandler::OnAnalogueChannel(const AnalogueChannel&) {}

}  // namespace DRENO
