// The console overlay's line store, keys, history and completion, with the built font file.
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_KonsoleStandardAnzeige.h"
#include "RenderTestHilfen.h"

namespace {

using K = Quelm_KonsoleStandardAnzeige;

class KonsolenAnzeige : public AufzeichnungsTest {
 protected:
  void SetUp() override {
    AufzeichnungsTest::SetUp();
    steuerung->protokollieren = false;
    konsole = std::make_unique<K>(VELMAR_DATEN "/calibrib.fnt");
    ASSERT_TRUE(konsole->font->HatGlyphe('s'));
  }
  void TearDown() override {
    konsole.reset();
    AufzeichnungsTest::TearDown();
  }
  void Tippe(const std::string& text) {
    for (char c : text) konsole->OnUnicode(nullptr, static_cast<unsigned char>(c));
  }
  bool Taste(std::int32_t t) { return konsole->OnKey(nullptr, t, true); }
  std::unique_ptr<K> konsole;
};

TEST_F(KonsolenAnzeige, ZeilenspeicherVerwirftDieAeltestenHundert) {
  for (int ansicht : {150, 80}) {
    konsole->zeilen.assign(500, "x");
    konsole->ansicht = static_cast<std::uint64_t>(ansicht);
    konsole->NeueZeile("neu");
    EXPECT_EQ(konsole->zeilen.size(), 401u);
    EXPECT_EQ(konsole->ansicht, static_cast<std::uint64_t>(std::max(ansicht - 100, 0)));
  }
  konsole->zeilen.assign(3, "x");
  konsole->ansicht = 1;
  konsole->NeueZeile("y");  // the view stays where it was
  EXPECT_EQ(konsole->ansicht, 1u);
  konsole->ansicht = 3;
  konsole->NeueZeile("z");  // it showed the last line: it follows
  EXPECT_EQ(konsole->ansicht, 4u);
}

TEST_F(KonsolenAnzeige, BlaetternBleibtInDenGrenzen) {
  konsole->zeilen.clear();
  konsole->ansicht = 0;
  EXPECT_TRUE(Taste(K::BildAb));
  EXPECT_EQ(konsole->ansicht, 0u);
  konsole->zeilen.assign(12, "x");
  konsole->ansicht = 11;
  for (int i = 0; i < 5; ++i) Taste(K::BildAb);
  EXPECT_EQ(konsole->ansicht, 11u);
  for (int i = 0; i < 5; ++i) Taste(K::BildAuf);
  EXPECT_EQ(konsole->ansicht, 10u);
  EXPECT_FALSE(konsole->OnKey(nullptr, K::BildAuf, false));
  EXPECT_FALSE(Taste(30));
}

TEST_F(KonsolenAnzeige, DarstellungNachStufe) {
  struct Fall {
    const char* zeile;
    const char* text;
    float r, g, b;
  } faelle[] = {{"0001:000002 (t00ab): !kaputt\n", "0001:000002 (t00ab): kaputt", 1, 0, 0},
                {"0001:000002 (t00ab): ?achtung\n", "0001:000002 (t00ab): achtung", 1, 1, 0},
                {"0001:000002 (t00ab): >set a 1\n", "0001:000002 (t00ab): >set a 1", 0, 1, 0},
                {"0001:000002 (t00ab): Log-Start\n", "0001:000002 (t00ab): Log-Start", 1, 1, 1},
                {"!ohne Praefix", "ohne Praefix", 1, 0, 0}};
  for (const Fall& f : faelle) {
    const K::Darstellung d = K::Darstellen(f.zeile);
    EXPECT_EQ(d.text, f.text);
    EXPECT_EQ(std::vector<float>(d.farbe, d.farbe + 3), (std::vector<float>{f.r, f.g, f.b})) << f.zeile;
  }
}

TEST_F(KonsolenAnzeige, TippenErgaenztTabUebernimmtEnterFuehrtAus) {
  Taste(K::Tabulator);
  EXPECT_EQ(konsole->eingabe, "set ");
  EXPECT_EQ(konsole->cursor, 4u);
  for (int i = 0; i < 4; ++i) Taste(K::Ruecktaste);
  Tippe("s");
  EXPECT_EQ(konsole->eingabe, "set");
  EXPECT_EQ(konsole->cursor, 1u);
  Taste(K::Tabulator);
  EXPECT_EQ(konsole->eingabe, "set ");
  EXPECT_EQ(konsole->cursor, 4u);
  Tippe("t_d");
  EXPECT_EQ(konsole->eingabe, "set t_debug");
  konsole->cursor = konsole->eingabe.size();
  Tippe(" nein");
  EXPECT_FALSE(konsole->OnUnicode(nullptr, 0x263A));  // no glyph
  EXPECT_EQ(konsole->eingabe, "set t_debug nein");
  Taste(K::Eingabe);
  EXPECT_TRUE(konsole->eingabe.empty());
  const auto echo = std::find_if(konsole->zeilen.begin(), konsole->zeilen.end(), [](const std::string& z) {
    return z.find(">set t_debug nein") != std::string::npos;
  });
  ASSERT_NE(echo, konsole->zeilen.end());
  EXPECT_EQ(K::Darstellen(*echo).farbe[0], 0.0f);
  EXPECT_EQ(konsole->ansicht, konsole->zeilen.size() - 1);

  // History: Up keeps the user's own line, Down past the newest brings it back.
  Tippe("hel");
  Taste(K::Hoch);
  EXPECT_EQ(konsole->eingabe, "set t_debug nein");
  Taste(K::Hoch);
  Taste(K::Runter);
  EXPECT_EQ(konsole->eingabe, "help");
  EXPECT_EQ(konsole->cursor, 4u);
}

// Left, Right, Backspace and Delete step over whole UTF-8 characters: a lead byte with its
// continuation bytes is never split.
TEST_F(KonsolenAnzeige, CursorTastenSchreitenUeberGanzeZeichen) {
  const std::string ae = "\xC3\xA4", euro = "\xE2\x82\xAC", lachen = "\xF0\x9F\x98\x80";
  struct Fall {
    const char* name;
    std::string eingabe;
    std::uint64_t cursor;
    std::int32_t taste;
    std::string danach;
    std::uint64_t cursorDanach;
  };
  const Fall faelle[] = {
      {"Ruecktaste nach einem Byte", "ab", 1, K::Ruecktaste, "b", 0},
      {"Ruecktaste nach zwei Bytes", ae, 2, K::Ruecktaste, "", 0},
      {"Ruecktaste nach drei Bytes", "a" + euro + "b", 4, K::Ruecktaste, "ab", 1},
      {"Ruecktaste nach vier Bytes", "x" + lachen, 5, K::Ruecktaste, "x", 1},
      {"Ruecktaste am Anfang", ae, 0, K::Ruecktaste, ae, 0},
      {"Entfernen von zwei Bytes", ae + "b", 0, K::Entfernen, "b", 0},
      {"Entfernen von drei Bytes", "a" + euro + "b", 1, K::Entfernen, "ab", 1},
      {"Entfernen von vier Bytes", lachen + "x", 0, K::Entfernen, "x", 0},
      {"Entfernen am Ende", ae, 2, K::Entfernen, ae, 2},
      {"Links ueber zwei Bytes", "a" + ae, 3, K::Links, "a" + ae, 1},
      {"Links ueber drei Bytes", euro, 3, K::Links, euro, 0},
      {"Links ueber vier Bytes", "a" + lachen, 5, K::Links, "a" + lachen, 1},
      {"Links am Anfang", ae, 0, K::Links, ae, 0},
      {"Rechts ueber zwei Bytes", ae + "b", 0, K::Rechts, ae + "b", 2},
      {"Rechts ueber drei Bytes", euro + "b", 0, K::Rechts, euro + "b", 3},
      {"Rechts ueber vier Bytes", lachen, 0, K::Rechts, lachen, 4},
      {"Rechts ueber ein Byte", "ab", 0, K::Rechts, "ab", 1},
      {"Rechts am Ende", ae, 2, K::Rechts, ae, 2},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    konsole->eingabe = f.eingabe;
    konsole->cursor = f.cursor;
    EXPECT_TRUE(Taste(f.taste));
    EXPECT_EQ(konsole->eingabe, f.danach);
    EXPECT_EQ(konsole->cursor, f.cursorDanach);
  }

  // As typed: no stray byte is left, and none reaches the command or the log.
  konsole->eingabe.clear();
  konsole->cursor = 0;
  ASSERT_TRUE(konsole->OnUnicode(nullptr, 0xE4));
  Taste(K::Ruecktaste);
  EXPECT_EQ(konsole->eingabe, "");
  ASSERT_TRUE(konsole->OnUnicode(nullptr, 0xE4));
  Tippe(" ");
  ASSERT_TRUE(konsole->OnUnicode(nullptr, 0xE4));
  Taste(K::Links);
  Taste(K::Links);
  Taste(K::Links);
  Tippe("x");  // before the first character; the word's rest gives way to the completion
  EXPECT_EQ(konsole->eingabe, "x " + ae);
  EXPECT_EQ(konsole->cursor, 1u);
  for (std::uint64_t erwartet : {2u, 4u, 4u}) {
    Taste(K::Rechts);
    EXPECT_EQ(konsole->cursor, erwartet);
  }
  Taste(K::Eingabe);
  const bool echo = std::any_of(konsole->zeilen.begin(), konsole->zeilen.end(), [&](const std::string& z) {
    return z.find(">x " + ae + "\n") != std::string::npos;
  });
  EXPECT_TRUE(echo) << ::testing::PrintToString(konsole->zeilen);
}

}  // namespace
