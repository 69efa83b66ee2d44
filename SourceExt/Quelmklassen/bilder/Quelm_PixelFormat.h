#pragma once
// The engine's pixel formats and the size arithmetic every image and region shares.
#include <cstdint>

enum Quelm_PixelFormat : std::int32_t {
  PXFMT_A8R8G8B8 = 0,
  PXFMT_R5G6B5 = 1,
  PXFMT_A2B10G10R10 = 2,
  PXFMT_R16F = 3,
  PXFMT_G16R16F = 4,
  PXFMT_A16B16G16R16F = 5,
  PXFMT_R32F = 6,
  PXFMT_G32R32F = 7,
  PXFMT_A32B32G32R32F = 8,
  PXFMT_G16R16 = 9,
  PXFMT_A16B16G16R16 = 10,
  PXFMT_DXT1 = 11,
  PXFMT_DXT3 = 12,
  PXFMT_DXT5 = 13,
  PXFMT_A8 = 14,
  PXFMT_ANZAHL = 15
};

// Bits per pixel; 0 for a value outside the table, so such a format sizes to nothing.
constexpr std::uint64_t Quelm_BitsProPixel(std::int32_t format) {
  constexpr std::uint8_t bits[PXFMT_ANZAHL] = {32, 16, 32, 16, 32, 64, 32, 64, 128, 32, 64, 4, 8, 8, 8};
  return format >= 0 && format < PXFMT_ANZAHL ? bits[format] : 0;
}

// Bytes from one pixel to the next in a row (not meaningful for the block formats).
constexpr std::uint64_t Quelm_BytesProElement(std::int32_t format) {
  constexpr std::uint8_t bytes[PXFMT_ANZAHL] = {4, 2, 4, 2, 4, 8, 4, 8, 16, 4, 8, 1, 1, 1, 1};
  return format >= 0 && format < PXFMT_ANZAHL ? bytes[format] : 0;
}

constexpr bool Quelm_IstBlockFormat(std::int32_t format) {
  return format >= PXFMT_DXT1 && format <= PXFMT_DXT5;
}

// Bytes of one 4x4 block of a block format.
constexpr std::uint64_t Quelm_BlockBytes(std::int32_t format) { return format == PXFMT_DXT1 ? 8 : 16; }

// Bytes per pixel row. Block formats count whole blocks, so the width is raised to a
// multiple of 4; one pitch is then a quarter of a block row.
constexpr std::uint64_t Quelm_Pitch(std::int32_t format, std::uint64_t breite) {
  if (Quelm_IstBlockFormat(format)) breite = (breite + 3) & ~std::uint64_t{3};
  return Quelm_BitsProPixel(format) * breite / 8;
}

// Rows a pixel array holds: block formats store whole block rows.
constexpr std::uint64_t Quelm_Zeilen(std::int32_t format, std::uint64_t hoehe) {
  return Quelm_IstBlockFormat(format) ? (hoehe + 3) & ~std::uint64_t{3} : hoehe;
}

// Size of the pixel array of one level; false when it does not fit into 64 bits.
inline bool Quelm_Datengroesse(std::int32_t format, std::uint64_t breite, std::uint64_t hoehe,
                               std::uint64_t& groesse) {
  if (breite > (std::uint64_t{1} << 56) || hoehe > ~std::uint64_t{0} - 3) return false;
  return !__builtin_mul_overflow(Quelm_Pitch(format, breite), Quelm_Zeilen(format, hoehe), &groesse);
}
