// Font files ("FNTH") from arbitrary bytes: a refused file leaves the font as it was; a
// loaded one measures, lays out and queues text with every glyph it has and reads back the
// same from what it writes.
#include "Aufzeichnungskontext.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BereiteLaufVor();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  TSpeicher speicher = AlsSpeicher(daten, groesse);

  Quelm_Font3D font;
  const Quelm_BlockGfx3D* atlas = font.atlas;
  if (!font.LadeAusSpeicher(speicher, "fuzz")) {
    if (font.atlas != atlas || !font.metriken.empty() || font.hoehe != 0.0f || speicher.position != 0)
      __builtin_trap();
    return 0;
  }
  if (speicher.position > speicher.groesse || !(font.hoehe > 0.0f)) __builtin_trap();

  // The glyphs it has (at most 200), a blank and a character it lacks.
  std::string text;
  for (std::uint64_t c = 1, n = 0; c < font.metriken.size() && n < 200; ++c)
    if (font.HatGlyphe(static_cast<std::uint32_t>(c))) {
      text += Quelm::ZeichenNachUtf8(c);
      if (++n % 7 == 0) text += ' ';
    }
  text += "\n\xE2\x82\xAC x";
  const float breite = font.GetTextBreite(text.c_str());
  font.autoZeichnen = 0;
  font.SchreibeZeile(3, 4, text.c_str());
  font.ausrichtungH = Quelm_Font3D::Mitte;
  font.ausrichtungV = Quelm_Font3D::Unten;
  font.winkel = 0.3f;
  font.Schreibe(3, 4, text.c_str());
  font.SchreibeInRahmen(0, 0, 120, 80, "%s", text.c_str());
  if (font.zeilenAnfaenge.size() != font.zeilenBreiten.size()) __builtin_trap();
  font.autoZeichnen = 1;
  font.Zeichne();

  TSpeicher geschrieben;
  if (font.Speichern(geschrieben)) {
    Quelm_Font3D zurueck;
    geschrieben.position = 0;
    if (!zurueck.LadeAusSpeicher(geschrieben, "zurueck")) __builtin_trap();
    const float b = zurueck.GetTextBreite(text.c_str());
    if (b != breite && !(b != b && breite != breite)) __builtin_trap();  // NaN equals NaN here
  }
  return 0;
}
