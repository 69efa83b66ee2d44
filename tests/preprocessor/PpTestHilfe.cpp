#include "PpTestHilfe.h"

#include <cstdio>
#include <cstring>
#include <regex>

#include <gtest/gtest.h>

namespace PpTest {

namespace {
Lauf* aktuell = nullptr;  // the opener has no user pointer
}

struct Lauf::Offen {
  Lauf* lauf;
  std::string inhalt;
  std::size_t pos = 0;
};

Lauf::Lauf() { aktuell = this; }
Lauf::~Lauf() {
  if (aktuell == this) aktuell = nullptr;
}

Lauf& Lauf::Datei(const std::string& name, const std::string& inhalt) {
  dateien_[name] = inhalt;
  return *this;
}

Lauf& Lauf::Tag(PreProcessTag tag) {
  tags_.push_back(tag);
  return *this;
}

FILE* Lauf::Oeffne(const char* name, const char* modus) {
  Lauf* l = aktuell;
  l->gefragt.emplace_back(name);
  if (std::strcmp(modus, "r") != 0) return nullptr;
  auto it = l->dateien_.find(name);
  if (it == l->dateien_.end()) return nullptr;
  auto* o = new Offen{l, it->second};
  cookie_io_functions_t funktionen{};
  funktionen.read = [](void* c, char* puffer, std::size_t n) -> ssize_t {
    auto* o = static_cast<Offen*>(c);
    std::size_t k = std::min(n, o->inhalt.size() - o->pos);
    std::memcpy(puffer, o->inhalt.data() + o->pos, k);
    o->pos += k;
    return static_cast<ssize_t>(k);
  };
  funktionen.close = [](void* c) -> int {
    auto* o = static_cast<Offen*>(c);
    ++o->lauf->geschlossen;
    delete o;
    return 0;
  };
  FILE* f = fopencookie(o, "r", funktionen);
  if (f != nullptr) ++l->geoeffnet;
  return f;
}

char* Lauf::Eingabe(char* puffer, int groesse, void* benutzer) {
  auto* l = static_cast<Lauf*>(benutzer);
  if (l->pos_ >= l->eingabe_.size()) return nullptr;
  std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(groesse - 1), l->eingabe_.size() - l->pos_);
  std::memcpy(puffer, l->eingabe_.data() + l->pos_, k);
  puffer[k] = 0;
  l->pos_ += k;
  return puffer;
}

void Lauf::Ausgabe(int c, void* benutzer) {
  static_cast<Lauf*>(benutzer)->ergebnis_.ausgabe += static_cast<char>(c);
}

void Lauf::Meldung(void* benutzer, const char* format, va_list argumente) {
  char text[4096];
  std::vsnprintf(text, sizeof text, format, argumente);
  static_cast<Lauf*>(benutzer)->ergebnis_.meldungen += text;
}

Ergebnis Lauf::Start(const std::string& eingabe) {
  aktuell = this;
  eingabe_ = eingabe;
  pos_ = 0;
  ergebnis_ = Ergebnis{};
  std::vector<PreProcessTag> alle = {
      PpTagText(PPTAG_INPUT_NAME, "main"),        PpTagFunktion(PPTAG_INPUT, &Lauf::Eingabe),
      PpTagFunktion(PPTAG_OUTPUT, &Lauf::Ausgabe), PpTagFunktion(PPTAG_ERROR, &Lauf::Meldung),
      PpTagZeiger(PPTAG_USERDATA, this),           PpTagWert(PPTAG_LINE_MARKERS, 0),
      PpTagWert(PPTAG_SHOW_BANNER, 0),             PpTagFunktion(PPTAG_FILE_OPEN, &Lauf::Oeffne)};
  alle.insert(alle.end(), tags_.begin(), tags_.end());
  alle.push_back({PPTAG_END, 0});
  PreProcessState zustand;
  ergebnis_.rueckgabe = PreProcess(alle.data(), &zustand);
  return ergebnis_;
}

std::string Kopf(const std::string& datei, int zeile, const std::string& schwere) {
  return "cpp: \"" + datei + "\", line " + std::to_string(zeile) + ": " + schwere + ": ";
}

std::string Kurz(const std::string& meldungen) {
  static const std::regex kKopf("cpp: \"([^\"]*)\", line (-?[0-9]+): ");
  return std::regex_replace(meldungen, kKopf, "$1:$2: ");
}

void Pruefe(const Fall& fall) {
  SCOPED_TRACE(fall.eingabe.substr(0, 200));
  Lauf lauf;
  for (const auto& tag : fall.tags) lauf.Tag(tag);
  for (const auto& [name, inhalt] : fall.dateien) lauf.Datei(name, inhalt);
  const Ergebnis e = lauf.Start(fall.eingabe);
  EXPECT_EQ(e.ausgabe, fall.ausgabe);
  const std::string meldungen = Kurz(e.meldungen);
  EXPECT_EQ(meldungen, fall.meldungen);
  const bool fehler = std::regex_search(meldungen, std::regex(": (Error|Fatal): "));
  EXPECT_EQ(e.rueckgabe, fehler ? 1 : 0);
}

}  // namespace PpTest
