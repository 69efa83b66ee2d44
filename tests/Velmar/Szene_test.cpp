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
  std::vector<SzenenVertex> Vertexe(const NetzPuffer& p) {
    const auto* v = reinterpret_cast<const SzenenVertex*>(p.vertexe->kopie);
    return {v, v + p.vertexe->groesse / sizeof(SzenenVertex)};
  }
};

TEST_F(SzeneTest, EinDreieckGibtDreiVertexeMitFlacherNormaleUndGruenerFarbe) {
  Szene szene;
  szene.dreiecke.push_back(kStart);
  szene.BaueNetz();
  ASSERT_NE(szene.netz.vertexe, nullptr);
  EXPECT_EQ(szene.netz.vertexe->groesse, 144u);
  EXPECT_EQ(szene.netz.indizes->groesse, 12u);
  EXPECT_EQ(szene.netz.indizes->indexFormat, 2u);
  const auto* idx = reinterpret_cast<const std::uint32_t*>(szene.netz.indizes->kopie);
  EXPECT_EQ(std::vector<std::uint32_t>(idx, idx + 3), (std::vector<std::uint32_t>{0, 1, 2}));
  const auto v = Vertexe(szene.netz);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(v[i].position, kStart.ecke[i]);
    EXPECT_NEAR(v[i].normale.y, 1.0f, 1e-6f);
  }
  EXPECT_EQ(v[1].u, 1.0f);
  EXPECT_EQ(v[2].v, 1.0f);
  EXPECT_EQ(szene.veraendert, 1);
}

TEST_F(SzeneTest, SchattierungenBleibenImGruenbereich) {
  Szene szene;
  szene.dreiecke.assign(500, kStart);
  szene.BaueNetz();
  float kleinstes = 1, groesstes = 0;
  for (const SzenenVertex& v : Vertexe(szene.netz)) {
    const float g = v.farbe.r - 0.26666668f;
    EXPECT_NEAR(v.farbe.g - v.farbe.r, 0.6f, 1e-5f);
    kleinstes = std::min(kleinstes, g);
    groesstes = std::max(groesstes, g);
  }
  EXPECT_GE(kleinstes, 0.0f);
  EXPECT_LE(groesstes, 0.1334f);
  EXPECT_GT(groesstes - kleinstes, 0.1f);  // shades really vary
}

TEST_F(SzeneTest, LeereListeGibtDiePufferFreiUndMeldetDieAenderung) {
  Szene szene;
  szene.dreiecke.push_back(kStart);
  szene.BaueNetz();
  const std::size_t mitNetz = Registriert();
  szene.dreiecke.clear();
  szene.veraendert = 0;
  szene.BaueNetz();
  EXPECT_EQ(szene.netz.vertexe, nullptr);
  EXPECT_EQ(szene.netz.indizes, nullptr);
  EXPECT_EQ(Registriert(), mitNetz - 2);
  EXPECT_EQ(szene.veraendert, 1);
}

// Landscape jobs on real workers, handed back through the main thread's queue.
class GenerierungTest : public SzeneTest {
 protected:
  Quelm_ParallelKern kern;

  void Hauptzug() {
    Quelm_ArbeiterInfo& info = kern.hauptInfos.front();
    Quelm_ParallelKern::NeueFaser(1, [&info] { info.stop = true; });
    kern.ArbeiterSchleife(info);
    info.stop = false;
  }
  bool WarteAufUebergabe(Szene& szene) {
    for (int i = 0; i < 5000 && szene.generierung.faser; ++i) {
      Hauptzug();
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
    const LandschaftsPuffer erste = szene.landschaft[0];
    ASSERT_NE(erste.netz.vertexe, nullptr);
    ASSERT_NE(erste.textur, nullptr);
    EXPECT_EQ(erste.textur->breite, 256u);
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
    ASSERT_EQ(szene.landschaft.size(), 1u);
    EXPECT_EQ(szene.landschaft[0].netz.vertexe, nullptr);
    EXPECT_NE(szene.landschaft[0].textur, nullptr);
  }
  EXPECT_EQ(Registriert(), vorher);
}

}  // namespace
