// Every run releases what it allocated, also when a fatal message stops it inside
// nested include files. Counts live allocations through the global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "PreProcess.h"

namespace {
std::atomic<long> lebend{0};

// Out of line, so that the compiler does not pair a new expression with free().
[[gnu::noinline]] void* Hole(std::size_t n) { return std::malloc(n == 0 ? 1 : n); }
[[gnu::noinline]] void Gib(void* p) { std::free(p); }
}  // namespace

void* operator new(std::size_t n) {
  void* p = Hole(n);
  if (p == nullptr) throw std::bad_alloc();
  ++lebend;
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  --lebend;
  Gib(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

// Callbacks that allocate nothing themselves.
struct Quelle {
  const char* text;
  std::size_t pos;
  char ausgabe[4096];
  std::size_t ausgabeLaenge;
  int meldungen;
};

char* Eingabe(char* puffer, int groesse, void* benutzer) {
  auto* q = static_cast<Quelle*>(benutzer);
  const std::size_t k = strnlen(q->text + q->pos, static_cast<std::size_t>(groesse - 1));
  if (k == 0) return nullptr;
  std::memcpy(puffer, q->text + q->pos, k);
  puffer[k] = 0;
  q->pos += k;
  return puffer;
}
void Ausgabe(int c, void* benutzer) {
  auto* q = static_cast<Quelle*>(benutzer);
  if (q->ausgabeLaenge < sizeof q->ausgabe) q->ausgabe[q->ausgabeLaenge++] = static_cast<char>(c);
}
void Meldung(void* benutzer, const char*, va_list) { ++static_cast<Quelle*>(benutzer)->meldungen; }

// Include files: "self.h" includes itself; the opener hands out in-memory streams.
int offen = 0;
FILE* Oeffne(const char* name, const char* modus) {
  static const char kSelbst[] = "#define IN_SELF(x) x x\nIN_SELF(1)\n#include \"self.h\"\n";
  if (std::strcmp(name, "self.h") != 0) return nullptr;
  FILE* f = fmemopen(const_cast<char*>(kSelbst), sizeof kSelbst - 1, modus);
  if (f != nullptr) ++offen;
  return f;
}

// Runs text; the live allocations must be the same before and after.
int Lauf(const char* text, Quelle& q) {
  q = Quelle{text, 0, {}, 0, 0};
  PreProcessTag tags[] = {PpTagText(PPTAG_INPUT_NAME, "main"), PpTagFunktion(PPTAG_INPUT, &Eingabe),
                          PpTagFunktion(PPTAG_OUTPUT, &Ausgabe), PpTagFunktion(PPTAG_ERROR, &Meldung),
                          PpTagZeiger(PPTAG_USERDATA, &q),       PpTagWert(PPTAG_LINE_MARKERS, 0),
                          PpTagText(PPTAG_DEFINE, "TAG=1"),      PpTagFunktion(PPTAG_FILE_OPEN, &Oeffne),
                          {PPTAG_END, 0}};
  PreProcessState zustand;
  const long vorher = lebend;
  int r = PreProcess(tags, &zustand);
  EXPECT_EQ(lebend, vorher) << text;
  return r;
}

}  // namespace

TEST(PreProcessSpeicher, LaufGibtAllesFrei) {
  Quelle q;
  const char* text =
      "#define A(x) #x x ## 1\n#define B A(2) A(3)\n#if B\n#endif\nB B TAG\n#undef A\n"
      "#include \"missing.h\"\n#error e\n";
  EXPECT_EQ(Lauf(text, q), 1);
  EXPECT_EQ(std::string(q.ausgabe, q.ausgabeLaenge), "\"2\" 21 \"3\" 31 \"2\" 21 \"3\" 31 1\n");
  // Also when a fatal message stops the run inside the include nesting limit.
  offen = 0;
  EXPECT_EQ(Lauf("#include \"self.h\"\n", q), 1);
  EXPECT_EQ(offen, 200);
  EXPECT_GT(q.meldungen, 0);
}
