// #if expressions: arithmetic with wrap-around, operators, constants, defined, sizeof,
// and the errors of a bad expression.
#include <gtest/gtest.h>

#include "PpTestHilfe.h"

using PpTest::Kopf;

namespace {

PpTest::Ergebnis Pp(const std::string& text) {
  PpTest::Lauf lauf;
  return lauf.Start(text);
}

// "1" when the expression holds, "0" when not; messages go to meldungen.
std::string Wahr(const std::string& ausdruck, std::string* meldungen = nullptr) {
  auto e = Pp("#define FOO\n#if " + ausdruck + "\n1\n#else\n0\n#endif\n");
  if (meldungen) *meldungen = e.meldungen;
  else EXPECT_EQ(e.meldungen, "") << ausdruck;
  return e.ausgabe.substr(0, 1);
}

std::string Fehler(const std::string& ausdruck) {
  auto e = Pp("#if " + ausdruck + "\n1\n#else\n0\n#endif\n");
  EXPECT_EQ(e.ausgabe, "0\n") << ausdruck;
  return e.meldungen;
}

}  // namespace

// Operators and precedence are compared with cpp; these are ours alone.
TEST(PreProcessAusdruck, Arithmetik) {
  EXPECT_EQ(Wahr("1 << 33 == 2"), "1");  // the shift count wraps at 32
  EXPECT_EQ(Wahr("UNDEFINED_NAME"), "0");
}
TEST(PreProcessAusdruck, UeberlaufWickeltUm) {
  // 32-bit values; overflow, INT_MIN / -1 and INT_MIN % -1 wrap instead of trapping.
  for (const char* a : {"0x7fffffff + 1 < 0", "-2147483647 - 1 == 1 << 31",
                        "(-2147483647 - 1) / -1 == -2147483647 - 1", "(-2147483647 - 1) % -1 == 0",
                        "-(-2147483647 - 1) == -2147483647 - 1", "65536 * 65536 == 0",
                        "(1 << 31) >> 31 == -1", "-1 << 1 == -2", "0xFFFFFFFF == -1",
                        "4294967297 == 1"})
    EXPECT_EQ(Wahr(a), "1") << a;
}

TEST(PreProcessAusdruck, DivisionDurchNull) {
  std::string m;
  EXPECT_EQ(Wahr("1 / 0", &m), "0");
  EXPECT_EQ(m, Kopf("main", 2, "Warning") + "divide by zero in #if, zero result assumed\n");
  EXPECT_EQ(Wahr("1 % 0 == 0", &m), "1");
  EXPECT_EQ(m, Kopf("main", 2, "Warning") + "mod by zero in #if, zero result assumed\n");
  EXPECT_EQ(Wahr("1 ? 1 / 0 : 2", &m), "0");
  EXPECT_EQ(m, Kopf("main", 2, "Warning") + "divide by zero in #if, zero result assumed\n");
  // Not on a side that is not evaluated.
  EXPECT_EQ(Wahr("0 && 1 / 0"), "0");
  EXPECT_EQ(Wahr("1 || 1 % 0"), "1");
  EXPECT_EQ(Wahr("0 && (1 / 0 || 1 % 0)"), "0");
  EXPECT_EQ(Wahr("0 ? 1 / 0 : 2"), "1");
  EXPECT_EQ(Wahr("1 ? 2 : 1 / 0"), "1");
  EXPECT_EQ(Wahr("(0 && 1 / 0) || 3 / 1 == 3"), "1");
}

TEST(PreProcessAusdruck, Konstanten) {
  for (const char* a : {"010 == 8", "0x1F == 31", "0X1f == 31", "10L == 10", "10U == 10",
                        "10UL == 10", "'a' == 97", "'\\n' == 10", "'\\377' == -1", "'\\x41' == 65",
                        "'\\'' == 39", "'\\\\' == 92", "'\\0' == 0"})
    EXPECT_EQ(Wahr(a), "1") << a;
  std::string m;
  EXPECT_EQ(Wahr("09 == 9", &m), "1");
  EXPECT_EQ(m, Kopf("main", 2, "Warning") + "Illegal digit in octal number\n");
  EXPECT_EQ(Wahr("'ab' == 24930", &m), "1");
  EXPECT_EQ(m, Kopf("main", 2, "Warning") + "multi-byte constant 'a' isn't portable\n");
}

TEST(PreProcessAusdruck, Defined) {
  for (const char* a : {"defined FOO", "defined(FOO)", "defined ( FOO )", "!defined(BAR)",
                        "defined quelmcpp && defined __LINE__"})
    EXPECT_EQ(Wahr(a), "1") << a;
  // The name after defined is not expanded, even when it is a macro.
  auto e = Pp("#define X Y\n#if defined X && !defined Y\nok\n#endif\n");
  EXPECT_EQ(e.ausgabe, "ok\n");
  const std::string fehler = Kopf("main", 1, "Error") + "Bad #if ... defined() syntax\n";
  EXPECT_EQ(Fehler("defined"), fehler);
  EXPECT_EQ(Fehler("defined(FOO"), fehler);
  EXPECT_EQ(Fehler("defined 3"), fehler);
}

TEST(PreProcessAusdruck, Sizeof) {
  for (const char* a : {"sizeof(long) == 4", "sizeof(char *) == 8", "sizeof(unsigned short) == 2",
                        "sizeof(double) == 8", "sizeof(int) == 4", "sizeof(long int) == 4",
                        "sizeof(signed char) == 1", "sizeof(unsigned) == 4", "sizeof(float*) == 8"})
    EXPECT_EQ(Wahr(a), "1") << a;
  EXPECT_EQ(Fehler("sizeof(short long)"), Kopf("main", 1, "Error") + "#if ... sizeof: illegal type combination\n");
  EXPECT_EQ(Fehler("sizeof(char double)"), Kopf("main", 1, "Error") + "#if ... sizeof: illegal type combination\n");
  EXPECT_EQ(Fehler("sizeof(foo)"), Kopf("main", 1, "Error") + "#if sizeof, unknown type \"foo\"\n");
  EXPECT_EQ(Fehler("sizeof()"), Kopf("main", 1, "Error") + "#if sizeof() error, no type specified\n");
  EXPECT_EQ(Fehler("sizeof int"), Kopf("main", 1, "Error") + "#if ... sizeof() syntax error\n");
  EXPECT_EQ(Fehler("sizeof(int"), Kopf("main", 1, "Error") + "#if ... sizeof() syntax error\n");
}

TEST(PreProcessAusdruck, SizeofTabelleGiltFuerDasProgramm) {
  auto mitTabelle = [](const char* text, const std::string& eingabe) {
    PpTest::Lauf lauf;
    lauf.Tag(PpTagText(PPTAG_SIZEOF_TABLE, text));
    return lauf.Start(eingabe);
  };
  auto e = mitTabelle("1, 2, 2, 4, 4, 8", "#if sizeof(int) == 2 && sizeof(long) == 4\nyes\n#endif\n");
  EXPECT_EQ(e.ausgabe, "yes\n");
  // The table stays changed for later runs.
  EXPECT_EQ(Wahr("sizeof(int) == 2"), "1");
  e = mitTabelle("*4 4 4 4 4 4 4", "#if sizeof(char *) == 4\nyes\n#endif\n");
  EXPECT_EQ(e.ausgabe, "yes\n");
  e = mitTabelle("1 2", "");
  EXPECT_EQ(e.meldungen, Kopf("main", 0, "Warning") + "too few values specified to sizeof\n");
  e = mitTabelle("1 2 4 4 4 8 16", "");
  EXPECT_EQ(e.meldungen, Kopf("main", 0, "Warning") + "too many values specified to sizeof! Not used.\n");
  mitTabelle("1 2 4 4 4 8", "");
  mitTabelle("*8 8 8 8 8 8 8", "");
  EXPECT_EQ(Wahr("sizeof(int) == 4 && sizeof(char *) == 8"), "1");
}

TEST(PreProcessAusdruck, SyntaxFehler) {
  auto f = [](int nr, const std::string& text) {
    return Kopf("main", 1, nr < 35 ? "Error" : "Warning") + text + "\n";
  };
  EXPECT_EQ(Fehler("1 2"), f(11, "misplaced constant in #if"));
  EXPECT_EQ(Fehler("* 2"), f(14, "Operator * in incorrect context"));
  EXPECT_EQ(Fehler("1 (2)"), f(14, "Operator ( in incorrect context"));
  EXPECT_EQ(Fehler("(1"), f(16, "unbalanced paren's, op is \"(\""));
  EXPECT_EQ(Fehler("1)"), f(16, "unbalanced paren's, op is \")\""));
  EXPECT_EQ(Fehler("1 ? 2"), f(17, "Misplaced '?' or ':', previous operator is ?"));
  EXPECT_EQ(Fehler("1 : 2"), f(17, "Misplaced '?' or ':', previous operator is :"));
  EXPECT_EQ(Fehler("\"s\""), f(18, "Can't use a string in an #if"));
  EXPECT_EQ(Fehler("1 = 1"), f(20, "= not allowed in #if"));
  EXPECT_EQ(Fehler("1 \\ 2"), f(21, "Unexpected \\ in #if"));
  EXPECT_EQ(Fehler("1 @ 2"), f(29, "illegal character '@' in #if"));
  EXPECT_EQ(Fehler("1 \xE2\x82\xAC 2"), f(30, "illegal character (226 decimal) in #if"));
  EXPECT_EQ(Fehler("1 +"), f(13, "Illegal #if line"));
  EXPECT_EQ(Fehler("1.5"), f(13, "Illegal #if line"));
  EXPECT_EQ(Fehler("0x"), f(13, "Illegal #if line"));
}

TEST(PreProcessAusdruck, StapelGrenzen) {
  // 127 open parentheses fit on the operator stack, the 128th does not.
  EXPECT_EQ(Wahr(std::string(127, '(') + "1" + std::string(127, ')')), "1");
  EXPECT_EQ(Fehler(std::string(128, '(') + "1" + std::string(128, ')')),
            Kopf("main", 1, "Error") + "expression stack overflow at op \"(\"\n");
  // Each pending "?" keeps its condition on the value stack of 127 entries; the first
  // ":" adds the two branch values on top.
  auto kette = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "1 ? ";
    s += "1";
    for (int i = 0; i < n; ++i) s += " : 0";
    return s;
  };
  EXPECT_EQ(Wahr(kette(125)), "1");
  EXPECT_EQ(Fehler(kette(126)), Kopf("main", 1, "Error") + "#if value stack overflow\n");
}

TEST(PreProcessAusdruck, MakrosImAusdruck) {
  auto e = Pp(
      "#define TWO 2\n"
      "#define ADD(a, b) ((a) + (b))\n"
      "#define T int\n"
      "#if ADD(TWO, 3) == 5 && sizeof(T) == 4\nyes\n#endif\n"
      "#elif\n"
      "#if 0\n#elif TWO == 2\nelif\n#endif\n"
      "#if ADD(1,\n2)\n#endif\n");
  // A call cannot run past the end of the directive line; the #if then counts as false.
  EXPECT_EQ(e.ausgabe, "yes\nelif\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 7, "Error") + "#elif must be in an #if\n" +
                             Kopf("main", 12, "Error") + "end of file within macro argument\n");
  // A name that expands to nothing leaves no expression.
  auto leer = Pp("#define LEER\n#if LEER\nx\n#endif\n");
  EXPECT_EQ(leer.ausgabe, "");
  EXPECT_EQ(leer.meldungen, Kopf("main", 2, "Error") + "#if, #ifdef, or #ifndef without an argument\n");
}
