// Real X events through GLFW and the input layer into the input system: keys, motion,
// buttons and wheel notches; clicks and key taps that arrive within one frame; the X
// server's layout changed while the system runs.
#include <GLFW/glfw3.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Dreno.h"
#include "WinInput.h"
#include "fenster/Fenster.h"

// The server's own key repeat would turn a held key into release and press pairs.
void SchalteTastenwiederholungAus();
// Locks the core keyboard's layout group, as a layout switch of the desktop does.
void SperreGruppe(unsigned gruppe);

namespace {

using ::testing::ElementsAre;

struct Journal : DRENO::InputHandler {
  std::vector<std::string> lines;
  bool Note(std::string line) {
    lines.push_back(std::move(line));
    return true;
  }
  static std::string Down(bool down) { return down ? " down" : " up"; }
  bool OnKey(DRENO::Keyboard*, std::int32_t key, bool down) override {
    Note("key " + std::to_string(key) + Down(down));
    return false;  // taking it would hold back the character
  }
  bool OnUnicode(DRENO::Keyboard*, std::uint32_t c) override { return Note("char " + std::to_string(c)); }
  bool OnMouseMoved(DRENO::Mouse*, float x, float y) override {
    return Note("move " + std::to_string(int(x)) + "," + std::to_string(int(y)));
  }
  bool OnMouseButton(DRENO::Mouse*, std::uint64_t b, bool down) override {
    return Note("button " + std::to_string(b) + Down(down));
  }
  // The wheel coming to rest is left out: when it happens depends on the frames.
  bool OnMouseWheel(DRENO::Mouse*, float change) override {
    return change == 0 || Note("wheel " + std::to_string(int(change)));
  }
};

class EchteEingabe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SchalteTastenwiederholungAus();
    ASSERT_TRUE(glfwInit());
  }
  static void TearDownTestSuite() { glfwTerminate(); }

  void SetUp() override {
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    fenster = glfwCreateWindow(320, 240, "Eingabe", nullptr, nullptr);
    ASSERT_TRUE(fenster);
    glfwSetWindowPos(fenster, 50, 60);
    ASSERT_TRUE(DRENO::Initialize(Plattform::Fenster::HandleVon(fenster)));
    system = DRENO::GetInstance();
    system->SetInputHandler(&journal);
    Xdo(Search("Eingabe") + "windowfocus --sync");
    Frames(5);
    journal.lines.clear();
  }
  void TearDown() override {
    DRENO::Shutdown();
    Plattform::Fenster::Vergiss(fenster);
    glfwDestroyWindow(fenster);
  }

  static void Xdo(const std::string& arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
  }
  // The window of that title, as %1 for the command that follows.
  static std::string Search(const char* title) {
    return std::string("search --sync --name '^") + title + "$' ";
  }
  // A frame as the program has it: the update, then the events, then the state is read.
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      system->Update();
      glfwPollEvents();
      Read();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // What the frame reads of the left button and the Delete key.
  void Read() {
    const DRENO::Mouse* mouse = system->GetFirstMouse();
    const DRENO::Keyboard* keyboard = system->GetFirstKeyboard();
    if (mouse->WasButtonPressed(0)) reads.push_back("left pressed");
    if (mouse->WasButtonReleased(0)) reads.push_back("left released");
    if (keyboard->WasKeyPressed(0xD3)) reads.push_back("Delete pressed");
    if (keyboard->WasKeyReleased(0xD3)) reads.push_back("Delete released");
  }
  // Frames until `count` lines have arrived (or two seconds have passed).
  std::vector<std::string> Await(std::size_t count) {
    for (int i = 0; i < 200 && journal.lines.size() < count; ++i) Frames(1);
    Frames(3);
    return journal.lines;
  }

  GLFWwindow* fenster = nullptr;
  DRENO::InputSystem* system = nullptr;
  Journal journal;
  std::vector<std::string> reads;
};

TEST_F(EchteEingabe, TypedKeysArriveWithCodesAndCharacters) {
  Xdo("key a shift+a Return F11 KP_Divide");
  EXPECT_THAT(Await(16), ElementsAre("key 30 down", "char 97", "key 30 up", "key 42 down", "key 30 down",
                                     "char 65", "key 42 up", "key 30 up", "key 28 down", "char 13",
                                     "key 28 up", "key 87 down", "key 87 up", "key 53 down", "char 47",
                                     "key 53 up"));
}

TEST_F(EchteEingabe, MotionButtonsAndWheelInClientCoordinates) {
  Xdo(Search("Eingabe") + "mousemove --window %1 40 30");
  EXPECT_THAT(Await(1), ElementsAre("move 40,30"));
  EXPECT_EQ(system->GetFirstMouse()->GetMouseX(), 40);
  journal.lines.clear();
  Xdo("click 1 click 3 click 2 click 8 click 9 click 4 click 4 click 5");
  EXPECT_THAT(Await(13), ElementsAre("button 0 down", "button 0 up", "button 1 down", "button 1 up",
                                     "button 2 down", "button 2 up", "button 3 down", "button 3 up",
                                     "button 4 down", "button 4 up", "wheel 120", "wheel 120", "wheel -120"));
}

// xdotool runs to its end between two frames: both clicks of the double click, each press
// with its release at once, arrive for one frame. Each press and each release is read.
TEST_F(EchteEingabe, ClicksAndKeyTapsWithinOneFrameAreEachRead) {
  Xdo(Search("Eingabe") + "mousemove --window %1 40 30");
  Await(1);
  reads.clear();
  Xdo("click --repeat 2 --delay 80 1");
  Frames(8);
  EXPECT_THAT(reads, ElementsAre("left pressed", "left released", "left pressed", "left released"));
  reads.clear();
  Xdo("key Delete");
  Frames(4);
  EXPECT_THAT(reads, ElementsAre("Delete pressed", "Delete released"));
}

// The key right of T types y on the US layout, z on the German one: the layout that the
// X server has when the key is hit, whether set anew (setxkbmap) or switched to another
// group of the keymap. Key names follow too.
class Belegung : public EchteEingabe {
 protected:
  void TearDown() override {
    SperreGruppe(0);
    std::system("setxkbmap us");
    EchteEingabe::TearDown();
  }
  std::vector<std::string> Tippe() {
    journal.lines.clear();
    Xdo("key 29");  // X keycode 29: evdev 21, scan code 0x15
    return Await(3);
  }
  std::string Name() { return system->GetFirstKeyboard()->GetButtonText(0x15); }
};

TEST_F(Belegung, CharactersAndKeyNamesFollowTheServersLayout) {
  EXPECT_THAT(Tippe(), ElementsAre("key 21 down", "char 121", "key 21 up"));
  EXPECT_EQ(Name(), "Y");
  ASSERT_EQ(std::system("setxkbmap de"), 0);
  EXPECT_THAT(Tippe(), ElementsAre("key 21 down", "char 122", "key 21 up"));
  EXPECT_EQ(Name(), "Z");
  ASSERT_EQ(std::system("setxkbmap -layout us,de"), 0);
  EXPECT_THAT(Tippe(), ElementsAre("key 21 down", "char 121", "key 21 up"));
  SperreGruppe(1);
  EXPECT_THAT(Tippe(), ElementsAre("key 21 down", "char 122", "key 21 up"));
  EXPECT_EQ(Name(), "Z");
  SperreGruppe(0);
  EXPECT_THAT(Tippe(), ElementsAre("key 21 down", "char 121", "key 21 up"));
}

}  // namespace
