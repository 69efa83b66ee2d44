#include "Einstieg.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <functional>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

class Einstieg : public ::testing::Test {
 protected:
  void SetUp() override {
    gSystem.benutzerVerzeichnis = ordner.pfad();
    Quelm_KonsolenVariable::Finde("t_logfile")->SetzeBool(true);
  }
  fs::path Datei(const char* name) const { return ordner.pfad() / name; }
  TempOrdner ordner;
};

TEST_F(Einstieg, OhneLogdateiBleibtEineAlteLogdateiStehen) {
  Quelm_KonsolenVariable::Finde("t_logfile")->SetzeBool(false);
  SchreibeDatei(Datei("tool.log"), "alt\n");
  Spiel::ProgrammEinstieg([] {});
  EXPECT_EQ(LeseDatei(Datei("tool.log")), "alt\n");
  EXPECT_FALSE(fs::exists(Datei("tool.previous.log")));
}

// The run keeps large freed blocks in the heap (the sanitizers' allocators keep their own books).
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST_F(Einstieg, GrosseBloeckeKommenAusDemHeap) {
  std::size_t abgebildet = 1;
  Spiel::ProgrammEinstieg([&] {
    const std::size_t vorher = mallinfo2().hblkhd;
    void* volatile block = std::malloc(16 << 20);  // volatile: the block must really be made
    std::memset(block, 1, 16 << 20);
    abgebildet = mallinfo2().hblkhd - vorher;
    std::free(block);
  });
  EXPECT_EQ(abgebildet, 0u);
}
#endif

// Whatever ends the run, the settings are saved after it; failures reach the log and the
// terminal, with where the log is.
TEST_F(Einstieg, ErgebnisProtokollUndStderr) {
  const std::string log = Datei("tool.log").string();
  struct Fall {
    const char* name;
    std::function<void()> vorbereiten;
    std::function<void()> anwendung;
    int ergebnis;
    std::string stderrText;  // a part of what stderr must show ("" nothing)
    std::string logZeile;
  };
  const Fall faelle[] = {
      {"normal", [] {}, [this] { EXPECT_FALSE(fs::exists(Datei("tool.cfg"))); }, 0, "", "): Log-Start\n"},
      {"Start scheitert", [] {},
       [] { Quelm_Ausnahme::Wirf("Screen initialisation failed.", "Spiel::Anwendung::Anwendung", "A.cpp", 42); }, -1,
       "ToolVelmar: Screen initialisation failed.\nToolVelmar: Protokoll: " + log + "\n",
       "): Exception thrown: A.cpp (42) - Spiel::Anwendung::Anwendung(): Screen initialisation failed.\n"},
      {"fremde Ausnahme", [] {}, [] { throw std::runtime_error("kaputt"); }, -1, "ToolVelmar: kaputt\n",
       "): !Exception thrown: kaputt\n"},
      {"Speichern scheitert", [this] { fs::create_directory(Datei("tool.cfg")); }, [] {}, 1,
       "konnte nicht gespeichert werden", ""},
      {"Datenordner fehlt", [] { gSystem.ordnerFehler = "!Unable to create user data path \"x\"."; }, [] {}, 0,
       "ToolVelmar: Unable to create user data path \"x\".", ""},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    fs::remove_all(Datei("tool.cfg"));
    fall.vorbereiten();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Spiel::ProgrammEinstieg(fall.anwendung), fall.ergebnis);
    const std::string fehlerText = ::testing::internal::GetCapturedStderr();
    gSystem.ordnerFehler.clear();
    EXPECT_TRUE(fs::exists(Datei("tool.cfg")));
    EXPECT_NE(LeseDatei(Datei("tool.log")).find(fall.logZeile), std::string::npos) << fall.logZeile;
    if (fall.stderrText.empty()) {
      EXPECT_EQ(fehlerText, "");
      continue;
    }
    EXPECT_NE(fehlerText.find(fall.stderrText), std::string::npos) << fehlerText;
    // Whatever reached stderr is in the log as well.
    const std::string erste = fehlerText.substr(12, fehlerText.find('\n') - 12);
    EXPECT_NE(LeseDatei(Datei("tool.log")).find(erste), std::string::npos) << erste;
  }
}

TEST_F(Einstieg, BeendenSignaleSetzenNurDasEndeFlag) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    gSystem.beenden = false;
    EXPECT_EQ(Spiel::ProgrammEinstieg([signal] { std::raise(signal); }), 0) << signal;
    EXPECT_TRUE(gSystem.beenden) << signal;
  }
  gSystem.beenden = false;
}

}  // namespace
