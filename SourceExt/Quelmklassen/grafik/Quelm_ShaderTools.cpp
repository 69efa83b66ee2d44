#include "Quelm_ShaderTools.h"

#include "Basisdienste.h"
#include "PreProcess.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_System.h"
#include "TSpeicher.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

const char ShaderVorspann[] =
    "#define GRAFIK_DIRECTX 9\n"
    "#define DEF_SAMPLER_2D( name) sampler2D name\n"
    "#define DEF_SAMPLER_CUBE( name) samplerCUBE name\n"
    "#define SAMPLE_2D( name, tex) tex2D( name, tex)\n"
    "#define SAMPLE_2D_LOD( name, tex, lod) tex2Dlod( name, float4( tex.xy, 0.0f, lod))\n"
    "#define SAMPLE_CUBE( name, tex) texCUBE( name, tex)\n"
    "#define SAMPLE_CUBE_LOD( name, tex, lod) texCUBElod( name, float4( tex.xyz, lod))\n"
    "#define TEXKOORD( tex) tex\n"
    "float2 TEXKOORD_RT( float2 tex) { return float2( tex.x, 1.0f - tex.y); }\n"
    "float2 TEXKOORD_RTD( float2 texdiff) { return float2( texdiff.x, -texdiff.y); }\n"
    "#define CONST static const\n"
    "#define CONST_ARRAY_START( typ, name) static const typ name[] = {\n"
    "#define CONST_ARRAY_ENDE }\n"
    "float3x3 MachFloat3x3( float a1, float a2, float a3, float b1, float b2, float b3, float c1, float c2, "
    "float c3) { return float3x3( a1, a2, a3, b1, b2, b3, c1, c2, c3); }\n"
    "float4x4 MachFloat4x4( float a1, float a2, float a3, float a4, float b1, float b2, float b3, float b4, "
    "float c1, float c2, float c3, float c4, float d1, float d2, float d3, float d4) {\n"
    "\treturn float4x4( a1, a2, a3, a4, b1, b2, b3, b4, c1, c2, c3, c4, d1, d2, d3, d4);\n"
    "}\n"
    "float2 MachV2( float x) { return float2( x, x); }\n"
    "float3 MachV3( float x) { return float3( x, x, x); }\n"
    "float4 MachV4( float x) { return float4( x, x, x, x); }\n"
    "#line 1\n";

namespace {

void Anhaengen(TSpeicher& speicher, const char* text, std::size_t laenge) {
  speicher.Reserviere(laenge);
  std::memcpy(speicher.daten + speicher.position, text, laenge);
  speicher.position += laenge;
  speicher.groesse = std::max(speicher.groesse, speicher.position);
}

bool IstLeerraum(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool FolgtAuf(std::string_view text, std::size_t pos, std::string_view wort) {
  return text.substr(pos, wort.size()) == wort;
}

bool IstNamenszeichen(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Whether a declaration is a type and a name ("float4 p", "float2 uv[2]"), without a semantic
// of its own. The compiler reads through a null pointer on a parameter without a name or with
// two semantics.
bool HatNamen(std::string_view d) {
  if (d.find(':') != std::string_view::npos) return false;
  std::size_t e = d.size();
  auto leer = [&] {
    while (e > 0 && IstLeerraum(d[e - 1])) --e;
  };
  leer();
  while (e > 0 && d[e - 1] == ']') {  // array suffixes
    const std::size_t auf = d.rfind('[', e - 1);
    if (auf == std::string_view::npos) return false;
    e = auf;
    leer();
  }
  const std::size_t nameEnde = e;
  while (e > 0 && IstNamenszeichen(d[e - 1])) --e;
  if (e == nameEnde || e == 0 || !IstLeerraum(d[e - 1])) return false;
  leer();
  return e > 0;
}

// The declarations of the "$rein" and "$raus" lines, in order.
struct Deklarationen {
  std::vector<std::string_view> eingaben, ausgaben;
};

Deklarationen SucheDeklarationen(std::string_view text) {
  Deklarationen d;
  std::size_t pos = 0;
  while ((pos = text.find('$', pos)) != std::string_view::npos) {
    ++pos;
    const bool rein = FolgtAuf(text, pos, "rein ");
    if (!rein && !FolgtAuf(text, pos, "raus ")) continue;
    pos += 5;
    while (pos < text.size() && IstLeerraum(text[pos])) ++pos;
    const std::size_t ende = std::min(text.find(';', pos), text.size());
    auto& liste = rein ? d.eingaben : d.ausgaben;
    // Semantics are numbered by register, and the registers run out long before this.
    if (liste.size() == kMaxShaderDeklarationen) {
      Quelm_Ausnahme::Wirf(rein ? "Shader hat mehr als 16 Eingaben ($rein)."
                                : "Shader hat mehr als 16 Ausgaben ($raus).",
                           "Quelm_HighLevelShaderBasis::UebersetzeMakroSprache", __FILE__, __LINE__);
    }
    if (!HatNamen(text.substr(pos, ende - pos)))
      Quelm_Ausnahme::Wirf(rein ? "Shader-Eingabe ($rein) ohne Namen oder mit Semantik."
                                : "Shader-Ausgabe ($raus) ohne Namen oder mit Semantik.",
                           "Quelm_HighLevelShaderBasis::UebersetzeMakroSprache", __FILE__, __LINE__);
    liste.push_back(text.substr(pos, ende - pos));
    pos = ende;
  }
  return d;
}

std::string Semantik(bool pixel, bool ausgabe, std::uint32_t zaehler) {
  char puffer[32];
  if (pixel && ausgabe)
    std::snprintf(puffer, sizeof puffer, " : COLOR%u", zaehler);
  else if (!pixel && zaehler == 0)
    std::snprintf(puffer, sizeof puffer, " : POSITION0");
  else
    std::snprintf(puffer, sizeof puffer, " : TEXCOORD%u", zaehler - 1);
  return puffer;
}

std::string EinstiegsKopf(const Deklarationen& d, bool pixel) {
  std::string kopf = "void main( ";
  bool erster = true;
  auto parameter = [&](const std::vector<std::string_view>& liste, bool ausgabe) {
    // Pixel inputs start at TEXCOORD0, the vertex stage's first register being its position.
    std::uint32_t zaehler = pixel && !ausgabe ? 1 : 0;
    for (std::string_view deklaration : liste) {
      if (!erster) kopf += ", ";
      erster = false;
      if (ausgabe) kopf += "out ";
      kopf += deklaration;
      kopf += Semantik(pixel, ausgabe, zaehler);
      zaehler += Quelm_ZaehleShaderRegister(deklaration, ausgabe);
    }
  };
  parameter(d.eingaben, false);
  parameter(d.ausgaben, true);
  return kopf + ")";
}

}  // namespace

// ---------------------------------------------------------------------------------------------

char* PraeprozessorEingabe(char* puffer, int groesse, void* benutzer) {
  auto& s = *static_cast<PraeprozessorEingabeStuecke*>(benutzer);
  while (s.aktuell < 3 && s.position >= s.stuecke[s.aktuell].ende) {
    if (++s.aktuell < 3) s.position = s.stuecke[s.aktuell].anfang;
  }
  if (s.aktuell >= 3 || groesse < 2) return nullptr;
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(s.stuecke[s.aktuell].ende - s.position), groesse - 1);
  std::memcpy(puffer, s.position, n);
  puffer[n] = 0;
  s.position += n;
  return puffer;
}

void PraeprozessorAusgabe(int zeichen, void* benutzer) {
  const char c = static_cast<char>(zeichen);
  Anhaengen(*static_cast<PraeprozessorEingabeStuecke*>(benutzer)->ausgabe, &c, 1);
}

void PraeprozessorFehler(void*, const char* format, va_list argumente) { ProtokolliereZeile(format, argumente); }

std::FILE* PraeprozessorDateiOeffnen(const char* name, const char* modus) {
  return Plattform::OeffneDatei(gSystem.programmVerzeichnis / name, modus);
}

// ---------------------------------------------------------------------------------------------

std::uint32_t Quelm_ZaehleShaderRegister(std::string_view deklaration, bool ausgabe) {
  struct Regel {
    const char* text;
    std::uint32_t eingabe, ausgabe;  // 0: not searched
  };
  static constexpr Regel regeln[] = {{"float3x3", 3, 3}, {"float3x4", 4, 3}, {"float4x3", 0, 4},
                                     {"float4x4", 4, 4}, {"[2]", 2, 2},      {"[3]", 3, 3},
                                     {"[4]", 4, 4}};
  for (const Regel& r : regeln) {
    const std::uint32_t n = ausgabe ? r.ausgabe : r.eingabe;
    if (n && deklaration.find(r.text) != std::string_view::npos) return n;
  }
  return 1;
}

TSpeicher Quelm_UebersetzeShaderMakros(const char* quelle, const Quelm_ShaderDefines& defines, bool pixel) {
  std::string defineZeilen;
  for (const auto& [name, wert] : defines) defineZeilen += "#define " + name + " " + wert + "\n";

  TSpeicher vorverarbeitet;
  const char* q = quelle ? quelle : "";
  PraeprozessorEingabeStuecke stuecke{{{ShaderVorspann, ShaderVorspann + sizeof ShaderVorspann - 1},
                                       {defineZeilen.data(), defineZeilen.data() + defineZeilen.size()},
                                       {q, q + std::strlen(q)}},
                                      0,
                                      ShaderVorspann,
                                      &vorverarbeitet};
  const PreProcessTag tags[] = {PpTagText(PPTAG_INPUT_NAME, "Kavokavo"),
                                PpTagFunktion(PPTAG_INPUT, &PraeprozessorEingabe),
                                PpTagFunktion(PPTAG_OUTPUT, &PraeprozessorAusgabe),
                                PpTagFunktion(PPTAG_ERROR, &PraeprozessorFehler),
                                PpTagZeiger(PPTAG_USERDATA, &stuecke),
                                PpTagWert(PPTAG_LINE_MARKERS, 0),
                                PpTagWert(PPTAG_SHOW_BANNER, 0),
                                PpTagFunktion(PPTAG_FILE_OPEN, &PraeprozessorDateiOeffnen),
                                PpTagWert(PPTAG_END, 0)};
  // The result code is not looked at: the compiler reports what the text still lacks.
  auto zustand = std::make_unique<PreProcessState>();
  PreProcess(tags, zustand.get());
  zustand.reset();

  const std::string_view text(reinterpret_cast<const char*>(vorverarbeitet.daten), vorverarbeitet.groesse);
  const Deklarationen deklarationen = SucheDeklarationen(text);

  TSpeicher ergebnis;
  std::size_t pos = 0;
  for (std::size_t dollar; (dollar = text.find('$', pos)) != std::string_view::npos;) {
    Anhaengen(ergebnis, text.data() + pos, dollar - pos);
    pos = dollar + 1;
    if (FolgtAuf(text, pos, "rein") || FolgtAuf(text, pos, "raus")) {
      pos = std::min(text.find(';', pos), text.size() - 1) + 1;
    } else if (FolgtAuf(text, pos, "main()")) {
      // The body follows the head; the compiler crashes on an entry head left without one.
      std::size_t rumpf = pos + 6;
      while (rumpf < text.size() && IstLeerraum(text[rumpf])) ++rumpf;
      if (rumpf == text.size() || text[rumpf] != '{')
        Quelm_Ausnahme::Wirf("Auf $main() folgt kein Funktionsrumpf.", "Quelm_HighLevelShaderBasis::UebersetzeMakroSprache",
                             __FILE__, __LINE__);
      const std::string kopf = EinstiegsKopf(deklarationen, pixel);
      Anhaengen(ergebnis, kopf.data(), kopf.size());
      pos += 6;
    }
  }
  Anhaengen(ergebnis, text.data() + pos, text.size() - pos);
  Anhaengen(ergebnis, "", 1);
  return ergebnis;
}
