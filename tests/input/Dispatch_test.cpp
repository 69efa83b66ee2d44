// Event chains with their stop rule, key repeat on a test clock, and the channel update.
#include <functional>
#include <set>
#include <tuple>

#include "TestHelpers.h"

namespace {

using namespace inputtest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// A device whose controls the test sets: every button and axis reads what was stored.
template <class Base>
class Controls : public TestDevice<Base> {
 public:
  using TestDevice<Base>::TestDevice;
  bool IsButtonDown(std::uint64_t i) const override { return down.count(i) != 0; }
  float GetAnalogueAbs(std::uint64_t i) const override { return i < 4 ? axes[i] : 0.0f; }
  std::set<std::uint64_t> down;
  float axes[4] = {};
};

std::uint32_t gNow = 0;
std::uint32_t TestClock() { return gNow; }

class Dispatch : public ::testing::Test {
 public:
  void SetUp() override {
    system.SetInputHandler(&handler);
    system.UseClock(&TestClock);
    // Every control is held and every axis is off centre, so a channel that is recomputed
    // changes and reports itself.
    for (std::uint64_t i = 0; i < 256; ++i) keyboard->down.insert(i);
    mouse->down = {0, 1, 2};
    mouse->axes[0] = 10, mouse->axes[1] = 20, mouse->axes[2] = 120;
    joystick->down = {3};
    joystick->axes[1] = 0.5f;
    const std::tuple<DRENO::Device*, std::uint64_t, bool> bound[] = {
        {keyboard, 0x1E, false}, {mouse, 0, false}, {mouse, 0, true}, {mouse, 1, true},
        {mouse, 2, true},        {joystick, 3, false}, {joystick, 1, true}};
    for (auto [device, control, analogue] : bound) Bind(device, control, analogue);
    journal.clear();
  }

  // One channel per control: a digital one for buttons, an analogue one for axes.
  void Bind(DRENO::Device* device, std::uint64_t control, bool analogue) {
    const DRENO::ChannelId id = ++channels;
    if (analogue) {
      system.AnalogueChannels()[id].bindings.push_back({device->id, control, 0, 0, 0});
    } else {
      system.DigitalChannels()[id].bindings.push_back({device->id, control, 0, 0});
    }
  }

  TestSystem system;
  Recorder handler;
  Controls<DRENO::Keyboard>* keyboard = system.Add<Controls<DRENO::Keyboard>>("keyboard");
  Controls<DRENO::Mouse>* mouse = system.Add<Controls<DRENO::Mouse>>("mouse");
  Controls<DRENO::Joystick>* joystick = system.Add<Controls<DRENO::Joystick>>("joystick");
  DRENO::ChannelId channels = 0;
};

struct ChainCase {
  const char* name;
  std::function<void(Dispatch&)> send;
  std::set<std::string> takes;
  std::vector<std::string> expected;
};

class Chains : public Dispatch, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(Chains, OfferInOrderAndStopAtTheFirstTaker) {
  handler.takes = GetParam().takes;
  GetParam().send(*this);
  EXPECT_THAT(journal, ElementsAreArray(GetParam().expected));
}

// Sends covered end to end by the window tests are left to them; these are the stop rules.
const auto kKeyPress = [](Dispatch& d) { d.system.SendKeyEvent(d.keyboard, 0x1E, 'a', true); };
const auto kMove = [](Dispatch& d) { d.system.SendMouseMove(d.mouse, 10, 20, 1, 2); };
const auto kVerticalMove = [](Dispatch& d) { d.system.SendMouseMove(d.mouse, 10, 20, 0, 2); };
const auto kAxis = [](Dispatch& d) { d.system.SendJoystickAxis(d.joystick, 1, 0.5f); };
const auto kUnbound = [](Dispatch& d) { d.system.SendDigitalEvent(d.keyboard, 0x1F, true); };
const auto kAxisTwice = [](Dispatch& d) {
  d.system.SendJoystickAxis(d.joystick, 1, 0.5f);
  d.system.SendJoystickAxis(d.joystick, 1, 0.5f);
};

INSTANTIATE_TEST_SUITE_P(
    Cases, Chains,
    ::testing::Values(
        ChainCase{"KeyPressWithCharacter", kKeyPress, {},
                  {"OnKey(30,1)", "OnUnicode(97)", "OnDigitalEvent(30,1)", "OnDigitalChannel(1)"}},
        ChainCase{"CharacterTakenStopsThePress", kKeyPress, {"OnUnicode"}, {"OnKey(30,1)", "OnUnicode(97)"}},
        ChainCase{"KeyTakenSuppressesTheCharacter", kKeyPress, {"OnKey"}, {"OnKey(30,1)"}},
        ChainCase{"AxesAreOfferedIndependently", kMove, {"OnAnalogueEvent"},
                  {"OnMouseMoved(10,20)", "OnAnalogueEvent(0,10)", "OnAnalogueEvent(1,20)"}},
        ChainCase{"MoveTaken", kMove, {"OnMouseMoved"}, {"OnMouseMoved(10,20)"}},
        // Mouse axis 0 moves only the channel bound to the axis, not the one bound to button 0.
        ChainCase{"MoveReachesOnlyAxisChannels", kMove, {},
                  {"OnMouseMoved(10,20)", "OnAnalogueEvent(0,10)", "OnAnalogueChannel(10)", "OnAnalogueEvent(1,20)",
                   "OnAnalogueChannel(20)"}},
        ChainCase{"VerticalMoveOffersOnlyAxisOne", kVerticalMove, {},
                  {"OnMouseMoved(10,20)", "OnAnalogueEvent(1,20)", "OnAnalogueChannel(20)"}},
        ChainCase{"JoystickAxisTaken", kAxis, {"OnJoystickAxis"}, {"OnJoystickAxis(1,0.5)"}},
        ChainCase{"AnUnchangedValueIsNotReported", kAxisTwice, {},
                  {"OnJoystickAxis(1,0.5)", "OnAnalogueEvent(1,0.5)", "OnAnalogueChannel(0.5)", "OnJoystickAxis(1,0.5)",
                   "OnAnalogueEvent(1,0.5)"}},
        ChainCase{"UnboundControlLeavesTheChannelsAlone", kUnbound, {}, {"OnDigitalEvent(31,1)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Dispatch, WithoutHandlerEventsGoStraightToTheChannelsUntilTheFrameEnds) {
  auto& button = system.DigitalChannels()[2];
  auto& wheel = system.AnalogueChannels()[5];
  system.SetInputHandler(nullptr);
  system.SendMouseButton(mouse, 0, true);
  EXPECT_EQ(button.state, 1);
  EXPECT_EQ(button.changed, 1);
  system.SendMouseWheel(mouse, 120);
  EXPECT_EQ(wheel.accumulatedChange, 120);
  system.Update();  // a new frame: the changes start over, the states stay
  EXPECT_EQ(button.changed, 0);
  EXPECT_EQ(button.state, 1);
  EXPECT_EQ(wheel.accumulatedChange, 0);
  EXPECT_EQ(wheel.value, 120);
}

TEST_F(Dispatch, ADigitalAxisBindingDecidesOverAHeldButtonBeforeIt) {
  auto& channel = system.DigitalChannels()[100];
  channel.bindings = {{mouse->id, 0, 0, 0}, {joystick->id, 1, 1, 0.6f}, {99, 0, 0, 0}};
  system.SendMouseButton(mouse, 0, true);
  EXPECT_EQ(channel.state, 0) << "0.5 is not above 0.6, even with the button held";
  joystick->axes[1] = 0.7f;
  system.SendJoystickAxis(joystick, 1, 0.7f);
  EXPECT_EQ(channel.state, 1);
  channel.bindings[1].threshold = -0.5f;  // a negative threshold looks below it
  joystick->axes[1] = -0.6f;
  system.SendJoystickAxis(joystick, 1, -0.6f);
  EXPECT_EQ(channel.state, 1);
  // The other order: a released button after the axis leaves the axis's 1 standing.
  auto& reversed = system.DigitalChannels()[101];
  reversed.bindings = {{joystick->id, 1, 1, 0.6f}, {mouse->id, 5, 0, 0}};
  joystick->axes[1] = 0.7f;
  system.SendJoystickAxis(joystick, 1, 0.7f);
  EXPECT_EQ(reversed.state, 1);
}

TEST_F(Dispatch, AnalogueThresholdBindingsPassOnlyBeyondTheirThreshold) {
  struct {
    float threshold, axis, value;
  } const cases[] = {{0.5f, 0.4f, 0.0f}, {0.5f, 0.6f, 1.2f}, {-0.5f, -0.6f, -1.2f},
                     {-0.5f, 0.6f, 0.0f}, {0.0f, -0.3f, -0.6f}};
  for (const auto& c : cases) {
    auto& channel = system.AnalogueChannels()[100];
    // A binding to a device that does not exist adds nothing.
    channel.bindings = {{joystick->id, 2, 2, c.threshold, 2.0f}, {99, 2, 0, 0, 0}};
    joystick->axes[2] = c.axis;
    system.SendJoystickAxis(joystick, 2, c.axis);
    EXPECT_FLOAT_EQ(channel.value, c.value) << c.threshold << " " << c.axis;
  }
}

TEST_F(Dispatch, AButtonBindingAddsItsValueWhileHeld) {
  auto& channel = system.AnalogueChannels()[100];
  channel.bindings = {{joystick->id, 3, 1, 0.25f, 0}, {joystick->id, 4, 1, 4.0f, 0}};
  system.SendJoystickButton(joystick, 3, true);
  EXPECT_FLOAT_EQ(channel.value, 0.25f);
  system.SendJoystickAxis(joystick, 3, 1.0f);  // an axis event does not reach button bindings
  EXPECT_FLOAT_EQ(channel.accumulatedChange, 0.25f);
}

class Repeat : public Dispatch {
 protected:
  void SetUp() override {
    Dispatch::SetUp();
    system.DigitalChannels().clear();
    gNow = 1000;
    system.Update();
    journal.clear();
  }
  // Frames of `ms` milliseconds; returns the journal they produced.
  std::vector<std::string> Frames(int count, std::uint32_t ms) {
    journal.clear();
    for (int i = 0; i < count; ++i) {
      gNow += ms;
      system.Update();
    }
    return journal;
  }
  const std::vector<std::string> pairA = {"OnKey(30,0)", "OnDigitalEvent(30,0)", "OnKey(30,1)",
                                          "OnUnicode(97)", "OnDigitalEvent(30,1)"};
};

TEST_F(Repeat, FirstAfterTheDelayThenEveryIntervalAndOnceAFrameAtMost) {
  system.ArmKeyRepeat(keyboard, 0x1E, 'a');
  EXPECT_THAT(Frames(6, 5000), IsEmpty()) << "each frame counts for 0.1 s only";
  EXPECT_THAT(Frames(4, 20), IsEmpty()) << "0.68 s";
  EXPECT_THAT(Frames(1, 30), ElementsAreArray(pairA)) << "0.71 s";
  EXPECT_THAT(Frames(4, 20), IsEmpty());
  EXPECT_THAT(Frames(1, 20), ElementsAreArray(pairA)) << "0.1 s later";
  EXPECT_EQ(Frames(3, 5000).size(), 3 * pairA.size());
}

TEST_F(Repeat, MovesToTheLastKeyAndStopsOnlyWithItsReleaseAndNeverWhenOff) {
  system.ArmKeyRepeat(keyboard, 0x1E, 'a');
  system.ArmKeyRepeat(keyboard, 0x30, 'b');
  system.DisarmKeyRepeat(0x1E);
  EXPECT_THAT(Frames(36, 20), ElementsAre("OnKey(48,0)", "OnDigitalEvent(48,0)", "OnKey(48,1)",
                                          "OnUnicode(98)", "OnDigitalEvent(48,1)"));
  system.DisarmKeyRepeat(0x30);
  EXPECT_THAT(Frames(40, 100), IsEmpty());
  system.SetKeyRepeat(false);
  system.ArmKeyRepeat(keyboard, 0x1E, 'a');
  EXPECT_THAT(Frames(40, 100), IsEmpty());
}

}  // namespace
