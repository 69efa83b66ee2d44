#include "Quelm_Konsole.h"

#include "Quelm_InitReihenfolge.h"
#include "Quelm_Protokoll.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace {
// Created by the first registration; destroyed at exit after every record (the
// destructors below are registered before any variable or command is built).
std::map<std::string, Quelm_KonsolenVariable*>* variablen = nullptr;
std::map<std::string, Quelm_KonsolenBefehl*>* befehle = nullptr;

struct BefehlsregisterEnde {
  ~BefehlsregisterEnde() {
    delete befehle;
    befehle = nullptr;
  }
};
struct VariablenregisterEnde {
  ~VariablenregisterEnde() {
    delete variablen;
    variablen = nullptr;
  }
};
QUELM_INIT(QUELM_SLOT_BEFEHLSREGISTER) BefehlsregisterEnde befehlsregisterEnde;
QUELM_INIT(QUELM_SLOT_VARIABLENREGISTER) VariablenregisterEnde variablenregisterEnde;

std::string Formatiere(const char* format, double a, double b, double c, double d, int anzahl) {
  char puffer[256];
  if (anzahl == 3)
    std::snprintf(puffer, sizeof puffer, format, a, b, c);
  else
    std::snprintf(puffer, sizeof puffer, format, a, b, c, d);
  return puffer;
}
std::string_view OhneRandLeer(std::string_view text) {
  const std::size_t anfang = text.find_first_not_of(" \t");
  if (anfang == std::string_view::npos) return {};
  return text.substr(anfang, text.find_last_not_of(" \t") - anfang + 1);
}

// Whole decimal number within 32 bits: "1e9" or "12px" would read as 1 or 12.
bool IstGanzzahl(std::string_view text) {
  text = OhneRandLeer(text);
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  std::int32_t wert = 0;
  const auto [ende, fehler] = std::from_chars(text.data(), text.data() + text.size(), wert);
  return !text.empty() && fehler == std::errc() && ende == text.data() + text.size();
}

// A finite number that fits a float.
bool IstZahl(std::string_view text) {
  const std::string wort(OhneRandLeer(text));
  if (wort.empty()) return false;
  char* ende = nullptr;
  const double wert = std::strtod(wort.c_str(), &ende);
  return *ende == '\0' && std::isfinite(wert) && std::fabs(wert) <= std::numeric_limits<float>::max();
}

bool IstVektor(const std::string& text, std::size_t groesse) {
  const auto worte = Quelm_Konsole::ZerlegeZeile(text);
  if (worte.woerter.empty() || worte.woerter.size() > groesse) return false;
  for (const std::string& wort : worte.woerter)
    if (!IstZahl(wort)) return false;
  return true;
}

const char* Erwartet(std::uint32_t typ) {
  switch (typ) {
    case Quelm_KonsolenVariable::Int: return "eine ganze Zahl";
    case Quelm_KonsolenVariable::Float: return "eine Zahl";
    case Quelm_KonsolenVariable::Vektor3: return "bis zu 3 Zahlen";
    case Quelm_KonsolenVariable::Vektor4: return "bis zu 4 Zahlen";
    default: return "ein Text";
  }
}
}  // namespace

bool Quelm_KonsolenVariable::PasstZumTyp(const std::string& kandidat) const {
  switch (typ) {
    case Int: return IstGanzzahl(kandidat);
    case Float: return IstZahl(kandidat);
    case Vektor3: return IstVektor(kandidat, 3);
    case Vektor4: return IstVektor(kandidat, 4);
    default: return true;  // bools read any text ("ja", "nein", numbers) as before
  }
}

Quelm_KonsolenVariable::Quelm_KonsolenVariable(const char* name, Typ typ, std::uint32_t flags, Standardwert standard,
                                               Rueckruf rueckruf)
    : name(name), typ(typ), flags(flags) {
  if (auto* b = std::get_if<bool>(&standard))
    SetzeBool(*b);
  else if (auto* i = std::get_if<std::int32_t>(&standard))
    SetzeInt(*i);
  else
    SetzeText(std::get<const char*>(standard));
  this->rueckruf = rueckruf;
  Registriere(this);
}

void Quelm_KonsolenVariable::SetzeText(const char* neuerText) {
  const std::string vorschlag = neuerText ? neuerText : "";
  if (!PasstZumTyp(vorschlag)) {
    Protokolliere("!Variable \"%s\" erwartet %s, nicht \"%s\"; der Wert bleibt \"%s\".", name.c_str(),
                  Erwartet(typ), vorschlag.c_str(), text.c_str());
    return;
  }
  if (rueckruf && !rueckruf(this, 0, vorschlag)) return;
  text = vorschlag;
  wertInt = std::atoi(text.c_str());
  wertFloat = static_cast<float>(std::atof(text.c_str()));
  wertBool = text == "on" || text == "an" || text == "true" || text == "ja" || wertInt > 0;
  const auto worte = Quelm_Konsole::ZerlegeZeile(text);
  auto wert = [&](std::size_t i, float fehlt) { return i < worte.werte.size() ? worte.werte[i] : fehlt; };
  for (int k = 0; k < 3; ++k) wertV3[k] = wert(k, 0.0f);
  for (int k = 0; k < 3; ++k) wertV4[k] = wert(k, 0.0f);
  wertV4[3] = wert(3, 1.0f);
  AktualisiereText();
  if (rueckruf) rueckruf(this, 1, vorschlag);
}

void Quelm_KonsolenVariable::SetzeBool(bool b) {
  const std::string vorschlag = b ? "1" : "0";
  if (rueckruf && !rueckruf(this, 0, vorschlag)) return;
  const float f = b ? 1.0f : 0.0f;
  wertInt = b ? 1 : 0;
  wertFloat = f;
  wertBool = b;
  wertV3[0] = f;
  wertV3[1] = wertV3[2] = 0.0f;
  wertV4[0] = wertV4[1] = wertV4[2] = f;
  wertV4[3] = 1.0f;
  AktualisiereText();
  if (rueckruf) rueckruf(this, 1, vorschlag);
}

void Quelm_KonsolenVariable::SetzeInt(std::int32_t i) {
  const std::string vorschlag = std::to_string(i);
  if (rueckruf && !rueckruf(this, 0, vorschlag)) return;
  wertInt = i;
  wertFloat = static_cast<float>(i);
  wertBool = i > 0;
  AktualisiereText();
  if (rueckruf) rueckruf(this, 1, vorschlag);
}

void Quelm_KonsolenVariable::AktualisiereText() {
  char puffer[64];
  switch (typ) {
    case Bool:
      text = wertBool ? "ja" : "nein";
      break;
    case Int:
      text = std::to_string(wertInt);
      break;
    case Float:
      std::snprintf(puffer, sizeof puffer, "%.*g", 9, static_cast<double>(wertFloat));
      text = puffer;
      break;
    case Vektor3:
      text = Formatiere("%f, %f, %f", wertV3[0], wertV3[1], wertV3[2], 0, 3);
      break;
    case Vektor4:
      text = Formatiere("%f, %f, %f, %f", wertV4[0], wertV4[1], wertV4[2], wertV4[3], 4);
      break;
    default:
      break;  // strings keep their text
  }
}

void Quelm_KonsolenVariable::Registriere(Quelm_KonsolenVariable* variable) {
  if (!variablen) variablen = new std::map<std::string, Quelm_KonsolenVariable*>;
  (*variablen)[variable->name] = variable;
}

Quelm_KonsolenVariable* Quelm_KonsolenVariable::Finde(const std::string& name) {
  if (!variablen) return nullptr;
  auto it = variablen->find(name);
  return it == variablen->end() ? nullptr : it->second;
}

const std::map<std::string, Quelm_KonsolenVariable*>* Quelm_KonsolenVariable::Alle() { return variablen; }

Quelm_KonsolenBefehl::Quelm_KonsolenBefehl(const char* name, Handler ausfuehren) : name(name), ausfuehren(ausfuehren) {
  if (!befehle) befehle = new std::map<std::string, Quelm_KonsolenBefehl*>;
  (*befehle)[this->name] = this;
}

Quelm_KonsolenBefehl* Quelm_KonsolenBefehl::Finde(const std::string& name) {
  if (!befehle) return nullptr;
  auto it = befehle->find(name);
  return it == befehle->end() ? nullptr : it->second;
}

const std::map<std::string, Quelm_KonsolenBefehl*>* Quelm_KonsolenBefehl::Alle() { return befehle; }

namespace Quelm_Konsole {

void FuegeWortHinzu(WortListe& liste, const std::string& text, std::size_t start, std::size_t laenge) {
  liste.woerter.push_back(text.substr(start, laenge));
  const std::string& wort = liste.woerter.back();
  liste.werte.push_back(wort.empty() ? 0.0f : static_cast<float>(std::atof(wort.c_str())));
}

WortListe ZerlegeZeile(const std::string& text) {
  WortListe liste;
  std::size_t start = 0;
  bool inAnfuehrung = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inAnfuehrung) {
      if (c == '"') {
        FuegeWortHinzu(liste, text, start, i - start);
        inAnfuehrung = false;
        start = i + 1;
        if (start < text.size() && text[start] == ',') {
          ++i;
          start = i + 1;
        }
      }
    } else if (c == '"') {
      inAnfuehrung = true;
      start = i + 1;
    } else if (c == ' ' || c == ',') {
      if (c == ' ' && i == start) {
        start = i + 1;
      } else {
        FuegeWortHinzu(liste, text, start, i - start);
        start = i + 1;
      }
    }
  }
  if (start < text.size()) FuegeWortHinzu(liste, text, start, text.size() - start);
  return liste;
}

namespace {
// The value part of "set NAME VALUE" exactly as typed: everything after the name and its
// separator, with one pair of enclosing quotes removed.
std::string WertWieGeschrieben(const std::string& argumente) {
  std::size_t i = argumente.find_first_not_of(' ');
  if (i == std::string::npos) return {};
  if (argumente[i] == '"') {
    std::size_t zu = argumente.find('"', i + 1);
    i = zu == std::string::npos ? argumente.size() : zu + 1;
  } else {
    i = argumente.find_first_of(" ,", i);
    if (i == std::string::npos) return {};
  }
  i = argumente.find_first_not_of(' ', i);
  if (i != std::string::npos && argumente[i] == ',') i = argumente.find_first_not_of(' ', i + 1);
  if (i == std::string::npos) return {};
  std::string wert = argumente.substr(i);
  if (wert.size() >= 2 && wert.front() == '"' && wert.back() == '"' &&
      wert.find('"', 1) == wert.size() - 1)
    wert = wert.substr(1, wert.size() - 2);
  return wert;
}
}  // namespace

void BefehlSet(const std::string& argumente) {
  const WortListe worte = ZerlegeZeile(argumente);
  if (worte.woerter.empty()) {
    Protokolliere("Definierte Variablen sind:");
    if (!variablen) {
      Protokolliere("!Keine Variablen definiert.");
      return;
    }
    for (const auto& [name, v] : *variablen) {
      static const char buchstaben[] = "sbifVF";
      const char typ = v->typ < 6 ? buchstaben[v->typ] : '?';
      Protokolliere("%c - %c%c%c - %s: %s", typ, (v->flags & Quelm_KonsolenVariable::Dauerhaft) ? 'd' : '*',
                    (v->flags & Quelm_KonsolenVariable::Schreibgeschuetzt) ? 'n' : '*', v->rueckruf ? 'f' : '*',
                    name.c_str(), v->text.c_str());
    }
    return;
  }
  Quelm_KonsolenVariable* v = Quelm_KonsolenVariable::Finde(worte.woerter[0]);
  if (!v) {
    Protokolliere("!Variable %s ist nicht definiert.", worte.woerter[0].c_str());
    return;
  }
  if (worte.woerter.size() == 1) {
    Protokolliere("%s = %s", v->name.c_str(), v->text.c_str());
    return;
  }
  if (v->flags & Quelm_KonsolenVariable::Schreibgeschuetzt) {
    if (!gProtokoll.Ausfuehrlich()) {
      Protokolliere("!Zuweisung unmöglich: Variable \"%s\" ist schreibgeschützt.", v->name.c_str());
      return;
    }
    Protokolliere("?Debug-Modus: schreibgeschützte Variable \"%s\" geändert.", v->name.c_str());
  }
  std::string wert;
  if (v->typ == Quelm_KonsolenVariable::String) {
    wert = WertWieGeschrieben(argumente);
  } else {
    for (std::size_t i = 1; i < worte.woerter.size(); ++i) {
      if (i > 1) wert += ", ";
      wert += worte.woerter[i];
    }
  }
  const bool passt = v->PasstZumTyp(wert);
  v->SetzeText(wert.c_str());  // says itself why a value that does not fit is refused
  if (passt) Protokolliere("Variable \"%s\" auf Wert \"%s\" gesetzt.", v->name.c_str(), v->text.c_str());
}

void BefehlHelp(const std::string&) {
  Protokolliere("Definierte Konsolenbefehle sind:");
  if (!befehle) {
    Protokolliere("!Keine Konsolenbefehle definiert.");
    return;
  }
  for (const auto& eintrag : *befehle) Protokolliere(" - %s", eintrag.first.c_str());
}

}  // namespace Quelm_Konsole

void Quelm_KonsoleBasisAnzeige::FuehreKonsolenBefehlAus(const std::string& zeile) {
  Protokolliere(">%s", zeile.c_str());
  if (!befehle) {
    Protokolliere("!Keine Konsolenbefehle definiert.");
    return;
  }
  const std::size_t leer = zeile.find(' ');
  if (leer == 0) return;
  const std::string name = leer == std::string::npos ? zeile : zeile.substr(0, leer);
  const std::string argumente = leer == std::string::npos ? std::string() : zeile.substr(leer + 1);
  Quelm_KonsolenBefehl* befehl = Quelm_KonsolenBefehl::Finde(name);
  if (!befehl) {
    Protokolliere("!Unbekannter Befehl \"%s\"", name.c_str());
    return;
  }
  befehl->ausfuehren(argumente);
}

namespace {
QUELM_INIT(QUELM_SLOT_BEFEHL_SET) Quelm_KonsolenBefehl befehlSet("set", &Quelm_Konsole::BefehlSet);
QUELM_INIT(QUELM_SLOT_BEFEHL_HELP) Quelm_KonsolenBefehl befehlHelp("help", &Quelm_Konsole::BefehlHelp);
QUELM_INIT(QUELM_SLOT_SPRACHE)
Quelm_KonsolenVariable sprache("sprache", Quelm_KonsolenVariable::Int, Quelm_KonsolenVariable::Dauerhaft,
                               std::int32_t{-1});
}  // namespace
