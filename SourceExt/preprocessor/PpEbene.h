#pragma once
// One input level of the preprocessor: a file (or the main input served by the caller's
// input callback, or a text held in memory) read in chunks of at most 511 bytes, or the
// token list of one macro expansion.
#include <cstdio>
#include <string>
#include <vector>

#include "PreProcess.h"
#include "PpToken.h"

namespace Praeprozessor {

class Ebene {
 public:
  enum class Art : unsigned char { Datei, Makro };
  static constexpr int kPufferGroesse = 512;

  Ebene() = default;
  ~Ebene() { Schliessen(); }
  Ebene(const Ebene&) = delete;
  Ebene& operator=(const Ebene&) = delete;

  // Re-initialises the level; an owned file is closed at Schliessen or destruction.
  void AlsDatei(const std::string& name, FILE* datei, bool eigene);
  void AlsEingabe(const std::string& name, PreProcessInput eingabe, void* benutzer);
  void AlsText(const std::string& name, const std::string* text);
  void AlsMakro(const std::string& name);
  void Schliessen();

  // Next character of a file level: line splices removed, CR LF read as LF, lines
  // counted. EOF at the end.
  int Zeichen() {
    if (rueckAnzahl_ > 0) {
      int c = rueck_[--rueckAnzahl_];
      if (c == '\n') ++zeile;
      return c;
    }
    for (;;) {
      int c = Roh();
      if (c == '\\') {
        int d = Roh();
        if (d == '\n') {
          ++zeile;
          continue;
        }
        if (d == '\r') {
          int f = Roh();
          if (f == '\n') {
            ++zeile;
            continue;
          }
          RohZurueck(f);
        }
        RohZurueck(d);
        return '\\';
      }
      if (c == '\r') return NachCR();
      if (c == '\n') ++zeile;
      return c;
    }
  }
  // As Zeichen, but a backslash before a newline stays (inside comments).
  int ZeichenOhneSpleiss() {
    if (rueckAnzahl_ > 0) {
      int c = rueck_[--rueckAnzahl_];
      if (c == '\n') ++zeile;
      return c;
    }
    int c = Roh();
    if (c == '\r') return NachCR();
    if (c == '\n') ++zeile;
    return c;
  }
  // Pushes one character back; false when the push-back store is full.
  bool Zurueck(int c) {
    if (c == EOF) return true;
    if (rueckAnzahl_ == kRueck) return false;
    if (c == '\n') --zeile;
    rueck_[rueckAnzahl_++] = c;
    return true;
  }
  // Appends the letters and digits that follow directly in the buffer, stopping where
  // the careful path is needed (push-back, splice, CR, end of the chunk).
  void NamensZeichen(std::string& s) {
    if (rueckAnzahl_ > 0 || rohAnzahl_ > 0) return;
    int anfang = pos_;
    while (pos_ < laenge_ && IstNamenszeichen(static_cast<unsigned char>(puffer_[pos_]))) ++pos_;
    s.append(puffer_ + anfang, static_cast<std::size_t>(pos_ - anfang));
  }

  Art art = Art::Datei;
  std::string name;         // file name, or the macro's name
  std::string anzeigeName;  // set by #line for messages and markers
  int zeile = 1;
  bool zeilenAnfang = true;
  bool hauptEingabe = false;
  // White space met at the start of a line, handed to the line's first token.
  bool leerVorher = false;
  std::string raumVorher;

  // Macro level.
  std::vector<Token> tokens;
  std::size_t index = 0;
  bool barriere = false;  // its end is reported instead of being left silently

  const std::string& Anzeige() const { return anzeigeName.empty() ? name : anzeigeName; }

 private:
  static constexpr int kRueck = 4;

  int Roh() {
    if (rohAnzahl_ > 0) return rohRueck_[--rohAnzahl_];
    if (pos_ < laenge_) return static_cast<unsigned char>(puffer_[pos_++]);
    if (!Nachladen()) return EOF;
    return static_cast<unsigned char>(puffer_[pos_++]);
  }
  void RohZurueck(int c) {
    if (c != EOF) rohRueck_[rohAnzahl_++] = c;
  }
  int NachCR() {
    int d = Roh();
    if (d == '\n') {
      ++zeile;
      return '\n';
    }
    RohZurueck(d);
    return '\r';
  }
  bool Nachladen();
  void Zuruecksetzen();

  FILE* datei_ = nullptr;
  bool eigeneDatei_ = false;
  PreProcessInput eingabe_ = nullptr;
  void* benutzer_ = nullptr;
  const std::string* text_ = nullptr;
  std::size_t textPos_ = 0;
  char puffer_[kPufferGroesse];
  int pos_ = 0;
  int laenge_ = 0;
  bool ende_ = false;
  int rueck_[kRueck];
  int rueckAnzahl_ = 0;
  int rohRueck_[2];
  int rohAnzahl_ = 0;
};

}  // namespace Praeprozessor
