#pragma once
// Test doubles for the input library: a journal that records log lines and platform
// calls in one order, devices that note their destruction, and a system that stands in
// for the platform class.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Dreno.h"
#include "InputSystem.h"

namespace inputtest {

// Log lines ("log: ...") and platform calls in the order they happened.
inline std::vector<std::string> journal;

inline void CollectLine(const char* text) { journal.push_back(std::string("log: ") + text); }

// Installs the collecting log callback for its lifetime.
struct LogCapture {
  LogCapture() {
    journal.clear();
    DRENO::LogCallback = &CollectLine;
  }
  ~LogCapture() { DRENO::LogCallback = nullptr; }
};

template <class Base>
class TestDevice : public Base {
 public:
  TestDevice(DRENO::InputSystem* system, std::uint64_t id, std::string name)
      : Base(system, id), name(std::move(name)) {}
  ~TestDevice() override { journal.push_back("~" + name); }
  std::string name;
};

using TestMouse = TestDevice<DRENO::Mouse>;
using TestKeyboard = TestDevice<DRENO::Keyboard>;
using TestJoystick = TestDevice<DRENO::Joystick>;

// Stands in for the platform class: records the two platform operations and runs the
// frame's first and last step.
class TestSystem : public DRENO::InputSystem {
 public:
  using InputSystem::analogueChannels_;
  using InputSystem::devices_;
  using InputSystem::digitalChannels_;
  using InputSystem::joystickCount_;
  using InputSystem::keyboardCount_;
  using InputSystem::mouseCount_;

  void UseClock(std::uint32_t (*clock)()) {
    clock_ = clock;
    lastTick_ = clock();
  }

  void Update() override {
    InputSystem::Update();
    EndFirstFrame();
  }
  void ResetDevices(bool focus) override {
    journal.push_back(std::string("ResetDevices(") + (focus ? "true" : "false") +
                      (HasFocus() == focus ? ")" : ") before the focus was stored"));
  }
  void PlaceCursor(bool centre) override {
    journal.push_back(std::string("PlaceCursor(") + (centre ? "true" : "false") + ")");
  }

  // Builds a device with the next id and adds it.
  template <class D>
  D* Add(const std::string& name) {
    auto device = std::make_unique<D>(this, devices_.size(), name);
    D* raw = device.get();
    AddDevice(std::move(device));
    return raw;
  }
};

// Every test starts and ends without an input system.
class InputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DRENO::GetInstance(), nullptr); }
  void TearDown() override {
    DRENO::Shutdown();
    DRENO::LogCallback = nullptr;
  }
};

// A window handle for the system to hold; nothing looks behind it.
inline HWND FakeWindow(int n = 0) {
  static char windows[4];
  return reinterpret_cast<HWND>(&windows[n]);
}

}  // namespace inputtest
