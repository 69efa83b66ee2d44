#pragma once
// The device model: every input device derives from DRENO::Device through one of the
// three kinds Mouse, Keyboard and Joystick. The base answers "nothing there" to every
// query; a concrete device overrides what it has.
#include <cstdint>
#include <string>

namespace DRENO {

class InputSystem;

class Device {
 public:
  // The creator passes the id it will have in the system's device array (the array's
  // length before the device is added).
  Device(InputSystem* system, std::uint64_t id);
  virtual ~Device();

  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  virtual std::uint64_t GetNumButtons() const;
  virtual std::string GetButtonText(std::uint64_t index) const;
  virtual std::uint64_t GetNumAnalogues() const;
  virtual std::string GetAnalogueText(std::uint64_t index) const;
  virtual bool IsButtonDown(std::uint64_t index) const;
  // Down now and up in the previous frame.
  virtual bool WasButtonPressed(std::uint64_t index) const;
  // Up now and down in the previous frame.
  virtual bool WasButtonReleased(std::uint64_t index) const;
  virtual float GetAnalogueAbs(std::uint64_t index) const;
  virtual float GetAnalogueRel(std::uint64_t index) const;

  std::uint64_t id;         // position in the system's device array
  std::uint64_t index = 0;  // number among the devices of its kind, set by AddDevice
  // Set from creation until the end of the first system update after it; meanwhile the
  // device takes part in no activity swap.
  bool firstFrame = true;
  // Set by the device's first input after its first frame.
  bool hadActivity = false;
  InputSystem* system;  // not owned
};

// Buttons: 0 left, 1 right, 2 middle, 3 and 4 the side buttons. Analogues: 0 x, 1 y,
// 2 wheel.
class Mouse : public Device {
 public:
  using Device::Device;

  virtual float GetMouseX() const;
  virtual float GetMouseY() const;
  virtual float GetRelMouseX() const;
  virtual float GetRelMouseY() const;
};

// Buttons are the 256 key codes. The key queries take the signed key code and ask the
// button queries, so a negative key reads false.
class Keyboard : public Device {
 public:
  using Device::Device;

  virtual bool IsKeyDown(std::int32_t key) const;
  virtual bool WasKeyPressed(std::int32_t key) const;
  virtual bool WasKeyReleased(std::int32_t key) const;

 private:
  static std::uint64_t AsButton(std::int32_t key);
};

class Joystick : public Device {
 public:
  using Device::Device;
};

}  // namespace DRENO
