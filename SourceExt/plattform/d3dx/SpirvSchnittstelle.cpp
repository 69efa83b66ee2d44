#include "SpirvSchnittstelle.h"

#include <spirv_cross/spirv.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>

namespace Plattform::D3dx {

Semantik ZerlegeSemantik(const std::string& text) {
  Semantik s;
  std::size_t ende = text.size();
  while (ende > 0 && std::isdigit(static_cast<unsigned char>(text[ende - 1]))) --ende;
  s.name = text.substr(0, ende);
  for (auto& c : s.name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ende < text.size()) {
    std::uint64_t wert = 0;
    for (std::size_t i = ende; i < text.size() && wert < 0x10000; ++i) wert = wert * 10 + (text[i] - '0');
    s.index = static_cast<std::uint32_t>(std::min<std::uint64_t>(wert, 0xFFFF));
  }
  return s;
}

int DeklarationsVerwendung(const std::string& name) {
  static const char* const kNamen[] = {"POSITION", "BLENDWEIGHT", "BLENDINDICES", "NORMAL",
                                       "PSIZE",    "TEXCOORD",    "TANGENT",      "BINORMAL",
                                       "TESSFACTOR", "POSITIONT", "COLOR",        "FOG",
                                       "DEPTH",    "SAMPLE"};
  for (int i = 0; i < static_cast<int>(std::size(kNamen)); ++i)
    if (name == kNamen[i]) return i;
  return -1;
}

namespace {

using Befehl = std::vector<std::uint32_t>;

std::uint32_t Op(const Befehl& b) { return b.empty() ? 0 : (b[0] & 0xFFFFu); }
Befehl Neu(SpvOp op, std::initializer_list<std::uint32_t> operanden) {
  Befehl b;
  b.push_back((static_cast<std::uint32_t>(operanden.size() + 1) << 16) | op);
  b.insert(b.end(), operanden);
  return b;
}
void SetzeLaenge(Befehl& b) {
  b[0] = (static_cast<std::uint32_t>(b.size()) << 16) | (b[0] & 0xFFFFu);
}

// Literal string at word `ab`; returns the number of words it takes (0 when broken).
std::size_t LiesText(const Befehl& b, std::size_t ab, std::string& text) {
  text.clear();
  for (std::size_t i = ab; i < b.size(); ++i) {
    for (int k = 0; k < 4; ++k) {
      char c = static_cast<char>((b[i] >> (8 * k)) & 0xFF);
      if (c == 0) return i - ab + 1;
      text.push_back(c);
    }
  }
  return 0;
}
void HaengeTextAn(Befehl& b, const std::string& text) {
  std::size_t woerter = text.size() / 4 + 1;
  std::size_t start = b.size();
  b.resize(start + woerter, 0);
  std::memcpy(b.data() + start, text.data(), text.size());
}

struct Variable {
  std::uint32_t id = 0;
  std::size_t befehl = 0;  // index of its OpVariable
  std::uint32_t speicher = 0;
  std::uint32_t typ = 0;  // pointee
  std::optional<std::uint32_t> location;
  std::optional<std::uint32_t> builtin;
  std::string semantik;
  std::vector<std::size_t> dekorationen;     // all its decoration instructions
  std::vector<std::uint32_t> interpolation;  // Flat, NoPerspective, Centroid, Sample
};

struct Slot {
  std::vector<std::uint32_t> pfad;  // literal indices into the variable's value
  std::uint32_t typ = 0;            // float or float vector
  std::uint32_t komponenten = 1;
};

class Umbau {
 public:
  Umbau(std::vector<std::uint32_t>& spirv, ShaderStufe stufe) : spirv_(spirv), stufe_(stufe) {}

  Schnittstelle Fuehre() {
    if (!Lies()) return Fehler("error: the compiler produced an unreadable module");
    if (!Sammle()) {
      if (erg_.ok) Fehler("error: the compiler produced an unreadable module");
      return erg_;
    }
    std::vector<Variable*> eingaenge, ausgaenge;
    for (auto& v : variablen_) {
      if (v.builtin) {
        if (!PruefeBuiltin(v)) return erg_;
        continue;
      }
      (v.speicher == SpvStorageClassInput ? eingaenge : ausgaenge).push_back(&v);
    }
    bool ok = stufe_ == ShaderStufe::Vertex ? VertexEingaenge(eingaenge) && VertexAusgaenge(ausgaenge)
                                            : PixelEingaenge(eingaenge) && PixelAusgaenge(ausgaenge);
    if (!ok) return erg_;
    Schreibe();
    return erg_;
  }

 private:
  Schnittstelle Fehler(std::string text) {
    erg_.ok = false;
    erg_.fehler = std::move(text);
    return erg_;
  }
  bool Scheitere(std::string text) {
    Fehler(std::move(text));
    return false;
  }

  bool Lies() {
    if (spirv_.size() < 5 || spirv_[0] != SpvMagicNumber) return false;
    std::copy(spirv_.begin(), spirv_.begin() + 5, kopf_);
    for (std::size_t i = 5; i < spirv_.size();) {
      std::uint32_t n = spirv_[i] >> 16;
      if (n == 0 || i + n > spirv_.size()) return false;
      befehle_.emplace_back(spirv_.begin() + i, spirv_.begin() + i + n);
      i += n;
    }
    return true;
  }

  bool Sammle() {
    std::size_t einstiege = 0;
    std::map<std::uint32_t, std::size_t> variablenBefehl;
    for (std::size_t i = 0; i < befehle_.size(); ++i) {
      const Befehl& b = befehle_[i];
      switch (Op(b)) {
        case SpvOpEntryPoint:
          ++einstiege;
          einstieg_ = i;
          break;
        case SpvOpName:
        case SpvOpMemberName:
          namenEnde_ = i + 1;
          break;
        case SpvOpDecorate:
        case SpvOpMemberDecorate:
        case SpvOpDecorationGroup:
        case SpvOpGroupDecorate:
        case SpvOpGroupMemberDecorate:
        case SpvOpDecorateId:
        case SpvOpDecorateString:
        case SpvOpMemberDecorateString:
          if (!ersteDekoration_) ersteDekoration_ = i;
          dekorationenEnde_ = i + 1;
          break;
        case SpvOpTypeFloat:
          if (b.size() >= 3 && b[2] == 32) floatTyp_ = b[1];
          typen_[b[1]] = i;
          break;
        case SpvOpTypeVector:
          if (b.size() >= 4) vektoren_[{b[2], b[3]}] = b[1];
          typen_[b[1]] = i;
          break;
        case SpvOpTypePointer:
          if (b.size() >= 4) zeiger_[{b[2], b[3]}] = b[1];
          typen_[b[1]] = i;
          break;
        case SpvOpTypeInt:
        case SpvOpTypeMatrix:
        case SpvOpTypeArray:
        case SpvOpTypeStruct:
        case SpvOpTypeBool:
          typen_[b[1]] = i;
          break;
        case SpvOpConstant:
          if (b.size() >= 4) konstanten_[b[2]] = b[3];
          break;
        case SpvOpVariable:
          if (b.size() >= 4) variablenBefehl[b[2]] = i;
          break;
        case SpvOpFunction:
          if (!ersteFunktion_) ersteFunktion_ = i;
          break;
        default:
          break;
      }
    }
    if (einstiege != 1 || !ersteFunktion_)
      return Scheitere("error: the compiled module has no single entry point");
    if (!ersteDekoration_) ersteDekoration_ = dekorationenEnde_ = *ersteFunktion_;
    if (!namenEnde_) namenEnde_ = *ersteDekoration_;

    const Befehl& ep = befehle_[einstieg_];
    std::string name;
    std::size_t w = LiesText(ep, 3, name);
    if (ep.size() < 4 || w == 0) return false;
    funktion_ = ep[2];
    for (std::size_t k = 3 + w; k < ep.size(); ++k) {
      auto it = variablenBefehl.find(ep[k]);
      if (it == variablenBefehl.end()) continue;
      const Befehl& vb = befehle_[it->second];
      Variable v;
      v.id = ep[k];
      v.befehl = it->second;
      v.speicher = vb[3];
      auto zt = typen_.find(vb[1]);
      if (zt == typen_.end()) return false;
      v.typ = befehle_[zt->second][3];
      variablen_.push_back(v);
    }
    for (std::size_t i = 0; i < befehle_.size(); ++i) {
      const Befehl& b = befehle_[i];
      if ((Op(b) != SpvOpDecorate && Op(b) != SpvOpDecorateString) || b.size() < 3) continue;
      Variable* v = Suche(b[1]);
      if (!v) continue;
      v->dekorationen.push_back(i);
      const std::uint32_t deko = b[2];
      if (Op(b) == SpvOpDecorateString) {
        if (deko == SpvDecorationUserSemantic) LiesText(b, 3, v->semantik);
      } else if (deko == SpvDecorationLocation && b.size() >= 4) {
        v->location = b[3];
      } else if (deko == SpvDecorationBuiltIn && b.size() >= 4) {
        v->builtin = b[3];
      } else if (deko == SpvDecorationFlat || deko == SpvDecorationNoPerspective ||
                 deko == SpvDecorationCentroid || deko == SpvDecorationSample) {
        v->interpolation.push_back(deko);
      }
    }
    return true;
  }

  Variable* Suche(std::uint32_t id) {
    for (auto& v : variablen_)
      if (v.id == id) return &v;
    return nullptr;
  }

  const Befehl* Typ(std::uint32_t id) const {
    auto it = typen_.find(id);
    return it == typen_.end() ? nullptr : &befehle_[it->second];
  }

  // Locations a value of this type takes (one per vector, matrix column, element).
  std::uint32_t Plaetze(std::uint32_t typ) const {
    const Befehl* t = Typ(typ);
    if (!t) return 1;
    if (Op(*t) == SpvOpTypeMatrix) return (*t)[3];
    if (Op(*t) == SpvOpTypeArray) {
      auto it = konstanten_.find((*t)[3]);
      return (it == konstanten_.end() ? 1 : it->second) * Plaetze((*t)[2]);
    }
    return 1;
  }

  // The registers of an interpolator, in order; false for types that are not float.
  bool SammleSlots(std::uint32_t typ, std::vector<std::uint32_t>& pfad,
                   std::vector<Slot>& aus) const {
    const Befehl* t = Typ(typ);
    if (!t) return false;
    switch (Op(*t)) {
      case SpvOpTypeFloat:
        if ((*t)[2] != 32) return false;
        aus.push_back({pfad, typ, 1});
        return true;
      case SpvOpTypeVector:
        if ((*t)[2] != floatTyp_) return false;
        aus.push_back({pfad, typ, (*t)[3]});
        return true;
      case SpvOpTypeMatrix:
      case SpvOpTypeArray: {
        std::uint32_t anzahl = (*t)[3];
        if (Op(*t) == SpvOpTypeArray) {
          auto it = konstanten_.find((*t)[3]);
          if (it == konstanten_.end()) return false;
          anzahl = it->second;
        }
        for (std::uint32_t i = 0; i < anzahl; ++i) {
          pfad.push_back(i);
          bool ok = SammleSlots((*t)[2], pfad, aus);
          pfad.pop_back();
          if (!ok) return false;
        }
        return true;
      }
      default:
        return false;
    }
  }

  std::uint32_t NeueId() { return kopf_[3]++; }

  std::uint32_t FloatTyp() {
    if (!floatTyp_) {
      floatTyp_ = NeueId();
      neueGlobale_.push_back(Neu(SpvOpTypeFloat, {floatTyp_, 32}));
    }
    return floatTyp_;
  }
  std::uint32_t VektorTyp(std::uint32_t n) {
    auto& id = vektoren_[{FloatTyp(), n}];
    if (!id) {
      id = NeueId();
      neueGlobale_.push_back(Neu(SpvOpTypeVector, {id, floatTyp_, n}));
    }
    return id;
  }
  std::uint32_t ZeigerTyp(std::uint32_t speicher, std::uint32_t typ) {
    auto& id = zeiger_[{speicher, typ}];
    if (!id) {
      id = NeueId();
      neueGlobale_.push_back(Neu(SpvOpTypePointer, {id, speicher, typ}));
      neueZeiger_[id] = typ;
    }
    return id;
  }
  // The pointee of a pointer type, 0 when the id is none.
  std::uint32_t ZeigerZiel(std::uint32_t id) const {
    if (auto it = neueZeiger_.find(id); it != neueZeiger_.end()) return it->second;
    const Befehl* z = Typ(id);
    return z && Op(*z) == SpvOpTypePointer ? (*z)[3] : 0;
  }
  // (0, 0, 0, 1): the components a narrower interpolator does not write.
  std::uint32_t Fuellwert() {
    if (!fuell_) {
      std::uint32_t null = NeueId(), eins = NeueId();
      float f0 = 0.0f, f1 = 1.0f;
      std::uint32_t b0, b1;
      std::memcpy(&b0, &f0, 4);
      std::memcpy(&b1, &f1, 4);
      neueGlobale_.push_back(Neu(SpvOpConstant, {FloatTyp(), null, b0}));
      neueGlobale_.push_back(Neu(SpvOpConstant, {floatTyp_, eins, b1}));
      fuell_ = NeueId();
      neueGlobale_.push_back(
          Neu(SpvOpConstantComposite, {VektorTyp(4), fuell_, null, null, null, eins}));
      fuellSkalar_ = null;
      fuellEins_ = eins;
    }
    return fuell_;
  }

  void Dekoriere(std::uint32_t id, std::uint32_t deko, std::uint32_t wert) {
    neueDekorationen_.push_back(Neu(SpvOpDecorate, {id, deko, wert}));
  }
  void Entferne(std::size_t befehl) { befehle_[befehl].clear(); }
  void EntferneDekoration(Variable& v, std::uint32_t deko) {
    for (auto i : v.dekorationen)
      if (!befehle_[i].empty() && befehle_[i][2] == deko) Entferne(i);
  }
  void SetzeLocation(Variable& v, std::uint32_t location) {
    EntferneDekoration(v, SpvDecorationLocation);
    Dekoriere(v.id, SpvDecorationLocation, location);
  }
  void MacheBuiltin(Variable& v, SpvBuiltIn builtin) {
    EntferneDekoration(v, SpvDecorationLocation);
    EntferneDekoration(v, SpvDecorationComponent);
    Dekoriere(v.id, SpvDecorationBuiltIn, builtin);
  }

  // glslang makes PSIZE, DEPTH and SV_Position built-ins itself where they are parameters of
  // the entry point (members of a structure come here as their semantics); each must have the
  // type of the GLSL variable it becomes.
  bool PruefeBuiltin(const Variable& v) {
    const Befehl* t = Typ(v.typ);
    const bool float4 = t && Op(*t) == SpvOpTypeVector && (*t)[2] == floatTyp_ && (*t)[3] == 4;
    switch (*v.builtin) {
      case SpvBuiltInPointSize:
        return v.typ == floatTyp_ || Scheitere("error: output PSIZE must be a float");
      case SpvBuiltInFragDepth:
        return v.typ == floatTyp_ || Scheitere("error: output DEPTH must be a float");
      case SpvBuiltInPosition:
      case SpvBuiltInFragCoord:
        return float4 || Scheitere("error: '" + (v.semantik.empty() ? std::string("SV_Position") : v.semantik) +
                                   "' must be a float4");
      default:
        return true;
    }
  }

  bool VertexEingaenge(std::vector<Variable*>& eingaenge) {
    // Declaration order: glslang numbers the inputs in that order.
    std::stable_sort(eingaenge.begin(), eingaenge.end(), [](const Variable* a, const Variable* b) {
      return a->location.value_or(~0u) < b->location.value_or(~0u);
    });
    std::uint32_t naechste = 0;
    for (Variable* v : eingaenge) {
      Semantik s = ZerlegeSemantik(v->semantik);
      int verwendung = DeklarationsVerwendung(s.name);
      if (verwendung < 0)
        return Scheitere("error: vertex input semantic '" + v->semantik + "' is not known");
      std::uint32_t plaetze = Plaetze(v->typ);
      SetzeLocation(*v, naechste);
      for (std::uint32_t k = 0; k < plaetze; ++k)
        erg_.eingaenge.push_back(
            {static_cast<std::uint32_t>(verwendung), s.index + k, naechste + k});
      naechste += plaetze;
    }
    return true;
  }

  bool VertexAusgaenge(std::vector<Variable*>& ausgaenge) {
    bool position = false;
    for (Variable* v : ausgaenge) {
      Semantik s = ZerlegeSemantik(v->semantik);
      const Befehl* t = Typ(v->typ);
      if (s.name == "POSITION") {
        if (position) return Scheitere("error: more than one POSITION output");
        if (!t || Op(*t) != SpvOpTypeVector || (*t)[2] != floatTyp_ || (*t)[3] != 4)
          return Scheitere("error: output '" + v->semantik + "' must be a float4");
        position = true;
        MacheBuiltin(*v, SpvBuiltInPosition);
      } else if (s.name == "PSIZE") {
        if (v->typ != floatTyp_) return Scheitere("error: output PSIZE must be a float");
        MacheBuiltin(*v, SpvBuiltInPointSize);
      } else if (!Interpolator(*v)) {
        return false;
      }
    }
    return true;
  }

  bool PixelEingaenge(std::vector<Variable*>& eingaenge) {
    for (Variable* v : eingaenge)
      if (!Interpolator(*v)) return false;
    return true;
  }

  bool PixelAusgaenge(std::vector<Variable*>& ausgaenge) {
    for (Variable* v : ausgaenge) {
      Semantik s = ZerlegeSemantik(v->semantik);
      if (s.name == "COLOR" || s.name == "SV_TARGET") {
        if (s.index >= 4) return Scheitere("error: output '" + v->semantik + "' has no target");
        SetzeLocation(*v, s.index);
      } else if (s.name == "DEPTH") {
        if (v->typ != floatTyp_) return Scheitere("error: output DEPTH must be a float");
        MacheBuiltin(*v, SpvBuiltInFragDepth);
        tiefe_ = true;
      } else {
        return Scheitere("error: pixel shader output semantic '" + v->semantik +
                         "' is not supported");
      }
    }
    return true;
  }

  // Replaces the variable by one float4 per register at the location of its semantic
  // and keeps the variable itself as a private copy.
  bool Interpolator(Variable& v) {
    Semantik s = ZerlegeSemantik(v.semantik);
    std::uint32_t basis, platz;
    if (s.name == "TEXCOORD") {
      basis = 0;
      platz = 16;
    } else if (s.name == "COLOR") {
      basis = 16;
      platz = 4;
    } else if (s.name == "FOG") {
      basis = 20;
      platz = 1;
    } else {
      return Scheitere("error: semantic '" + v.semantik +
                       "' cannot be passed from the vertex to the pixel shader");
    }
    std::vector<Slot> slots;
    std::vector<std::uint32_t> pfad;
    if (!SammleSlots(v.typ, pfad, slots))
      return Scheitere("error: interpolator '" + v.semantik + "' must be of a float type");
    if (s.index + slots.size() > platz)
      return Scheitere("error: interpolator '" + v.semantik + "' lies beyond the last " +
                       s.name + " register");

    // The variable becomes private, and so does every pointer taken from it.
    Befehl& vb = befehle_[v.befehl];
    vb[1] = ZeigerTyp(SpvStorageClassPrivate, v.typ);
    vb[3] = SpvStorageClassPrivate;
    neueGlobale_.push_back(vb);
    Entferne(v.befehl);
    std::vector<std::uint32_t> abgeleitet{v.id};
    auto istAbgeleitet = [&](std::uint32_t id) {
      return std::find(abgeleitet.begin(), abgeleitet.end(), id) != abgeleitet.end();
    };
    for (auto& b : befehle_) {
      switch (Op(b)) {
        case SpvOpAccessChain:
        case SpvOpInBoundsAccessChain:
        case SpvOpPtrAccessChain:
        case SpvOpInBoundsPtrAccessChain:
        case SpvOpCopyObject:
          if (b.size() >= 4 && istAbgeleitet(b[3])) {
            const std::uint32_t ziel = ZeigerZiel(b[1]);
            if (!ziel) return Scheitere("error: the compiled module has a broken pointer");
            b[1] = ZeigerTyp(SpvStorageClassPrivate, ziel);
            abgeleitet.push_back(b[2]);
          }
          break;
        case SpvOpFunctionCall:
          for (std::size_t k = 4; k < b.size(); ++k)
            if (istAbgeleitet(b[k]))
              return Scheitere("error: interpolator '" + v.semantik +
                               "' is passed to a function by reference");
          break;
        default:
          break;
      }
    }
    for (auto i : v.dekorationen) Entferne(i);
    entfernteSchnittstelle_.push_back(v.id);

    // One float4 variable per register.
    const std::uint32_t vec4 = VektorTyp(4);
    const std::uint32_t zeiger = ZeigerTyp(v.speicher, vec4);
    std::vector<std::uint32_t> register_;
    for (std::size_t k = 0; k < slots.size(); ++k) {
      std::uint32_t id = NeueId();
      neueGlobale_.push_back(Neu(SpvOpVariable, {zeiger, id, v.speicher}));
      const std::uint32_t location = basis + s.index + static_cast<std::uint32_t>(k);
      Dekoriere(id, SpvDecorationLocation, location);
      for (auto d : v.interpolation) neueDekorationen_.push_back(Neu(SpvOpDecorate, {id, d}));
      Befehl name = Neu(SpvOpName, {id});
      HaengeTextAn(name, "io_" + s.name + std::to_string(s.index + k));
      SetzeLaenge(name);
      neueNamen_.push_back(name);
      neueSchnittstelle_.push_back(id);
      register_.push_back(id);
    }
    if (v.speicher == SpvStorageClassOutput)
      kopienAus_.push_back({v.id, v.typ, slots, register_});
    else
      kopienEin_.push_back({v.id, v.typ, slots, register_});
    return true;
  }

  struct Kopie {
    std::uint32_t variable, typ;
    std::vector<Slot> slots;
    std::vector<std::uint32_t> register_;
  };

  // Private copy -> float4 registers (before the entry function returns).
  void KopiereAus(const Kopie& k, std::vector<Befehl>& code) {
    std::uint32_t wert = NeueId();
    code.push_back(Neu(SpvOpLoad, {k.typ, wert, k.variable}));
    for (std::size_t i = 0; i < k.slots.size(); ++i) {
      const Slot& s = k.slots[i];
      std::uint32_t teil = wert;
      if (!s.pfad.empty()) {
        teil = NeueId();
        Befehl b = Neu(SpvOpCompositeExtract, {s.typ, teil, wert});
        b.insert(b.end(), s.pfad.begin(), s.pfad.end());
        SetzeLaenge(b);
        code.push_back(b);
      }
      std::uint32_t breit = teil;
      if (s.komponenten == 1) {
        Fuellwert();
        breit = NeueId();
        code.push_back(Neu(SpvOpCompositeConstruct,
                           {VektorTyp(4), breit, teil, fuellSkalar_, fuellSkalar_, fuellEins_}));
      } else if (s.komponenten < 4) {
        breit = NeueId();
        Befehl b = Neu(SpvOpVectorShuffle, {VektorTyp(4), breit, teil, Fuellwert()});
        for (std::uint32_t c = 0; c < 4; ++c) b.push_back(c < s.komponenten ? c : s.komponenten + c);
        SetzeLaenge(b);
        code.push_back(b);
      }
      code.push_back(Neu(SpvOpStore, {k.register_[i], breit}));
    }
  }

  // float4 registers -> private copy (at the start of the entry function).
  void KopiereEin(const Kopie& k, std::vector<Befehl>& code) {
    std::vector<std::uint32_t> werte;
    for (std::size_t i = 0; i < k.slots.size(); ++i) {
      const Slot& s = k.slots[i];
      std::uint32_t voll = NeueId();
      code.push_back(Neu(SpvOpLoad, {VektorTyp(4), voll, k.register_[i]}));
      std::uint32_t schmal = voll;
      if (s.komponenten == 1) {
        schmal = NeueId();
        code.push_back(Neu(SpvOpCompositeExtract, {s.typ, schmal, voll, 0}));
      } else if (s.komponenten < 4) {
        schmal = NeueId();
        Befehl b = Neu(SpvOpVectorShuffle, {s.typ, schmal, voll, voll});
        for (std::uint32_t c = 0; c < s.komponenten; ++c) b.push_back(c);
        SetzeLaenge(b);
        code.push_back(b);
      }
      werte.push_back(schmal);
    }
    std::size_t naechster = 0;
    std::uint32_t wert = Baue(k.typ, werte, naechster, code);
    code.push_back(Neu(SpvOpStore, {k.variable, wert}));
  }

  std::uint32_t Baue(std::uint32_t typ, const std::vector<std::uint32_t>& werte,
                     std::size_t& naechster, std::vector<Befehl>& code) {
    const Befehl* t = Typ(typ);
    if (Op(*t) != SpvOpTypeMatrix && Op(*t) != SpvOpTypeArray) return werte[naechster++];
    std::uint32_t anzahl = Op(*t) == SpvOpTypeMatrix ? (*t)[3] : konstanten_.at((*t)[3]);
    const std::uint32_t element = (*t)[2];
    std::vector<std::uint32_t> teile;
    for (std::uint32_t i = 0; i < anzahl; ++i) teile.push_back(Baue(element, werte, naechster, code));
    std::uint32_t id = NeueId();
    Befehl b = Neu(SpvOpCompositeConstruct, {typ, id});
    b.insert(b.end(), teile.begin(), teile.end());
    SetzeLaenge(b);
    code.push_back(b);
    return id;
  }

  void Schreibe() {
    std::map<std::size_t, std::vector<Befehl>> davor;
    // Copies at the start of the entry function (after its local variables) and
    // before each of its returns.
    bool imEinstieg = false, ersterBlock = false;
    for (std::size_t i = 0; i < befehle_.size(); ++i) {
      const Befehl& b = befehle_[i];
      const auto op = Op(b);
      if (op == SpvOpFunction) {
        imEinstieg = b[2] == funktion_;
        ersterBlock = false;
        continue;
      }
      if (!imEinstieg) continue;
      if (op == SpvOpLabel && !ersterBlock) {
        ersterBlock = true;
        std::size_t j = i + 1;
        while (j < befehle_.size() &&
               (Op(befehle_[j]) == SpvOpVariable || Op(befehle_[j]) == SpvOpLine ||
                Op(befehle_[j]) == SpvOpNoLine))
          ++j;
        for (const auto& k : kopienEin_) KopiereEin(k, davor[j]);
      } else if (op == SpvOpReturn) {
        for (const auto& k : kopienAus_) KopiereAus(k, davor[i]);
      } else if (op == SpvOpFunctionEnd) {
        imEinstieg = false;
      }
    }

    Befehl& ep = befehle_[einstieg_];
    std::string name;
    std::size_t w = LiesText(ep, 3, name);
    Befehl neu(ep.begin(), ep.begin() + 3 + w);
    for (std::size_t k = 3 + w; k < ep.size(); ++k)
      if (std::find(entfernteSchnittstelle_.begin(), entfernteSchnittstelle_.end(), ep[k]) ==
          entfernteSchnittstelle_.end())
        neu.push_back(ep[k]);
    neu.insert(neu.end(), neueSchnittstelle_.begin(), neueSchnittstelle_.end());
    SetzeLaenge(neu);
    ep = neu;
    if (tiefe_) {
      bool vorhanden = false;
      for (const auto& b : befehle_)
        if (Op(b) == SpvOpExecutionMode && b[2] == SpvExecutionModeDepthReplacing) vorhanden = true;
      if (!vorhanden)
        davor[einstieg_ + 1].push_back(
            Neu(SpvOpExecutionMode, {funktion_, SpvExecutionModeDepthReplacing}));
    }
    auto& n = davor[*namenEnde_];
    n.insert(n.end(), neueNamen_.begin(), neueNamen_.end());
    auto& d = davor[*dekorationenEnde_];
    d.insert(d.end(), neueDekorationen_.begin(), neueDekorationen_.end());
    auto& g = davor[*ersteFunktion_];
    g.insert(g.end(), neueGlobale_.begin(), neueGlobale_.end());

    spirv_.assign(kopf_, kopf_ + 5);
    for (std::size_t i = 0; i <= befehle_.size(); ++i) {
      auto it = davor.find(i);
      if (it != davor.end())
        for (const auto& b : it->second) spirv_.insert(spirv_.end(), b.begin(), b.end());
      if (i < befehle_.size()) spirv_.insert(spirv_.end(), befehle_[i].begin(), befehle_[i].end());
    }
  }

  std::vector<std::uint32_t>& spirv_;
  ShaderStufe stufe_;
  Schnittstelle erg_;
  std::uint32_t kopf_[5] = {};
  std::vector<Befehl> befehle_;
  std::size_t einstieg_ = 0;
  std::uint32_t funktion_ = 0;
  std::optional<std::size_t> namenEnde_, ersteDekoration_, dekorationenEnde_, ersteFunktion_;
  std::map<std::uint32_t, std::size_t> typen_;
  std::map<std::uint32_t, std::uint32_t> konstanten_, neueZeiger_;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> vektoren_, zeiger_;
  std::uint32_t floatTyp_ = 0, fuell_ = 0, fuellSkalar_ = 0, fuellEins_ = 0;
  std::vector<Variable> variablen_;
  std::vector<Befehl> neueGlobale_, neueDekorationen_, neueNamen_;
  std::vector<std::uint32_t> entfernteSchnittstelle_, neueSchnittstelle_;
  std::vector<Kopie> kopienAus_, kopienEin_;
  bool tiefe_ = false;
};

}  // namespace

Schnittstelle RichteSchnittstelleEin(std::vector<std::uint32_t>& spirv, ShaderStufe stufe) {
  return Umbau(spirv, stufe).Fuehre();
}

}  // namespace Plattform::D3dx
