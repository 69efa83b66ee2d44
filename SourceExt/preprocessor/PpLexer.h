#pragma once
// Splits the characters of a file level into preprocessing tokens: comments, string and
// character literals, numbers, names and punctuators; also skips lines and reads the raw
// rest of a directive line.
#include <string>
#include <vector>

#include "PpEbene.h"
#include "PpToken.h"

namespace Praeprozessor {

// Receives the lexer's messages (all without arguments).
class LexerMelder {
 public:
  virtual void LexerMeldung(int nr) = 0;

 protected:
  ~LexerMelder() = default;
};

// What the previously written token looked like, enough to tell whether two tokens
// written side by side would read back as different tokens.
struct TokenEnde {
  TokenArt art = TokenArt::Zeilenende;
  char text[4] = {};  // punctuator text (up to three characters)
  char letztes = 0;

  void Setze(const Token& t);
};

class Lexer {
 public:
  explicit Lexer(LexerMelder& melder) : melder_(melder) {}

  bool keineZeilenKommentare = false;  // "//" is no comment
  bool geschachtelt = false;           // comments nest
  bool warneGeschachtelt = false;      // warning 52 for "/*" inside a comment
  bool einfacheAnfuehrung = false;     // quotes are ordinary characters
  bool leerraumBehalten = false;       // copy white space runs into Token::raum

  // Next token of a file level. A newline gives Zeilenende, the end of the level Ende.
  // With kommentarToken a comment becomes a Kommentar token instead of white space.
  void Lies(Ebene& e, Token& t, bool kommentarToken);
  // Skips white space (and comments unless kommentarToken) at the start of a line,
  // noting it in the level; returns the next character without taking it.
  int Zeilenanfang(Ebene& e, bool kommentarToken);
  // Skips the rest of the line with its newline, silently.
  void UeberspringeZeile(Ebene& e);
  // Reads the rest of the line up to its newline (left unread): comments become blanks,
  // literals are taken as they stand; falten folds white space runs to one blank.
  // Leading and trailing white space is dropped.
  void RohZeile(Ebene& e, std::string& text, bool falten);
  // Splits a text into tokens (newlines count as white space).
  void Zerlege(const std::string& text, std::vector<Token>& tokens);
  // True when text reads as exactly one token; its kind then goes to art.
  bool EinToken(const std::string& text, TokenArt& art);

  // True when a blank is needed between the previous token and t, because written
  // side by side they would read back differently (or open a comment).
  static bool TrennungNoetig(const TokenEnde& links, const Token& t);

 private:
  void Melde(int nr);
  void Zurueck(Ebene& e, int c);
  void Raum(std::string& raum, int c);
  void BlockKommentar(Ebene& e, std::string* text);
  void ZeilenKommentar(Ebene& e, std::string* text);
  void Name(Ebene& e, Token& t, int c);
  void Zahl(Ebene& e, Token& t, int c);
  void Literal(Ebene& e, Token& t, int q);
  void LiteralUeberspringen(Ebene& e, int q, std::string* text);
  void Satz(Ebene& e, Token& t, int c);

  LexerMelder& melder_;
  bool still_ = false;
  Ebene textEbene_;
};

}  // namespace Praeprozessor
