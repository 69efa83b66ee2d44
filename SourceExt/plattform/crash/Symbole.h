#pragma once
// Symbols, source lines and modules of the running process, read from the loaded files'
// symbol tables and debug information (libdw). Not signal-safe: used behind
// Plattform::Absturz::FuehreGeschuetztAus.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Plattform::Absturz {

struct SymbolModul {
  std::string name;  // the file's name without its folder
  std::string pfad;  // the loaded file
  std::uint64_t basis = 0;
  std::uint64_t groesse = 0;
};

class SymbolSitzung {
 public:
  SymbolSitzung();
  ~SymbolSitzung();
  SymbolSitzung(const SymbolSitzung&) = delete;
  SymbolSitzung& operator=(const SymbolSitzung&) = delete;

  // Lists the process's modules. `suchpfad`: folders holding separate debug files,
  // separated by ';'. False when the module list cannot be read.
  bool Oeffne(const std::string& suchpfad);
  std::vector<SymbolModul> Module() const;

  bool Modul(std::uint64_t adresse, SymbolModul& modul) const;
  // The symbol's name as stored (mangled).
  bool Symbol(std::uint64_t adresse, std::string& name) const;
  bool Zeile(std::uint64_t adresse, std::string& datei, int& zeile) const;

 private:
  struct Innen;
  std::unique_ptr<Innen> innen_;
};

// A readable form of a mangled name: `nurName` drops the parameter list.
std::string Entschluessle(const std::string& name, bool nurName);

}  // namespace Plattform::Absturz
