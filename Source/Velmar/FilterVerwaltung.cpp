#include "FilterVerwaltung.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_XmlText.h"
#include "Quelm_ZeichenKontext.h"

#include <tinyxml.h>

#include <cerrno>
#include <cstring>

namespace Spiel {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxTiefe = 64;
const std::string kPraefix = "filter.";
const std::string kEndung = ".xml";

// Shader text keeps its lines: the parser's whitespace condensing is off while it reads.
class OhneVerdichtung {
 public:
  OhneVerdichtung() : vorher_(TiXmlBase::IsWhiteSpaceCondensed()) { TiXmlBase::SetCondenseWhiteSpace(false); }
  ~OhneVerdichtung() { TiXmlBase::SetCondenseWhiteSpace(vorher_); }

 private:
  bool vorher_;
};

struct DateiSchliesser {
  std::FILE* f;
  ~DateiSchliesser() {
    if (f) std::fclose(f);
  }
};

// Position (x, y, z, w) and texture coordinate (u, v) of the four corners.
const float kQuad[24] = {-1, -1, 0.1f, 1, 0, 1, 1, -1, 0.1f, 1, 1, 1, -1, 1, 0.1f, 1, 0, 0, 1, 1, 0.1f, 1, 1, 0};
const std::uint16_t kQuadIndizes[6] = {0, 1, 2, 1, 3, 2};

const char* const kKopieVertex =
    "$rein float4 vpos;\n$rein float2 vuv;\n$raus float4 pos;\n$raus float2 uv;\nfloat4 gPosOffset;\n"
    "$main() {\n  pos = vpos;\n  pos.xy += gPosOffset.xy * vpos.w;\n  uv = TEXKOORD( vuv);\n}\n";
const char* const kKopiePixel =
    "$rein float2 uv;\n$raus float4 erg;\nDEF_SAMPLER_2D( bild);\n$main() {\n  erg = SAMPLE_2D( bild, uv);\n}\n";

template <class T>
std::uint8_t* Bytes(const T* p) {
  return reinterpret_cast<std::uint8_t*>(const_cast<T*>(p));
}

}  // namespace

FilterVerwaltung::FilterVerwaltung(const fs::path& o) : ordner(o) {
  if (Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext()) {
    quadEingabe = k->ErzeugeVertexEingabe();
    quadEingabe->AddKanal(0, KANAL_FLOAT4, 0, false);
    quadEingabe->AddKanal(0, KANAL_FLOAT2, 16, false);
    quadEingabe->Beenden();
    quadVertexe = k->ErzeugeVertexBuffer(sizeof kQuad, 0, Quelm_PufferDaten{Bytes(kQuad), sizeof kQuad, 0});
    quadIndizes = k->ErzeugeIndexBuffer(1, Quelm_PufferDaten{Bytes(kQuadIndizes), sizeof kQuadIndizes, 0});
    for (int i = 0; i < 4; ++i) {
      Quelm_SamplerBeschr b;
      b.filter = i & 2 ? 21 : 0;
      b.adresse = i & 1 ? 21 : 0;
      b.maxAnisotropie = 16;
      b.rahmenfarbe[3] = 1;
      sampler[i] = k->ErzeugeSampler(b);
    }
    ErzeugeKopierProgramm();
  }

  try {
    LadeOrdner();
  } catch (...) {
    GibFrei();
    throw;
  }
}

void FilterVerwaltung::LadeOrdner() {
  std::vector<fs::path> pfade;
  for (const fs::directory_entry& eintrag : fs::directory_iterator(ordner)) {
    if (!eintrag.is_regular_file()) continue;
    const std::string name = eintrag.path().filename().string();
    if (!name.starts_with(kPraefix) || !name.ends_with(kEndung)) continue;
    // "filter.xml" and "filter..xml" match both ends but name no effect.
    if (name.size() <= kPraefix.size() + kEndung.size()) {
      Protokolliere("?FilterVerwaltung::FilterVerwaltung(): Datei \"%s\" nennt keinen Filtereffekt und wird übergangen.",
                    name.c_str());
      continue;
    }
    pfade.push_back(eintrag.path());
  }
  effekte.reserve(pfade.size());
  for (const fs::path& pfad : pfade) InternLadeEffekt(pfad);
}

FilterVerwaltung::~FilterVerwaltung() { GibFrei(); }

void FilterVerwaltung::GibFrei() {
  effekte.clear();
  if (Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext()) {
    for (Quelm_BasisObjekt* o : std::initializer_list<Quelm_BasisObjekt*>{
             kopieProgramm, kopieVertexShader, kopiePixelShader, quadVertexe, quadEingabe, quadIndizes})
      k->GibFrei(o);
    for (Quelm_Sampler* s : sampler) k->GibFrei(s);
  }
  kopieProgramm = nullptr;
  kopieVertexShader = nullptr;
  kopiePixelShader = nullptr;
  quadVertexe = nullptr;
  quadEingabe = nullptr;
  quadIndizes = nullptr;
  for (Quelm_Sampler*& s : sampler) s = nullptr;
}

void FilterVerwaltung::ErzeugeKopierProgramm() {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  kopieVertexShader = k->ErzeugeVertexShader();
  kopiePixelShader = k->ErzeugePixelShader();
  if (kopieVertexShader->UebersetzeAusString(kKopieVertex, {}, false) &&
      kopiePixelShader->UebersetzeAusString(kKopiePixel, {}, false))
    kopieProgramm = k->ErzeugeProgramm(quadEingabe, kopieVertexShader, kopiePixelShader);
}

void FilterVerwaltung::InternLadeEffekt(const fs::path& pfad) {
  const std::string dateiname = pfad.filename().string();
  TiXmlDocument dokument;
  {
    DateiSchliesser datei{Plattform::OeffneDatei(pfad, "rb")};
    std::string roh;
    if (!datei.f || !Quelm_XmlText::LiesGanz(datei.f, roh)) {
      const int fehler = errno;
      Protokolliere("!FilterVerwaltung::InternLadeEffekt(): Datei \"%s\" ist nicht lesbar.", dateiname.c_str());
      Protokolliere("!Zeile 0: %s", std::strerror(fehler));
      return;
    }
    OhneVerdichtung ohneVerdichtung;
    switch (Quelm_XmlText::Parse(roh, dokument, kMaxTiefe, true)) {
      case Quelm_XmlText::Gelesen:
        break;
      case Quelm_XmlText::ZuTief:
        Protokolliere("!FilterVerwaltung::InternLadeEffekt(): Datei \"%s\" ist nicht lesbar.", dateiname.c_str());
        Protokolliere("!Zeile 0: Elemente zu tief verschachtelt");
        return;
      case Quelm_XmlText::Fehlerhaft:
        Protokolliere("!FilterVerwaltung::InternLadeEffekt(): Datei \"%s\" ist nicht lesbar.", dateiname.c_str());
        // The parser counts its rows from 1 already.
        Protokolliere("!Zeile %d: %s", dokument.ErrorRow(), dokument.ErrorDesc());
        return;
    }
  }
  const TiXmlElement* wurzel = dokument.FirstChildElement();
  if (!wurzel) {
    Protokolliere("!FilterVerwaltung::InternLadeEffekt(): Datei \"%s\" ist nicht lesbar.", dateiname.c_str());
    return;
  }
  const std::string name = dateiname.substr(kPraefix.size(), dateiname.size() - kPraefix.size() - kEndung.size());
  effekte.emplace_back();
  try {
    effekte.back().LadeAus(name, *wurzel, *this);
  } catch (const Quelm_Ausnahme& a) {
    effekte.pop_back();
    Protokolliere("?FilterVerwaltung::InternLadeEffekt(): Laden des Filtereffekts \"%s\" ist gescheitert - \"%s\".",
                  dateiname.c_str(), a.text.c_str());
  }
}

const FilterEffekt* FilterVerwaltung::FindeEffekt(const std::string& name) const {
  for (const FilterEffekt& e : effekte)
    if (e.name == name) return &e;
  return nullptr;
}

FilterVerwaltung::Ressourcen FilterVerwaltung::GibRessourcen() const {
  Ressourcen r;
  r.quadVertexe = quadVertexe;
  r.quadIndizes = quadIndizes;
  for (int i = 0; i < 4; ++i) r.sampler[i] = sampler[i];
  return r;
}

FilterSatz::~FilterSatz() { LeereKette(); }

void FilterSatz::AddFilter(const FilterEffekt* effekt, std::int32_t sequenzId) {
  // A null effect would crash the chain computation: nothing enters the map.
  if (!effekt) {
    Protokolliere("!FilterSatz::AddFilter( null, %d): Kein Filtereffekt angegeben, SequenzID %d bleibt unverändert.",
                  sequenzId, sequenzId);
    return;
  }
  auto [stelle, neu] = effekte.try_emplace(sequenzId, effekt);
  if (neu) return;
  Protokolliere("?FilterSatz::AddFilter( \"%s\", %d): Bislang unter SequenzID %d aktiver Filter \"%s\" wird ersetzt.",
                effekt->name.c_str(), sequenzId, sequenzId, stelle->second->name.c_str());
  stelle->second = effekt;
}

void FilterSatz::LeereKette() {
  schritte.clear();
  parameterWerte.clear();
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  for (FilterVerwaltung::Bild& b : bilder) {
    if (b.art != 0 && b.art != 2) continue;
    if (k) {
      k->GibFrei(b.ziel);
      k->GibFrei(b.textur);
    }
    b.ziel = nullptr;
    b.textur = nullptr;
  }
  bilder.clear();
}

}  // namespace Spiel
