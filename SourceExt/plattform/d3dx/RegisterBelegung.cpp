#include "RegisterBelegung.h"

#include <algorithm>
#include <cstdio>

namespace Plattform::D3dx {

namespace {

constexpr std::uint32_t kVertexRegister = 256;
constexpr std::uint32_t kPixelRegister = 224;
constexpr std::uint32_t kVertexSamplerStufen = 4;
constexpr std::uint32_t kPixelSamplerStufen = 16;
constexpr std::uint32_t kVertexSamplerEinheit = 16;
constexpr std::uint32_t kKeineEinheit = 0xFFFFFFFFu;

// Registers in use, first fit for the rest (Direct3D's compiler keeps explicitly placed
// constants where they are and fills around them).
class Registerdatei {
 public:
  explicit Registerdatei(std::uint32_t groesse) : belegt_(groesse, false) {}
  bool Frei(std::uint32_t start, std::uint32_t anzahl) const {
    if (start + anzahl > belegt_.size() || start + anzahl < start) return false;
    for (std::uint32_t i = start; i < start + anzahl; ++i)
      if (belegt_[i]) return false;
    return true;
  }
  void Belege(std::uint32_t start, std::uint32_t anzahl) {
    for (std::uint32_t i = start; i < start + anzahl; ++i) belegt_[i] = true;
  }
  // First start at which anzahl registers are free, or -1.
  long Suche(std::uint32_t anzahl) const {
    for (std::uint32_t s = 0; s + anzahl <= belegt_.size(); ++s)
      if (Frei(s, anzahl)) return s;
    return -1;
  }
  std::uint32_t Groesse() const { return static_cast<std::uint32_t>(belegt_.size()); }

 private:
  std::vector<bool> belegt_;
};

std::uint32_t Komponenten(const LayoutTyp& t) {
  if (t.klasse == D3DXPC_STRUCT) {
    std::uint32_t n = 0;
    for (const auto& g : t.glieder) n += Komponenten(g.typ) * Elemente(g.typ);
    return n;
  }
  return t.zeilen * t.spalten;
}

D3DXCONSTANT_DESC Beschreibe(const LayoutTyp& t, D3DXREGISTER_SET satz,
                             std::uint32_t reg) {
  D3DXCONSTANT_DESC d{};
  d.RegisterSet = satz;
  d.RegisterIndex = reg;
  d.RegisterCount = RegisterJeElement(t) * Elemente(t);
  d.Class = t.klasse;
  d.Type = t.klasse == D3DXPC_STRUCT ? D3DXPT_VOID : t.grundtyp;
  d.Elements = Elemente(t);
  if (t.klasse == D3DXPC_STRUCT) {
    d.Rows = 1;
    d.Columns = Komponenten(t);
    d.StructMembers = static_cast<UINT>(t.glieder.size());
  } else {
    d.Rows = t.zeilen;
    d.Columns = t.spalten;
  }
  d.Bytes = 4 * d.Rows * d.Columns * d.Elements;
  return d;
}

// Members of a structure, element 0, starting at register reg.
std::vector<Konstante> Glieder(const LayoutTyp& t, D3DXREGISTER_SET satz, std::uint32_t reg) {
  std::vector<Konstante> aus;
  for (const auto& g : t.glieder) {
    Konstante k;
    k.name = g.name;
    k.beschreibung = Beschreibe(g.typ, satz, reg);
    k.glieder = Glieder(g.typ, satz, reg);
    reg += k.beschreibung.RegisterCount;
    aus.push_back(std::move(k));
  }
  return aus;
}

// Copy spans for one constant of type t at block offset `offset`, register reg.
void Spannen(const LayoutTyp& t, std::uint32_t offset, std::uint32_t reg,
             std::vector<RegisterSpanne>& aus) {
  if (!t.feld.empty()) {
    LayoutTyp element = t;
    element.feld.erase(element.feld.begin());
    // Inner arrays are packed without gaps inside the outer element.
    if (!element.feld.empty()) element.feldSchritt = t.feldSchritt / t.feld[1];
    const std::uint32_t je = RegisterJeElement(t) * Elemente(element);
    for (std::uint32_t e = 0; e < t.feld[0]; ++e)
      Spannen(element, offset + e * t.feldSchritt, reg + e * je, aus);
    return;
  }
  switch (t.klasse) {
    case D3DXPC_SCALAR:
    case D3DXPC_VECTOR:
      if (t.grundtyp == D3DXPT_FLOAT) aus.push_back({reg, t.spalten, offset, 4});
      break;
    case D3DXPC_MATRIX_COLUMNS:
      // One register per column, its components (the rows) side by side.
      if (t.grundtyp == D3DXPT_FLOAT)
        for (std::uint32_t j = 0; j < t.spalten; ++j)
          aus.push_back({reg + j, t.zeilen, offset + j * t.matrixSchritt, 4});
      break;
    case D3DXPC_MATRIX_ROWS:
      if (t.grundtyp == D3DXPT_FLOAT)
        for (std::uint32_t i = 0; i < t.zeilen; ++i)
          aus.push_back({reg + i, t.spalten, offset + i * t.matrixSchritt, 4});
      break;
    case D3DXPC_STRUCT:
      for (const auto& g : t.glieder) {
        Spannen(g.typ, offset + g.offset, reg, aus);
        reg += RegisterJeElement(g.typ) * Elemente(g.typ);
      }
      break;
    case D3DXPC_OBJECT:
      break;
  }
}

// The first bool or int in a type (its member path), or empty: the device feeds constants
// from its float register file only, so such a constant could never be set.
std::string GanzzahlTeil(const LayoutTyp& t, const std::string& name) {
  if (t.klasse != D3DXPC_STRUCT)
    return t.grundtyp == D3DXPT_BOOL || t.grundtyp == D3DXPT_INT ? name : std::string();
  for (const auto& g : t.glieder)
    if (auto teil = GanzzahlTeil(g.typ, name + "." + g.name); !teil.empty()) return teil;
  return {};
}

std::string Text(const char* format, const std::string& name, unsigned a, unsigned b) {
  char puffer[512];
  std::snprintf(puffer, sizeof puffer, format, name.c_str(), a, b);
  return puffer;
}

}  // namespace

std::uint32_t Elemente(const LayoutTyp& typ) {
  std::uint32_t n = 1;
  for (auto f : typ.feld) n *= f;
  return n;
}

std::uint32_t RegisterJeElement(const LayoutTyp& typ) {
  switch (typ.klasse) {
    case D3DXPC_MATRIX_COLUMNS:
      return typ.spalten;
    case D3DXPC_MATRIX_ROWS:
      return typ.zeilen;
    case D3DXPC_STRUCT: {
      std::uint32_t n = 0;
      for (const auto& g : typ.glieder) n += RegisterJeElement(g.typ) * Elemente(g.typ);
      return n;
    }
    default:
      return 1;
  }
}

Registerbelegung BelegeRegister(ShaderStufe stufe, const std::vector<BlockKonstante>& block,
                                const std::vector<SamplerKonstante>& sampler) {
  Registerbelegung erg;
  const bool vertex = stufe == ShaderStufe::Vertex;
  Registerdatei floats(vertex ? kVertexRegister : kPixelRegister);
  Registerdatei stufen(vertex ? kVertexSamplerStufen : kPixelSamplerStufen);

  auto fehler = [&](std::string text) {
    erg.ok = false;
    erg.fehler = std::move(text);
    return erg;
  };

  // Numeric constants: explicitly placed ones first, then the rest in order.
  std::vector<long> registerVon(block.size(), -1);
  for (int runde = 0; runde < 2; ++runde) {
    for (std::size_t i = 0; i < block.size(); ++i) {
      const auto& k = block[i];
      if (!k.benutzt) continue;
      const bool explizit = k.explizitesRegister >= 0;
      if (explizit != (runde == 0)) continue;
      if (auto teil = GanzzahlTeil(k.typ, k.name); !teil.empty())
        return fehler("error: constant '" + teil +
                      "' is bool or int: only float constants can be set, declare it as float");
      const std::uint32_t anzahl = RegisterJeElement(k.typ) * Elemente(k.typ);
      long start;
      if (explizit) {
        start = k.explizitesRegister;
        if (!floats.Frei(static_cast<std::uint32_t>(start), anzahl))
          return fehler(Text("error: constant '%s' cannot be placed at register %u (%u registers)",
                             k.name, static_cast<unsigned>(start), anzahl));
      } else {
        start = floats.Suche(anzahl);
        if (start < 0)
          return fehler(Text("error: constant '%s' needs %u registers, more than the %u "
                             "the profile has left",
                             k.name, anzahl, floats.Groesse()));
      }
      floats.Belege(static_cast<std::uint32_t>(start), anzahl);
      registerVon[i] = start;
    }
  }
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (registerVon[i] < 0) continue;
    const auto& k = block[i];
    const auto reg = static_cast<std::uint32_t>(registerVon[i]);
    Konstante eintrag;
    eintrag.name = k.name;
    eintrag.beschreibung = Beschreibe(k.typ, D3DXRS_FLOAT4, reg);
    eintrag.glieder = Glieder(k.typ, D3DXRS_FLOAT4, reg);
    erg.konstanten.push_back(std::move(eintrag));
    Spannen(k.typ, k.offset, reg, erg.spannen);
  }

  // Samplers: stages the same way.
  erg.samplerEinheit.assign(sampler.size(), kKeineEinheit);
  std::vector<long> stufeVon(sampler.size(), -1);
  for (int runde = 0; runde < 2; ++runde) {
    for (std::size_t i = 0; i < sampler.size(); ++i) {
      const auto& s = sampler[i];
      if (!s.benutzt) continue;
      const bool explizit = s.explizitesRegister >= 0;
      if (explizit != (runde == 0)) continue;
      long start = explizit ? s.explizitesRegister : stufen.Suche(s.elemente);
      if (start < 0 || !stufen.Frei(static_cast<std::uint32_t>(start), s.elemente))
        return fehler(Text("error: sampler '%s' finds no free stage (%u of %u)", s.name,
                           s.elemente, stufen.Groesse()));
      stufen.Belege(static_cast<std::uint32_t>(start), s.elemente);
      stufeVon[i] = start;
    }
  }
  for (std::size_t i = 0; i < sampler.size(); ++i) {
    if (stufeVon[i] < 0) continue;
    const auto& s = sampler[i];
    const auto stufeNr = static_cast<std::uint32_t>(stufeVon[i]);
    const std::uint32_t einheit = (vertex ? kVertexSamplerEinheit : 0) + stufeNr;
    erg.samplerEinheit[i] = einheit;
    for (std::uint32_t e = 0; e < s.elemente; ++e)
      erg.sampler.push_back({stufeNr + e, einheit + e});
    Konstante eintrag;
    eintrag.name = s.name;
    auto& d = eintrag.beschreibung;
    d.RegisterSet = D3DXRS_SAMPLER;
    d.RegisterIndex = stufeNr;
    d.RegisterCount = s.elemente;
    d.Class = D3DXPC_OBJECT;
    d.Type = s.typ;
    d.Rows = 1;
    d.Columns = 1;
    d.Elements = s.elemente;
    d.Bytes = 4 * s.elemente;
    erg.konstanten.push_back(std::move(eintrag));
  }
  return erg;
}

}  // namespace Plattform::D3dx
