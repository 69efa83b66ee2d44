#include "Abbild.h"
#include "Anhalten.h"
#include "DateiSperre.h"
#include "ProtokollSammler.h"
#include "Quelm_Absturz.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_StapelWanderer.h"
#include "Quelm_System.h"
#include "Symbole.h"

#include <gmock/gmock.h>

#include <elf.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#ifndef ABSTURZ_KIND
#error ABSTURZ_KIND must name the crashing program
#endif

namespace {

struct Lauf {
  int signal = 0;  // the signal that ended the child, 0 when it exited
  int code = -1;    // its exit status when it exited
  std::string log, fehlerAusgabe, abbild;
};

// Runs the crashing program with its own user data folder and, unless `ohneOptionen`, the
// sanitizers' own fault handling off, so that the program's filter sees the fault alone
// (their small signal stack is still installed first). `waehrend` runs in this process
// while the child runs.
Lauf StarteKind(const TempOrdner& ordner, const char* art, const std::function<void(pid_t)>& waehrend = {},
                bool ohneOptionen = false) {
  const std::string fehlerDatei = (ordner.pfad() / "stderr.txt").string();
  const std::string heim = "HOME=" + ordner.pfad().string(), daten = "XDG_DATA_HOME=" + ordner.pfad().string();
  const char* kAus = "handle_segv=0:handle_sigfpe=0:handle_sigbus=0:handle_sigill=0:handle_abort=0:detect_leaks=0";
  const std::string asan = std::string("ASAN_OPTIONS=") + kAus, ubsan = std::string("UBSAN_OPTIONS=") + kAus;
  pid_t kind = fork();
  if (kind == 0) {
    int aus = open(fehlerDatei.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(aus, STDERR_FILENO);
    char* argumente[] = {const_cast<char*>(ABSTURZ_KIND), const_cast<char*>(art), nullptr};
    char* umgebung[] = {const_cast<char*>(heim.c_str()), const_cast<char*>(daten.c_str()),
                        const_cast<char*>(asan.c_str()), const_cast<char*>(ubsan.c_str()), nullptr};
    if (ohneOptionen) umgebung[2] = nullptr;  // neither sanitizer's
    execve(ABSTURZ_KIND, argumente, umgebung);
    _exit(127);
  }
  if (waehrend) waehrend(kind);
  // A child that does not end (a lost signal) fails its test instead of hanging the run.
  int status = 0;
  for (int i = 0; i < 3000 && waitpid(kind, &status, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(kind, &status, WNOHANG) == 0) {
    kill(kind, SIGKILL);
    waitpid(kind, &status, 0);
    ADD_FAILURE() << art << ": the child did not end";
  }
  Lauf lauf;
  lauf.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  lauf.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto benutzer = ordner.pfad() / "ToolVelmar";
  lauf.log = LeseDatei(benutzer / "tool.log");
  lauf.fehlerAusgabe = LeseDatei(fehlerDatei);
  lauf.abbild = LeseDatei(benutzer / "MiniDump.dmp");
  return lauf;
}

template <typename T>
T Lies(const std::string& daten, std::size_t stelle) {
  T wert{};
  if (stelle + sizeof(T) <= daten.size()) std::memcpy(&wert, daten.data() + stelle, sizeof(T));
  return wert;
}

struct Abbild {
  bool gueltig = false;
  Plattform::Absturz::AbbildAusnahme ausnahme{};
  std::uint64_t rip = 0, rsp = 0, stapelAnfang = 0, stapelBytes = 0;
  std::string karte;
};

Abbild ParseAbbild(const std::string& d) {
  using namespace Plattform::Absturz;
  Abbild a;
  if (d.size() < 16 || std::memcmp(d.data(), kMagie, 8) != 0 || Lies<std::uint32_t>(d, 8) != kVersion) return a;
  const std::uint32_t teile = Lies<std::uint32_t>(d, 12);
  std::size_t stelle = 16;
  for (std::uint32_t i = 0; i < teile; ++i) {
    const auto art = Lies<std::uint32_t>(d, stelle);
    const auto laenge = Lies<std::uint64_t>(d, stelle + 8);
    const std::size_t inhalt = stelle + 16;
    if (inhalt + laenge > d.size()) return a;
    if (art == TeilAusnahme) a.ausnahme = Lies<AbbildAusnahme>(d, inhalt);
    if (art == TeilRegister) {
      a.rip = Lies<std::uint64_t>(d, inhalt + 8 * REG_RIP);
      a.rsp = Lies<std::uint64_t>(d, inhalt + 8 * REG_RSP);
    }
    if (art == TeilStapel) {
      a.stapelAnfang = Lies<std::uint64_t>(d, inhalt);
      a.stapelBytes = laenge - 8;
    }
    if (art == TeilSpeicherkarte) a.karte = d.substr(inhalt, laenge);
    stelle = inhalt + laenge;
  }
  a.gueltig = stelle == d.size();
  return a;
}

bool Enthaelt(const std::string& text, const std::string& teil) { return text.find(teil) != std::string::npos; }

// The number of the first line of `datei` that holds `text`, "0" when none does.
std::string ZeileIm(const char* datei, const std::string& text) {
  std::istringstream quelle(LeseDatei(datei));
  std::string zeile;
  for (int nummer = 1; std::getline(quelle, zeile); ++nummer)
    if (Enthaelt(zeile, text)) return std::to_string(nummer);
  return "0";
}

// The loaded segments of an ELF file, in order.
struct Segment {
  std::uint64_t adresse;
  bool ausfuehrbar;
};
std::vector<Segment> LadeSegmente(const std::string& datei) {
  const std::string d = LeseDatei(datei);
  const auto kopf = Lies<Elf64_Ehdr>(d, 0);
  std::vector<Segment> segmente;
  for (unsigned i = 0; i < kopf.e_phnum; ++i) {
    const auto p = Lies<Elf64_Phdr>(d, kopf.e_phoff + i * std::size_t{kopf.e_phentsize});
    if (p.p_type == PT_LOAD) segmente.push_back({p.p_vaddr, (p.p_flags & PF_X) != 0});
  }
  return segmente;
}

TEST(Absturz, NullSchreibenImHauptthread) {
  TempOrdner ordner;
  const Lauf lauf = StarteKind(ordner, "null");
  EXPECT_EQ(lauf.signal, SIGSEGV);
  const std::string& log = lauf.log;
  // The report's lines in order.
  const std::string reihe[] = {"): " + std::string(84, '*') + "\n",
                               "): !Exception code: C0000005 ACCESS_VIOLATION\n",
                               "): Fault address:  ",
                               "): SymInit: Symbol-SearchPath: '.;",
                               "): OS-Version: ",
                               "Absturz_kind.cpp (",
                               "): \n",
                               "): Minidump created.\n"};
  std::size_t stelle = 0;
  for (const auto& teil : reihe) {
    const auto gefunden = log.find(teil, stelle);
    ASSERT_NE(gefunden, std::string::npos) << teil << "\n" << log;
    stelle = gefunden;
  }
  EXPECT_TRUE(Enthaelt(lauf.fehlerAusgabe, "!Exception code: C0000005 ACCESS_VIOLATION"));

  // The fault line names the program; its offset lies in a page-aligned segment.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, std::regex("Fault address:  ([0-9A-F]{8}) ([0-9A-F]{2}):([0-9A-F]{8}) (.*)\n")));
  EXPECT_EQ(m[4].str(), std::string(ABSTURZ_KIND));
  const auto adresse = std::stoul(m[1].str(), nullptr, 16), versatz = std::stoul(m[3].str(), nullptr, 16);
  // The faulting function first, with file and line, then its caller at the line of the call.
  const std::string fehler = ZeileIm(ABSTURZ_KIND_QUELLE, "void SchreibeNull() { *gNull = 42; }");
  const std::string aufruf = ZeileIm(ABSTURZ_KIND_QUELLE, "if (art == \"null\") SchreibeNull();");
  EXPECT_TRUE(std::regex_search(log, std::regex("Absturz_kind\\.cpp \\(" + fehler +
                                                "\\): \\(anonymous namespace\\)::SchreibeNull\\(\\)\n.*"
                                                "Absturz_kind\\.cpp \\(" + aufruf + "\\): main\n")))
      << log;
  // Frames without a source file name their module.
  EXPECT_TRUE(std::regex_search(log, std::regex("0x[0-9a-f]+ \\([^)]+\\): \\(filename not available\\): ")))
      << log;

  const Abbild abbild = ParseAbbild(lauf.abbild);
  ASSERT_TRUE(abbild.gueltig);
  EXPECT_EQ(abbild.ausnahme.code, 0xC0000005u);
  EXPECT_EQ(abbild.ausnahme.signal, SIGSEGV);
  EXPECT_EQ(abbild.ausnahme.datenAdresse, 0u);
  EXPECT_EQ(abbild.rip, abbild.ausnahme.adresse);
  EXPECT_EQ(abbild.rip & 0xFFFFFFFF, adresse);
  EXPECT_EQ(abbild.stapelAnfang, abbild.rsp);
  EXPECT_GT(abbild.stapelBytes, 0u);
  EXPECT_TRUE(Enthaelt(abbild.karte, ABSTURZ_KIND));

  // Section and offset as the program's file lays it out: the fault lies in its one
  // executable segment, counted from 1 among the loaded ones, the offset from that
  // segment's start where the program was loaded (the map's first line for the file).
  const auto segmente = LadeSegmente(ABSTURZ_KIND);
  const auto code = std::ranges::find_if(segmente, [](const Segment& s) { return s.ausfuehrbar; });
  ASSERT_NE(code, segmente.end());
  EXPECT_EQ(std::stoul(m[2].str(), nullptr, 16), static_cast<unsigned long>(code - segmente.begin() + 1));
  std::smatch basis;
  ASSERT_TRUE(std::regex_search(abbild.karte, basis, std::regex("([0-9a-f]+)-[0-9a-f]+ \\S+ 0+ .*absturz_kind\n")));
  EXPECT_EQ(abbild.rip - std::stoull(basis[1].str(), nullptr, 16) - code->adresse, versatz);
}

// A call through a null or stale function pointer: the instruction lies in no module, which
// has no unwind information. The caller is found at the stack pointer (the rule for a
// function without unwind information): the report names it at the line of its call, and
// the frames above it, and is not cut short. Code made at run time lies in no module too,
// but faults elsewhere than at its instruction: it gets no caller made up from its stack.
TEST(Absturz, AufrufDurchLeerenZeigerNenntDenAufrufer) {
  const std::string aufruf = ZeileIm(ABSTURZ_KIND_QUELLE, "  gFunktion();");
  const std::string haupt = ZeileIm(ABSTURZ_KIND_QUELLE, "    RufeZeiger();");
  const std::string ohneModul = "\\(\\(module-name not available\\)\\): \\(filename not available\\): "
                                "\\(function-name not available\\)\n";
  struct Zeiger {
    const char* art;
    const char* fehleradresse;  // the fault line's address
    std::string ersterRahmen;   // the frame line of the instruction, none for address 0
  };
  const Zeiger faelle[] = {
      {"nullzeiger", "00000000", ""},
      {"zeiger10", "00000010", "[^\n]*\\): 0x10 " + ohneModul},
      {"zeigerfrei", "[0-9A-F]{8}", "[^\n]*\\): 0x[0-9a-f]+ " + ohneModul},
      {"zeigerdaten", "[0-9A-F]{8}", "[^\n]*\\): 0x[0-9a-f]+ " + ohneModul},
      // Code made at run time: the word at the stack pointer is a value it saved, no caller.
      {"erzeugt", "[0-9A-F]{8}", "[^\n]*\\): 0x[0-9a-f]+ " + ohneModul},
  };
  for (const Zeiger& f : faelle) {
    SCOPED_TRACE(f.art);
    TempOrdner ordner;
    const Lauf lauf = StarteKind(ordner, f.art);
    EXPECT_EQ(lauf.signal, SIGSEGV);
    const std::string& log = lauf.log;
    EXPECT_TRUE(Enthaelt(log, "): !Exception code: C0000005 ACCESS_VIOLATION\n")) << log;
    const std::string fehlerzeile = std::string("\\): Fault address:  ") + f.fehleradresse + " 00:00000000 \n";
    EXPECT_TRUE(std::regex_search(log, std::regex(fehlerzeile))) << log;
    // Right after the report's head: the instruction (when not at 0), the caller at its call,
    // main at its call, then a frame that called main (the C runtime's).
    const std::string rahmen = "[^\n]*\\): ";
    const std::string stapel = "\\): OS-Version: [^\n]*\n" + f.ersterRahmen + rahmen + "[^\n]*Absturz_kind\\.cpp \\(" +
                               aufruf + "\\): \\(anonymous namespace\\)::RufeZeiger\\(\\)\n" + rahmen +
                               "[^\n]*Absturz_kind\\.cpp \\(" + haupt + "\\): main\n" + rahmen + "[^\n]+\n";
    EXPECT_TRUE(std::regex_search(log, std::regex(stapel))) << log;
    EXPECT_FALSE(Enthaelt(log, "0x12345678")) << log;
    EXPECT_FALSE(Enthaelt(log, "Crash report cut short")) << log;
    EXPECT_TRUE(Enthaelt(log, "): Minidump created.\n")) << log;
    const Abbild abbild = ParseAbbild(lauf.abbild);
    ASSERT_TRUE(abbild.gueltig);
    EXPECT_EQ(abbild.ausnahme.adresse, abbild.rip);
  }
}

// The module list cannot be read when the report begins (no file can be opened, so the log
// file takes no more lines either: they are on stderr). The report goes on, its frames
// without symbols.
TEST(Absturz, OhneModullisteGehtDerBerichtWeiter) {
  TempOrdner ordner;
  const Lauf lauf = StarteKind(ordner, "ohne_modulliste");
  EXPECT_EQ(lauf.signal, SIGSEGV);
  const std::string& aus = lauf.fehlerAusgabe;
  if (Enthaelt(aus, "keine Dateisperre\n")) GTEST_SKIP() << "this system allows no seccomp filter";
  // The SymInit line, then the frames by their addresses alone, the blank line, the dump.
  const std::regex bericht(
      "\\): SymInit: Symbol-SearchPath: '[^\n]*\n[^\n]*\\): OS-Version: [^\n]*\n"
      "([^\n]*\\): 0x[0-9a-f]+ \\(\\(module-name not available\\)\\): \\(filename not available\\): "
      "\\(function-name not available\\)\n){3,}"
      "[^\n]*\\): \n[^\n]*\\): Minidump created\\.\n");
  EXPECT_TRUE(std::regex_search(aus, bericht)) << aus;
  EXPECT_FALSE(Enthaelt(aus, "Crash report cut short")) << aus;
  EXPECT_TRUE(ParseAbbild(lauf.abbild).gueltig);
}

// A fault signal or an abort sent by another process: nothing faulted, so the report names
// the sender instead of an exception and a fault address. A second signal sent while the
// report is written (the dump, or the symbols) is dropped: the report is whole and the
// first signal ends the process. Without the sanitizers' options (their own small signal
// stack installed first) the report is the same.
TEST(Absturz, GesendetesSignalNenntDenAbsenderOhneFehleradresse) {
  struct Sendung {
    const char* wie;
    int siCode;
    int signal;
    const char* text;  // the signal's description
    void (*senden)(pid_t);
    int zweites = 0;             // sent once `waehrend` is seen
    const char* waehrend = "";   // "MiniDump.dmp" there, or a text in the log
    bool ohneOptionen = false;
  };
  const Sendung sendungen[] = {
      {"kill", SI_USER, SIGSEGV, "Segmentation fault", [](pid_t kind) { kill(kind, SIGSEGV); }},
      {"sigqueue", SI_QUEUE, SIGSEGV, "Segmentation fault", [](pid_t kind) { sigqueue(kind, SIGSEGV, sigval{}); }},
      {"tgkill", SI_TKILL, SIGSEGV, "Segmentation fault",
       [](pid_t kind) { syscall(SYS_tgkill, kind, kind, SIGSEGV); }},
      {"kill -ABRT", SI_USER, SIGABRT, "Aborted", [](pid_t kind) { kill(kind, SIGABRT); }},
      {"kill -SEGV, -ABRT beim Abbild", SI_USER, SIGSEGV, "Segmentation fault", [](pid_t kind) { kill(kind, SIGSEGV); },
       SIGABRT, "MiniDump.dmp"},
      {"kill -ABRT, -ABRT bei den Symbolen", SI_USER, SIGABRT, "Aborted", [](pid_t kind) { kill(kind, SIGABRT); },
       SIGABRT, "): !Exception code: "},
      {"kill -ABRT ohne Optionen", SI_USER, SIGABRT, "Aborted", [](pid_t kind) { kill(kind, SIGABRT); }, 0, "", true},
      {"kill -SEGV ohne Optionen", SI_USER, SIGSEGV, "Segmentation fault", [](pid_t kind) { kill(kind, SIGSEGV); }, 0,
       "", true},
  };
  const std::string absender =
      "sent by process " + std::to_string(getpid()) + " (user " + std::to_string(getuid()) + ")\n";
  for (const Sendung& s : sendungen) {
    SCOPED_TRACE(s.wie);
    TempOrdner ordner;
    const auto log = ordner.pfad() / "ToolVelmar" / "tool.log";
    const auto abbildDatei = ordner.pfad() / "ToolVelmar" / "MiniDump.dmp";
    auto gesehen = [&](const std::string& text) {
      return text == "MiniDump.dmp" ? std::filesystem::exists(abbildDatei) : Enthaelt(LeseDatei(log), text);
    };
    const Lauf lauf = StarteKind(
        ordner, "warten",
        [&](pid_t kind) {
          for (int i = 0; i < 1000 && !gesehen("): bereit\n"); ++i) usleep(10000);
          s.senden(kind);
          if (!s.zweites) return;
          for (int i = 0; i < 10000 && !gesehen(s.waehrend); ++i) usleep(1000);
          kill(kind, s.zweites);
        },
        s.ohneOptionen);
    EXPECT_EQ(lauf.signal, s.signal);
    EXPECT_TRUE(Enthaelt(lauf.log, std::string("): !Exception code: 00000000 ") + s.text + ", " + absender))
        << lauf.log;
    EXPECT_TRUE(Enthaelt(lauf.log, "): Fault address:  none\n")) << lauf.log;
    EXPECT_TRUE(std::regex_search(lauf.log, std::regex("Absturz_kind\\.cpp \\(\\d+\\): main\n"))) << lauf.log;
    EXPECT_FALSE(Enthaelt(lauf.log, "cut short")) << lauf.log;
    EXPECT_TRUE(Enthaelt(lauf.log, "): Minidump created.\n")) << lauf.log;
    const Abbild abbild = ParseAbbild(lauf.abbild);
    ASSERT_TRUE(abbild.gueltig);
    EXPECT_EQ(abbild.ausnahme.code, 0u);
    EXPECT_EQ(abbild.ausnahme.signalCode, s.siCode);
    EXPECT_EQ(abbild.ausnahme.datenAdresse, 0u);
    EXPECT_EQ(abbild.ausnahme.absender, static_cast<std::uint32_t>(getpid()));
  }
}

struct Fall {
  const char* art;
  int signal;
  const char* zeile;     // the exception line
  const char* funktion;  // the first frame, "" when not checked
  const char* weiteres;  // another text the log or stderr must hold
  const char* stapel = "";  // a pattern the log's frames must match, "" when not checked
};

class AbsturzArten : public ::testing::TestWithParam<Fall> {};

TEST_P(AbsturzArten, BerichtAbbildUndEnde) {
  const Fall& f = GetParam();
#ifdef __SANITIZE_ADDRESS__
  if (std::string(f.art) == "heap") GTEST_SKIP() << "the sanitizer's allocator stands in for the C library's heap";
#endif
  TempOrdner ordner;
  const Lauf lauf = StarteKind(ordner, f.art);
  EXPECT_EQ(lauf.signal, f.signal);
  EXPECT_TRUE(Enthaelt(lauf.log, f.zeile)) << lauf.log;
  EXPECT_TRUE(Enthaelt(lauf.log, f.funktion)) << lauf.log;
  EXPECT_TRUE(Enthaelt(lauf.log + lauf.fehlerAusgabe, f.weiteres)) << lauf.log << lauf.fehlerAusgabe;
  EXPECT_EQ(Enthaelt(lauf.log, "cut short"), Enthaelt(f.weiteres, "cut short")) << lauf.log;
  EXPECT_TRUE(std::regex_search(lauf.log, std::regex(f.stapel))) << lauf.log;
  EXPECT_TRUE(Enthaelt(lauf.log, "): Minidump created.\n")) << lauf.log;
  EXPECT_TRUE(ParseAbbild(lauf.abbild).gueltig);
  // One report, however the crash goes on (an escaped exception aborts afterwards), and its
  // stack begins where the thread was stopped, not in the signal handler.
  if (*f.zeile) {
    std::size_t berichte = 0;
    for (auto stelle = lauf.log.find(std::string(84, '*')); stelle != std::string::npos;
         stelle = lauf.log.find(std::string(84, '*'), stelle + 1))
      ++berichte;
    EXPECT_EQ(berichte, 1u) << lauf.log;
  }
  EXPECT_FALSE(Enthaelt(lauf.log, "Signalbehandler(")) << lauf.log;
}

INSTANTIATE_TEST_SUITE_P(
    Arten, AbsturzArten,
    ::testing::Values(
        Fall{"division", SIGFPE, "!Exception code: C0000094 INT_DIVIDE_BY_ZERO\n", "::Teile(int)\n", ""},
        // The caller's frame is named by its call, not by what follows it.
        Fall{"am_ende", SIGSEGV, "!Exception code: C0000005", "::SchreibeNullEndgueltig()\n", "::RufeAmEnde()\n"},
        // Not the log's owner thread: the lines still reach the file before the end.
        Fall{"arbeiter", SIGSEGV, "!Exception code: C0000005 ACCESS_VIOLATION\n", "::SchreibeNull()\n", ""},
        Fall{"faser", SIGSEGV, "!Exception code: C00000FD STACK_OVERFLOW\n", "::Rekursion(int)\n", ""},
        Fall{"vorher", SIGSEGV, "!Exception code: C0000005", "::SchreibeNull()\n", "frueherer Behandler lief"},
        // Cut short, saying why; the stack then from the symbol tables alone.
        Fall{"symbolfehler", SIGSEGV, "", "", "!Crash report cut short: fault while reading symbols (Segmentation fault)"},
        // An abort inside the report (a library's failed assertion) cuts it short too.
        Fall{"symbolabbruch", SIGSEGV, "", "", "!Crash report cut short: fault while reading symbols (Aborted)"},
        Fall{"symbolhaenger", SIGSEGV, "", "", "!Crash report cut short: time-out after 1 s while reading symbols.\n",
             "\\): _ZN[^\n]*12SchreibeNullEv\\+0x[0-9a-f]+\n"},
        // The heap's check aborts inside malloc with the heap's lock held: the stack without
        // reading symbols, which needs the heap, down to the program's own function.
        Fall{"heap", SIGABRT, "!Exception code: 00000000 Aborted, raised by the process itself\n", "",
             "malloc(): ",
             "!Heap locked by the crash[^\n]*\n(?:[^\n]*\n)*?[^\n]*\\): 0x[0-9a-f]+ \\(absturz_kind\\+0x[0-9a-f]+\\): "
             "\\(filename not available\\): _ZN[^\n]*15VerderbeDenHeapEv\\+0x[0-9a-f]+\n"},
        Fall{"ausnahme", SIGABRT, "!Exception code: 00000000 std::runtime_error: kaputt\n", "", ""},
        // A failed assertion: raised by the process itself, the stack from inside abort
        // through the assertion to main.
        Fall{"zusicherung", SIGABRT, "!Exception code: 00000000 Aborted, raised by the process itself\n", "",
             "Assertion `anzahl == 1' failed",
             "\\): abort\n(?:[^\n]*\n)*?[^\n]*\\): __assert_fail\n(?:[^\n]*\n)*?[^\n]*Absturz_kind\\.cpp "
             "\\(\\d+\\): \\(anonymous namespace\\)::PruefeAnzahl\\(int\\)\n[^\n]*Absturz_kind\\.cpp "
             "\\(\\d+\\): main\n"}),
    [](const auto& info) { return std::string(info.param.art); });

TEST(Programmende, DasProtokollSchreibtNochNachDenVariablen) {
  TempOrdner ordner;
  const Lauf lauf = StarteKind(ordner, "ende");
  EXPECT_EQ(lauf.signal, 0);
  // Queued lines are written by the log's own final drain, after "t_logfile" is gone.
  const std::regex reihe("Ende eines spaeteren Globalen[\\s\\S]*Zeile aus einem Arbeitsthread");
  EXPECT_TRUE(std::regex_search(lauf.log, reihe)) << lauf.log;
}

// A filter installed before the crash handler's own: the handler passes on to it.
EXCEPTION_POINTERS* gFruehererFilterSah = nullptr;
LONG FruehererFilter(EXCEPTION_POINTERS* ausnahme) {
  gFruehererFilterSah = ausnahme;
  return EXCEPTION_EXECUTE_HANDLER;
}
struct FruehererFilterVorDemHandler {
  FruehererFilterVorDemHandler() { SetUnhandledExceptionFilter(&FruehererFilter); }
};
QUELM_INIT(QUELM_SLOT_ABSTURZ - 1) FruehererFilterVorDemHandler gFruehererFilter;

class AbsturzBerichtTest : public ProtokollTest {};

TEST_F(AbsturzBerichtTest, FilterErsetztDasAbbildUndGibtDasErgebnisDesFrueherenZurueck) {
  const auto ordnerVorher = gSystem.benutzerVerzeichnis;
  gSystem.benutzerVerzeichnis = ordner.pfad();
  SchreibeDatei(ordner.pfad() / "MiniDump.dmp", std::string(1 << 20, 'x'));  // an older, longer one
  ucontext_t kontext;
  getcontext(&kontext);
  EXCEPTION_RECORD satz;
  satz.ExceptionCode = EXCEPTION_BREAKPOINT;
  EXCEPTION_POINTERS zeiger{&satz, &kontext};
  EXPECT_EQ(Quelm_AbsturzFilter(&zeiger), EXCEPTION_EXECUTE_HANDLER);
  EXPECT_EQ(gFruehererFilterSah, &zeiger);
  gSystem.benutzerVerzeichnis = ordnerVorher;
  EXPECT_TRUE(ParseAbbild(LeseDatei(ordner.pfad() / "MiniDump.dmp")).gueltig);
  EXPECT_TRUE(Enthaelt(LeseDatei(ordner.pfad() / "tool.log"), "): !Exception code: 80000003 BREAKPOINT\n"));
}

// Walker texts go to the log as they are, never used as a format.
TEST_F(AbsturzBerichtTest, WandererTexteUnveraendertInsProtokoll) {
  struct Wanderer : Quelm_StapelWanderer {
    using Quelm_StapelWanderer::BeiAusgabe;
  } wanderer;
  wanderer.BeiAusgabe("operator%(int) %s %d 100%\n");
  const std::string log = LeseDatei(ordner.pfad() / "tool.log");
  EXPECT_TRUE(Enthaelt(log, "): operator%(int) %s %d 100%\n")) << log;
}

TEST_F(AbsturzBerichtTest, FremderCodeUndAdresseAusserhalbJedesModuls) {
  ucontext_t kontext;
  getcontext(&kontext);
  EXCEPTION_RECORD satz;
  satz.ExceptionCode = 0xE0001234u;
  satz.ExceptionAddress = reinterpret_cast<void*>(0x10);
  satz.beschreibung = "Systemtext";
  EXCEPTION_POINTERS zeiger{&satz, &kontext};
  Quelm_AbsturzBericht(&zeiger);
  const std::string log = LeseDatei(ordner.pfad() / "tool.log");
  EXPECT_TRUE(Enthaelt(log, "): !Exception code: E0001234 Systemtext\n")) << log;
  EXPECT_TRUE(Enthaelt(log, "): Fault address:  00000010 00:00000000 \n")) << log;
}

TEST(AbsturzFilter, DieFruehereBehandlungKehrtZurueck) {
  struct sigaction installiert {}, danach{}, wieder{};
  sigaction(SIGSEGV, nullptr, &installiert);
  ASSERT_EQ(SetUnhandledExceptionFilter(nullptr), &Quelm_AbsturzFilter);
  sigaction(SIGSEGV, nullptr, &danach);
  EXPECT_NE(danach.sa_sigaction, installiert.sa_sigaction);
  EXPECT_EQ(SetUnhandledExceptionFilter(&Quelm_AbsturzFilter), nullptr);
  sigaction(SIGSEGV, nullptr, &wieder);
  EXPECT_EQ(wieder.sa_sigaction, installiert.sa_sigaction);
}

// Collects what the walker hands out instead of logging it.
class SammelnderWanderer : public StapelWanderer {
 public:
  std::vector<StapelEintrag> eintraege;
  std::vector<std::pair<std::string, std::uint64_t>> module;  // image path, file version
  std::vector<std::string> fehler;                            // the failed functions
  std::string ausgabe;

  bool HatFunktion(const std::string& name) const {
    return std::ranges::any_of(eintraege,
                               [&](const StapelEintrag& e) { return Enthaelt(e.nameVollUndekoriert, name); });
  }

 protected:
  void BeiStapelEintrag(EintragsTyp, const StapelEintrag& e) override { eintraege.push_back(e); }
  void BeiModulGeladen(const char* bild, const char*, std::uint64_t, DWORD, DWORD, const char*, const char*,
                       std::uint64_t version) override {
    module.emplace_back(bild, version);
  }
  void BeiDbgHelpFehler(const char* funktion, DWORD, std::uint64_t) override { fehler.emplace_back(funktion); }
  void BeiAusgabe(const char* text) override { ausgabe += text; }
};

std::atomic<bool> gFadenEnde{false};

__attribute__((noinline)) void WarteImFaden(std::atomic<bool>& wartet) {
  wartet = true;
  while (!gFadenEnde) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Another thread's stack is read while it is held; afterwards it runs on. A thread that
// cannot be held (ended, or blocking the signal) gives false in bounded time, and a late
// delivery of the signal harms nothing.
TEST(StapelWanderer, AndererThreadWirdAngehaltenUndLaeuftWeiter) {
  enum Zustand { Wartet, MitKontext, Blockiert, Beendet };
  struct Fall {
    const char* name;
    Zustand zustand;
    bool ergebnis;
    int fehler;
  };
  const Fall faelle[] = {{"wartet", Wartet, true, 0},
                         {"mit seinem Kontext", MitKontext, true, 0},
                         {"blockiert das Signal", Blockiert, false, ETIMEDOUT},
                         {"beendet", Beendet, false, ESRCH}};
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    gFadenEnde = false;
    std::atomic<bool> wartet{false}, liefWeiter{false};
    std::atomic<pid_t> id{0};
    std::thread faden([&] {
      id = static_cast<pid_t>(syscall(SYS_gettid));
      sigset_t menge;
      sigemptyset(&menge);
      sigaddset(&menge, Plattform::Absturz::AnhalteSignal());
      if (f.zustand == Blockiert) pthread_sigmask(SIG_BLOCK, &menge, nullptr);
      if (f.zustand != Beendet) WarteImFaden(wartet);
      pthread_sigmask(SIG_UNBLOCK, &menge, nullptr);
      liefWeiter = true;
    });
    while (f.zustand != Beendet && !wartet) std::this_thread::yield();
    if (f.zustand == Beendet) faden.join();
    SammelnderWanderer wanderer;
    errno = 0;
    const auto anfang = std::chrono::steady_clock::now();
    if (f.zustand == MitKontext) {
      // Registers taken while it is held: walked from them, as given.
      Plattform::Absturz::AngehaltenerThread halt(id);
      ASSERT_TRUE(halt.Angehalten());
      ucontext_t kontext{};
      std::memcpy(kontext.uc_mcontext.gregs, halt.Register(), sizeof kontext.uc_mcontext.gregs);
      EXPECT_TRUE(wanderer.ZeigeAufrufstapel(id, &kontext));
    } else {
      EXPECT_EQ(wanderer.ZeigeAufrufstapel(id, nullptr), f.ergebnis);
    }
    if (!f.ergebnis) {
      EXPECT_EQ(errno, f.fehler);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - anfang, std::chrono::seconds(10));
    gFadenEnde = true;
    const auto losgelassen = std::chrono::steady_clock::now();
    if (faden.joinable()) faden.join();
    EXPECT_TRUE(liefWeiter);
    EXPECT_LT(std::chrono::steady_clock::now() - losgelassen, std::chrono::seconds(2));  // released, not timed out
    // Its own frames, from where it waits, not the caller's.
    EXPECT_EQ(wanderer.HatFunktion("WarteImFaden("), f.ergebnis);
    EXPECT_FALSE(wanderer.HatFunktion("ZeigeAufrufstapel"));
  }
}

// A failing SymInitialize (here the module list, which cannot be read when no
// file can be opened) goes to the error hook, and the walk goes on. In a child process,
// which keeps the lock on opening files to itself.
TEST(StapelWanderer, OhneModullisteMeldetSymInitializeUndGehtWeiter) {
  int rohr[2];
  ASSERT_EQ(pipe(rohr), 0);
  const pid_t kind = fork();
  ASSERT_GE(kind, 0);
  if (kind == 0) {
    close(rohr[0]);
    std::string bericht = "gesperrt=0\n";
    if (SperreDateiOeffnen()) {
      SammelnderWanderer wanderer;
      const bool ergebnis = wanderer.ZeigeAufrufstapel(0, nullptr);
      std::size_t ohneName = 0;
      for (const auto& e : wanderer.eintraege) ohneName += e.adresse != 0 && e.name.empty();
      bericht = "gesperrt=1\nergebnis=" + std::to_string(ergebnis) + "\nmodule=" +
                std::to_string(wanderer.module.size()) + "\neintraege=" + std::to_string(wanderer.eintraege.size()) +
                "\nohne Namen=" + std::to_string(ohneName) + "\n";
      for (const auto& f : wanderer.fehler) bericht += "fehler=" + f + "\n";
      bericht += wanderer.ausgabe;
    }
    [[maybe_unused]] ssize_t n = write(rohr[1], bericht.data(), bericht.size());
    _exit(0);
  }
  close(rohr[1]);
  std::string bericht;
  char puffer[4096];
  for (ssize_t n; (n = read(rohr[0], puffer, sizeof puffer)) > 0;) bericht.append(puffer, static_cast<std::size_t>(n));
  close(rohr[0]);
  int status = 0;
  waitpid(kind, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << bericht;
  if (Enthaelt(bericht, "gesperrt=0\n")) GTEST_SKIP() << "this system allows no seccomp filter";

  EXPECT_TRUE(Enthaelt(bericht, "ergebnis=1\n")) << bericht;
  EXPECT_TRUE(Enthaelt(bericht, "fehler=SymInitialize\n")) << bericht;
  EXPECT_FALSE(Enthaelt(bericht, "fehler=Error while initializing dbghelp.dll\n")) << bericht;
  EXPECT_TRUE(Enthaelt(bericht, "\nSymInit: Symbol-SearchPath: '")) << bericht;
  EXPECT_TRUE(Enthaelt(bericht, "module=0\n")) << bericht;
  // The frames are there, none with a symbol.
  std::smatch eintraege;
  ASSERT_TRUE(std::regex_search(bericht, eintraege, std::regex("eintraege=(\\d+)\nohne Namen=(\\d+)\n"))) << bericht;
  EXPECT_GT(std::stoi(eintraege[1].str()), 0) << bericht;
  EXPECT_EQ(eintraege[1].str(), eintraege[2].str()) << bericht;

  // Here, with the module list readable, the same walk has the modules and their symbols.
  SammelnderWanderer wanderer;
  ASSERT_TRUE(wanderer.ZeigeAufrufstapel(0, nullptr));
  EXPECT_THAT(wanderer.fehler, ::testing::Not(::testing::Contains("SymInitialize")));
  EXPECT_FALSE(wanderer.module.empty());
  EXPECT_TRUE(wanderer.HatFunktion("OhneModullisteMeldetSymInitializeUndGehtWeiter"));
}

// The own stack's unwinder would read the code at an instruction without unwind
// information: from such a context only the instruction is given, and nothing faults.
std::size_t EigeneStapelAdressenAb(std::uint64_t adresse, std::uint64_t* adressen, std::size_t hoechstens) {
  ucontext_t kontext;
  getcontext(&kontext);
  kontext.uc_mcontext.gregs[REG_RIP] = static_cast<greg_t>(adresse);
  return Plattform::Absturz::StapelAdressen(&kontext, adressen, hoechstens);
}

TEST(StapelWanderer, EigenerStapelAbAdresseOhneModul) {
  for (std::uint64_t adresse : {std::uint64_t{0}, std::uint64_t{0x10}}) {
    std::uint64_t adressen[16] = {};
    EXPECT_EQ(EigeneStapelAdressenAb(adresse, adressen, 16), 1u) << adresse;
    EXPECT_EQ(adressen[0], adresse);
  }
  EXPECT_FALSE(Plattform::Absturz::InModulCode(reinterpret_cast<const void*>(0x10)));
  EXPECT_TRUE(Plattform::Absturz::InModulCode(reinterpret_cast<const void*>(&getcontext)));
  EXPECT_FALSE(Plattform::Absturz::InModulCode(&gFadenEnde));  // data, not code
}

TEST(StapelWanderer, SymbolTypTexte) {
  const std::pair<int, const char*> faelle[] = {
      {-1, nullptr}, {0, "-nosymbols-"}, {3, "PDB"}, {5, "-deferred-"}, {8, "Virtual"}, {9, nullptr}};
  for (const auto& [typ, text] : faelle) EXPECT_STREQ(StapelWanderer::SymbolTypText(typ), text) << typ;
}

// ELF files have no version resource: a shared library's file name gives what there is.
TEST(StapelWanderer, ModulVersionAusDemDateinamen) {
  const std::pair<const char*, std::uint64_t> faelle[] = {
      {"/usr/lib/x86_64-linux-gnu/libstdc++.so.6.0.30", 0x0006'0000'001E'0000},
      {"libc.so.6", 0x0006'0000'0000'0000},
      {"libz.so.1.2.13", 0x0001'0002'000D'0000},
      {"libx.so.1.2.3.4.5", 0x0001'0002'0003'0004},
      {"libx.so.70000", 0xFFFF'0000'0000'0000},
      {"/usr/bin/programm", 0},
      {"/a.so.1/programm", 0},
  };
  for (const auto& [pfad, version] : faelle) EXPECT_EQ(Plattform::Absturz::DateiVersion(pfad), version) << pfad;

  SammelnderWanderer wanderer;
  ASSERT_TRUE(wanderer.ZeigeAufrufstapel(0, nullptr));
  bool mitVersion = false;
  for (const auto& [pfad, version] : wanderer.module) {
    EXPECT_EQ(version, Plattform::Absturz::DateiVersion(pfad)) << pfad;
    mitVersion = mitVersion || version != 0;
  }
  EXPECT_TRUE(mitVersion);  // the C and C++ runtimes at least
}

}  // namespace
