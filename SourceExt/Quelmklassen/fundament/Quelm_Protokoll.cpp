#include "Quelm_Protokoll.h"

#include "Basisdienste.h"
#include "Quelm_InitReihenfolge.h"
#include "Quelm_Konsole.h"
#include "Quelm_ProtokollWarteschlange.h"
#include "Quelm_Zeitbasis.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

QUELM_INIT(QUELM_SLOT_PROTOKOLL) Quelm_Protokoll gProtokoll;

namespace {
// A bool variable whose value the log still reads after the variable is destroyed at
// exit: it hands its last value to the log on the way out.
class ProtokollSchalter : public Quelm_KonsolenVariable {
 public:
  ProtokollSchalter(const char* name, const bool*& zeiger, bool& zuletzt)
      : Quelm_KonsolenVariable(name, Bool, Schreibgeschuetzt | Dauerhaft, true), zeiger_(zeiger), zuletzt_(zuletzt) {
    zeiger_ = &wertBool;
  }
  ~ProtokollSchalter() {
    zuletzt_ = wertBool;
    zeiger_ = &zuletzt_;
  }

 private:
  const bool*& zeiger_;
  bool& zuletzt_;
};

QUELM_INIT(QUELM_SLOT_T_KONFIG)
Quelm_KonsolenVariable t_konfig("t_konfig", Quelm_KonsolenVariable::String, Quelm_KonsolenVariable::Schreibgeschuetzt,
                                "programm.cfg");
QUELM_INIT(QUELM_SLOT_T_DEBUG)
ProtokollSchalter t_debug("t_debug", gProtokoll.debugSchalter, gProtokoll.debugSchalterZuletzt);
QUELM_INIT(QUELM_SLOT_T_LOGFILE)
ProtokollSchalter t_logfile("t_logfile", gProtokoll.dateiSchalter, gProtokoll.dateiSchalterZuletzt);
}  // namespace

Quelm_KonsoleBasisAnzeige::~Quelm_KonsoleBasisAnzeige() {
  if (protokoll && protokoll->anzeige == this) protokoll->anzeige = nullptr;
}

Quelm_Protokoll::Quelm_Protokoll() : warteschlange(std::make_unique<Quelm_ProtokollWarteschlange>()) {}

Quelm_Protokoll::~Quelm_Protokoll() {
  LeereProtokollWarteschlange();
  aktiv = false;
  dateiPfad.clear();
}

bool Quelm_Protokoll::DateiAusgabe() const { return dateiSchalter && *dateiSchalter; }
bool Quelm_Protokoll::Ausfuehrlich() const { return debugSchalter && *debugSchalter; }

void Quelm_Protokoll::Aktiviere(const std::filesystem::path& benutzerVerzeichnis) {
  if (DateiAusgabe()) {
    dateiPfad = benutzerVerzeichnis / "tool.log";
    std::error_code ohneVorherigen;  // the first run has none
    std::filesystem::rename(dateiPfad, benutzerVerzeichnis / kVorherigesProtokoll, ohneVorherigen);
    if (std::FILE* datei = Plattform::OeffneDatei(dateiPfad, "wb")) std::fclose(datei);
  }
  dateiFehlerGemeldet_ = false;
  aktiv = true;
  besitzer = Plattform::ThreadId();
  startZeit = Quelm_Zaehlerstand();
  Protokolliere("Log-Start");
}

std::uint16_t Quelm_Protokoll::ThreadKennung(std::uint32_t threadId) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (int i = 0; i < 4; ++i) {
    hash ^= (threadId >> (8 * i)) & 0xFF;
    hash *= 0x100000001b3ull;
  }
  return static_cast<std::uint16_t>(hash & 0xFFFF);
}

void Quelm_Protokoll::FormatiereZeile(char* puffer, const char* format, va_list argumente) const {
  std::int64_t mikro = 0;
  if (Quelm_ZaehlerFrequenz != 0)
    mikro = static_cast<std::int64_t>(static_cast<double>(Quelm_Zaehlerstand() - startZeit) * Quelm_SekundenProTickD *
                                      1000000.0);
  const std::int64_t sekunden = mikro / 1000000;
  const std::int64_t rest = mikro - sekunden * 1000000;
  const int grenze = kPufferGroesse - 2;  // 1998
  int praefix = std::snprintf(puffer, grenze, "%04d:%06d (t%04x): ", static_cast<int>(sekunden),
                              static_cast<int>(rest), ThreadKennung(Plattform::ThreadId()));
  if (praefix < 0) praefix = 0;
  if (praefix > grenze - 1) praefix = grenze - 1;

  int text = std::vsnprintf(puffer + praefix, grenze - praefix, format, argumente);
  if (text < 0) {
    // Unformattable message: the prefix without its final blank.
    int ende = praefix > 0 ? praefix - 1 : 0;
    puffer[ende] = '\n';
    puffer[ende + 1] = '\0';
    return;
  }
  int laenge = praefix + text;
  if (laenge > grenze - 1) laenge = grenze - 1;  // 1997: what fits before the terminator
  if (laenge == 0 || puffer[laenge - 1] != '\n') puffer[laenge++] = '\n';
  puffer[laenge] = '\0';
}

void Quelm_Protokoll::GibProtokollZeileAus(const char* zeile) {
  if (!aktiv) return;
  if (Plattform::ThreadId() != besitzer) {
    try {
      warteschlange->enqueue(std::string(zeile));
    } catch (...) {
      // out of memory: the line is lost
    }
    return;
  }
  if (DateiAusgabe() && !dateiPfad.empty()) {
    // A full disk shows only when the buffered line is flushed at the close.
    std::FILE* datei = Plattform::OeffneDatei(dateiPfad, "a+t");
    int fehler = errno;
    bool geschrieben = datei && std::fputs(zeile, datei) >= 0;
    if (datei && !geschrieben) fehler = errno;
    if (datei && std::fclose(datei) != 0 && geschrieben) {
      geschrieben = false;
      fehler = errno;
    }
    if (!geschrieben) MeldeDateiFehler(fehler);
  }
  if (anzeige) anzeige->NeueZeile(zeile);
}

void Quelm_Protokoll::MeldeDateiFehler(int fehler) {
  if (dateiFehlerGemeldet_) return;
  dateiFehlerGemeldet_ = true;
  std::fprintf(stderr, "ToolVelmar: Protokoll \"%s\" kann nicht geschrieben werden: %s\n", dateiPfad.string().c_str(),
               std::strerror(fehler));
}

void Quelm_Protokoll::GibZeileSofortAus(const char* zeile) {
  const std::size_t laenge = std::strlen(zeile);
  if (aktiv && DateiAusgabe() && !dateiPfad.empty()) {
    const int datei = open(dateiPfad.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (datei >= 0) {
      [[maybe_unused]] ssize_t n = write(datei, zeile, laenge);
      close(datei);
    }
  }
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, zeile, laenge);
}

void Quelm_Protokoll::LeereProtokollWarteschlange() {
  // Other threads' drains would only queue the lines again.
  if (!aktiv || Plattform::ThreadId() != besitzer) return;
  // Only the lines present now: lines queued meanwhile wait for the next drain, so a
  // steady stream from other threads cannot keep the owner here.
  std::size_t offen = warteschlange->size_approx();
  std::string stapel[20];
  while (offen > 0) {
    std::size_t genommen = warteschlange->try_dequeue_bulk(stapel, offen < 20 ? offen : 20);
    if (genommen == 0) break;
    for (std::size_t i = 0; i < genommen; ++i) GibProtokollZeileAus(stapel[i].c_str());
    offen -= genommen;
  }
}

void ProtokolliereZeile(const char* format, va_list argumente) {
  if (!gProtokoll.aktiv) return;
  char puffer[Quelm_Protokoll::kPufferGroesse];
  gProtokoll.FormatiereZeile(puffer, format, argumente);
  gProtokoll.GibProtokollZeileAus(puffer);
}

void Protokolliere(const char* format, ...) {
  va_list argumente;
  va_start(argumente, format);
  ProtokolliereZeile(format, argumente);
  va_end(argumente);
}

void ProtokolliereSofort(const char* format, ...) {
  char puffer[Quelm_Protokoll::kPufferGroesse];
  va_list argumente;
  va_start(argumente, format);
  gProtokoll.FormatiereZeile(puffer, format, argumente);
  va_end(argumente);
  gProtokoll.GibZeileSofortAus(puffer);
}

void ProtokolliereAusfuehrlich(const char* format, ...) {
  if (!gProtokoll.Ausfuehrlich()) return;
  va_list argumente;
  va_start(argumente, format);
  ProtokolliereZeile(format, argumente);
  va_end(argumente);
}
