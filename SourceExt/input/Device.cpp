#include "Device.h"

namespace DRENO {

Device::Device(InputSystem* system, std::uint64_t id) : id(id), system(system) {}

Device::~Device() = default;

std::uint64_t Device::GetNumButtons() const { return 0; }
std::string Device::GetButtonText(std::uint64_t) const { return {}; }
std::uint64_t Device::GetNumAnalogues() const { return 0; }
std::string Device::GetAnalogueText(std::uint64_t) const { return {}; }
bool Device::IsButtonDown(std::uint64_t) const { return false; }
bool Device::WasButtonPressed(std::uint64_t) const { return false; }
bool Device::WasButtonReleased(std::uint64_t) const { return false; }
float Device::GetAnalogueAbs(std::uint64_t) const { return 0.0f; }
float Device::GetAnalogueRel(std::uint64_t) const { return 0.0f; }

float Mouse::GetMouseX() const { return 0.0f; }
float Mouse::GetMouseY() const { return 0.0f; }
float Mouse::GetRelMouseX() const { return 0.0f; }
float Mouse::GetRelMouseY() const { return 0.0f; }

// Sign-extended, so -1 becomes the largest index and falls past every button count.
std::uint64_t Keyboard::AsButton(std::int32_t key) {
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(key));
}

bool Keyboard::IsKeyDown(std::int32_t key) const { return IsButtonDown(AsButton(key)); }
bool Keyboard::WasKeyPressed(std::int32_t key) const { return WasButtonPressed(AsButton(key)); }
bool Keyboard::WasKeyReleased(std::int32_t key) const { return WasButtonReleased(AsButton(key)); }

}  // namespace DRENO
