// The input system's event chains, key repeat and channel update.
#include <algorithm>

#include "InputSystem.h"

namespace DRENO {

// Offers an event to one handler operation; true when the handler takes it.
#define DRENO_OFFER(call) (inputHandler_ != nullptr && inputHandler_->call)

void InputSystem::SendKeyEvent(Keyboard* keyboard, std::int32_t key, std::uint64_t character,
                               bool down) {
  if (DRENO_OFFER(OnKey(keyboard, key, down))) return;
  if (down && character != 0 &&
      DRENO_OFFER(OnUnicode(keyboard, static_cast<std::uint32_t>(character)))) {
    return;
  }
  SendDigitalEvent(keyboard, static_cast<std::uint64_t>(static_cast<std::int64_t>(key)), down);
}

void InputSystem::SendMouseMove(Mouse* mouse, float x, float y, float dx, float dy) {
  if (DRENO_OFFER(OnMouseMoved(mouse, x, y))) return;
  // The generic form carries positions: channels read the axes' absolute values.
  if (dx != 0.0f) SendAnalogueEvent(mouse, 0, x);
  if (dy != 0.0f) SendAnalogueEvent(mouse, 1, y);
}

void InputSystem::SendMouseButton(Mouse* mouse, std::uint64_t button, bool down) {
  if (DRENO_OFFER(OnMouseButton(mouse, button, down))) return;
  SendDigitalEvent(mouse, button, down);
}

void InputSystem::SendMouseWheel(Mouse* mouse, float change) {
  if (DRENO_OFFER(OnMouseWheel(mouse, change))) return;
  SendAnalogueEvent(mouse, 2, change);
}

void InputSystem::SendJoystickButton(Joystick* joystick, std::uint64_t button, bool down) {
  if (DRENO_OFFER(OnJoystickButton(joystick, button, down))) return;
  SendDigitalEvent(joystick, button, down);
}

void InputSystem::SendJoystickAxis(Joystick* joystick, std::uint64_t axis, float value) {
  if (DRENO_OFFER(OnJoystickAxis(joystick, axis, value))) return;
  SendAnalogueEvent(joystick, axis, value);
}

void InputSystem::SendDigitalEvent(Device* device, std::uint64_t control, bool down) {
  if (DRENO_OFFER(OnDigitalEvent(device, control, down))) return;
  UpdateChannels(device, control, false);
}

void InputSystem::SendAnalogueEvent(Device* device, std::uint64_t axis, float value) {
  if (DRENO_OFFER(OnAnalogueEvent(device, axis, value))) return;
  UpdateChannels(device, axis, true);
}

// A repeat is a release and a press of the held key; the release carries no character.
void InputSystem::SendRepeatRelease() {
  SendKeyEvent(repeatKeyboard_, repeatKey_, 0, false);
}

#undef DRENO_OFFER

void InputSystem::ArmKeyRepeat(Keyboard* keyboard, std::int32_t key, std::uint64_t character) {
  if (!keyRepeatOn_) return;
  repeatCountdown_ = repeatDelay_;
  repeatKeyboard_ = keyboard;
  repeatKey_ = key;
  repeatCharacter_ = character;
}

void InputSystem::DisarmKeyRepeat(std::int32_t key) {
  if (key != repeatKey_) return;
  repeatKeyboard_ = nullptr;
  repeatKey_ = 0;
  repeatCharacter_ = 0;
  repeatCountdown_ = 0.0f;
}

void InputSystem::StepKeyRepeat() {
  const std::uint32_t now = clock_();
  const float dt = static_cast<float>(static_cast<std::int32_t>(now - lastTick_)) * 0.001f;
  lastTick_ = now;
  // Only an armed repeat counts down and fires: a countdown of 0 means none.
  if (repeatCountdown_ <= 0.0f) return;
  // At most a tenth of a second per frame, so one long frame fires at most one repeat.
  repeatCountdown_ -= std::min(std::max(dt, 0.0f), 0.1f);
  if (repeatCountdown_ > 0.0f) return;
  SendRepeatRelease();
  SendKeyEvent(repeatKeyboard_, repeatKey_, repeatCharacter_, true);
  repeatCountdown_ = std::max(repeatCountdown_ + repeatInterval_, 0.00001f);
}

Device* InputSystem::DeviceAt(std::uint64_t id) const {
  return id < devices_.size() ? devices_[id].get() : nullptr;
}

void InputSystem::UpdateChannels(Device* device, std::uint64_t control, bool analogue) {
  if (device == nullptr) return;
  const std::uint64_t id = device->id;

  for (auto& [channelId, channel] : digitalChannels_) {
    const bool named = std::any_of(channel.bindings.begin(), channel.bindings.end(),
                                   [&](const DigitalBinding& b) {
                                     return b.deviceId == id && b.control == control &&
                                            (b.analogue != 0) == analogue;
                                   });
    if (!named) continue;
    const std::uint8_t old = channel.state;
    channel.state = 0;
    for (const DigitalBinding& binding : channel.bindings) {
      const Device* source = DeviceAt(binding.deviceId);
      if (source == nullptr) continue;
      if (binding.analogue != 0) {
        // An axis decides on its own, whatever the bindings before it gave.
        const float v = source->GetAnalogueAbs(binding.control);
        channel.state = binding.threshold >= 0.0f ? v > binding.threshold : v < binding.threshold;
      } else if (channel.state == 0) {
        channel.state = source->IsButtonDown(binding.control) ? 1 : 0;
      }
    }
    channel.changed = channel.state != old;
    if (channel.changed && inputHandler_ != nullptr) inputHandler_->OnDigitalChannel(channel);
  }

  for (auto& [channelId, channel] : analogueChannels_) {
    const bool named = std::any_of(channel.bindings.begin(), channel.bindings.end(),
                                   [&](const AnalogueBinding& b) {
                                     if (b.deviceId != id || b.control != control) return false;
                                     return analogue ? b.kind == AnalogueBinding::Axis ||
                                                           b.kind == AnalogueBinding::AxisWithThreshold
                                                     : b.kind == AnalogueBinding::Button;
                                   });
    if (!named) continue;
    const float old = channel.value;
    channel.value = 0.0f;
    for (const AnalogueBinding& binding : channel.bindings) {
      const Device* source = DeviceAt(binding.deviceId);
      if (source == nullptr) continue;
      switch (binding.kind) {
        case AnalogueBinding::Axis:
          channel.value += source->GetAnalogueAbs(binding.control);
          break;
        case AnalogueBinding::Button:
          if (source->IsButtonDown(binding.control)) channel.value += binding.value;
          break;
        case AnalogueBinding::AxisWithThreshold: {
          const float x = source->GetAnalogueAbs(binding.control);
          const float t = binding.value;
          if (t == 0.0f || (t > 0.0f && x > t) || (t < 0.0f && x < t)) {
            channel.value += x * binding.factor;
          }
          break;
        }
        default:
          break;
      }
    }
    channel.accumulatedChange += channel.value - old;
    if (inputHandler_ != nullptr && channel.value != old) inputHandler_->OnAnalogueChannel(channel);
  }
}

}  // namespace DRENO
