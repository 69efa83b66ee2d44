#include "Basisdienste.h"
#include "ProtokollSammler.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_Protokoll.h"
#include "Quelm_ProtokollWarteschlange.h"
#include "Quelm_Zeitbasis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

namespace {

class Protokoll : public ::testing::Test {
 protected:
  void SetUp() override {
    AktiviereProtokoll(ordner.pfad());
    // Lines an earlier test's threads queued after its last drain must not reach this one.
    gProtokoll.LeereProtokollWarteschlange();
  }
  TempOrdner ordner;
};

TEST(ProtokollInaktiv, VerwirftZeilenVorDerAktivierung) {
  gProtokoll.aktiv = false;  // as before the first activation, whatever ran before
  ZeilenSammler sammler;
  Protokolliere("vorher %d", 1);
  EXPECT_TRUE(sammler.zeilen.empty());
}

TEST_F(Protokoll, AktivierungLeertDieDateiUndSchreibtLogStart) {
  SchreibeDatei(ordner.pfad() / "tool.log", "alter Inhalt\n");
  SchreibeDatei(ordner.pfad() / Quelm_Protokoll::kVorherigesProtokoll, "vorvoriger Lauf\n");
  AktiviereProtokoll(ordner.pfad());
  const std::string inhalt = LeseDatei(ordner.pfad() / "tool.log");
  EXPECT_EQ(inhalt.find("alter Inhalt"), std::string::npos);
  EXPECT_NE(inhalt.find("): Log-Start\n"), std::string::npos);
  // The last run's log (with a crash report, say) stays readable: one file, replaced.
  EXPECT_EQ(LeseDatei(ordner.pfad() / Quelm_Protokoll::kVorherigesProtokoll), "alter Inhalt\n");
}

// A log file that cannot be written is said once on stderr, with its path; lines still
// reach the sink.
TEST_F(Protokoll, NichtSchreibbaresProtokollEinmalAufStderr) {
  struct Fall {
    const char* name;
    void (*vorbereiten)(const std::filesystem::path& ordner);
    std::string pfad, grund;
  };
  const Fall faelle[] = {
      {"Ordner fehlt", [](const std::filesystem::path& o) { AktiviereProtokoll(o / "fehlt"); },
       (ordner.pfad() / "fehlt" / "tool.log").string(), std::strerror(ENOENT)},
      {"Platte voll",
       [](const std::filesystem::path& o) {
         AktiviereProtokoll(o);
         gProtokoll.dateiPfad = "/dev/full";
       },
       "/dev/full", std::strerror(ENOSPC)},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    ::testing::internal::CaptureStderr();
    fall.vorbereiten(ordner.pfad());
    ZeilenSammler sammler;
    Protokolliere("eins");
    Protokolliere("zwei");
    const std::string fehlerText = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(fehlerText,
              "ToolVelmar: Protokoll \"" + fall.pfad + "\" kann nicht geschrieben werden: " + fall.grund + "\n");
    EXPECT_EQ(sammler.Texte(), (std::vector<std::string>{"eins", "zwei"}));
  }
  AktiviereProtokoll(ordner.pfad());
}

TEST_F(Protokoll, ZeilenformatMitZeitUndThreadKennungLangeZeilenGekuerzt) {
  ZeilenSammler sammler;
  // 1.5 seconds since activation.
  gProtokoll.startZeit = Quelm_Zaehlerstand() - Quelm_ZaehlerFrequenz * 3 / 2;
  Protokolliere("abc");
  Protokolliere("abc\n");
  // Cut to 1997 characters and a newline. The prefix "0001:500000 (tabcd): " has 21
  // characters; a message that just fits keeps its own newline and gets no second one.
  Protokolliere("%s", std::string(3000, 'x').c_str());
  Protokolliere("%s", (std::string(1997 - 21 - 1, 'y') + "\n").c_str());
  ASSERT_EQ(sammler.zeilen.size(), 4u);
  char kennung[8];
  std::snprintf(kennung, sizeof kennung, "%04x", Quelm_Protokoll::ThreadKennung(Plattform::ThreadId()));
  const std::regex muster(std::string("0001:5\\d{5} \\(t") + kennung + "\\): abc\n");
  for (int i : {0, 1}) EXPECT_TRUE(std::regex_match(sammler.zeilen[i], muster)) << sammler.zeilen[i];
  EXPECT_EQ(sammler.zeilen[2].size(), 1998u);
  EXPECT_EQ(sammler.zeilen[2].back(), '\n');
  EXPECT_EQ(sammler.zeilen[2][1996], 'x');
  EXPECT_EQ(sammler.zeilen[3].size(), 1997u);
  EXPECT_EQ(sammler.zeilen[3].substr(1994), "yy\n");
  // The short ones reach the file too, each ending in exactly one newline.
  const std::string datei = LeseDatei(ordner.pfad() / "tool.log");
  EXPECT_EQ(datei.find("abc\n\n"), std::string::npos);
  EXPECT_NE(datei.find("abc\n"), std::string::npos);
}

// 64-bit FNV-1a over the id's four bytes, least significant first; the low 16 bits.
TEST(ProtokollKennung, ThreadKennungAusFnv1a) {
  const std::pair<std::uint32_t, std::uint16_t> faelle[] = {
      {0, 0x13f5}, {1, 0x5764}, {0x12345678, 0x3365}, {0xFFFFFFFF, 0x3951}, {4242, 0xb3f7}};
  for (const auto& [id, kennung] : faelle) EXPECT_EQ(Quelm_Protokoll::ThreadKennung(id), kennung) << id;
}

// An empty message keeps the whole prefix; one the formatter refuses (a character the C
// locale cannot convert) leaves the prefix without its final blank.
TEST_F(Protokoll, LeereUndUnformatierbareMeldung) {
  ZeilenSammler sammler;
  Protokolliere("%s", "");
  Protokolliere("%ls", L"\u00e4");
  ASSERT_EQ(sammler.zeilen.size(), 2u);
  EXPECT_TRUE(std::regex_match(sammler.zeilen[0], std::regex("\\d{4}:\\d{6} \\(t[0-9a-f]{4}\\): \n"))) << sammler.zeilen[0];
  EXPECT_TRUE(std::regex_match(sammler.zeilen[1], std::regex("\\d{4}:\\d{6} \\(t[0-9a-f]{4}\\):\n"))) << sammler.zeilen[1];
}

TEST_F(Protokoll, ZeilenAndererThreadsErstBeimLeerenDurchDenBesitzerInReihenfolgeMitIhrerZeit) {
  ZeilenSammler sammler;
  std::thread([] {
    for (int i = 0; i < 50; ++i) Protokolliere("%d", i);
    gProtokoll.LeereProtokollWarteschlange();  // not the owner: the lines stay queued
  }).join();
  EXPECT_TRUE(sammler.zeilen.empty());
  EXPECT_EQ(LeseDatei(ordner.pfad() / "tool.log").find("): 49\n"), std::string::npos);

  // The lines keep the time of logging, not of the drain.
  gProtokoll.startZeit -= Quelm_ZaehlerFrequenz * 5;
  gProtokoll.LeereProtokollWarteschlange();
  const auto texte = sammler.Texte();
  ASSERT_EQ(texte.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(texte[i], std::to_string(i));
  EXPECT_NE(LeseDatei(ordner.pfad() / "tool.log").find("): 49\n"), std::string::npos);
  // Same format as the owner's lines, only the thread differs.
  EXPECT_TRUE(std::regex_match(sammler.zeilen[0], std::regex("0000:\\d{6} \\(t[0-9a-f]{4}\\): 0\n")));
}

TEST_F(Protokoll, LeerenEndetTrotzStaendigNeuerZeilen) {
  ZeilenSammler sammler;
  std::atomic<bool> stop{false};
  for (int i = 0; i < 100; ++i) std::thread([] { Protokolliere("vorab"); }).join();
  std::thread erzeuger([&] {
    while (!stop) Protokolliere("nachschub");
  });
  const auto anfang = std::chrono::steady_clock::now();
  gProtokoll.LeereProtokollWarteschlange();
  const auto dauer = std::chrono::steady_clock::now() - anfang;
  stop = true;
  erzeuger.join();
  EXPECT_LT(dauer, std::chrono::seconds(5));
  EXPECT_GE(sammler.zeilen.size(), 100u);
}

TEST_F(Protokoll, AusfuehrlichNurMitDebugSchalter) {
  ZeilenSammler sammler;
  ASSERT_TRUE(gProtokoll.Ausfuehrlich());  // "t_debug" defaults to true
  ProtokolliereAusfuehrlich("mit");
  bool* schalter = const_cast<bool*>(gProtokoll.debugSchalter);
  *schalter = false;
  ProtokolliereAusfuehrlich("ohne");
  *schalter = true;
  EXPECT_EQ(sammler.Texte(), std::vector<std::string>{"mit"});
}

TEST_F(Protokoll, TLogfileAusStopptDieDateiUndOhneAnzeigeBleibtSie) {
  Quelm_KonsolenVariable* schalter = Quelm_KonsolenVariable::Finde("t_logfile");
  ASSERT_NE(schalter, nullptr);
  {
    ZeilenSammler sammler;
    Protokolliere("vorher");
    schalter->SetzeBool(false);
    Protokolliere("abgeschaltet");
    ::testing::internal::CaptureStderr();
    ProtokolliereSofort("sofort abgeschaltet");  // the crash report's way: stderr only
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("sofort abgeschaltet"), std::string::npos);
    schalter->SetzeBool(true);
  }
  Protokolliere("ohne Anzeige");  // the display detached itself
  const std::string inhalt = LeseDatei(ordner.pfad() / "tool.log");
  EXPECT_NE(inhalt.find("vorher"), std::string::npos);
  EXPECT_EQ(inhalt.find("abgeschaltet"), std::string::npos);  // neither way
  EXPECT_NE(inhalt.find("ohne Anzeige"), std::string::npos);
}

TEST_F(Protokoll, MeldeAusnahmeSchreibtGenauEineZeileUndKehrtZurueck) {
  ZeilenSammler sammler;
  MeldeAusnahme("kaputt", "Quelm_Test::Tu", "test.cpp", 42);
  EXPECT_EQ(sammler.Texte(),
            std::vector<std::string>{"!Ausnahme \"kaputt\" aufgetreten in Funktion Quelm_Test::Tu (test.cpp:42)."});
}

}  // namespace
