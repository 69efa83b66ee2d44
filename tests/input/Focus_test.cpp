// Window focus and mouse grab: what is logged, in which order the platform is asked to
// reset the devices and place the cursor, and when nothing happens at all.
#include "TestHelpers.h"

namespace {

using namespace inputtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Focus : public InputTest {
 protected:
  LogCapture log;
  TestSystem system;
  // The fixture owns the system, so the base's set-up and tear-down (which expect no
  // system and shut one down) do not apply.
  void SetUp() override { journal.clear(); }
  void TearDown() override {}
};

TEST_F(Focus, TheSameValueDoesNothing) {
  system.SetFocus(true);
  EXPECT_THAT(journal, IsEmpty());
  system.SetFocus(false);
  journal.clear();
  system.SetFocus(false);
  EXPECT_THAT(journal, IsEmpty());
  EXPECT_FALSE(system.HasFocus());
}

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
  EXPECT_TRUE(system.IsGrabbed());
}

TEST_F(Focus, GrabOnlyWhenWantedFocusedAndShared) {
  system.UpdateMouseGrab();  // not wanted
  EXPECT_THAT(journal, IsEmpty());

  system.SetGrabWanted(true);
  system.SetSeparateDevices(true);
  system.UpdateMouseGrab();  // separate devices are never held
  EXPECT_THAT(journal, IsEmpty());
  EXPECT_FALSE(system.IsGrabbed());

  system.SetSeparateDevices(false);
  system.SetFocus(false);
  journal.clear();
  system.UpdateMouseGrab();  // no focus
  EXPECT_THAT(journal, IsEmpty());

  system.SetFocus(true);
  EXPECT_TRUE(system.IsGrabbed());
  journal.clear();
  system.UpdateMouseGrab();  // already in line
  EXPECT_THAT(journal, IsEmpty());

  system.SetGrabWanted(false);
  system.UpdateMouseGrab();
  EXPECT_THAT(journal, ElementsAre("log: DRENO: releasing mouse", "PlaceCursor(false)"));
}

}  // namespace
