// The resource base: states, serial numbers, create-evict-retry when video memory runs
// out, and the eviction pass by age under a stepped engine clock.
#include "Quelm_VideoRAM.h"
#include "RenderTestHilfen.h"

#include <cstring>

namespace {

using Basis = AufzeichnungsTest;

const char* const kWarnung = "?VideoRAM knapp. Versuche, Platz zu schaffen.";
const char* const kJung =
    "?Quelm_Screen3D::SchaffeVideoRAMPlatz(): Rausgeworfene Resourcen sind sehr jung! Hinweis auf VideoRAM-Mangel.";

void Schritt(double sekunden) { gZeitgeber.FeuereFaellige(Sekunden(sekunden)); }

std::vector<std::uint8_t> Inhalt(Quelm_VertexBuffer* puffer) {
  void* p = nullptr;
  EXPECT_EQ(puffer->geraetePuffer->Lock(0, static_cast<UINT>(puffer->groesse), &p, 0), D3D_OK);
  std::vector<std::uint8_t> bytes(static_cast<const std::uint8_t*>(p),
                                  static_cast<const std::uint8_t*>(p) + puffer->groesse);
  puffer->geraetePuffer->Unlock();
  return bytes;
}

// --- The pass ------------------------------------------------------------------------------

TEST_F(Basis, NurDieAeltestenNeunZehntelWerdenAusgelagert) {
  // Last uses 10 s, 5 s and 0.5 s before the pass.
  std::vector<std::uint8_t> bytes(96);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 3);
  Quelm_VertexBuffer* alt = kontext->ErzeugeVertexBuffer(0, 0, Quelm_PufferDaten{bytes.data(), 96, 0});
  kontext->SetVertexBuffer(0, alt, 24);
  Quelm_IndexBuffer* altIndex = kontext->ErzeugeIndexBuffer(1, Quelm_PufferDaten{nullptr, 12, 0});
  kontext->SetIndexBuffer(altIndex);
  Schritt(5);
  Quelm_VertexBuffer* mittel = kontext->ErzeugeVertexBuffer(96, FLAG_DYNAMISCH);
  Schritt(4.5);
  Quelm_ZBuffer* jung = kontext->ErzeugeZBuffer(16, 16);
  Schritt(0.5);
  sammler->zeilen.clear();

  Quelm_Screen3D::SchaffeVideoRAMPlatz();
  EXPECT_FALSE(alt->IstResident());
  EXPECT_FALSE(altIndex->IstResident());
  EXPECT_TRUE(mittel->IstResident());
  EXPECT_TRUE(jung->IstResident());
  EXPECT_EQ(Texte(), std::vector<std::string>{"VideoRAM voll, Platz geschaffen: 2 Resourcen rausgeworfen, "
                                              "Grenzalter 9.000000"});

  // It comes back by itself with its contents from main memory, and is bound again once.
  steuerung->LeereProtokoll();
  kontext->SetVertexBuffer(0, alt, 24);
  kontext->SetVertexBuffer(0, alt, 24);
  kontext->SetIndexBuffer(altIndex);
  kontext->SetIndexBuffer(altIndex);
  ASSERT_TRUE(alt->IstResident());
  EXPECT_EQ(Anzahl("CreateVertexBuffer") + Anzahl("CreateIndexBuffer"), 2u);
  EXPECT_EQ(Anzahl("SetStreamSource") + Anzahl("SetIndices"), 2u);
  EXPECT_EQ(Inhalt(alt), bytes);

  // Used now: the next pass keeps it and takes the 5-second one.
  sammler->zeilen.clear();
  Quelm_Screen3D::SchaffeVideoRAMPlatz();
  EXPECT_TRUE(alt->IstResident());
  EXPECT_FALSE(mittel->IstResident());
  EXPECT_TRUE(jung->IstResident());
}

TEST_F(Basis, ImSelbenTickBenutztWirdNichtAusgelagert) {
  Quelm_VertexBuffer* a = kontext->ErzeugeVertexBuffer(64, FLAG_DYNAMISCH);
  Schritt(0.25);
  Quelm_VertexBuffer* b = kontext->ErzeugeVertexBuffer(64, FLAG_DYNAMISCH);
  EXPECT_EQ(Quelm_SchaffeVideoRAMPlatz(*kontext), 1u);
  EXPECT_FALSE(a->IstResident());
  EXPECT_TRUE(b->IstResident());
  EXPECT_TRUE(Geloggt(kJung));  // a quarter second is very young
  EXPECT_EQ(Quelm_SchaffeVideoRAMPlatz(*kontext), 0u);
  EXPECT_TRUE(b->IstResident());

  // Nothing resident and old enough: still a warning, nothing thrown out.
  kontext->GibFrei(b);
  Schritt(3);
  sammler->zeilen.clear();
  EXPECT_EQ(Quelm_SchaffeVideoRAMPlatz(*kontext), 0u);
  const std::vector<std::string> erwartet = {
      kJung, "VideoRAM voll, Platz geschaffen: 0 Resourcen rausgeworfen, Grenzalter 0.000000"};
  EXPECT_EQ(Texte(), erwartet);
}

// --- Create, evict, retry ------------------------------------------------------------------

TEST_F(Basis, VolleGrafikkarteSchafftPlatzUndVersuchtEsErneut) {
  steuerung->SetzeVideospeicherBudget(1000);
  Quelm_VertexBuffer* erster = kontext->ErzeugeVertexBuffer(600, FLAG_DYNAMISCH);
  Schritt(10);
  sammler->zeilen.clear();
  steuerung->LeereProtokoll();
  Quelm_VertexBuffer* zweiter = kontext->ErzeugeVertexBuffer(600, FLAG_DYNAMISCH);
  EXPECT_TRUE(zweiter->IstResident());
  EXPECT_FALSE(erster->IstResident());
  const auto versuche = Aufrufe("CreateVertexBuffer");
  ASSERT_EQ(versuche.size(), 2u);
  EXPECT_NE(versuche[0].find("D3DERR_OUTOFVIDEOMEMORY"), std::string::npos);
  // Buffers give no warning of their own.
  EXPECT_FALSE(Geloggt(kWarnung));
  EXPECT_TRUE(Geloggt("VideoRAM voll, Platz geschaffen: 1 Resourcen rausgeworfen, Grenzalter 9.000000"));

  // And back: the first one is used again and pushes the second one out.
  Schritt(10);
  kontext->SetVertexBuffer(0, erster, 24);
  EXPECT_TRUE(erster->IstResident());
  EXPECT_FALSE(zweiter->IstResident());
}

TEST_F(Basis, TexturenUndTiefenpufferWarnenVorDemAuslagern) {
  Quelm_Textur* alt = kontext->ErzeugeTextur(64, 64, 1, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH);
  Schritt(10);
  sammler->zeilen.clear();
  steuerung->ScheitereBeiErzeugung(1);
  Quelm_ZBuffer* tiefe = kontext->ErzeugeZBuffer(64, 64);
  EXPECT_TRUE(tiefe->IstResident());
  EXPECT_FALSE(alt->IstResident());
  ASSERT_GE(Texte().size(), 2u);
  EXPECT_EQ(Texte()[0], kWarnung);

  Schritt(10);
  sammler->zeilen.clear();
  steuerung->ScheitereBeiErzeugung(1);
  kontext->SetTextur(0xFF00, nullptr, alt);
  EXPECT_TRUE(alt->IstResident());
  EXPECT_FALSE(tiefe->IstResident());
  EXPECT_EQ(Texte()[0], kWarnung);
}

TEST_F(Basis, OhneAuslagerbaresEndetDerVersuchMitDerFehlermeldung) {
  steuerung->SetzeVideospeicherBudget(100);
  Quelm_VertexBuffer* gross = kontext->ErzeugeVertexBuffer(600, FLAG_DYNAMISCH);
  EXPECT_FALSE(gross->IstResident());
  EXPECT_TRUE(FehlerGeloggt("VertexBuffer creation failed"));
  EXPECT_EQ(Anzahl("CreateVertexBuffer"), 1u);  // a pass that finds nothing ends the tries

  // Once there is room it is created at its next use.
  steuerung->SetzeVideospeicherBudget(std::nullopt);
  kontext->SetVertexBuffer(0, gross, 24);
  EXPECT_TRUE(gross->IstResident());
  kontext->GibFrei(gross);

  // Index buffers report with their own names.
  steuerung->SetzeVideospeicherBudget(100);
  Quelm_IndexBuffer* indizes = kontext->ErzeugeIndexBuffer(1, Quelm_PufferDaten{nullptr, 600, 0});
  EXPECT_FALSE(indizes->IstResident());
  EXPECT_TRUE(FehlerGeloggt("IndexBuffer creation failed"));
}

}  // namespace
