#include "Landschaft.h"
#include "RenderTestHilfen.h"
#include "Szene.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace Spiel;

namespace {

const Dreieck kStart{{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}};

class SzeneTest : public AufzeichnungsTest {
 protected:
  std::size_t Registriert() {
    std::size_t n = 0;
    kontext->FuerJedesObjekt([&n](Quelm_BasisObjekt*) { ++n; });
    return n;
  }
};

TEST_F(SzeneTest, NetzMitFlachenNormalenUndGruenenSchattierungen) {
  const std::size_t vorher = Registriert();
  Szene szene;
  szene.dreiecke.assign(200, kStart);
  szene.BaueNetz();
  ASSERT_NE(szene.netz.vertexe, nullptr);
  EXPECT_EQ(szene.netz.vertexe->groesse, 200u * 144);
  EXPECT_EQ(szene.netz.indizes->groesse, 200u * 12);
  const auto* idx = reinterpret_cast<const std::uint32_t*>(szene.netz.indizes->kopie.get());
  const auto* v = reinterpret_cast<const SzenenVertex*>(szene.netz.vertexe->kopie.get());
  EXPECT_EQ(v[4].position, kStart.ecke[1]);
  float kleinstes = 1, groesstes = 0;
  for (int i = 0; i < 600; ++i) {
    EXPECT_NEAR(v[i].normale.y, 1.0f, 1e-6f);
    EXPECT_EQ(idx[i], static_cast<std::uint32_t>(i));  // each triangle draws its own corners
    // Corners at (0, 0), (1, 0), (0, 1) of the texture; one shade of green, opaque.
    EXPECT_EQ(std::pair(v[i].u, v[i].v), (std::pair{i % 3 == 1 ? 1.0f : 0.0f, i % 3 == 2 ? 1.0f : 0.0f}));
    EXPECT_NEAR(v[i].farbe.g - v[i].farbe.r, 0.6f, 1e-5f);
    EXPECT_EQ(v[i].farbe.b, v[i].farbe.r);
    EXPECT_EQ(v[i].farbe.a, 1.0f);
    kleinstes = std::min(kleinstes, v[i].farbe.r - 0.26666668f);
    groesstes = std::max(groesstes, v[i].farbe.r - 0.26666668f);
  }
  EXPECT_GE(kleinstes, 0.0f);
  EXPECT_LE(groesstes, 0.1334f);  // never saturated
  EXPECT_GT(groesstes - kleinstes, 0.1f);

  szene.dreiecke[0].ecke[1] = szene.dreiecke[0].ecke[0];  // dragged onto its neighbour
  szene.BaueNetz();
  v = reinterpret_cast<const SzenenVertex*>(szene.netz.vertexe->kopie.get());
  EXPECT_EQ(v[0].normale, Vektor3{});

  // The last triangle gone: no buffers, and the landscape must follow.
  szene.dreiecke.clear();
  szene.veraendert = 0;
  szene.BaueNetz();
  EXPECT_EQ(szene.netz.vertexe, nullptr);
  EXPECT_EQ(Registriert(), vorher);
  EXPECT_EQ(szene.veraendert, 1);
}

// Landscape jobs on real workers, handed back through the main thread's queue.
class GenerierungTest : public SzeneTest {
 protected:
  Quelm_ParallelKern kern;

  bool WarteAufUebergabe(Szene& szene) {
    Quelm_ArbeiterInfo& info = kern.hauptInfos.front();
    for (int i = 0; i < 5000 && szene.generierung.faser; ++i) {
      Quelm_ParallelKern::NeueFaser(1, [&info] { info.stop = true; });
      kern.ArbeiterSchleife(info);
      info.stop = false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !szene.generierung.faser;
  }
};

TEST_F(GenerierungTest, ErgebnisWirdGetauschtUndAltesFreigegeben) {
  const std::size_t vorher = Registriert();
  {
    Szene szene;
    szene.dreiecke.push_back({{{0, 0, 0}, {0, 30, -20}, {20, 0, 0}}});
    szene.BaueNetz();
    ASSERT_TRUE(szene.StarteGenerierung());
    EXPECT_FALSE(szene.StarteGenerierung());  // one at a time
    szene.BaueNetz();                          // an edit meanwhile only marks the scene
    EXPECT_FALSE(szene.StarteGenerierung());
    ASSERT_TRUE(WarteAufUebergabe(szene));
    ASSERT_EQ(szene.landschaft.size(), 1u);
    ASSERT_NE(szene.landschaft[0].netz.vertexe, nullptr);
    EXPECT_EQ(Registriert(), vorher + 5);  // mesh pair, chunk pair, texture

    // The pending edit gives exactly one further generation; the old chunk is released.
    ASSERT_TRUE(szene.StarteGenerierung());
    ASSERT_TRUE(WarteAufUebergabe(szene));
    EXPECT_FALSE(szene.StarteGenerierung());
    EXPECT_EQ(Registriert(), vorher + 5);

    // An empty list still makes a chunk with its texture but no buffers.
    szene.dreiecke.clear();
    szene.BaueNetz();
    ASSERT_TRUE(szene.StarteGenerierung());
    ASSERT_TRUE(WarteAufUebergabe(szene));
    EXPECT_EQ(szene.landschaft[0].netz.vertexe, nullptr);
    EXPECT_NE(szene.landschaft[0].textur, nullptr);
  }
  EXPECT_EQ(Registriert(), vorher);
}

}  // namespace
