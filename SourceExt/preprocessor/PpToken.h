#pragma once
// Preprocessing tokens and the character classes of the preprocessor.
#include <array>
#include <cstdint>
#include <string>

namespace Praeprozessor {

enum class TokenArt : std::uint8_t {
  Name,         // identifier (letters include '_' and '$')
  Zahl,         // preprocessing number
  Zeichen,      // character constant '...'
  Text,         // string literal "..."
  Satzzeichen,  // punctuator
  Sonstiges,    // any other single byte
  Kommentar,    // comment copied to the output (keep-comments mode only)
  Zeilenende,
  Ende          // end of a file level, of the input, or of a directive line
};

struct Token {
  std::string text;
  std::string raum;        // copied white space before the token (keep-space mode only)
  int zeile = 0;           // line of the innermost file where it was read or expanded
  int tiefe = 0;           // expansion depth of the level it came from (0: a file)
  TokenArt art = TokenArt::Ende;
  bool leer = false;       // white space came before it
  bool gesperrt = false;   // never expanded again (a macro's own name in its body)
  bool ausInit = false;    // comes from the expansion of __init_func__

  bool Ist(char c) const {
    return (art == TokenArt::Satzzeichen || art == TokenArt::Sonstiges) && text.size() == 1 &&
           text[0] == c;
  }
  bool Ist(const char* s) const {
    return (art == TokenArt::Satzzeichen || art == TokenArt::Sonstiges) && text == s;
  }
  bool IstEnde() const { return art == TokenArt::Ende || art == TokenArt::Zeilenende; }
};

namespace Klasse {
enum : std::uint8_t { Buchstabe = 1, Ziffer = 2, Raum = 4 };
constexpr std::array<std::uint8_t, 256> Baue() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 'a'; c <= 'z'; ++c) t[c] = Buchstabe;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = Buchstabe;
  t['_'] = t['$'] = Buchstabe;
  for (int c = '0'; c <= '9'; ++c) t[c] = Ziffer;
  t[' '] = t['\t'] = t['\v'] = t['\f'] = Raum;
  return t;
}
inline constexpr std::array<std::uint8_t, 256> tabelle = Baue();
}  // namespace Klasse

inline bool IstBuchstabe(int c) {
  return c >= 0 && (Klasse::tabelle[c & 0xFF] & Klasse::Buchstabe) != 0;
}
inline bool IstZiffer(int c) { return c >= '0' && c <= '9'; }
inline bool IstNamenszeichen(int c) {
  return c >= 0 && (Klasse::tabelle[c & 0xFF] & (Klasse::Buchstabe | Klasse::Ziffer)) != 0;
}
// Blank, tab, vertical tab and form feed; newlines are no white space here.
inline bool IstRaum(int c) { return c >= 0 && (Klasse::tabelle[c & 0xFF] & Klasse::Raum) != 0; }

}  // namespace Praeprozessor
