// Texture contents on the recording device, read back from the device levels and from the
// main-memory copies: DXT block rows, sub-rectangles, cube faces, handed-over buffers.
#include "Quelm_Bild.h"
#include "Quelm_Textur.h"
#include "RenderTestHilfen.h"

#include <cstring>

namespace {

using TexturInhalt = AufzeichnungsTest;

// The bytes of a device level, row by row (block rows for DXT).
template <class Sperre, class Entsperre>
std::vector<std::uint8_t> LiesStufe(Sperre sperre, Entsperre entsperre, std::size_t zeilenBytes, std::size_t zeilen) {
  D3DLOCKED_RECT lr{};
  if (FAILED(sperre(lr))) {
    ADD_FAILURE() << "LockRect";
    return {};
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t z = 0; z < zeilen; ++z) {
    const auto* zeile = static_cast<const std::uint8_t*>(lr.pBits) + z * static_cast<std::size_t>(lr.Pitch);
    bytes.insert(bytes.end(), zeile, zeile + zeilenBytes);
  }
  entsperre();
  return bytes;
}

std::vector<std::uint8_t> Geraet(Quelm_Textur& t, std::size_t zeilenBytes, std::size_t zeilen) {
  return LiesStufe([&](D3DLOCKED_RECT& lr) { return t.geraeteTextur->LockRect(0, &lr, nullptr, D3DLOCK_READONLY); },
                   [&] { t.geraeteTextur->UnlockRect(0); }, zeilenBytes, zeilen);
}

std::vector<std::uint8_t> Kopie(const Quelm_Textur& t, std::size_t bytes) {
  return std::vector<std::uint8_t>(t.kopien[0].get(), t.kopien[0].get() + bytes);
}

TEST_F(TexturInhalt, DxtStufenWerdenInBlockzeilenHochgeladen) {
  // Four DXT5 blocks of 16 bytes, each filled with its number: two block rows of two.
  std::vector<std::uint8_t> bloecke(64);
  for (std::size_t i = 0; i < bloecke.size(); ++i) bloecke[i] = static_cast<std::uint8_t>(i / 16 + 1);
  // A dynamic texture, so that the device level can be read back (static ones are drawn
  // under Xvfb).
  Quelm_TexturVorgabe vorgabe;
  vorgabe.stufen[0] = TBereich(bloecke.data(), PXFMT_DXT5, 8, 8, Quelm_Pitch(PXFMT_DXT5, 8));
  Quelm_Textur* t = kontext->ErzeugeTextur(0, 0, 1, PXFMT_DXT5 | FLAG_MANUELLE_MIPMAPS | FLAG_DYNAMISCH, vorgabe);
  EXPECT_EQ(Geraet(*t, 32, 2), bloecke);
  EXPECT_EQ(Kopie(*t, 64), bloecke);
  // Evicted and restored from the copy: the same blocks again.
  t->Auslagern();
  t->Benutzen();
  EXPECT_EQ(Geraet(*t, 32, 2), bloecke);
  // A write at a block boundary lands in its block; one off it or outside is refused.
  std::vector<std::uint8_t> block(16, 9);
  Quelm_TexturBereich teil;
  static_cast<TBereich&>(teil) = TBereich(block.data(), PXFMT_DXT5, 4, 4, Quelm_Pitch(PXFMT_DXT5, 4));
  t->SchreibeTeilInhalt(4, 4, teil);
  EXPECT_TRUE(Texte().empty());
  for (auto [x, y] : {std::pair{6, 0}, {4, 2}}) {
    sammler->zeilen.clear();
    t->SchreibeTeilInhalt(x, y, teil);
    EXPECT_TRUE(FehlerGeloggt("Ungültiger Teilbereich")) << x << ", " << y;
  }
  t->SchreibeTeilInhalt(8, 0, teil);
  EXPECT_TRUE(FehlerGeloggt("Ungültige Zielkoordinaten"));
  std::fill(bloecke.begin() + 48, bloecke.end(), 9);
  EXPECT_EQ(Geraet(*t, 32, 2), bloecke);
  EXPECT_EQ(Kopie(*t, 64), bloecke);
  kontext->GibFrei(t);
}

TEST_F(TexturInhalt, TeilbereichLandetAnSeinerStelleAufDemGeraetUndInDerKopie) {
  for (std::uint64_t dynamisch : {std::uint64_t{0}, FLAG_DYNAMISCH}) {
    std::vector<std::uint32_t> grund(8 * 8, 0xFF101010u);
    Quelm_TexturVorgabe vorgabe;
    vorgabe.stufen[0] = TBereich(reinterpret_cast<std::uint8_t*>(grund.data()), PXFMT_A8R8G8B8, 8, 8, 32);
    steuerung->LeereProtokoll();
    Quelm_Textur* t = kontext->ErzeugeTextur(0, 0, 1, PXFMT_A8R8G8B8 | dynamisch, vorgabe);
    // Static textures cannot be locked: contents go through a system-memory surface.
    EXPECT_EQ(Anzahl("UpdateSurface"), dynamisch ? 0u : 1u);

    // A 2 x 3 region at (3, 2), handed over: the texture frees it.
    Quelm_TexturBereich teil;
    static_cast<TBereich&>(teil) = TBereich(new std::uint8_t[2 * 3 * 4], PXFMT_A8R8G8B8, 2, 3, 8);
    teil.uebergabe = 1;
    const std::uint32_t farbe = 0xFFA0B0C0u;
    for (std::uint32_t i = 0; i < 6; ++i) std::memcpy(teil.daten + i * 4, &farbe, 4);
    steuerung->LeereProtokoll();
    t->SchreibeTeilInhalt(3, 2, teil);
    EXPECT_EQ(teil.daten, nullptr);

    std::vector<std::uint32_t> soll = grund;
    for (int y = 2; y < 5; ++y)
      for (int x = 3; x < 5; ++x) soll[y * 8 + x] = 0xFFA0B0C0u;
    std::vector<std::uint8_t> sollBytes(64 * 4);
    std::memcpy(sollBytes.data(), soll.data(), sollBytes.size());
    if (dynamisch) {
      // Only the region is locked, keeping the rest of the level; one over the edge is cut there.
      std::uint32_t zwei[2] = {farbe, farbe};
      static_cast<TBereich&>(teil) = TBereich(reinterpret_cast<std::uint8_t*>(zwei), PXFMT_A8R8G8B8, 2, 1, 8);
      teil.uebergabe = 0;
      t->SchreibeTeilInhalt(7, 0, teil);
      std::memcpy(sollBytes.data() + 7 * 4, &farbe, 4);
      const auto sperren = Aufrufe("LockRect");
      ASSERT_EQ(sperren.size(), 2u);
      EXPECT_NE(sperren[0].find(".LockRect(0, {3, 2, 5, 5}, 0x0) = D3D_OK"), std::string::npos) << sperren[0];
      EXPECT_NE(sperren[1].find(".LockRect(0, {7, 0, 8, 1}, 0x0) = D3D_OK"), std::string::npos) << sperren[1];
      EXPECT_EQ(Geraet(*t, 32, 8), sollBytes);
    } else {
      // The region through a surface of its size.
      ASSERT_EQ(Aufrufe("UpdateSurface").size(), 1u);
      EXPECT_NE(Aufrufe("UpdateSurface")[0].find(", {0, 0, 2, 3}, Textur#"), std::string::npos);
      EXPECT_NE(Aufrufe("UpdateSurface")[0].find("[0], {3, 2}) = D3D_OK"), std::string::npos);
      // Evicted, it is made and filled again at its next use.
      t->Auslagern();
      steuerung->LeereProtokoll();
      kontext->SetTextur(0xFF00, nullptr, t);
      EXPECT_EQ(Anzahl("CreateTexture") + Anzahl("UpdateSurface"), 2u);
    }
    EXPECT_EQ(Kopie(*t, 256), sollBytes) << dynamisch;
    kontext->GibFrei(t);
  }
}

constexpr std::uint32_t kSeitenFarbe[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};

// Face by face from a cube image: dynamic, so that each device face can be read back (the
// factory's static cube is sampled under Xvfb).
TEST_F(TexturInhalt, WuerfelbildWirdSeiteFuerSeiteGeladen) {
  Quelm_Bild bild;
  bild.SetCubeMapGroesse(4, PXFMT_A8R8G8B8, 1);
  Quelm_TexturVorgabe vorgaben[6];
  for (int s = 0; s < 6; ++s) {
    for (int i = 0; i < 16; ++i) std::memcpy(bild.seiten[s]->daten + i * 4, &kSeitenFarbe[s], 4);
    vorgaben[s] = Quelm_TexturVorgabe::AusBild(*bild.seiten[s]);
  }
  auto* w = new Quelm_WuerfelTextur(0, 1, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH, vorgaben);
  kontext->Registriere(w);
  for (std::uint32_t s = 0; s < 6; ++s) {
    const D3DCUBEMAP_FACES seite = Quelm::GetD3DSeite(s);
    const auto bytes = LiesStufe(
        [&](D3DLOCKED_RECT& lr) { return w->geraeteTextur->LockRect(seite, 0, &lr, nullptr, D3DLOCK_READONLY); },
        [&] { w->geraeteTextur->UnlockRect(seite, 0); }, 16, 4);
    ASSERT_EQ(bytes.size(), 64u);
    std::vector<std::uint32_t> pixel(16);
    std::memcpy(pixel.data(), bytes.data(), 64);
    EXPECT_EQ(pixel, std::vector<std::uint32_t>(16, kSeitenFarbe[s])) << "Seite " << s;
    std::uint32_t kopie;
    std::memcpy(&kopie, w->kopien[s][0].get() + 60, 4);
    EXPECT_EQ(kopie, kSeitenFarbe[s]) << "Seite " << s;
  }
}

TEST_F(TexturInhalt, WuerfelMitTeilDerSeitenMeldetJedeFehlende) {
  std::vector<std::uint32_t> pixel(16, 0xFF808080u);
  Quelm_TexturVorgabe vorgaben[6];
  for (int s = 0; s < 3; ++s)
    vorgaben[s].stufen[0] = TBereich(reinterpret_cast<std::uint8_t*>(pixel.data()), PXFMT_A8R8G8B8, 4, 4, 16);
  auto* w = new Quelm_WuerfelTextur(0, 1, PXFMT_A8R8G8B8, vorgaben);
  kontext->Registriere(w);
  for (int s = 3; s < 6; ++s)
    EXPECT_TRUE(Geloggt("!Quelm_WuerfelTextur::Quelm_WuerfelTextur( 4, 1, 0x0, ...): Vorgabegrafik für Seite " +
                        std::to_string(s) + ", Mip-Stufe 0 ist ungültig"));
  EXPECT_TRUE(FehlerGeloggt("Ungültige Vorgabedaten"));
  EXPECT_EQ(Texte().size(), 6u);  // three faces, each with its error line; not "muss dynamisch sein"
}

// The image's level buffers become the texture's copies or are freed; the sanitizer build
// finds a leak or a double free.
TEST_F(TexturInhalt, UebernimmBildGibtDieStufenpufferAb) {
  for (std::uint64_t manuell : {std::uint64_t{0}, FLAG_MANUELLE_MIPMAPS}) {
    Quelm_Bild bild(8, 8, PXFMT_A8R8G8B8, 4);
    bild.ErzeugeMipKette(4);
    const std::uint8_t* stufe0 = bild.daten;
    const std::uint8_t* stufe3 = bild.GibMipStufe(3)->daten;
    Quelm_TexturVorgabe vorgabe = Quelm_TexturVorgabe::UebernimmBild(bild);
    EXPECT_EQ(bild.daten, nullptr);
    EXPECT_EQ(bild.GibMipStufe(3)->daten, nullptr);
    Quelm_Textur* t = kontext->ErzeugeTextur(0, 0, 4, PXFMT_A8R8G8B8 | manuell, vorgabe);
    EXPECT_EQ(t->kopien[0].get(), stufe0);  // adopted, not copied
    EXPECT_EQ(t->kopien[3].get(), manuell ? stufe3 : nullptr);
    for (const TBereich& e : vorgabe.stufen) EXPECT_EQ(e.daten, nullptr);
    kontext->GibFrei(t);
  }
  EXPECT_TRUE(Texte().empty());
}

}  // namespace
