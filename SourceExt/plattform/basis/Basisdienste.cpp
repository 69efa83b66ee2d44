#include "Basisdienste.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
#include <pwd.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace Plattform {

std::optional<Pfad> AusfuehrbarerPfad() {
  std::vector<char> puffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", puffer.data(), puffer.size());
    if (n < 0) return std::nullopt;
    if (static_cast<std::size_t>(n) < puffer.size()) return Pfad(std::string(puffer.data(), n));
    puffer.resize(puffer.size() * 2);
  }
}

namespace {
std::optional<passwd> EigenerEintrag(std::vector<char>& puffer) {
  passwd eintrag{};
  passwd* ergebnis = nullptr;
  puffer.assign(16384, 0);
  if (getpwuid_r(geteuid(), &eintrag, puffer.data(), puffer.size(), &ergebnis) != 0 || !ergebnis)
    return std::nullopt;
  return eintrag;
}

const char* NichtLeer(const char* wert) { return (wert && *wert) ? wert : nullptr; }

// An XDG base folder: the variable when it holds an absolute path (a relative one is invalid
// and ignored), else `imHeim` under $HOME, else under the home folder of the password database.
std::optional<Pfad> XdgVerzeichnis(const char* variable, const Pfad& imHeim) {
  if (const char* xdg = NichtLeer(std::getenv(variable)); xdg && xdg[0] == '/') return Pfad(xdg);
  if (const char* home = NichtLeer(std::getenv("HOME"))) return Pfad(home) / imHeim;
  std::vector<char> puffer;
  auto eintrag = EigenerEintrag(puffer);
  if (eintrag && NichtLeer(eintrag->pw_dir)) return Pfad(eintrag->pw_dir) / imHeim;
  return std::nullopt;
}
}  // namespace

std::optional<Pfad> AnwendungsdatenVerzeichnis() { return XdgVerzeichnis("XDG_DATA_HOME", Pfad(".local") / "share"); }

std::optional<Pfad> ZwischenspeicherVerzeichnis() { return XdgVerzeichnis("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> Benutzername() {
  std::vector<char> puffer;
  auto eintrag = EigenerEintrag(puffer);
  if (eintrag && NichtLeer(eintrag->pw_name)) return std::string(eintrag->pw_name);
  if (const char* user = NichtLeer(std::getenv("USER"))) return std::string(user);
  return std::nullopt;
}

std::int64_t Zaehlerstand() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::int64_t ZaehlerFrequenz() { return 1000000000; }

std::uint32_t ThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

unsigned HardwareThreads() {
  cpu_set_t menge;
  CPU_ZERO(&menge);
  if (sched_getaffinity(0, sizeof(menge), &menge) == 0) {
    int n = CPU_COUNT(&menge);
    if (n > 0) return static_cast<unsigned>(n);
  }
  return 1;
}

void Schlafe(unsigned millisekunden) {
  timespec ts{static_cast<time_t>(millisekunden / 1000), static_cast<long>(millisekunden % 1000) * 1000000};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void Haltepunkt() { std::raise(SIGTRAP); }

namespace {
std::atomic<bool>* beendenFlagge = nullptr;

extern "C" void BeendenSignal(int) { beendenFlagge->store(true); }
}  // namespace

void BehalteFreigegebenenSpeicher() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

void FangeBeendenSignale(std::atomic<bool>& flagge) {
  static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
  beendenFlagge = &flagge;
  struct sigaction aktion {};
  aktion.sa_handler = &BeendenSignal;
  sigemptyset(&aktion.sa_mask);
  // Once only: a second signal ends the process as before, should the loop hang.
  aktion.sa_flags = SA_RESETHAND | SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &aktion, nullptr);
}

namespace {
// Read side of a text-mode file: hands out the bytes with CR LF folded to LF.
struct TextLeser {
  std::FILE* datei;
  bool crOffen = false;  // a CR was read and its successor is not known yet
};

ssize_t TextLesen(void* cookie, char* ziel, size_t groesse) {
  auto* l = static_cast<TextLeser*>(cookie);
  size_t n = 0;
  while (n < groesse) {
    int c = std::fgetc(l->datei);
    if (l->crOffen) {
      l->crOffen = false;
      if (c != '\n') {
        ziel[n++] = '\r';
        if (c == EOF) break;
        if (n == groesse) {
          std::ungetc(c, l->datei);
          break;
        }
      }
    }
    if (c == EOF) break;
    if (c == '\r') {
      l->crOffen = true;
      continue;
    }
    ziel[n++] = static_cast<char>(c);
  }
  if (n == 0 && std::ferror(l->datei)) return -1;
  return static_cast<ssize_t>(n);
}

int TextSchliessen(void* cookie) {
  auto* l = static_cast<TextLeser*>(cookie);
  int r = std::fclose(l->datei);
  delete l;
  return r;
}
}  // namespace

std::FILE* OeffneDatei(const Pfad& pfad, const char* modus) {
  std::error_code fehler;
  if (std::filesystem::is_directory(pfad, fehler)) {
    errno = EISDIR;
    return nullptr;
  }
  std::string m(modus);
  bool textLesen = m.find('r') != std::string::npos && m.find('b') == std::string::npos &&
                   m.find('+') == std::string::npos;
  std::string posixModus;
  for (char c : m)
    if (c != 't') posixModus += c;
  std::FILE* datei = std::fopen(pfad.c_str(), posixModus.c_str());
  if (!datei || !textLesen) return datei;
  cookie_io_functions_t funktionen{TextLesen, nullptr, nullptr, TextSchliessen};
  std::FILE* text = fopencookie(new TextLeser{datei}, "r", funktionen);
  if (!text) std::fclose(datei);
  return text;
}

}  // namespace Plattform
