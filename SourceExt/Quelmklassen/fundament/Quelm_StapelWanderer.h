#pragma once
// The call-stack walker: reads the symbols of every module of the process and walks a
// thread's stack from a given register context, handing each frame and every text to
// virtual operations. Quelm_StapelWanderer sends the texts to the engine log.
#include "WinTypen.h"

#include <sys/types.h>
#include <ucontext.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Plattform::Absturz {
class SymbolSitzung;
}

class StapelWanderer {
 public:
  enum Option : std::uint32_t {
    OptionSymbolPfadBauen = 16,  // own search path from the environment
    OptionModulVersion = 8,      // read each module's file version
    AlleOptionen = 63,
  };
  enum EintragsTyp { ErsterEintrag = 0, NaechsterEintrag = 1, LetzterEintrag = 2 };

  struct StapelEintrag {
    std::uint64_t adresse = 0;
    std::string name;                // as stored (mangled)
    std::string nameUndekoriert;     // name only
    std::string nameVollUndekoriert; // with parameters
    int zeile = 0;
    std::string datei;
    std::string symbolTyp;
    std::string modulName;
    std::uint64_t modulBasis = 0;
    std::string bildName;  // the loaded file
  };

  StapelWanderer();
  virtual ~StapelWanderer();
  StapelWanderer(const StapelWanderer&) = delete;
  StapelWanderer& operator=(const StapelWanderer&) = delete;

  // Walks a thread's stack from `kontext` (registers of an interrupted frame) or, without
  // one, from the caller (`thread` 0 or the caller's id) or from where another thread of
  // the process is held still meanwhile (false with errno when it cannot be held).
  bool ZeigeAufrufstapel(pid_t thread, const ucontext_t* kontext);

  // The text of a symbol type (DbgHelp's numbering); null outside the table.
  static const char* SymbolTypText(int typ);

 protected:
  virtual void BeiSymInit(const char* suchpfad, DWORD symOptionen, const char* benutzer);
  virtual void BeiModulGeladen(const char* bild, const char* modul, std::uint64_t basis, DWORD groesse, DWORD ergebnis,
                               const char* symTyp, const char* symDatei, std::uint64_t dateiVersion);
  virtual void BeiStapelEintrag(EintragsTyp typ, const StapelEintrag& eintrag);
  virtual void BeiDbgHelpFehler(const char* funktion, DWORD fehler, std::uint64_t adresse);
  virtual void BeiAusgabe(const char* text);

  bool LadeModule();
  bool LadeDbgHelp(const std::string& suchpfad);
  // Formats into 4096 bytes (longer texts are cut) and hands the text to BeiAusgabe.
  void AusgabeFormatiert(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::unique_ptr<Plattform::Absturz::SymbolSitzung> symbole_;
  pid_t prozessId_;
  bool moduleGeladen_ = false;
  std::optional<std::string> benutzerPfad_;
  std::uint32_t optionen_ = AlleOptionen;
};

class Quelm_StapelWanderer : public StapelWanderer {
 protected:
  // Into the engine log, unchanged (not used as a format).
  void BeiAusgabe(const char* text) override;
};
