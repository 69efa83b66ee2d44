#pragma once
// A rectangle of pixels in memory it does not own. Every pixel transfer of the engine
// goes through it: image levels, texture contents, atlas pictures, screenshots.
#include "Quelm_PixelFormat.h"

#include <cstdint>

// A colour inside conversions: r, g, b, a, nominally 0 to 1.
struct TFarbe {
  float r = 0, g = 0, b = 0, a = 0;
};

class TBereich {
 public:
  std::uint8_t* daten = nullptr;  // first pixel; for block formats the first byte of the first block
  std::int32_t format = 0;        // Quelm_PixelFormat
  std::uint64_t breite = 0;
  std::uint64_t hoehe = 0;
  std::uint64_t pitch = 0;  // bytes from one pixel row to the next; a quarter block row for DXT

  TBereich() = default;
  TBereich(std::uint8_t* daten, std::int32_t format, std::uint64_t breite, std::uint64_t hoehe,
           std::uint64_t pitch)
      : daten(daten), format(format), breite(breite), hoehe(hoehe), pitch(pitch) {}

  // The sub-rectangle at (x, y) with the same data and pitch. Block formats need x and y
  // on block boundaries; otherwise an empty region comes back.
  TBereich LockSubBereich(std::uint64_t x, std::uint64_t y, std::uint64_t w, std::uint64_t h) const;

  // Copies `quelle` into this region at (x, y), converting the format; clipped to the room left.
  void SchreibeInBereich(const TBereich& quelle, std::uint64_t x, std::uint64_t y) const;

  // Copies the overlapping top-left min(widths) x min(heights) pixels, converting the format.
  static void KonvertiereFormat(const TBereich& quelle, const TBereich& ziel);

  // Outside the region: (0, 0, 0, 1).
  TFarbe LiesPixel(std::uint64_t x, std::uint64_t y) const;
  // Outside the region: nothing. Block formats are written only through KonvertiereFormat.
  void SchreibePixel(std::uint64_t x, std::uint64_t y, const TFarbe& farbe) const;
};

// A8R8G8B8 packing of a float colour; each channel rounds with +0.51 and saturates to 0..255.
std::uint32_t PackeFarbe(const TFarbe& farbe);

// Half-precision conversion as the engine's float formats store it. Subnormal halves read
// as signed zero; floats too small for a normal half become signed zero, too large ones
// saturate to the largest finite half.
float HalbZuFloat(std::uint16_t h);
std::uint16_t FloatZuHalb(float f);
