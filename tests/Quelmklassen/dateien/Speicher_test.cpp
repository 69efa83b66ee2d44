#include "ProtokollSammler.h"
#include "TSpeicher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Inhalt(const TSpeicher& s) { return std::string(reinterpret_cast<const char*>(s.daten), s.groesse); }

void Fuelle(TSpeicher& s, std::uint64_t n) {
  s.Reserviere(n);
  for (std::uint64_t i = 0; i < n; ++i) s.daten[s.position + i] = static_cast<std::uint8_t>(i * 7);
  s.SetGroesse(s.position + n);
  s.SetzePosition(s.groesse);
}

using Speicher = ProtokollTest;

TEST(SpeicherWachstum, BleibtBis512InternUndWaechstDannAuf10000UndDoppelt) {
  TSpeicher s;
  s.Reserviere(512);
  EXPECT_TRUE(s.IstIntern());
  s.Reserviere(513);
  EXPECT_FALSE(s.IstIntern());
  EXPECT_EQ(s.kapazitaet, 10000u);

  // The request counts from the position, not from the start.
  TSpeicher p;
  Fuelle(p, 9000);
  p.Reserviere(1000);
  EXPECT_EQ(p.kapazitaet, 10000u);
  p.Reserviere(1001);
  EXPECT_EQ(p.kapazitaet, 20000u);
  p.Reserviere(11001);  // doubles: appending stays linear in time
  EXPECT_EQ(p.kapazitaet, 40000u);
  p.Reserviere(70000);
  EXPECT_EQ(p.kapazitaet, 80000u);
}

TEST(SpeicherWachstum, InhaltUeberlebtJedenUmzugUndKleinereKapazitaetSchneidetAb) {
  TSpeicher s;
  Fuelle(s, 300);
  const std::string vorher = Inhalt(s);
  s.Reserviere(5000);
  EXPECT_EQ(Inhalt(s), vorher);
  Fuelle(s, 30000);
  EXPECT_EQ(s.groesse, 30300u);
  EXPECT_EQ(Inhalt(s).substr(0, 300), vorher);
  s.SetzePosition(250);
  s.SetKapazitaet(100);
  EXPECT_TRUE(s.IstIntern());
  EXPECT_EQ(s.groesse, 100u);
  EXPECT_EQ(s.position, 100u);
  EXPECT_EQ(Inhalt(s), vorher.substr(0, 100));
}

TEST_F(Speicher, PositionBleibtImInhaltUndGroesseInDerKapazitaet) {
  TSpeicher s;
  Fuelle(s, 50);
  EXPECT_EQ(s.SetzePosition(10), -40);
  EXPECT_EQ(s.SetzePosition(1000), 40);
  EXPECT_EQ(s.position, 50u);
  s.SetGroesse(513);
  EXPECT_EQ(s.groesse, 50u);
  EXPECT_EQ(Meldungen(), std::vector<std::string>{
                             "!Ausnahme \"Neue Inhaltgröße übersteigt die Puffergröße\" aufgetreten in Funktion "
                             "TSpeicher::SetGroesse"});
  s.SetGroesse(20);
  EXPECT_EQ(s.groesse, 20u);
  EXPECT_EQ(s.position, 20u);
}

TEST_F(Speicher, FormatTextHaengtAnBis9999ZeichenUndUeberschreibtImInhaltNurSeinenTeil) {
  TSpeicher s;
  ASSERT_TRUE(s.SchreibeFormatText("float4 v%d = %s;", 3, "a"));
  ASSERT_TRUE(s.SchreibeFormatText("\n%05.1f", 2.25));
  EXPECT_EQ(Inhalt(s), "float4 v3 = a;\n002.2");
  EXPECT_EQ(s.daten[s.groesse], 0);
  ASSERT_TRUE(s.SchreibeFormatText("%s", std::string(9999, 'x').c_str()));
  const std::string vorher = Inhalt(s);
  EXPECT_EQ(vorher.size(), 20u + 9999);
  EXPECT_EQ(s.position, s.groesse);

  EXPECT_FALSE(s.SchreibeFormatText("%s", std::string(10000, 'y').c_str()));
  EXPECT_EQ(Inhalt(s), vorher);
  EXPECT_EQ(s.position, s.groesse);
  EXPECT_EQ(Meldungen(), std::vector<std::string>{"!Ausnahme \"Formatierter String zu groß für den internen Puffer\" "
                                                  "aufgetreten in Funktion TSpeicher::SchreibeFormatText"});

  // An overflow in the middle of the contents leaves every byte as it was.
  s.SetzePosition(4);
  EXPECT_FALSE(s.SchreibeFormatText("%s", std::string(12000, 'z').c_str()));
  EXPECT_EQ(Inhalt(s), vorher);
  EXPECT_EQ(s.position, 4u);

  // A fitting text replaces its own bytes only; no terminating zero inside the contents.
  ASSERT_TRUE(s.SchreibeFormatText("%d", 12));
  EXPECT_EQ(s.position, 6u);
  EXPECT_EQ(Inhalt(s), "floa12 v3" + vorher.substr(9));

  // Running past the end extends the contents.
  s.SetzePosition(s.groesse - 2);
  ASSERT_TRUE(s.SchreibeFormatText("%s", "bcdef"));
  EXPECT_EQ(Inhalt(s), "floa12 v3" + vorher.substr(9, vorher.size() - 11) + "bcdef");
}

TEST(SpeicherKopie, KopieUndVerschiebungBehaltenInhaltPositionUndNullen) {
  TSpeicher klein;
  std::memcpy(klein.daten, "klein", 6);
  klein.SetGroesse(5);
  klein.SetzePosition(2);

  TSpeicher gross;
  Fuelle(gross, 3000);
  gross.SetzePosition(7);

  for (TSpeicher* quelle : {&klein, &gross}) {
    TSpeicher kopie(*quelle);
    EXPECT_EQ(Inhalt(kopie), Inhalt(*quelle));
    EXPECT_NE(kopie.daten, quelle->daten);

    TSpeicher zugewiesen;
    Fuelle(zugewiesen, 9000);
    zugewiesen = kopie;
    EXPECT_EQ(Inhalt(zugewiesen), Inhalt(*quelle));

    TSpeicher verschoben(std::move(kopie));
    EXPECT_EQ(Inhalt(verschoben), Inhalt(*quelle));
    EXPECT_EQ(verschoben.position, quelle->position);
    EXPECT_EQ(kopie.groesse, 0u);
    EXPECT_TRUE(kopie.IstIntern());

    zugewiesen = std::move(verschoben);
    EXPECT_EQ(Inhalt(zugewiesen), Inhalt(*quelle));
  }
  EXPECT_EQ(std::strcmp(reinterpret_cast<const char*>(TSpeicher(klein).daten), "klein"), 0);
}

class SpeicherDatei : public Speicher {
 protected:
  std::filesystem::path Datei(const std::string& inhalt) {
    auto pfad = ordner.pfad() / ("d" + std::to_string(++nummer));
    SchreibeDatei(pfad, inhalt);
    return pfad;
  }
  int nummer = 0;
};

TEST_F(SpeicherDatei, BinaerLadenErsetztDenInhaltUndHaengtNullenAn) {
  TSpeicher s;
  Fuelle(s, 700);
  std::string inhalt(5000, '\0');
  for (std::size_t i = 0; i < inhalt.size(); ++i) inhalt[i] = static_cast<char>(i * 13 + 1);
  inhalt[100] = '\r';
  inhalt[101] = '\n';
  ASSERT_TRUE(s.LadeDatei(Datei(inhalt), TSpeicher::Binaer));
  EXPECT_EQ(Inhalt(s), inhalt);
  EXPECT_EQ(s.position, 0u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(s.daten[s.groesse + i], 0) << i;

  // A small file goes inline, its capacity stays 512.
  TSpeicher klein;
  ASSERT_TRUE(klein.LadeDatei(Datei("<xml/>"), TSpeicher::Binaer));
  EXPECT_TRUE(klein.IstIntern());
  EXPECT_STREQ(reinterpret_cast<const char*>(klein.daten), "<xml/>");

  // A file just under the inline store: the zeros stop at the capacity.
  TSpeicher knapp;
  ASSERT_TRUE(knapp.LadeDatei(Datei(std::string(504, 'k')), TSpeicher::Binaer));
  EXPECT_EQ(knapp.groesse, 504u);
  EXPECT_EQ(knapp.kapazitaet, 512u);
  EXPECT_EQ(knapp.daten[511], 0);
}

TEST_F(SpeicherDatei, TextmodusUebersetztZeilenendenUndFehlendeDateienAendernNichts) {
  TSpeicher s;
  ASSERT_TRUE(s.SchreibeFormatText("bleibt"));
  s.SetzePosition(3);
  EXPECT_FALSE(s.LadeDatei(ordner.pfad() / "fehlt", TSpeicher::Binaer));
  EXPECT_FALSE(s.LadeDatei(ordner.pfad(), TSpeicher::Binaer));
  EXPECT_FALSE(s.LadeDatei(ordner.pfad(), TSpeicher::Text));
  EXPECT_EQ(Inhalt(s), "bleibt");
  EXPECT_EQ(s.position, 3u);
  EXPECT_TRUE(sammler->zeilen.empty());  // the callers report

  // An empty file loads, zero-terminated.
  ASSERT_TRUE(s.LadeDatei(Datei(""), TSpeicher::Text));
  EXPECT_EQ(s.groesse, 0u);
  EXPECT_EQ(s.daten[0], 0);
  ASSERT_TRUE(s.LadeDatei(Datei("zeile1\r\nzeile2\r\n\r\nende"), TSpeicher::Text));
  EXPECT_EQ(Inhalt(s), "zeile1\nzeile2\n\nende");
  EXPECT_EQ(s.daten[s.groesse], 0);

  // Large enough for the heap, through the non-seekable text reader.
  std::string lang;
  for (int i = 0; i < 3000; ++i) lang += "abc\r\n";
  ASSERT_TRUE(s.LadeDatei(Datei(lang), TSpeicher::Text));
  EXPECT_EQ(s.groesse, 3000u * 4);
  EXPECT_GE(s.kapazitaet, lang.size() + 8);
}

TEST_F(SpeicherDatei, GepackterTextWirdInWorteUebersetzt) {
  // "AAAAAB" = 1, "/////+" = 2^36 - 2, of which the low 32 bits are kept.
  TSpeicher s;
  ASSERT_TRUE(s.LadeDatei(Datei("12345678AAAAAB \n\t/////+  AAAAB"), TSpeicher::GepackterText));
  ASSERT_EQ(s.groesse, 8u);
  const std::uint8_t erwartet[8] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(s.daten, erwartet, 8), 0);
  EXPECT_EQ(s.daten[8], 0);

  // Groups may run across the 1024-byte blocks of the reader.
  std::string viele = "kopfkopf";
  for (int i = 0; i < 400; ++i) viele += "BAAAAA";
  ASSERT_TRUE(s.LadeDatei(Datei(viele), TSpeicher::GepackterText));
  ASSERT_EQ(s.groesse, 1600u);
  for (int i = 0; i < 400; ++i) ASSERT_EQ(s.daten[4 * i + 3], 0x40) << i;  // 1 << 30

  // An invalid character ends the load with the words decoded before it.
  EXPECT_FALSE(s.LadeDatei(Datei("12345678AAAAAC AA*AAA"), TSpeicher::GepackterText));
  EXPECT_EQ(s.groesse, 4u);
  EXPECT_EQ(s.daten[0], 2);
  // White space inside a group is invalid too.
  EXPECT_FALSE(s.LadeDatei(Datei("12345678AA AAAA"), TSpeicher::GepackterText));
  EXPECT_EQ(s.groesse, 0u);
  // Shorter than the skipped head.
  ASSERT_TRUE(s.LadeDatei(Datei("1234"), TSpeicher::GepackterText));
  EXPECT_EQ(s.groesse, 0u);
}

}  // namespace
