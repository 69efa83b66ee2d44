// The scene renderer on the recording device: the objects of its first frame and of a size
// change, the light's depth range, and starts that fail on a shader file.
#include "FilterVerwaltung.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Konsole.h"
#include "Quelm_System.h"
#include "RenderTestHilfen.h"
#include "Szene.h"
#include "SzenenRenderer.h"
#include "SzenenHilfen.h"

namespace {

namespace fs = std::filesystem;
using Spiel::Vektor3;

class SzenenRenderer : public AufzeichnungsTest {
 protected:
  void VorDemKontext() override { BereiteDatenVor(ordner.pfad(), VELMAR_QUELLE); }
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
                                    {2560, 1440, 2, {}, 1},
                                    {2560, 1000, 0, {"2560, 2048"}, 1}};  // the height alone changed
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

// What the two passes hand their programs, as the device receives it (matrices transposed,
// one column per register): the light's matrix is the shadow pass's view and the lit pass's
// light transform; the camera's projection looks along +z with y flipped; the colour is read
// anisotropic, the shadow image clamped, linear, without mip filtering; the chain gets the
// whole screen.
TEST_F(SzenenRenderer, KonstantenUndSamplerDerDurchgaenge) {
  Spiel::Szene szene;
  szene.dreiecke.push_back({{{-10, 0, 10}, {0, 0, -10}, {10, 0, 10}}});
  szene.BaueNetz();
  Spiel::SzenenRenderer renderer;
  Spiel::FilterSatz satz;
  steuerung->LeereProtokoll();
  renderer.Zeichne(szene, {1, 2, 3}, 200, 2.0f, satz, 1);
  const std::vector<std::string> vs = Aufrufe("SetVertexShaderConstantF");
  ASSERT_GE(vs.size(), 2u);  // then the filter chain
  const std::string licht =
      "{0.00382135 0 0.000738801 0}, {0.001139 0.000534998 -0.00230131 0}, {-0.000316205 0.00192712 0.000638879 0}, "
      "{-0.00515074 -0.00685134 0.501947 1}";
  const std::string einheit = "{1 0 0 0}, {0 1 0 0}, {0 0 1 0}, {0 0 0 1}";
  // Shadow pass: world, view = light, projection = identity.
  EXPECT_NE(vs[0].find(licht + ", " + einheit), std::string::npos) << vs[0];
  // Lit pass: the camera 200 away, tilted by 2 rad, around (1, 2, 3); 1280 / 720 widens y.
  for (const std::string& teil :
       {std::string("{1 0 0 0}, {0 -0.416147 -0.909297 0}, {0 0.909297 -0.416147 0}, {-1 -1.8956 203.067 1}, "
                    "{1.4617 0 0 0}, {0 -2.59857 0 0}, {0 0 1.0001 1}, {0 0 -0.10001 0}"),
        licht})
    EXPECT_NE(vs[1].find(teil), std::string::npos) << teil << "\n" << vs[1];
  EXPECT_EQ(Aufrufe("SetPixelShaderConstantF")[0],
            "SetPixelShaderConstantF(0, 3, {0.29552 -0.920522 0.255551 0}, {1.5 1.3 0.6 1}, {0.3 0.4 0.6 1}) = D3D_OK");
  auto beginnend = [&](const std::string& anfang) {
    std::vector<std::string> z;
    for (const std::string& a : steuerung->Zeilen())
      if (a.starts_with(anfang)) z.push_back(a);
    return z;
  };
  EXPECT_EQ(beginnend("SetSamplerState(1,"), (std::vector<std::string>{"SetSamplerState(1, D3DSAMP_ADDRESSU, 3) = D3D_OK",
                                                                        "SetSamplerState(1, D3DSAMP_ADDRESSV, 3) = D3D_OK",
                                                                        "SetSamplerState(1, D3DSAMP_MINFILTER, 2) = D3D_OK",
                                                                        "SetSamplerState(1, D3DSAMP_MAGFILTER, 2) = D3D_OK",
                                                                        "SetSamplerState(1, D3DSAMP_MIPFILTER, 1) = D3D_OK",
                                                                        "SetSamplerState(1, D3DSAMP_MAXMIPLEVEL, 0) = D3D_OK"}));
  EXPECT_EQ(beginnend("Clear("), (std::vector<std::string>{"Clear(0, null, 0x3, 0x0, 1, 0) = D3D_OK",
                                                             "Clear(0, null, 0x3, 0x1A4D80, 1, 0) = D3D_OK"}));
  EXPECT_EQ(vs.back(), "SetVertexShaderConstantF(0, 1, {-0.000390625 0.000694444 0 0}) = D3D_OK");
  EXPECT_EQ(beginnend("SetSamplerState(0, D3DSAMP_M"), (std::vector<std::string>{
                                                            "SetSamplerState(0, D3DSAMP_MINFILTER, 3) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MAGFILTER, 2) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MIPFILTER, 2) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MAXANISOTROPY, 16) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MINFILTER, 1) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MAGFILTER, 1) = D3D_OK",
                                                            "SetSamplerState(0, D3DSAMP_MIPFILTER, 1) = D3D_OK"}));
  // The lit pass drops faces wound counter-clockwise (3); the chain culls nothing (1).
  EXPECT_EQ(beginnend("SetRenderState(D3DRS_CULLMODE"),
            (std::vector<std::string>{"SetRenderState(D3DRS_CULLMODE, 3) = D3D_OK",
                                      "SetRenderState(D3DRS_CULLMODE, 1) = D3D_OK"}));
  // Sampler 1 reads what the shadow pass drew into.
  const std::string schattenZiel = beginnend("SetRenderTarget(0,")[0];
  EXPECT_EQ(beginnend("SetTexture(1,"),
            std::vector<std::string>{"SetTexture(1, " + schattenZiel.substr(19, schattenZiel.find("[0]") - 19) +
                                     ") = D3D_OK"});
}

// Each chunk is drawn with its own texture; one without an index buffer is skipped.
TEST_F(SzenenRenderer, LandschaftsTeileMitIhrerTextur) {
  Spiel::SzenenRenderer renderer;
  Spiel::FilterSatz satz;
  Spiel::Szene szene;
  std::vector<Spiel::SzenenVertex> vertexe(3);
  const std::vector<std::uint32_t> indizes = {0, 1, 2};
  for (int i = 0; i < 2; ++i) {
    Spiel::LandschaftsPuffer& teil = szene.landschaft.emplace_back();
    Spiel::LadeNetzPuffer(teil.netz, vertexe, indizes);
    teil.textur = kontext->ErzeugeTextur(4, 4, 1, PXFMT_A8R8G8B8);
  }
  kontext->GibFrei(szene.landschaft[0].netz.indizes);
  szene.landschaft[0].netz.indizes = nullptr;
  const std::string zweite = Aufrufe("CreateTexture").back();
  steuerung->LeereProtokoll();
  renderer.Zeichne(szene, {0, 0, 0}, 200, 2.0f, satz, 2);
  EXPECT_EQ(Anzahl("DrawIndexedPrimitive"), 3u);  // shadow, lit, the chain's copy
  std::vector<std::string> farbe;
  for (const std::string& a : steuerung->Zeilen())
    if (a.starts_with("SetTexture(0,")) farbe.push_back(a);
  ASSERT_GE(farbe.size(), 2u);  // white, then the chunk's, then the chain's input
  EXPECT_EQ(farbe[1], "SetTexture(0, " + zweite.substr(zweite.find("-> ") + 3) + ") = D3D_OK");
}

}  // namespace
