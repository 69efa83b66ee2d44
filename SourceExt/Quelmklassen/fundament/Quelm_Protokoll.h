#pragma once
// The log object. Code that only writes lines includes Quelm_Protokolliere.h.
#include "Quelm_Protokolliere.h"

#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class Quelm_Protokoll;
// Lock-free queue of other threads' lines (Quelm_ProtokollWarteschlange.h, for the log's
// own code: the queue's header is large).
struct Quelm_ProtokollWarteschlange;

// A sink for finished log lines (the console overlay). Attaching: set `protokoll` and
// the log's `anzeige` to this; the destructor detaches it again.
class Quelm_KonsoleBasisAnzeige {
 public:
  Quelm_Protokoll* protokoll = nullptr;

  virtual ~Quelm_KonsoleBasisAnzeige() = 0;
  // One finished, zero-terminated line including its newline.
  virtual void NeueZeile(const char* zeile) = 0;

  // Executes one console input line.
  void FuehreKonsolenBefehlAus(const std::string& zeile);
};

// The engine's one log (gProtokoll). Any thread may log; the owner thread writes the
// lines to "tool.log" and the attached sink, other threads queue them for the owner.
class Quelm_Protokoll {
 public:
  static constexpr int kPufferGroesse = 2000;  // a line holds at most 1998 characters

  // Reads false before the object is built: globals are zero-initialised before any
  // constructor runs, and earlier globals already log.
  bool aktiv = false;
  Quelm_KonsoleBasisAnzeige* anzeige = nullptr;
  std::uint32_t besitzer = 0;
  std::unique_ptr<Quelm_ProtokollWarteschlange> warteschlange;
  std::filesystem::path dateiPfad;
  std::int64_t startZeit = 0;

  Quelm_Protokoll();
  ~Quelm_Protokoll();

  // The previous run's log, kept beside the new one: it holds the report of a crash.
  static constexpr const char* kVorherigesProtokoll = "tool.previous.log";

  // Called once by the program entry: when "t_logfile" is true, keeps the last run's
  // "tool.log" as kVorherigesProtokoll and empties "tool.log"; makes the calling thread
  // the owner and writes "Log-Start".
  void Aktiviere(const std::filesystem::path& benutzerVerzeichnis);

  void GibProtokollZeileAus(const char* zeile);
  // For the crash report, from any thread: the line goes at once to "tool.log" and to
  // stderr through plain system calls; queued lines would die with the process.
  void GibZeileSofortAus(const char* zeile);
  // Writes the lines other threads queued; on the owner thread only, once per frame.
  void LeereProtokollWarteschlange();

  // Formats one line (prefix, message, newline) into `puffer` of kPufferGroesse bytes.
  void FormatiereZeile(char* puffer, const char* format, va_list argumente) const;

  // The 16-bit thread tag of the line prefix.
  static std::uint16_t ThreadKennung(std::uint32_t threadId);

  // "t_logfile" and "t_debug", also once those variables are destroyed at exit (the log
  // outlives them and still writes during the final drain).
  bool DateiAusgabe() const;
  bool Ausfuehrlich() const;

  // Wiring of the two switches: set by the variables themselves.
  const bool* dateiSchalter = nullptr;
  const bool* debugSchalter = nullptr;
  bool dateiSchalterZuletzt = false;
  bool debugSchalterZuletzt = false;

 private:
  // A log file that cannot be written is said once per run on stderr, not per line.
  void MeldeDateiFehler(int fehler);
  bool dateiFehlerGemeldet_ = false;
};

extern Quelm_Protokoll gProtokoll;
