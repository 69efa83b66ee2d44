// Keyboard translation: every key of the layer's table to its key code, characters in the
// "us" and "de" layouts with dead keys, and key names.
#include "TestHelpers.h"
#include "WinKeyboard.h"

namespace {

using namespace inputtest;
using namespace Plattform::Eingabe;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class Keys : public WindowTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    StartAndSettle();
    keyboard = static_cast<WinKeyboard*>(system->GetFirstKeyboard());
  }
  // Presses and releases each key in turn; returns the events of kind `slot`.
  std::vector<std::string> Type(const std::vector<std::pair<unsigned, bool>>& keys,
                                const std::string& slot = "OnUnicode") {
    journal.clear();
    for (auto [evdev, down] : keys) backend.Taste(evdev, down);
    return Lines(slot);
  }
  std::int32_t CodeOf(unsigned evdev) {
    const auto seen = Type({{evdev, true}, {evdev, false}}, "OnKey(");
    return seen.empty() ? -1 : std::stoi(seen.front().substr(6));
  }
  WinKeyboard* keyboard = nullptr;
};

TEST_F(Keys, EveryKeyOfTheTableGetsItsCode) {
  std::map<unsigned, std::int32_t> expected;
  for (unsigned evdev = 1; evdev <= 88; ++evdev) expected[evdev] = static_cast<std::int32_t>(evdev);
  for (unsigned gap : {69u, 84u, 85u}) expected.erase(gap);  // Num Lock is checked below
  expected[83] = 0xB3;  // the keypad's decimal key with Num Lock off is Delete without E0
  const std::pair<unsigned, std::int32_t> extended[] = {
      {96, 0x9C},  {97, 0x9D},  {98, 0x35},  {99, 0x37},  {100, 0xB8}, {102, 0xC7}, {103, 0xC8},
      {104, 0xC9}, {105, 0xCB}, {106, 0xCD}, {107, 0xCF}, {108, 0xD0}, {109, 0xD1}, {110, 0xD2},
      {111, 0xD3}, {119, 0xC5}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D}};
  expected.insert(std::begin(extended), std::end(extended));
  for (auto [evdev, code] : expected) EXPECT_EQ(CodeOf(evdev), code) << "evdev " << evdev;

  EXPECT_EQ(CodeOf(69), 0x45);
  EXPECT_EQ(CodeOf(83), 0x53) << "Num Lock on";
  EXPECT_EQ(CodeOf(120), -1) << "a key outside the table";
}

TEST_F(Keys, HeldKeysPressOnceAndReadAsDown) {
  EXPECT_THAT(Type({{30, true}, {30, true}, {30, true}}, "OnKey"), ElementsAre("OnKey(30,1)"));
  EXPECT_TRUE(keyboard->IsKeyDown(0x1E));
  EXPECT_TRUE(keyboard->WasKeyPressed(0x1E));
  EXPECT_FALSE(keyboard->IsButtonDown(256));
  system->Update();
  EXPECT_FALSE(keyboard->WasKeyPressed(0x1E));
}

constexpr unsigned kShift = 42, kAltGr = 100, kA = 30, kE = 18, kQ = 16, kY = 21, kZ = 44;

std::uint32_t gMs = 0;
std::uint32_t KeyClock() { return gMs; }

// The keyboard itself arms the repeat with the key's character, and its release ends it.
TEST_F(Keys, ARealPressRepeatsWithItsCharacterUntilReleased) {
  RepeatClock::Use(*system, &KeyClock);
  auto frames = [&](int count) {
    journal.clear();
    for (int i = 0; i < count; ++i) {
      gMs += 60;
      system->Update();
    }
    return journal;
  };
  backend.Taste(kA, true);
  EXPECT_THAT(frames(11), IsEmpty()) << "0.66 s";
  EXPECT_THAT(frames(1), ElementsAre("OnKey(30,0)", "OnDigitalEvent(30,0)", "OnKey(30,1)", "OnUnicode(97)",
                                     "OnDigitalEvent(30,1)"));
  EXPECT_TRUE(keyboard->IsKeyDown(0x1E));
  backend.Taste(kA, false);
  EXPECT_THAT(frames(30), IsEmpty()) << "released";
}

struct Typing {
  const char* layout;
  std::vector<std::pair<unsigned, bool>> keys;
  std::u16string characters;
};

class Characters : public Keys, public ::testing::WithParamInterface<Typing> {};

TEST_P(Characters, ComeFromTheLayout) {
  SetzeBelegung(BelegungNachName(GetParam().layout));
  std::vector<std::string> expected;
  for (char16_t c : GetParam().characters) expected.push_back("OnUnicode(" + std::to_string(c) + ")");
  EXPECT_THAT(Type(GetParam().keys), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Characters,
    ::testing::Values(
        Typing{"us", {{kA, true}, {kA, false}, {kShift, true}, {kA, true}, {kA, false}, {kShift, false}},
               u"aA"},
        Typing{"us", {{kY, true}, {kZ, true}, {53, true}, {53, false}, {98, true}, {28, true}}, u"yz//\r"},
        Typing{"de", {{kY, true}, {kZ, true}, {53, true}, {kShift, true}, {8, true}}, u"zy-/"},
        // The keypad's slash types its own character, not that of the key sharing its code.
        Typing{"de", {{98, true}, {98, false}}, u"/"},
        Typing{"de", {{kAltGr, true}, {kQ, true}, {kQ, false}, {kAltGr, false}, {kQ, true}}, u"@q"},
        // Dead keys: the mark waits for the next letter; the letter's release types nothing.
        Typing{"de", {{41, true}, {41, false}, {kA, true}, {kA, false}, {kA, true}}, u"\u00E2a"},
        Typing{"de", {{13, true}, {13, false}, {kE, true}, {kE, false}}, u"\u00E9"},
        Typing{"de", {{kShift, true}, {13, true}, {13, false}, {kShift, false}, {kA, true}}, u"\u00E0"},
        Typing{"de", {{41, true}, {41, false}, {kQ, true}}, u"q"}));

TEST_F(Keys, NamesAndTranslationComeFromTheLayout) {
  EXPECT_EQ(keyboard->GetKeyText(0x1E), "A");
  EXPECT_EQ(keyboard->GetKeyText(0x1C), "Return");
  EXPECT_EQ(keyboard->GetKeyText(0x57), "F11");
  EXPECT_EQ(keyboard->GetButtonText(0x00), "");
  SetzeBelegung(BelegungNachName("de"));
  EXPECT_EQ(keyboard->GetKeyText(0x27), "\u00D6");
  EXPECT_EQ(keyboard->GetKeyText(0x15), "Z");

  // TranslateKey reads the key state and uses up the pending dead key.
  EXPECT_EQ(keyboard->TranslateKey(0x1E), u'a');
  EXPECT_EQ(keyboard->TranslateKey(0x29), 0u);
  EXPECT_EQ(keyboard->TranslateKey(0x12), u'\u00EA');
  backend.zustand.fehler.tastaturZustand = true;
  EXPECT_EQ(keyboard->TranslateKey(0x1E), 0u);
}

}  // namespace
