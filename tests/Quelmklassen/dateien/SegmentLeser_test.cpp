#include "ProtokollSammler.h"
#include "TSegmentLeser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::uint32_t PLTZ = TSegmentLeser::Kennung("PLTZ");

// Builds segment files big-endian, as the tool chain writes them.
struct Schreiber {
  std::string b;
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

TEST_F(SegmentLeser, SegmentMitLaengeWirdGelesenUndKorrektBeendet) {
  const std::string inhalt = Rechtecke(512, 256);
  Lade(Schreiber().Text("xyz").Segment("PLTZ", 0x102, inhalt, true, "Pltz").U32(77).b);
  speicher.SetzePosition(3);
  TSegmentLeser leser(speicher);
  ASSERT_TRUE(leser.Init(PLTZ, 0x102));
  EXPECT_EQ(leser.version, 0x102u);
  // The end counts from the length field (offset 8 in the segment): 3 + 8 + L.
  EXPECT_EQ(leser.ende, 3u + 8 + (8 + inhalt.size() + 4));
  EXPECT_EQ(leser.Rest(), inhalt.size() + 4);
  EXPECT_EQ(leser.LeseU32(), 512u);
  EXPECT_EQ(leser.LeseU32(), 256u);
  EXPECT_TRUE(leser.Beenden());
  EXPECT_EQ(speicher.position, leser.ende);
  EXPECT_EQ(leser.LeseU32(), 77u);
  EXPECT_TRUE(Meldungen().empty());
}

TEST_F(SegmentLeser, SegmentOhneLaengeHatKeinAufgezeichnetesEnde) {
  Lade(Schreiber().Segment("PLTZ", 0x101, Rechtecke(1, 2), false, "Pltz").b);
  TSegmentLeser leser(speicher);
  ASSERT_TRUE(leser.Init(PLTZ, 0x102));
  EXPECT_EQ(leser.version, 0x101u);
  EXPECT_EQ(leser.ende, TSegmentLeser::kKeinEnde);
  EXPECT_EQ(leser.Rest(), 12u);
  EXPECT_EQ(leser.LeseU32(), 1u);
  EXPECT_EQ(leser.LeseU32(), 2u);
  EXPECT_TRUE(leser.Beenden());
  EXPECT_EQ(speicher.position, speicher.groesse);
}

TEST_F(SegmentLeser, FalscheEndmarkeSpringtZumAufgezeichnetenEnde) {
  // "PLTZ" itself is not the marker of "PLTZ"; the owner here also reads too little.
  Lade(Schreiber()
           .Segment("PLTZ", 0x102, Rechtecke(1, 2), true, "PLTZ")
           .Segment("PLTZ", 0x102, Rechtecke(3, 4), true, "Pltz")
           .b);
  TSegmentLeser erster(speicher);
  ASSERT_TRUE(erster.Init(PLTZ, 0x102));
  EXPECT_EQ(erster.LeseU32(), 1u);
  EXPECT_FALSE(erster.Beenden());
  EXPECT_EQ(speicher.position, erster.ende);
  EXPECT_EQ(Meldungen(), std::vector<std::string>{"!TSegmentLeser - Segment 'PLTZ' nicht korrekt beendet."});

  // Reading too much is repaired the same way, and the next segment reads normally.
  TSegmentLeser zweiter(speicher);
  ASSERT_TRUE(zweiter.Init(PLTZ, 0x102));
  EXPECT_EQ(zweiter.LeseU32(), 3u);
  EXPECT_EQ(zweiter.LeseU32(), 4u);
  EXPECT_TRUE(zweiter.Beenden());
  EXPECT_EQ(speicher.position, speicher.groesse);

  // A second call does nothing.
  speicher.SetzePosition(0);
  EXPECT_FALSE(erster.Beenden());
  EXPECT_EQ(speicher.position, 0u);
}

TEST_F(SegmentLeser, FalscheEndmarkeOhneLaengeGehtAnsEndeDesInhalts) {
  Lade(Schreiber().Segment("PLTZ", 0x100, Rechtecke(1, 2), false, "pltz").U32(5).U32(6).b);
  TSegmentLeser leser(speicher);
  ASSERT_TRUE(leser.Init(PLTZ, 0x102));
  leser.Ueberspringe(8);
  EXPECT_FALSE(leser.Beenden());
  EXPECT_EQ(speicher.position, speicher.groesse);
}

TEST_F(SegmentLeser, FalscheKennungMachtDenLeserUngueltig) {
  Lade(Schreiber().Segment("FX3D", 0x102, Rechtecke(1, 2), true, "Fx3d").b);
  TSegmentLeser leser(speicher);
  EXPECT_FALSE(leser.Init(PLTZ, 0x102));
  EXPECT_FALSE(leser.gueltig);
  EXPECT_EQ(Meldungen(), (std::vector<std::string>{
                             "!TSegmentLeser - Startkennung 'PLTZ' nicht gefunden.",
                             "!Ausnahme \"TSegmentLeser - Startmarkierung 'PLTZ' erwartet.\" aufgetreten in "
                             "Funktion TSegmentLeser::Init"}));
  // A foreign length is not trusted: Beenden reads no marker and jumps nowhere.
  const std::uint64_t position = speicher.position;
  EXPECT_FALSE(leser.Beenden());
  EXPECT_EQ(speicher.position, position);
}

TEST_F(SegmentLeser, ZuHoheVersionWirdGemeldetUndDasSegmentUebersprungen) {
  Lade(Schreiber()
           .Segment("PLTZ", 0x103, Rechtecke(1, 2), true, "Pltz")
           .Segment("PLTZ", 0x102, Rechtecke(3, 4), true, "Pltz")
           .b);
  TSegmentLeser neu(speicher);
  EXPECT_FALSE(neu.Init(PLTZ, 0x102));
  EXPECT_EQ(neu.version, 0x103u);
  EXPECT_EQ(Meldungen(), std::vector<std::string>{"!Ausnahme \"TSegmentLeser - Segment 'PLTZ' hat ungültige Version "
                                                  "259.\" aufgetreten in Funktion TSegmentLeser::Init"});
  EXPECT_FALSE(neu.Beenden());
  EXPECT_EQ(speicher.position, neu.ende);

  TSegmentLeser alt(speicher);
  ASSERT_TRUE(alt.Init(PLTZ, 0x102));
  EXPECT_EQ(alt.LeseU32(), 3u);
}

TEST_F(SegmentLeser, ZuHoheVersionOhneLaengeBleibtStehen) {
  Lade(Schreiber().Segment("PLTZ", 0x103, Rechtecke(1, 2), false, "Pltz").b);
  TSegmentLeser leser(speicher);
  EXPECT_FALSE(leser.Init(PLTZ, 0x102));
  EXPECT_FALSE(leser.Beenden());
  EXPECT_EQ(speicher.position, 8u);
}

TEST_F(SegmentLeser, LesenUeberDasEndeGibtNullUndMarkiertDenFehler) {
  Lade(Schreiber().Segment("PLTZ", 1, "", false, "").U8(0xAB).U8(0xCD).b);
  TSegmentLeser leser(speicher);
  ASSERT_TRUE(leser.Init(PLTZ, 1));
  EXPECT_EQ(leser.LeseU32(), 0u);
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

TEST_F(SegmentLeser, ZahlenSindBigEndian) {
  Lade(Schreiber().U8(0x7F).U32(0x3FC00000u).U64(0x0102030405060708ull).b);
  TSegmentLeser leser(speicher);
  EXPECT_EQ(leser.LeseU8(), 0x7Fu);
  EXPECT_EQ(leser.LeseF32(), 1.5f);
  EXPECT_EQ(leser.LeseU64(), 0x0102030405060708ull);
  EXPECT_FALSE(leser.fehler);
}

TEST_F(SegmentLeser, BeschaedigteKoepfeWerdenAbgewiesen) {
  struct Fall {
    std::string daten;
    const char* meldung;
  };
  const Fall faelle[] = {
      {"PLT", "!TSegmentLeser - Startkennung 'PLTZ' nicht gefunden."},
      {"PLTZ\x80\x00", "!Ausnahme \"TSegmentLeser - Segment 'PLTZ' ist abgeschnitten.\" aufgetreten in Funktion "
                       "TSegmentLeser::Init"},
      {Schreiber().Text("PLTZ").U32(0x80000102u).U32(0).b,
       "!Ausnahme \"TSegmentLeser - Segment 'PLTZ' ist abgeschnitten.\" aufgetreten in Funktion TSegmentLeser::Init"},
      // The length covers at least itself and the end marker.
      {Schreiber().Text("PLTZ").U32(0x80000102u).U64(4).Text("Pltz").b,
       "!Ausnahme \"TSegmentLeser - Segment 'PLTZ' hat ungültige Länge.\" aufgetreten in Funktion "
       "TSegmentLeser::Init"},
      // A length beyond the buffer: the file was cut short.
      {Schreiber().Text("PLTZ").U32(0x80000102u).U64(~0ull).Text("Pltz").b,
       "!Ausnahme \"TSegmentLeser - Segment 'PLTZ' ist abgeschnitten.\" aufgetreten in Funktion TSegmentLeser::Init"},
      {Schreiber().Text("PLTZ").U32(0x80000102u).U64(13).Text("Pltz").b,
       "!Ausnahme \"TSegmentLeser - Segment 'PLTZ' ist abgeschnitten.\" aufgetreten in Funktion TSegmentLeser::Init"},
  };
  for (const Fall& fall : faelle) {
    sammler->zeilen.clear();
    Lade(std::string(fall.daten.data(), fall.daten.size()));
    TSegmentLeser leser(speicher);
    EXPECT_FALSE(leser.Init(PLTZ, 0x102)) << fall.meldung;
    ASSERT_FALSE(Meldungen().empty());
    EXPECT_EQ(Meldungen()[0], fall.meldung);
    // Nothing to skip to: the position stays where the header reading stopped.
    const std::uint64_t position = speicher.position;
    EXPECT_FALSE(leser.Beenden());
    EXPECT_EQ(speicher.position, position);
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
