#include "TBereich.h"

#include "Quelm_Protokolliere.h"

#include <squish.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Truncates c x skala towards zero and saturates to 0..skala (NaN gives 0), so a value
// out of range cannot spill into the neighbouring channel.
std::uint32_t Normiert(float c, float skala) {
  const float v = c * skala;
  if (!(v > 0.0f)) return 0;
  if (v >= skala) return static_cast<std::uint32_t>(skala);
  return static_cast<std::uint32_t>(v);
}

template <typename T>
T Lies(const std::uint8_t* p) {
  T wert;
  std::memcpy(&wert, p, sizeof wert);
  return wert;
}

template <typename T>
void Schreibe(std::uint8_t* p, T wert) {
  std::memcpy(p, &wert, sizeof wert);
}

int SquishFlags(std::int32_t format) {
  switch (format) {
    case PXFMT_DXT1: return squish::kDxt1;
    case PXFMT_DXT3: return squish::kDxt3;
    default: return squish::kDxt5;
  }
}

constexpr float kDurch255 = 1.0f / 255.0f;
constexpr float kDurch65535 = 1.0f / 65535.0f;

}  // namespace

float HalbZuFloat(std::uint16_t h) {
  const std::uint32_t vorzeichen = static_cast<std::uint32_t>(h & 0x8000) << 16;
  if ((h & 0x7C00) == 0) {
    float null = 0.0f;
    std::uint32_t bits = vorzeichen;
    std::memcpy(&null, &bits, sizeof null);
    return null;
  }
  const std::uint32_t bits = vorzeichen | ((static_cast<std::uint32_t>(h & 0x7FFF) + 0x1C000) << 13);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::uint16_t FloatZuHalb(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  const auto vorzeichen = static_cast<std::uint16_t>((bits >> 16) & 0x8000);
  const std::uint32_t exponent = (bits >> 23) & 0xFF;
  if (exponent == 0xFF && (bits & 0x7FFFFF)) return vorzeichen | 0x7E00;  // NaN stays NaN
  // Below the smallest normal half (float exponent 113 = half exponent 1): zero.
  if (exponent < 113) return vorzeichen;
  // Above the largest finite half (half exponent 30), infinities included: saturate.
  if (exponent > 142) return vorzeichen | 0x7BFF;
  return vorzeichen | static_cast<std::uint16_t>(((bits & 0x7FFFFFFF) >> 13) - 0x1C000);
}

std::uint32_t PackeFarbe(const TFarbe& farbe) {
  auto kanal = [](float c) -> std::uint32_t {
    const float v = c * 255.0f + 0.51f;
    if (!(v > 0.0f)) return 0;
    return v >= 255.0f ? 255u : static_cast<std::uint32_t>(v);
  };
  return kanal(farbe.a) << 24 | kanal(farbe.r) << 16 | kanal(farbe.g) << 8 | kanal(farbe.b);
}

TBereich TBereich::LockSubBereich(std::uint64_t x, std::uint64_t y, std::uint64_t w,
                                  std::uint64_t h) const {
  std::uint64_t versatz;
  if (Quelm_IstBlockFormat(format)) {
    if ((x & 3) || (y & 3)) {
      Protokolliere(
          "!TBereich::LockSubBereich( %lld, %lld, %lld, %lld): Unterbereiche in einem DXT-komprimierten "
          "Bereich müssen durch 4 teilbare Position haben.",
          static_cast<long long>(x), static_cast<long long>(y), static_cast<long long>(w),
          static_cast<long long>(h));
      return TBereich();
    }
    versatz = y * pitch + x / 4 * Quelm_BlockBytes(format);
  } else {
    versatz = y * pitch + x * Quelm_BytesProElement(format);
  }
  return TBereich(daten ? daten + versatz : nullptr, format, w, h, pitch);
}

void TBereich::SchreibeInBereich(const TBereich& quelle, std::uint64_t x, std::uint64_t y) const {
  if (x >= breite || y >= hoehe) {
    Protokolliere("!TBereich::SchreibeInBereich( ..., %lld, %lld): Kopierbereich liegt außerhalb des Quellbereiches",
                  static_cast<long long>(x), static_cast<long long>(y));
    return;
  }
  KonvertiereFormat(quelle, LockSubBereich(x, y, breite - x, hoehe - y));
}

void TBereich::KonvertiereFormat(const TBereich& quelle, const TBereich& ziel) {
  const std::uint64_t w = std::min(quelle.breite, ziel.breite);
  const std::uint64_t h = std::min(quelle.hoehe, ziel.hoehe);
  if (w == 0 || h == 0 || !quelle.daten || !ziel.daten) return;

  if (quelle.format == ziel.format) {
    if (Quelm_IstBlockFormat(ziel.format)) {
      const std::uint64_t zeilenBytes = (w + 3) / 4 * Quelm_BlockBytes(ziel.format);
      for (std::uint64_t by = 0; by < (h + 3) / 4; ++by)
        std::memmove(ziel.daten + by * 4 * ziel.pitch, quelle.daten + by * 4 * quelle.pitch, zeilenBytes);
    } else {
      const std::uint64_t zeilenBytes = Quelm_BitsProPixel(ziel.format) * w / 8;
      for (std::uint64_t y = 0; y < h; ++y)
        std::memmove(ziel.daten + y * ziel.pitch, quelle.daten + y * quelle.pitch, zeilenBytes);
    }
    return;
  }

  if (Quelm_IstBlockFormat(ziel.format)) {
    // Scratch on the stack: conversions run on worker threads at the same time.
    std::uint8_t rgba[16 * 4];
    const int flags = SquishFlags(ziel.format);
    const std::uint64_t blockBytes = Quelm_BlockBytes(ziel.format);
    for (std::uint64_t by = 0; by < h; by += 4) {
      for (std::uint64_t bx = 0; bx < w; bx += 4) {
        // A region smaller than the block repeats its pixels into the rest of the block.
        for (std::uint64_t j = 0; j < 4; ++j) {
          for (std::uint64_t i = 0; i < 4; ++i) {
            const TFarbe c = quelle.LiesPixel((bx + i) % w, (by + j) % h);
            std::uint8_t* p = rgba + (j * 4 + i) * 4;
            p[0] = static_cast<std::uint8_t>(Normiert(c.r, 255.0f));
            p[1] = static_cast<std::uint8_t>(Normiert(c.g, 255.0f));
            p[2] = static_cast<std::uint8_t>(Normiert(c.b, 255.0f));
            p[3] = static_cast<std::uint8_t>(Normiert(c.a, 255.0f));
          }
        }
        squish::Compress(rgba, ziel.daten + by * ziel.pitch + bx / 4 * blockBytes, flags);
      }
    }
    return;
  }

  for (std::uint64_t y = 0; y < h; ++y)
    for (std::uint64_t x = 0; x < w; ++x) ziel.SchreibePixel(x, y, quelle.LiesPixel(x, y));
}

TFarbe TBereich::LiesPixel(std::uint64_t x, std::uint64_t y) const {
  if (x >= breite || y >= hoehe || !daten) return {0, 0, 0, 1};
  if (Quelm_IstBlockFormat(format)) {
    std::uint8_t rgba[16 * 4];
    squish::Decompress(rgba, daten + (y & ~std::uint64_t{3}) * pitch + x / 4 * Quelm_BlockBytes(format),
                       SquishFlags(format));
    const std::uint8_t* p = rgba + ((y % 4) * 4 + x % 4) * 4;
    return {p[0] * kDurch255, p[1] * kDurch255, p[2] * kDurch255, p[3] * kDurch255};
  }
  const std::uint8_t* p = daten + y * pitch + x * Quelm_BytesProElement(format);
  switch (format) {
    case PXFMT_A8R8G8B8: {
      const auto v = Lies<std::uint32_t>(p);
      return {((v >> 16) & 0xFF) * kDurch255, ((v >> 8) & 0xFF) * kDurch255, (v & 0xFF) * kDurch255,
              (v >> 24) * kDurch255};
    }
    case PXFMT_R16F: return {HalbZuFloat(Lies<std::uint16_t>(p)), 0, 0, 1};
    case PXFMT_G16R16F: return {HalbZuFloat(Lies<std::uint16_t>(p)), HalbZuFloat(Lies<std::uint16_t>(p + 2)), 0, 1};
    case PXFMT_A16B16G16R16F:
      return {HalbZuFloat(Lies<std::uint16_t>(p)), HalbZuFloat(Lies<std::uint16_t>(p + 2)),
              HalbZuFloat(Lies<std::uint16_t>(p + 4)), HalbZuFloat(Lies<std::uint16_t>(p + 6))};
    case PXFMT_R32F: return {Lies<float>(p), 0, 0, 1};
    case PXFMT_G32R32F: return {Lies<float>(p), Lies<float>(p + 4), 0, 1};
    case PXFMT_A32B32G32R32F: return {Lies<float>(p), Lies<float>(p + 4), Lies<float>(p + 8), Lies<float>(p + 12)};
    case PXFMT_G16R16: {
      const auto v = Lies<std::uint32_t>(p);
      return {(v & 0xFFFF) * kDurch65535, (v >> 16) * kDurch65535, 0, 1};
    }
    case PXFMT_A16B16G16R16: {
      const auto v = Lies<std::uint64_t>(p);
      return {(v & 0xFFFF) * kDurch65535, ((v >> 16) & 0xFFFF) * kDurch65535,
              ((v >> 32) & 0xFFFF) * kDurch65535, (v >> 48) * kDurch65535};
    }
    case PXFMT_A8: return {p[0] * kDurch255, 0, 0, 1};
    case PXFMT_R5G6B5: {
      // Read only: a 16-bit back buffer must read back as its colours, not as black.
      const auto v = Lies<std::uint16_t>(p);
      return {(v >> 11) * (1.0f / 31), ((v >> 5) & 63) * (1.0f / 63), (v & 31) * (1.0f / 31), 1};
    }
    default: return {0, 0, 0, 1};  // A2B10G10R10 has no per-pixel rule
  }
}

void TBereich::SchreibePixel(std::uint64_t x, std::uint64_t y, const TFarbe& c) const {
  if (x >= breite || y >= hoehe || !daten || Quelm_IstBlockFormat(format)) return;
  std::uint8_t* p = daten + y * pitch + x * Quelm_BytesProElement(format);
  switch (format) {
    case PXFMT_A8R8G8B8: Schreibe(p, PackeFarbe(c)); break;
    case PXFMT_R16F: Schreibe(p, FloatZuHalb(c.r)); break;
    case PXFMT_G16R16F:
      Schreibe(p, FloatZuHalb(c.r));
      Schreibe(p + 2, FloatZuHalb(c.g));
      break;
    case PXFMT_A16B16G16R16F:
      Schreibe(p, FloatZuHalb(c.r));
      Schreibe(p + 2, FloatZuHalb(c.g));
      Schreibe(p + 4, FloatZuHalb(c.b));
      Schreibe(p + 6, FloatZuHalb(c.a));
      break;
    case PXFMT_R32F: Schreibe(p, c.r); break;
    case PXFMT_G32R32F:
      Schreibe(p, c.r);
      Schreibe(p + 4, c.g);
      break;
    case PXFMT_A32B32G32R32F:
      Schreibe(p, c.r);
      Schreibe(p + 4, c.g);
      Schreibe(p + 8, c.b);
      Schreibe(p + 12, c.a);
      break;
    case PXFMT_G16R16: Schreibe(p, Normiert(c.g, 65535.0f) << 16 | Normiert(c.r, 65535.0f)); break;
    case PXFMT_A16B16G16R16:
      Schreibe(p, std::uint64_t{Normiert(c.a, 65535.0f)} << 48 | std::uint64_t{Normiert(c.b, 65535.0f)} << 32 |
                      std::uint64_t{Normiert(c.g, 65535.0f)} << 16 | Normiert(c.r, 65535.0f));
      break;
    case PXFMT_A8: p[0] = static_cast<std::uint8_t>(Normiert(c.r, 255.0f)); break;
    default: break;
  }
}
