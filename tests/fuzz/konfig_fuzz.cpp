// The configuration file from arbitrary bytes: loading must end with the variables set or left
// alone, never crash or run out of stack (a nested file of 50 000 levels once did), and the
// save after it must write a file that loads again.
#include "Quelm_Konfig.h"
#include "Quelm_Konsole.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const std::filesystem::path& Ordner() {
  static const std::filesystem::path pfad = [] {
    auto p = std::filesystem::temp_directory_path() / ("velmar-konfig-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return pfad;
}

// Variables of each kind the file can set, saved as the program's are.
using V = Quelm_KonsolenVariable;
V fText("f_text", V::String, V::Dauerhaft, "a&b");
V fSchalter("f_schalter", V::Bool, V::Dauerhaft, true);
V fZahl("f_zahl", V::Int, V::Dauerhaft, std::int32_t{3});
V fVektor("f_vektor", V::Vektor4, V::Dauerhaft, "1,2,3,4");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse) {
  std::FILE* f = std::fopen((Ordner() / "tool.cfg").c_str(), "wb");
  if (!f) return 0;
  std::fwrite(daten, 1, groesse, f);
  std::fclose(f);

  Quelm_Konfig::Lade(Ordner(), "tool.cfg");
  if (!Quelm_Konfig::Speichere()) __builtin_trap();
  // What was saved reads back to the same values.
  const std::string text = fText.text;
  const std::int32_t zahl = fZahl.wertInt;
  Quelm_Konfig::Lade(Ordner(), "tool.cfg");
  if (fText.text != text || fZahl.wertInt != zahl) __builtin_trap();
  return 0;
}
