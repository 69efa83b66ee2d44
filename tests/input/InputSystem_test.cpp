// Life of the process's one input system: creation through DRENO::Initialize, the refused
// second start, shutdown, window focus and mouse grab, the frame's bookkeeping and the log.
#include <string>

#include "TestHelpers.h"

namespace {

using namespace inputtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Lifecycle = InputTest;

// The live system must survive a second start untouched: still the instance, still bound
// to its window, still holding its devices, still reached by focus notices, and still the
// one that Shutdown destroys.
TEST_F(Lifecycle, InitializeCreatesTheOneSystemAndASecondStartLeavesItWorking) {
  LogCapture log;
  backend.zustand.geraete.clear();
  ASSERT_TRUE(DRENO::Initialize(FakeWindow(0)));
  EXPECT_THAT(journal, ElementsAre("log: DRENO instance created."));
  DRENO::InputSystem* live = DRENO::GetInstance();
  auto* mouse = new TestMouse(live, 0, "mouse");
  live->AddDevice(std::unique_ptr<TestMouse>(mouse));
  journal.clear();

  EXPECT_FALSE(DRENO::Initialize(FakeWindow(1)));
  EXPECT_THAT(journal,
              ElementsAre("log: Exception while creating DRENO instance: Input already initialized"));
  ASSERT_EQ(DRENO::GetInstance(), live);
  EXPECT_EQ(static_cast<WinInput*>(live)->GetWindow(), FakeWindow(0));
  EXPECT_EQ(live->GetFirstMouse(), mouse);

  journal.clear();
  live->Update();
  EXPECT_FALSE(mouse->firstFrame);
  live->SetFocus(false);
  EXPECT_THAT(journal, ElementsAre("log: DRENO: lost focus"));

  // With the first one gone, a start succeeds again.
  DRENO::Shutdown();
  EXPECT_TRUE(DRENO::Initialize(FakeWindow(1)));
}

// The same guard holds for a system built without Initialize.
TEST_F(Lifecycle, ASecondSystemCannotBeBuiltBesideTheLiveOne) {
  LogCapture log;
  TestSystem first;
  journal.clear();
  EXPECT_THROW(TestSystem second, std::runtime_error);
  EXPECT_EQ(DRENO::GetInstance(), &first);
  EXPECT_TRUE(journal.empty()) << "the refused system neither announced nor took down anything";
}

TEST_F(Lifecycle, ShutdownDestroysDevicesInArrayOrderAndClearsTheInstance) {
  LogCapture log;
  ASSERT_TRUE(DRENO::Initialize(FakeWindow()));
  DRENO::InputSystem* system = DRENO::GetInstance();
  system->AddDevice(std::make_unique<TestJoystick>(system, 0, "pad"));
  system->AddDevice(std::make_unique<TestMouse>(system, 1, "mouse"));
  system->AddDevice(std::make_unique<TestKeyboard>(system, 2, "keyboard"));
  journal.clear();

  DRENO::Shutdown();
  EXPECT_THAT(journal, ElementsAre("~pad", "~mouse", "~keyboard", "log: DRENO instance going down."));
  EXPECT_EQ(DRENO::GetInstance(), nullptr);
  journal.clear();
  DRENO::Shutdown();  // nothing left to destroy
  EXPECT_TRUE(journal.empty());
}

// ---- Focus and grab: what is logged, and in which order the platform is asked ----

using Focus = OwnSystem;

TEST_F(Focus, LosingFocusWithTheGrabHeldReleasesTheMouseAfterTheDevices) {
  system.SetGrabWanted(true);
  EXPECT_THAT(journal, IsEmpty()) << "the setting alone changes nothing";
  system.UpdateMouseGrab();
  EXPECT_THAT(journal, ElementsAre("log: DRENO: grabbing mouse", "PlaceCursor(true)"));
  EXPECT_TRUE(system.IsGrabbed());

  journal.clear();
  system.SetFocus(false);
  EXPECT_THAT(journal, ElementsAre("log: DRENO: lost focus", "ResetDevices(false)",
                                   "log: DRENO: releasing mouse", "PlaceCursor(false)"));
  EXPECT_FALSE(system.IsGrabbed());

  journal.clear();
  system.SetFocus(true);
  EXPECT_THAT(journal, ElementsAre("log: DRENO: got focus", "ResetDevices(true)",
                                   "log: DRENO: grabbing mouse", "PlaceCursor(true)"));
}

TEST_F(Focus, GrabOnlyWhenWantedFocusedAndShared) {
  system.UpdateMouseGrab();  // not wanted
  EXPECT_THAT(journal, IsEmpty());

  system.SetGrabWanted(true);
  system.SetSeparateDevices(true);
  system.UpdateMouseGrab();  // separate devices are never held
  EXPECT_THAT(journal, IsEmpty());

  system.SetFocus(true);  // already focused
  EXPECT_THAT(journal, IsEmpty());
  system.SetSeparateDevices(false);
  system.SetFocus(false);
  journal.clear();
  system.SetFocus(false);  // lost only once
  system.UpdateMouseGrab();  // no focus
  EXPECT_THAT(journal, IsEmpty());

  system.SetFocus(true);
  journal.clear();
  system.UpdateMouseGrab();  // already in line
  EXPECT_THAT(journal, IsEmpty());

  system.SetGrabWanted(false);
  system.UpdateMouseGrab();
  EXPECT_THAT(journal, ElementsAre("log: DRENO: releasing mouse", "PlaceCursor(false)"));
}

// ---- The frame and the log ----

TEST(Frame, StartsTheChannelsFrameAndKeepsTheirState) {
  TestSystem system;
  auto& digital = system.DigitalChannels()[7];
  digital.bindings.push_back({0, 3, 0, 0.0f});
  digital.state = digital.changed = 1;
  auto& analogue = system.AnalogueChannels()[2];
  analogue.bindings.push_back({0, 1, DRENO::AnalogueBinding::Axis, 0.0f, 0.0f});
  analogue.value = 0.5f;
  analogue.accumulatedChange = -1.25f;

  system.Update();
  EXPECT_EQ(digital.changed, 0);
  EXPECT_EQ(digital.state, 1);
  EXPECT_EQ(analogue.accumulatedChange, 0.0f);
  EXPECT_EQ(analogue.value, 0.5f);
}

TEST(Log, CutsAt1023CharactersAndIsSilentWithoutCallback) {
  {
    LogCapture log;
    const std::string exact(1023, 'a');
    DRENO::InputSystem::Log("%s", exact.c_str());
    DRENO::InputSystem::Log("%s", (std::string(1023, 'b') + "cdef").c_str());
    EXPECT_THAT(journal, ElementsAre("log: " + exact, "log: " + std::string(1023, 'b')));
  }
  DRENO::InputSystem::Log("%s", std::string(5000, 'x').c_str());
}

}  // namespace
