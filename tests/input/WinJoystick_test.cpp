// Game controllers on the test backend: construction and its failures, the WMI match to
// XInput slots, the XInput layout, buffered DirectInput records, unplugging and focus loss.
#include <algorithm>

#include "Steuergeraete.h"
#include "TestHelpers.h"
#include "WinJoystick.h"

namespace {

using namespace inputtest;
using namespace Plattform::Eingabe;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

Steuergeraet Knueppel(DWORD achsen = 3, DWORD knoepfe = 5) {
  Steuergeraet s;
  s.typ = DI8DEVTYPE_FLIGHT;
  s.achsen = achsen;
  s.knoepfe = knoepfe;
  return s;
}

// Read through XInput once WMI lists its maker and product with "IG_".
Steuergeraet Pad() {
  Steuergeraet s = Knueppel(6, 11);
  s.hersteller = 0x045E;
  s.produkt = 0x028E;
  s.gamepad = true;
  return s;
}

class Controller : public WindowTest {
 protected:
  WinInput* Start(std::vector<Steuergeraet> liste) {
    Steuergeraete().liste = std::move(liste);
    return WindowTest::Start();
  }
  WinJoystick* Joystick(std::uint64_t n = 0) {
    return dynamic_cast<WinJoystick*>(system->GetJoystickByIndex(n));
  }
  Steuergeraet& Layer(std::size_t n = 0) { return Steuergeraete().liste[n]; }
  // One frame; the controller events it sent.
  std::vector<std::string> Frame() {
    journal.clear();
    system->Update();
    return Lines("OnJoystick");
  }
};

// Each step's failure has its message, and such a controller is left out while the next
// one works.
TEST_F(Controller, AControllerWhoseSetUpFailsIsLeftOut) {
  const std::pair<HRESULT Steuergeraet::*, const char*> faelle[] = {
      {&Steuergeraet::erzeugen, "Could not initialize controller device"},
      {&Steuergeraet::datenformat, "Controller data format error"},
      {&Steuergeraet::kooperation, "Controller failed to set cooperation level"},
      {&Steuergeraet::puffergroesse, "Controller failed to set buffer size property"},
      {&Steuergeraet::faehigkeiten, "Controller failed to get capabilities"},
      {&Steuergeraet::bereich, "Controller failed to set min/max range property"}};
  for (const auto& [schritt, message] : faelle) {
    SCOPED_TRACE(message);
    Steuergeraet kaputt = Knueppel();
    kaputt.*schritt = E_FAIL;
    ASSERT_NE(Start({kaputt, Knueppel(2, 4)}), nullptr);
    ASSERT_NE(Joystick(0), nullptr);
    EXPECT_EQ(Joystick(1), nullptr);
    EXPECT_EQ(Joystick(0)->GetNumAnalogues(), 2u);

    IDirectInput8A* di = nullptr;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                 reinterpret_cast<LPVOID*>(&di), nullptr),
              DI_OK);
    EXPECT_THAT([&] { WinJoystick(system, 9, di, InstanzGuid(0), ProduktGuid(Layer())); },
                ThrowsMessage<std::runtime_error>(StrEq(message)));
    di->Release();
    DRENO::Shutdown();
  }
}

TEST_F(Controller, AxesAreNumberedAndCountsCapped) {
  ASSERT_NE(Start({Knueppel(20, 70)}), nullptr);
  WinJoystick* j = Joystick();
  EXPECT_EQ(j->GetNumButtons(), 64u);
  EXPECT_EQ(j->GetNumAnalogues(), 16u);
  EXPECT_EQ(j->achsenNummeriert, 20u);
  Frame();  // first frame: acquires
  Layer().knopfWerte[63] = Layer().knopfWerte[69] = true;
  Layer().achsWerte[2] = -32768;
  Layer().achsWerte[19] = 32767;
  EXPECT_THAT(Frame(), ElementsAre("OnJoystickAxis(2,-1)", "OnJoystickButton(63,1)"));
}

// WMI's list decides the XInput slots; whatever WMI step fails, the controllers stay on
// DirectInput, and every COM object and string is given back.
TEST_F(Controller, WmiGivesIdenticalPadsSlotsInItsOrder) {
  Steuergeraete().wmiWeitere = {"ACPI\\PNP0303\\4&1", "USB\\VID_045E&PID_028E\\no-ig"};
  ASSERT_NE(Start({Pad(), Knueppel(), Pad()}), nullptr);
  EXPECT_EQ(Joystick(0)->xinputSlot, 0u);
  EXPECT_EQ(Joystick(1)->xinputSlot, WinJoystick::kKeinSlot);
  EXPECT_EQ(Joystick(2)->xinputSlot, 1u);
  EXPECT_EQ(Joystick(2)->GetNumButtons(), 13u);
  EXPECT_EQ(Joystick(2)->GetNumAnalogues(), 8u);
  EXPECT_EQ(Steuergeraete().comOffen, 0);
  EXPECT_EQ(Steuergeraete().wmiObjekte, 0);
  DRENO::Shutdown();
  // One "IG_" entry is one slot: an identical controller that WMI does not list keeps none.
  Steuergeraet unlisted = Pad();
  unlisted.gamepad = false;
  ASSERT_NE(Start({Pad(), unlisted}), nullptr);
  EXPECT_EQ(Joystick(0)->xinputSlot, 0u);
  EXPECT_EQ(Joystick(1)->xinputSlot, WinJoystick::kKeinSlot);
  DRENO::Shutdown();

  using Fehler = decltype(SteuergeraeteZustand::wmiFehler);
  for (bool Fehler::*schritt : {&Fehler::locator, &Fehler::verbinden, &Fehler::blanket,
                                &Fehler::aufzaehlen, &Fehler::naechstes, &Fehler::lesen}) {
    Steuergeraete().wmiFehler = {};
    Steuergeraete().wmiFehler.*schritt = true;
    ASSERT_NE(Start({Pad()}), nullptr);
    EXPECT_EQ(Joystick()->xinputSlot, WinJoystick::kKeinSlot);
    EXPECT_EQ(Steuergeraete().comOffen, 0);
    EXPECT_EQ(Steuergeraete().wmiObjekte, 0);
    DRENO::Shutdown();
  }
  // COM that cannot be initialised for the thread is still tried, and not undone.
  Steuergeraete().wmiFehler = {};
  Steuergeraete().wmiFehler.coInit = true;
  ASSERT_NE(Start({Pad()}), nullptr);
  EXPECT_EQ(Joystick()->xinputSlot, 0u);
  EXPECT_EQ(Steuergeraete().comOffen, 0);
}

TEST_F(Controller, PadAxesAtTheirEdges) {
  constexpr WORD kLeftAndRight = XINPUT_GAMEPAD_DPAD_LEFT | XINPUT_GAMEPAD_DPAD_RIGHT;
  const struct {
    XINPUT_GAMEPAD pad;
    std::uint64_t achse;
    float wert;
  } faelle[] = {{{0, 0, 0, -32768, 0, 0, 0}, 0, -1.0f},  // clamped
                {{0, 0, 0, 32767, 0, 0, 0}, 0, 1.0f},
                {{0, 0, 0, 0, -32768, 0, 0}, 1, 32768.0f / 32767.0f},  // down: just above one
                {{0, 0, 0, 0, 0, 0, 32767}, 4, -1.0f},                  // the right stick up
                {{0, 255, 0, 0, 0, 0, 0}, 2, 255 * 0.007874016f},       // a trigger reads two
                {{kLeftAndRight, 0, 0, 0, 0, 0, 0}, 6, 0.0f},
                {{XINPUT_GAMEPAD_DPAD_UP, 0, 0, 0, 0, 0, 0}, 7, -1.0f}};
  ASSERT_NE(Start({Pad()}), nullptr);
  for (const auto& fall : faelle) {
    Layer().pad = fall.pad;
    Frame();
    EXPECT_FLOAT_EQ(Joystick()->GetAnalogueAbs(fall.achse), fall.wert) << "axis " << fall.achse;
  }
}

TEST_F(Controller, PadButtonsAndUnplugging) {
  Steuergeraet pad = Pad();
  pad.pad.wButtons = XINPUT_GAMEPAD_A;  // held at start: no press event, only its release
  pad.pad.sThumbLX = -32768;             // pushed at start: no axis event either
  ASSERT_NE(Start({pad}), nullptr);
  EXPECT_THAT(Frame(), IsEmpty());
  EXPECT_TRUE(Joystick()->IsButtonDown(0));
  Layer().pad.wButtons = XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_BACK | XINPUT_GAMEPAD_RIGHT_THUMB;
  Layer().pad.sThumbLX = 32767;
  EXPECT_THAT(Frame(), ElementsAre("OnJoystickAxis(0,1)", "OnJoystickButton(7,1)", "OnJoystickButton(10,1)"));
  EXPECT_TRUE(Joystick()->WasButtonPressed(7));
  Layer().angeschlossen = false;
  EXPECT_THAT(Frame(), ElementsAre("OnJoystickAxis(0,0)", "OnJoystickButton(0,0)", "OnJoystickButton(7,0)",
                                   "OnJoystickButton(10,0)"));
}

TEST_F(Controller, BufferedRecordsSuccessNoticesAndUnplugging) {
  ASSERT_NE(Start({Knueppel()}), nullptr);
  Frame();
  Layer().knopfWerte[1] = true;
  Layer().achsWerte[0] = 16384;
  Layer().lesen = {DI_BUFFEROVERFLOW};  // a success notice: the records are good
  EXPECT_THAT(Frame(), ElementsAre("OnJoystickAxis(0,0.500015)", "OnJoystickButton(1,1)"));
  // A failed read is followed by Acquire and a second read, whose records count.
  Layer().knopfWerte[1] = false;
  Layer().knopfWerte[3] = true;
  Layer().lesen = {DIERR_INPUTLOST};
  EXPECT_THAT(Frame(), ElementsAre("OnJoystickButton(1,0)", "OnJoystickButton(3,1)"));

  Layer().angeschlossen = false;  // Acquire answers "input lost" for ever
  Layer().aufrufe.clear();
  EXPECT_THAT(Frame(), ElementsAre("OnJoystickAxis(0,0)", "OnJoystickButton(3,0)"));
  const auto& aufrufe = Layer().aufrufe;
  EXPECT_LE(std::count(aufrufe.begin(), aufrufe.end(), "Acquire"), WinJoystick::kAcquireVersuche);
}

TEST_F(Controller, FocusLossReturnsEverythingToRest) {
  ASSERT_NE(Start({Pad()}), nullptr);
  Frame();
  Layer().pad.wButtons = XINPUT_GAMEPAD_B;
  Layer().pad.bRightTrigger = 127;
  Frame();
  journal.clear();
  system->SetFocus(false);
  EXPECT_THAT(Lines("OnJoystick"), ElementsAre("OnJoystickAxis(5,0)", "OnJoystickButton(1,0)"));
  EXPECT_FLOAT_EQ(Joystick()->GetAnalogueRel(5), -127 * 0.007874016f);
  EXPECT_TRUE(Joystick()->WasButtonReleased(1));
  EXPECT_THAT(Frame(), IsEmpty()) << "without focus nothing is read";
}

}  // namespace
