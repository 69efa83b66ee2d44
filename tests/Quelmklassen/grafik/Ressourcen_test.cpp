// Buffers, vertex layouts, sampler/blend/depth states, textures and render targets as the
// render context creates them.
#include "RenderTestHilfen.h"

#include <cstring>

namespace {

using Ressourcen = AufzeichnungsTest;

std::uint8_t* NeueBytes(std::size_t n, std::uint8_t wert) {
  auto* p = new std::uint8_t[n];
  std::memset(p, wert, n);
  return p;
}

// --- Vertex and index buffers ----------------------------------------------------------------

TEST_F(Ressourcen, StatischerPufferNimmtDieGroesseDerDatenOderLehntSieAb) {
  std::uint8_t* daten = NeueBytes(96, 7);
  Quelm_PufferDaten vorgabe{daten, 96, 1};
  Quelm_VertexBuffer* puffer = kontext->ErzeugeVertexBuffer(0, 0, vorgabe);
  EXPECT_EQ(puffer->kopie.get(), daten);  // adopted, not copied
  EXPECT_EQ(vorgabe.daten, nullptr);
  EXPECT_EQ(Aufrufe("CreateVertexBuffer")[0].rfind("CreateVertexBuffer(96, 0x8, 0x0, D3DPOOL_DEFAULT)", 0), 0u);

  // Static data that does not fill the buffer is refused and not taken over.
  std::uint8_t wenig[40] = {};
  Quelm_PufferDaten zuKurz{wenig, 40, 0};
  kontext->GibFrei(kontext->ErzeugeVertexBuffer(96, 0, zuKurz));
  EXPECT_TRUE(FehlerGeloggt("Initialdaten müssen zum Buffer passen"));
  EXPECT_EQ(zuKurz.daten, wenig);

  kontext->ErzeugeVertexBuffer(0, FLAG_DYNAMISCH);
  EXPECT_TRUE(FehlerGeloggt("Ungültige Buffergröße"));
}

TEST_F(Ressourcen, DynamischerPufferWirdTeilweiseNeuBeschrieben) {
  Quelm_VertexBuffer* puffer = kontext->ErzeugeVertexBuffer(0x380000, FLAG_DYNAMISCH);
  ASSERT_NE(puffer->kopie, nullptr);
  EXPECT_EQ(puffer->kopie[0x37FFFF], 0);
  EXPECT_NE(Aufrufe("CreateVertexBuffer")[0].find(", 0x208, "), std::string::npos);  // write-only | dynamic
  EXPECT_EQ(kontext->ErzeugeVertexBuffer(256, FLAG_DYNAMISCH | FLAG_FLUECHTIG)->kopie, nullptr);  // volatile: no copy

  std::memset(puffer->kopie.get(), 0x55, 64);
  Quelm_PufferDaten neu{NeueBytes(28, 0xAB), 28, 1};
  steuerung->LeereProtokoll();
  puffer->SchreibeInhalt(neu);
  EXPECT_EQ(neu.daten, nullptr);
  EXPECT_EQ(puffer->kopie[27], 0xAB);
  EXPECT_EQ(puffer->kopie[28], 0x55);  // the rest keeps its bytes
  EXPECT_EQ(Aufrufe("Lock").size(), 1u);
  EXPECT_NE(Aufrufe("Lock")[0].find("0x2000"), std::string::npos);  // discard

  Quelm_PufferDaten zuGross{nullptr, 0x380001, 0};
  puffer->SchreibeInhalt(zuGross);
  EXPECT_TRUE(FehlerGeloggt("Neuer Inhalt zu groß für Buffer"));
  kontext->GibFrei(puffer);
  Quelm_VertexBuffer* klein = kontext->ErzeugeVertexBuffer(8, FLAG_DYNAMISCH);
  Quelm_PufferDaten genau{NeueBytes(8, 9), 8, 1};  // exactly the buffer's size fits
  klein->SchreibeInhalt(genau);
  EXPECT_EQ(klein->kopie[7], 9);

  std::uint8_t daten[4] = {};
  Quelm_VertexBuffer* statisch = kontext->ErzeugeVertexBuffer(4, 0, Quelm_PufferDaten{daten, 4, 0});
  // Refused, but handed-over memory still belongs to the buffer and is freed.
  Quelm_PufferDaten uebergeben{NeueBytes(4, 1), 4, 1};
  statisch->SchreibeInhalt(uebergeben);
  EXPECT_TRUE(FehlerGeloggt("Nachträgliches Ändern des Inhalts nur bei dynamischer Ressource möglich"));
  EXPECT_EQ(uebergeben.daten, nullptr);
}

TEST_F(Ressourcen, IndexformatAusDemNiedrigenByte) {
  Quelm_IndexBuffer* i32 = kontext->ErzeugeIndexBuffer(2, Quelm_PufferDaten{nullptr, 24, 0});
  Quelm_IndexBuffer* i16 = kontext->ErzeugeIndexBuffer(FLAG_DYNAMISCH | 1, Quelm_PufferDaten{nullptr, 12, 0});
  Quelm_IndexBuffer* ohne = kontext->ErzeugeIndexBuffer(0, Quelm_PufferDaten{nullptr, 12, 0});
  EXPECT_EQ(i32->GeraeteFormat(), D3DFMT_INDEX32);
  EXPECT_EQ(i16->GeraeteFormat(), D3DFMT_INDEX16);
  EXPECT_EQ(i16->flags, FLAG_DYNAMISCH);  // the format byte is not a flag
  EXPECT_EQ(ohne->GeraeteFormat(), D3DFMT_INDEX16);
  EXPECT_TRUE(FehlerGeloggt("Ungültiges Indexformat"));
  EXPECT_EQ(Aufrufe("CreateIndexBuffer")[1].rfind("CreateIndexBuffer(12, 0x208, D3DFMT_INDEX16, D3DPOOL_DEFAULT)", 0), 0u);
}

// --- Vertex layouts --------------------------------------------------------------------------

TEST_F(Ressourcen, LayoutNummeriertTexturkoordinatenUndTrenntDieStroeme) {
  Quelm_VertexEingabe* e = kontext->ErzeugeVertexEingabe();
  e->AddKanal(0, KANAL_FLOAT3, 0, false);
  e->AddKanal(0, KANAL_UBYTE4N, 12, false);
  e->AddKanal(1, KANAL_FLOAT4X4, 0, true);
  e->AddKanal(1, KANAL_FLOAT2, 64, false);  // per-vertex data on an instance stream
  EXPECT_TRUE(FehlerGeloggt("BufferIndex darf nicht gleichzeitig Vertex- und Instanzdaten liefern."));
  EXPECT_EQ(e->stromAnzahl, 2u);
  EXPECT_EQ(e->instanzStroeme, 2u);
  EXPECT_EQ(e->strides[0], 16u);
  EXPECT_EQ(e->strides[1], 72u);
  ASSERT_EQ(e->elementAnzahl, 7u);
  EXPECT_EQ(e->elemente[0].Usage, D3DDECLUSAGE_POSITION);
  EXPECT_EQ(e->elemente[1].Type, D3DDECLTYPE_UBYTE4N);
  for (int r = 0; r < 4; ++r) {  // TEXCOORD1 to TEXCOORD4
    EXPECT_EQ(e->elemente[2 + r].Offset, 16 * r);
    EXPECT_EQ(e->elemente[2 + r].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(e->elemente[2 + r].UsageIndex, r + 1);
  }
  EXPECT_EQ(e->elemente[6].UsageIndex, 5);
  // Every matrix type: its rows, row step and size.
  const struct {
    Quelm_KanalTyp typ;
    std::uint64_t zeilen, abstand, groesse;
  } matrizen[] = {{KANAL_FLOAT3X3, 3, 12, 36}, {KANAL_FLOAT4X3, 3, 16, 48}, {KANAL_FLOAT4X4, 4, 16, 64}};
  for (const auto& m : matrizen) {
    Quelm_VertexEingabe* l = kontext->ErzeugeVertexEingabe();
    l->AddKanal(0, m.typ, 4, false);
    ASSERT_EQ(l->elementAnzahl, m.zeilen) << m.typ;
    EXPECT_EQ(l->elemente[m.zeilen - 1].Offset, 4 + (m.zeilen - 1) * m.abstand) << m.typ;
    EXPECT_EQ(l->strides[0], 4 + m.groesse) << m.typ;
  }

  sammler->zeilen.clear();
  e->AddKanal(4, KANAL_FLOAT1, 0, false);
  EXPECT_TRUE(FehlerGeloggt("Ungültiger BufferIndex"));
  for (int i = 0; i < 3; ++i) e->AddKanal(2, KANAL_FLOAT4X4, 0, false);  // 7 + 4 + 4 elements, then no room
  EXPECT_TRUE(FehlerGeloggt("Zuviele Vertexdaten-Kanäle"));
  EXPECT_EQ(e->elementAnzahl, 15u);
  e->Beenden();
  EXPECT_EQ(e->elemente[15].Stream, 0xFF);  // end marker
  EXPECT_NE(e->deklaration, nullptr);
}

// --- Textures, depth buffers, render targets -------------------------------------------------

TEST_F(Ressourcen, MipKettenWerdenBegrenzt) {
  Quelm_Textur* voll = kontext->ErzeugeTextur(256, 256, 0, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH);
  EXPECT_EQ(voll->mipStufen, 9u);
  Quelm_Textur* zuviel = kontext->ErzeugeTextur(256, 256, 12, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH);
  EXPECT_EQ(zuviel->mipStufen, 9u);
  Quelm_Textur* flach = kontext->ErzeugeTextur(1024, 16, 0, PXFMT_A8 | FLAG_DYNAMISCH);
  EXPECT_EQ(flach->mipStufen, 11u);
  EXPECT_EQ(flach->StufenBreite(5), 32u);
  EXPECT_EQ(flach->StufenHoehe(5), 1u);
  // Full chains are generated by the device.
  EXPECT_NE(Aufrufe("CreateTexture")[0].find("(256, 256, 0, 0x600, D3DFMT_A8R8G8B8"), std::string::npos)
      << Aufrufe("CreateTexture")[0];
  Quelm_TexturVorgabe leer[6];
  auto* w = new Quelm_WuerfelTextur(512, 12, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH, leer);
  kontext->Registriere(w);
  EXPECT_EQ(w->mipStufen, 10u);
}

TEST_F(Ressourcen, RenderzielTiefenpufferUndTexturflags) {
  Quelm_Textur* textur = kontext->ErzeugeTextur(2048, 2048, 1, 2560);
  EXPECT_EQ(textur->kopien[0], nullptr);  // render targets keep no copy
  EXPECT_NE(Aufrufe("CreateTexture")[0].find("(2048, 2048, 1, 0x1, D3DFMT_A8R8G8B8"), std::string::npos);
  Quelm_ZBuffer* schmal = kontext->ErzeugeZBuffer(1024, 2048);
  EXPECT_TRUE(schmal->flags & FLAG_FLUECHTIG);
  EXPECT_NE(Aufrufe("CreateDepthStencilSurface")[0].find("1024, 2048, D3DFMT_D32"), std::string::npos)
      << Aufrufe("CreateDepthStencilSurface")[0];
  Quelm_RenderzielBeschr beschr(textur, schmal);
  EXPECT_TRUE(FehlerGeloggt("ZBuffer zu klein für Renderziel"));
  sammler->zeilen.clear();
  Quelm_RenderzielBeschr niedrig(textur, kontext->ErzeugeZBuffer(2048, 1024));
  EXPECT_TRUE(FehlerGeloggt("ZBuffer zu klein für Renderziel"));

  Quelm_Renderziel* ziel = kontext->ErzeugeRenderziel(beschr);
  EXPECT_TRUE(ziel->IstResident());
  EXPECT_NE(ziel->farbFlaechen[0], nullptr);
  EXPECT_EQ(ziel->tiefenFlaeche, schmal->flaeche.get());
  ziel->GibDatenFrei();
  EXPECT_EQ(ziel->farbFlaechen[0], nullptr);
  EXPECT_EQ(ziel->tiefenFlaeche, nullptr);
  EXPECT_FALSE(ziel->IstResident());
  ziel->Wiederherstellen();
  EXPECT_TRUE(ziel->IstResident());

  Quelm_Textur* nichtFluechtig = kontext->ErzeugeTextur(64, 64, 1, FLAG_RENDERZIEL);
  EXPECT_TRUE(nichtFluechtig->flags & FLAG_FLUECHTIG);

  Quelm_Textur* ohneInhalt = kontext->ErzeugeTextur(64, 64, 1, PXFMT_A8R8G8B8);
  EXPECT_TRUE(ohneInhalt->flags & FLAG_DYNAMISCH);

  kontext->ErzeugeTextur(16384, 16, 1, FLAG_DYNAMISCH);
  EXPECT_TRUE(FehlerGeloggt("Ungültige Texturgröße."));

  // A colour buffer that is no texture.
  Quelm_RenderzielBeschr falsch;
  falsch.farbBufferAnzahl = 1;
  falsch.farbBuffer[0] = kontext->ErzeugeSampler(Quelm_SamplerBeschr{});
  kontext->ErzeugeRenderziel(falsch);
  EXPECT_TRUE(FehlerGeloggt("Renderziel-FarbBuffer ist keine Textur"));
}

TEST_F(Ressourcen, UngueltigeVorgabeWirdGemeldet) {
  std::vector<std::uint8_t> pixel(16 * 16 * 4);
  Quelm_TexturVorgabe vorgabe;
  vorgabe.stufen[0] = TBereich(pixel.data(), PXFMT_R5G6B5, 16, 16, 64);  // wrong format
  Quelm_Textur* t = kontext->ErzeugeTextur(16, 16, 1, PXFMT_A8R8G8B8, vorgabe);
  EXPECT_TRUE(FehlerGeloggt("Ungültige Vorgabedaten"));
  kontext->GibFrei(t);

  // DXT without manual mip maps: taken as manual, so every level is required.
  std::vector<std::uint8_t> block(8 * 2 * 2);
  Quelm_TexturVorgabe dxt;
  dxt.stufen[0] = TBereich(block.data(), PXFMT_DXT1, 8, 8, 4);
  sammler->zeilen.clear();
  Quelm_Textur* d = kontext->ErzeugeTextur(8, 8, 0, PXFMT_DXT1, dxt);
  EXPECT_TRUE(d->flags & FLAG_MANUELLE_MIPMAPS);
  EXPECT_TRUE(Geloggt("!Quelm_Textur::QuelmTextur( 8, 8, ...): Vorgabegrafik für Mip-Stufe 1 ist ungültig"));
}

TEST_F(Ressourcen, FormateUndWuerfelseiten) {
  EXPECT_EQ(Quelm::GetD3DPixelFormat(PXFMT_DXT5), D3DFMT_DXT5);
  EXPECT_EQ(Quelm::GetD3DPixelFormat(PXFMT_A8), D3DFMT_A8);
  EXPECT_EQ(Quelm::GetD3DPixelFormat(15), D3DFMT_A8R8G8B8);
  EXPECT_TRUE(FehlerGeloggt("Invalides Pixelformat"));
  EXPECT_EQ(Quelm::GetD3DSeite(6), D3DCUBEMAP_FACE_POSITIVE_X);
  EXPECT_TRUE(Geloggt("!Quelm_WuerfelTextur::GetD3DSeite( 6): Ungültige CubeMap-Seite."));
}

}  // namespace
