// Directives of a run: definitions, conditionals with the #if stack, includes, #line
// and the rest.
#include <algorithm>
#include <climits>

#include "PpLauf.h"

namespace Praeprozessor {

namespace {
enum class Art {
  Define, Undef, Include, If, Ifdef, Ifndef, Elif, Else, Endif, Line, Error, Assert, Pragma,
  Unbekannt
};

Art Erkenne(const Token& name) {
  if (name.art != TokenArt::Name) return Art::Unbekannt;
  static const struct {
    const char* wort;
    Art art;
  } kWoerter[] = {{"define", Art::Define}, {"undef", Art::Undef},   {"include", Art::Include},
                  {"if", Art::If},         {"ifdef", Art::Ifdef},   {"ifndef", Art::Ifndef},
                  {"elif", Art::Elif},     {"else", Art::Else},     {"endif", Art::Endif},
                  {"line", Art::Line},     {"error", Art::Error},   {"assert", Art::Assert},
                  {"pragma", Art::Pragma}};
  for (const auto& w : kWoerter)
    if (name.text == w.wort) return w.art;
  return Art::Unbekannt;
}

bool IstBedingt(Art a) {
  return a == Art::If || a == Art::Ifdef || a == Art::Ifndef || a == Art::Elif || a == Art::Else ||
         a == Art::Endif;
}

FILE* StandardOeffner(const char* name, const char* modus) { return std::fopen(name, modus); }
}  // namespace

void Lauf::Direktive(Ebene& e) {
  // No expansion can still look at a replaced macro record here.
  if (sammelModus_ == 0) makros_.Aufraeumen();
  const std::size_t ebenen = stapel_.size();
  const std::size_t rueck = rueckgabe_.size();
  FILE* datei = nullptr;
  std::string pfad;
  bool include = false;
  {
    Zaehler modus(direktivModus_);
    direktivRueck_ = rueck;
    Token name;
    NaechstesRoh(name);
    const Art art = Erkenne(name);
    if (!name.IstEnde() && (compiling_ || IstBedingt(art))) {
      if (argumentSammlung_ > 0 && compiling_) PreProcessMessage(36, name.text.c_str());
      switch (art) {
        case Art::Define: DirektiveDefine(); break;
        case Art::Undef: DirektiveUndef(e); break;
        case Art::Include: include = DirektiveInclude(e, datei, pfad); break;
        case Art::If:
        case Art::Ifdef:
        case Art::Ifndef: DirektiveIf(name.text, e); break;
        case Art::Elif: DirektiveElif(); break;
        case Art::Else: DirektiveElse(e); break;
        case Art::Endif: DirektiveEndif(e); break;
        case Art::Line: DirektiveLine(e); break;
        case Art::Error: PreProcessMessage(2); break;
        case Art::Assert: {
          std::int32_t wert = 0;
          if (Bedingung(wert) && wert == 0) PreProcessMessage(3);
          break;
        }
        case Art::Pragma: {
          std::string rest;
          lexer_.RohZeile(e, rest, true);
          DirektivAusgabe("#pragma " + rest, e.zeile);
          break;
        }
        case Art::Unbekannt: {
          if (warneUnbekannt_) PreProcessMessage(37, name.text.c_str());
          std::string rest;
          lexer_.RohZeile(e, rest, true);
          DirektivAusgabe("#" + name.text + " " + rest, e.zeile);
          break;
        }
      }
    }
    // Whatever the directive left of expansions and read-ahead belongs to its line.
    while (stapel_.size() > ebenen) PopEbene();
    rueckgabe_.erase(rueckgabe_.begin() + static_cast<std::ptrdiff_t>(rueck), rueckgabe_.end());
  }
  e.leerVorher = false;
  e.raumVorher.clear();
  if (include) {
    // The include's newline is read after the included file.
    IncludeOeffnen(datei, pfad);
    e.zeilenAnfang = false;
  } else {
    lexer_.UeberspringeZeile(e);
    e.zeilenAnfang = true;
  }
}

bool Lauf::RestLeer(Ebene& e) {
  if (rueckgabe_.size() > direktivRueck_) return false;
  std::string rest;
  lexer_.RohZeile(e, rest, true);
  return rest.empty();
}

bool Lauf::Bedingung(std::int32_t& wert) {
  imIf_ = true;
  Ausdruck ausdruck(*this);
  bool leer = false;
  const int fehlerVorher = fehlerZahl_;
  const bool ok = ausdruck.Werte(wert, leer);
  imIf_ = false;
  // An expression lost to an error already reported is not reported as missing too.
  if (!ok && leer && fehlerZahl_ == fehlerVorher) PreProcessMessage(4);
  return ok;
}

void Lauf::DirektiveDefine() {
  Token name;
  NaechstesRoh(name);
  if (name.art != TokenArt::Name) {
    PreProcessMessage(6);
    return;
  }
  std::vector<std::string> parameter;
  int argumente = kObjektMakro;
  Token p;
  NaechstesRoh(p);
  if (p.Ist('(') && !p.leer) {
    std::size_t flaeche = 0;
    NaechstesRoh(p);
    if (!p.Ist(')')) {
      for (;;) {
        if (p.art != TokenArt::Name ||
            std::find(parameter.begin(), parameter.end(), p.text) != parameter.end()) {
          PreProcessMessage(6);
          return;
        }
        if (parameter.size() == kMaxParameter) PreProcessMessage(58);
        flaeche += p.text.size() + 1;
        if (flaeche > kParameterFlaeche) PreProcessMessage(59);
        parameter.push_back(p.text);
        NaechstesRoh(p);
        if (p.Ist(')')) break;
        if (!p.Ist(',')) {
          PreProcessMessage(6);
          return;
        }
        NaechstesRoh(p);
      }
    }
    argumente = static_cast<int>(parameter.size());
    NaechstesRoh(p);
  }
  std::vector<Token> rumpf;
  std::size_t laenge = 0;
  while (!p.IstEnde()) {
    laenge += p.text.size() + (!rumpf.empty() && p.leer ? 1 : 0);
    if (laenge >= kArbeitspuffer) PreProcessMessage(64);
    rumpf.push_back(p);
    NaechstesRoh(p);
  }
  Definiere(name.text, argumente, std::move(parameter), rumpf);
}

void Lauf::DirektiveUndef(Ebene& e) {
  Token name;
  NaechstesRoh(name);
  if (name.art != TokenArt::Name) {
    PreProcessMessage(8);
    return;
  }
  makros_.Entferne(name.text);
  if (!RestLeer(e)) PreProcessMessage(38);
}

void Lauf::DirektiveIf(const std::string& wort, Ebene& e) {
  if (static_cast<int>(ifStapel_.size()) >= kIfTiefe) PreProcessMessage(54, wort.c_str());
  ifStapel_.push_back({compiling_, false, false});
  if (!compiling_) return;  // a level inside a skipped region stays off
  bool wahr = false;
  if (wort == "if") {
    std::int32_t wert = 0;
    wahr = Bedingung(wert) && wert != 0;
  } else {
    Token name;
    NaechstesRoh(name);
    if (name.art != TokenArt::Name) {
      PreProcessMessage(4);
    } else {
      const bool definiert = makros_.Finde(name.text) != nullptr;
      wahr = (wort == "ifdef") == definiert;
      if (!RestLeer(e)) PreProcessMessage(38);
    }
  }
  compiling_ = wahr;
  ifStapel_.back().wahrGenommen = wahr;
}

void Lauf::DirektiveElif() {
  if (ifStapel_.empty()) {
    PreProcessMessage(0, "elif");
    return;
  }
  if (ifStapel_.back().elseGesehen) {
    PreProcessMessage(1, "elif");
    compiling_ = false;
    return;
  }
  if (ifStapel_.back().wahrGenommen || !ifStapel_.back().warAn) {
    compiling_ = false;
    return;
  }
  std::int32_t wert = 0;
  const bool wahr = Bedingung(wert) && wert != 0;
  compiling_ = wahr;
  ifStapel_.back().wahrGenommen = wahr;
}

void Lauf::DirektiveElse(Ebene& e) {
  if (ifStapel_.empty()) {
    PreProcessMessage(0, "else");
    return;
  }
  IfEbene& oben = ifStapel_.back();
  if (oben.elseGesehen) {
    PreProcessMessage(1, "else");
    compiling_ = false;
    return;
  }
  oben.elseGesehen = true;
  compiling_ = oben.warAn && !oben.wahrGenommen;
  if (compiling_) oben.wahrGenommen = true;
  if (oben.warAn && !RestLeer(e)) PreProcessMessage(38);
}

void Lauf::DirektiveEndif(Ebene& e) {
  if (ifStapel_.empty()) {
    PreProcessMessage(0, "endif");
    return;
  }
  compiling_ = ifStapel_.back().warAn;
  ifStapel_.pop_back();
  if (compiling_ && !RestLeer(e)) PreProcessMessage(38);
}

void Lauf::DirektiveLine(Ebene& e) {
  std::vector<Token> tokens;
  std::size_t laenge = 0;
  Token t;
  for (;;) {
    NaechstesExpandiert(t);
    if (t.IstEnde()) break;
    laenge += t.text.size() + (!tokens.empty() && t.leer ? 1 : 0);
    if (laenge >= kArbeitspuffer) PreProcessMessage(64);
    tokens.push_back(t);
  }
  long long zeile = 0;
  bool gueltig = !tokens.empty() && tokens[0].art == TokenArt::Zahl;
  if (gueltig) {
    for (char c : tokens[0].text) {
      if (!IstZiffer(static_cast<unsigned char>(c)) || zeile > INT_MAX) {
        gueltig = false;
        break;
      }
      zeile = zeile * 10 + (c - '0');
    }
  }
  if (!gueltig || zeile > INT_MAX) {
    PreProcessMessage(38);
    return;
  }
  // The directive's own newline is still unread and brings the count to the number.
  e.zeile = static_cast<int>(zeile) - 1;
  if (tokens.size() > 1) {
    const Token& n = tokens[1];
    if (n.art == TokenArt::Text && n.text.size() >= 2) e.anzeigeName = n.text.substr(1, n.text.size() - 2);
    else e.anzeigeName = n.text;
  }
  if (tokens.size() > 2) PreProcessMessage(38);
}

bool Lauf::DirektiveInclude(Ebene& e, FILE*& datei, std::string& pfad) {
  const int c = lexer_.Zeilenanfang(e, false);
  e.leerVorher = false;
  e.raumVorher.clear();
  std::string text;
  if (IstBuchstabe(c)) {
    Token t;
    for (;;) {
      NaechstesExpandiert(t);
      if (t.IstEnde()) break;
      if (t.leer && !text.empty()) text += ' ';
      text += t.text;
      if (text.size() >= kArbeitspuffer) PreProcessMessage(64);
    }
  } else {
    lexer_.RohZeile(e, text, false);
    if (text.size() >= kArbeitspuffer) PreProcessMessage(64);
  }
  const char schluss = text.empty() ? 0 : text[0] == '<' ? '>' : text[0] == '"' ? '"' : 0;
  if (schluss == 0 || text.size() < 3 || text.back() != schluss) {
    PreProcessMessage(5);
    return false;
  }
  return IncludeSuchen(text.substr(1, text.size() - 2), text[0] == '"', datei, pfad);
}

bool Lauf::IncludeSuchen(const std::string& name, bool zitiert, FILE*& datei, std::string& pfad) {
  // Stops runaway nesting such as a file that includes itself.
  if (includeTiefe_ >= kIncludeTiefe) PreProcessMessage(54, "include");
  PreProcessFileOpen oeffne = oeffner_ != nullptr ? oeffner_ : &StandardOeffner;
  auto versuche = [&](const std::string& p) {
    if (p.size() >= kArbeitspuffer) PreProcessMessage(55);
    datei = oeffne(p.c_str(), "r");
    if (datei == nullptr) return false;
    pfad = p;
    return true;
  };
  if (!name.empty() && name[0] == '/') {
    if (versuche(name)) return true;
  } else {
    if (zitiert && lokalZuerst_) {
      const std::string& innen = stapel_[InnersteDatei()]->name;
      const std::size_t strich = innen.rfind('/');
      if (versuche(strich == std::string::npos ? name : innen.substr(0, strich + 1) + name))
        return true;
    }
    for (const std::string& v : verzeichnisse_)
      if (versuche(v + (!v.empty() && v.back() == '/' ? "" : "/") + name)) return true;
  }
  if (warneFehlendesInclude_) PreProcessMessage(48, name.c_str());
  return false;
}

void Lauf::IncludeOeffnen(FILE* datei, const std::string& pfad) {
  std::unique_ptr<Ebene> e = HoleEbene();
  e->AlsDatei(pfad, datei, true);
  ++includeTiefe_;
  SchiebeEbene(std::move(e));
  if (zeigeIncludes_) Bericht("cpp: included \"%s\"\n", pfad.c_str());
}

}  // namespace Praeprozessor
