// The layer's frame-wise delivery (Zustelle), as the GLFW backend hands records to the
// input system: a press and its release that arrive between two frames are read in two
// frames, and everything keeps its order. A frame here is what the program does: the
// input system's update (its drain), then the records that arrive until the next update.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Dreno.h"
#include "TestBackend.h"
#include "WinInput.h"

namespace {

using namespace Plattform::Eingabe;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr unsigned kA = 30, kB = 48, kShift = 42;
constexpr USHORT kLinksAb = 0x0001, kLinksAuf = 0x0002, kRechtsAb = 0x0004;

struct Journal : DRENO::InputHandler {
  std::vector<std::string> zeilen;
  bool OnKey(DRENO::Keyboard*, std::int32_t key, bool down) override {
    zeilen.push_back("key " + std::to_string(key) + (down ? " down" : " up"));
    return false;  // taking it would hold back the character
  }
  bool OnUnicode(DRENO::Keyboard*, std::uint32_t c) override {
    zeilen.push_back("char " + std::string(1, static_cast<char>(c)));
    return true;
  }
  bool OnMouseButton(DRENO::Mouse*, std::uint64_t b, bool down) override {
    zeilen.push_back("button " + std::to_string(b) + (down ? " down" : " up"));
    return true;
  }
};

class Zustellung : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DRENO::Initialize(Fenster()));
    backend.fenster = Fenster();
    system = DRENO::GetInstance();
    system->SetInputHandler(&journal);
    system->Update();  // past the first frame, in which devices report what is held
  }
  void TearDown() override { DRENO::Shutdown(); }

  static HWND Fenster() {
    static char fenster;
    return reinterpret_cast<HWND>(&fenster);
  }
  void Knopf(USHORT flags) { backend.Zustellen(MausDatensatz(kMaus, MOUSE_MOVE_RELATIVE, flags, 0, 0, 0)); }
  void Taste(unsigned evdev, bool unten) { backend.TasteZustellen(evdev, unten); }
  // The next frame's update; the events it sent.
  std::vector<std::string> Bild() {
    journal.zeilen.clear();
    system->Update();
    return journal.zeilen;
  }
  // What the first mouse's button 0 reads in this frame.
  std::string Links() {
    const DRENO::Mouse* m = system->GetFirstMouse();
    return std::string(m->IsButtonDown(0) ? "down" : "up") + (m->WasButtonPressed(0) ? " pressed" : "") +
           (m->WasButtonReleased(0) ? " released" : "");
  }
  std::string TasteA() {
    const DRENO::Keyboard* k = system->GetFirstKeyboard();
    return std::string(k->IsKeyDown(0x1E) ? "down" : "up") + (k->WasKeyPressed(0x1E) ? " pressed" : "") +
           (k->WasKeyReleased(0x1E) ? " released" : "");
  }

  TestBackend backend;
  DRENO::InputSystem* system = nullptr;
  Journal journal;
};

TEST_F(Zustellung, AClickWithinOneFramePressesInItAndReleasesInTheNext) {
  Knopf(kLinksAb);
  Knopf(kLinksAuf);
  EXPECT_THAT(journal.zeilen, ElementsAre("button 0 down"));
  EXPECT_EQ(Links(), "down pressed");
  EXPECT_THAT(Bild(), ElementsAre("button 0 up"));
  EXPECT_EQ(Links(), "up released");
  EXPECT_THAT(Bild(), IsEmpty());
  EXPECT_EQ(Links(), "up");
  EXPECT_TRUE(backend.zustand.gehalten.empty());
}

// Each press of a double click is seen: press, release, press, release in four frames.
TEST_F(Zustellung, ADoubleClickWithinOneFrameTakesFourFrames) {
  for (USHORT f : {kLinksAb, kLinksAuf, kLinksAb, kLinksAuf}) Knopf(f);
  std::vector<std::string> gelesen{Links()};
  for (int i = 0; i < 4; ++i) {
    Bild();
    gelesen.push_back(Links());
  }
  EXPECT_THAT(gelesen, ElementsAre("down pressed", "up released", "down pressed", "up released", "up"));
}

// A release whose press came in an earlier frame goes at once; so do other controls.
TEST_F(Zustellung, AControlChangedOnceAFrameGoesAtOnce) {
  Knopf(kLinksAb);
  Bild();
  Knopf(kLinksAuf);
  Knopf(kRechtsAb);
  Taste(kA, true);
  backend.Zustellen(MausDatensatz(kMaus, MOUSE_MOVE_RELATIVE, 0, 0, 3, 4));
  EXPECT_THAT(journal.zeilen, ElementsAre("button 0 up", "button 1 down", "key 30 down", "char a"));
  EXPECT_EQ(Links(), "up released");
  EXPECT_TRUE(backend.zustand.gehalten.empty());
}

TEST_F(Zustellung, AKeyTapWithinOneFramePressesInItAndReleasesInTheNext) {
  Taste(kA, true);
  Taste(kA, false);
  EXPECT_THAT(journal.zeilen, ElementsAre("key 30 down", "char a"));
  EXPECT_EQ(TasteA(), "down pressed");
  EXPECT_THAT(Bild(), ElementsAre("key 30 up"));
  EXPECT_EQ(TasteA(), "up released");
}

// "aab" typed within one frame: what follows a held record waits behind it, other keys
// too, so the characters keep their order.
TEST_F(Zustellung, TextTypedWithinOneFrameKeepsItsOrder) {
  for (auto [taste, unten] : std::vector<std::pair<unsigned, bool>>{
           {kA, true}, {kA, false}, {kA, true}, {kB, true}, {kA, false}, {kB, false}}) {
    Taste(taste, unten);
  }
  std::vector<std::vector<std::string>> bilder{journal.zeilen};
  for (int i = 0; i < 4; ++i) bilder.push_back(Bild());
  EXPECT_THAT(bilder, ElementsAre(ElementsAre("key 30 down", "char a"), ElementsAre("key 30 up"),
                                  ElementsAre("key 30 down", "char a", "key 48 down", "char b"),
                                  ElementsAre("key 30 up", "key 48 up"), IsEmpty()));
}

// A held key reads its character with the modifiers of its own time, not with those of
// the keys that came after it.
TEST_F(Zustellung, AHeldKeyReadsTheModifiersOfItsTime) {
  const auto zeichen = [&](const std::vector<std::pair<unsigned, bool>>& tasten) {
    journal.zeilen.clear();
    for (auto [taste, unten] : tasten) Taste(taste, unten);
    std::vector<std::string> gesehen = journal.zeilen;
    for (int i = 0; i < 4; ++i) {
      const auto bild = Bild();
      gesehen.insert(gesehen.end(), bild.begin(), bild.end());
    }
    std::vector<std::string> z;
    for (const std::string& zeile : gesehen)
      if (zeile.rfind("char", 0) == 0) z.push_back(zeile);
    return z;
  };
  EXPECT_THAT(zeichen({{kA, true}, {kA, false}, {kA, true}, {kShift, true}, {kA, false}}),
              ElementsAre("char a", "char a"));
  EXPECT_TRUE(system->GetFirstKeyboard()->IsKeyDown(0x2A));
  EXPECT_THAT(zeichen({{kA, true}, {kA, false}, {kA, true}, {kShift, false}, {kA, false}}),
              ElementsAre("char A", "char A"));
  EXPECT_FALSE(system->GetFirstKeyboard()->IsKeyDown(0x2A));
  EXPECT_TRUE(backend.zustand.gehalten.empty());
}

// Held records come out of the buffer, in its layout for a 32-bit process on 64-bit Windows.
TEST_F(Zustellung, HeldRecordsAreReadInTheBufferedLayoutUnderWow64) {
  DRENO::Shutdown();
  backend.zustand.wow64 = true;
  SetUp();
  Knopf(kLinksAb);
  Knopf(kLinksAuf);
  Taste(kA, true);
  EXPECT_THAT(Bild(), ElementsAre("button 0 up", "key 30 down", "char a"));
  EXPECT_EQ(Links(), "up released");
}

// Held records belong to the system that was there: a new one does not get them.
TEST_F(Zustellung, HeldRecordsGoWithTheSystem) {
  Knopf(kLinksAb);
  Knopf(kLinksAuf);
  DRENO::Shutdown();
  EXPECT_TRUE(backend.zustand.gehalten.empty());
  SetUp();
  EXPECT_THAT(Bild(), IsEmpty());
  EXPECT_EQ(Links(), "up");
}

}  // namespace
