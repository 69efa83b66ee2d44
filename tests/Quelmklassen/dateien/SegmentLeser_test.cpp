#include "ProtokollSammler.h"
#include "TSegmentLeser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t PLTZ = TSegmentLeser::Kennung("PLTZ");

// Builds segment files big-endian, as the tool chain writes them.
struct Schreiber {
  std::string b;
  Schreiber() = default;
  explicit Schreiber(std::string anfang) : b(std::move(anfang)) {}
  Schreiber& U8(std::uint8_t v) {
    b += static_cast<char>(v);
    return *this;
  }
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
  Lade(zahlen.U8(0x7F).U32(0x3FC00000u).U64(0x0102030405060708ull).Text("xy").b);
  TSegmentLeser leser(speicher);
  ASSERT_TRUE(leser.Init(PLTZ, 1));
  EXPECT_EQ(leser.LeseU8(), 0x7Fu);
  EXPECT_EQ(leser.LeseF32(), 1.5f);
  EXPECT_EQ(leser.LeseU64(), 0x0102030405060708ull);
  EXPECT_FALSE(leser.fehler);
  EXPECT_EQ(leser.LeseU32(), 0u);  // two bytes left
  EXPECT_TRUE(leser.fehler);
  EXPECT_EQ(speicher.position, speicher.groesse);
  EXPECT_EQ(leser.LeseU8(), 0u);
  EXPECT_EQ(leser.LeseU64(), 0u);
  EXPECT_FALSE(leser.Ueberspringe(1));
  EXPECT_TRUE(leser.Ueberspringe(0));
  EXPECT_EQ(leser.Rest(), 0u);
  EXPECT_FALSE(leser.Beenden());
  EXPECT_EQ(speicher.position, speicher.groesse);
}

std::string Ausnahme(const std::string& text) {
  return "!Ausnahme \"TSegmentLeser - " + text + "\" aufgetreten in Funktion TSegmentLeser::Init";
}

TEST_F(SegmentLeser, FehlerWerdenGemeldetUndBeendenSpringtNurZuEinemVertrauenswuerdigenEnde) {
  const std::string folgt = Schreiber().Segment("PLTZ", 0x102, Rechtecke(3, 4), true, "Pltz").b;
  const std::string kopf = Schreiber().Text("PLTZ").U32(0x80000102u).b;
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

TEST_F(SegmentLeser, EinLeserUeberBeliebigenDatenKommtImmerVoran) {
  // The walk an owner does over consecutive segments: every step moves forward, also over
  // damaged segments, so the walk ends.
  Schreiber s;
  s.Segment("PLTZ", 0x102, Rechtecke(1, 2), true, "PLTZ");
  s.Segment("PLTZ", 0x103, Rechtecke(1, 2), true, "Pltz");
  s.Text("PLTZ").U32(0x80000000u).U64(12).Text("Pltz");
  s.Segment("PLTZ", 0x102, "", false, "xxxx");
  Lade(s.b);
  int schritte = 0;
  while (speicher.position < speicher.groesse && schritte < 100) {
    const std::uint64_t vorher = speicher.position;
    TSegmentLeser leser(speicher);
    if (leser.Init(PLTZ, 0x102)) leser.Ueberspringe(std::min<std::uint64_t>(leser.Rest(), 8));
    leser.Beenden();
    ASSERT_GT(speicher.position, vorher);
    ++schritte;
  }
  EXPECT_EQ(speicher.position, speicher.groesse);
  EXPECT_LE(schritte, 4);
}

}  // namespace
