#include "Symbole.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace Plattform::Absturz {

struct SymbolSitzung::Innen {
  Dwfl* dwfl = nullptr;
  std::string pfad;
  char* pfadZeiger = nullptr;
  Dwfl_Callbacks rueckrufe{};

  Dwfl_Module* ModulBei(std::uint64_t adresse) const { return dwfl ? dwfl_addrmodule(dwfl, adresse) : nullptr; }
};

SymbolSitzung::SymbolSitzung() : innen_(std::make_unique<Innen>()) {}

SymbolSitzung::~SymbolSitzung() {
  if (innen_->dwfl) dwfl_end(innen_->dwfl);
}

bool SymbolSitzung::Oeffne(const std::string& suchpfad) {
  if (innen_->dwfl) return true;
  // libdw separates its debug folders with ':'; the leading empty entry means "beside the file".
  innen_->pfad = ":.debug";
  std::size_t anfang = 0;
  while (anfang <= suchpfad.size()) {
    std::size_t ende = suchpfad.find(';', anfang);
    if (ende == std::string::npos) ende = suchpfad.size();
    if (ende > anfang && suchpfad[anfang] == '/') innen_->pfad += ":" + suchpfad.substr(anfang, ende - anfang);
    anfang = ende + 1;
  }
  innen_->pfadZeiger = innen_->pfad.data();
  innen_->rueckrufe.find_elf = dwfl_linux_proc_find_elf;
  innen_->rueckrufe.find_debuginfo = dwfl_standard_find_debuginfo;
  innen_->rueckrufe.debuginfo_path = &innen_->pfadZeiger;
  innen_->dwfl = dwfl_begin(&innen_->rueckrufe);
  if (!innen_->dwfl) return false;
  dwfl_report_begin(innen_->dwfl);
  const bool gut = dwfl_linux_proc_report(innen_->dwfl, getpid()) == 0;
  dwfl_report_end(innen_->dwfl, nullptr, nullptr);
  if (!gut) {
    dwfl_end(innen_->dwfl);
    innen_->dwfl = nullptr;
  }
  return gut;
}

namespace {
SymbolModul Beschreibe(Dwfl_Module* modul) {
  SymbolModul m;
  Dwarf_Addr anfang = 0, ende = 0;
  const char* hauptdatei = nullptr;
  const char* name = dwfl_module_info(modul, nullptr, &anfang, &ende, nullptr, nullptr, &hauptdatei, nullptr);
  m.pfad = hauptdatei ? hauptdatei : (name ? name : "");
  if (m.pfad.empty() && name) m.pfad = name;
  const auto schraeg = m.pfad.rfind('/');
  m.name = schraeg == std::string::npos ? m.pfad : m.pfad.substr(schraeg + 1);
  m.basis = anfang;
  m.groesse = ende - anfang;
  return m;
}
}  // namespace

std::vector<SymbolModul> SymbolSitzung::Module() const {
  std::vector<SymbolModul> module;
  if (!innen_->dwfl) return module;
  dwfl_getmodules(
      innen_->dwfl,
      [](Dwfl_Module* modul, void**, const char*, Dwarf_Addr, void* roh) -> int {
        static_cast<std::vector<SymbolModul>*>(roh)->push_back(Beschreibe(modul));
        return DWARF_CB_OK;
      },
      &module, 0);
  return module;
}

bool SymbolSitzung::Modul(std::uint64_t adresse, SymbolModul& modul) const {
  Dwfl_Module* m = innen_->ModulBei(adresse);
  if (!m) return false;
  modul = Beschreibe(m);
  return true;
}

bool SymbolSitzung::Symbol(std::uint64_t adresse, std::string& name) const {
  Dwfl_Module* m = innen_->ModulBei(adresse);
  const char* gefunden = m ? dwfl_module_addrname(m, adresse) : nullptr;
  if (!gefunden) return false;
  name = gefunden;
  return true;
}

bool SymbolSitzung::Zeile(std::uint64_t adresse, std::string& datei, int& zeile) const {
  Dwfl_Module* m = innen_->ModulBei(adresse);
  Dwfl_Line* l = m ? dwfl_module_getsrc(m, adresse) : nullptr;
  if (!l) return false;
  Dwarf_Addr a = 0;
  const char* quelle = dwfl_lineinfo(l, &a, &zeile, nullptr, nullptr, nullptr);
  if (!quelle) return false;
  datei = quelle;
  return true;
}

std::string Entschluessle(const std::string& name, bool nurName) {
  int status = 0;
  char* lesbar = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
  if (status != 0 || !lesbar) {
    std::free(lesbar);
    return name;
  }
  std::string ergebnis = lesbar;
  std::free(lesbar);
  if (nurName && !ergebnis.empty() && ergebnis.back() == ')') {
    // Cut the outermost parameter list off the end.
    int tiefe = 0;
    for (std::size_t i = ergebnis.size(); i-- > 0;) {
      if (ergebnis[i] == ')') ++tiefe;
      else if (ergebnis[i] == '(' && --tiefe == 0) {
        ergebnis.resize(i);
        break;
      }
    }
  }
  return ergebnis;
}

}  // namespace Plattform::Absturz
