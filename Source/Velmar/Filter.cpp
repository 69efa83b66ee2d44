#include "Filter.h"

#include "FilterVerwaltung.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_ZeichenKontext.h"

#include <tinyxml.h>

#include <cstdarg>
#include <cstdlib>
#include <limits>
#include <utility>

namespace Spiel {

namespace {

// The element's text: its first child node when that is text.
const char* Text(const TiXmlElement* element) {
  if (!element || !element->FirstChild()) return nullptr;
  const TiXmlText* text = element->FirstChild()->ToText();
  return text ? text->Value() : nullptr;
}

[[noreturn]] void Scheitere() {
  Quelm_Ausnahme::Wirf("Laden des Filters gescheitert", "Spiel::Filter::Filter", __FILE__, __LINE__);
}

[[noreturn]] void Fehler(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Fehler(const char* format, ...) {
  va_list argumente;
  va_start(argumente, format);
  ProtokolliereZeile(format, argumente);
  va_end(argumente);
  Scheitere();
}

// A leading decimal integer with optional sign; no digits give 0. Values beyond the range
// of a divisor are held at its ends.
long long LeadingInteger(const char* text) {
  const char* p = text;
  const bool negativ = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long wert = 0;
  for (; *p >= '0' && *p <= '9'; ++p)
    if (wert < std::numeric_limits<long long>::max() / 10) wert = wert * 10 + (*p - '0');
  return negativ ? -wert : wert;
}

// Blend factor codes of the effect files; -1 for an unknown word.
int Faktor(const char* wort, int standard) {
  if (!wort) return standard;
  const std::string w = wort;
  if (w == "eins") return 1;
  if (w == "null") return 0;
  if (w == "alpha") return 2;
  if (w == "invalpha") return 4;
  return -1;
}

Quelm_ZeichenKontext* Kontext() { return Quelm_BasisObjekt::Kontext(); }

// One shader of a pass from its element's text, compiled quietly; a failure logs the
// compiler's text and fails the pass (the caller releases what was made).
template <class S, class Erzeuge>
void LadeShader(S*& shader, std::string& quelle, const TiXmlElement* element, Erzeuge erzeuge, const char* fehlt,
                const char* gescheitert) {
  const char* text = Text(element);
  if (!text) Fehler("%s", fehlt);
  quelle = text;
  shader = erzeuge();
  if (shader->UebersetzeAusString(quelle.c_str(), {}, true)) return;
  Protokolliere("%s", gescheitert);
  const char* meldungen = shader->GibUebersetzungsMeldungen();
  Protokolliere("!%s", meldungen ? meldungen : "");
  Scheitere();
}

// Float of a whole attribute text; false when it is absent or not a number throughout.
bool LiesFloat(const char* text, float& wert) {
  if (!text || !*text) return false;
  char* ende = nullptr;
  const float f = std::strtof(text, &ende);
  if (*ende != '\0') return false;
  wert = f;
  return true;
}

}  // namespace

Filter::Filter(const std::string& n, const TiXmlElement& element, const FilterVerwaltung& verwaltung) : name(n) {
  try {
    Lade(element, verwaltung);
  } catch (...) {
    // A pass that fails leaves nothing registered behind.
    GibFrei();
    throw;
  }
}

Filter::~Filter() { GibFrei(); }

Filter::Filter(Filter&& a) noexcept
    : name(std::move(a.name)),
      eingaben(std::move(a.eingaben)),
      ausgabe(std::move(a.ausgabe)),
      teiler(a.teiler),
      alpha(std::exchange(a.alpha, nullptr)),
      vertexQuelle(std::move(a.vertexQuelle)),
      pixelQuelle(std::move(a.pixelQuelle)),
      vertexShader(std::exchange(a.vertexShader, nullptr)),
      pixelShader(std::exchange(a.pixelShader, nullptr)),
      programm(std::exchange(a.programm, nullptr)) {}

void Filter::GibFrei() {
  if (Quelm_ZeichenKontext* k = Kontext()) {
    k->GibFrei(vertexShader);
    k->GibFrei(pixelShader);
    k->GibFrei(programm);
    k->GibFrei(alpha);
  }
  vertexShader = nullptr;
  pixelShader = nullptr;
  programm = nullptr;
  alpha = nullptr;
}

void Filter::Lade(const TiXmlElement& element, const FilterVerwaltung& verwaltung) {
  for (const TiXmlElement* e = element.FirstChildElement("eingabe"); e; e = e->NextSiblingElement("eingabe")) {
    const int n = static_cast<int>(eingaben.size()) + 1;
    const char* name_ = e->Attribute("name");
    const char* sampler = e->Attribute("sampler");
    const char* konstante = e->Attribute("konstante");
    const char* koords = e->Attribute("koords");
    const char* filter_ = e->Attribute("filter");
    if (!name_) Fehler("!Filter::LadeAus(...): %d. Eingabe muss einen Namen über \"name\" definieren.", n);
    if (!sampler) Fehler("!Filter::LadeAus(...): %d. Eingabe muss einen Textursampler über \"sampler\" definieren.", n);
    if (!konstante)
      Fehler("!Filter::LadeAus(...): %d. Eingabe muss eine Shaderkonstante über \"konstante\" definieren.", n);
    Eingabe eingabe{name_, sampler, konstante, 21, 0};
    if (koords && std::string(koords) == "wiederholen")
      eingabe.adresse = 0;
    else if (koords && std::string(koords) != "begrenzen")
      Fehler("!Filter::LadeAus(...): Ungültige Texkoord-Einstellung in der %d. Eingabe. Gültige Werte sind "
             "\"begrenzen\" und \"wiederholen\".",
             n);
    if (filter_ && std::string(filter_) == "linear")
      eingabe.filter = 21;
    else if (filter_ && std::string(filter_) != "punkt")
      Fehler("!Filter::LadeAus(...): Ungültige Texturfilter-Einstellung in der %d. Eingabe. Gültige Werte sind "
             "\"punkt\" und \"linear\".",
             n);
    eingaben.push_back(std::move(eingabe));
  }

  if (const TiXmlElement* a = element.FirstChildElement("ausgabe")) {
    const char* name_ = a->Attribute("name");
    if (!name_) Fehler("!Filter::LadeAus(...): Die Ausgabe muss einen Namen über \"name\" definieren.");
    ausgabe = name_;
    const char* t = a->Attribute("teiler");
    if (ausgabe != "ergebnis" && t) {
      // A negative divisor is as invalid as 0; it would otherwise wrap to a huge one.
      const long long wert = LeadingInteger(t);
      if (wert <= 0) {
        Protokolliere("!Filter::LadeAus(...): Ungültige Angabe im Attribut \"teiler\" der Ausgabebild-Angabe.");
        teiler = 1;
      } else {
        teiler = static_cast<std::uint64_t>(wert);
      }
    }
  }

  if (const TiXmlElement* a = element.FirstChildElement("alphablending")) {
    const int quelle = Faktor(a->Attribute("quelle"), 1);
    const int ziel = Faktor(a->Attribute("ziel"), 0);
    if (quelle < 0)
      Fehler("!Filter::LadeAus(...): Ungültige AlphaBlending-Angabe im Attribut \"quelle\". Gültige Werte sind "
             "\"eins\", \"null\", \"alpha\" und \"invalpha\".");
    if (ziel < 0)
      Fehler("!Filter::LadeAus(...): Ungültige AlphaBlending-Angabe im Attribut \"ziel\". Gültige Werte sind "
             "\"eins\", \"null\", \"alpha\" und \"invalpha\".");
    if ((quelle != 1 || ziel != 0) && Kontext())
      alpha = Kontext()->ErzeugeAlphaZustand(
          Quelm_AlphaZustandBeschr(static_cast<std::uint32_t>(quelle), static_cast<std::uint32_t>(ziel)));
  }

  if (element.FirstChildElement("alphatest"))
    Protokolliere("?Filter::LadeAus(...): Element <alphatest> wird nicht mehr unterstützt.");

  Quelm_ZeichenKontext* k = Kontext();
  if (!k) Scheitere();
  LadeShader(vertexShader, vertexQuelle, element.FirstChildElement("vertexShader"), [k] { return k->ErzeugeVertexShader(); },
             "!Filter::LadeAus(...): Filter muss VertexShader-Code definieren.",
             "!Filter::LadeAus(...): Fehler beim Kompilieren des VertexShaders.");
  LadeShader(pixelShader, pixelQuelle, element.FirstChildElement("pixelShader"), [k] { return k->ErzeugePixelShader(); },
             "!Filter::LadeAus(...): Filter muss ein PixelShader-Skript definieren.",
             "!Filter::LadeAus(...): Fehler beim Kompilieren des PixelShaders.");
  programm = k->ErzeugeProgramm(verwaltung.quadEingabe, vertexShader, pixelShader);
  if (!programm) Scheitere();
}

void FilterEffekt::LadeAus(const std::string& n, const TiXmlElement& wurzel, const FilterVerwaltung& verwaltung) {
  name = n;
  if (const char* b = Text(wurzel.FirstChildElement("beschreibung"))) beschreibung = b;

  std::size_t anzahl = 0;
  for (const TiXmlElement* e = wurzel.FirstChildElement("filter"); e; e = e->NextSiblingElement("filter")) ++anzahl;
  filter.reserve(anzahl);
  for (const TiXmlElement* e = wurzel.FirstChildElement("filter"); e; e = e->NextSiblingElement("filter")) {
    const int n_ = static_cast<int>(filter.size()) + 1;
    const char* attribut = e->Attribute("name");
    const std::string filterName = attribut ? attribut : "Filter" + std::to_string(n_);
    try {
      filter.emplace_back(filterName, *e, verwaltung);
    } catch (const Quelm_Ausnahme& a) {
      Protokolliere("!FilterEffekt::LadeAus(...): Fehler beim Laden des %d. Filters in Effekt \"%s\" - %s.", n_,
                    name.c_str(), a.text.c_str());
    }
  }

  for (const TiXmlElement* e = wurzel.FirstChildElement("textur"); e; e = e->NextSiblingElement("textur")) {
    const char* name_ = e->Attribute("name");
    if (!name_) {
      Protokolliere("!FilterEffekt::LadeAus(...): Textureintrag in Filtereffekt \"%s\" hat kein \"name\"-Atribut.",
                    name.c_str());
      continue;
    }
    const char* b = e->Attribute("beschreibung");
    const char* s = e->Attribute("standard");
    texturen.push_back({name_, b ? b : "", s ? s : ""});
  }

  for (const TiXmlElement* e = wurzel.FirstChildElement("param"); e; e = e->NextSiblingElement("param")) {
    const int n_ = static_cast<int>(parameter.size()) + 1;
    const char* name_ = e->Attribute("name");
    if (!name_) {
      Protokolliere("!FilterEffekt::LadeAus(...): Parameter in Filtereffekt \"%s\" hat kein \"name\"-Atribut.",
                    name.c_str());
      continue;
    }
    const TiXmlElement* konstante = e->FirstChildElement("konstante");
    if (!konstante) {
      Protokolliere("!FilterEffekt::LadeAus(...): Der %d. Parameter in Filtereffekt \"%s\" hat kein "
                    "\"konstante\"-Element.",
                    n_, name.c_str());
      continue;
    }
    const char* wert = konstante->Attribute("wert");
    if (!wert) {
      Protokolliere("!FilterEffekt::LadeAus(...): Der Konstanteneintrag im %d. Parameter des Filtereffekts \"%s\" "
                    "hat kein \"wert\"-Atribut.",
                    n_, name.c_str());
      continue;
    }
    Parameter p;
    p.name = name_;
    p.konstante = wert;
    if (const char* b = Text(e->FirstChildElement("beschreibung"))) p.beschreibung = b;
    if (const TiXmlElement* s = e->FirstChildElement("standard")) {
      const char* namen[4] = {"r", "g", "b", "a"};
      for (int i = 0; i < 4; ++i) LiesFloat(s->Attribute(namen[i]), p.standard[static_cast<std::size_t>(i)]);
    }
    parameter.push_back(std::move(p));
  }
}

}  // namespace Spiel
