// Filter effect files from arbitrary bytes, read as the tool reads them (XML, then each pass's
// shader text through the macro language and the preprocessor, then compiled): a file is
// taken or skipped, never more; a taken effect computes its chain and draws it once.
#include "Aufzeichnungskontext.h"
#include "FilterVerwaltung.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Umgebung {
  fs::path ordner;
  fs::path datei;
  Spiel::FilterVerwaltung* verwaltung = nullptr;
  Quelm_Textur* bild = nullptr;
  Quelm_Renderziel* ziel = nullptr;
  ~Umgebung() {
    std::error_code fehler;
    fs::remove_all(ordner, fehler);
  }
};

Umgebung& Holen() {
  static Umgebung u = [] {
    Umgebung n;
    Quelm_ZeichenKontext* k = Aufzeichnungskontext();
    n.ordner = fs::temp_directory_path() / ("filter_fuzz." + std::to_string(getpid()));
    fs::create_directories(n.ordner);
    n.datei = n.ordner / "filter.fuzz.xml";
    n.verwaltung = new Spiel::FilterVerwaltung(n.ordner);  // empty: loads nothing yet
    n.bild = k->ErzeugeTextur(64, 48, 1, 2560);
    n.ziel = k->ErzeugeRenderziel(Quelm_RenderzielBeschr(k->ErzeugeTextur(64, 48, 1, 2560), nullptr));
    return n;
  }();
  return u;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BereiteLaufVor();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  Umgebung& u = Holen();
  {
    std::FILE* f = std::fopen(u.datei.c_str(), "wb");
    if (!f) __builtin_trap();
    if (groesse && std::fwrite(daten, 1, groesse, f) != groesse) __builtin_trap();
    std::fclose(f);
  }
  Spiel::FilterVerwaltung& v = *u.verwaltung;
  v.InternLadeEffekt(u.datei);
  if (v.effekte.size() > 1) __builtin_trap();
  if (v.effekte.empty()) return 0;

  const Spiel::FilterEffekt& effekt = v.effekte.front();
  if (effekt.name != "fuzz") __builtin_trap();
  for (const Spiel::Filter& f : effekt.filter)
    if (!f.programm || !f.vertexShader || !f.pixelShader) __builtin_trap();
  {
    Spiel::FilterSatz satz;
    satz.AddFilter(&effekt, 1);
    Spiel::FilterVerwaltung::BerechneFilterkette(satz);
    v.ZeichneFilterkette(satz, u.bild, {u.ziel, 2, 3, 40, 30}, v.GibRessourcen());
  }
  v.effekte.clear();
  return 0;
}
