#pragma once
// The 32-bit pixel at (x, y) of an engine image or region, read and written through its pitch.
#include <cstdint>
#include <cstring>

#include "TBereich.h"

inline std::uint32_t Pixel(const TBereich& b, std::uint64_t x, std::uint64_t y) {
  std::uint32_t v;
  std::memcpy(&v, b.daten + y * b.pitch + x * 4, 4);
  return v;
}

inline void SetzePixel(const TBereich& b, std::uint64_t x, std::uint64_t y, std::uint32_t v) {
  std::memcpy(b.daten + y * b.pitch + x * 4, &v, 4);
}
