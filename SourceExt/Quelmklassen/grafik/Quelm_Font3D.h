#pragma once
// Text as sprites: every glyph is a graphic of the font's own atlas under its code point,
// every drawn character one atlas instance. Fonts come from a font file ("FNTH") or are
// rasterised once from a TrueType file at 24 pixels.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class Quelm_BlockGfx3D;
class Quelm_Bild;
class TSpeicher;

struct Quelm_BuchstabenInfo {
  std::int32_t offsetX = 0, offsetY = 0;  // pixels at scale 1 from the pen to the graphic
  std::int32_t vorschub = 0;
};

namespace Quelm {
// UTF-8 of one code point (1 to 4 bytes).
std::string ZeichenNachUtf8(std::uint64_t codepunkt);
// Decodes the character at `text` and moves past it; 0 at the end of the text, which it
// never moves past, also when a sequence is cut short by it.
std::uint32_t NaechstesZeichen(const char*& text);
// The characters a TrueType font is rasterised for, in atlas order (UTF-8).
const std::string& Zeichensatz();
}  // namespace Quelm

class Quelm_Font3D {
 public:
  static constexpr std::size_t kTextPuffer = 10000;
  enum : std::uint32_t { Links = 0, Mitte = 1, Rechts = 2 };
  enum : std::uint32_t { Oben = 0, VMitte = 4, Unten = 8 };

  float hoehe = 0.0f;  // cell height the glyphs were made for
  float groesse = 0.0f;
  float skalierung = 1.0f;
  float abstand = 0.1f;  // extra space after every glyph, times size
  float farbe[4] = {1, 1, 1, 1};
  std::uint32_t ausrichtungH = Links;
  std::uint32_t ausrichtungV = Oben;
  float winkel = 0.0f;
  std::vector<Quelm_BuchstabenInfo> metriken;  // by code point
  std::uint8_t autoZeichnen = 1;
  Quelm_BlockGfx3D* atlas;

  Quelm_Font3D();
  ~Quelm_Font3D();
  Quelm_Font3D(const Quelm_Font3D&) = delete;
  Quelm_Font3D& operator=(const Quelm_Font3D&) = delete;

  bool Laden(const std::filesystem::path& pfad);
  // Reads an "FNTH" font at the buffer's position; false leaves the font as it was.
  bool LadeAusSpeicher(TSpeicher& speicher, const char* name);
  // Writes the font as an "FNTH" file image.
  bool Speichern(TSpeicher& speicher) const;
  static Quelm_Font3D* LadeTrueType(const std::filesystem::path& pfad);
  bool AddBuchstabe(std::uint32_t codepunkt, const Quelm_Bild* bild, std::uint64_t x, std::uint64_t y,
                    std::uint64_t w, std::uint64_t h, std::int32_t lagerX, std::int32_t lagerY,
                    std::int32_t vorschub);

  bool HatGlyphe(std::uint32_t codepunkt) const;
  float GetTextBreite(const char* text) const;
  void SchreibeZeile(float x, float y, const char* text);
  void Schreibe(float x, float y, const char* text);
  void SchreibeFormat(float x, float y, const char* format, ...) __attribute__((format(printf, 4, 5)));
  void SchreibeInRahmen(float x, float y, float w, float h, const char* format, ...)
      __attribute__((format(printf, 6, 7)));
  void Zeichne();

  // The last box layout: line starts (offsets into the text buffer) and widths.
  std::vector<std::size_t> zeilenAnfaenge;
  std::vector<float> zeilenBreiten;
  const char* Textpuffer() const { return textPuffer_.data(); }

 private:
  float Schritt(std::uint32_t codepunkt) const;
  void Flush();
  // With room for an ellipsis and its zero behind the longest text.
  std::vector<char> textPuffer_;
};
