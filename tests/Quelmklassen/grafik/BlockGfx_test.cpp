// Rectangle packer, block-graphics atlas and the "FX3D"/"PLTZ" files, on the recording device.
#include "BildHilfen.h"
#include "BlockGfxDatei.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_BlockShader.h"
#include "RenderTestHilfen.h"
#include "TRechteckPacker.h"
#include "TSpeicher.h"

#include <random>

namespace {

void PruefeBelegung(const TRechteckPacker& p) {
  for (std::size_t i = 0; i < p.belegt.size(); ++i) {
    const TRechteck& a = p.belegt[i];
    ASSERT_LE(a.x + a.w, p.breite);
    ASSERT_LE(a.y + a.h, p.hoehe);
    for (std::size_t j = i + 1; j < p.belegt.size(); ++j) ASSERT_FALSE(TRechteckPacker::Ueberlappen(a, p.belegt[j]));
  }
}

TEST(RechteckPacker, PlatziertOhneUeberlappungInnerhalbDerFlaeche) {
  std::mt19937 zufall(7);
  for (int runde = 0; runde < 20; ++runde) {
    TRechteckPacker p;
    p.Init(256, 256);
    std::uint64_t x, y, fehlschlaege = 0;
    for (int i = 0; i < 200; ++i) {
      const std::uint64_t w = 1 + zufall() % 40, h = 1 + zufall() % 40;
      if (p.Einfuegen(w, h, x, y)) EXPECT_EQ(p.belegt.back(), (TRechteck{x, y, w, h}));
      else ++fehlschlaege;
    }
    PruefeBelegung(p);
    EXPECT_GT(fehlschlaege, 0u);  // the area did fill up
  }
  TRechteckPacker p;
  p.Init(512, 512);
  std::uint64_t x, y;
  ASSERT_TRUE(p.Einfuegen(30, 20, x, y));
  EXPECT_EQ(x + y, 0u);
  ASSERT_TRUE(p.Einfuegen(30, 20, x, y));
  EXPECT_EQ(x, 30u);
  EXPECT_EQ(y, 0u);
  EXPECT_FALSE(p.Einfuegen(513, 1, x, y));
}

TEST(RechteckPacker, PltzUndAlteFreilisteWerdenGelesenAbgeschnitteneNicht) {
  TRechteckPacker p;
  p.Init(128, 64);
  std::uint64_t x, y;
  for (int i = 0; i < 5; ++i) p.Einfuegen(10 + i, 7, x, y);
  TSpeicher s;
  p.Speichern(s);
  TRechteckPacker q;
  s.position = 0;
  ASSERT_TRUE(q.Laden(s));
  EXPECT_EQ(s.position, s.groesse);
  EXPECT_EQ(q.belegt, p.belegt);
  EXPECT_EQ(q.frei, p.frei);
  EXPECT_EQ(q.breite * 1000 + q.hoehe, 128064u);
  for (std::uint64_t n = 0; n < s.groesse; ++n) {
    TSpeicher kurz = s;
    kurz.groesse = n;
    kurz.position = 0;
    EXPECT_FALSE(q.Laden(kurz)) << n;
    EXPECT_TRUE(q.belegt.empty() && q.frei.empty());
  }
  // Older layout: an ignored word, then a bare free list.
  const std::uint8_t alt[] = {0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4};
  TSpeicher a;
  a.Reserviere(sizeof alt);
  std::memcpy(a.daten, alt, sizeof alt);
  a.SetGroesse(sizeof alt);
  ASSERT_TRUE(q.Laden(a));
  EXPECT_TRUE(q.belegt.empty());
  EXPECT_EQ(q.frei, (std::vector<TRechteck>{{1, 2, 3, 4}}));
}

// A picture whose every pixel tells its position.
void Fuelle(Quelm_Bild& bild, std::uint32_t basis) {
  for (std::uint64_t y = 0; y < bild.hoehe; ++y)
    for (std::uint64_t x = 0; x < bild.breite; ++x)
      SetzePixel(bild, x, y, basis + static_cast<std::uint32_t>(y * 1000 + x));
}

using BlockGfx = AufzeichnungsTest;

TEST_F(BlockGfx, WachsenPacktAllesInIdReihenfolgeNeuUndBehaeltDiePixel) {
  Quelm_BlockGfx3D atlas(0, 0, 0);
  Quelm_Bild quelle(400, 400, PXFMT_A8R8G8B8);
  Fuelle(quelle, 0xFF000000u);
  const std::uint64_t groessen[][2] = {{200, 100}, {300, 90}, {120, 250}, {90, 90}, {260, 300}};
  for (std::uint64_t id = 0; id < 5; ++id) ASSERT_TRUE(atlas.AddGrafik(id * 3, &quelle, 1, 2, groessen[id][0], groessen[id][1]));
  EXPECT_EQ(atlas.breite, 1024u);
  EXPECT_FALSE(atlas.HatGrafik(1));
  // The same sizes inserted in id order into a fresh packer of the final size.
  TRechteckPacker erwartet;
  erwartet.Init(1024, 1024);
  const TBereich kopie = atlas.textur->KopieBereich(0);
  for (std::uint64_t id = 0; id < 5; ++id) {
    std::uint64_t x, y;
    ASSERT_TRUE(erwartet.Einfuegen(groessen[id][0], groessen[id][1], x, y));
    const Quelm_BlockGrafik& e = atlas.eintraege[id * 3];
    EXPECT_EQ(e.x * 10000 + e.y, x * 10000 + y) << id;
    EXPECT_FLOAT_EQ(e.u, static_cast<float>(x) / 1024.0f);
    EXPECT_EQ(Pixel(kopie, e.x + e.w - 1, e.y + e.h - 1), Pixel(quelle, e.w, e.h + 1));
  }
  PruefeBelegung(atlas.packer);
  Quelm_Bild falsch(4, 4, PXFMT_R5G6B5);
  EXPECT_FALSE(atlas.AddGrafik(99, &falsch, 0, 0, 4, 4));
  EXPECT_FALSE(atlas.AddGrafik(99, &quelle, 390, 0, 20, 4));
  EXPECT_FALSE(atlas.HatGrafik(99));
}

TEST_F(BlockGfx, ZeichneGrafikNimmtEigeneGroesseUndUebergehtFehlendeIds) {
  Quelm_BlockGfx3D atlas(64, 4, 0);
  Quelm_Bild quelle(16, 8, PXFMT_A8R8G8B8);
  atlas.AddGrafik(2, &quelle, 0, 0, 16, 8);
  atlas.pivotMitte = 1;
  atlas.ZeichneGrafik(2, 10, 20, {1, 0.5f, 0, 1}, 0, 0, 0.25f);
  atlas.ZeichneGrafik(3, 10, 20, {1, 1, 1, 1}, 0, 0, 0);
  atlas.ZeichneGrafik(200, 10, 20, {1, 1, 1, 1}, 0, 0, 0);
  ASSERT_EQ(atlas.instanzen.size(), 1u);
  const Quelm_BlockInstanz& i = atlas.instanzen[0];
  EXPECT_EQ(std::vector<float>(i.groesse, i.groesse + 2), (std::vector<float>{16, 8}));
  EXPECT_EQ(i.zielPos[2], 0.5f);
  EXPECT_EQ(i.param[1], 0.5f);
}

TEST_F(BlockGfx, Fx3dRundreiseUndAbgeschnitteneDateienWerdenAbgelehnt) {
  Quelm_BlockGfx3D atlas(64, 7, 0);
  Quelm_Bild quelle(40, 30, PXFMT_A8R8G8B8);
  Fuelle(quelle, 0x80000000u);
  atlas.AddGrafik(1, &quelle, 0, 0, 40, 30);
  atlas.AddGrafik(70, &quelle, 5, 5, 10, 12);
  atlas.pivotMitte = 1;
  TSpeicher datei;
  ASSERT_TRUE(atlas.Speichern(datei));

  Quelm_BlockGfx3D gelesen(0, 0, 0);
  datei.position = 0;
  ASSERT_TRUE(gelesen.Laden(datei));
  EXPECT_EQ(datei.position, datei.groesse);
  EXPECT_EQ(gelesen.eintraege.size(), 128u);
  EXPECT_EQ(gelesen.vorhanden, atlas.vorhanden);
  EXPECT_EQ(gelesen.eintraege[70].x * 100 + gelesen.eintraege[70].h, atlas.eintraege[70].x * 100 + 12);
  EXPECT_EQ(gelesen.packer.belegt, atlas.packer.belegt);
  EXPECT_EQ(gelesen.pivotMitte, 1);
  EXPECT_EQ(gelesen.instanzPuffer->groesse, 7u * 60);
  const TBereich kopie = gelesen.textur->KopieBereich(0);
  EXPECT_EQ(Pixel(kopie, atlas.eintraege[70].x, atlas.eintraege[70].y), Pixel(quelle, 5, 5));

  // Every cut refuses the file and leaves the atlas as it was.
  for (std::uint64_t n = 0; n < datei.groesse; n += 7) {
    TSpeicher kurz = datei;
    kurz.groesse = n;
    kurz.position = 0;
    Quelm_BlockGfx3D ziel(0, 0, 0);
    EXPECT_FALSE(ziel.Laden(kurz)) << n;
    EXPECT_EQ(ziel.textur, nullptr);
    EXPECT_TRUE(ziel.eintraege.empty());
  }
}


// Damaged files are refused with the format's message and change nothing, however large the
// counts they announce.
TEST_F(BlockGfx, BeschaedigteDateienWerdenAbgelehntOhneEtwasZuAendern) {
  struct Zeile {
    const char* fall;
    Fx3dDatei datei;
    std::uint64_t geraetGrenze = 0;  // the device's texture size limit, 0 = as it reports
    bool angenommen = false;
  };
  auto mit = [](auto aendere) {
    Fx3dDatei d;
    aendere(d);
    return d;
  };
  const Zeile zeilen[] = {
      {"unbeschaedigt", {}, 0, true},
      {"Instanzen am Hoechstwert", mit([](Fx3dDatei& d) { d.instanzen = Quelm_BlockGfx3D::kMaxInstanzen; }), 0, true},
      {"Instanzen 0xFFFFFFFF", mit([](Fx3dDatei& d) { d.instanzen = 0xFFFFFFFFu; })},
      {"Instanzen ueber dem Hoechstwert",
       mit([](Fx3dDatei& d) { d.instanzen = Quelm_BlockGfx3D::kMaxInstanzen + 1; })},
      {"Eintraege 0xFFFFFFFF", mit([](Fx3dDatei& d) { d.anzahl = 0xFFFFFFFFu; })},
      {"freie Rechtecke 0xFFFFFFFF", mit([](Fx3dDatei& d) { d.freiAnzahl = 0xFFFFFFFFu; })},
      {"Breite 0xFFFFFFFF", mit([](Fx3dDatei& d) { d.breite = 0xFFFFFFFFu; })},
      {"Hoehe 0xFFFFFFFF", mit([](Fx3dDatei& d) { d.hoehe = 0xFFFFFFFFu; })},
      {"Grafik ausserhalb der Textur", mit([](Fx3dDatei& d) { d.grafik[0] = 2; })},
      {"breiter als das Geraet", {}, 2},
  };
  Quelm_Bild quelle(4, 3, PXFMT_A8R8G8B8);
  for (const Zeile& z : zeilen) {
    Quelm_BlockGfx3D atlas(16, 3, 0);
    ASSERT_TRUE(atlas.AddGrafik(5, &quelle, 0, 0, 4, 3));
    kontext->maxTexturBreite = kontext->maxTexturHoehe = z.geraetGrenze;
    const Quelm_Textur* textur = atlas.textur;
    const Quelm_VertexBuffer* puffer = atlas.instanzPuffer;
    const std::vector<std::uint64_t> vorhanden = atlas.vorhanden;
    TSpeicher datei = z.datei.Datei();
    sammler->zeilen.clear();
    bool geladen = false;
    ASSERT_NO_THROW(geladen = atlas.Laden(datei)) << z.fall;
    EXPECT_EQ(geladen, z.angenommen) << z.fall;
    if (z.angenommen) {
      EXPECT_TRUE(atlas.HatGrafik(1) && !atlas.HatGrafik(5)) << z.fall;
      continue;
    }
    EXPECT_TRUE(Geloggt("!Quelm_BlockGfx3D::Laden(): Blockgrafik ist unvollständig oder fehlerhaft.")) << z.fall;
    EXPECT_EQ(datei.position, 0u) << z.fall;
    EXPECT_TRUE(atlas.textur == textur && atlas.instanzPuffer == puffer && atlas.vorhanden == vorhanden &&
                atlas.breite == 16)
        << z.fall;
  }
}


// A graphic added to an atlas read from a file lands in its pixel copy, which the next growth
// re-packs from; the loaded graphics move along.
TEST_F(BlockGfx, AusDateiGeladenerAtlasNimmtNeueGrafikInSeineKopie) {
  Quelm_BlockGfx3D atlas(0, 0, 0);
  TSpeicher datei = Fx3dDatei{}.Datei();
  ASSERT_TRUE(atlas.Laden(datei));
  ASSERT_FALSE(atlas.textur->flags & FLAG_DYNAMISCH);
  Quelm_Bild quelle(6, 6, PXFMT_A8R8G8B8);
  Fuelle(quelle, 0xFF000000u);
  ASSERT_TRUE(atlas.AddGrafik(9, &quelle, 1, 1, 2, 2));
  const Quelm_BlockGrafik neu = atlas.eintraege[9];
  EXPECT_EQ(Pixel(atlas.textur->KopieBereich(0), neu.x + 1, neu.y + 1), Pixel(quelle, 2, 2));
  // Too large for 4 x 4: the atlas grows to 8 and re-packs graphics 1 and 9 from its copy.
  ASSERT_TRUE(atlas.AddGrafik(10, &quelle, 0, 0, 5, 5));
  ASSERT_EQ(atlas.breite, 8u);
  const TBereich kopie = atlas.textur->KopieBereich(0);
  EXPECT_EQ(Pixel(kopie, atlas.eintraege[9].x + 1, atlas.eintraege[9].y + 1), Pixel(quelle, 2, 2));
  EXPECT_EQ(Pixel(kopie, atlas.eintraege[1].x + 2, atlas.eintraege[1].y + 1), 0xFF000000u | (4 + 3));
}

// Re-packing a wide graphic of a file's non-square atlas grows it past the size the new
// graphic asked for; the new graphic is still placed.
TEST_F(BlockGfx, VerschachteltesWachsenBehaeltDieNeueGrafik) {
  Fx3dDatei d;
  d.version = 259;
  d.breite = 256;
  d.hoehe = 32;
  std::copy_n(std::begin({0u, 0u, 256u, 32u}), 4, d.grafik);
  std::copy_n(std::begin({0u, 32u, 256u, 0u}), 4, d.frei);  // full: only an empty strip is free
  Quelm_BlockGfx3D atlas(0, 0, 0);
  TSpeicher datei = d.Datei();
  ASSERT_TRUE(atlas.Laden(datei));
  Quelm_Bild quelle(8, 8, PXFMT_A8R8G8B8);
  EXPECT_TRUE(atlas.AddGrafik(3, &quelle, 0, 0, 8, 8));
  EXPECT_TRUE(atlas.HatGrafik(3) && atlas.HatGrafik(1));
  EXPECT_EQ(atlas.breite, 256u);
  PruefeBelegung(atlas.packer);
}

// Versions 257 to 261: 8 skipped bytes before 261, the flags word from 258, the height from
// 259 (before that the texture is square).
TEST_F(BlockGfx, Fx3dVersionenLesenIhrJeweiligesFormat) {
  for (std::uint32_t version : {257u, 258u, 259u, 260u, 261u}) {
    Fx3dDatei d;
    d.version = version;
    d.flags = Quelm_BlockGfx3D::kFlagNormalKarte;
    d.hoehe = 2;
    d.mitte = version == 261 ? 2 : 1;  // only 1 sets the flag
    Quelm_BlockGfx3D atlas(0, 0, 0);
    TSpeicher datei = d.Datei();
    ASSERT_TRUE(atlas.Laden(datei)) << version;
    EXPECT_EQ(datei.position, datei.groesse) << version;
    EXPECT_EQ(atlas.flags, version >= 258 ? d.flags : 0u) << version;
    EXPECT_EQ(atlas.hoehe, version >= 259 ? 2u : 4u) << version;
    EXPECT_EQ(atlas.pivotMitte, d.mitte == 1) << version;
    EXPECT_EQ(atlas.instanzPuffer->groesse, 4u * 60) << version;
    EXPECT_EQ(atlas.eintraege[1].x * 1000 + atlas.eintraege[1].w, 1003u) << version;
    EXPECT_EQ(Pixel(atlas.textur->KopieBereich(0), 3, 1), 0xFF000000u | 7) << version;
  }
}

// More pending instances than the buffer holds: batches of the capacity, in order.
TEST_F(BlockGfx, MehrInstanzenAlsKapazitaetInMehrerenStapeln) {
  steuerung->protokollieren = true;
  Quelm_BlockGfx3D atlas(16, 3, 0);
  Quelm_Bild quelle(2, 2, PXFMT_A8R8G8B8);
  ASSERT_TRUE(atlas.AddGrafik(1, &quelle, 0, 0, 2, 2));
  for (int i = 0; i < 7; ++i) atlas.ZeichneGrafik(1, static_cast<float>(i), 0, {1, 1, 1, 1}, 0, 0, 0);
  steuerung->LeereProtokoll();
  atlas.Zeichne();
  EXPECT_EQ(Anzahl("DrawIndexedPrimitive"), 3u);
  // Instance counts of the batches, as set on stream 0.
  EXPECT_EQ(Aufrufe("SetStreamSourceFreq"),
            (std::vector<std::string>{"SetStreamSourceFreq(0, 0x40000003) = D3D_OK",
                                      "SetStreamSourceFreq(1, 0x80000001) = D3D_OK",
                                      "SetStreamSourceFreq(0, 0x40000001) = D3D_OK"}));
  // The last batch is the seventh instance alone.
  void* p = nullptr;
  ASSERT_EQ(atlas.instanzPuffer->geraetePuffer->Lock(0, 60, &p, D3DLOCK_READONLY), D3D_OK);
  Quelm_BlockInstanz letzte;
  std::memcpy(&letzte, p, sizeof letzte);
  atlas.instanzPuffer->geraetePuffer->Unlock();
  EXPECT_EQ(letzte.zielPos[0], 6.0f);
  EXPECT_TRUE(atlas.instanzen.empty());
}

// Of free corners at the same height the earlier one wins; a lower one wins over an earlier.
TEST(RechteckPacker, GleichstandBehaeltDasFruehereFreieRechteck) {
  TRechteckPacker p;
  p.Init(256, 256);
  p.frei = {{100, 0, 50, 50}, {0, 0, 50, 50}, {200, 0, 50, 50}};
  std::uint64_t x, y;
  ASSERT_TRUE(p.Einfuegen(10, 10, x, y));
  EXPECT_EQ(x * 1000 + y, 100000u);
  p.Init(256, 256);
  p.frei = {{100, 20, 50, 50}, {0, 10, 50, 50}};
  ASSERT_TRUE(p.Einfuegen(10, 10, x, y));
  EXPECT_EQ(x * 1000 + y, 10u);
}

// The packer's free list after a split, and the four edge merges of a new free rectangle.
TEST(RechteckPacker, AufteilenUndVerschmelzenDerFreienRechtecke) {
  TRechteckPacker p;
  p.Init(100, 100);
  std::uint64_t x, y;
  ASSERT_TRUE(p.Einfuegen(30, 20, x, y));
  EXPECT_EQ(p.frei, (std::vector<TRechteck>{{30, 0, 70, 20}, {0, 20, 100, 80}}));
  const struct {
    TRechteck frei, neu, erwartet;
  } zeilen[] = {
      {{0, 50, 40, 50}, {0, 10, 40, 40}, {0, 10, 40, 90}},  // the free one lies below
      {{0, 0, 40, 10}, {0, 10, 40, 5}, {0, 0, 40, 15}},     // above
      {{50, 0, 10, 10}, {40, 0, 10, 10}, {40, 0, 20, 10}},  // right
      {{0, 0, 10, 10}, {10, 0, 5, 10}, {0, 0, 15, 10}},     // left
  };
  for (const auto& z : zeilen) {
    p.frei = {z.frei};
    p.FreiHinzufuegen(z.neu);
    EXPECT_EQ(p.frei, (std::vector<TRechteck>{z.erwartet})) << z.neu.x << "," << z.neu.y;
  }
  p.frei = {{0, 0, 10, 10}};
  p.FreiHinzufuegen({20, 0, 5, 10});  // no shared edge: appended
  EXPECT_EQ(p.frei.size(), 2u);
  // A free rectangle the placed one cuts into from below keeps the strip above it.
  p.Init(100, 100);
  p.frei = {{60, 10, 40, 90}, {40, 30, 60, 70}};
  ASSERT_TRUE(p.Einfuegen(50, 20, x, y));
  EXPECT_EQ(p.frei.front(), (TRechteck{60, 10, 40, 20}));
}

// The flush: the variant by flag bit 0, the atlas' own alpha state, the atlas size of a
// non-square atlas, and mip levels regenerated only after a change.
TEST_F(BlockGfx, ZeichnenSetztVarianteAlphaGroesseUndMipStufenNurNachAenderung) {
  steuerung->protokollieren = true;
  Fx3dDatei d;
  d.version = 259;
  d.breite = 8;
  d.hoehe = 4;
  std::copy_n(std::begin({4u, 2u, 4u, 2u}), 4, d.frei);
  Quelm_BlockGfx3D atlas(0, 0, 0);
  TSpeicher datei = d.Datei();
  ASSERT_TRUE(atlas.Laden(datei));
  Quelm_Bild quelle(2, 2, PXFMT_A8R8G8B8);
  ASSERT_TRUE(atlas.AddGrafik(2, &quelle, 0, 0, 2, 2));
  const Quelm_BlockGrafik& e = atlas.eintraege[2];
  EXPECT_EQ(std::vector<float>({e.u, e.v, e.du, e.dv}), std::vector<float>({0.5f, 0.5f, 0.25f, 0.5f}));

  auto zeichne = [&](Quelm_BlockGfx3D& a) {
    steuerung->LeereProtokoll();
    a.ZeichneGrafik(2, 0, 0, {1, 1, 1, 1}, 0, 0, 0);
    a.Zeichne();
  };
  zeichne(atlas);
  EXPECT_EQ(Anzahl("GenerateMipSubLevels"), 1u);
  const std::vector<std::string> konstanten = Aufrufe("SetVertexShaderConstantF");
  ASSERT_FALSE(konstanten.empty());
  EXPECT_NE(konstanten.back().find("{0.125 0.25 0 1}"), std::string::npos) << konstanten.back();
  const Quelm_BlockShader::Satz* satz = Quelm_BlockShader::Aktuell();
  ASSERT_TRUE(satz);
  EXPECT_EQ(kontext->programm, satz->varianten[0].programm);
  zeichne(atlas);
  EXPECT_EQ(Anzahl("GenerateMipSubLevels"), 0u);

  atlas.flags = Quelm_BlockGfx3D::kFlagNormalKarte;
  atlas.alphaZustand = kontext->ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr(2, 4));
  zeichne(atlas);
  EXPECT_EQ(kontext->programm, satz->varianten[1].programm);
  const std::vector<std::string> mischung = Aufrufe("SetRenderState");
  EXPECT_NE(std::ranges::find(mischung, "SetRenderState(D3DRS_SRCBLEND, 5) = D3D_OK"), mischung.end());
  kontext->GibFrei(atlas.alphaZustand);
  atlas.alphaZustand = nullptr;
  // The first graphic of an atlas without size makes it 512 wide; flag bit 1 a render target.
  Quelm_BlockGfx3D leer(0, 0, 0);
  ASSERT_TRUE(leer.AddGrafik(0, &quelle, 0, 0, 2, 2));
  EXPECT_EQ(leer.breite * 10000 + leer.hoehe, 5120512u);
  EXPECT_TRUE(Quelm_BlockGfx3D(16, 1, Quelm_BlockGfx3D::kFlagRenderziel).textur->flags & FLAG_RENDERZIEL);
  EXPECT_FALSE(Quelm_BlockGfx3D(16, 1, Quelm_BlockGfx3D::kFlagNormalKarte).textur->flags & FLAG_RENDERZIEL);
}

}  // namespace
