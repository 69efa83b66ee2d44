#include "PpAusdruck.h"

#include <bit>
#include <climits>
#include <cstring>

namespace Praeprozessor {

namespace {

enum class Op : std::uint8_t {
  KlammerAuf, KlammerZu, Frage, Doppelpunkt, Oder, Und, BitOder, BitXor, BitUnd, Gleich,
  Ungleich, Kleiner, KleinerGleich, Groesser, GroesserGleich, Links, Rechts, Plus, Minus,
  Mal, Durch, Rest, Tilde, Nicht, Negativ, Positiv
};

struct OpText {
  const char* text;
  Op op;
};
const OpText kOps[] = {
    {"(", Op::KlammerAuf}, {")", Op::KlammerZu},     {"?", Op::Frage},       {":", Op::Doppelpunkt},
    {"||", Op::Oder},      {"&&", Op::Und},          {"|", Op::BitOder},     {"^", Op::BitXor},
    {"&", Op::BitUnd},     {"==", Op::Gleich},       {"!=", Op::Ungleich},   {"<", Op::Kleiner},
    {"<=", Op::KleinerGleich}, {">", Op::Groesser},  {">=", Op::GroesserGleich},
    {"<<", Op::Links},     {">>", Op::Rechts},       {"+", Op::Plus},        {"-", Op::Minus},
    {"*", Op::Mal},        {"/", Op::Durch},         {"%", Op::Rest},        {"~", Op::Tilde},
    {"!", Op::Nicht},
};

bool FindeOp(const std::string& s, Op& op) {
  for (const OpText& o : kOps)
    if (s == o.text) {
      op = o.op;
      return true;
    }
  return false;
}

const char* Text(Op op) {
  if (op == Op::Negativ) return "-";
  if (op == Op::Positiv) return "+";
  for (const OpText& o : kOps)
    if (o.op == op) return o.text;
  return "";
}

// Binding strength; "(" never gives way, ? and : only to their own kind.
int Rang(Op op) {
  switch (op) {
    case Op::KlammerAuf: case Op::KlammerZu: return -1;
    case Op::Frage: case Op::Doppelpunkt: return 0;
    case Op::Oder: return 1;
    case Op::Und: return 2;
    case Op::BitOder: return 3;
    case Op::BitXor: return 4;
    case Op::BitUnd: return 5;
    case Op::Gleich: case Op::Ungleich: return 6;
    case Op::Kleiner: case Op::KleinerGleich: case Op::Groesser: case Op::GroesserGleich: return 7;
    case Op::Links: case Op::Rechts: return 8;
    case Op::Plus: case Op::Minus: return 9;
    case Op::Mal: case Op::Durch: case Op::Rest: return 10;
    default: return 11;  // unary operators
  }
}

bool IstUnaer(Op op) {
  return op == Op::Tilde || op == Op::Nicht || op == Op::Negativ || op == Op::Positiv;
}

int HexWert(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

GroessenTabelle& GroessenTabelle::Programm() {
  static GroessenTabelle tabelle;
  return tabelle;
}

int GroessenTabelle::TypBit(const std::string& w) {
  static const struct {
    const char* wort;
    int bit;
  } kWoerter[] = {{"char", kChar},   {"int", kInt},     {"float", kFloat},   {"double", kDouble},
                  {"short", kShort}, {"long", kLong},   {"signed", kSigned}, {"unsigned", kUnsigned}};
  for (const auto& x : kWoerter)
    if (w == x.wort) return x.bit;
  return 0;
}

bool GroessenTabelle::Zulaessig(int bits) {
  const int kGruppen[] = {kFloat | kDouble | kShort | kLong, kChar | kInt | kFloat | kDouble,
                          kFloat | kDouble | kSigned | kUnsigned, kChar | kShort | kLong};
  for (int g : kGruppen)
    if (std::popcount(static_cast<unsigned>(bits & g)) > 1) return false;
  return true;
}

int GroessenTabelle::Setze(const char* text) {
  bool zeiger = *text == '*';
  const char* p = zeiger ? text + 1 : text;
  const int anzahl = zeiger ? 7 : 6;
  for (int i = 0; i < anzahl; ++i) {
    while (*p != 0 && !IstZiffer(static_cast<unsigned char>(*p))) ++p;
    if (*p == 0) return 39;
    long long wert = 0;
    while (IstZiffer(static_cast<unsigned char>(*p))) {
      if (wert < INT_MAX) wert = wert * 10 + (*p - '0');
      ++p;
    }
    int w = wert > INT_MAX ? INT_MAX : static_cast<int>(wert);
    (zeiger ? eintraege_[i].zeiger : eintraege_[i].groesse) = w;
  }
  while (*p != 0 && !IstZiffer(static_cast<unsigned char>(*p))) ++p;
  return *p != 0 ? 40 : 0;
}

int GroessenTabelle::Groesse(int bits, bool zeiger) const {
  int i = 2;  // "int", also for "signed" and "unsigned" alone
  if (bits & kChar) i = 0;
  else if (bits & kShort) i = 1;
  else if (bits & kLong) i = 3;
  else if (bits & kFloat) i = 4;
  else if (bits & kDouble) i = 5;
  return zeiger ? eintraege_[i].zeiger : eintraege_[i].groesse;
}

bool Ausdruck::Definiert(std::int32_t& wert) {
  Token t;
  q_.NaechstesRoh(t);
  bool klammer = t.Ist('(');
  if (klammer) q_.NaechstesRoh(t);
  if (t.art != TokenArt::Name) {
    q_.Meldung(19);
    return false;
  }
  wert = q_.IstDefiniert(t.text) ? 1 : 0;
  if (klammer) {
    q_.NaechstesRoh(t);
    if (!t.Ist(')')) {
      q_.Meldung(19);
      return false;
    }
  }
  return true;
}

bool Ausdruck::Sizeof(std::int32_t& wert) {
  Token t;
  q_.NaechstesExpandiert(t);
  if (!t.Ist('(')) {
    q_.Meldung(22);
    return false;
  }
  int bits = 0;
  bool zeiger = false;
  for (;;) {
    q_.NaechstesExpandiert(t);
    if (t.Ist(')')) break;
    if (t.Ist('*')) {
      zeiger = true;
    } else if (t.art == TokenArt::Name) {
      int bit = GroessenTabelle::TypBit(t.text);
      if (bit == 0) {
        q_.Meldung(23, t.text.c_str());
        return false;
      }
      bits |= bit;
    } else {
      q_.Meldung(22);
      return false;
    }
  }
  if (bits == 0) {
    q_.Meldung(25);
    return false;
  }
  if (!GroessenTabelle::Zulaessig(bits)) {
    q_.Meldung(24);
    return false;
  }
  wert = GroessenTabelle::Programm().Groesse(bits, zeiger);
  return true;
}

bool Ausdruck::ZahlWert(const std::string& s, std::int32_t& wert) {
  std::size_t ende = s.size();
  while (ende > 0 && std::strchr("uUlL", s[ende - 1]) != nullptr) --ende;
  if (ende == 0 || !IstZiffer(static_cast<unsigned char>(s[0]))) return false;
  std::uint32_t v = 0;
  if (ende >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    if (ende == 2) return false;
    for (std::size_t i = 2; i < ende; ++i) {
      int d = HexWert(static_cast<unsigned char>(s[i]));
      if (d < 0) return false;
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
  } else {
    const bool oktal = s[0] == '0';
    bool falscheZiffer = false;
    for (std::size_t i = 0; i < ende; ++i) {
      if (!IstZiffer(static_cast<unsigned char>(s[i]))) return false;
      std::uint32_t d = static_cast<std::uint32_t>(s[i] - '0');
      if (oktal && d >= 8) falscheZiffer = true;
      v = v * (oktal ? 8u : 10u) + d;
    }
    if (falscheZiffer) q_.Meldung(46);
  }
  wert = static_cast<std::int32_t>(v);
  return true;
}

bool Ausdruck::ZeichenWert(const std::string& s, std::int32_t& wert) {
  if (s.size() < 2 || s.back() != '\'') return false;
  const std::size_t ende = s.size() - 1;
  std::size_t i = 1;
  std::uint32_t v = 0;
  int anzahl = 0;
  unsigned erstes = 0;
  while (i < ende) {
    unsigned c = static_cast<unsigned char>(s[i++]);
    if (c == '\\' && i < ende) {
      unsigned char x = static_cast<unsigned char>(s[i++]);
      switch (x) {
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'v': c = '\v'; break;
        case 'b': c = '\b'; break;
        case 'r': c = '\r'; break;
        case 'f': c = '\f'; break;
        case 'a': c = '\a'; break;
        case 'x':
          c = 0;
          while (i < ende && HexWert(static_cast<unsigned char>(s[i])) >= 0)
            c = (c * 16 + static_cast<unsigned>(HexWert(static_cast<unsigned char>(s[i++])))) & 0xFFu;
          break;
        default:
          if (x >= '0' && x <= '7') {
            c = x - '0';
            for (int n = 1; n < 3 && i < ende && s[i] >= '0' && s[i] <= '7'; ++n)
              c = c * 8 + static_cast<unsigned>(s[i++] - '0');
            c &= 0xFFu;
          } else {
            c = x;
          }
      }
    }
    if (anzahl++ == 0) erstes = c;
    v = (v << 8) | c;
  }
  if (anzahl == 0) return false;
  if (anzahl == 1) {
    wert = static_cast<signed char>(erstes);  // plain char is signed here
  } else {
    q_.Meldung(47, static_cast<int>(erstes));
    wert = static_cast<std::int32_t>(v);
  }
  return true;
}

bool Ausdruck::Werte(std::int32_t& ergebnis, bool& leer) {
  struct Eintrag {
    Op op;
    bool ueberspringt;  // this operator made its right side unevaluated
  };
  std::int32_t werte[kStapel];
  Eintrag ops[kStapel];
  int nw = 0;
  int no = 0;
  int unausgewertet = 0;  // > 0: the current operand is on a side that is not evaluated
  bool erwarteOperand = true;
  ergebnis = 0;
  leer = true;

  auto rechne = [&](Op op, std::int32_t a, std::int32_t b) -> std::int32_t {
    const std::uint32_t ua = static_cast<std::uint32_t>(a);
    const std::uint32_t ub = static_cast<std::uint32_t>(b);
    switch (op) {
      case Op::Mal: return static_cast<std::int32_t>(ua * ub);
      case Op::Durch:
      case Op::Rest:
        if (b == 0) {
          if (unausgewertet == 0) q_.Meldung(45, op == Op::Durch ? "divide" : "mod");
          return 0;
        }
        // INT_MIN / -1 overflows; wrap around like the other operators.
        if (b == -1) return op == Op::Durch ? static_cast<std::int32_t>(0u - ua) : 0;
        return op == Op::Durch ? a / b : a % b;
      case Op::Plus: return static_cast<std::int32_t>(ua + ub);
      case Op::Minus: return static_cast<std::int32_t>(ua - ub);
      case Op::Links: return static_cast<std::int32_t>(ua << (ub & 31u));
      case Op::Rechts: return a >> (ub & 31u);
      case Op::Kleiner: return a < b;
      case Op::KleinerGleich: return a <= b;
      case Op::Groesser: return a > b;
      case Op::GroesserGleich: return a >= b;
      case Op::Gleich: return a == b;
      case Op::Ungleich: return a != b;
      case Op::BitUnd: return a & b;
      case Op::BitXor: return a ^ b;
      case Op::BitOder: return a | b;
      case Op::Und: return a != 0 && b != 0;
      case Op::Oder: return a != 0 || b != 0;
      default: return 0;
    }
  };
  auto reduziere = [&]() {
    Eintrag e = ops[--no];
    if (e.ueberspringt) --unausgewertet;
    switch (e.op) {
      case Op::Negativ:
        werte[nw - 1] = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(werte[nw - 1]));
        break;
      case Op::Positiv: break;
      case Op::Tilde: werte[nw - 1] = ~werte[nw - 1]; break;
      case Op::Nicht: werte[nw - 1] = werte[nw - 1] == 0; break;
      case Op::Doppelpunkt: {
        std::int32_t sonst = werte[--nw];
        std::int32_t dann = werte[--nw];
        werte[nw - 1] = werte[nw - 1] != 0 ? dann : sonst;
        break;
      }
      default: {
        std::int32_t b = werte[--nw];
        werte[nw - 1] = rechne(e.op, werte[nw - 1], b);
      }
    }
  };
  auto schiebe = [&](Op op, bool ueberspringt) {
    if (no == kStapel) {
      q_.Meldung(15, Text(op));
      return false;
    }
    ops[no++] = {op, ueberspringt};
    if (ueberspringt) ++unausgewertet;
    return true;
  };

  Token t;
  for (;;) {
    q_.NaechstesExpandiert(t);
    if (t.IstEnde()) break;
    leer = false;
    std::int32_t wert = 0;
    bool istWert = true;
    Op op = Op::Plus;
    switch (t.art) {
      case TokenArt::Name:
        if (t.text == "defined") {
          if (!Definiert(wert)) return false;
        } else if (t.text == "sizeof") {
          if (!Sizeof(wert)) return false;
        }
        break;  // any other name counts as 0
      case TokenArt::Zahl:
        if (!ZahlWert(t.text, wert)) {
          q_.Meldung(13);
          return false;
        }
        break;
      case TokenArt::Zeichen:
        if (!ZeichenWert(t.text, wert)) {
          q_.Meldung(13);
          return false;
        }
        break;
      case TokenArt::Text:
        q_.Meldung(18);
        return false;
      default:
        istWert = false;
        if (!FindeOp(t.text, op)) {
          if (t.text == "=") {
            q_.Meldung(20);
          } else if (t.text == "\\") {
            q_.Meldung(21);
          } else {
            int c = static_cast<unsigned char>(t.text.empty() ? 0 : t.text[0]);
            if (c >= 32 && c < 127) q_.Meldung(29, c);
            else q_.Meldung(30, c);
          }
          return false;
        }
    }
    if (istWert) {
      if (!erwarteOperand) {
        q_.Meldung(11);
        return false;
      }
      if (nw == kStapel) {
        q_.Meldung(12);
        return false;
      }
      werte[nw++] = wert;
      erwarteOperand = false;
      continue;
    }
    if (erwarteOperand) {
      if (op == Op::Minus) op = Op::Negativ;
      else if (op == Op::Plus) op = Op::Positiv;
      if (op != Op::KlammerAuf && !IstUnaer(op)) {
        q_.Meldung(14, Text(op));
        return false;
      }
      if (!schiebe(op, false)) return false;
      continue;
    }
    switch (op) {
      case Op::KlammerAuf:
      case Op::Tilde:
      case Op::Nicht:
        q_.Meldung(14, Text(op));
        return false;
      case Op::KlammerZu:
        for (;;) {
          if (no == 0) {
            q_.Meldung(16, ")");
            return false;
          }
          Op oben = ops[no - 1].op;
          if (oben == Op::KlammerAuf) break;
          if (oben == Op::Frage) {
            q_.Meldung(17, "?");
            return false;
          }
          reduziere();
        }
        --no;
        break;
      case Op::Frage:
        while (no > 0 && Rang(ops[no - 1].op) > 0) reduziere();
        if (!schiebe(op, werte[nw - 1] == 0)) return false;
        erwarteOperand = true;
        break;
      case Op::Doppelpunkt: {
        for (;;) {
          if (no == 0 || ops[no - 1].op == Op::KlammerAuf) {
            q_.Meldung(17, no == 0 ? ":" : "(");
            return false;
          }
          if (ops[no - 1].op == Op::Frage) break;
          reduziere();
        }
        // The "?" becomes ":": now the other branch is the one left unevaluated.
        Eintrag& f = ops[no - 1];
        if (f.ueberspringt) --unausgewertet;
        f.op = Op::Doppelpunkt;
        f.ueberspringt = werte[nw - 2] != 0;
        if (f.ueberspringt) ++unausgewertet;
        erwarteOperand = true;
        break;
      }
      default: {
        const int rang = Rang(op);
        while (no > 0 && Rang(ops[no - 1].op) >= rang) reduziere();
        const bool links = werte[nw - 1] != 0;
        if (!schiebe(op, (op == Op::Und && !links) || (op == Op::Oder && links))) return false;
        erwarteOperand = true;
      }
    }
  }
  if (leer) return false;
  if (erwarteOperand) {
    q_.Meldung(13);
    return false;
  }
  while (no > 0) {
    Op oben = ops[no - 1].op;
    if (oben == Op::KlammerAuf) {
      q_.Meldung(16, "(");
      return false;
    }
    if (oben == Op::Frage) {
      q_.Meldung(17, "?");
      return false;
    }
    reduziere();
  }
  if (nw != 1) {
    q_.Meldung(32, nw);
    return false;
  }
  ergebnis = werte[0];
  return true;
}

}  // namespace Praeprozessor
