// PNG files from arbitrary bytes: every read stays inside the buffer, no size the file cannot
// back is allocated, and a loaded image is a whole A8R8G8B8 image.
#include "Quelm_Bild.h"
#include "TSpeicher.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  TSpeicher speicher;
  speicher.Reserviere(groesse);
  if (groesse) std::memcpy(speicher.daten, daten, groesse);
  speicher.SetGroesse(groesse);

  Quelm_Bild bild;
  const bool geladen = Quelm_Bild::LadePNG(bild, speicher);
  if (speicher.position > speicher.groesse) __builtin_trap();
  if (geladen) {
    if (bild.format != PXFMT_A8R8G8B8 || bild.pitch != bild.breite * 4 || bild.mipAnzahl != 1) __builtin_trap();
    if (bild.breite == 0 || bild.hoehe == 0) __builtin_trap();
    // Touch the last pixel so the sanitizer sees the array is as large as announced.
    volatile std::uint8_t letztes = bild.daten[bild.pitch * bild.hoehe - 1];
    (void)letztes;
  }
  return 0;
}
