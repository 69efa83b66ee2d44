// Block-graphic files ("FX3D") from arbitrary bytes: a refused file leaves the atlas as it
// was; a loaded one keeps every graphic inside its texture, draws, takes a new graphic into
// its pixel copy (growing when it must) and reads back the same from what it writes.
#include "Aufzeichnungskontext.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"

#include <algorithm>

namespace {

std::uint32_t KopiePixel(const Quelm_BlockGfx3D& atlas, std::uint64_t x, std::uint64_t y) {
  const TBereich k = atlas.textur->KopieBereich(0);
  std::uint32_t p;
  std::memcpy(&p, k.daten + y * k.pitch + x * 4, 4);
  return p;
}

void PruefeEintraege(const Quelm_BlockGfx3D& atlas) {
  for (std::uint64_t id = 0; id < atlas.eintraege.size(); ++id) {
    if (!atlas.HatGrafik(id)) continue;
    const Quelm_BlockGrafik& e = atlas.eintraege[id];
    if (std::uint64_t{e.x} + e.w > atlas.breite || std::uint64_t{e.y} + e.h > atlas.hoehe) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BereiteLaufVor();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  TSpeicher speicher = AlsSpeicher(daten, groesse);

  Quelm_Bild quelle(4, 3, PXFMT_A8R8G8B8);
  for (std::uint64_t i = 0; i < 12; ++i) reinterpret_cast<std::uint32_t*>(quelle.daten)[i] = 0xFF102030u + i;
  Quelm_BlockGfx3D atlas(16, 4, 0);
  atlas.AddGrafik(5, &quelle, 0, 0, 4, 3);
  const Quelm_Textur* textur = atlas.textur;
  const Quelm_VertexBuffer* puffer = atlas.instanzPuffer;
  const std::vector<std::uint64_t> vorhanden = atlas.vorhanden;

  if (!atlas.Laden(speicher)) {
    if (atlas.textur != textur || atlas.instanzPuffer != puffer || atlas.vorhanden != vorhanden ||
        atlas.breite != 16 || atlas.flags != 0 || speicher.position != 0)
      __builtin_trap();
    return 0;
  }
  if (speicher.position > speicher.groesse) __builtin_trap();
  if (atlas.instanzPuffer && atlas.instanzPuffer->groesse > Quelm_BlockGfx3D::kMaxInstanzen * 60) __builtin_trap();
  PruefeEintraege(atlas);

  // Every graphic once, in a batch or several.
  for (std::uint64_t id = 0, n = 0; id < atlas.eintraege.size() && n < 64; ++id)
    if (atlas.HatGrafik(id)) {
      atlas.ZeichneGrafik(id, 1, 2, {1, 1, 1, 1}, 0, 0, 0.5f);
      ++n;
    }
  atlas.Zeichne();
  if (!atlas.instanzen.empty()) __builtin_trap();

  // What it writes it reads back (an atlas drawn into keeps no pixel copy to write).
  TSpeicher geschrieben;
  if (atlas.Speichern(geschrieben)) {
    Quelm_BlockGfx3D zurueck(0, 0, 0);
    geschrieben.position = 0;
    if (!zurueck.Laden(geschrieben) || zurueck.vorhanden != atlas.vorhanden || zurueck.breite != atlas.breite ||
        zurueck.hoehe != atlas.hoehe || zurueck.packer.belegt != atlas.packer.belegt ||
        zurueck.packer.frei != atlas.packer.frei)
      __builtin_trap();
  }

  // A new graphic lands in the pixel copy, also after a growth re-packed the others. Large
  // atlases are left out: growing them would take the run's memory.
  if (atlas.breite > 256 || atlas.hoehe > 256) return 0;
  const bool kopie = atlas.textur && atlas.textur->KopieBereich(0).daten;
  if (!atlas.AddGrafik(7, &quelle, 1, 1, 3, 2)) return 0;
  PruefeEintraege(atlas);
  const Quelm_BlockGrafik& e = atlas.eintraege[7];
  if (kopie && (!atlas.textur->KopieBereich(0).daten || KopiePixel(atlas, e.x + 2, e.y + 1) != 0xFF102030u + 11))
    __builtin_trap();
  return 0;
}
