#include "Quelm_Font3D.h"

#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Protokolliere.h"
#include "TSegmentLeser.h"
#include "TSpeicher.h"
#include "TSpeicherSchreiber.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {
constexpr std::uint32_t kFnth = TSegmentLeser::Kennung("FNTH");
constexpr std::uint32_t kBlkg = TSegmentLeser::Kennung("BLKG");
constexpr std::uint32_t kFnthVersion = 258;
constexpr std::size_t kEllipseRaum = 4;  // "..." and its zero
}  // namespace

namespace Quelm {

std::string ZeichenNachUtf8(std::uint64_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18 & 0x07));
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::uint32_t NaechstesZeichen(const char*& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const std::uint32_t lead = p[0];
  if (lead == 0) return 0;
  int folge;
  std::uint32_t c;
  if (lead < 0xC0) {
    folge = 0;
    c = lead;
  } else if (lead < 0xE0) {
    folge = 1;
    c = lead & 0x1F;
  } else if (lead < 0xF0) {
    folge = 2;
    c = lead & 0x0F;
  } else {
    folge = 3;
    c = lead & 0x07;
  }
  for (int i = 1; i <= folge; ++i) {
    if (p[i] == 0) {  // cut short: the text ends here
      text += i;
      return 0;
    }
    c = c << 6 | (p[i] & 0x3F);
  }
  text += folge + 1;
  return c;
}

const std::string& Zeichensatz() {
  static const std::string satz = [] {
    static constexpr std::uint32_t bereiche[][2] = {
        {0x27, 0x27},     {0x21, 0x26},     {0x28, 0x3C},     {0x3E, 0x5F},     {0x61, 0x7A},     {0x7E, 0x7E},
        {0xA1, 0xA1},     {0xA7, 0xA7},     {0xB0, 0xB0},     {0xBF, 0xC7},     {0xC9, 0xCA},     {0xCD, 0xCD},
        {0xD1, 0xD1},     {0xD3, 0xD6},     {0xD8, 0xD8},     {0xDA, 0xDA},     {0xDC, 0xDC},     {0xDF, 0xE7},
        {0xE9, 0xEA},     {0xED, 0xED},     {0xF1, 0xF1},     {0xF3, 0xF6},     {0xF8, 0xF8},     {0xFA, 0xFA},
        {0xFC, 0xFD},     {0x104, 0x107},   {0x10D, 0x10D},   {0x10F, 0x10F},   {0x118, 0x119},   {0x11B, 0x11B},
        {0x11E, 0x11F},   {0x130, 0x131},   {0x141, 0x144},   {0x148, 0x148},   {0x159, 0x15B},   {0x15E, 0x15F},
        {0x161, 0x161},   {0x165, 0x165},   {0x16F, 0x16F},   {0x179, 0x17C},   {0x17E, 0x17E},   {0x401, 0x401},
        {0x410, 0x44F},   {0x451, 0x451}};
    std::string s;
    for (const auto& b : bereiche)
      for (std::uint32_t c = b[0]; c <= b[1]; ++c) s += ZeichenNachUtf8(c);
    return s;
  }();
  return satz;
}

}  // namespace Quelm

Quelm_Font3D::Quelm_Font3D() : atlas(new Quelm_BlockGfx3D(0, 0, 0)), textPuffer_(kTextPuffer + kEllipseRaum, 0) {}

Quelm_Font3D::~Quelm_Font3D() { delete atlas; }

bool Quelm_Font3D::HatGlyphe(std::uint32_t c) const { return c < metriken.size() && atlas->HatGrafik(c); }

float Quelm_Font3D::Schritt(std::uint32_t c) const {
  if (!HatGlyphe(c)) return groesse * 0.3f;
  return static_cast<float>(metriken[c].vorschub) * skalierung + groesse * abstand;
}

float Quelm_Font3D::GetTextBreite(const char* text) const {
  float breite = 0.0f;
  if (!text) return breite;
  while (const std::uint32_t c = Quelm::NaechstesZeichen(text)) breite += Schritt(c);
  return breite;
}

void Quelm_Font3D::SchreibeZeile(float x, float y, const char* text) {
  if (!text) return;
  const float penY = y - (hoehe > 0.0f ? 4.0f * groesse / hoehe : 0.0f);
  float s = 0.0f, k = 1.0f;
  if (winkel != 0.0f) {
    s = std::sin(winkel);
    k = std::cos(winkel);
  }
  float px = x, py = penY;
  while (const std::uint32_t c = Quelm::NaechstesZeichen(text)) {
    if (HatGlyphe(c)) {
      const Quelm_BuchstabenInfo& m = metriken[c];
      const Quelm_BlockGrafik& g = atlas->eintraege[c];
      atlas->ZeichneGrafik(c, px + static_cast<float>(m.offsetX) * skalierung,
                           py + static_cast<float>(m.offsetY) * skalierung, farbe,
                           static_cast<float>(g.w) * skalierung, static_cast<float>(g.h) * skalierung, winkel);
    }
    const float schritt = Schritt(c);
    px += schritt * k;
    py += schritt * s;
  }
}

void Quelm_Font3D::Flush() {
  if (autoZeichnen && !atlas->instanzen.empty()) {
    atlas->BereiteZeichnenVor();
    atlas->ZeichneInstanzen();
  }
}

void Quelm_Font3D::Schreibe(float x, float y, const char* text) {
  if (ausrichtungH != Links || ausrichtungV != Oben) {
    const float s = std::sin(winkel), k = std::cos(winkel);
    if (ausrichtungV == Unten) {
      x += groesse * s;
      y -= groesse * k;
    } else if (ausrichtungV == VMitte) {
      x += 0.5f * groesse * s;
      y -= 0.5f * groesse * k;
    }
    if (ausrichtungH != Links) {
      const float w = GetTextBreite(text);
      const float teil = ausrichtungH == Mitte ? 0.5f : 1.0f;
      x -= teil * w * k;
      y -= teil * w * s;
    }
  }
  SchreibeZeile(x, y, text);
  Flush();
}

void Quelm_Font3D::SchreibeFormat(float x, float y, const char* format, ...) {
  va_list argumente;
  va_start(argumente, format);
  std::vsnprintf(textPuffer_.data(), kTextPuffer, format, argumente);
  va_end(argumente);
  Schreibe(x, y, textPuffer_.data());
}

void Quelm_Font3D::SchreibeInRahmen(float x, float y, float w, float h, const char* format, ...) {
  va_list argumente;
  va_start(argumente, format);
  std::vsnprintf(textPuffer_.data(), kTextPuffer, format, argumente);
  va_end(argumente);
  char* const text = textPuffer_.data();

  const float ellipse = GetTextBreite("...");
  const float zeilenHoehe = skalierung * hoehe;
  const float anteil = zeilenHoehe > 0.0f ? h / zeilenHoehe : 1.0f;
  const std::size_t maxZeilen = static_cast<std::size_t>(std::min(std::max(anteil, 1.0f), 1e6f));
  zeilenAnfaenge.clear();
  zeilenBreiten.clear();

  const char* p = text;
  const char* inhaltEnde = text;  // end of the last line without the blank it broke at
  bool fertig = false;
  for (std::size_t i = 0; i < maxZeilen && !fertig; ++i) {
    zeilenAnfaenge.push_back(static_cast<std::size_t>(p - text));
    const float verfuegbar = i + 1 == maxZeilen ? std::max(w - ellipse, ellipse) : w;
    const char* umbruch = nullptr;
    const char* umbruchVor = nullptr;
    float umbruchBreite = 0.0f, breite = 0.0f;
    const char* ende = p;
    while (verfuegbar > 0.0f) {
      const char* vorher = ende;
      const std::uint32_t c = Quelm::NaechstesZeichen(ende);
      if (c == 0) {
        ende = vorher;
        umbruch = nullptr;
        fertig = true;
        break;
      }
      if (c == '\n') {
        umbruch = nullptr;
        break;
      }
      const float schritt = Schritt(c);
      if (breite + schritt > verfuegbar) {
        // A blank that does not fit still ends the line after all it holds.
        if (!HatGlyphe(c)) {
          umbruch = ende;
          umbruchVor = vorher;
          umbruchBreite = breite;
        } else {
          ende = vorher;
        }
        break;
      }
      if (!HatGlyphe(c)) {
        umbruch = ende;
        umbruchVor = vorher;
        umbruchBreite = breite;
      }
      breite += schritt;
      if (breite == verfuegbar) break;
    }
    inhaltEnde = ende > p && ende[-1] == '\n' ? ende - 1 : ende;
    if (umbruch) {
      ende = umbruch;
      inhaltEnde = umbruchVor;
      breite = umbruchBreite;
    }
    zeilenBreiten.push_back(breite);
    p = ende;
  }
  // The last line the box holds ends in "..." when text remains (the buffer keeps room),
  // right after its last word, so that its drawn width is the one measured.
  if (!fertig && *p != 0) {
    char* stelle = text + (inhaltEnde - text);
    std::copy_n("...", 4, stelle);
    zeilenBreiten.back() += ellipse;
  }

  const float n = static_cast<float>(zeilenAnfaenge.size());
  if (ausrichtungV == VMitte) y += (h - n * zeilenHoehe - (n - 1.0f)) * 0.5f;
  else if (ausrichtungV == Unten) y += h - n * zeilenHoehe - (n - 1.0f);
  for (std::size_t j = 0; j < zeilenAnfaenge.size(); ++j) {
    char* naechste = j + 1 < zeilenAnfaenge.size() ? text + zeilenAnfaenge[j + 1] : nullptr;
    const char gemerkt = naechste ? *naechste : 0;
    if (naechste) *naechste = 0;
    float zx = x;
    if (ausrichtungH == Mitte) zx += (w - zeilenBreiten[j]) * 0.5f;
    else if (ausrichtungH == Rechts) zx += w - zeilenBreiten[j];
    SchreibeZeile(zx, y + static_cast<float>(j) * (zeilenHoehe + 1.0f), text + zeilenAnfaenge[j]);
    if (naechste) *naechste = gemerkt;
  }
  Flush();
}

void Quelm_Font3D::Zeichne() {
  atlas->pivotMitte = 0;
  atlas->Zeichne();
}

// --- Font files ------------------------------------------------------------------------------

bool Quelm_Font3D::Laden(const std::filesystem::path& pfad) {
  TSpeicher speicher;
  const std::string name = pfad.string();
  if (!speicher.LadeDatei(pfad, TSpeicher::Binaer)) {
    Protokolliere("!Quelm_Font3D::Laden( \"%s\"): Datei konnte nicht gelesen werden.", name.c_str());
    return false;
  }
  return LadeAusSpeicher(speicher, name.c_str());
}

bool Quelm_Font3D::LadeAusSpeicher(TSpeicher& speicher, const char* name) {
  const std::uint64_t start = speicher.position;
  TSegmentLeser l(speicher);
  if (l.LeseU32() != kFnth) {
    speicher.position = start;
    Protokolliere("!Quelm_Font3D::Laden( \"%s\"): Header ist ungültig.", name);
    return false;
  }
  const std::uint32_t version = l.LeseU32();
  const float zelle = l.LeseF32();
  // Atlas and metrics are read aside, so a damaged file leaves the font as it was.
  auto neuerAtlas = std::make_unique<Quelm_BlockGfx3D>(0, 0, 0);
  // A cell height of 0 would divide every line offset by zero.
  bool gut = !l.fehler && std::isfinite(zelle) && zelle > 0.0f && l.LeseU32() == kBlkg && !l.fehler;
  gut = gut && neuerAtlas->Laden(speicher);
  std::uint64_t anzahl = 256;
  if (gut && version >= 258) anzahl = l.LeseU32();
  gut = gut && !l.fehler && (version < 257 || anzahl <= l.Rest() / 12);
  // Every glyph of the atlas needs its metrics.
  for (std::uint64_t id = anzahl; gut && id < neuerAtlas->eintraege.size(); ++id) gut = !neuerAtlas->HatGrafik(id);
  if (!gut) {
    speicher.position = start;
    Protokolliere("!Quelm_Font3D::Laden( \"%s\"): Schriftdaten sind unvollständig oder fehlerhaft.", name);
    return false;
  }
  std::vector<Quelm_BuchstabenInfo> neueMetriken(anzahl);
  for (std::uint64_t i = 0; i < anzahl; ++i) {
    Quelm_BuchstabenInfo& m = neueMetriken[i];
    if (version >= 257) {
      m.offsetX = static_cast<std::int32_t>(l.LeseU32());
      m.offsetY = static_cast<std::int32_t>(l.LeseU32());
      m.vorschub = static_cast<std::int32_t>(l.LeseU32());
    } else {
      m.vorschub = neuerAtlas->HatGrafik(i) ? static_cast<std::int32_t>(neuerAtlas->eintraege[i].w) : 0;
    }
  }
  delete atlas;
  atlas = neuerAtlas.release();
  metriken = std::move(neueMetriken);
  hoehe = groesse = zelle;
  skalierung = 1.0f;
  return true;
}

bool Quelm_Font3D::Speichern(TSpeicher& speicher) const {
  TSpeicherSchreiber s(speicher);
  s.U32(kFnth);
  s.U32(kFnthVersion);
  s.F32(hoehe);
  s.U32(kBlkg);
  if (!atlas->Speichern(speicher)) return false;
  const std::uint64_t anzahl = std::max<std::uint64_t>(metriken.size(), atlas->eintraege.size());
  s.U32(static_cast<std::uint32_t>(anzahl));
  for (std::uint64_t i = 0; i < anzahl; ++i) {
    const Quelm_BuchstabenInfo m = i < metriken.size() ? metriken[i] : Quelm_BuchstabenInfo{};
    s.U32(static_cast<std::uint32_t>(m.offsetX));
    s.U32(static_cast<std::uint32_t>(m.offsetY));
    s.U32(static_cast<std::uint32_t>(m.vorschub));
  }
  return true;
}

bool Quelm_Font3D::AddBuchstabe(std::uint32_t c, const Quelm_Bild* bild, std::uint64_t x, std::uint64_t y,
                                std::uint64_t w, std::uint64_t h, std::int32_t lagerX, std::int32_t lagerY,
                                std::int32_t vorschub) {
  if (hoehe == 0.0f) {
    hoehe = groesse = 24.0f;
    skalierung = 1.0f;
  }
  if (hoehe != 24.0f) {
    Protokolliere(
        "!Quelm_Font3D::AddBuchstabe( '%c', ..., %d, %d, %d, %d): Neuer Buchstabe hat abweichende Höhe (%d anstatt %d).",
        static_cast<int>(c), static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h),
        static_cast<int>(hoehe), 24);
    return false;
  }
  if (!atlas->AddGrafik(c, bild, x, y, w, h)) return false;
  if (c >= metriken.size()) metriken.resize(std::bit_ceil(std::uint64_t{c} + 1));
  metriken[c] = {lagerX, std::max(24 - lagerY, 0), vorschub};
  return true;
}
