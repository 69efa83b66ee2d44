#include "PpTestHilfe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <regex>

namespace {

// Live blocks of operator new, those of the callbacks below left out: what the
// preprocessor allocates must be released when PreProcess returns.
long lebend = 0;
bool imRueckruf = false;
struct Rueckruf {
  Rueckruf() { imRueckruf = true; }
  ~Rueckruf() { imRueckruf = false; }
};

// Out of line, so that the compiler does not pair a new expression with free().
[[gnu::noinline]] void* Hole(std::size_t n) { return std::malloc(n == 0 ? 1 : n); }
[[gnu::noinline]] void Gib(void* p) { std::free(p); }

}  // namespace

void* operator new(std::size_t n) {
  void* p = Hole(n);
  if (p == nullptr) throw std::bad_alloc();
  if (!imRueckruf) ++lebend;
  return p;
}
void operator delete(void* p) noexcept {
  if (p != nullptr && !imRueckruf) --lebend;
  Gib(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace PpTest {

namespace {

// The run in progress: the opener has no user pointer.
const Fall* fall = nullptr;
Ergebnis* ergebnis = nullptr;
std::size_t gelesen = 0;

struct Offen {
  Ergebnis* ergebnis;
  std::string inhalt;
  std::size_t pos = 0;
};

FILE* Oeffne(const char* name, const char* modus) {
  Rueckruf r;
  ergebnis->gefragt.emplace_back(name);
  auto it = fall->dateien.find(name);
  if (std::strcmp(modus, "r") != 0 || it == fall->dateien.end()) return nullptr;
  auto* o = new Offen{ergebnis, it->second};
  cookie_io_functions_t funktionen{};
  funktionen.read = [](void* c, char* puffer, std::size_t n) -> ssize_t {
    auto* o = static_cast<Offen*>(c);
    std::size_t k = std::min(n, o->inhalt.size() - o->pos);
    std::memcpy(puffer, o->inhalt.data() + o->pos, k);
    o->pos += k;
    return static_cast<ssize_t>(k);
  };
  funktionen.close = [](void* c) -> int {
    Rueckruf r;
    auto* o = static_cast<Offen*>(c);
    ++o->ergebnis->geschlossen;
    delete o;
    return 0;
  };
  FILE* f = fopencookie(o, "r", funktionen);
  if (f != nullptr) ++ergebnis->geoeffnet;
  return f;
}

char* Eingabe(char* puffer, int groesse, void* benutzer) {
  Rueckruf r;
  EXPECT_EQ(benutzer, ergebnis);
  const std::string& text = fall->eingabe;
  if (gelesen >= text.size()) return nullptr;
  std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(groesse - 1), text.size() - gelesen);
  std::memcpy(puffer, text.data() + gelesen, k);
  puffer[k] = 0;
  gelesen += k;
  return puffer;
}

void Ausgabe(int c, void* benutzer) {
  Rueckruf r;
  static_cast<Ergebnis*>(benutzer)->ausgabe += static_cast<char>(c);
}

void Meldung(void* benutzer, const char* format, va_list argumente) {
  Rueckruf r;
  char text[4096];
  std::vsnprintf(text, sizeof text, format, argumente);
  static_cast<Ergebnis*>(benutzer)->meldungen += text;
}

}  // namespace

Ergebnis Starte(const Fall& f) {
  Ergebnis e;
  fall = &f;
  ergebnis = &e;
  gelesen = 0;
  std::vector<PreProcessTag> alle = {
      PpTagText(PPTAG_INPUT_NAME, "main"),   PpTagFunktion(PPTAG_INPUT, &Eingabe),
      PpTagFunktion(PPTAG_OUTPUT, &Ausgabe), PpTagFunktion(PPTAG_ERROR, &Meldung),
      PpTagZeiger(PPTAG_USERDATA, &e),       PpTagWert(PPTAG_LINE_MARKERS, 0),
      PpTagWert(PPTAG_SHOW_BANNER, 0),       PpTagFunktion(PPTAG_FILE_OPEN, &Oeffne)};
  alle.insert(alle.end(), f.tags.begin(), f.tags.end());
  alle.push_back({PPTAG_END, 0});
  PreProcessState zustand;
  const long vorher = lebend;
  e.rueckgabe = PreProcess(alle.data(), &zustand);
  // The run itself releases what it holds, also the files a fatal message left open.
  EXPECT_EQ(lebend, vorher);
  EXPECT_EQ(e.geschlossen, e.geoeffnet);
  return e;
}

std::string Kurz(const std::string& meldungen) {
  static const std::regex kKopf("cpp: \"([^\"]*)\", line (-?[0-9]+): ");
  return std::regex_replace(meldungen, kKopf, "$1:$2: ");
}

std::vector<std::string> Pruefe(const Fall& fall) {
  SCOPED_TRACE(fall.eingabe.substr(0, 200));
  const Ergebnis e = Starte(fall);
  EXPECT_EQ(e.ausgabe, fall.ausgabe);
  const std::string meldungen = Kurz(e.meldungen);
  EXPECT_EQ(meldungen, fall.meldungen);
  const bool fehler = std::regex_search(meldungen, std::regex(": (Error|Fatal): "));
  EXPECT_EQ(e.rueckgabe, fehler ? 1 : 0);
  return e.gefragt;
}

}  // namespace PpTest
