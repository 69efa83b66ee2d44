// The scene renderer on the recording device: the objects of its first frame and of a size
// change, the light's depth range, and starts that fail on a shader file.
#include "FilterVerwaltung.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "RenderTestHilfen.h"
#include "Szene.h"
#include "SzenenRenderer.h"

namespace {

namespace fs = std::filesystem;
using Spiel::Vektor3;

class SzenenRenderer : public AufzeichnungsTest {
 protected:
  void VorDemKontext() override {
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(false);
    fs::create_directories(ordner.pfad() / "Daten");
    for (const char* datei : {"start.vs", "start.ps", "schatten.vs", "schatten.ps", "filter.pause.xml"})
      fs::copy_file(fs::path(VELMAR_QUELLE) / "Daten" / datei, ordner.pfad() / "Daten" / datei);
    gSystem.programmVerzeichnis = ordner.pfad();
  }
  void TearDown() override {
    AufzeichnungsTest::TearDown();
    Quelm_KonsolenVariable::Finde("debugShader")->SetzeBool(true);
  }
  std::size_t Objekte() {
    std::size_t n = 0;
    kontext->FuerJedesObjekt([&](Quelm_BasisObjekt*) { ++n; });
    return n;
  }
  std::vector<std::string> Tiefenpuffer() const {
    std::vector<std::string> g;
    for (const auto& a : Aufrufe("CreateDepthStencilSurface")) g.push_back(a.substr(26, a.find(", D3DFMT") - 26));
    return g;
  }
};

TEST_F(SzenenRenderer, ErstesBildUndGroessenwechselErzeugenZieleEinmal) {
  Spiel::Szene szene;
  szene.dreiecke.push_back({{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}});
  szene.BaueNetz();
  Spiel::SzenenRenderer renderer;
  Spiel::FilterSatz satz;
  satz.AddFilter(renderer.filterVerwaltung.FindeEffekt("pause"), 0);
  Spiel::FilterVerwaltung::BerechneFilterkette(satz);
  struct Fall {
    std::uint64_t breite, hoehe;
    std::uint32_t flags;
    std::vector<std::string> tiefe;
    std::size_t zeichnungen;  // both passes and the chain
  };
  const std::vector<Fall> faelle = {{1280, 720, 3, {"2048, 2048"}, 3},
                                    {1280, 720, 0, {}, 1},
                                    {2560, 1440, 1, {"2560, 2048"}, 3},
                                    {2560, 1440, 2, {}, 1}};
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.breite);
    Quelm_Screen3D::modus = {f.breite, f.hoehe, 0, 0};
    steuerung->LeereProtokoll();
    sammler->zeilen.clear();
    renderer.Zeichne(szene, {0, 0, 0}, 200, 2.0f, satz, f.flags);
    EXPECT_EQ(Tiefenpuffer(), f.tiefe);
    EXPECT_EQ(Anzahl("DrawIndexedPrimitive"), f.zeichnungen);
    EXPECT_EQ(renderer.szenenBild->breite, f.breite);
    EXPECT_TRUE(Texte().empty()) << ::testing::PrintToString(Texte());
  }
  Quelm_Screen3D::modus = {1280, 720, 0, 0};
}

TEST_F(SzenenRenderer, LichtRaumBildetDieTiefeUmDasZielAufNullBisEins) {
  for (float abstand : {100.0f, 350.0f}) {
    Vektor3 richtung;
    const Spiel::Matrix l = Spiel::SzenenRenderer::LichtMatrix({5, 0, -7}, abstand, richtung);
    auto tiefe = [&](const Vektor3& p) { return l(2, 0) * p.x + l(2, 1) * p.y + l(2, 2) * p.z + l(2, 3); };
    EXPECT_NEAR(tiefe({5, 0, -7}), 0.5f, 1e-5f);
    EXPECT_NEAR(tiefe(Vektor3{5, 0, -7} + richtung * abstand), 1.0f, 1e-4f);
    EXPECT_NEAR(tiefe(Vektor3{5, 0, -7} - richtung * abstand), 0.0f, 1e-4f);
    EXPECT_LT(richtung.y, -0.9f);  // from above
    EXPECT_NEAR(l(1, 1) / 0.26749888f, 0.002f, 1e-6f);
  }
}

TEST_F(SzenenRenderer, ShaderdateiFehltOderUebersetztNichtBeendetDenStartMitNamen) {
  const std::size_t vorher = Objekte();
  const fs::path datei = ordner.pfad() / "Daten" / "schatten.ps";
  fs::remove(datei);
  for (const std::string& fehler :
       {"PixelShader-Datei \"" + datei.string() + "\" ist nicht lesbar",
        "PixelShader-Datei \"" + datei.string() + "\" ist nicht übersetzbar"}) {
    try {
      Spiel::SzenenRenderer renderer;
      ADD_FAILURE() << fehler;
    } catch (const Quelm_Ausnahme& a) {
      EXPECT_EQ(a.text, fehler);
    }
    EXPECT_EQ(Objekte(), vorher);
    SchreibeDatei(datei, "$raus float4 erg;\n$main() { erg = unbekannt; }\n");
  }
  EXPECT_TRUE(Geloggt("!Kann PixelShader-Datei \"" + datei.string() + "\" nicht lesen."));
}

}  // namespace
