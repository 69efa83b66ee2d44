#pragma once
// Macro records and the macro table: 64 buckets chosen by (sum of the name's character
// codes + its length) modulo 64, each bucket's records kept in name order. A hash index
// beside the buckets finds a name without walking its bucket, which matters with
// thousands of macros.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "PpToken.h"

namespace Praeprozessor {

// One piece of a stored macro body (kept small: bodies are walked at every expansion).
struct MakroTeil {
  enum class Art : std::uint8_t { Token, Parameter, Zeichenkette, Verbinden };
  Art art = Art::Token;
  std::uint8_t nummer = 0;               // parameter index (Parameter, Zeichenkette)
  TokenArt tokenArt = TokenArt::Sonstiges;  // Art::Token
  bool leer = false;                     // white space before the piece
  bool gesperrt = false;                 // Art::Token: the macro's own name
  std::string text;                      // Art::Token
};

// Argument counts below -1 mark the magic names.
enum : int {
  kObjektMakro = -1,
  kMagischLine = -2,
  kMagischFile = -3,
  kMagischFunction = -4,
  kMagischFuncLine = -5,
};

struct Makro {
  std::string name;
  int argumente = kObjektMakro;  // -1 object-like, 0..31 function-like, -2..-5 magic
  bool hatRumpf = false;         // false: defined without a body
  std::vector<MakroTeil> rumpf;
  std::vector<std::string> parameter;
  std::uint32_t hash = 0;

  // Builds the stored body from the replacement tokens: parameters by number, "#"
  // before a parameter as stringising (function-like macros only), "##" as a join,
  // the macro's own name marked so that it is not expanded again.
  void BaueRumpf(const std::vector<Token>& tokens);
  bool GleicherRumpf(const Makro& anderes) const;
  // "#define name(params) body" as the table dump writes it.
  std::string DumpZeile() const;
};

class MakroTabelle {
 public:
  static constexpr int kEimer = 64;

  Makro* Finde(std::string_view name) const;
  // Enters m, replacing an entry of the same name; true when that entry existed and
  // its body differed from the new one.
  bool Definiere(std::unique_ptr<Makro> m);
  bool Entferne(std::string_view name);
  // Records replaced or removed while an expansion may still look at them are kept
  // until this is called at a point where none can.
  void Aufraeumen() { friedhof_.clear(); }

  template <class F>
  void FuerAlle(F&& f) const {
    for (const auto& e : eimer_)
      for (const auto& m : e.makros) f(*m);
  }

 private:
  struct Eimer {
    std::vector<std::unique_ptr<Makro>> makros;
  };
  // One slot of the index: open addressing with linear probing, kept at most half full.
  struct Platz {
    std::uint32_t hash;
    Makro* makro;  // null: empty
  };
  void IndexEintragen(Makro* m);
  void IndexEntfernen(const Makro* m);

  // One bit per hash value seen (never cleared until the index grows): most names looked
  // up are no macros, and this small array answers them without touching the slots.
  static constexpr std::size_t kFilterBits = 1u << 18;
  static std::size_t FilterBit(std::uint32_t hash) { return (hash * 0x9E3779B1u) >> (32 - 18); }

  std::array<Eimer, kEimer> eimer_;
  std::vector<Platz> index_;
  std::size_t indexAnzahl_ = 0;
  std::vector<std::uint64_t> filter_ = std::vector<std::uint64_t>(kFilterBits / 64);
  std::vector<std::unique_ptr<Makro>> friedhof_;
};

}  // namespace Praeprozessor
