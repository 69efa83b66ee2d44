#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

// A named, typed setting that keeps its text and all typed forms in step. Each variable is
// a global that registers itself; the registry points to it and does not own it.
struct Quelm_KonsolenVariable {
  enum Typ : std::uint32_t { String = 0, Bool = 1, Int = 2, Float = 3, Vektor3 = 4, Vektor4 = 5 };
  enum Flag : std::uint32_t { Schreibgeschuetzt = 1, Dauerhaft = 2 };
  // Phase 0 before a change (false refuses it), phase 1 after it (result ignored).
  using Rueckruf = bool (*)(Quelm_KonsolenVariable* variable, int phase, const std::string& text);
  // A default is set with the setter of its kind: bool SetzeBool, int SetzeInt, text SetzeText.
  using Standardwert = std::variant<bool, std::int32_t, const char*>;

  std::string name;
  std::uint32_t typ = String;
  std::uint32_t flags = 0;
  Rueckruf rueckruf = nullptr;
  std::string text;
  std::int32_t wertInt = 0;
  float wertFloat = 0.0f;
  bool wertBool = false;
  float wertV3[3] = {0, 0, 0};
  float wertV4[4] = {0, 0, 0, 0};

  Quelm_KonsolenVariable() = default;
  // The definition pattern: name, type and flags, the default through its setter, only then
  // the callback (so no callback sees the default), then registration.
  Quelm_KonsolenVariable(const char* name, Typ typ, std::uint32_t flags, Standardwert standard,
                         Rueckruf rueckruf = nullptr);

  // A text that is no value of the variable's kind (int, float, vectors) is refused with a
  // log line; the variable keeps its value. Strings and bools take any text.
  void SetzeText(const char* neuerText);
  bool PasstZumTyp(const std::string& kandidat) const;
  void SetzeBool(bool b);
  void SetzeInt(std::int32_t i);
  // Rebuilds `text` from the typed form of the variable's own type.
  void AktualisiereText();

  static void Registriere(Quelm_KonsolenVariable* variable);
  static Quelm_KonsolenVariable* Finde(const std::string& name);
  // All variables in byte order of their names; null before the first registration.
  static const std::map<std::string, Quelm_KonsolenVariable*>* Alle();
};

// A named console command with a handler that takes the argument text.
struct Quelm_KonsolenBefehl {
  using Handler = void (*)(const std::string& argumente);
  std::string name;
  Handler ausfuehren = nullptr;

  // Registers the command; a second command of the same name replaces the first.
  Quelm_KonsolenBefehl(const char* name, Handler ausfuehren);

  static Quelm_KonsolenBefehl* Finde(const std::string& name);
  static const std::map<std::string, Quelm_KonsolenBefehl*>* Alle();
};

namespace Quelm_Konsole {

// Words of a console line and each word's value read as a decimal number (atof).
struct WortListe {
  std::vector<std::string> woerter;
  std::vector<float> werte;
};

WortListe ZerlegeZeile(const std::string& text);
void FuegeWortHinzu(WortListe& liste, const std::string& text, std::size_t start, std::size_t laenge);

void BefehlSet(const std::string& argumente);
void BefehlHelp(const std::string& argumente);

}  // namespace Quelm_Konsole
