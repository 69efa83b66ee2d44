#include "Quelm_Zeitgeber.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A clock at a known time 0 (the constructor's 20 ms start taken back out).
TZeitgeber NeueUhr() {
  TZeitgeber uhr;
  uhr.zeit = 0;
  return uhr;
}

const TZeit kSekunde = Quelm_ZaehlerFrequenz;

TEST(GlobalerZeitgeber, StehtVorDemErstenBildBeiNull) {
  // Built before the time base, so its first advance is 0 ticks.
  EXPECT_EQ(gZeitgeber.zeit, 0);
  EXPECT_EQ(gZeitgeber.schritt, 0);
}

TEST(Zeitgeber, FaelligeEintraegeFeuernNachFaelligkeitUndGleicheInEinfuegeReihenfolge) {
  TZeitgeber uhr = NeueUhr();
  std::vector<std::string> folge;
  uhr.FuegeHinzu(30, [&] { folge.push_back("c30"); });
  uhr.FuegeHinzu(10, [&] { folge.push_back("a10"); });
  uhr.FuegeHinzu(10, [&] { folge.push_back("b10"); });
  uhr.FuegeHinzu(50, [&] { folge.push_back("d50"); });

  uhr.FeuereFaellige(10);  // due 10 is not strictly before 10
  EXPECT_TRUE(folge.empty());
  uhr.FeuereFaellige(1);
  EXPECT_EQ(folge, (std::vector<std::string>{"a10", "b10"}));
  uhr.FeuereFaellige(39);  // now 50: due 50 waits
  EXPECT_EQ(folge, (std::vector<std::string>{"a10", "b10", "c30"}));
  EXPECT_EQ(uhr.eintraege.size(), 1u);
}

TEST(Zeitgeber, ImLaufHinzugefuegteFeuernImSelbenLaufNurWennSchonUeberfaellig) {
  TZeitgeber uhr = NeueUhr();
  std::vector<int> folge;
  uhr.FuegeHinzu(0, [&] {
    folge.push_back(1);
    uhr.FuegeHinzu(-5, [&] { folge.push_back(3); });
    uhr.FuegeHinzu(0, [&] { folge.push_back(4); });  // due = now: not in this walk
  });
  uhr.FuegeHinzu(0, [&] { folge.push_back(2); });
  uhr.FeuereFaellige(0);  // delay 0 waits for a positive step
  EXPECT_TRUE(folge.empty());
  uhr.FeuereFaellige(5);
  EXPECT_EQ(folge, (std::vector<int>{1, 2, 3}));
  uhr.FeuereFaellige(0);
  uhr.FeuereFaellige(1);
  EXPECT_EQ(folge, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(uhr.eintraege.empty());
}

TEST(Zeitgeber, EntfernenWirktAusserhalbDesFeuernsSofortWaehrenddessenAmEndeDesLaufs) {
  TZeitgeber uhr = NeueUhr();
  std::vector<std::string> folge;
  std::uint64_t spaeter = 0, nichtFaellig = 0;
  uhr.FuegeHinzu(0, [&] {
    folge.push_back("erster");
    uhr.Entferne(spaeter);
    uhr.Entferne(spaeter);  // twice: the second request finds nothing
    uhr.Entferne(nichtFaellig);
    EXPECT_EQ(std::count_if(uhr.eintraege.begin(), uhr.eintraege.end(),
                            [&](const TZeitgeber::Eintrag& e) { return e.id == spaeter || e.id == nichtFaellig; }),
              2);
  });
  spaeter = uhr.FuegeHinzu(0, [&] { folge.push_back("spaeter"); });
  nichtFaellig = uhr.FuegeHinzu(1000, [&] { folge.push_back("nichtFaellig"); });
  const auto bleibt = uhr.FuegeHinzu(1000, [] {});
  const auto weg = uhr.FuegeHinzu(1000, [&] { folge.push_back("weg"); });
  uhr.Entferne(weg);
  uhr.Entferne(weg);    // no longer present: nothing
  uhr.Entferne(12345);  // never present: nothing
  EXPECT_EQ(uhr.eintraege.size(), 4u);

  uhr.FeuereFaellige(1);
  EXPECT_EQ(folge, (std::vector<std::string>{"erster"}));
  EXPECT_FALSE(uhr.feuert);
  ASSERT_EQ(uhr.eintraege.size(), 1u);
  EXPECT_EQ(uhr.eintraege[0].id, bleibt);
}

// Counts its live copies by address, so a callable can check that its own captured
// state still exists without reading possibly freed memory.
struct Waechter {
  static std::set<const Waechter*>& Lebende() {
    static std::set<const Waechter*> lebende;
    return lebende;
  }
  Waechter() { Lebende().insert(this); }
  Waechter(const Waechter&) { Lebende().insert(this); }
  ~Waechter() { Lebende().erase(this); }
  static bool Lebt(const Waechter* w) { return Lebende().count(w) != 0; }
  std::string nutzlast = std::string(64, 'x');  // on the heap: ASan sees a freed read
};

TEST(Zeitgeber, EinEintragDerEintraegeHinzufuegtUeberlebtDasWachsenDerListe) {
  TZeitgeber uhr = NeueUhr();
  uhr.eintraege.shrink_to_fit();
  int nachzuegler = 0;
  bool lebteNachher = false;
  std::size_t laenge = 0;
  uhr.FuegeHinzu(0, [&, w = Waechter()] {
    // Enough additions to move the list's storage several times.
    for (int i = 0; i < 100; ++i) uhr.FuegeHinzu(1000, [&] { ++nachzuegler; });
    lebteNachher = Waechter::Lebt(&w);
    laenge = w.nutzlast.size();
  });
  uhr.FeuereFaellige(1);
  EXPECT_TRUE(lebteNachher);
  EXPECT_EQ(laenge, 64u);
  EXPECT_EQ(uhr.eintraege.size(), 100u);
  uhr.FeuereFaellige(2000);
  EXPECT_EQ(nachzuegler, 100);
  EXPECT_TRUE(Waechter::Lebende().empty());
}

TEST(Zeitgeber, EinWerfenderEintragBeendetDasFeuernUndDieAngefragtenEntfernungen) {
  TZeitgeber uhr = NeueUhr();
  std::uint64_t opfer = 0;
  uhr.FuegeHinzu(0, [&] {
    uhr.Entferne(opfer);
    throw std::runtime_error("kaputt");
  });
  opfer = uhr.FuegeHinzu(1000, [] {});
  EXPECT_THROW(uhr.FeuereFaellige(1), std::runtime_error);
  EXPECT_FALSE(uhr.feuert);
  EXPECT_TRUE(uhr.eintraege.empty());
  // Later removals act at once again.
  const auto id = uhr.FuegeHinzu(1000, [] {});
  uhr.Entferne(id);
  EXPECT_TRUE(uhr.eintraege.empty());
}

TEST(Zeitgeber, SchrittIstDasMittelDerLetztenZweiFrameAbstaendeMalTempoUndPauseHaeltAn) {
  TZeitgeber uhr = NeueUhr();
  int gerufen = 0;
  uhr.FuegeHinzu(-100, [&] { ++gerufen; });
  uhr.pausiert = true;
  uhr.Aktualisiere();
  EXPECT_EQ(uhr.zeit, 0);
  EXPECT_EQ(uhr.schritt, 0);
  EXPECT_EQ(gerufen, 0);
  // Frames of 3 s and 1 s: mean 2 s.
  uhr.pausiert = false;
  uhr.jetzt = Quelm_Zaehlerstand() - kSekunde;
  uhr.vorher = uhr.jetzt - 3 * kSekunde;
  uhr.tempo = 0.5;
  uhr.Aktualisiere();
  const TZeit toleranz = kSekunde / 20;  // the time this test itself takes
  EXPECT_NEAR(static_cast<double>(uhr.schritt), static_cast<double>(kSekunde), static_cast<double>(toleranz));
  EXPECT_EQ(uhr.zeit, uhr.schritt);
  EXPECT_EQ(gerufen, 1);
}

TEST(Zeitgeber, MaxSchrittBegrenztLangeFrameUndDieErsteAktualisierung) {
  // A two-second frame; and before the second update, when the counter two updates back
  // is 0 and the raw step half the counter.
  for (const bool erste : {false, true}) {
    TZeitgeber uhr = NeueUhr();
    uhr.maxSchritt = static_cast<TZeit>(Quelm_TicksProSekunde * 0.1f);
    uhr.jetzt = Quelm_Zaehlerstand() - 2 * kSekunde;
    uhr.vorher = erste ? 0 : uhr.jetzt - 2 * kSekunde;
    uhr.Aktualisiere();
    EXPECT_EQ(uhr.schritt, uhr.maxSchritt) << erste;
    EXPECT_EQ(uhr.zeit, uhr.maxSchritt) << erste;
  }
}

}  // namespace
