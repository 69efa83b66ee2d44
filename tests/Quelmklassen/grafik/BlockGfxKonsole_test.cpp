// The console overlay as its two atlases draw it: boxes, cursor and the lines that fit.
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_KonsoleStandardAnzeige.h"
#include "RenderTestHilfen.h"

namespace {

using KonsolenZeichnen = AufzeichnungsTest;

TEST_F(KonsolenZeichnen, KaestenCursorUndZeilenBisZumOberenRand) {
  Quelm_KonsoleStandardAnzeige k(VELMAR_DATEN "/calibrib.fnt");
  ASSERT_TRUE(k.font->HatGlyphe('x'));
  k.font->hoehe = 20;  // a size that divides the 400 pixels: the topmost line stands at y = 0
  k.font->atlas->SetzeMaxInstanzen(64);
  k.zeilen.assign(30, "x");
  k.ansicht = 29;
  k.sichtbar = 1;
  k.eingabe = "set";
  k.cursor = 2;
  steuerung->LeereProtokoll();
  k.Zeichne();
  // Lines at y = 380, 360, ..., 0 and the input's ">set": 20 + 4 glyphs in one batch.
  EXPECT_EQ(Aufrufe("SetStreamSourceFreq").back(), "SetStreamSourceFreq(0, 0x40000018) = D3D_OK");

  Quelm_BlockInstanz kaesten[3];
  void* p = nullptr;
  ASSERT_EQ(k.kasten->instanzPuffer->geraetePuffer->Lock(0, sizeof kaesten, &p, D3DLOCK_READONLY), D3D_OK);
  std::memcpy(kaesten, p, sizeof kaesten);
  k.kasten->instanzPuffer->geraetePuffer->Unlock();
  EXPECT_EQ(kaesten[1].zielPos[1], 400.0f);
  EXPECT_EQ(kaesten[1].groesse[1], 26.0f);  // the input box: size + 6
  const float cursorX = k.font->GetTextBreite(">") + k.font->GetTextBreite("se") + 5;
  EXPECT_EQ(std::vector<float>(kaesten[2].zielPos, kaesten[2].zielPos + 2), (std::vector<float>{cursorX, 400}));
  EXPECT_EQ(std::vector<float>(kaesten[2].groesse, kaesten[2].groesse + 2), (std::vector<float>{2, 26}));
}

}  // namespace
