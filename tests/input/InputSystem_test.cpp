// The device model and the process's one input system: key-code forwarding, numbering per
// kind and the swap that makes the first-used mouse or keyboard number 0; creation through
// DRENO::Initialize, the refused second start, shutdown, focus and grab, the frame and the log.
#include <cstdint>
#include <limits>
#include <string>

#include "TestHelpers.h"

namespace {

using namespace inputtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A keyboard whose keys 0..255 are all down, and which notes the index it was asked for.
class AllDownKeyboard : public DRENO::Keyboard {
 public:
  AllDownKeyboard() : Keyboard(nullptr, 0) {}
  bool IsButtonDown(std::uint64_t i) const override {
    asked = i;
    return i < 256;
  }
  mutable std::uint64_t asked = 0;
};

TEST(KeyboardKeys, ANegativeKeyWidensToAnIndexPastEveryKey) {
  AllDownKeyboard keyboard;
  EXPECT_TRUE(keyboard.IsKeyDown(255));
  EXPECT_FALSE(keyboard.IsKeyDown(-1));
  EXPECT_EQ(keyboard.asked, std::numeric_limits<std::uint64_t>::max());
}

using Swap = OwnSystem;

// Each kind is numbered on its own. Each device starts at most one swap, with the lowest
// unused number below its own; it may still be moved later as the other party. Input in
// the first frame does not count.
TEST_F(Swap, EachMouseOrKeyboardSwapsAtMostOnce) {
  auto* pad = system.Add<TestJoystick>("pad");  // first, so that ids and per-kind indices differ
  auto* a = system.Add<TestMouse>("a");         // id 1
  auto* b = system.Add<TestMouse>("b");         // id 2
  auto* c = system.Add<TestMouse>("c");         // id 3
  auto* k0 = system.Add<TestKeyboard>("k0");
  auto* pad1 = system.Add<TestJoystick>("pad1");
  auto* k1 = system.Add<TestKeyboard>("k1");
  system.AddDevice(nullptr);  // ignored
  EXPECT_EQ(pad1->index, 1u);
  EXPECT_EQ(system.GetFirstJoystick(), pad);
  EXPECT_EQ(system.GetMouseByIndex(3), nullptr);
  EXPECT_EQ(system.GetKeyboardByIndex(1), k1);
  system.SwapMiceOnActivity(c);
  EXPECT_FALSE(c->hadActivity);
  EXPECT_EQ(system.GetFirstMouse(), a);
  system.Update();

  system.SwapMiceOnActivity(c);  // takes number 0 from a
  EXPECT_EQ(c->index, 0u);
  EXPECT_EQ(a->index, 2u);
  EXPECT_EQ(system.GetFirstMouse(), c);

  system.SwapMiceOnActivity(a);  // number 0 is used, number 1 (b) is not
  EXPECT_EQ(a->index, 1u);
  EXPECT_EQ(system.GetFirstMouse(), c) << "a did not become number 0";

  system.SwapMiceOnActivity(b);  // all below it used
  system.SwapMiceOnActivity(c);  // already used
  EXPECT_THAT(Lines("log: Swap"), ElementsAre("log: Swap mice due to activity: 3,2 and 1,0",
                                              "log: Swap mice due to activity: 3,2 and 2,1"));
  EXPECT_EQ(system.GetMouseByIndex(1), a);
  EXPECT_EQ(system.GetMouseByIndex(2), b);

  journal.clear();
  system.SwapKeyboardsOnActivity(k1);
  EXPECT_TRUE(journal.empty()) << "keyboards swap without a log line";
  EXPECT_EQ(k0->index, 1u);
  EXPECT_EQ(system.GetFirstKeyboard(), k1);
  EXPECT_EQ(system.GetFirstMouse(), c);
  ASSERT_EQ(system.devices_.size(), 7u);
  for (std::uint64_t id = 0; id < system.devices_.size(); ++id)
    EXPECT_EQ(system.devices_[id]->id, id) << "ids stay array positions";
}

// ---- The system's life ----

using Lifecycle = InputTest;

// The live system must survive a second start untouched: still the instance, still bound
// to its window, still holding its devices, still reached by focus notices, and still the
// one that Shutdown destroys with its devices.
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
  journal.clear();
  DRENO::Shutdown();
  EXPECT_THAT(journal, ElementsAre("~mouse", "log: DRENO instance going down."));
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

// ---- Focus and grab: what is logged, and in which order the platform is asked ----

using Focus = OwnSystem;

// The mouse is held only when wanted, focused and shared, and let go after the devices.
TEST_F(Focus, GrabOnlyWhenWantedFocusedAndShared) {
  system.UpdateMouseGrab();  // not wanted
  system.SetGrabWanted(true);
  system.SetSeparateDevices(true);
  system.UpdateMouseGrab();  // separate devices are never held
  system.SetFocus(true);     // already focused
  EXPECT_THAT(journal, IsEmpty());

  system.SetSeparateDevices(false);
  system.UpdateMouseGrab();
  EXPECT_THAT(journal, ElementsAre("log: DRENO: grabbing mouse", "PlaceCursor(true)"));
  journal.clear();
  system.SetFocus(false);
  EXPECT_THAT(journal, ElementsAre("log: DRENO: lost focus", "ResetDevices(false)",
                                   "log: DRENO: releasing mouse", "PlaceCursor(false)"));
  EXPECT_FALSE(system.IsGrabbed());
  journal.clear();
  system.SetFocus(false);    // lost only once
  system.UpdateMouseGrab();  // no focus
  EXPECT_THAT(journal, IsEmpty());

  system.SetFocus(true);
  EXPECT_THAT(journal, ElementsAre("log: DRENO: got focus", "ResetDevices(true)",
                                   "log: DRENO: grabbing mouse", "PlaceCursor(true)"));
  journal.clear();
  system.UpdateMouseGrab();  // already in line
  EXPECT_THAT(journal, IsEmpty());
  system.SetGrabWanted(false);
  system.UpdateMouseGrab();
  EXPECT_THAT(journal, ElementsAre("log: DRENO: releasing mouse", "PlaceCursor(false)"));
}

// ---- The log ----

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
