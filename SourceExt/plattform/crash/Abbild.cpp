// The dump writer. Runs inside a signal handler: only system calls and plain memory work.
#include "Abbild.h"
#include "Absturz.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Plattform::Absturz {
namespace {

bool SchreibeAlles(int datei, const void* daten, std::size_t laenge) {
  const char* p = static_cast<const char*>(daten);
  while (laenge > 0) {
    ssize_t n = write(datei, p, laenge);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    laenge -= static_cast<std::size_t>(n);
  }
  return true;
}

bool SchreibeKopf(int datei, std::uint32_t art, std::uint64_t laenge) {
  std::uint32_t kopf[2] = {art, 0};
  return SchreibeAlles(datei, kopf, sizeof kopf) && SchreibeAlles(datei, &laenge, sizeof laenge);
}

// Writes the length of the section whose header starts at `kopfStelle`, now that its
// payload ends at the current position.
bool SchliesseTeil(int datei, off_t kopfStelle) {
  off_t ende = lseek(datei, 0, SEEK_CUR);
  if (ende < 0) return false;
  std::uint64_t laenge = static_cast<std::uint64_t>(ende - kopfStelle - 16);
  return pwrite(datei, &laenge, sizeof laenge, kopfStelle + 8) == sizeof laenge;
}

std::uint64_t LiesHex(const char*& p, const char* ende) {
  std::uint64_t wert = 0;
  for (; p < ende; ++p) {
    int ziffer;
    if (*p >= '0' && *p <= '9') ziffer = *p - '0';
    else if (*p >= 'a' && *p <= 'f') ziffer = *p - 'a' + 10;
    else break;
    wert = wert * 16 + static_cast<std::uint64_t>(ziffer);
  }
  return wert;
}

// The end of the mapping that holds `adresse`, from /proc/self/maps; 0 when none does.
std::uint64_t EndeDerAbbildung(std::uint64_t adresse) {
  int karte = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (karte < 0) return 0;
  char puffer[4096];
  std::size_t gefuellt = 0;
  std::uint64_t ergebnis = 0;
  for (;;) {
    ssize_t n = read(karte, puffer + gefuellt, sizeof puffer - gefuellt);
    if (n <= 0) break;
    gefuellt += static_cast<std::size_t>(n);
    std::size_t anfang = 0;
    for (std::size_t i = 0; i < gefuellt; ++i) {
      if (puffer[i] != '\n') continue;
      const char* p = puffer + anfang;
      const char* zeilenEnde = puffer + i;
      std::uint64_t von = LiesHex(p, zeilenEnde);
      if (p < zeilenEnde && *p == '-') ++p;
      std::uint64_t bis = LiesHex(p, zeilenEnde);
      if (adresse >= von && adresse < bis) ergebnis = bis;
      anfang = i + 1;
    }
    std::memmove(puffer, puffer + anfang, gefuellt - anfang);
    gefuellt -= anfang;
    if (ergebnis != 0 || gefuellt == sizeof puffer) break;
  }
  close(karte);
  return ergebnis;
}

}  // namespace

int ErzeugeAbbildDatei(const char* pfad) { return open(pfad, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }

bool SchreibeAbbild(int datei, std::uint32_t threadId, const EXCEPTION_POINTERS* ausnahme) {
  const EXCEPTION_RECORD* satz = ausnahme ? ausnahme->ExceptionRecord : nullptr;
  const ucontext_t* kontext = ausnahme ? ausnahme->ContextRecord : nullptr;

  std::uint32_t teile = 2 + (kontext ? 2 : 0);
  std::uint32_t kopf[2] = {kVersion, teile};
  if (!SchreibeAlles(datei, kMagie, sizeof kMagie) || !SchreibeAlles(datei, kopf, sizeof kopf)) return false;

  AbbildAusnahme a{};
  a.threadId = threadId;
  a.prozessId = static_cast<std::uint32_t>(getpid());
  if (satz) {
    a.code = satz->ExceptionCode;
    a.signal = satz->signal;
    a.adresse = reinterpret_cast<std::uint64_t>(satz->ExceptionAddress);
    if (satz->info) {
      a.signalCode = satz->info->si_code;
      // A sent signal's info holds the sender where a fault holds its address.
      if (IstGesendet(satz->info)) a.absender = static_cast<std::uint32_t>(satz->info->si_pid);
      else a.datenAdresse = reinterpret_cast<std::uint64_t>(satz->info->si_addr);
    }
  }
  if (!SchreibeKopf(datei, TeilAusnahme, sizeof a) || !SchreibeAlles(datei, &a, sizeof a)) return false;

  if (kontext) {
    const auto& register_ = kontext->uc_mcontext.gregs;
    if (!SchreibeKopf(datei, TeilRegister, sizeof register_) || !SchreibeAlles(datei, register_, sizeof register_))
      return false;

    const std::uint64_t sp = static_cast<std::uint64_t>(register_[REG_RSP]);
    std::uint64_t ende = EndeDerAbbildung(sp);
    std::uint64_t laenge = ende > sp ? ende - sp : 0;
    if (laenge > kStapelBytes) laenge = kStapelBytes;
    off_t stelle = lseek(datei, 0, SEEK_CUR);
    if (stelle < 0 || !SchreibeKopf(datei, TeilStapel, 0) || !SchreibeAlles(datei, &sp, sizeof sp)) return false;
    // The kernel reads the stack for us: an unreadable page ends the bytes with EFAULT
    // instead of a second fault. A plain system call, as the stack holds bytes that a
    // sanitizer's write() would refuse to read.
    const char* p = reinterpret_cast<const char*>(sp);
    while (laenge > 0) {
      ssize_t n = syscall(SYS_write, datei, p, laenge);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      p += n;
      laenge -= static_cast<std::uint64_t>(n);
    }
    if (!SchliesseTeil(datei, stelle)) return false;
  }

  off_t stelle = lseek(datei, 0, SEEK_CUR);
  if (stelle < 0 || !SchreibeKopf(datei, TeilSpeicherkarte, 0)) return false;
  int karte = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (karte >= 0) {
    char puffer[4096];
    ssize_t n;
    bool gut = true;
    while (gut && ((n = read(karte, puffer, sizeof puffer)) > 0 || (n < 0 && errno == EINTR)))
      if (n > 0) gut = SchreibeAlles(datei, puffer, static_cast<std::size_t>(n));
    close(karte);
    if (!gut) return false;
  }
  return SchliesseTeil(datei, stelle);
}

}  // namespace Plattform::Absturz
