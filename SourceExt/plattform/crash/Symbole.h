#pragma once
// Symbols, source lines and modules of the running process, read from the loaded files'
// symbol tables and debug information (libdw). Not signal-safe: used behind
// Plattform::Absturz::FuehreGeschuetztAus.
#include <sys/ucontext.h>

#include <cstddef>
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

  // Begins the session. `suchpfad`: folders holding separate debug files, separated by
  // ';'. False when no session can be made.
  bool Oeffne(const std::string& suchpfad);
  // Lists the process's modules (from /proc). False with errno set when the list cannot be
  // read: the session goes on with the modules read until then, perhaps none.
  bool LiesModule();
  std::vector<SymbolModul> Module() const;

  bool Modul(std::uint64_t adresse, SymbolModul& modul) const;
  // The symbol's name as stored (mangled).
  bool Symbol(std::uint64_t adresse, std::string& name) const;
  bool Zeile(std::uint64_t adresse, std::string& datei, int& zeile) const;

  // The return addresses of a stack from the registers of its interrupted frame (the
  // instruction first), unwound by the modules' frame information. An instruction in no
  // module's code that could not be fetched (reached through a null or stale function
  // pointer: the fault lies at the program counter, or nothing can be read there) has none:
  // its frame is taken as that of a function without unwind information, which has pushed
  // nothing but the return address at the stack pointer, and the walk goes on from the
  // caller there. Other code in no module (made at run time) is walked by libdw's rules.
  // The stack must hold still meanwhile (the caller's own, or a thread held by
  // AngehaltenerThread); its memory is read without risk of a fault. Returns the count.
  std::size_t StapelAdressen(const gregset_t& register_, std::uint64_t* adressen, std::size_t hoechstens);

 private:
  struct Innen;
  std::unique_ptr<Innen> innen_;
};

// A readable form of a mangled name: `nurName` drops the parameter list.
std::string Entschluessle(const std::string& name, bool nurName);

// A module's file version, most significant part in the upper 16 bits, as four 16-bit
// parts. ELF files carry no version resource; a shared library's file name does
// ("libstdc++.so.6.0.30" gives 6.0.30.0). 0 for a file without one.
std::uint64_t DateiVersion(const std::string& pfad);

}  // namespace Plattform::Absturz
