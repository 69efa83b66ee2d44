// The device model: key-code forwarding, numbering per kind, and the swap that makes the
// first-used mouse or keyboard number 0.
#include <cstdint>
#include <limits>

#include "TestHelpers.h"

namespace {

using namespace inputtest;
using ::testing::ElementsAre;

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

using Numbering = OwnSystem;

TEST_F(Numbering, EachKindCountsOnItsOwnAndTheFirstOfAKindIsRemembered) {
  auto* pad = system.Add<TestJoystick>("pad");
  auto* mouse0 = system.Add<TestMouse>("mouse0");
  auto* keyboard0 = system.Add<TestKeyboard>("keyboard0");
  auto* mouse1 = system.Add<TestMouse>("mouse1");
  auto* pad1 = system.Add<TestJoystick>("pad1");
  auto* keyboard1 = system.Add<TestKeyboard>("keyboard1");
  system.AddDevice(nullptr);  // ignored

  ASSERT_EQ(system.devices_.size(), 6u);
  EXPECT_EQ(pad1->index, 1u);
  EXPECT_EQ(keyboard1->id, 5u);
  EXPECT_EQ(system.GetFirstMouse(), mouse0);
  EXPECT_EQ(system.GetFirstKeyboard(), keyboard0);
  EXPECT_EQ(system.GetFirstJoystick(), pad);
  EXPECT_EQ(system.GetMouseByIndex(1), mouse1);
  EXPECT_EQ(system.GetMouseByIndex(2), nullptr);
  EXPECT_EQ(system.GetKeyboardByIndex(1), keyboard1);
}

class Swap : public OwnSystem {
 protected:
  // A controller first, so that ids and per-kind indices differ.
  void SetUp() override { system.Add<TestJoystick>("pad"); }
};

// Each device starts at most one swap, with the lowest unused number below its own; it may
// still be moved later as the other party. Input in the first frame does not count.
TEST_F(Swap, ThreeMiceEachSwapAtMostOnce) {
  auto* a = system.Add<TestMouse>("a");  // id 1
  auto* b = system.Add<TestMouse>("b");  // id 2
  auto* c = system.Add<TestMouse>("c");  // id 3
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
  for (std::uint64_t id = 0; id < system.devices_.size(); ++id)
    EXPECT_EQ(system.devices_[id]->id, id) << "ids stay array positions";
}

TEST_F(Swap, KeyboardsSwapWithoutALogLineAndMiceAreLeftAlone) {
  auto* mouse = system.Add<TestMouse>("mouse");
  auto* k0 = system.Add<TestKeyboard>("k0");  // id 2
  auto* k1 = system.Add<TestKeyboard>("k1");  // id 3
  system.Update();
  journal.clear();

  system.SwapKeyboardsOnActivity(k1);
  EXPECT_TRUE(journal.empty());
  EXPECT_EQ(k0->index, 1u);
  EXPECT_EQ(system.devices_[2].get(), k1);
  EXPECT_EQ(system.GetFirstKeyboard(), k1);
  EXPECT_EQ(system.GetFirstMouse(), mouse);
  EXPECT_FALSE(mouse->hadActivity);
}

}  // namespace
