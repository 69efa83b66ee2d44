// Life of the process's one input system: creation through DRENO::Initialize, the refused
// second start, failed creation, shutdown, the frame's bookkeeping and the log.
#include <algorithm>
#include <string>

#include "TestHelpers.h"
#include "WinInput.h"

namespace {

using namespace inputtest;
using ::testing::ElementsAre;

using Lifecycle = InputTest;

TEST_F(Lifecycle, InitializeCreatesTheInstanceOverTheWindow) {
  LogCapture log;
  ASSERT_TRUE(DRENO::Initialize(FakeWindow()));
  auto* system = dynamic_cast<WinInput*>(DRENO::GetInstance());
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->GetWindow(), FakeWindow());
  EXPECT_THAT(journal, ElementsAre("log: DRENO instance created."));
}

// The live system must survive a second start untouched: still the instance, still bound
// to its window, still holding its devices, still reached by focus notices, and still the
// one that Shutdown destroys.
TEST_F(Lifecycle, SecondInitializeIsRefusedAndTheLiveSystemKeepsWorking) {
  LogCapture log;
  backend.zustand.geraete.clear();
  ASSERT_TRUE(DRENO::Initialize(FakeWindow(0)));
  DRENO::InputSystem* live = DRENO::GetInstance();
  auto mouse = std::make_unique<TestMouse>(live, 0, "mouse");
  TestMouse* mousePtr = mouse.get();
  live->AddDevice(std::move(mouse));
  journal.clear();

  EXPECT_FALSE(DRENO::Initialize(FakeWindow(1)));
  EXPECT_THAT(journal,
              ElementsAre("log: Exception while creating DRENO instance: Input already initialized"));
  ASSERT_EQ(DRENO::GetInstance(), live);
  EXPECT_EQ(static_cast<WinInput*>(live)->GetWindow(), FakeWindow(0));
  EXPECT_EQ(live->GetFirstMouse(), mousePtr);

  journal.clear();
  live->Update();
  EXPECT_FALSE(mousePtr->firstFrame);
  DRENO::GetInstance()->SetFocus(false);
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
  EXPECT_THROW(
      {
        try {
          TestSystem second;
        } catch (const std::runtime_error& error) {
          EXPECT_STREQ(error.what(), "Input already initialized");
          throw;
        }
      },
      std::runtime_error);
  EXPECT_EQ(DRENO::GetInstance(), &first);
  EXPECT_TRUE(journal.empty()) << "the refused system neither announced nor took down anything";
}

TEST_F(Lifecycle, AWindowHandleThatIsNoWindowFailsCleanly) {
  LogCapture log;
  EXPECT_FALSE(DRENO::Initialize(nullptr));
  EXPECT_EQ(DRENO::GetInstance(), nullptr);
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "log: Exception while creating DRENO instance: HWND is not valid"),
            1);
  EXPECT_TRUE(DRENO::Initialize(FakeWindow())) << "the failed start left nothing behind";
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

TEST_F(Lifecycle, TheBaseDestructorLogsAndFreesWhatThePlatformLeft) {
  LogCapture log;
  {
    TestSystem system;
    system.Add<TestMouse>("mouse");
    journal.clear();
  }
  EXPECT_THAT(journal, ElementsAre("log: DRENO instance going down.", "~mouse"));
  EXPECT_EQ(DRENO::GetInstance(), nullptr);
}

// ---- The frame ----

using Frame = InputTest;

TEST_F(Frame, StartsTheChannelsFrameAndKeepsTheirState) {
  TestSystem system;
  auto& digital = system.digitalChannels_[7];
  digital.bindings.push_back({0, 3, 0, 0.0f});
  digital.state = 1;
  digital.changed = 1;
  auto& analogue = system.analogueChannels_[2];
  analogue.bindings.push_back({0, 1, DRENO::AnalogueBinding::Axis, 0.0f, 0.0f});
  analogue.value = 0.5f;
  analogue.accumulatedChange = -1.25f;

  system.Update();
  EXPECT_EQ(digital.changed, 0);
  EXPECT_EQ(digital.state, 1);
  EXPECT_EQ(analogue.accumulatedChange, 0.0f);
  EXPECT_EQ(analogue.value, 0.5f);
}

// ---- The log ----

using Log = InputTest;

TEST_F(Log, CutsAt1023Characters) {
  LogCapture log;
  const std::string exact(1023, 'a');
  const std::string longer = std::string(1023, 'b') + "cdef";
  DRENO::InputSystem::Log("%s", exact.c_str());
  DRENO::InputSystem::Log("%s", longer.c_str());
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0], "log: " + exact);
  EXPECT_EQ(journal[1], "log: " + std::string(1023, 'b'));
}

TEST_F(Log, WithoutCallbackIsSilent) {
  ASSERT_EQ(DRENO::LogCallback, nullptr);
  DRENO::InputSystem::Log("%s", std::string(5000, 'x').c_str());
}

}  // namespace
