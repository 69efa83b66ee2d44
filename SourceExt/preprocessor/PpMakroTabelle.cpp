#include "PpMakroTabelle.h"

#include <algorithm>
#include <cstdio>

namespace Praeprozessor {

namespace {
struct Schluessel {
  int eimer;
  std::uint32_t hash;
};

Schluessel Berechne(std::string_view name) {
  std::uint32_t summe = 0;
  std::uint32_t h = 2166136261u;
  for (unsigned char c : name) {
    summe += c;
    h = (h ^ c) * 16777619u;
  }
  return {static_cast<int>((summe + name.size()) % MakroTabelle::kEimer), h};
}

void Druckbar(std::string& aus, const std::string& text) {
  for (unsigned char c : text) {
    if (c < 32 || c >= 127) {
      char oktal[8];
      std::snprintf(oktal, sizeof oktal, "\\0%o", c);
      aus += oktal;
    } else {
      aus += static_cast<char>(c);
    }
  }
}
}  // namespace

Makro* MakroTabelle::Finde(std::string_view name) const {
  if (index_.empty()) return nullptr;
  const std::uint32_t h = Berechne(name).hash;
  const std::size_t bit = FilterBit(h);
  if ((filter_[bit / 64] >> (bit % 64) & 1u) == 0) return nullptr;
  const std::size_t maske = index_.size() - 1;
  for (std::size_t i = h & maske;; i = (i + 1) & maske) {
    const Platz& p = index_[i];
    if (p.makro == nullptr) return nullptr;
    if (p.hash == h && p.makro->name == name) return p.makro;
  }
}

void MakroTabelle::IndexEintragen(Makro* m) {
  if ((indexAnzahl_ + 1) * 2 > index_.size()) {
    std::vector<Platz> alt = std::move(index_);
    index_.assign(alt.empty() ? 256 : alt.size() * 2, Platz{0, nullptr});
    indexAnzahl_ = 0;
    std::fill(filter_.begin(), filter_.end(), 0);
    for (const Platz& p : alt)
      if (p.makro != nullptr) IndexEintragen(p.makro);
  }
  const std::size_t maske = index_.size() - 1;
  std::size_t i = m->hash & maske;
  while (index_[i].makro != nullptr) i = (i + 1) & maske;
  index_[i] = {m->hash, m};
  ++indexAnzahl_;
  const std::size_t bit = FilterBit(m->hash);
  filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

void MakroTabelle::IndexEntfernen(const Makro* m) {
  const std::size_t maske = index_.size() - 1;
  std::size_t i = m->hash & maske;
  while (index_[i].makro != m) i = (i + 1) & maske;
  // Backward shift: move later entries of the probe run into the gap where allowed.
  for (std::size_t j = (i + 1) & maske; index_[j].makro != nullptr; j = (j + 1) & maske) {
    const std::size_t ziel = index_[j].hash & maske;
    const bool zwischen = i <= j ? (i < ziel && ziel <= j) : (i < ziel || ziel <= j);
    if (!zwischen) {
      index_[i] = index_[j];
      i = j;
    }
  }
  index_[i] = {0, nullptr};
  --indexAnzahl_;
}

bool MakroTabelle::Definiere(std::unique_ptr<Makro> m) {
  Schluessel s = Berechne(m->name);
  m->hash = s.hash;
  Eimer& e = eimer_[s.eimer];
  auto it = std::lower_bound(e.makros.begin(), e.makros.end(), m->name,
                             [](const std::unique_ptr<Makro>& a, const std::string& n) {
                               return a->name < n;
                             });
  if (it != e.makros.end() && (*it)->name == m->name) {
    bool anders = !(*it)->GleicherRumpf(*m);
    IndexEntfernen(it->get());
    friedhof_.push_back(std::move(*it));
    *it = std::move(m);
    IndexEintragen(it->get());
    return anders;
  }
  Makro* roh = m.get();
  e.makros.insert(it, std::move(m));
  IndexEintragen(roh);
  return false;
}

bool MakroTabelle::Entferne(std::string_view name) {
  Makro* m = Finde(name);
  if (m == nullptr) return false;
  IndexEntfernen(m);
  Eimer& e = eimer_[Berechne(m->name).eimer];
  for (std::size_t i = 0; i < e.makros.size(); ++i) {
    if (e.makros[i].get() == m) {
      friedhof_.push_back(std::move(e.makros[i]));
      e.makros.erase(e.makros.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  return true;
}

void Makro::BaueRumpf(const std::vector<Token>& tokens) {
  rumpf.clear();
  hatRumpf = !tokens.empty();
  auto parameterNummer = [&](const Token& t) -> int {
    if (t.art != TokenArt::Name) return -1;
    for (std::size_t i = 0; i < parameter.size(); ++i)
      if (parameter[i] == t.text) return static_cast<int>(i);
    return -1;
  };
  bool nachVerbinden = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    MakroTeil teil;
    teil.leer = !rumpf.empty() && t.leer && !nachVerbinden;
    nachVerbinden = false;
    if (t.Ist("##")) {
      teil.art = MakroTeil::Art::Verbinden;
      teil.leer = false;
      nachVerbinden = true;
    } else if (int n = parameterNummer(t); n >= 0) {
      teil.art = MakroTeil::Art::Parameter;
      teil.nummer = static_cast<std::uint8_t>(n);
    } else if (argumente >= 0 && t.Ist('#') && i + 1 < tokens.size() &&
               parameterNummer(tokens[i + 1]) >= 0) {
      teil.art = MakroTeil::Art::Zeichenkette;
      teil.nummer = static_cast<std::uint8_t>(parameterNummer(tokens[++i]));
    } else {
      teil.text = t.text;
      teil.tokenArt = t.art;
      teil.gesperrt = t.gesperrt || (t.art == TokenArt::Name && t.text == name);
    }
    rumpf.push_back(std::move(teil));
  }
}

bool Makro::GleicherRumpf(const Makro& b) const {
  if (hatRumpf != b.hatRumpf) return false;
  if (rumpf.size() != b.rumpf.size()) return false;
  for (std::size_t i = 0; i < rumpf.size(); ++i) {
    const MakroTeil& x = rumpf[i];
    const MakroTeil& y = b.rumpf[i];
    if (x.art != y.art || x.leer != y.leer) return false;
    if (x.art == MakroTeil::Art::Token && x.text != y.text) return false;
    if ((x.art == MakroTeil::Art::Parameter || x.art == MakroTeil::Art::Zeichenkette) &&
        x.nummer != y.nummer)
      return false;
  }
  return true;
}

std::string Makro::DumpZeile() const {
  std::string z = "#define " + name;
  if (argumente >= 0) {
    z += '(';
    for (std::size_t i = 0; i < parameter.size(); ++i) {
      if (i > 0) z += ',';
      z += parameter[i];
    }
    z += ')';
  }
  z += ' ';
  for (const MakroTeil& t : rumpf) {
    if (t.leer) z += ' ';
    switch (t.art) {
      case MakroTeil::Art::Token: Druckbar(z, t.text); break;
      case MakroTeil::Art::Parameter: z += parameter[t.nummer]; break;
      case MakroTeil::Art::Zeichenkette: z += '#' + parameter[t.nummer]; break;
      case MakroTeil::Art::Verbinden: z += "##"; break;
    }
  }
  return z;
}

}  // namespace Praeprozessor
