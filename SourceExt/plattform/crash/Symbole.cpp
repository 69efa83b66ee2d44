#include "Symbole.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <gelf.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace Plattform::Absturz {

namespace {
// The process's own memory, through the kernel: an unmapped address fails instead of
// faulting.
bool LiesEigenenSpeicher(std::uint64_t adresse, void* ziel, std::size_t laenge) {
  iovec nach{ziel, laenge};
  iovec von{reinterpret_cast<void*>(adresse), laenge};
  return process_vm_readv(getpid(), &nach, 1, &von, 1, 0) == static_cast<ssize_t>(laenge);
}
}  // namespace

struct SymbolSitzung::Innen {
  Dwfl* dwfl = nullptr;
  std::string pfad;
  char* pfadZeiger = nullptr;
  Dwfl_Callbacks rueckrufe{};
  bool moduleGelesen = false;

  // The module one of whose loaded segments holds the address (only an executable one with
  // `nurCode`). libdw's range of a module also takes in an unnamed mapping right after its
  // file's last one, which may have been made after the crash where stale code used to lie.
  Dwfl_Module* ModulBei(std::uint64_t adresse, bool nurCode = false) const {
    Dwfl_Module* modul = dwfl ? dwfl_addrmodule(dwfl, adresse) : nullptr;
    if (!modul) return nullptr;
    Dwarf_Addr verschiebung = 0;
    Elf* elf = dwfl_module_getelf(modul, &verschiebung);
    std::size_t koepfe = 0;
    // Without its file, the module's range is all there is; and it has no frame information.
    if (!elf || elf_getphdrnum(elf, &koepfe) != 0) return nurCode ? nullptr : modul;
    const Dwarf_Addr relativ = adresse - verschiebung;
    for (std::size_t i = 0; i < koepfe; ++i) {
      GElf_Phdr kopf;
      if (!gelf_getphdr(elf, static_cast<int>(i), &kopf) || kopf.p_type != PT_LOAD) continue;
      if (nurCode && !(kopf.p_flags & PF_X)) continue;
      if (relativ >= kopf.p_vaddr && relativ - kopf.p_vaddr < kopf.p_memsz) return modul;
    }
    return nullptr;
  }

  // Unwinding a held thread: libdw sees one thread, whose registers are `startRegister`.
  const greg_t* startRegister = nullptr;
  bool zustandAngehaengt = false;

  static pid_t NaechsterFaden(Dwfl*, void* innen, void** fadenDaten) {
    if (*fadenDaten) return 0;
    *fadenDaten = innen;
    return getpid();
  }
  static bool LiesWort(Dwfl*, Dwarf_Addr adresse, Dwarf_Word* wert, void*) {
    return LiesEigenenSpeicher(adresse, wert, sizeof *wert);
  }
  static bool SetzeRegister(Dwfl_Thread* faden, void* innen) {
    // DWARF's numbering on x86-64: rax rdx rcx rbx rsi rdi rbp rsp r8-r15, the return address.
    constexpr int kReihe[] = {REG_RAX, REG_RDX, REG_RCX, REG_RBX, REG_RSI, REG_RDI, REG_RBP, REG_RSP, REG_R8,
                              REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
    const greg_t* r = static_cast<Innen*>(innen)->startRegister;
    Dwarf_Word werte[std::size(kReihe)];
    for (std::size_t i = 0; i < std::size(kReihe); ++i) werte[i] = static_cast<Dwarf_Word>(r[kReihe[i]]);
    return dwfl_thread_state_registers(faden, 0, std::size(kReihe), werte);
  }
};

namespace {
// Whether the interrupted instruction could not even be fetched: a page fault at the program
// counter itself, or no code readable there (registers that did not come with a fault).
bool AnweisungNichtGeholt(const gregset_t& register_) {
  constexpr greg_t kSeitenfehler = 14;
  if (register_[REG_TRAPNO] == kSeitenfehler && register_[REG_CR2] == register_[REG_RIP]) return true;
  char byte = 0;
  return !LiesEigenenSpeicher(static_cast<std::uint64_t>(register_[REG_RIP]), &byte, 1);
}
}  // namespace

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
  return innen_->dwfl != nullptr;
}

bool SymbolSitzung::LiesModule() {
  if (!innen_->dwfl) {
    errno = EINVAL;
    return false;
  }
  if (innen_->moduleGelesen) return true;
  dwfl_report_begin(innen_->dwfl);
  // 0, an errno value, or -1 for an error of libdw's own.
  const int ergebnis = dwfl_linux_proc_report(innen_->dwfl, getpid());
  dwfl_report_end(innen_->dwfl, nullptr, nullptr);
  innen_->moduleGelesen = ergebnis == 0;
  if (ergebnis != 0) errno = ergebnis > 0 ? ergebnis : EIO;
  return innen_->moduleGelesen;
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

std::size_t SymbolSitzung::StapelAdressen(const gregset_t& register_, std::uint64_t* adressen,
                                          std::size_t hoechstens) {
  if (!innen_->dwfl || hoechstens == 0) return 0;
  gregset_t start;
  std::memcpy(start, register_, sizeof start);
  std::size_t anzahl = 0;
  std::uint64_t ruecksprung = 0;  // the caller's return address when the instruction could not be fetched
  const auto pc = static_cast<std::uint64_t>(register_[REG_RIP]);
  // libdw's own module list: the loader's may be locked by a held thread. Code made at run
  // time lies in no module too, but there the word at the stack pointer may be anything the
  // code saved: its frame is walked like any other.
  if (!innen_->ModulBei(pc, true) && AnweisungNichtGeholt(register_)) {
    // No frame information: like a function without unwind information, the frame holds
    // only the return address at the stack pointer (a call through a null or stale
    // pointer has just pushed it).
    adressen[anzahl++] = pc;
    Dwarf_Word wert = 0;
    const auto sp = static_cast<std::uint64_t>(register_[REG_RSP]);
    if (anzahl == hoechstens || !Innen::LiesWort(nullptr, sp, &wert, nullptr) || wert == 0) return anzahl;
    ruecksprung = wert;
    // The caller as it stands at its call: its frame information is looked up inside the
    // call instruction, not past it (after a call that never returns, that is the next
    // function), as for every frame above the first.
    start[REG_RIP] = static_cast<greg_t>(ruecksprung - 1);
    start[REG_RSP] = static_cast<greg_t>(sp + 8);
  }
  if (!innen_->zustandAngehaengt) {
    static const Dwfl_Thread_Callbacks kRueckrufe = {&Innen::NaechsterFaden, nullptr, &Innen::LiesWort,
                                                     &Innen::SetzeRegister, nullptr, nullptr};
    innen_->zustandAngehaengt = dwfl_attach_state(innen_->dwfl, nullptr, getpid(), &kRueckrufe, innen_.get());
  }
  struct Sammlung {
    std::uint64_t* adressen;
    std::size_t anzahl, hoechstens;
  } s{adressen + anzahl, 0, hoechstens - anzahl};
  if (innen_->zustandAngehaengt) {
    innen_->startRegister = start;
    dwfl_getthread_frames(
        innen_->dwfl, getpid(),
        [](Dwfl_Frame* rahmen, void* roh) -> int {
          auto* s = static_cast<Sammlung*>(roh);
          Dwarf_Addr pc = 0;
          if (!dwfl_frame_pc(rahmen, &pc, nullptr) || pc == 0) return DWARF_CB_ABORT;
          s->adressen[s->anzahl++] = pc;
          return s->anzahl < s->hoechstens ? DWARF_CB_OK : DWARF_CB_ABORT;
        },
        &s);
    innen_->startRegister = nullptr;
  }
  if (ruecksprung) {
    // The caller's frame is given by its return address, as the frames above it are.
    s.adressen[0] = ruecksprung;
    s.anzahl = std::max<std::size_t>(s.anzahl, 1);
  }
  return anzahl + s.anzahl;
}

std::uint64_t DateiVersion(const std::string& pfad) {
  const std::string name = pfad.substr(pfad.rfind('/') + 1);
  const std::size_t so = name.find(".so.");
  if (so == std::string::npos) return 0;
  std::uint64_t version = 0;
  const char* p = name.c_str() + so + 4;
  for (int teil = 0; teil < 4 && std::isdigit(static_cast<unsigned char>(*p)); ++teil) {
    char* ende = nullptr;
    const unsigned long wert = std::strtoul(p, &ende, 10);
    version |= static_cast<std::uint64_t>(std::min(wert, 0xFFFFul)) << (48 - 16 * teil);
    p = *ende == '.' ? ende + 1 : ende;
  }
  return version;
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
