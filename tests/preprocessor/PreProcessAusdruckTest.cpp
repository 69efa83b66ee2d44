// #if expressions: arithmetic with wrap-around, constants, defined, sizeof, and the
// errors of a bad expression. Operators and precedence are compared with cpp; these
// cases are ours alone.
#include <gtest/gtest.h>

#include "PpTestHilfe.h"

using PpTest::Pruefe;

namespace {

// The #if takes the branch "1" or "0"; messages in short form.
struct Wert {
  std::string ausdruck;
  const char* wert;
  std::string meldungen = "";
};

void PruefeWerte(std::initializer_list<Wert> werte) {
  for (const Wert& w : werte)
    Pruefe({"#define FOO\n#if " + w.ausdruck + "\n1\n#else\n0\n#endif\n", w.wert + std::string("\n"),
            w.meldungen});
}

std::string Kette(int n) {  // 1 ? 1 ? ... 1 : 0 : 0
  std::string s = "1";
  for (int i = 0; i < n; ++i) s = "1 ? " + s + " : 0";
  return s;
}

}  // namespace

TEST(PreProcessAusdruck, Gilt) {
  // 32-bit values: the shift count wraps at 32; overflow, INT_MIN / -1 and INT_MIN % -1
  // wrap instead of trapping. No warning for a division by zero that is not evaluated.
  for (const char* a :
       {"1 << 33 == 2", "0x7fffffff + 1 < 0", "-2147483647 - 1 == 1 << 31",
        "(-2147483647 - 1) / -1 == -2147483647 - 1", "(-2147483647 - 1) % -1 == 0",
        "-(-2147483647 - 1) == -2147483647 - 1", "65536 * 65536 == 0", "(1 << 31) >> 31 == -1",
        "-1 << 1 == -2", "0xFFFFFFFF == -1", "4294967297 == 1", "!(0 && 1 / 0)", "1 || 1 % 0",
        "!(0 && (1 / 0 || 1 % 0))", "0 ? 1 / 0 : 2", "1 ? 2 : 1 / 0", "(0 && 1 / 0) || 3 / 1 == 3",
        "0X1f == 31", "10U == 10", "10UL == 10", "'\\377' == -1", "'\\x41' == 65", "'\\'' == 39",
        "'\\\\' == 92", "'\\0' == 0", "defined FOO", "defined(FOO)", "defined ( FOO )", "!defined(BAR)",
        "defined quelmcpp && defined __LINE__", "sizeof(long) == 4", "sizeof(char *) == 8",
        "sizeof(unsigned short) == 2", "sizeof(double) == 8", "sizeof(int) == 4", "sizeof(long int) == 4",
        "sizeof(signed char) == 1", "sizeof(unsigned) == 4", "sizeof(float*) == 8", "!UNDEFINED_NAME"})
    PruefeWerte({{a, "1"}});
  const std::string div0 = "main:2: Warning: divide by zero in #if, zero result assumed\n";
  PruefeWerte({// 127 open parentheses fit on the operator stack; each pending "?" keeps its
               // condition on the value stack of 127 entries and the first ":" adds two more.
               {std::string(127, '(') + "1" + std::string(127, ')'), "1"},
               {Kette(125), "1"},
               {"1 / 0", "0", div0},
               {"1 ? 1 / 0 : 2", "0", div0},
               {"1 % 0 == 0", "1", "main:2: Warning: mod by zero in #if, zero result assumed\n"},
               {"09 == 9", "1", "main:2: Warning: Illegal digit in octal number\n"},
               {"'ab' == 24930", "1", "main:2: Warning: multi-byte constant 'a' isn't portable\n"}});
}

TEST(PreProcessAusdruck, Fehler) {
  struct {
    std::string meldung;
    std::vector<std::string> ausdruecke;
  } const faelle[] = {
      {"Bad #if ... defined() syntax", {"defined", "defined(FOO", "defined 3"}},
      {"#if ... sizeof: illegal type combination", {"sizeof(short long)", "sizeof(char double)"}},
      {"#if sizeof, unknown type \"foo\"", {"sizeof(foo)"}},
      {"#if sizeof() error, no type specified", {"sizeof()"}},
      {"#if ... sizeof() syntax error", {"sizeof int", "sizeof(int"}},
      {"misplaced constant in #if", {"1 2"}},
      {"Operator * in incorrect context", {"* 2"}},
      {"Operator ( in incorrect context", {"1 (2)"}},
      {"unbalanced paren's, op is \"(\"", {"(1"}},
      {"unbalanced paren's, op is \")\"", {"1)"}},
      {"Misplaced '?' or ':', previous operator is ?", {"1 ? 2"}},
      {"Misplaced '?' or ':', previous operator is :", {"1 : 2"}},
      {"Can't use a string in an #if", {"\"s\""}},
      {"= not allowed in #if", {"1 = 1"}},
      {"Unexpected \\ in #if", {"1 \\ 2"}},
      {"illegal character '@' in #if", {"1 @ 2"}},
      {"illegal character (226 decimal) in #if", {"1 \xE2\x82\xAC 2"}},
      {"Illegal #if line", {"1 +", "1.5", "0x"}},
      {"expression stack overflow at op \"(\"", {std::string(128, '(') + "1" + std::string(128, ')')}},
      {"#if value stack overflow", {Kette(126)}},
  };
  for (const auto& f : faelle)
    for (const std::string& a : f.ausdruecke)
      Pruefe({"#if " + a + "\n1\n#else\n0\n#endif\n", "0\n", "main:1: Error: " + f.meldung + "\n"});
}

TEST(PreProcessAusdruck, SizeofTabelleGiltFuerDasProgramm) {
  auto tabelle = [](const char* text) { return std::vector{PpTagText(PPTAG_SIZEOF_TABLE, text)}; };
  Pruefe({"#if sizeof(int) == 2 && sizeof(long) == 4\nyes\n#endif\n", "yes\n", "",
          tabelle("1, 2, 2, 4, 4, 8")});
  // The table stays changed for later runs.
  PruefeWerte({{"sizeof(int) == 2", "1"}});
  Pruefe({"#if sizeof(char *) == 4\nyes\n#endif\n", "yes\n", "", tabelle("*4 4 4 4 4 4 4")});
  Pruefe({"", "", "main:0: Warning: too few values specified to sizeof\n", tabelle("1 2")});
  Pruefe({"", "", "main:0: Warning: too many values specified to sizeof! Not used.\n",
          tabelle("1 2 4 4 4 8 16")});
  Pruefe({"", "", "", tabelle("1 2 4 4 4 8")});
  Pruefe({"", "", "", tabelle("*8 8 8 8 8 8 8")});
  PruefeWerte({{"sizeof(int) == 4 && sizeof(char *) == 8", "1"}});
}

TEST(PreProcessAusdruck, MakrosImAusdruck) {
  // A call cannot run past the end of the directive line; the #if then counts as false.
  Pruefe({"#define TWO 2\n"
          "#define ADD(a, b) ((a) + (b))\n"
          "#define T int\n"
          "#if ADD(TWO, 3) == 5 && sizeof(T) == 4\nyes\n#endif\n"
          "#if 0\n#elif TWO == 2\nelif\n#endif\n"
          "#if ADD(1,\n2)\n#endif\n",
          "yes\nelif\n", "main:11: Error: end of file within macro argument\n"});
  // The name after defined is not expanded, even when it is a macro.
  Pruefe({"#define X Y\n#if defined X && !defined Y\nok\n#endif\n", "ok\n"});
  // A name that expands to nothing leaves no expression.
  Pruefe({"#define LEER\n#if LEER\nx\n#endif\n", "",
          "main:2: Error: #if, #ifdef, or #ifndef without an argument\n"});
}
