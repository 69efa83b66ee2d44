#include "TEigenschaften_Serialisierung.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_XmlText.h"

#include <boost/lexical_cast.hpp>
#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

struct DateiSchliesser {
  std::FILE* f;
  ~DateiSchliesser() {
    if (f) std::fclose(f);
  }
};

// Long values and paths are cut in messages.
std::string Gekuerzt(std::string_view text) {
  constexpr std::size_t kMax = 80;
  return text.size() <= kMax ? std::string(text) : std::string(text.substr(0, kMax)) + "...";
}

template <class T>
void Speichere(EigenschaftsBaum& knoten, const char* text) {
  knoten.Setze(boost::lexical_cast<T>(text));
}

}  // namespace

void TEigenschaften_Serialisierung::LadeEigenschaftenAusXml(EigenschaftsBaum& knoten,
                                                           const std::filesystem::path& pfad, bool) {
  auto nichtGeladen = [] {
    Quelm_Ausnahme::Wirf("Datei nicht geladen", "TEigenschaften_Serialisierung::LadeEigenschaftenAusXml", __FILE__,
                         __LINE__);
  };
  TiXmlDocument dokument;
  {
    DateiSchliesser datei{Plattform::OeffneDatei(pfad, "rb")};
    if (!datei.f) nichtGeladen();
    std::string roh;
    if (!Quelm_XmlText::LiesGanz(datei.f, roh)) nichtGeladen();
    if (Quelm_XmlText::Parse(roh, dokument, kMaxTiefe) != Quelm_XmlText::Gelesen) nichtGeladen();
  }
  const TiXmlElement* wurzel = dokument.FirstChildElement();
  if (!wurzel) nichtGeladen();
  try {
    LadeElement(knoten, *wurzel, std::string(), 0);
  } catch (Quelm_Ausnahme& a) {
    a.text += " in \"" + pfad.string() + "\"";
    throw;
  }
}

void TEigenschaften_Serialisierung::LadeElement(EigenschaftsBaum& knoten, const TiXmlElement& element, bool) {
  LadeElement(knoten, element, std::string(), 0);
}

void TEigenschaften_Serialisierung::LadeElement(EigenschaftsBaum& knoten, const TiXmlElement& element,
                                              const std::string& pfad, int tiefe) {
  if (tiefe > kMaxTiefe)
    Quelm_Ausnahme::Wirf("Eigenschaften zu tief verschachtelt bei \"" + Gekuerzt(pfad) + "\"",
                         "TEigenschaften_Serialisierung::LadeElement", __FILE__, __LINE__);
  const TiXmlNode* erstes = element.FirstChild();
  if (erstes && erstes->ToText())
    WandleWert(knoten, element.Attribute("typ"), erstes->Value(), pfad.empty() ? element.ValueStr() : pfad);
  for (const TiXmlElement* kind = element.FirstChildElement(); kind; kind = kind->NextSiblingElement()) {
    const std::string& name = kind->ValueStr();
    // A dotted element name ("a.b") is a path; every component is one level.
    const int ebenen = 1 + static_cast<int>(std::count(name.begin(), name.end(), '.'));
    const std::string kindPfad = pfad.empty() ? name : pfad + "." + name;
    if (ebenen > kMaxTiefe - tiefe)
      Quelm_Ausnahme::Wirf("Eigenschaften zu tief verschachtelt bei \"" + Gekuerzt(kindPfad) + "\"",
                           "TEigenschaften_Serialisierung::LadeElement", __FILE__, __LINE__);
    LadeElement(knoten.Knoten(name), *kind, kindPfad, tiefe + ebenen);
  }
}

void TEigenschaften_Serialisierung::WandleWert(EigenschaftsBaum& knoten, const char* typ, const char* text) {
  WandleWert(knoten, typ, text, knoten.name);
}

void TEigenschaften_Serialisierung::WandleWert(EigenschaftsBaum& knoten, const char* typ, const char* text,
                                             const std::string& pfad) {
  if (!text) text = "";
  auto ist = [typ](const char* name) { return typ && std::strcmp(typ, name) == 0; };
  const char* typName = "float";
  try {
    if (ist("TVektor")) {
      typName = "TVektor";
      Speichere<BVektor3<float>>(knoten, text);
    } else if (ist("TAlphaFarbe")) {
      typName = "TAlphaFarbe";
      Speichere<TAlphaFarbe>(knoten, text);
    } else if (ist("string")) {
      knoten.Setze(std::string(text));
    } else if (ist("int")) {
      typName = "int";
      Speichere<std::int32_t>(knoten, text);
    } else if (ist("unsigned int")) {
      typName = "unsigned int";
      Speichere<std::uint32_t>(knoten, text);
    } else {
      Speichere<float>(knoten, text);
    }
  } catch (const boost::bad_lexical_cast&) {
    // The node keeps its old value: the conversion runs before anything is replaced.
    Quelm_Ausnahme::Wirf("Ungültiger Wert \"" + Gekuerzt(text) + "\" für \"" + Gekuerzt(pfad) + "\" (Typ " +
                             typName + ")",
                         "TEigenschaften_Serialisierung::WandleWert", __FILE__, __LINE__);
  }
}
