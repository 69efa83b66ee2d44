// The window's input system on the test backend: construction and its failures, window
// messages and the buffered drain, mice in shared and separate mode, focus and grab.
#include <cstring>

#include "TestHelpers.h"
#include "WinMouse.h"

namespace {

using namespace inputtest;
using namespace Plattform::Eingabe;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

HANDLE const kMouse2 = reinterpret_cast<HANDLE>(0x11);

class Windowed : public WindowTest {
 protected:
  WinMouse* Mouse(std::uint64_t n = 0) { return dynamic_cast<WinMouse*>(system->GetMouseByIndex(n)); }
  void Button(USHORT flags, HANDLE device = kMaus) {
    backend.Nachricht(MausDatensatz(device, MOUSE_MOVE_RELATIVE, flags, 0, 0, 0));
  }
  void Wheel(SHORT notches) { backend.Nachricht(MausDatensatz(kMaus, 0, RI_MOUSE_WHEEL, notches, 0, 0)); }
};

using Fehler = decltype(Zustand::fehler);

struct Failure {
  const char* message;
  bool Fehler::*step;  // none: the window handle is no window
};

class Construction : public Windowed, public ::testing::WithParamInterface<Failure> {};

TEST_P(Construction, FailsWithItsMessageAndLeavesTheWindowAsItWas) {
  LogCapture log;
  if (GetParam().step != nullptr) backend.zustand.fehler.*GetParam().step = true;
  EXPECT_FALSE(DRENO::Initialize(GetParam().step != nullptr ? FakeWindow() : nullptr));
  EXPECT_EQ(journal.back(),
            std::string("log: Exception while creating DRENO instance: ") + GetParam().message);
  EXPECT_EQ(DRENO::GetInstance(), nullptr);
  // The procedure is back: no hook left connected, and messages reach nobody.
  EXPECT_TRUE(backend.verbindungen.empty() || !backend.verbindungen.back().second);
  backend.Nachricht(MausDatensatz(kMaus, 0, 1, 0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, Construction,
    ::testing::Values(Failure{"HWND is not valid", nullptr},
                      Failure{"Unable to init DirectX8 Input", &Fehler::directInput},
                      Failure{"Could not init default keyboard", &Fehler::systemTastatur},
                      Failure{"Keyboard format error", &Fehler::datenformat},
                      Failure{"unable to get device count", &Fehler::geraeteAnzahl},
                      Failure{"unable to retrieve device list", &Fehler::geraeteListe},
                      // After the devices are built: they must go with the system.
                      Failure{"failed to register for input messages", &Fehler::registrierung}));

// Devices come in list order, without remote-desktop ones and others. In the first frame
// a keyboard reports what is held (dropped); a mouse applies its records but does not swap.
TEST_F(Windowed, FindsMiceAndKeyboardsAndTheirFirstFrame) {
  LogCapture log;
  HANDLE const remote = reinterpret_cast<HANDLE>(0x12);
  backend.zustand.geraete = {{kMaus, RIM_TYPEMOUSE, "\\\\?\\HID#VID_1"},
                             {remote, RIM_TYPEMOUSE, "\\\\?\\Root#RDP_MOU#0000"},
                             {reinterpret_cast<HANDLE>(0x30), RIM_TYPEHID, "\\\\?\\HID#pad"},
                             {kMouse2, RIM_TYPEMOUSE, "m1"},
                             {kTastatur, RIM_TYPEKEYBOARD, "\\\\?\\HID#kbd"}};
  ASSERT_NE(Start(), nullptr);
  EXPECT_EQ(Mouse(1)->handle, kMouse2);
  EXPECT_EQ(Mouse(2), nullptr);
  EXPECT_EQ(system->GetFirstKeyboard()->id, 2u);
  EXPECT_EQ(backend.zustand.registriert.size(), 3u);
  Button(0x0001, remote);
  backend.Taste(30, true);
  Button(0x0001, kMouse2);
  EXPECT_THAT(journal, ElementsAre("OnMouseButton(0,1)", "OnDigitalEvent(0,1)"));
  EXPECT_FALSE(system->GetFirstKeyboard()->IsKeyDown(0x1E)) << "held at start, reads as up";
  system->Update();
  journal.clear();
  Button(0x0002, kMouse2);
  EXPECT_EQ(journal.front(), "log: Swap mice due to activity: 1,1 and 0,0");
  EXPECT_EQ(Mouse(0)->handle, kMouse2);
}

// The walk ends at a record that does not fit. Under WOW64 buffered records carry 8 more
// bytes before the device part; messages do not.
TEST_F(Windowed, BufferedRecordsAreWalkedUntilOneDoesNotFitAndMoveUnderWow64) {
  backend.zustand.wow64 = true;
  StartAndSettle();
  Puffere(MausDatensatz(kMaus, 0, 0x0001, 0, 0, 0, true));
  Datensatz lying = MausDatensatz(kMaus, 0, 0x0004, 0, 0, 0, true);
  reinterpret_cast<RAWINPUTHEADER*>(lying.bytes)->dwSize = 4000;
  Puffere(lying);
  Puffere(MausDatensatz(kMaus, 0, 0x0010, 0, 0, 0, true));
  Button(0x0040);
  system->Update();
  EXPECT_TRUE(Mouse()->IsButtonDown(0));
  EXPECT_TRUE(Mouse()->IsButtonDown(3)) << "the message";
  EXPECT_FALSE(Mouse()->IsButtonDown(1));
  EXPECT_FALSE(Mouse()->IsButtonDown(2)) << "the batch ends at the lying record";
  EXPECT_TRUE(backend.zustand.puffer.empty());

  // A record of another kind off the 8-byte grid: the next one starts on it.
  Datensatz fremd{};
  fremd.groesse = sizeof(RAWINPUTHEADER) + 5;
  const RAWINPUTHEADER kopf{RIM_TYPEHID, fremd.groesse, kMaus, 0};
  std::memcpy(fremd.bytes, &kopf, sizeof kopf);
  Puffere(fremd);
  Puffere(MausDatensatz(kMaus, 0, 0x0100, 0, 0, 0, true));
  system->Update();
  EXPECT_TRUE(Mouse()->IsButtonDown(4));
}

TEST_F(Windowed, ADownUpPairPressesThenReleasesAndWheelNotchesSumUntilTheNextFrame) {
  StartAndSettle();
  Button(0x0010 | 0x0020);
  EXPECT_THAT(journal, ElementsAre("OnMouseButton(2,1)", "OnDigitalEvent(2,1)", "OnMouseButton(2,0)",
                                   "OnDigitalEvent(2,0)"));
  EXPECT_FALSE(Mouse()->IsButtonDown(2));

  journal.clear();
  Wheel(120);
  Wheel(120);
  EXPECT_EQ(Mouse()->GetAnalogueAbs(2), 240);
  EXPECT_EQ(Mouse()->GetAnalogueRel(2), 240);
  system->Update();  // brings the wheel to rest
  EXPECT_EQ(Mouse()->GetAnalogueAbs(2), 0);
  EXPECT_EQ(Mouse()->GetAnalogueRel(2), -240);
  EXPECT_THAT(journal, ElementsAre("OnMouseWheel(120)", "OnAnalogueEvent(2,120)", "OnMouseWheel(120)",
                                   "OnAnalogueEvent(2,120)", "OnMouseWheel(0)", "OnAnalogueEvent(2,0)"));
  Wheel(-240);
  EXPECT_EQ(Mouse()->GetAnalogueAbs(2), -240);
}

TEST_F(Windowed, SharedModeFollowsTheCursorInsideTheClientAreaAndTheGrabCentresIt) {
  backend.SetzeClientCursor(10, 20);
  StartAndSettle();
  EXPECT_EQ(Mouse()->GetMouseX(), 10);
  backend.Nachricht(MausDatensatz(kMaus, MOUSE_MOVE_RELATIVE, 0, 0, 50, 50));  // raw movement is ignored
  backend.SetzeClientCursor(15, 20);
  system->Update();
  EXPECT_THAT(journal, ElementsAre("OnMouseMoved(15,20)", "OnAnalogueEvent(0,15)"));
  EXPECT_EQ(Mouse()->GetRelMouseX(), 5);
  journal.clear();
  backend.SetzeClientCursor(-3, 20);  // left of the window
  system->Update();
  EXPECT_THAT(journal, IsEmpty());
  EXPECT_EQ(Mouse()->GetMouseX(), 15);

  system->SetGrabWanted(true);
  system->UpdateMouseGrab();
  EXPECT_EQ(backend.ClientCursor().x, 320);
  EXPECT_EQ(backend.ClientCursor().y, 240);
  backend.SetzeClientCursor(330, 235);
  system->Update();
  EXPECT_EQ(Mouse()->GetMouseX(), 25);
  EXPECT_EQ(Mouse()->GetMouseY(), 15);
  EXPECT_EQ(backend.ClientCursor().x, 320) << "put back every frame";
  // Releasing puts the cursor at the mouse's position, kept inside the client area.
  backend.SetzeClientCursor(990, 240);
  system->Update();
  system->SetGrabWanted(false);
  system->UpdateMouseGrab();
  EXPECT_EQ(backend.ClientCursor().x, 640);
  EXPECT_EQ(backend.ClientCursor().y, 15);
}

TEST_F(Windowed, SeparateMiceMoveByTheirOwnMovement) {
  backend.zustand.geraete = {{kMaus, RIM_TYPEMOUSE, "m0"}, {kMouse2, RIM_TYPEMOUSE, "m1"}};
  StartAndSettle();
  system->SetSeparateDevices(true);
  backend.Nachricht(MausDatensatz(kMouse2, MOUSE_MOVE_RELATIVE, 0x0001, 0, 7, -2));  // between frames
  Puffere(MausDatensatz(kMouse2, MOUSE_MOVE_RELATIVE, 0, 0, 1, 1));
  backend.SetzeClientCursor(300, 300);  // the cursor is not theirs
  system->Update();
  WinMouse* moved = Mouse(0);  // used first, so now mouse 0
  EXPECT_EQ(moved->handle, kMouse2);
  EXPECT_EQ(moved->GetRelMouseX(), 8);
  EXPECT_EQ(moved->GetRelMouseY(), -1);
  EXPECT_TRUE(moved->IsButtonDown(0));
  EXPECT_FALSE(Mouse(1)->IsButtonDown(0));
  EXPECT_EQ(Mouse(1)->GetRelMouseX(), 0);
  // Absolute records move by the difference to the last position.
  backend.Nachricht(MausDatensatz(kMouse2, MOUSE_MOVE_ABSOLUTE, 0, 0, 100, 50));
  system->Update();
  backend.Nachricht(MausDatensatz(kMouse2, MOUSE_MOVE_ABSOLUTE, 0, 0, 130, 40));
  system->Update();
  EXPECT_EQ(moved->GetMouseX(), 130);
  EXPECT_EQ(moved->GetRelMouseX(), 30);
  EXPECT_EQ(moved->GetRelMouseY(), -10);
}

// Shared mode: another mouse's buttons and wheel land on mouse 0 (used first, so no swap).
TEST_F(Windowed, SharedModeButtonsAndWheelOfAnyMouseReachMouseZero) {
  backend.zustand.geraete = {{kMaus, RIM_TYPEMOUSE, "m0"}, {kMouse2, RIM_TYPEMOUSE, "m1"}};
  StartAndSettle();
  Button(0x0001 | 0x0002);
  Button(0x0004, kMouse2);
  backend.Nachricht(MausDatensatz(kMouse2, 0, RI_MOUSE_WHEEL, 120, 0, 0));
  ASSERT_EQ(Mouse(0)->handle, kMaus);
  EXPECT_TRUE(Mouse(0)->IsButtonDown(1));
  EXPECT_FALSE(Mouse(1)->IsButtonDown(1));
  EXPECT_EQ(Mouse(0)->GetAnalogueAbs(2), 120);
  EXPECT_EQ(Mouse(1)->GetAnalogueAbs(2), 0);
}

// In its first frame a mouse takes the cursor on focus gain without reporting a move.
TEST_F(Windowed, FocusGainInTheFirstFrameSendsNoMove) {
  ASSERT_NE(Start(), nullptr);
  system->SetFocus(false);
  backend.SetzeClientCursor(40, 30);
  journal.clear();
  system->SetFocus(true);
  EXPECT_THAT(Lines("OnMouse"), IsEmpty());
  EXPECT_EQ(Mouse()->GetMouseX(), 40);
}

TEST_F(Windowed, LosingFocusReleasesHeldButtonsAndKeysWithEvents) {
  StartAndSettle();
  Button(0x0001);
  backend.Taste(30, true);
  journal.clear();
  system->SetFocus(false);
  EXPECT_THAT(journal, ElementsAre("OnMouseButton(0,0)", "OnDigitalEvent(0,0)", "OnKey(30,0)",
                                   "OnDigitalEvent(30,0)"));
  EXPECT_TRUE(Mouse()->WasButtonReleased(0));
  EXPECT_TRUE(system->GetFirstKeyboard()->WasKeyReleased(0x1E));
  system->Update();
  EXPECT_FALSE(Mouse()->WasButtonReleased(0));
  journal.clear();
  backend.SetzeClientCursor(40, 40);
  system->SetFocus(true);  // the position is read again
  EXPECT_THAT(journal, ElementsAre("OnMouseMoved(40,40)", "OnAnalogueEvent(0,40)", "OnAnalogueEvent(1,40)"));
}

}  // namespace
