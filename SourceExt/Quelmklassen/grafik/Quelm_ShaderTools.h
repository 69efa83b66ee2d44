#pragma once
// The shader macro language: HLSL with a fixed prelude of macros and small functions, run
// through the engine's preprocessor, with "$rein" and "$raus" declaring the entry's inputs
// and outputs and "$main()" marking where its head goes. The shader classes reach the
// translator through Quelm_HighLevelShaderBasis::UebersetzeMakroSprache.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TSpeicher;

// (name, value) pairs; each becomes one "#define name value" line before the source.
using Quelm_ShaderDefines = std::vector<std::pair<std::string, std::string>>;

// Placed before every source; ends with "#line 1".
extern const char ShaderVorspann[];

// What the preprocessor callbacks work on: the three input pieces (prelude, define lines,
// source) served one after another, and the output buffer.
struct PraeprozessorEingabeStuecke {
  struct Stueck {
    const char* anfang;
    const char* ende;
  };
  Stueck stuecke[3];
  int aktuell = 0;
  const char* position = nullptr;
  TSpeicher* ausgabe = nullptr;
};

char* PraeprozessorEingabe(char* puffer, int groesse, void* stuecke);
void PraeprozessorAusgabe(int zeichen, void* stuecke);
void PraeprozessorFehler(void* stuecke, const char* format, va_list argumente);
// Include files are looked up below the program folder.
std::FILE* PraeprozessorDateiOeffnen(const char* name, const char* modus);

// Declarations a "$rein" or "$raus" list holds; a source with more is refused.
constexpr std::size_t kMaxShaderDeklarationen = 16;

// Macro language -> HLSL: the HLSL text followed by one zero byte. Throws Quelm_Ausnahme
// for a source with more than 16 inputs or outputs.
TSpeicher Quelm_UebersetzeShaderMakros(const char* quelle, const Quelm_ShaderDefines& defines, bool pixel);
// Registers a "$rein" (ausgabe false) or "$raus" declaration occupies.
std::uint32_t Quelm_ZaehleShaderRegister(std::string_view deklaration, bool ausgabe);
