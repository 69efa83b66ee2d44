#pragma once
// Test doubles for the input library: a journal of log lines and platform calls in one
// order, devices that note their destruction, and a system standing in for the platform.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Dreno.h"
#include "InputSystem.h"
#include "TestBackend.h"
#include "WinInput.h"

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

// Puts any system's key-repeat clock in the test's hands.
struct RepeatClock : DRENO::InputSystem {
  static void Use(DRENO::InputSystem& system, std::uint32_t (*clock)()) {
    system.*(&RepeatClock::clock_) = clock;
    system.*(&RepeatClock::lastTick_) = clock();
  }
};

// Stands in for the platform class: records the two platform operations and runs the
// frame's first and last step.
class TestSystem : public DRENO::InputSystem {
 public:
  using InputSystem::devices_;

  void UseClock(std::uint32_t (*clock)()) { RepeatClock::Use(*this, clock); }

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
    AddDevice(std::make_unique<D>(this, devices_.size(), name));
    return static_cast<D*>(devices_.back().get());
  }
};

// The journal's lines that start with `prefix`.
inline std::vector<std::string> Lines(const std::string& prefix) {
  std::vector<std::string> lines;
  for (const auto& line : journal)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

inline std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// Records every offer; the operations named in `takes` take the event.
class Recorder : public DRENO::InputHandler {
 public:
  std::set<std::string> takes;
  bool Note(const std::string& slot, const std::string& args) {
    journal.push_back(slot + "(" + args + ")");
    return takes.count(slot) != 0;
  }
  bool Note(const std::string& slot, double a) { return Note(slot, Num(a)); }
  bool Note(const std::string& slot, double a, double b) { return Note(slot, Num(a) + "," + Num(b)); }

  bool OnKey(DRENO::Keyboard*, std::int32_t k, bool d) override { return Note("OnKey", k, d); }
  bool OnMouseMoved(DRENO::Mouse*, float x, float y) override { return Note("OnMouseMoved", x, y); }
  bool OnMouseButton(DRENO::Mouse*, std::uint64_t b, bool d) override { return Note("OnMouseButton", b, d); }
  bool OnMouseWheel(DRENO::Mouse*, float c) override { return Note("OnMouseWheel", c); }
  bool OnJoystickButton(DRENO::Joystick*, std::uint64_t b, bool d) override {
    return Note("OnJoystickButton", b, d);
  }
  bool OnJoystickAxis(DRENO::Joystick*, std::uint64_t a, float v) override {
    return Note("OnJoystickAxis", a, v);
  }
  bool OnUnicode(DRENO::Keyboard*, std::uint32_t c) override { return Note("OnUnicode", c); }
  bool OnDigitalEvent(DRENO::Device*, std::uint64_t c, bool d) override {
    return Note("OnDigitalEvent", c, d);
  }
  bool OnAnalogueEvent(DRENO::Device*, std::uint64_t a, float v) override {
    return Note("OnAnalogueEvent", a, v);
  }
  void OnDigitalChannel(const DRENO::DigitalChannel& c) override { Note("OnDigitalChannel", c.state); }
  void OnAnalogueChannel(const DRENO::AnalogueChannel& c) override { Note("OnAnalogueChannel", c.value); }
};

// Every test starts and ends without an input system.
class InputTest : public ::testing::Test {
 protected:
  Plattform::Eingabe::TestBackend backend;
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

// A test system of the test's own, its log collected from after its creation.
class OwnSystem : public ::testing::Test {
 protected:
  void SetUp() override { journal.clear(); }
  LogCapture log;
  TestSystem system;
};

// The window's system over the fake window, its events recorded.
class WindowTest : public InputTest {
 protected:
  WinInput* Start() {
    if (!DRENO::Initialize(FakeWindow())) return nullptr;
    backend.fenster = FakeWindow();
    system = static_cast<WinInput*>(DRENO::GetInstance());
    system->SetInputHandler(&handler);
    journal.clear();
    return system;
  }
  // Started and past the first frame, in which devices report what is held.
  void StartAndSettle() {
    ASSERT_NE(Start(), nullptr);
    system->Update();
    journal.clear();
  }
  WinInput* system = nullptr;
  Recorder handler;
};

}  // namespace inputtest
