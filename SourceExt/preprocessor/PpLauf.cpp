#include "PpLauf.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "PpMeldungen.h"

namespace Praeprozessor {

namespace {
constexpr const char* kVersion = "1.0";
constexpr const char* kMagisch[] = {"__LINE__", "__FILE__", "__FUNCTION__", "__FUNC_LINE__"};
constexpr const char* kVordefiniert = "quelmcpp";

bool IstBezeichner(const std::string& s) {
  if (s.empty() || !IstBuchstabe(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!IstNamenszeichen(static_cast<unsigned char>(c))) return false;
  return true;
}
}  // namespace

Lauf::Lauf() : lexer_(*this) {}
Lauf::~Lauf() = default;

void Lauf::Meldung(int nr, ...) {
  va_list ap;
  va_start(ap, nr);
  MeldeV(nr, ap);
  va_end(ap);
}

void Lauf::PreProcessMessage(int nr, ...) {
  va_list ap;
  va_start(ap, nr);
  MeldeV(nr, ap);
  va_end(ap);
}

void Lauf::Bericht(const char* format, ...) {
  if (meldung_ == nullptr) return;
  va_list ap;
  va_start(ap, format);
  meldung_(benutzer_, format, ap);
  va_end(ap);
}

void Lauf::MeldeV(int nr, va_list argumente) {
  const Schwere schwere = MeldungsSchwere(nr);
  if (schwere == Schwere::Fehler) ++fehlerZahl_;
  if (schwere == Schwere::Fatal) fatal_ = true;
  if (meldung_ != nullptr) {
    const int innen = InnersteDatei();
    std::string name = innen >= 0 ? stapel_[innen]->Anzeige()
                                  : (eingabeName_.empty() ? "[stdin]" : eingabeName_);
    int zeile = innen >= 0 ? stapel_[innen]->zeile : 0;
    Bericht("%s\"%s\", line %d: %s: ", "cpp: ", name.c_str(), zeile, SchwereWort(schwere));
    va_list kopie;
    va_copy(kopie, argumente);
    meldung_(benutzer_, MeldungsText(nr), kopie);
    va_end(kopie);
    Bericht("\n");
    for (int i = innen - 1; i >= 0; --i) {
      const Ebene& e = *stapel_[i];
      const char* schluss = i == 0 ? "." : ",";
      if (e.art == Ebene::Art::Datei)
        Bericht(" from file %s, line %d%s\n", e.Anzeige().c_str(), e.zeile, schluss);
      else
        Bericht(" from macro %s%s\n", e.name.c_str(), schluss);
    }
  }
  if (schwere == Schwere::Fatal) throw Abbruch{};
}

int Lauf::Ausfuehren(const PreProcessTag* tags) {
  try {
    Vordefinieren();
  } catch (const std::bad_alloc&) {
    return 1;
  }
  bool fertig = false;
  try {
    TagsAnwenden(tags);
    // The main input: the caller's input callback, else the standard input.
    std::unique_ptr<Ebene> haupt = HoleEbene();
    const std::string name = eingabeName_.empty() ? "[stdin]" : eingabeName_;
    if (eingabe_ != nullptr) haupt->AlsEingabe(name, eingabe_, benutzer_);
    else haupt->AlsDatei(name, stdin, false);
    haupt->hauptEingabe = true;
    stapel_.push_back(std::move(haupt));
    Hauptschleife();
    fertig = true;
  } catch (const Abbruch&) {
  } catch (const std::bad_alloc&) {
    try {
      PreProcessMessage(65);
    } catch (const Abbruch&) {
    }
  }
  if (fertig && !ifStapel_.empty()) PreProcessMessage(28, static_cast<int>(ifStapel_.size()));
  // Only flushed: the caller's standard output stays usable.
  std::fflush(stdout);
  // Open include files are closed here, also after a fatal message.
  stapel_.clear();
  frei_.clear();
  return (fehlerZahl_ > 0 && !fehlerIgnorieren_) || fatal_ ? 1 : 0;
}

void Lauf::Vordefinieren() {
  Definiere(kVordefiniert, kObjektMakro, {}, {Token{"1", {}, 0, 0, TokenArt::Zahl}});
  const int arten[] = {kMagischLine, kMagischFile, kMagischFunction, kMagischFuncLine};
  for (int i = 0; i < 4; ++i) {
    auto m = std::make_unique<Makro>();
    m->name = kMagisch[i];
    m->argumente = arten[i];
    makros_.Definiere(std::move(m));
  }
  static const char* const kMonate[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t jetzt = std::time(nullptr);
  std::tm zeit{};
  localtime_r(&jetzt, &zeit);
  char text[64];
  std::snprintf(text, sizeof text, "\"%3s %2d %4d\"", kMonate[zeit.tm_mon % 12], zeit.tm_mday,
                zeit.tm_year + 1900);
  Definiere("__DATE__", kObjektMakro, {}, {Token{text, {}, 0, 0, TokenArt::Text}});
  std::snprintf(text, sizeof text, "\"%2d:%02d:%02d\"", zeit.tm_hour, zeit.tm_min, zeit.tm_sec);
  Definiere("__TIME__", kObjektMakro, {}, {Token{text, {}, 0, 0, TokenArt::Text}});
}

void Lauf::Definiere(const std::string& name, int argumente, std::vector<std::string> parameter,
                     const std::vector<Token>& rumpf) {
  auto m = std::make_unique<Makro>();
  m->name = name;
  m->argumente = argumente;
  m->parameter = std::move(parameter);
  m->BaueRumpf(rumpf);
  if (makros_.Definiere(std::move(m))) PreProcessMessage(7, name.c_str());
}

void Lauf::DefiniereAusTag(const char* text) {
  // The caller's text is only read: it may well be a literal.
  const std::string s(text);
  const std::size_t gleich = s.find('=');
  const std::string name = s.substr(0, gleich);
  const std::string wert = gleich == std::string::npos ? "1" : s.substr(gleich + 1);
  if (!IstBezeichner(name)) {
    PreProcessMessage(6);
    return;
  }
  std::vector<Token> rumpf;
  lexer_.Zerlege(wert, rumpf);
  Definiere(name, kObjektMakro, {}, rumpf);
}

void Lauf::TagsAnwenden(const PreProcessTag* tags) {
  try {
    for (const PreProcessTag* p = tags; p != nullptr && p->id != PPTAG_END; ++p) {
      const char* text = reinterpret_cast<const char*>(p->data);
      const bool an = p->data != 0;
      switch (p->id) {
        case PPTAG_KEEP_COMMENTS: kommentare_ = an; break;
        case PPTAG_DEFINE:
          if (text) DefiniereAusTag(text);
          break;
        case PPTAG_IGNORE_ERRORS: fehlerIgnorieren_ = an; break;
        case PPTAG_INCLUDE_DIR:
          if (!text) break;
          if (verzeichnisse_.size() == kVerzeichnisse) PreProcessMessage(56);
          verzeichnisse_.emplace_back(text);
          break;
        case PPTAG_NO_PREDEFINES:
        case PPTAG_NO_BUILTINS:
          break;  // read after the predefinition, so they change nothing
        case PPTAG_NO_LINE_COMMENTS: lexer_.keineZeilenKommentare = an; break;
        case PPTAG_SIZEOF_TABLE:
          if (text)
            if (int w = GroessenTabelle::Programm().Setze(text)) PreProcessMessage(w);
          break;
        case PPTAG_UNDEFINE:
          if (text && !makros_.Entferne(text)) PreProcessMessage(41, text);
          break;
        case PPTAG_DUMP_DEFINES: ++dumpZaehler_; break;
        case PPTAG_INPUT_NAME:
          eingabeName_ = text ? std::string(text).substr(0, kArbeitspuffer - 1) : std::string();
          break;
        case PPTAG_INPUT: eingabe_ = reinterpret_cast<PreProcessInput>(p->data); break;
        case PPTAG_OUTPUT: ausgabeFunktion_ = reinterpret_cast<PreProcessOutput>(p->data); break;
        case PPTAG_USERDATA: benutzer_ = reinterpret_cast<void*>(p->data); break;
        case PPTAG_LINE_MARKERS: zeilenMarken_ = an; break;
        case PPTAG_ERROR: meldung_ = reinterpret_cast<PreProcessError>(p->data); break;
        case PPTAG_WARN_UNKNOWN_DIRECTIVE: warneUnbekannt_ = an; break;
        case PPTAG_LINE_KEYWORD: zeilenWort_ = an; break;
        case PPTAG_SHOW_BANNER: banner_ = an; break;
        case PPTAG_SHOW_INCLUDES: zeigeIncludes_ = an; break;
        case PPTAG_WARN_BALANCE: warneKlammern_ = an; break;
        case PPTAG_KEEP_SPACE: lexer_.leerraumBehalten = an; break;
        case PPTAG_NESTED_COMMENTS: lexer_.geschachtelt = an; break;
        case PPTAG_WARN_NESTED_COMMENTS: lexer_.warneGeschachtelt = an; break;
        case PPTAG_WARN_MISSING_INCLUDE: warneFehlendesInclude_ = an; break;
        case PPTAG_OUTPUT_ON: ausgabeAn_ = an; break;
        case PPTAG_PREINCLUDE_SHOWN:
        case PPTAG_PREINCLUDE:
          if (!text) break;
          if (vorIncludes_.size() == kVorIncludes) PreProcessMessage(57);
          vorIncludes_.emplace_back(text);
          break;
        case PPTAG_CONCAT_EXPAND_RIGHT: rechtsExpandieren_ = an; break;
        case PPTAG_INIT_FUNC_TEXT:
          hatInitText_ = text != nullptr;
          initText_ = text ? text : "";
          break;
        case PPTAG_INIT_FUNC_NAME:
          if (!text) break;
          if (initNamen_.size() == kFunktionsNamen) PreProcessMessage(42);  // refused
          else initNamen_.emplace_back(text);
          break;
        case PPTAG_SHOW_FUNCTIONS: zeigeFunktionen_ = an; break;
        case PPTAG_PLAIN_QUOTES: lexer_.einfacheAnfuehrung = an; break;
        case PPTAG_LOCAL_INCLUDE_FIRST: lokalZuerst_ = an; break;
        case PPTAG_FILE_OPEN: oeffner_ = reinterpret_cast<PreProcessFileOpen>(p->data); break;
        default: PreProcessMessage(42); break;
      }
    }
  } catch (const Abbruch&) {
    // A full include-directory or pre-include list ends the tag list; the run goes on.
  }
}

void Lauf::Hauptschleife() {
  ausgabe_ = ausgabeAn_ ? ausgabeFunktion_ : nullptr;
  if (banner_) Bericht("quelmcpp C preprocessor, version %s (built %s)\n", kVersion, __DATE__);
  if (zeilenMarken_) Zeilenmarke(1, stapel_.front()->Anzeige());
  // Stacked from the last to the first, so that they are read in the order given.
  for (std::size_t i = vorIncludes_.size(); i-- > 0;) {
    FILE* datei = nullptr;
    std::string pfad;
    if (IncludeSuchen(vorIncludes_[i], true, datei, pfad)) IncludeOeffnen(datei, pfad);
  }
  Token t;
  for (;;) {
    NaechstesExpandiert(t);
    if (t.art == TokenArt::Ende) break;
    if (t.art == TokenArt::Zeilenende) {
      if (spalte_ > 0) Aus('\n');
      continue;
    }
    SchreibeToken(t);
  }
  if (spalte_ > 0) Aus('\n');
  if (warneKlammern_) {
    if (eckig_ != 0) PreProcessMessage(49, eckig_);
    if (rund_ != 0) PreProcessMessage(50, rund_);
    if (geschweift_ != 0) PreProcessMessage(51, geschweift_);
  }
  if (dumpZaehler_ > 0) Dump();
}

void Lauf::Dump() {
  if (dumpZaehler_ == 1) {
    makros_.Entferne(kVordefiniert);
    for (const char* n : kMagisch) makros_.Entferne(n);
    makros_.Entferne("__DATE__");
    makros_.Entferne("__TIME__");
  }
  makros_.FuerAlle([&](const Makro& m) {
    AusText(m.DumpZeile());
    Aus('\n');
  });
}

void Lauf::SchreibeToken(const Token& t) {
  if (spalte_ == 0) {
    if (zeilenMarken_) Synchronisiere(t.zeile);
    if (lexer_.leerraumBehalten) AusText(t.raum);
  } else if (lexer_.leerraumBehalten && !t.raum.empty()) {
    AusText(t.raum);
  } else if (t.leer || Lexer::TrennungNoetig(letztes_, t)) {
    Aus(' ');
  }
  AusText(t.text);
  letztes_.Setze(t);
  if (t.art != TokenArt::Kommentar) {
    VerfolgeFunktion(t);
    if (warneKlammern_) Klammern(t);
  }
}

void Lauf::Synchronisiere(int zeile) {
  const std::string& datei = stapel_[InnersteDatei()]->Anzeige();
  if (datei == markenDatei_ && zeile >= ausZeile_ && zeile - ausZeile_ < 5) {
    while (ausZeile_ < zeile) Aus('\n');
  } else {
    Zeilenmarke(zeile, datei);
  }
}

void Lauf::Zeilenmarke(int zeile, const std::string& datei) {
  if (spalte_ > 0) Aus('\n');
  std::string marke = zeilenWort_ ? "#line " : "# ";
  marke += std::to_string(zeile);
  if (datei != markenDatei_) {
    marke += " \"";
    marke += datei;
    marke += '"';
  }
  marke += '\n';
  AusText(marke);
  markenDatei_ = datei;
  ausZeile_ = zeile;
}

void Lauf::DirektivAusgabe(const std::string& text, int zeile) {
  if (spalte_ > 0) Aus('\n');
  if (zeilenMarken_) Synchronisiere(zeile);
  AusText(text);
  Aus('\n');
  letztes_ = TokenEnde{};
}

void Lauf::Klammern(const Token& t) {
  if (t.art != TokenArt::Satzzeichen || t.text.size() != 1) return;
  switch (t.text[0]) {
    case '[': ++eckig_; break;
    case ']': --eckig_; break;
    case '(': ++rund_; break;
    case ')': --rund_; break;
    case '{': ++geschweift_; break;
    case '}': --geschweift_; break;
    default: break;
  }
}

void Lauf::VerfolgeFunktion(const Token& t) {
  if (t.Ist('{')) {
    if (klammerTiefe_ == 0 && fz_ == FunktionsZustand::NachListe) {
      // A name, a parenthesised list and "{" at the outermost level: a function starts.
      funktion_ = kandidat_.substr(0, 50);
      funktionsZeile_ = t.zeile;
      funktionAktiv_ = true;
      gehakt_ = false;
      if (zeigeFunktionen_)
        Bericht("#> Function defined at line %d: %s <#\n", funktionsZeile_, funktion_.c_str());
      if (hatInitText_) {
        bool ausgenommen = false;
        for (const std::string& n : initNamen_) ausgenommen = ausgenommen || n == funktion_;
        if (!ausgenommen) {
          std::vector<Token> rumpf;
          lexer_.Zerlege("{", rumpf);
          Definiere("__brace__", kObjektMakro, {}, rumpf);
          rumpf.clear();
          lexer_.Zerlege(initText_, rumpf);
          Definiere("__init_func__", kObjektMakro, {}, rumpf);
          gehakt_ = true;
        }
      }
    }
    ++klammerTiefe_;
    fz_ = FunktionsZustand::Nichts;
    return;
  }
  if (t.Ist('}')) {
    if (klammerTiefe_ > 0) --klammerTiefe_;
    // A hooked function keeps the brace its __init_func__ opened until here.
    if (funktionAktiv_ && !t.ausInit && klammerTiefe_ <= (gehakt_ ? 1 : 0)) {
      funktion_.clear();
      funktionsZeile_ = 0;
      funktionAktiv_ = false;
      if (gehakt_ && klammerTiefe_ == 1) {
        Aus('}');
        --klammerTiefe_;
      }
      gehakt_ = false;
    }
    fz_ = FunktionsZustand::Nichts;
    return;
  }
  if (klammerTiefe_ != 0) return;
  switch (fz_) {
    case FunktionsZustand::Nichts:
    case FunktionsZustand::Name:
      if (t.art == TokenArt::Name) {
        kandidat_ = t.text;
        fz_ = FunktionsZustand::Name;
      } else if (fz_ == FunktionsZustand::Name && t.Ist('(')) {
        fz_ = FunktionsZustand::Liste;
        fzKlammern_ = 1;
      } else {
        fz_ = FunktionsZustand::Nichts;
      }
      break;
    case FunktionsZustand::Liste:
      if (t.Ist('(')) ++fzKlammern_;
      else if (t.Ist(')') && --fzKlammern_ == 0) fz_ = FunktionsZustand::NachListe;
      break;
    case FunktionsZustand::NachListe:
      if (t.Ist(',') || t.Ist(';')) fz_ = FunktionsZustand::Nichts;
      break;
  }
}

}  // namespace Praeprozessor
