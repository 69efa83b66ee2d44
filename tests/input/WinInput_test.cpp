// The window's input system on the test backend: construction and its failures, window
// messages and the buffered drain, mice in shared and separate mode, focus and grab.
#include "TestHelpers.h"
#include "WinInput.h"
#include "WinKeyboard.h"
#include "WinMouse.h"

namespace {

using namespace inputtest;
using namespace Plattform::Eingabe;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

HANDLE const kMouse2 = reinterpret_cast<HANDLE>(0x11);

class Windowed : public InputTest {
 protected:
  // Starts the system over the test window; `devices` replaces the layer's list.
  WinInput* Start(std::vector<Geraet> devices = {}) {
    if (!devices.empty()) backend.zustand.geraete = std::move(devices);
    if (!DRENO::Initialize(FakeWindow())) return nullptr;
    backend.fenster = FakeWindow();
    journal.clear();
    auto* system = static_cast<WinInput*>(DRENO::GetInstance());
    system->SetInputHandler(&handler);
    return system;
  }
  WinMouse* Mouse(std::uint64_t n = 0) {
    return dynamic_cast<WinMouse*>(DRENO::GetInstance()->GetMouseByIndex(n));
  }
  void Button(USHORT flags, HANDLE device = kMaus) {
    backend.Nachricht(MausDatensatz(device, MOUSE_MOVE_RELATIVE, flags, 0, 0, 0));
  }
  Recorder handler;
};

struct Failure {
  const char* message;
  void (*inject)(TestBackend&);
};

class Construction : public Windowed, public ::testing::WithParamInterface<Failure> {};

TEST_P(Construction, FailsWithItsMessageAndLeavesTheWindowAsItWas) {
  LogCapture log;
  GetParam().inject(backend);
  EXPECT_FALSE(DRENO::Initialize(FakeWindow()));
  EXPECT_EQ(journal.back(), std::string("log: Exception while creating DRENO instance: ") + GetParam().message);
  EXPECT_EQ(DRENO::GetInstance(), nullptr);
  // The procedure is back: no hook left connected, and messages reach nobody.
  if (!backend.verbindungen.empty()) {
    EXPECT_FALSE(backend.verbindungen.back().second);
  }
  backend.Nachricht(MausDatensatz(kMaus, 0, 1, 0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, Construction,
    ::testing::Values(Failure{"HWND is not valid", [](TestBackend& b) { b.fensterGueltig = false; }},
                      Failure{"Unable to init DirectX8 Input", [](TestBackend& b) { b.zustand.fehler.directInput = true; }},
                      Failure{"Could not init default keyboard",
                              [](TestBackend& b) { b.zustand.fehler.systemTastatur = true; }},
                      Failure{"Keyboard format error", [](TestBackend& b) { b.zustand.fehler.datenformat = true; }},
                      Failure{"unable to get device count", [](TestBackend& b) { b.zustand.fehler.geraeteAnzahl = true; }},
                      Failure{"unable to retrieve device list",
                              [](TestBackend& b) { b.zustand.fehler.geraeteListe = true; }},
                      // After the devices are built: they must go with the system.
                      Failure{"failed to register for input messages",
                              [](TestBackend& b) { b.zustand.fehler.registrierung = true; }}));

TEST_F(Windowed, FindsMiceAndKeyboardsInListOrderAndSkipsRemoteDesktopAndOthers) {
  WinInput* system = Start({{kMaus, RIM_TYPEMOUSE, "\\\\?\\HID#VID_1"},
                            {kMouse2, RIM_TYPEMOUSE, "\\\\?\\Root#RDP_MOU#0000"},
                            {reinterpret_cast<HANDLE>(0x30), RIM_TYPEHID, "\\\\?\\HID#pad"},
                            {kTastatur, RIM_TYPEKEYBOARD, "\\\\?\\HID#kbd"}});
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(Mouse(0)->handle, kMaus);
  EXPECT_EQ(Mouse(1), nullptr);
  EXPECT_EQ(Mouse(0)->id, 0u);
  EXPECT_EQ(system->GetFirstKeyboard()->id, 1u);
  EXPECT_EQ(backend.zustand.registriert.size(), 3u);
  system->Update();
  Button(0x0001, kMouse2);  // the remote-desktop mouse's records are ignored
  EXPECT_THAT(journal, IsEmpty());
  Button(0x0001);
  EXPECT_TRUE(Mouse()->IsButtonDown(0));
}

TEST_F(Windowed, Wow64MovesTheDevicePartOfBufferedRecordsOnly) {
  backend.zustand.wow64 = true;
  WinInput* system = Start();
  ASSERT_TRUE(system->IsWow64());
  Puffere(MausDatensatz(kMaus, 0, 0x0001, 0, 0, 0, true));
  backend.Nachricht(MausDatensatz(kMaus, 0, 0x0004, 0, 0, 0));
  system->Update();
  EXPECT_TRUE(Mouse()->IsButtonDown(0));
  EXPECT_TRUE(Mouse()->IsButtonDown(1));
}

TEST_F(Windowed, WheelNotchesSumUntilTheNextFrameWhichBringsThemToRest) {
  WinInput* system = Start();
  system->Update();
  journal.clear();
  for (int i = 0; i < 2; ++i) backend.Nachricht(MausDatensatz(kMaus, 0, RI_MOUSE_WHEEL, 120, 0, 0));
  EXPECT_EQ(Mouse()->GetAnalogueAbs(2), 240);
  EXPECT_EQ(Mouse()->GetAnalogueRel(2), 240);
  system->Update();
  EXPECT_EQ(Mouse()->GetAnalogueAbs(2), 0);
  EXPECT_EQ(Mouse()->GetAnalogueRel(2), -240);
  EXPECT_THAT(journal, ElementsAre("OnMouseWheel(120)", "OnAnalogueEvent(2,120)", "OnMouseWheel(120)",
                                   "OnAnalogueEvent(2,120)", "OnMouseWheel(0)", "OnAnalogueEvent(2,0)"));
  backend.Nachricht(MausDatensatz(kMaus, 0, RI_MOUSE_WHEEL, -240, 0, 0));
  EXPECT_EQ(Mouse()->GetAnalogueAbs(2), -240);
}

TEST_F(Windowed, ADownUpPairInOneRecordPressesThenReleases) {
  WinInput* system = Start();
  system->Update();
  journal.clear();
  Button(0x0010 | 0x0020);
  EXPECT_THAT(journal, ElementsAre("OnMouseButton(2,1)", "OnDigitalEvent(2,1)", "OnMouseButton(2,0)",
                                   "OnDigitalEvent(2,0)"));
  EXPECT_FALSE(Mouse()->IsButtonDown(2));
}

TEST_F(Windowed, TheFirstFrameDropsKeysButOnlySkipsTheMouseSwap) {
  LogCapture log;
  WinInput* system = Start({{kMaus, RIM_TYPEMOUSE, "m0"}, {kMouse2, RIM_TYPEMOUSE, "m1"},
                            {kTastatur, RIM_TYPEKEYBOARD, "k"}});
  journal.clear();
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

TEST_F(Windowed, BufferedRecordsAreWalkedUntilOneDoesNotFit) {
  WinInput* system = Start();
  system->Update();
  Puffere(MausDatensatz(kMaus, 0, 0x0001, 0, 0, 0));
  Datensatz lying = MausDatensatz(kMaus, 0, 0x0004, 0, 0, 0);
  reinterpret_cast<RAWINPUTHEADER*>(lying.bytes)->dwSize = 4000;
  Puffere(lying);
  Puffere(MausDatensatz(kMaus, 0, 0x0010, 0, 0, 0));
  system->Update();
  EXPECT_TRUE(Mouse()->IsButtonDown(0));
  EXPECT_FALSE(Mouse()->IsButtonDown(1));
  EXPECT_FALSE(Mouse()->IsButtonDown(2)) << "the batch ends at the lying record";
  EXPECT_TRUE(backend.zustand.puffer.empty());
}

TEST_F(Windowed, SharedModeFollowsTheCursorInsideTheClientArea) {
  backend.SetzeClientCursor(10, 20);
  WinInput* system = Start();
  EXPECT_EQ(Mouse()->GetMouseX(), 10);
  system->Update();
  journal.clear();
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
}

TEST_F(Windowed, SeparateMiceMoveByTheirOwnMovement) {
  WinInput* system = Start({{kMaus, RIM_TYPEMOUSE, "m0"}, {kMouse2, RIM_TYPEMOUSE, "m1"}});
  system->SetSeparateDevices(true);
  system->Update();
  journal.clear();
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
}

TEST_F(Windowed, LosingFocusReleasesHeldButtonsAndKeysWithEvents) {
  WinInput* system = Start();
  system->Update();
  Button(0x0001);
  backend.Taste(30, true);
  journal.clear();
  system->SetFocus(false);
  EXPECT_THAT(journal, ElementsAre("OnMouseButton(0,0)", "OnDigitalEvent(0,0)", "OnKey(30,0)", "OnDigitalEvent(30,0)"));
  EXPECT_TRUE(Mouse()->WasButtonReleased(0));
  EXPECT_TRUE(system->GetFirstKeyboard()->WasKeyReleased(0x1E));
  system->Update();
  EXPECT_FALSE(Mouse()->WasButtonReleased(0));
  journal.clear();
  backend.SetzeClientCursor(40, 40);
  system->SetFocus(true);  // the position is read again
  EXPECT_THAT(journal, ElementsAre("OnMouseMoved(40,40)", "OnAnalogueEvent(0,40)", "OnAnalogueEvent(1,40)"));
}

TEST_F(Windowed, TheGrabCentresTheCursorInTheClientArea) {
  backend.SetzeClientCursor(100, 100);
  WinInput* system = Start();
  system->Update();
  system->SetGrabWanted(true);
  system->UpdateMouseGrab();
  EXPECT_EQ(backend.ClientCursor().x, 320);
  EXPECT_EQ(backend.ClientCursor().y, 240);
  backend.SetzeClientCursor(330, 235);
  system->Update();
  EXPECT_EQ(Mouse()->GetMouseX(), 110);
  EXPECT_EQ(Mouse()->GetMouseY(), 95);
  EXPECT_EQ(backend.ClientCursor().x, 320) << "put back every frame";
  // Releasing puts the cursor at the mouse's position, kept inside the client area.
  backend.SetzeClientCursor(900, 240);
  system->Update();
  system->SetGrabWanted(false);
  system->UpdateMouseGrab();
  EXPECT_EQ(backend.ClientCursor().x, 640);
  EXPECT_EQ(backend.ClientCursor().y, 95);
}

}  // namespace
