#pragma once
// Evaluation of #if, #elif and #assert expressions on signed 32-bit values with
// wrap-around, and the program-wide size table for sizeof in #if.
#include <cstdint>
#include <string>

#include "PpToken.h"

namespace Praeprozessor {

// Where the evaluator gets its tokens and sends its messages.
class AusdruckQuelle {
 public:
  // Tokens of the rest of the line, macro-expanded; Zeilenende or Ende at its end.
  virtual void NaechstesExpandiert(Token& t) = 0;
  // The same without expansion (the name after "defined").
  virtual void NaechstesRoh(Token& t) = 0;
  virtual bool IstDefiniert(const std::string& name) = 0;
  virtual void Meldung(int nr, ...) = 0;

 protected:
  ~AusdruckQuelle() = default;
};

// Sizes for sizeof in #if: char, short, int, long, float, double, each with a pointer
// size, and the function pointer (pointer size only). One table for the whole program.
class GroessenTabelle {
 public:
  static GroessenTabelle& Programm();

  // Type words of sizeof and their bits.
  enum : int {
    kChar = 1, kInt = 2, kFloat = 4, kDouble = 8, kShort = 16, kLong = 32, kSigned = 64,
    kUnsigned = 128
  };
  static int TypBit(const std::string& wort);
  static bool Zulaessig(int bits);

  // Takes decimal numbers separated by anything else, in table order, as sizes, or as
  // pointer sizes when the text starts with "*". Returns 39 (too few numbers), 40 (text
  // left over) or 0.
  int Setze(const char* text);
  int Groesse(int bits, bool zeiger) const;

 private:
  struct Eintrag {
    int groesse;
    int zeiger;
  };
  // char, short, int, long, float, double, function pointer
  Eintrag eintraege_[7] = {{1, 8}, {2, 8}, {4, 8}, {4, 8}, {4, 8}, {8, 8}, {0, 8}};
};

class Ausdruck {
 public:
  static constexpr int kStapel = 127;

  explicit Ausdruck(AusdruckQuelle& quelle) : q_(quelle) {}
  // Evaluates the rest of the line. false after a reported error, or when the line
  // held nothing (leer set, nothing reported).
  bool Werte(std::int32_t& ergebnis, bool& leer);

 private:
  bool Definiert(std::int32_t& wert);
  bool Sizeof(std::int32_t& wert);
  bool ZahlWert(const std::string& text, std::int32_t& wert);
  bool ZeichenWert(const std::string& text, std::int32_t& wert);

  AusdruckQuelle& q_;
};

}  // namespace Praeprozessor
