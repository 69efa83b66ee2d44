// The render context's registry, binding shadow, counters, leak report and statistics,
// on the recording device.
#include "Quelm_Konsole.h"
#include "Quelm_VideoRAM.h"
#include "RenderTestHilfen.h"

#include <thread>

namespace {

using Kontext = AufzeichnungsTest;

Quelm_SamplerBeschr Linear() {
  Quelm_SamplerBeschr b;
  b.filter = 21;
  return b;
}

// --- Registry ------------------------------------------------------------------------------

TEST_F(Kontext, AllocIdsWachsenUeber64UndFreieIdsKommenZuerst) {
  // The default blend and depth states hold ids 0 and 1.
  std::vector<Quelm_Sampler*> sampler;
  for (int i = 2; i < 64; ++i) sampler.push_back(kontext->ErzeugeSampler(Linear()));
  Quelm_Sampler* nr64 = kontext->ErzeugeSampler(Linear());
  EXPECT_EQ(nr64->AllocID, 64u);
  // The growth kept every slot.
  for (Quelm_Sampler* s : sampler) EXPECT_EQ(kontext->objekte[s->AllocID], s);

  kontext->GibFrei(sampler[38]);  // id 40
  kontext->GibFrei(sampler[3]);   // id 5
  kontext->GibFrei(nullptr);
  Quelm_Sampler* a = kontext->ErzeugeSampler(Linear());
  Quelm_Sampler* b = kontext->ErzeugeSampler(Linear());
  Quelm_Sampler* c = kontext->ErzeugeSampler(Linear());
  EXPECT_EQ(a->AllocID, 5u);
  EXPECT_EQ(b->AllocID, 40u);
  EXPECT_EQ(c->AllocID, 65u);

  std::vector<std::uint64_t> besucht;
  kontext->FuerJedesObjekt([&](Quelm_BasisObjekt* o) { besucht.push_back(o->AllocID); });
  ASSERT_EQ(besucht.size(), 66u);
  EXPECT_TRUE(std::is_sorted(besucht.begin(), besucht.end()));
}

TEST_F(Kontext, NichtFreigegebeneResourcenWerdenAmEndeInIdReihenfolgeGemeldet) {
  Quelm_Sampler* s1 = kontext->ErzeugeSampler(Linear());
  kontext->ErzeugeVertexBuffer(64, FLAG_DYNAMISCH);
  kontext->ErzeugeZBuffer(32, 32);
  kontext->GibFrei(s1);  // id 2 is free again and taken by the next one
  kontext->ErzeugeTiefeZustand(Quelm_TiefeZustandBeschr{});
  sammler->zeilen.clear();
  SchliesseKontext();
  const std::vector<std::string> erwartet = {
      "Quelm_TiefeZustand mit AllocID 2 nicht freigegeben.",
      "Quelm_VertexBuffer mit AllocID 3 nicht freigegeben.",
      "Quelm_ZBuffer mit AllocID 4 nicht freigegeben.",
  };
  EXPECT_EQ(Texte(), erwartet);
  // The device and the Direct3D object are gone with everything they made.
  EXPECT_EQ(steuerung->LebendeObjekte(), 0u);
}

#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__)
// Debug and sanitizer builds stop a call from another thread.
TEST_F(Kontext, AufrufVonEinemAnderenThreadHaeltAn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(std::thread([this] { kontext->SetRueckseite(1); }).join(), "render context used off its thread");
}
#endif

// --- Statistics ------------------------------------------------------------------------------

TEST_F(Kontext, VideoramZeigtDieStatistikWortgenau) {
  BaueProgramm();
  Quelm_VertexBuffer* statisch = kontext->ErzeugeVertexBuffer(1024, 0, Quelm_PufferDaten{nullptr, 1024, 0});
  Quelm_VertexBuffer* dynamisch = kontext->ErzeugeVertexBuffer(2048, FLAG_DYNAMISCH);
  kontext->ErzeugeIndexBuffer(1, Quelm_PufferDaten{nullptr, 12, 0});
  kontext->ErzeugeTextur(256, 256, 0, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH);
  Quelm_Textur* ziel = kontext->ErzeugeTextur(128, 128, 1, 2560);
  Quelm_TexturVorgabe leer[6];
  kontext->Registriere(new Quelm_WuerfelTextur(64, 1, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH, leer));
  Quelm_ZBuffer* tiefe = kontext->ErzeugeZBuffer(128, 128);
  kontext->ErzeugeRenderziel(Quelm_RenderzielBeschr(ziel, tiefe));
  kontext->ErzeugeSampler(Linear());
  dynamisch->Auslagern();
  ASSERT_TRUE(statisch->IstResident());
  sammler->zeilen.clear();

  Quelm_KonsolenBefehl::Finde("videoram")->ausfuehren("");

  // 256x256 with 9 levels: 4 x 87381 bytes; the 128x128 target: 65536; the cube: 6 x 16384.
  const std::vector<std::string> erwartet = {
      "Insgesamt 15 Resourcen mit einer Gesamtgröße von schätzungsweise 504 kb.",
      "1 Shader-Programme von",
      "1 VertexEingaben, 1 VertexShader, 1 PixelShader",
      "1 Renderziele, 1 Sampler-Konfigs, 1 Alpha-Konfigs, 1 Alpha-Zustände",
      "",
      "2 VertexBuffer (3 kb)",
      "  davon 1 im VideoRAM (1 kb)",
      "  davon 1 dynamisch (2 kb)",
      "  davon 1 offline (2 kb)",
      "",
      "1 IndexBuffer (0 kb)",
      "  davon 1 im VideoRAM (0 kb)",
      "  davon 0 dynamisch (0 kb)",
      "  davon 0 offline (0 kb)",
      "",
      "2 Texturen (405 kb)",
      "  davon 2 im VideoRAM (405 kb)",
      "  davon 1 dynamisch (341 kb)",
      "  davon 1 Renderziele (64 kb)",
      "  davon 0 offline (0 kb)",
  };
  // The cube maps' block follows, printed as the textures' one.
  const std::vector<std::string> texte = Texte();
  ASSERT_EQ(texte.size(), erwartet.size() + 6);
  EXPECT_EQ(std::vector(texte.begin(), texte.begin() + erwartet.size()), erwartet);
}

// --- Binding shadow and counters -------------------------------------------------------------

TEST_F(Kontext, RenderBereichWirdAufDasZielBeschnitten) {
  kontext->SetRenderZiel(nullptr);
  kontext->SetRenderBereich(0, 0, ~0ull, ~0ull);
  EXPECT_EQ(Anzahl("SetViewport"), 0u);  // already the whole 1280 x 720 back buffer
  kontext->SetRenderBereich(100, 50, 200, 100);
  kontext->SetRenderBereich(100, 50, 200, 100);
  kontext->SetRenderBereich(100, 50, 200, 60);  // only the height differs
  kontext->SetRenderBereich(0, 0, ~0ull, ~0ull);
  const std::vector<std::string> erwartet = {"SetViewport({100, 50, 200, 100, 0, 1}) = D3D_OK",
                                             "SetViewport({100, 50, 200, 60, 0, 1}) = D3D_OK",
                                             "SetViewport({0, 0, 1280, 720, 0, 1}) = D3D_OK"};
  EXPECT_EQ(Aufrufe("SetViewport"), erwartet);

  Quelm_Textur* textur = kontext->ErzeugeTextur(256, 128, 1, 2560);
  Quelm_Renderziel* ziel = kontext->ErzeugeRenderziel(Quelm_RenderzielBeschr(textur, nullptr));
  kontext->SetRenderZiel(ziel);
  steuerung->LeereProtokoll();
  // -1 reaches the edge from any start; a start outside leaves nothing.
  kontext->SetRenderBereich(10, 20, ~0ull, ~0ull);
  kontext->SetRenderBereich(300, 0, 5, 5);
  const std::vector<std::string> beschnitten = {"SetViewport({10, 20, 246, 108, 0, 1}) = D3D_OK",
                                                "SetViewport({256, 0, 0, 5, 0, 1}) = D3D_OK"};
  EXPECT_EQ(Aufrufe("SetViewport"), beschnitten);

  // The same target again only resets the viewport.
  steuerung->LeereProtokoll();
  kontext->SetzeZaehlerZurueck();
  kontext->SetRenderZiel(ziel);
  EXPECT_EQ(Anzahl("SetRenderTarget"), 0u);
  EXPECT_EQ(kontext->zaehler.renderziele, 0);
  EXPECT_EQ(Aufrufe("SetViewport"), std::vector<std::string>{"SetViewport({0, 0, 256, 128, 0, 1}) = D3D_OK"});
}

TEST_F(Kontext, ZielMitDemRueckpufferBekommtSeinenGanzenBereich) {
  // A target without colour buffer draws into the back buffer; the device does not reset
  // the viewport when only the depth surface changes.
  Quelm_ZBuffer* tiefe = kontext->ErzeugeZBuffer(1280, 720);
  Quelm_RenderzielBeschr beschr(nullptr, tiefe);
  Quelm_Renderziel* ziel = kontext->ErzeugeRenderziel(beschr);
  kontext->SetRenderZiel(nullptr);
  kontext->SetRenderBereich(0, 0, 640, 360);
  steuerung->LeereProtokoll();
  kontext->SetRenderZiel(ziel);
  EXPECT_EQ(Anzahl("SetRenderTarget"), 0u);
  EXPECT_EQ(Anzahl("SetDepthStencilSurface"), 1u);
  EXPECT_EQ(Aufrufe("SetViewport"), std::vector<std::string>{"SetViewport({0, 0, 1280, 720, 0, 1}) = D3D_OK"});
}

TEST_F(Kontext, VertexBufferMitUngueltigemKanalUndSchrittweiteDesProgramms) {
  programm = BaueProgramm(true);
  kontext->SetProgramm(programm);
  Quelm_VertexBuffer* puffer = kontext->ErzeugeVertexBuffer(96, FLAG_DYNAMISCH);
  kontext->SetzeZaehlerZurueck();
  kontext->SetVertexBuffer(4, puffer);
  EXPECT_TRUE(FehlerGeloggt("Ungültiger Vertexkanal"));
  EXPECT_EQ(kontext->zaehler.vertexBuffer, 0);

  kontext->SetVertexBuffer(0, puffer);  // stride from the layout: Float4 + Float2
  kontext->SetVertexBuffer(0, puffer, 24);
  kontext->SetVertexBuffer(1, puffer);  // the instance stream: Float4x4
  EXPECT_EQ(kontext->zaehler.vertexBuffer, 2);
  ASSERT_EQ(Anzahl("SetStreamSource"), 2u);
  EXPECT_NE(Aufrufe("SetStreamSource")[0].find(", 0, 24)"), std::string::npos);
  EXPECT_NE(Aufrufe("SetStreamSource")[1].find(", 0, 64)"), std::string::npos);
}

// --- Released and evicted resources leave the shadow -----------------------------------------

TEST_F(Kontext, FreigegebeneObjekteVerlassenDenSchatten) {
  Quelm_VertexBuffer* alt = kontext->ErzeugeVertexBuffer(96, FLAG_DYNAMISCH);
  Quelm_IndexBuffer* index = kontext->ErzeugeIndexBuffer(1, Quelm_PufferDaten{nullptr, 12, 0});
  Quelm_AlphaZustand* blend = kontext->ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr(2, 4));
  kontext->SetVertexBuffer(0, alt, 24);
  kontext->SetIndexBuffer(index);
  kontext->SetAlphaZustand(blend);
  Quelm_Programm* altProgramm = BaueProgramm();
  kontext->SetProgramm(altProgramm);
  for (Quelm_BasisObjekt* o : std::initializer_list<Quelm_BasisObjekt*>{alt, index, blend, altProgramm})
    kontext->GibFrei(o);
  EXPECT_EQ(kontext->stroeme[0].puffer, nullptr);
  EXPECT_EQ(kontext->indexBuffer, nullptr);
  EXPECT_EQ(kontext->programm, nullptr);

  // New objects, wherever they land, are bound.
  Quelm_VertexBuffer* neu = kontext->ErzeugeVertexBuffer(96, FLAG_DYNAMISCH);
  Quelm_AlphaZustand* neuBlend = kontext->ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr(2, 4));
  steuerung->LeereProtokoll();
  kontext->SetzeZaehlerZurueck();
  kontext->SetVertexBuffer(0, neu, 24);
  kontext->SetAlphaZustand(neuBlend);
  EXPECT_EQ(Anzahl("SetStreamSource"), 1u);
  EXPECT_EQ(kontext->zaehler.alphaZustaende, 1);
}

TEST_F(Kontext, AusgelagertesRenderzielWirdBeimNaechstenSetzenNeuGebunden) {
  Quelm_Textur* textur = kontext->ErzeugeTextur(64, 64, 1, 2560);
  Quelm_Renderziel* ziel = kontext->ErzeugeRenderziel(Quelm_RenderzielBeschr(textur, nullptr));
  gZeitgeber.zeit = Sekunden(5);
  // Setting the target does not stamp it, using the texture does: only the target goes.
  kontext->SetRenderZiel(ziel);
  kontext->SetTextur(0xFF00, nullptr, textur);
  Quelm_SchaffeVideoRAMPlatz(*kontext);
  ASSERT_FALSE(ziel->IstResident());
  ASSERT_TRUE(textur->IstResident());
  steuerung->LeereProtokoll();
  kontext->SetRenderZiel(ziel);
  EXPECT_TRUE(ziel->IstResident());
  EXPECT_EQ(Anzahl("SetRenderTarget"), 1u);

  // Its texture evicted instead: the target's surface would belong to the old texture.
  textur->Auslagern();
  kontext->VergissBindungen(textur);
  steuerung->LeereProtokoll();
  kontext->SetRenderZiel(ziel);
  EXPECT_TRUE(textur->IstResident());
  EXPECT_EQ(Anzahl("CreateTexture"), 1u);
  EXPECT_EQ(Anzahl("SetRenderTarget"), 1u);
}

}  // namespace
