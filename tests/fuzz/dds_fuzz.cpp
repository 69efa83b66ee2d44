// DDS files from arbitrary bytes: every read stays inside the buffer, nothing the file cannot
// back is allocated, and every level of every face that was loaded can be read back through
// its region (block formats decoded, the others converted to A8R8G8B8).
#include "Quelm_Bild.h"
#include "TSpeicher.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

void PruefeStufen(Quelm_Bild& seite) {
  for (std::uint64_t l = 0; l < seite.mipAnzahl; ++l) {
    Quelm_Bild* stufe = seite.GibMipStufe(l);
    if (!stufe) __builtin_trap();
    if (stufe->breite == 0 || stufe->hoehe == 0) continue;
    stufe->LiesPixel(stufe->breite - 1, stufe->hoehe - 1);
    // The top-left block is enough: decoding costs a whole block per pixel.
    Quelm_Bild ziel(std::min<std::uint64_t>(stufe->breite, 4), std::min<std::uint64_t>(stufe->hoehe, 4),
                    PXFMT_A8R8G8B8);
    TBereich::KonvertiereFormat(*stufe, ziel);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  TSpeicher speicher;
  speicher.Reserviere(groesse);
  if (groesse) std::memcpy(speicher.daten, daten, groesse);
  speicher.SetGroesse(groesse);

  Quelm_Bild bild;
  const bool geladen = Quelm_Bild::LadeDDS(bild, speicher);
  if (speicher.position > speicher.groesse) __builtin_trap();
  if (!geladen) return 0;
  if (bild.istCubeSeite) {
    if (!bild.IstBasisSeite()) __builtin_trap();
    for (Quelm_Bild* seite : bild.seiten) {
      if (!seite || seite->breite != bild.breite || seite->mipAnzahl != bild.mipAnzahl) __builtin_trap();
      PruefeStufen(*seite);
    }
  } else {
    PruefeStufen(bild);
  }
  return 0;
}
