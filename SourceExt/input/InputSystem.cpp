#include "InputSystem.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace DRENO {

LogFunction LogCallback = nullptr;

namespace {

InputSystem* gInstance = nullptr;

const std::chrono::steady_clock::time_point gProcessStart = std::chrono::steady_clock::now();

// Milliseconds since the process started; wraps after 49 days like the tick it feeds.
std::uint32_t ProcessMilliseconds() {
  const auto elapsed = std::chrono::steady_clock::now() - gProcessStart;
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace

InputSystem* GetInstance() { return gInstance; }

InputSystem::InputSystem() {
  // Checked before anything is taken over: a refused second system must leave the live
  // one registered and untouched.
  if (gInstance != nullptr) throw std::runtime_error("Input already initialized");
  gInstance = this;
  Log("DRENO instance created.");
  clock_ = &ProcessMilliseconds;
  lastTick_ = clock_();
}

InputSystem::~InputSystem() {
  Log("DRENO instance going down.");
  DestroyDevices();
  if (gInstance == this) gInstance = nullptr;
}

void InputSystem::DestroyDevices() {
  firstMouse_ = nullptr;
  firstKeyboard_ = nullptr;
  firstJoystick_ = nullptr;
  repeatKeyboard_ = nullptr;
  for (auto& device : devices_) device.reset();
  devices_.clear();
}

void InputSystem::Update() {
  StepKeyRepeat();
  StartChannelFrame();
}

void InputSystem::StartChannelFrame() {
  for (auto& [id, channel] : digitalChannels_) channel.changed = 0;
  for (auto& [id, channel] : analogueChannels_) channel.accumulatedChange = 0.0f;
}

void InputSystem::EndFirstFrame() {
  for (auto& device : devices_) {
    if (device) device->firstFrame = false;
  }
}

void InputSystem::SetFocus(bool focus) {
  if (focus == hasFocus_) return;
  Log("DRENO: %s focus", focus ? "got" : "lost");
  hasFocus_ = focus;
  ResetDevices(focus);
  UpdateMouseGrab();
}

void InputSystem::UpdateMouseGrab() {
  const bool hold = grabWanted_ && hasFocus_ && !separateDevices_;
  if (hold == grabbed_) return;
  Log("DRENO: %s mouse", hold ? "grabbing" : "releasing");
  grabbed_ = hold;
  PlaceCursor(hold);
}

void InputSystem::AddDevice(std::unique_ptr<Device> device) {
  if (!device) return;
  Device* added = device.get();
  devices_.push_back(std::move(device));
  if (auto* mouse = dynamic_cast<Mouse*>(added)) {
    mouse->index = mouseCount_++;
    if (firstMouse_ == nullptr) firstMouse_ = mouse;
  } else if (auto* keyboard = dynamic_cast<Keyboard*>(added)) {
    keyboard->index = keyboardCount_++;
    if (firstKeyboard_ == nullptr) firstKeyboard_ = keyboard;
  } else if (auto* joystick = dynamic_cast<Joystick*>(added)) {
    joystick->index = joystickCount_++;
    if (firstJoystick_ == nullptr) firstJoystick_ = joystick;
  }
}

template <class Kind>
Kind* InputSystem::GetByIndex(std::uint64_t n) const {
  for (const auto& device : devices_) {
    if (auto* match = dynamic_cast<Kind*>(device.get())) {
      if (n == 0) return match;
      --n;
    }
  }
  return nullptr;
}

Mouse* InputSystem::GetMouseByIndex(std::uint64_t n) const { return GetByIndex<Mouse>(n); }

Keyboard* InputSystem::GetKeyboardByIndex(std::uint64_t n) const {
  return GetByIndex<Keyboard>(n);
}

Joystick* InputSystem::GetJoystickByIndex(std::uint64_t n) const { return GetByIndex<Joystick>(n); }

// `first` is the first-of-kind pointer.
template <class Kind>
void InputSystem::SwapOnActivity(Kind* device, Kind*& first) {
  // Input in the first frame does not count as use: devices report their initial state
  // there.
  if (device == nullptr || device->firstFrame || device->hadActivity) return;
  device->hadActivity = true;
  if (device->index == 0) return;

  Kind* other = nullptr;
  for (std::uint64_t n = 0; n < device->index && other == nullptr; ++n) {
    Kind* candidate = GetByIndex<Kind>(n);
    if (candidate != nullptr && !candidate->hadActivity) other = candidate;
  }
  if (other == nullptr) return;
  // Ids are array positions; a device that is not where its id says is not ours.
  if (device->id >= devices_.size() || other->id >= devices_.size() ||
      devices_[device->id].get() != device || devices_[other->id].get() != other) {
    return;
  }

  if constexpr (std::is_same_v<Kind, Mouse>) {
    Log("Swap mice due to activity: %d,%d and %d,%d", static_cast<int>(device->id),
        static_cast<int>(device->index), static_cast<int>(other->id),
        static_cast<int>(other->index));
  }
  std::swap(devices_[device->id], devices_[other->id]);
  std::swap(device->id, other->id);
  std::swap(device->index, other->index);
  if (device->index == 0) first = device;
}

void InputSystem::SwapMiceOnActivity(Mouse* mouse) { SwapOnActivity(mouse, firstMouse_); }

void InputSystem::SwapKeyboardsOnActivity(Keyboard* keyboard) {
  SwapOnActivity(keyboard, firstKeyboard_);
}

void InputSystem::Log(const char* format, ...) {
  LogFunction callback = LogCallback;
  if (callback == nullptr) return;
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  callback(text);
}

}  // namespace DRENO
