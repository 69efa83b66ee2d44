// Property files from arbitrary bytes: the reader must end in a tree or a Quelm_Ausnahme, never
// crash, run out of stack or allocate without bound.
#include "Quelm_Ausnahme.h"
#include "TEigenschaften_Serialisierung.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Reads every value the way users do, and copies the tree.
void Besuche(const EigenschaftsBaum& k, int tiefe) {
  if (tiefe > TEigenschaften_Serialisierung::kMaxTiefe + 1) __builtin_trap();
  if (const auto* s = k.Wert<std::string>()) (void)s->size();
  if (k.HatWert() && !k.Wert<float>() && !k.Wert<std::int32_t>() && !k.Wert<std::uint32_t>() &&
      !k.Wert<std::string>() && !k.Wert<BVektor3<float>>() && !k.Wert<TAlphaFarbe>())
    __builtin_trap();  // a value of no known type
  for (const auto& [name, kind] : k.kinder) Besuche(kind, tiefe + 1);
}

const std::filesystem::path& Datei() {
  static const std::filesystem::path pfad =
      std::filesystem::temp_directory_path() / ("velmar-eigenschaften-fuzz-" + std::to_string(getpid()) + ".xml");
  return pfad;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  std::FILE* f = std::fopen(Datei().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(daten, 1, groesse, f);
  std::fclose(f);

  EigenschaftsBaum baum;
  try {
    TEigenschaften_Serialisierung::LadeEigenschaftenAusXml(baum, Datei());
  } catch (const Quelm_Ausnahme&) {
  }
  Besuche(baum, 0);
  EigenschaftsBaum kopie = baum;
  Besuche(kopie, 0);

  // The bytes as a value text of every type.
  const std::string text(reinterpret_cast<const char*>(daten), groesse);
  for (const char* typ : {"TVektor", "TAlphaFarbe", "string", "int", "unsigned int", "float"}) {
    EigenschaftsBaum k("k");
    try {
      TEigenschaften_Serialisierung::WandleWert(k, typ, text.c_str());
    } catch (const Quelm_Ausnahme&) {
      if (k.HatWert()) __builtin_trap();  // a failed conversion stores nothing
    }
  }
  return 0;
}
