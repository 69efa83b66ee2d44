// DDS reading: plain images and cube maps with their mip levels.
#include "Quelm_Bild.h"
#include "Quelm_Protokolliere.h"
#include "TSpeicher.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t kKopfLaenge = 128;  // magic and the 124-byte header

std::uint32_t LiesLE(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

constexpr std::uint32_t FourCC(const char (&t)[5]) {
  return std::uint32_t(std::uint8_t(t[0])) | std::uint32_t(std::uint8_t(t[1])) << 8 |
         std::uint32_t(std::uint8_t(t[2])) << 16 | std::uint32_t(std::uint8_t(t[3])) << 24;
}

// FourCC to engine format; -1 for one the engine does not know.
std::int32_t FormatAusFourCC(std::uint32_t code) {
  switch (code) {
    case 111: return PXFMT_R16F;
    case 112: return PXFMT_G16R16F;
    case 113: return PXFMT_A16B16G16R16F;
    case 114: return PXFMT_R32F;
    case 115: return PXFMT_G32R32F;
    case 116: return PXFMT_A32B32G32R32F;
    case 34: return PXFMT_G16R16;
    case 36: return PXFMT_A16B16G16R16;
    case FourCC("DXT1"): return PXFMT_DXT1;
    case FourCC("DXT3"): return PXFMT_DXT3;
    case FourCC("DXT5"): return PXFMT_DXT5;
    default: return -1;
  }
}

// One channel of a masked pixel: the mask's highest bit moves onto `oben`, the channel's top
// bit in A8R8G8B8, and the value is cut to that channel's byte.
struct Kanal {
  std::uint32_t maske = 0;
  int verschiebung = 0;  // > 0 right, < 0 left
  std::uint32_t byteMaske = 0;

  Kanal(std::uint32_t m, int oben) : maske(m), byteMaske(0xFFu << (oben - 7)) {
    if (m) verschiebung = (31 - __builtin_clz(m)) - oben;
  }
  std::uint32_t Wert(std::uint32_t v) const {
    const std::uint64_t w = v & maske;
    return static_cast<std::uint32_t>(verschiebung >= 0 ? w >> verschiebung : w << -verschiebung) & byteMaske;
  }
};

// Sizes of the levels exactly as Quelm_Bild builds its chain.
struct StufenGroesse {
  std::uint64_t breite, hoehe;
  void Naechste() {
    breite = std::max<std::uint64_t>(breite / 2, 1);
    hoehe = std::max<std::uint64_t>(hoehe / 2, 1);
  }
};

}  // namespace

bool Quelm_Bild::LadeDDS(Quelm_Bild& bild, TSpeicher& q) {
  const std::uint64_t rest = q.position < q.groesse ? q.groesse - q.position : 0;
  const std::uint8_t* k = q.daten + q.position;
  if (rest < 4 || (std::memcmp(k, "DDS ", 4) != 0 && std::memcmp(k, "KVZQ", 4) != 0)) {
    Protokolliere("!Quelm_Bild::LadeDDS(): Datei ist keine DDS-Datei.");
    return false;
  }
  if (rest < kKopfLaenge || LiesLE(k + 4) != 124 || !(LiesLE(k + 8) & 0x1007)) {
    Protokolliere("!Quelm_Bild::LadeDDS(): Ungültiger DDS-Header.");
    return false;
  }
  const std::uint32_t flags = LiesLE(k + 8);
  const std::uint64_t hoehe = LiesLE(k + 12);
  const std::uint64_t breite = LiesLE(k + 16);
  const std::uint32_t mipFeld = LiesLE(k + 28);
  const std::uint32_t pfFlags = LiesLE(k + 80);
  const std::uint32_t fourCC = LiesLE(k + 84);
  const std::uint32_t bitAnzahl = LiesLE(k + 88);
  const std::uint32_t masken[4] = {LiesLE(k + 92), LiesLE(k + 96), LiesLE(k + 100), LiesLE(k + 104)};
  const std::uint32_t caps = LiesLE(k + 108);
  const std::uint32_t caps2 = LiesLE(k + 112);

  std::uint64_t stufen = mipFeld != 0 && (flags & 0x20000) && (caps & 0x400000) ? mipFeld : 1;
  const bool cube = (caps & 0x8) && (caps2 & 0x200) && (caps2 & 0xFC00) == 0xFC00;

  std::int32_t format = PXFMT_A8R8G8B8;
  std::uint64_t bpp = 0;  // bytes per file pixel of the masked formats
  if (pfFlags & 0x4) {
    format = FormatAusFourCC(fourCC);
    if (format < 0) {
      Protokolliere("!Quelm_Bild::LadeDDS(): Pixelformat %08x wird nicht unterstützt.", fourCC);
      return false;
    }
  } else {
    if (bitAnzahl == 0 || bitAnzahl > 32 || bitAnzahl % 8) {
      Protokolliere("!Quelm_Bild::LadeDDS(): Ungültiger DDS-Header.");
      return false;
    }
    bpp = bitAnzahl / 8;
  }
  if (cube && breite != hoehe) {
    Protokolliere("!Quelm_Bild::LadeDDS(): Seiten einer CubeMap müssen quadratisch sein.");
    return false;
  }

  // More levels than the full chain down to 1 x 1 would only repeat 1 x 1 levels.
  std::uint64_t volleKette = 0;
  for (std::uint64_t b = breite, h = hoehe; b || h; b /= 2, h /= 2) ++volleKette;
  stufen = std::min(stufen, std::max<std::uint64_t>(volleKette, 1));

  // Every level of every face must lie in the file before anything is allocated.
  const std::uint64_t seitenAnzahl = cube ? 6 : 1;
  std::uint64_t proSeite = 0;
  StufenGroesse g{breite, hoehe};
  for (std::uint64_t l = 0; l < stufen; ++l, g.Naechste()) {
    std::uint64_t n;
    std::uint64_t pixel;
    const bool passt = bpp ? !__builtin_mul_overflow(g.breite, g.hoehe, &pixel) &&
                                 !__builtin_mul_overflow(pixel, bpp, &n)
                           : Quelm_Datengroesse(format, g.breite, g.hoehe, n);
    if (!passt) n = UINT64_MAX;
    proSeite = n > UINT64_MAX - proSeite ? UINT64_MAX : proSeite + n;
  }
  std::uint64_t gesamt;
  if (__builtin_mul_overflow(proSeite, seitenAnzahl, &gesamt) || gesamt > rest - kKopfLaenge) {
    Protokolliere("!Quelm_Bild::LadeDDS(): Datei ist kürzer als ihre Bilddaten.");
    return false;
  }

  if (cube)
    bild.SetCubeMapGroesse(hoehe, format, stufen);
  else
    bild.SetGroesse(breite, hoehe, format, stufen);
  if (bild.breite != breite || bild.hoehe != hoehe || bild.format != format || bild.mipAnzahl != stufen)
    return false;  // a face or level that may not be resized; it has said so

  const bool genau = bpp == 4 && masken[0] == 0x00FF0000 && masken[1] == 0x0000FF00 && masken[2] == 0x000000FF &&
                     masken[3] == 0xFF000000;
  const Kanal rot(masken[0], 23), gruen(masken[1], 15), blau(masken[2], 7), alpha(masken[3], 31);

  // The file's faces +X, -X, +Y, -Y, +Z, -Z go to these slots; -X is the base face.
  static constexpr int kSlot[6] = {2, 3, 0, 1, 4, 5};
  const std::uint8_t* ein = k + kKopfLaenge;
  for (std::uint64_t s = 0; s < seitenAnzahl; ++s) {
    Quelm_Bild* seite = cube ? bild.seiten[kSlot[s]] : &bild;
    for (std::uint64_t l = 0; l < stufen; ++l) {
      Quelm_Bild* stufe = seite->GibMipStufe(l);
      const TBereich ziel = stufe->LockSubBereich(0, 0, stufe->breite, stufe->hoehe);
      if (!bpp) {
        const std::uint64_t n = ziel.pitch * Quelm_Zeilen(format, ziel.hoehe);
        if (n) std::memcpy(ziel.daten, ein, n);
        ein += n;
      } else if (genau) {
        const std::uint64_t n = ziel.hoehe * ziel.breite * 4;
        if (n) std::memcpy(ziel.daten, ein, n);
        ein += n;
      } else if (ziel.breite > 0) {  // a zero width must not cost a loop over every row
        for (std::uint64_t y = 0; y < ziel.hoehe; ++y) {
          std::uint8_t* zeile = ziel.daten + y * ziel.pitch;
          for (std::uint64_t x = 0; x < ziel.breite; ++x, ein += bpp) {
            std::uint32_t v = 0;
            for (std::uint64_t i = 0; i < bpp; ++i) v |= std::uint32_t(ein[i]) << (8 * i);
            const std::uint32_t farbe =
                (masken[3] ? alpha.Wert(v) : 0xFF000000u) | rot.Wert(v) | gruen.Wert(v) | blau.Wert(v);
            std::memcpy(zeile + x * 4, &farbe, 4);
          }
        }
      }
    }
  }
  q.position = static_cast<std::uint64_t>(ein - q.daten);
  return true;
}
