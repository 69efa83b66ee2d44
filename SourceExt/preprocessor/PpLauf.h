#pragma once
// One run of the preprocessor: the settings from the tag list, the stack of input
// levels, directives with the #if stack, macro expansion and the output with its line
// markers. The members are spread over PpLauf.cpp (set-up, output, messages),
// PpLaufEingabe.cpp (token source and expansion) and PpLaufDirektiven.cpp.
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PreProcess.h"
#include "PpAusdruck.h"
#include "PpEbene.h"
#include "PpLexer.h"
#include "PpMakroTabelle.h"
#include "PpToken.h"

namespace Praeprozessor {

class Lauf final : public LexerMelder, public AusdruckQuelle {
 public:
  static constexpr int kIfTiefe = 32;
  static constexpr int kIncludeTiefe = 200;  // nested include files
  static constexpr int kExpansionsTiefe = 1000;
  static constexpr int kVerzeichnisse = 20;
  static constexpr int kVorIncludes = 20;
  static constexpr int kFunktionsNamen = 20;
  static constexpr std::size_t kArbeitspuffer = 512;
  static constexpr std::size_t kParameterFlaeche = 1024;
  static constexpr int kMaxParameter = 31;

  Lauf();
  ~Lauf();
  Lauf(const Lauf&) = delete;
  Lauf& operator=(const Lauf&) = delete;

  int Ausfuehren(const PreProcessTag* tags);

  // Forms message nr: header, text with the arguments, newline, then one line per
  // enclosing level. A fatal message ends the run after it has been sent.
  void PreProcessMessage(int nr, ...);

  void LexerMeldung(int nr) override { PreProcessMessage(nr); }
  void NaechstesExpandiert(Token& t) override;
  void NaechstesRoh(Token& t) override;
  bool IstDefiniert(const std::string& name) override { return makros_.Finde(name) != nullptr; }
  void Meldung(int nr, ...) override;

 private:
  struct Abbruch {};  // thrown after a fatal message

  // Counts a nesting while in scope.
  struct Zaehler {
    explicit Zaehler(int& z) : z_(z) { ++z_; }
    ~Zaehler() { --z_; }
    Zaehler(const Zaehler&) = delete;
    Zaehler& operator=(const Zaehler&) = delete;
    int& z_;
  };

  struct IfEbene {
    bool warAn;         // the enclosing level was compiling
    bool elseGesehen;
    bool wahrGenommen;  // a branch of this level was taken
  };

  // Set-up and messages (PpLauf.cpp).
  void MeldeV(int nr, va_list argumente);
  void Bericht(const char* format, ...);
  void Vordefinieren();
  void TagsAnwenden(const PreProcessTag* tags);
  void DefiniereAusTag(const char* text);
  void Definiere(const std::string& name, int argumente, std::vector<std::string> parameter,
                 const std::vector<Token>& rumpf);
  void Hauptschleife();
  void Dump();

  // Output.
  void Aus(int c) {
    if (ausgabe_ != nullptr) ausgabe_(c & 0xFF, benutzer_);
    if (c == '\n') {
      ++ausZeile_;
      spalte_ = 0;
    } else {
      ++spalte_;
    }
  }
  void AusText(const std::string& s) {
    for (char c : s) Aus(static_cast<unsigned char>(c));
  }
  void SchreibeToken(const Token& t);
  void Synchronisiere(int zeile);
  void Zeilenmarke(int zeile, const std::string& datei);
  void DirektivAusgabe(const std::string& text, int zeile);
  void VerfolgeFunktion(const Token& t);
  void Klammern(const Token& t);

  // Levels (PpLaufEingabe.cpp).
  std::unique_ptr<Ebene> HoleEbene();
  void SchiebeEbene(std::unique_ptr<Ebene> e);
  void PopEbene();
  int InnersteDatei() const;
  bool Expandiere(Token& t, const Makro& m);
  enum class Aufruf { Ok, KeinAufruf, Abgebrochen };
  Aufruf SammleArgumente(const Makro& m, std::vector<std::vector<Token>>& args);
  void Ersetze(const Makro& m, const std::vector<std::vector<Token>>& args,
               std::vector<Token>& aus, int tiefe);
  void Verbinde(const Makro& m, std::vector<Token>& aus, std::size_t rechts);
  void ExpandiereIsoliert(const std::vector<Token>& ein, std::vector<Token>& aus);
  Token MagischerWert(const Makro& m);

  // Directives (PpLaufDirektiven.cpp).
  void Direktive(Ebene& e);
  void DirektiveDefine();
  void DirektiveUndef(Ebene& e);
  void DirektiveIf(const std::string& name, Ebene& e);
  void DirektiveElif();
  void DirektiveElse(Ebene& e);
  void DirektiveEndif(Ebene& e);
  void DirektiveLine(Ebene& e);
  bool DirektiveInclude(Ebene& e, FILE*& datei, std::string& pfad);
  bool Bedingung(std::int32_t& wert);
  bool RestLeer(Ebene& e);
  bool IncludeSuchen(const std::string& name, bool zitiert, FILE*& datei, std::string& pfad);
  void IncludeOeffnen(FILE* datei, const std::string& pfad);

  // Settings from the tag list.
  bool kommentare_ = false;
  bool fehlerIgnorieren_ = false;
  std::vector<std::string> verzeichnisse_;
  int dumpZaehler_ = 0;
  std::string eingabeName_;
  PreProcessInput eingabe_ = nullptr;
  PreProcessOutput ausgabe_ = nullptr;
  PreProcessOutput ausgabeFunktion_ = nullptr;
  void* benutzer_ = nullptr;
  bool zeilenMarken_ = true;
  PreProcessError meldung_ = nullptr;
  bool warneUnbekannt_ = false;
  bool zeilenWort_ = true;
  bool banner_ = true;
  bool zeigeIncludes_ = false;
  bool warneKlammern_ = false;
  bool warneFehlendesInclude_ = true;
  bool ausgabeAn_ = true;
  std::vector<std::string> vorIncludes_;
  bool rechtsExpandieren_ = false;
  bool hatInitText_ = false;
  std::string initText_;
  std::vector<std::string> initNamen_;
  bool zeigeFunktionen_ = false;
  bool lokalZuerst_ = true;
  PreProcessFileOpen oeffner_ = nullptr;

  // Run state.
  Lexer lexer_;
  MakroTabelle makros_;
  std::vector<std::unique_ptr<Ebene>> stapel_;
  std::vector<std::unique_ptr<Ebene>> frei_;
  std::vector<Token> rueckgabe_;  // tokens read ahead and given back, last one first
  std::vector<IfEbene> ifStapel_;
  bool compiling_ = true;
  int fehlerZahl_ = 0;
  bool fatal_ = false;
  int includeTiefe_ = 0;
  int direktivModus_ = 0;     // > 0: reading a directive line (a newline ends it)
  int sammelModus_ = 0;       // > 0: looking for or collecting macro arguments
  int argumentSammlung_ = 0;  // > 0: collecting macro arguments
  std::size_t direktivRueck_ = 0;
  bool imIf_ = false;
  bool leerUebertrag_ = false;  // white space before a name that expanded to nothing
  std::string wurzel_;          // the macro that started the current expansion chain

  // Output state.
  int spalte_ = 0;
  int ausZeile_ = 1;
  std::string markenDatei_;
  TokenEnde letztes_;
  int eckig_ = 0, rund_ = 0, geschweift_ = 0;

  // Function tracking.
  enum class FunktionsZustand { Nichts, Name, Liste, NachListe };
  FunktionsZustand fz_ = FunktionsZustand::Nichts;
  int fzKlammern_ = 0;
  std::string kandidat_;
  int klammerTiefe_ = 0;
  std::string funktion_;
  int funktionsZeile_ = 0;
  bool funktionAktiv_ = false;
  bool gehakt_ = false;
};

}  // namespace Praeprozessor
