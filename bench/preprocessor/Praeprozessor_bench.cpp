// Throughput on a large generated program with many macros and include files: the
// engine's preprocessor (input from memory, include files from disk) against the GNU C
// preprocessor started as "cpp -P -undef" on the same files.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "PreProcess.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Eingabe {
  fs::path verzeichnis;
  std::string haupt;
  std::size_t bytes = 0;  // main file and every header once

  Eingabe() {
    char muster[] = "/tmp/ppbenchXXXXXX";
    verzeichnis = mkdtemp(muster);
    fs::create_directories(verzeichnis / "inc");
    std::mt19937 gen(42);
    auto zahl = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); };
    constexpr int kKoepfe = 40, kJeKopf = 100, kMakros = kKoepfe * kJeKopf;
    for (int k = 0; k < kKoepfe; ++k) {
      std::string t = "#ifndef KOPF_" + std::to_string(k) + "\n#define KOPF_" + std::to_string(k) + "\n";
      if (k > 0) t += "#include \"h" + std::to_string(k - 1) + ".h\"\n";
      for (int i = 0; i < kJeKopf; ++i) {
        const int n = k * kJeKopf + i;
        const std::string s = std::to_string(n);
        const std::string frueher = std::to_string(n > 0 ? zahl(n) : 0);
        t += "#define K" + s + " (" + s + " + K" + frueher + "_)\n";
        t += "#define F" + s + "(a, b) ((a) * K" + s + " + (b) - F" + frueher + "_(a))\n";
        t += "#define S" + s + "(a) #a \" at " + s + "\"\n";
        t += "#define C" + s + "(a, b) a ## _ ## b\n";
        t += "#if K" + s + "_ > 0 || defined(F" + frueher + ")\nint flag" + s + ";\n#endif\n";
      }
      t += "#endif\n";
      std::ofstream(verzeichnis / "inc" / ("h" + std::to_string(k) + ".h")) << t;
      bytes += t.size();
    }
    for (int k = 0; k < kKoepfe; k += 4) haupt += "#include <h" + std::to_string(k) + ".h>\n";
    haupt += "#include \"inc/h" + std::to_string(kKoepfe - 1) + ".h\"\n";
    for (int z = 0; z < 60000; ++z) {
      const std::string v = std::to_string(z);
      auto m = [&] { return std::to_string(zahl(kMakros)); };
      haupt += "int v" + v + " = F" + m() + "(K" + m() + ", F" + m() + "(" + std::to_string(zahl(10)) +
               ", K" + m() + ")) + C" + m() + "(x, " + v + "); /* note */\n";
      haupt += "const char* s" + v + " = S" + m() + "(K" + m() + " + y); // text\n";
      if (z % 100 == 0) haupt += "#if K" + m() + " > 1 && defined(F" + m() + ")\nint ok" + v + ";\n#endif\n";
    }
    std::ofstream(verzeichnis / "main.c") << haupt;
    bytes += haupt.size();
  }
  ~Eingabe() {
    std::error_code f;
    fs::remove_all(verzeichnis, f);
  }
};

const Eingabe& Daten() {
  static Eingabe e;
  return e;
}

struct Lauf {
  const std::string* text;
  std::size_t pos;
  std::string ausgabe;
};

char* Lies(char* puffer, int groesse, void* benutzer) {
  auto* l = static_cast<Lauf*>(benutzer);
  if (l->pos >= l->text->size()) return nullptr;
  std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(groesse - 1), l->text->size() - l->pos);
  std::memcpy(puffer, l->text->data() + l->pos, k);
  puffer[k] = 0;
  l->pos += k;
  return puffer;
}
void Schreibe(int c, void* benutzer) { static_cast<Lauf*>(benutzer)->ausgabe.push_back(static_cast<char>(c)); }

void BM_Quelmcpp(benchmark::State& state) {
  const Eingabe& e = Daten();
  const std::string name = (e.verzeichnis / "main.c").string();
  const std::string inc = (e.verzeichnis / "inc").string();
  std::size_t ausgabe = 0;
  for (auto _ : state) {
    Lauf l{&e.haupt, 0, {}};
    l.ausgabe.reserve(e.haupt.size() * 8);
    PreProcessTag tags[] = {PpTagText(PPTAG_INPUT_NAME, name.c_str()), PpTagFunktion(PPTAG_INPUT, &Lies),
                            PpTagFunktion(PPTAG_OUTPUT, &Schreibe),    PpTagZeiger(PPTAG_USERDATA, &l),
                            PpTagWert(PPTAG_LINE_MARKERS, 0),          PpTagWert(PPTAG_SHOW_BANNER, 0),
                            PpTagText(PPTAG_INCLUDE_DIR, inc.c_str()), {PPTAG_END, 0}};
    PreProcessState zustand;
    if (PreProcess(tags, &zustand) != 0) state.SkipWithError("PreProcess failed");
    ausgabe = l.ausgabe.size();
    benchmark::DoNotOptimize(l.ausgabe.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * e.bytes));
  state.counters["output_MB"] = static_cast<double>(ausgabe) / 1e6;
}
BENCHMARK(BM_Quelmcpp)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GnuCpp(benchmark::State& state) {
  const Eingabe& e = Daten();
  const std::string name = (e.verzeichnis / "main.c").string();
  const std::string inc = "-I" + (e.verzeichnis / "inc").string();
  for (auto _ : state) {
    const char* argv[] = {"cpp", "-P", "-undef", inc.c_str(), name.c_str(), "-o", "/dev/null", nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "cpp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
      state.SkipWithError("cpp cannot be started");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("cpp failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * e.bytes));
}
BENCHMARK(BM_GnuCpp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
