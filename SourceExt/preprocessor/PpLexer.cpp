#include "PpLexer.h"

#include <cstring>

namespace Praeprozessor {



void TokenEnde::Setze(const Token& t) {
  art = t.art;
  letztes = t.text.empty() ? 0 : t.text.back();
  text[0] = 0;
  if (t.art == TokenArt::Satzzeichen && t.text.size() < sizeof text)
    std::memcpy(text, t.text.c_str(), t.text.size() + 1);
}

bool Lexer::TrennungNoetig(const TokenEnde& links, const Token& t) {
  if (t.text.empty()) return false;
  const unsigned char b = static_cast<unsigned char>(t.text[0]);
  switch (links.art) {
    case TokenArt::Name:
      return IstNamenszeichen(b);
    case TokenArt::Zahl: {
      if (IstNamenszeichen(b) || b == '.') return true;
      char a = links.letztes;
      return (b == '+' || b == '-') && (a == 'e' || a == 'E' || a == 'p' || a == 'P');
    }
    case TokenArt::Satzzeichen: {
      const char* l = links.text;
      if (l[0] == 0) return false;
      if (l[1] == 0) {
        switch (l[0]) {
          case '-': return b == '-' || b == '=' || b == '>';
          case '+': return b == '+' || b == '=';
          case '&': return b == '&' || b == '=';
          case '|': return b == '|' || b == '=';
          case '<': return b == '<' || b == '=';
          case '>': return b == '>' || b == '=';
          case '#': return b == '#';
          case '.': return b == '.' || IstZiffer(b);
          case '/': return b == '=' || b == '*' || b == '/';  // "/*" and "//" open comments
          case '=': case '!': case '*': case '%': case '^': return b == '=';
          default: return false;
        }
      }
      // "<<" and ">>" take "="; longer punctuators take nothing; no other pair ends in "/".
      return l[2] == 0 && (l[0] == '<' || l[0] == '>') && l[1] == l[0] && b == '=';
    }
    default:
      return false;
  }
}

void Lexer::Melde(int nr) {
  if (!still_) melder_.LexerMeldung(nr);
}

void Lexer::Zurueck(Ebene& e, int c) {
  if (!e.Zurueck(c)) melder_.LexerMeldung(66);
}

void Lexer::Raum(std::string& raum, int c) {
  if (leerraumBehalten && raum.size() < 511) raum += (c == '\v' || c == '\f') ? ' ' : static_cast<char>(c);
}

void Lexer::BlockKommentar(Ebene& e, std::string* text) {
  if (text) *text += "/*";
  int tiefe = 1;
  int c = e.ZeichenOhneSpleiss();
  for (;;) {
    if (c == EOF) {
      Melde(27);
      return;
    }
    if (c == '*') {
      int d = e.ZeichenOhneSpleiss();
      if (d == '/') {
        if (text) *text += "*/";
        if (--tiefe == 0) return;
        c = e.ZeichenOhneSpleiss();
        continue;
      }
      if (text) *text += '*';
      c = d;
      continue;
    }
    if (c == '/') {
      int d = e.ZeichenOhneSpleiss();
      if (d == '*') {
        if (warneGeschachtelt) Melde(52);
        if (geschachtelt) ++tiefe;
        if (text) *text += "/*";
        c = e.ZeichenOhneSpleiss();
        continue;
      }
      if (text) *text += '/';
      c = d;
      continue;
    }
    if (text) *text += static_cast<char>(c);
    c = e.ZeichenOhneSpleiss();
  }
}

void Lexer::ZeilenKommentar(Ebene& e, std::string* text) {
  if (text) *text += "//";
  for (;;) {
    int c = e.ZeichenOhneSpleiss();
    if (c == '\n' || c == EOF) {
      Zurueck(e, c);
      return;
    }
    if (text) *text += static_cast<char>(c);
  }
}

void Lexer::Lies(Ebene& e, Token& t, bool kommentarToken) {
  t.text.clear();
  t.gesperrt = t.ausInit = false;
  t.tiefe = 0;
  t.leer = e.leerVorher;
  e.leerVorher = false;
  t.raum.clear();
  if (leerraumBehalten) t.raum.swap(e.raumVorher);
  for (;;) {
    int c = e.Zeichen();
    if (IstRaum(c)) {
      t.leer = true;
      Raum(t.raum, c);
      continue;
    }
    t.zeile = e.zeile;
    switch (c) {
      case EOF:
        t.art = TokenArt::Ende;
        return;
      case '\n':
        t.zeile = e.zeile - 1;
        t.art = TokenArt::Zeilenende;
        return;
      case '/': {
        int d = e.Zeichen();
        if (d == '*' || (d == '/' && !keineZeilenKommentare)) {
          if (kommentarToken) {
            if (d == '*') BlockKommentar(e, &t.text);
            else ZeilenKommentar(e, &t.text);
            t.art = TokenArt::Kommentar;
            return;
          }
          if (d == '*') BlockKommentar(e, nullptr);
          else ZeilenKommentar(e, nullptr);
          t.leer = true;
          Raum(t.raum, ' ');
          continue;
        }
        Zurueck(e, d);
        Satz(e, t, c);
        return;
      }
      case '"':
      case '\'':
        if (!einfacheAnfuehrung) {
          Literal(e, t, c);
          return;
        }
        t.text = static_cast<char>(c);
        t.art = TokenArt::Sonstiges;
        return;
      case '.': {
        int d = e.Zeichen();
        if (IstZiffer(d)) {
          t.text = '.';
          Zahl(e, t, d);
          return;
        }
        Zurueck(e, d);
        Satz(e, t, c);
        return;
      }
      default:
        if (IstBuchstabe(c)) Name(e, t, c);
        else if (IstZiffer(c)) Zahl(e, t, c);
        else Satz(e, t, c);
        return;
    }
  }
}

void Lexer::Name(Ebene& e, Token& t, int c) {
  t.text += static_cast<char>(c);
  for (;;) {
    e.NamensZeichen(t.text);
    int d = e.Zeichen();
    if (!IstNamenszeichen(d)) {
      Zurueck(e, d);
      break;
    }
    t.text += static_cast<char>(d);
  }
  t.art = TokenArt::Name;
}

void Lexer::Zahl(Ebene& e, Token& t, int c) {
  t.text += static_cast<char>(c);
  for (;;) {
    int d = e.Zeichen();
    if (!IstNamenszeichen(d) && d != '.') {
      Zurueck(e, d);
      break;
    }
    t.text += static_cast<char>(d);
    if (d == 'e' || d == 'E' || d == 'p' || d == 'P') {
      int f = e.Zeichen();
      if (f == '+' || f == '-') t.text += static_cast<char>(f);
      else Zurueck(e, f);
    }
  }
  t.art = TokenArt::Zahl;
}

void Lexer::Literal(Ebene& e, Token& t, int q) {
  t.text = static_cast<char>(q);
  for (;;) {
    int c = e.Zeichen();
    if (c == q) {
      t.text += static_cast<char>(c);
      break;
    }
    if (c == '\n' || c == EOF) {
      Zurueck(e, c);
      Melde(26);
      break;
    }
    t.text += static_cast<char>(c);
    if (c == '\\') {
      int d = e.Zeichen();
      if (d == '\n' || d == EOF) {
        Zurueck(e, d);
        Melde(26);
        break;
      }
      t.text += static_cast<char>(d);
    }
  }
  t.art = q == '"' ? TokenArt::Text : TokenArt::Zeichen;
}

void Lexer::LiteralUeberspringen(Ebene& e, int q, std::string* text) {
  for (;;) {
    int c = e.Zeichen();
    if (c == '\n' || c == EOF) {
      Zurueck(e, c);
      return;
    }
    if (text) *text += static_cast<char>(c);
    if (c == q) return;
    if (c == '\\') {
      int d = e.Zeichen();
      if (d == '\n' || d == EOF) {
        Zurueck(e, d);
        return;
      }
      if (text) *text += static_cast<char>(d);
    }
  }
}

void Lexer::Satz(Ebene& e, Token& t, int c) {
  t.text = static_cast<char>(c);
  t.art = TokenArt::Satzzeichen;
  auto eines = [&](const char* moeglich) {
    int d = e.Zeichen();
    if (d != EOF && d != 0 && std::strchr(moeglich, d) != nullptr) {
      t.text += static_cast<char>(d);
      return d;
    }
    Zurueck(e, d);
    return 0;
  };
  switch (c) {
    case '-': eines("->="); break;
    case '+': eines("+="); break;
    case '&': eines("&="); break;
    case '|': eines("|="); break;
    case '#': eines("#"); break;
    case '<':
    case '>': {
      int d = eines(c == '<' ? "<=" : ">=");
      if (d == c) eines("=");
      break;
    }
    case '=':
    case '!':
    case '*':
    case '/':
    case '%':
    case '^': eines("="); break;
    case '.': {
      int d = e.Zeichen();
      if (d == '.') {
        int f = e.Zeichen();
        if (f == '.') {
          t.text = "...";
          break;
        }
        Zurueck(e, f);
      }
      Zurueck(e, d);
      break;
    }
    case '(': case ')': case '[': case ']': case '{': case '}':
    case ',': case ';': case ':': case '?': case '~':
      break;
    default:
      t.art = TokenArt::Sonstiges;
  }
}

int Lexer::Zeilenanfang(Ebene& e, bool kommentarToken) {
  for (;;) {
    int c = e.Zeichen();
    if (IstRaum(c)) {
      e.leerVorher = true;
      Raum(e.raumVorher, c);
      continue;
    }
    if (c == '/' && !kommentarToken) {
      int d = e.Zeichen();
      if (d == '*') {
        BlockKommentar(e, nullptr);
        e.leerVorher = true;
        Raum(e.raumVorher, ' ');
        continue;
      }
      if (d == '/' && !keineZeilenKommentare) {
        ZeilenKommentar(e, nullptr);
        continue;
      }
      Zurueck(e, d);
    }
    Zurueck(e, c);
    return c;
  }
}

void Lexer::UeberspringeZeile(Ebene& e) {
  for (;;) {
    int c = e.Zeichen();
    switch (c) {
      case EOF:
      case '\n':
        return;
      case '/': {
        int d = e.Zeichen();
        if (d == '*') BlockKommentar(e, nullptr);
        else if (d == '/' && !keineZeilenKommentare) ZeilenKommentar(e, nullptr);
        else Zurueck(e, d);
        break;
      }
      case '"':
      case '\'':
        if (!einfacheAnfuehrung) LiteralUeberspringen(e, c, nullptr);
        break;
      default:
        break;
    }
  }
}

void Lexer::RohZeile(Ebene& e, std::string& text, bool falten) {
  text.clear();
  auto leer = [&](int c) {
    if (!falten) text += static_cast<char>(c);
    else if (!text.empty() && text.back() != ' ') text += ' ';
  };
  for (;;) {
    int c = e.Zeichen();
    if (c == '\n' || c == EOF) {
      Zurueck(e, c);
      break;
    }
    if (c == '/') {
      int d = e.Zeichen();
      if (d == '*' || (d == '/' && !keineZeilenKommentare)) {
        if (d == '*') BlockKommentar(e, nullptr);
        else ZeilenKommentar(e, nullptr);
        leer(' ');
        continue;
      }
      Zurueck(e, d);
    }
    if (IstRaum(c)) {
      leer(c == '\t' ? '\t' : ' ');
      continue;
    }
    text += static_cast<char>(c);
    if ((c == '"' || c == '\'') && !einfacheAnfuehrung) LiteralUeberspringen(e, c, &text);
  }
  std::size_t anfang = 0;
  while (anfang < text.size() && IstRaum(static_cast<unsigned char>(text[anfang]))) ++anfang;
  std::size_t ende = text.size();
  while (ende > anfang && IstRaum(static_cast<unsigned char>(text[ende - 1]))) --ende;
  text = text.substr(anfang, ende - anfang);
}

void Lexer::Zerlege(const std::string& text, std::vector<Token>& tokens) {
  textEbene_.AlsText("", &text);
  Token t;
  bool leer = false;
  for (;;) {
    Lies(textEbene_, t, false);
    if (t.art == TokenArt::Ende) break;
    if (t.art == TokenArt::Zeilenende) {
      leer = true;
      continue;
    }
    t.leer = t.leer || leer;
    leer = false;
    t.raum.clear();
    tokens.push_back(t);
  }
}

bool Lexer::EinToken(const std::string& text, TokenArt& art) {
  still_ = true;
  textEbene_.AlsText("", &text);
  Token t;
  Lies(textEbene_, t, false);
  bool eines = !t.leer && t.art != TokenArt::Ende && t.art != TokenArt::Zeilenende &&
               t.text == text;
  art = t.art;
  still_ = false;
  return eines;
}

}  // namespace Praeprozessor
