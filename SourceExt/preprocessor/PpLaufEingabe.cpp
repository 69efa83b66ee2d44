// The token source of a run: input levels, read-ahead, and macro expansion.
#include <algorithm>

#include "PpLauf.h"

namespace Praeprozessor {

namespace {
std::size_t TextLaenge(const std::vector<Token>& tokens) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i)
    n += tokens[i].text.size() + (i > 0 && tokens[i].leer ? 1 : 0);
  return n;
}
}  // namespace

std::unique_ptr<Ebene> Lauf::HoleEbene() {
  if (frei_.empty()) return std::make_unique<Ebene>();
  std::unique_ptr<Ebene> e = std::move(frei_.back());
  frei_.pop_back();
  return e;
}

void Lauf::SchiebeEbene(std::unique_ptr<Ebene> e) {
  // Tokens given back come before anything on the levels; the new level must come
  // first, so they move into a level of their own underneath it.
  if (!rueckgabe_.empty()) {
    std::unique_ptr<Ebene> r = HoleEbene();
    r->AlsMakro("");
    r->tokens.assign(std::make_move_iterator(rueckgabe_.rbegin()),
                     std::make_move_iterator(rueckgabe_.rend()));
    rueckgabe_.clear();
    stapel_.push_back(std::move(r));
  }
  stapel_.push_back(std::move(e));
}

void Lauf::PopEbene() {
  std::unique_ptr<Ebene> e = std::move(stapel_.back());
  stapel_.pop_back();
  if (e->art == Ebene::Art::Datei && !e->hauptEingabe) --includeTiefe_;
  e->Schliessen();
  if (frei_.size() < 64) frei_.push_back(std::move(e));
}

int Lauf::InnersteDatei() const {
  for (int i = static_cast<int>(stapel_.size()) - 1; i >= 0; --i)
    if (stapel_[i]->art == Ebene::Art::Datei) return i;
  return -1;
}

void Lauf::NaechstesRoh(Token& t) {
  if (!rueckgabe_.empty()) {
    t = std::move(rueckgabe_.back());
    rueckgabe_.pop_back();
    return;
  }
  for (;;) {
    Ebene& e = *stapel_.back();
    if (e.art == Ebene::Art::Makro) {
      if (e.index < e.tokens.size()) {
        t = std::move(e.tokens[e.index++]);
        return;
      }
      if (e.barriere) {
        t.art = TokenArt::Ende;
        t.text.clear();
        return;
      }
      PopEbene();
      continue;
    }
    if (direktivModus_ > 0) {
      // A directive line ends at its newline, which stays unread.
      lexer_.Lies(e, t, false);
      if (t.art == TokenArt::Zeilenende) e.Zurueck('\n');
      return;
    }
    if (e.zeilenAnfang) {
      int c = lexer_.Zeilenanfang(e, kommentare_ && compiling_ && sammelModus_ == 0);
      if (c == '#') {
        e.Zeichen();
        e.leerVorher = false;
        e.raumVorher.clear();
        Direktive(e);
        continue;
      }
      if (c != EOF && !compiling_) {
        lexer_.UeberspringeZeile(e);
        e.leerVorher = false;
        e.raumVorher.clear();
        continue;
      }
      e.zeilenAnfang = false;
    }
    lexer_.Lies(e, t, kommentare_ && sammelModus_ == 0);
    if (t.art == TokenArt::Zeilenende) {
      e.zeilenAnfang = true;
      return;
    }
    if (t.art == TokenArt::Ende) {
      if (stapel_.size() == 1) return;  // end of input; the main level stays for the last messages
      PopEbene();
      if (sammelModus_ > 0) return;  // macro arguments do not run past the end of a file
      continue;
    }
    return;
  }
}

void Lauf::NaechstesExpandiert(Token& t) {
  for (;;) {
    NaechstesRoh(t);
    if (leerUebertrag_) {
      t.leer = true;
      leerUebertrag_ = false;
    }
    if (t.art != TokenArt::Name || t.gesperrt) return;
    const Makro* m = makros_.Finde(t.text);
    if (m == nullptr || (imIf_ && t.text == "defined")) return;
    if (!Expandiere(t, *m)) return;
  }
}

bool Lauf::Expandiere(Token& t, const Makro& m) {
  const int tiefe = t.tiefe + 1;
  if (t.tiefe == 0) wurzel_ = m.name;
  if (tiefe >= kExpansionsTiefe) {
    PreProcessMessage(9, t.text.c_str(), wurzel_.c_str());
    // The expansion stops: what is left of the macro levels is dropped.
    while (stapel_.back()->art == Ebene::Art::Makro && !stapel_.back()->barriere) PopEbene();
    return true;
  }
  std::unique_ptr<Ebene> neu = HoleEbene();
  neu->AlsMakro(m.name);
  if (m.argumente < kObjektMakro) {
    neu->tokens.push_back(MagischerWert(m));
  } else if (m.argumente == kObjektMakro) {
    Ersetze(m, {}, neu->tokens, tiefe);
  } else {
    std::vector<std::vector<Token>> args;
    const Aufruf aufruf = SammleArgumente(m, args);
    if (aufruf != Aufruf::Ok) {
      frei_.push_back(std::move(neu));
      if (aufruf == Aufruf::Abgebrochen) return true;
      t.gesperrt = true;  // not a call: the name stays as it is
      return false;
    }
    Ersetze(m, args, neu->tokens, tiefe);
    if (TextLaenge(neu->tokens) >= kArbeitspuffer) PreProcessMessage(62, m.name.c_str());
  }
  if (neu->tokens.empty()) {
    leerUebertrag_ = leerUebertrag_ || t.leer;
    frei_.push_back(std::move(neu));
    return true;
  }
  const bool ausInit = t.ausInit || m.name == "__init_func__";
  for (Token& x : neu->tokens) {
    x.zeile = t.zeile;
    x.tiefe = tiefe;
    x.ausInit = ausInit;
    x.raum.clear();
  }
  Token& erstes = neu->tokens.front();
  erstes.leer = t.leer;
  erstes.raum = std::move(t.raum);
  SchiebeEbene(std::move(neu));
  return true;
}

// Looks for "(" after the name of a function-like macro and collects the arguments.
// KeinAufruf when no "(" follows (warning 43; what was read ahead is given back);
// Abgebrochen when the input ended inside the call (error 10; the call is dropped).
Lauf::Aufruf Lauf::SammleArgumente(const Makro& m, std::vector<std::vector<Token>>& args) {
  Token p;
  std::vector<Token> zeilen;
  {
    Zaehler sammeln(sammelModus_);
    for (;;) {
      NaechstesRoh(p);
      if (p.art == TokenArt::Zeilenende && direktivModus_ == 0) {
        zeilen.push_back(p);
        continue;
      }
      break;
    }
  }
  if (!p.Ist('(')) {
    if (!p.IstEnde()) rueckgabe_.push_back(std::move(p));
    for (auto it = zeilen.rbegin(); it != zeilen.rend(); ++it) rueckgabe_.push_back(std::move(*it));
    PreProcessMessage(43, m.name.c_str());
    return Aufruf::KeinAufruf;
  }
  Zaehler sammeln(sammelModus_);
  Zaehler argumente(argumentSammlung_);
  args.assign(1, {});
  int klammern = 0;
  bool leer = false;
  std::size_t flaeche = 0;  // bytes of the finished arguments, each with its terminator
  std::size_t laenge = 0;   // bytes of the current one
  for (;;) {
    NaechstesRoh(p);
    if (p.art == TokenArt::Ende || (p.art == TokenArt::Zeilenende && direktivModus_ > 0)) {
      PreProcessMessage(10);
      return Aufruf::Abgebrochen;
    }
    if (p.art == TokenArt::Zeilenende) {
      leer = true;
      continue;
    }
    if (p.Ist('(')) {
      ++klammern;
    } else if (p.Ist(')')) {
      if (klammern == 0) break;
      --klammern;
    } else if (p.Ist(',') && klammern == 0) {
      if (args.size() == kMaxParameter) PreProcessMessage(61);
      flaeche += laenge + 1;
      laenge = 0;
      args.emplace_back();
      leer = false;
      continue;
    }
    std::vector<Token>& arg = args.back();
    p.leer = !arg.empty() && (p.leer || leer);
    leer = false;
    laenge += p.text.size() + (p.leer ? 1 : 0);
    if (flaeche + laenge + 1 > kParameterFlaeche) PreProcessMessage(59);
    arg.push_back(std::move(p));
  }
  std::size_t anzahl = args.size();
  if (m.argumente == 0 && anzahl == 1 && args[0].empty()) anzahl = 0;
  if (static_cast<int>(anzahl) != m.argumente) PreProcessMessage(44, m.name.c_str());
  // Missing arguments are empty, extra ones are dropped.
  args.resize(static_cast<std::size_t>(m.argumente));
  return Aufruf::Ok;
}

void Lauf::Ersetze(const Makro& m, const std::vector<std::vector<Token>>& args,
                   std::vector<Token>& aus, int tiefe) {
  std::size_t stueck = 0;  // where the latest operand of "##" starts in aus
  bool verbinden = false;
  std::vector<Token> erweitert;
  for (const MakroTeil& teil : m.rumpf) {
    if (teil.art == MakroTeil::Art::Verbinden) {
      verbinden = true;
      continue;
    }
    const std::size_t anfang = aus.size();
    switch (teil.art) {
      case MakroTeil::Art::Token: {
        Token& x = aus.emplace_back();
        x.text = teil.text;
        x.art = teil.tokenArt;
        x.gesperrt = teil.gesperrt;
        x.tiefe = tiefe;  // an isolated expansion of it continues this chain's depth
        if (verbinden && rechtsExpandieren_) {
          erweitert.clear();
          ExpandiereIsoliert({x}, erweitert);
          aus.pop_back();
          aus.insert(aus.end(), erweitert.begin(), erweitert.end());
        }
        break;
      }
      case MakroTeil::Art::Parameter: {
        const std::vector<Token>& arg = args[teil.nummer];
        if (verbinden && rechtsExpandieren_) {
          erweitert.clear();
          ExpandiereIsoliert(arg, erweitert);
          aus.insert(aus.end(), erweitert.begin(), erweitert.end());
        } else {
          aus.insert(aus.end(), arg.begin(), arg.end());
        }
        break;
      }
      case MakroTeil::Art::Zeichenkette: {
        Token s;
        s.art = TokenArt::Text;
        s.text = '"';
        bool erstes = true;
        for (const Token& x : args[teil.nummer]) {
          if (!erstes && x.leer) s.text += ' ';
          erstes = false;
          if (x.art == TokenArt::Text || x.art == TokenArt::Zeichen) {
            for (char c : x.text) {
              if (c == '"' || c == '\\') s.text += '\\';
              s.text += c;
            }
          } else {
            s.text += x.text;
          }
        }
        s.text += '"';
        aus.push_back(std::move(s));
        break;
      }
      case MakroTeil::Art::Verbinden:
        break;
    }
    if (aus.size() > anfang) aus[anfang].leer = teil.leer;
    if (verbinden) {
      verbinden = false;
      if (anfang > stueck && aus.size() > anfang) Verbinde(m, aus, anfang);
      // The joined operand still starts at stueck (at anfang when the left was empty).
    } else {
      stueck = anfang;
    }
  }
}

void Lauf::Verbinde(const Makro& m, std::vector<Token>& aus, std::size_t rechts) {
  Token& l = aus[rechts - 1];
  Token& r = aus[rechts];
  if (l.text.size() + r.text.size() >= kArbeitspuffer) PreProcessMessage(63, m.name.c_str());
  std::string text = l.text + r.text;
  TokenArt art;
  if (lexer_.EinToken(text, art)) {
    l.text = std::move(text);
    l.art = art;
    l.gesperrt = art == TokenArt::Name && l.text == m.name;
    aus.erase(aus.begin() + static_cast<std::ptrdiff_t>(rechts));
    return;
  }
  // The two do not form one token; they stay side by side.
  const int c = static_cast<unsigned char>(r.text[0]);
  if (c >= 32 && c < 127) PreProcessMessage(33, c);
  else PreProcessMessage(34, c);
  r.leer = false;
}

void Lauf::ExpandiereIsoliert(const std::vector<Token>& ein, std::vector<Token>& aus) {
  std::unique_ptr<Ebene> b = HoleEbene();
  b->AlsMakro("");
  b->barriere = true;
  b->tokens = ein;
  SchiebeEbene(std::move(b));
  const bool uebertrag = leerUebertrag_;
  leerUebertrag_ = false;
  Token t;
  for (;;) {
    NaechstesExpandiert(t);
    if (t.art == TokenArt::Ende) break;
    aus.push_back(t);
  }
  leerUebertrag_ = uebertrag;
  PopEbene();
}

Token Lauf::MagischerWert(const Makro& m) {
  Token w;
  const Ebene& datei = *stapel_[InnersteDatei()];
  switch (m.argumente) {
    case kMagischLine:
      w.art = TokenArt::Zahl;
      w.text = std::to_string(datei.zeile);
      break;
    case kMagischFile:
      w.art = TokenArt::Text;
      w.text = '"' + datei.Anzeige() + '"';
      break;
    case kMagischFunction:
      w.art = TokenArt::Text;
      w.text = '"' + (funktionAktiv_ ? funktion_ : std::string("<unknown function>")) + '"';
      break;
    case kMagischFuncLine:
      w.art = TokenArt::Zahl;
      w.text = std::to_string(funktionAktiv_ ? funktionsZeile_ : 0);
      break;
    default:
      PreProcessMessage(60, m.name.c_str());
  }
  return w;
}

}  // namespace Praeprozessor
