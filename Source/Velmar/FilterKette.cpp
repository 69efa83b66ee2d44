// The filter chain: computed from the active effects into images, parameter values and
// steps, and drawn from the rendered frame to the final output.
#include "FilterVerwaltung.h"

#include "Quelm_Protokolliere.h"
#include "Quelm_ZeichenKontext.h"

#include <algorithm>

namespace Spiel {

namespace {

using Bild = FilterVerwaltung::Bild;

const std::string kErgebnis = "ergebnis";
const std::string kReferenz = "hdr_ref";

std::int64_t SucheBild(const std::vector<Bild>& bilder, const std::string& name) {
  for (std::size_t i = 0; i < bilder.size(); ++i)
    if (bilder[i].name == name) return static_cast<std::int64_t>(i);
  return -1;
}

bool KonstanteDa(std::int32_t h) { return (h & 0xFFF) != 0xFFF || (h >> 12 & 0xFFF) != 0xFFF; }
bool SamplerDa(std::int32_t h) { return (h & 0xFF) != 0xFF || (h >> 8 & 0xFF) != 0xFF; }

}  // namespace

void FilterVerwaltung::BerechneFilterkette(FilterSatz& satz) {
  satz.LeereKette();
  std::vector<Schritt>& schritte = satz.schritte;
  std::vector<Bild>& bilder = satz.bilder;

  for (const auto& [id, effekt] : satz.effekte) {
    if (!effekt) continue;
    for (const Filter& f : effekt->filter) schritte.push_back({effekt, &f, {}, {}, -1});
  }

  bilder.push_back({1, kErgebnis, 1, nullptr, nullptr, false});
  bilder.push_back({3, kReferenz, 1, nullptr, nullptr, false});

  for (const Schritt& s : schritte) {
    for (const FilterEffekt::Textur& t : s.effekt->texturen) {
      const std::int64_t i = SucheBild(bilder, t.name);
      if (i < 0)
        bilder.push_back({2, t.name, 1, nullptr, nullptr, false});
      else if (bilder[static_cast<std::size_t>(i)].art != 2)
        Protokolliere("!Filtereffekt \"%s\" definiert Eingabetextur \"%s\", die vorher schon Renderziel war.",
                      s.effekt->name.c_str(), t.name.c_str());
    }
  }

  for (const Schritt& s : schritte)
    for (const FilterEffekt::Parameter& p : s.effekt->parameter)
      if (std::none_of(satz.parameterWerte.begin(), satz.parameterWerte.end(),
                       [&](const ParameterWert& w) { return w.name == p.name; }))
        satz.parameterWerte.push_back({p.name, p.standard});

  for (const Schritt& s : schritte) {
    const std::string& o = s.filter->ausgabe;
    if (o == kErgebnis || o == kReferenz) continue;
    const std::int64_t i = SucheBild(bilder, o);
    if (i < 0)
      bilder.push_back({0, o, s.filter->teiler, nullptr, nullptr, false});
    else if (bilder[static_cast<std::size_t>(i)].art != 0 || bilder[static_cast<std::size_t>(i)].teiler != s.filter->teiler)
      Protokolliere("!FilterEffekt \"%s\", Filter \"%s\" definiert Ausgabebild mit konfliktbehafteten Parametern.",
                    s.effekt->name.c_str(), s.filter->name.c_str());
  }

  std::map<std::string, std::uint64_t> index;
  for (std::size_t i = 0; i < bilder.size(); ++i) index.emplace(bilder[i].name, i);

  std::vector<std::int64_t> kratzbilder;  // at most two scratch images, used in turn
  std::uint64_t kratzZaehler = 0;
  // The output of the last step before s that writes "ergebnis"; none: not found.
  auto letzterSchreiber = [&](std::size_t s, bool& gefunden) -> std::int64_t {
    for (std::size_t t = s; t-- > 0;)
      if (schritte[t].filter->ausgabe == kErgebnis) {
        gefunden = true;
        return schritte[t].ausgabe;
      }
    gefunden = false;
    return -1;
  };

  for (std::size_t s = 0; s < schritte.size(); ++s) {
    Schritt& schritt = schritte[s];
    bool liestErgebnis = false;
    const auto& eingaben = schritt.filter->eingaben;
    for (std::size_t k = 0; k < eingaben.size(); ++k) {
      if (eingaben[k].name == kErgebnis) {
        liestErgebnis = true;
        bool gefunden = false;
        const std::int64_t vorher = letzterSchreiber(s, gefunden);
        schritt.eingaben.push_back(gefunden && vorher >= 0 ? static_cast<std::uint64_t>(vorher) : 0);
        continue;
      }
      const auto stelle = index.find(eingaben[k].name);
      if (stelle != index.end()) {
        schritt.eingaben.push_back(stelle->second);
        continue;
      }
      Protokolliere("!FilterVerwaltung::BerechneFilterkette(): Das %d. Eingabebild \"%s\" des Filters \"%s\" im Effekt "
                    "\"%s\" konnte nicht zugeordnet werden. Rohbild der Engine wird verwendet.",
                    static_cast<int>(k + 1), eingaben[k].name.c_str(), schritt.filter->name.c_str(),
                    schritt.effekt->name.c_str());
      schritt.eingaben.push_back(0);
    }

    const std::string& o = schritt.filter->ausgabe;
    if (o != kErgebnis) {
      schritt.ausgabe = static_cast<std::int64_t>(index.at(o));
    } else if (!liestErgebnis) {
      bool gefunden = false;
      schritt.ausgabe = letzterSchreiber(s, gefunden);
    } else {
      bool spaeterGelesen = false;
      for (std::size_t t = s + 1; t < schritte.size() && !spaeterGelesen; ++t)
        for (const Filter::Eingabe& e : schritte[t].filter->eingaben) spaeterGelesen |= e.name == kErgebnis;
      if (!spaeterGelesen) {
        schritt.ausgabe = -1;
      } else {
        if (kratzbilder.size() < 2) {
          kratzbilder.push_back(static_cast<std::int64_t>(bilder.size()));
          bilder.push_back({0, kratzbilder.size() == 1 ? "quiff" : "quoff", 1, nullptr, nullptr, false});
        }
        schritt.ausgabe = kratzbilder[kratzZaehler++ % 2];
      }
    }

    const auto& parameter = schritt.effekt->parameter;
    schritt.parameter.assign(parameter.size(), -1);
    for (std::size_t p = 0; p < parameter.size(); ++p)
      for (std::size_t w = 0; w < satz.parameterWerte.size(); ++w)
        if (satz.parameterWerte[w].name == parameter[p].name) schritt.parameter[p] = static_cast<std::int64_t>(w);
  }
}

void FilterVerwaltung::ZeichneFilterkette(FilterSatz& satz, Quelm_Textur* bild, const Ausgabe& ausgabe,
                                          const Ressourcen& r) const {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  if (!k) return;
  const std::uint64_t w = ausgabe.breite, h = ausgabe.hoehe;

  for (Bild& b : satz.bilder) {
    const std::uint64_t tw = std::max<std::uint64_t>(1, w / b.teiler), th = std::max<std::uint64_t>(1, h / b.teiler);
    switch (b.art) {
      case 0:
        if (!b.textur || b.textur->breite != tw || b.textur->hoehe != th) {
          k->GibFrei(b.ziel);
          k->GibFrei(b.textur);
          b.textur = k->ErzeugeTextur(tw, th, 1, 2560);
          b.ziel = k->ErzeugeRenderziel(Quelm_RenderzielBeschr(b.textur, nullptr));
        }
        break;
      case 1:
        b.textur = bild;
        break;
      case 3:
        b.textur = r.referenzTextur;
        b.ziel = r.referenzZiel;
        break;
      default:
        break;
    }
  }

  k->SetRueckseite(0);

  // Nothing to run: the frame still has to reach the output.
  if (satz.schritte.empty()) {
    if (!kopieProgramm || !bild) return;
    k->SetProgramm(kopieProgramm);
    k->SetVertexBuffer(0, r.quadVertexe, 0);
    k->SetIndexBuffer(r.quadIndizes);
    k->SetTiefeZustand(nullptr);
    k->SetRenderZiel(ausgabe.ziel);
    k->SetRenderBereich(ausgabe.x, ausgabe.y, w, h);
    k->SetAlphaZustand(nullptr);
    const std::int32_t s = kopieProgramm->FindeSampler("bild");
    k->SetTextur(static_cast<std::uint32_t>(s), r.sampler[1], bild);
    k->SetProgrammKonstante(kopieProgramm->FindeKonstante("gPosOffset"), -0.5f / static_cast<float>(w),
                            0.5f / static_cast<float>(h), 0.0f, 0.0f);
    k->ZeichneIndexElemente(3, 2);
    return;
  }

  for (const Schritt& schritt : satz.schritte) {
    Quelm_Programm* programm = schritt.filter->programm;
    k->SetProgramm(programm);
    k->SetVertexBuffer(0, r.quadVertexe, 0);
    k->SetIndexBuffer(r.quadIndizes);
    k->SetTiefeZustand(nullptr);

    std::uint64_t bw = w, bh = h;
    if (schritt.ausgabe < 0) {
      k->SetRenderZiel(ausgabe.ziel);
      k->SetRenderBereich(ausgabe.x, ausgabe.y, w, h);
    } else {
      const std::uint64_t t = schritt.filter->teiler;
      bw = std::max<std::uint64_t>(1, w / t);
      bh = std::max<std::uint64_t>(1, h / t);
      k->SetRenderZiel(satz.bilder[static_cast<std::size_t>(schritt.ausgabe)].ziel);
      k->SetRenderBereich(0, 0, bw, bh);
    }
    k->SetAlphaZustand(schritt.filter->alpha);

    const auto& eingaben = schritt.filter->eingaben;
    for (std::size_t i = 0; i < eingaben.size() && i < schritt.eingaben.size(); ++i) {
      Bild& b = satz.bilder[schritt.eingaben[i]];
      const Filter::Eingabe& e = eingaben[i];
      // A declared texture or a missing reference image has nothing to bind or measure:
      // its sampler and size are cleared, so the pass does not read what an earlier one left.
      if (!b.textur && !b.ohneTexturGemeldet) {
        Protokolliere("?FilterVerwaltung::ZeichneFilterkette(): Eingabebild \"%s\" des Filters \"%s\" hat keine "
                      "Textur und wird nicht gebunden.",
                      b.name.c_str(), schritt.filter->name.c_str());
        b.ohneTexturGemeldet = true;
      }
      const std::int32_t s = programm->FindeSampler(e.sampler.c_str());
      if (SamplerDa(s))
        k->SetTextur(static_cast<std::uint32_t>(s), r.sampler[(e.adresse ? 1 : 0) + (e.filter ? 2 : 0)], b.textur);
      const std::int32_t c = programm->FindeKonstante(e.konstante.c_str());
      if (!KonstanteDa(c)) continue;
      if (!b.textur) {
        k->SetProgrammKonstante(c, 0.0f, 0.0f, 0.0f, 0.0f);
        continue;
      }
      const auto tb = static_cast<float>(b.textur->breite), th = static_cast<float>(b.textur->hoehe);
      k->SetProgrammKonstante(c, static_cast<float>(w / b.teiler) / tb, static_cast<float>(h / b.teiler) / th,
                              1.0f / tb, 1.0f / th);
    }

    const auto& parameter = schritt.effekt->parameter;
    for (std::size_t p = 0; p < parameter.size() && p < schritt.parameter.size(); ++p) {
      if (schritt.parameter[p] < 0) continue;
      const std::int32_t c = programm->FindeKonstante(parameter[p].konstante.c_str());
      if (!KonstanteDa(c)) continue;
      const auto& wert = satz.parameterWerte[static_cast<std::size_t>(schritt.parameter[p])].wert;
      k->SetProgrammKonstante(c, wert[0], wert[1], wert[2], wert[3]);
    }

    const std::int32_t versatz = programm->FindeKonstante("gPosOffset");
    if (KonstanteDa(versatz))
      k->SetProgrammKonstante(versatz, -0.5f / static_cast<float>(bw), 0.5f / static_cast<float>(bh), 0.0f, 0.0f);
    k->ZeichneIndexElemente(3, 2);
  }
}

}  // namespace Spiel
