// Build-time tool: writes the widget skin "grafik.png" with the engine's PNG writer.
//   Grafikwerkzeug <grafik.png>
// 32 by 16 pixels: an opaque white 16 by 16 square at (16, 0), graphic 0 of the skin, which
// the widget renderer tints for every box; the left half (graphic 1) is opaque black.
#include "Quelm_Bild.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Aufruf: %s <grafik.png>\n", argv[0]);
    return 2;
  }
  Quelm_Bild bild(32, 16, PXFMT_A8R8G8B8);
  for (std::uint64_t y = 0; y < 16; ++y)
    for (std::uint64_t x = 0; x < 32; ++x) {
      const float w = x >= 16 ? 1.0f : 0.0f;
      bild.SchreibePixel(x, y, TFarbe{w, w, w, 1});
    }
  return Quelm_Bild::SpeicherePNG(bild, argv[1]) ? 0 : 1;
}
