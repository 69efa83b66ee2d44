// Rasterising a TrueType font once at 24 pixels into a font's atlas.
#include "Quelm_Bild.h"
#include "Quelm_Font3D.h"
#include "Quelm_Protokolliere.h"
#include "TSpeicher.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>

namespace {
constexpr int kZelle = 24;
constexpr std::uint64_t kKratzer = 48;  // scratch image edge
}  // namespace

Quelm_Font3D* Quelm_Font3D::LadeTrueType(const std::filesystem::path& pfad) {
  const std::string name = pfad.string();
  FT_Library bibliothek = nullptr;
  if (FT_Init_FreeType(&bibliothek) != 0) return nullptr;
  struct Ende {
    FT_Library bibliothek;
    FT_Face schrift = nullptr;
    ~Ende() {
      if (schrift) FT_Done_Face(schrift);
      FT_Done_FreeType(bibliothek);
    }
  } ende{bibliothek};

  TSpeicher datei;
  if (!datei.LadeDatei(pfad, TSpeicher::Binaer)) {
    Protokolliere("!Kann Schriftart \"%s\" nicht öffnen.", name.c_str());
    return nullptr;
  }
  if (const FT_Error fehler = FT_New_Memory_Face(bibliothek, datei.daten, static_cast<FT_Long>(datei.groesse), 0,
                                                 &ende.schrift)) {
    ende.schrift = nullptr;
    Protokolliere("!Schriftart \"%s\" nicht lesbar mit Fehlercode %d.", name.c_str(), static_cast<int>(fehler));
    return nullptr;
  }
  FT_Face schrift = ende.schrift;
  if (!FT_IS_SCALABLE(schrift)) {
    Protokolliere("?Schriftart \"%s\" ist nicht frei skalierbar.", name.c_str());
    return nullptr;
  }
  if (FT_Set_Pixel_Sizes(schrift, kZelle, kZelle) != 0) return nullptr;

  auto* font = new Quelm_Font3D();
  Quelm_Bild kratzer(kKratzer, kKratzer, PXFMT_A8R8G8B8);
  const std::string& satz = Quelm::Zeichensatz();
  const char* p = satz.c_str();
  while (const std::uint32_t c = Quelm::NaechstesZeichen(p)) {
    if (FT_Load_Char(schrift, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot glyphe = schrift->glyph;
    const FT_Bitmap& bitmap = glyphe->bitmap;
    const std::uint64_t links = static_cast<std::uint64_t>(std::max(glyphe->bitmap_left, 0));
    if (bitmap.width == 0 || bitmap.rows == 0 || links + bitmap.width > kKratzer || bitmap.rows > kKratzer) continue;
    const std::uint64_t oben = static_cast<std::uint64_t>(std::max(kZelle - static_cast<int>(bitmap.rows), 0));
    std::memset(kratzer.daten, 0, kratzer.pitch * kratzer.hoehe);
    for (unsigned int y = 0; y < bitmap.rows; ++y) {
      const unsigned char* quelle = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      auto* ziel = reinterpret_cast<std::uint32_t*>(kratzer.daten + (oben + y) * kratzer.pitch) + links;
      for (unsigned int x = 0; x < bitmap.width; ++x) ziel[x] = std::uint32_t{quelle[x]} << 24 | 0xFFFFFFu;
    }
    // 26.6 fixed point: bearings toward zero, the advance shifted.
    font->AddBuchstabe(c, &kratzer, links, oben, bitmap.width, bitmap.rows,
                       static_cast<std::int32_t>(glyphe->metrics.horiBearingX / 64),
                       static_cast<std::int32_t>(glyphe->metrics.horiBearingY / 64),
                       static_cast<std::int32_t>(glyphe->metrics.horiAdvance >> 6));
  }
  return font;
}
