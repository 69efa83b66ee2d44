// Debug lines on the recording device.
#include "LinienListe.h"
#include "RenderTestHilfen.h"

namespace {

using Spiel::LinienListe;

class Linien : public AufzeichnungsTest {};

TEST_F(Linien, GitterUndQuaderUndZeichnenInStapeln) {
  LinienListe linien(65536, 0x380000, nullptr);
  const float f[4] = {1, 1, 1, 1};
  linien.FuegeGitterHinzu({-100, 0, -100}, {0, 0, 200}, {10, 0, 0}, f);
  linien.FuegeGitterHinzu({-100, 0, -100}, {200, 0, 0}, {0, 0, 10}, f);
  linien.FuegeQuaderHinzu({1, 2, 3}, {3, 3, 3}, f);
  ASSERT_EQ(linien.vertexe.size(), 108u);
  EXPECT_EQ(linien.vertexe[41].pos[0], 100.0f);  // last line of grid A ends at x = 100
  EXPECT_EQ(linien.vertexe[41].pos[2], 100.0f);
  // Every box edge is 3 long along exactly one axis.
  for (std::size_t i = 84; i < 108; i += 2) {
    float summe = 0;
    for (int a = 0; a < 3; ++a) summe += std::abs(linien.vertexe[i + 1].pos[a] - linien.vertexe[i].pos[a]);
    EXPECT_EQ(summe, 3.0f);
  }

  linien.vertexe.clear();
  steuerung->LeereProtokoll();
  linien.Zeichne(Spiel::Matrix{}, Spiel::Matrix{});
  EXPECT_EQ(Anzahl("DrawPrimitive") + Anzahl("SetVertexShader"), 0u);

  for (int i = 0; i < 32769; ++i) linien.FuegeLinieHinzu({0, 0, 0}, {1, 1, 1}, f);
  linien.Zeichne(Spiel::Matrix{}, Spiel::Matrix{});
  EXPECT_EQ(Aufrufe("DrawPrimitive"), (std::vector<std::string>{"DrawPrimitive(D3DPT_LINELIST, 0, 32768) = D3D_OK",
                                                                 "DrawPrimitive(D3DPT_LINELIST, 0, 1) = D3D_OK"}));
  EXPECT_TRUE(linien.vertexe.empty());
  EXPECT_EQ(kontext->zaehler.zeichnungen, 2);
}

// The line camera is projection * view: the view's translation goes through the projection.
TEST_F(Linien, MatrixIstProjektionMalSicht) {
  LinienListe linien(65536, 0x380000, nullptr);
  const float f[4] = {1, 1, 1, 1};
  linien.FuegeLinieHinzu({0, 0, 0}, {1, 1, 1}, f);
  Spiel::Matrix projektion;
  projektion(0, 0) = 2;
  projektion(1, 1) = 3;
  projektion(2, 2) = 4;
  projektion(2, 3) = 5;
  projektion(3, 2) = 1;
  projektion(3, 3) = 0;
  steuerung->LeereProtokoll();
  linien.Zeichne(Spiel::Matrix::Verschiebung(1, 2, 3), projektion);
  // Uploaded transposed, one column per register.
  EXPECT_EQ(Aufrufe("SetVertexShaderConstantF"),
            std::vector<std::string>{"SetVertexShaderConstantF(0, 4, {2 0 0 0}, {0 3 0 0}, {0 0 4 1}, {2 6 17 3}) = D3D_OK"});
}

// An odd batch size is rounded down to whole lines; the lines test and write depth
// (less-equal, the device's default) and draw without the blending set before them.
TEST_F(Linien, UngeraderStapelUndZustaende) {
  LinienListe linien(3, 0x380000, nullptr);
  const float f[4] = {1, 1, 1, 1};
  for (int i = 0; i < 3; ++i) linien.FuegeLinieHinzu({0, 0, 0}, {1, 1, 1}, f);
  Quelm_AlphaZustand* mischen = kontext->ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr(2, 4));
  kontext->SetAlphaZustand(mischen);
  steuerung->LeereProtokoll();
  linien.Zeichne(Spiel::Matrix{}, Spiel::Matrix{});
  EXPECT_EQ(Aufrufe("DrawPrimitive"), std::vector<std::string>(3, "DrawPrimitive(D3DPT_LINELIST, 0, 1) = D3D_OK"));
  EXPECT_EQ(Aufrufe("SetRenderState"), (std::vector<std::string>{"SetRenderState(D3DRS_ZENABLE, 1) = D3D_OK",
                                                                  "SetRenderState(D3DRS_ZWRITEENABLE, 1) = D3D_OK",
                                                                  "SetRenderState(D3DRS_ALPHABLENDENABLE, 0) = D3D_OK"}));
  kontext->GibFrei(mischen);
}

}  // namespace
