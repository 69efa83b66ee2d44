#pragma once
// The process's one input system, bound to one window. It owns the devices, numbers them
// per kind, makes the first-used mouse (keyboard) number 0, follows the window focus and
// holds the mouse in the window on request. The platform class (WinInput) supplies the
// window binding and the devices; this base knows no platform.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "Channels.h"
#include "Device.h"
#include "InputHandler.h"

namespace DRENO {

using LogFunction = void (*)(const char* text);

// The application's log sink for the whole library; null swallows every line.
extern LogFunction LogCallback;

class InputSystem {
 public:
  virtual ~InputSystem();

  InputSystem(const InputSystem&) = delete;
  InputSystem& operator=(const InputSystem&) = delete;

  // Once per frame. The platform class overrides it and runs this base step first: key
  // repeat, then the start of the channels' frame.
  virtual void Update();
  // After a focus change has been stored: on loss release everything held (with events),
  // on gain re-read the mouse position.
  virtual void ResetDevices(bool focus) = 0;
  // true: cursor to the window centre; false: cursor back to the first mouse's position.
  virtual void PlaceCursor(bool centre) = 0;

  // Called by the screen when the window gains or loses the keyboard focus (or is
  // iconified). The same value again does nothing.
  void SetFocus(bool focus);
  // Holds or releases the mouse so that it matches grab wanted, focus and separate devices.
  void UpdateMouseGrab();

  // Takes ownership and gives the device its per-kind index. The caller has set the id to
  // the array length before the call.
  void AddDevice(std::unique_ptr<Device> device);

  // Run by the platform layer for every input record of a device. The first-used device
  // of a kind changes places with the lowest-numbered device not yet used.
  void SwapMiceOnActivity(Mouse* mouse);
  void SwapKeyboardsOnActivity(Keyboard* keyboard);

  // The n-th device of the kind in array order, or null.
  Mouse* GetMouseByIndex(std::uint64_t n) const;
  Keyboard* GetKeyboardByIndex(std::uint64_t n) const;
  Joystick* GetJoystickByIndex(std::uint64_t n) const;

  // printf-style; at most 1023 characters reach LogCallback.
  static void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

  Mouse* GetFirstMouse() const { return firstMouse_; }
  Keyboard* GetFirstKeyboard() const { return firstKeyboard_; }
  Joystick* GetFirstJoystick() const { return firstJoystick_; }

  // The one active event sink, not owned; null for none. Replaceable at any time outside
  // the library's own calls.
  InputHandler* GetInputHandler() const { return inputHandler_; }
  void SetInputHandler(InputHandler* handler) { inputHandler_ = handler; }

  bool HasFocus() const { return hasFocus_; }
  bool IsGrabbed() const { return grabbed_; }

  // Application settings, read by the library when needed. Off: every mouse acts as
  // mouse 0 and every keyboard as keyboard 0.
  bool GetSeparateDevices() const { return separateDevices_; }
  void SetSeparateDevices(bool on) { separateDevices_ = on; }
  // Takes effect with the next UpdateMouseGrab.
  bool GetGrabWanted() const { return grabWanted_; }
  void SetGrabWanted(bool on) { grabWanted_ = on; }

  // Event dispatch. Devices store their new state first, then report it here. Each event
  // is offered to the handler from the most specific operation to the most general; an
  // operation that takes it ends the chain, otherwise the channels bound to the control
  // are recomputed last.
  void SendKeyEvent(Keyboard* keyboard, std::int32_t key, std::uint64_t character, bool down);
  void SendMouseMove(Mouse* mouse, float x, float y, float dx, float dy);
  void SendMouseButton(Mouse* mouse, std::uint64_t button, bool down);
  void SendMouseWheel(Mouse* mouse, float change);
  void SendJoystickButton(Joystick* joystick, std::uint64_t button, bool down);
  void SendJoystickAxis(Joystick* joystick, std::uint64_t axis, float value);
  void SendDigitalEvent(Device* device, std::uint64_t control, bool down);
  void SendAnalogueEvent(Device* device, std::uint64_t axis, float value);
  // The end of every chain: recomputes the channels that name this control.
  void UpdateChannels(Device* device, std::uint64_t control, bool analogue);

  // Key repeat, driven by the keyboards' key changes. Only the latest press repeats.
  void ArmKeyRepeat(Keyboard* keyboard, std::int32_t key, std::uint64_t character);
  void DisarmKeyRepeat(std::int32_t key);
  bool GetKeyRepeat() const { return keyRepeatOn_; }
  void SetKeyRepeat(bool on) { keyRepeatOn_ = on; }

  // The application's channels by id; an entry is made on first use and lives as long as
  // the system.
  std::map<ChannelId, DigitalChannel>& DigitalChannels() { return digitalChannels_; }
  std::map<ChannelId, AnalogueChannel>& AnalogueChannels() { return analogueChannels_; }

 protected:
  // Makes the new object the process's instance. Throws std::runtime_error
  // "Input already initialized" while another instance lives, which is then left as it is.
  InputSystem();

  // The last step of a frame: every device is past its first frame.
  void EndFirstFrame();
  // Destroys every device in array order.
  void DestroyDevices();

  std::vector<std::unique_ptr<Device>> devices_;  // a device's id is its position
  Mouse* firstMouse_ = nullptr;
  Keyboard* firstKeyboard_ = nullptr;
  Joystick* firstJoystick_ = nullptr;  // the first controller added
  std::uint64_t mouseCount_ = 0;
  std::uint64_t keyboardCount_ = 0;
  std::uint64_t joystickCount_ = 0;
  InputHandler* inputHandler_ = nullptr;
  bool hasFocus_ = true;
  bool separateDevices_ = false;
  bool grabWanted_ = false;
  bool grabbed_ = false;  // the cursor is put back at the centre every frame
  bool keyRepeatOn_ = true;
  float repeatDelay_ = 0.7f;      // seconds
  float repeatInterval_ = 0.1f;   // seconds
  Keyboard* repeatKeyboard_ = nullptr;
  std::int32_t repeatKey_ = 0;
  std::uint64_t repeatCharacter_ = 0;
  std::uint32_t lastTick_;        // process clock, milliseconds
  float repeatCountdown_ = 0.0f;  // seconds to the next repeat; 0: none armed
  std::map<ChannelId, DigitalChannel> digitalChannels_;
  std::map<ChannelId, AnalogueChannel> analogueChannels_;
  // The process clock in milliseconds; replaceable so that the repeat can be timed.
  std::uint32_t (*clock_)();

 private:
  // The device at a binding's id, or null when there is none.
  Device* DeviceAt(std::uint64_t id) const;
  void SendRepeatRelease();
  void StepKeyRepeat();
  void StartChannelFrame();
  template <class Kind>
  void SwapOnActivity(Kind* device, Kind*& first);
  template <class Kind>
  Kind* GetByIndex(std::uint64_t n) const;
};

// The live input system, or null.
InputSystem* GetInstance();

}  // namespace DRENO
