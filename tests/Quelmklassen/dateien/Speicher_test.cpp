#include "ProtokollSammler.h"
#include "TSegmentLeser.h"
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

TEST(SpeicherWachstum, BleibtBis512InternWaechstAuf10000UndDoppeltUndBehaeltDenInhalt) {
  TSpeicher i;
  i.Reserviere(512);
  EXPECT_TRUE(i.IstIntern());
  i.Reserviere(513);
  EXPECT_FALSE(i.IstIntern());
  EXPECT_EQ(i.kapazitaet, 10000u);

  // The request counts from the position, not from the start.
  TSpeicher p;
  Fuelle(p, 9000);
  p.Reserviere(1000);
  EXPECT_EQ(p.kapazitaet, 10000u);
  p.Reserviere(1001);
  EXPECT_EQ(p.kapazitaet, 20000u);
  p.Reserviere(11001);  // doubles: appending stays linear in time
  EXPECT_EQ(p.kapazitaet, 40000u);

  // The contents survive every move; a smaller capacity cuts them.
  TSpeicher s;
  Fuelle(s, 300);
  const std::string vorher = Inhalt(s);
  s.Reserviere(5000);
  EXPECT_EQ(Inhalt(s), vorher);
  Fuelle(s, 30000);
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

  EXPECT_FALSE(s.SchreibeFormatText("%s", std::string(10000, 'y').c_str()));
  EXPECT_EQ(Inhalt(s), vorher);
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

constexpr std::uint32_t PLTZ = TSegmentLeser::Kennung("PLTZ");

// Builds segment files big-endian, as the tool chain writes them.
struct Schreiber {
  std::string b;
  Schreiber& U32(std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b += static_cast<char>(v >> s & 0xFF);
    return *this;
  }
  Schreiber& U64(std::uint64_t v) {
    for (int s = 56; s >= 0; s -= 8) b += static_cast<char>(v >> s & 0xFF);
    return *this;
  }
  Schreiber& Text(const char* t) {
    b += t;
    return *this;
  }
  // A segment: id, version word with bit 31 and the length when `mitLaenge`, contents, marker.
  Schreiber& Segment(const char* id, std::uint32_t version, const std::string& inhalt, bool mitLaenge,
                     const char* marke) {
    Text(id);
    if (mitLaenge) {
      U32(version | 0x80000000u);
      U64(8 + inhalt.size() + 4);
    } else {
      U32(version);
    }
    b += inhalt;
    return Text(marke);
  }
};

std::string Rechtecke(std::uint32_t a, std::uint32_t b) { return Schreiber().U32(a).U32(b).b; }

class SegmentLeser : public ProtokollTest {
 protected:
  void Lade(const std::string& daten) {
    speicher.Reserviere(daten.size());
    std::memcpy(speicher.daten, daten.data(), daten.size());
    speicher.SetGroesse(daten.size());
    speicher.SetzePosition(0);
  }
  TSpeicher speicher;
};

TEST_F(SegmentLeser, SegmentWirdGelesenUndKorrektBeendet) {
  for (const bool mitLaenge : {true, false}) {
    SCOPED_TRACE(mitLaenge);
    const std::string inhalt = Rechtecke(512, 256);
    Lade(Schreiber().Text("xyz").Segment("PLTZ", 0x102, inhalt, mitLaenge, "Pltz").U32(77).b);
    speicher.SetzePosition(3);
    TSegmentLeser leser(speicher);
    ASSERT_TRUE(leser.Init(PLTZ, 0x102));
    EXPECT_EQ(leser.version, 0x102u);
    // The end counts from the length field (offset 8 in the segment): 3 + 8 + L.
    EXPECT_EQ(leser.ende, mitLaenge ? 3u + 8 + (8 + inhalt.size() + 4) : TSegmentLeser::kKeinEnde);
    EXPECT_EQ(leser.Rest(), inhalt.size() + 4 + (mitLaenge ? 0 : 4));
    EXPECT_EQ(leser.LeseU32(), 512u);
    EXPECT_EQ(leser.LeseU32(), 256u);
    EXPECT_TRUE(leser.Beenden());
    EXPECT_EQ(leser.LeseU32(), 77u);
  }
  EXPECT_TRUE(Meldungen().empty());
}

TEST_F(SegmentLeser, ZahlenSindBigEndianUndLesenUeberDasEndeGibtNull) {
  Schreiber zahlen = Schreiber().Segment("PLTZ", 1, "", false, "");
  Lade(zahlen.Text("\x7F").U32(0x3FC00000u).U64(0x0102030405060708ull).Text("xy").b);
  TSegmentLeser leser(speicher);
  ASSERT_TRUE(leser.Init(PLTZ, 1));
  EXPECT_EQ(leser.LeseU8(), 0x7Fu);
  EXPECT_EQ(leser.LeseF32(), 1.5f);
  EXPECT_EQ(leser.LeseU64(), 0x0102030405060708ull);
  EXPECT_FALSE(leser.fehler);
  EXPECT_EQ(leser.LeseU32(), 0u);  // two bytes left
  EXPECT_TRUE(leser.fehler);
  EXPECT_EQ(speicher.position, speicher.groesse);
  EXPECT_FALSE(leser.Ueberspringe(1));
  EXPECT_EQ(leser.Rest(), 0u);
  EXPECT_FALSE(leser.Beenden());
  EXPECT_EQ(speicher.position, speicher.groesse);
}

std::string Ausnahme(const std::string& text) {
  return "!Ausnahme \"TSegmentLeser - " + text + "\" aufgetreten in Funktion TSegmentLeser::Init";
}

TEST_F(SegmentLeser, FehlerWerdenGemeldetUndBeendenSpringtNurZuEinemVertrauenswuerdigenEnde) {
  const std::string folgt = Schreiber().Segment("PLTZ", 0x102, Rechtecke(3, 4), true, "Pltz").b;
  const Schreiber kopf = Schreiber().Text("PLTZ").U32(0x80000102u);
  const std::string abgeschnitten = Ausnahme("Segment 'PLTZ' ist abgeschnitten.");
  const std::string ohneStart = "!TSegmentLeser - Startkennung 'PLTZ' nicht gefunden.";
  const std::string falschBeendet = "!TSegmentLeser - Segment 'PLTZ' nicht korrekt beendet.";
  struct Fall {
    const char* name;
    std::string daten;
    bool gueltig;            // Init's answer
    std::uint64_t lesen;     // what the owner reads before Beenden
    std::uint64_t position;  // after Beenden
    std::vector<std::string> meldungen;
  };
  const Fall faelle[] = {
      // "PLTZ" itself is not the marker of "PLTZ"; the owner also reads too little.
      {"Endmarke", Schreiber().Segment("PLTZ", 0x102, Rechtecke(1, 2), true, "PLTZ").b + folgt, true, 4, 28,
       {falschBeendet}},
      {"EndmarkeOhneLaenge", Schreiber().Segment("PLTZ", 0x100, Rechtecke(1, 2), false, "pltz").U32(5).U32(6).b,
       true, 8, 28, {falschBeendet}},
      // A foreign length is not trusted: Beenden reads no marker and jumps nowhere.
      {"Kennung", Schreiber().Segment("FX3D", 0x102, Rechtecke(1, 2), true, "Fx3d").b, false, 0, 4,
       {ohneStart, Ausnahme("Startmarkierung 'PLTZ' erwartet.")}},
      {"Version", Schreiber().Segment("PLTZ", 0x103, Rechtecke(1, 2), true, "Pltz").b + folgt, false, 0, 28,
       {Ausnahme("Segment 'PLTZ' hat ungültige Version 259.")}},
      {"VersionOhneLaenge", Schreiber().Segment("PLTZ", 0x103, Rechtecke(1, 2), false, "Pltz").b, false, 0, 8,
       {Ausnahme("Segment 'PLTZ' hat ungültige Version 259.")}},
      // Cut headers: the position stays where the header reading stopped.
      {"Kurz", "PLT", false, 0, 3, {ohneStart, Ausnahme("Startmarkierung 'PLTZ' erwartet.")}},
      {"OhneVersion", std::string("PLTZ\x80\x00", 6), false, 0, 6, {abgeschnitten}},
      {"OhneLaenge", Schreiber(kopf).U32(0).b, false, 0, 12, {abgeschnitten}},
      // The length covers at least itself and the end marker.
      {"LaengeZuKlein", Schreiber(kopf).U64(4).Text("Pltz").b, false, 0, 16,
       {Ausnahme("Segment 'PLTZ' hat ungültige Länge.")}},
      // A length beyond the buffer: the file was cut short.
      {"LaengeRiesig", Schreiber(kopf).U64(~0ull).Text("Pltz").b, false, 0, 16, {abgeschnitten}},
      {"LaengeZuGross", Schreiber(kopf).U64(13).Text("Pltz").b, false, 0, 16, {abgeschnitten}},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    sammler->zeilen.clear();
    Lade(fall.daten);
    TSegmentLeser leser(speicher);
    EXPECT_EQ(leser.Init(PLTZ, 0x102), fall.gueltig);
    EXPECT_EQ(leser.gueltig, fall.gueltig);
    EXPECT_TRUE(leser.Ueberspringe(fall.lesen));
    EXPECT_FALSE(leser.Beenden());
    EXPECT_EQ(speicher.position, fall.position);
    EXPECT_EQ(Meldungen(), fall.meldungen);
    // A second call does nothing; a following segment reads normally.
    speicher.SetzePosition(0);
    EXPECT_FALSE(leser.Beenden());
    EXPECT_EQ(speicher.position, 0u);
    if (!fall.daten.ends_with(folgt)) continue;
    speicher.SetzePosition(fall.position);
    TSegmentLeser naechster(speicher);
    ASSERT_TRUE(naechster.Init(PLTZ, 0x102));
    EXPECT_EQ(naechster.LeseU32(), 3u);
    EXPECT_EQ(naechster.LeseU32(), 4u);
    EXPECT_TRUE(naechster.Beenden());
  }
}

}  // namespace
