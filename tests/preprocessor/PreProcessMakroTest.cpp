// Macro definition and expansion where ours is not compared with cpp: errors, limits,
// options and the magic names.
#include <gtest/gtest.h>

#include "PpTestHilfe.h"

using PpTest::Pruefe;

namespace {

std::string Parameterliste(int n, const char* vorsatz) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += (i > 1 ? "," : "") + std::string(vorsatz) + std::to_string(i);
  return s;
}

std::string Rekursion(int zeile, const char* name, const char* von) {
  return "main:" + std::to_string(zeile) + ": Error: Recursive macro definition of \"" + name +
         "\"(Defined by \"" + von + "\")\n";
}

}  // namespace

TEST(PreProcessMakro, Verbinden) {
  Pruefe({"#define self(x) se ## x\n#define se other\nself(lf)\n", "self\n"});
  // Arguments go into the body as written and are expanded when the result is read
  // again, so an argument handed on to # or ## is not expanded first.
  Pruefe({"#define VER 3\n#define str(x) #x\n#define xstr(x) str(x)\n#define cat(a, b) a ## b\n"
          "#define xcat(a, b) cat(a, b)\n#define id(x) x\nxstr(VER) xcat(v, VER) id(VER) id(id)(1)\n",
          "\"VER\" vVER 3 1\n"});
  // By their numbers these two count as errors.
  Pruefe({"#define cat(a, b) a ## b\ncat(+, -)\ncat(a, \xE2\x82\xAC)\n", "+-\na\xE2\x82\xAC\n",
          "main:2: Error: Strange character '-' after ##\n"
          "main:3: Error: Strange character (226.) after ##\n"});
  const std::string rechts = "#define B 2\n#define cat(a, b) a ## b\ncat(x, B)\n";
  const PreProcessTag expandiert = PpTagWert(PPTAG_CONCAT_EXPAND_RIGHT, 1);
  Pruefe({rechts, "xB\n"});
  Pruefe({rechts, "x2\n", "", {expandiert}});
  // Two macros whose right operands expand each other end at the depth limit.
  auto k = PpTest::Starte({"#define X a ## Y\n#define Y b ## X\nX\n", "", "", {expandiert}});
  EXPECT_EQ(PpTest::Kurz(k.meldungen.substr(0, k.meldungen.find('\n') + 1)), Rekursion(3, "Y", "X"));
}

TEST(PreProcessMakro, BytesAusDerEingabeBleibenUnveraendert) {
  // UTF-8 bytes (0x80 to 0x9F among them) and the control bytes 28 to 30 are ordinary
  // text, in macro bodies as anywhere else.
  Pruefe({"#define E \xE2\x82\xACuro\n"
          "#define f(a, b) a\xE2\x82\xAC\xC4\x80" "b \xC3\xA4\n"
          "#define R x\x1C\x1D\x1Ey\n"
          "f(1, 2) E R \x1E\n",
          "1\xE2\x82\xAC\xC4\x80" "2 \xC3\xA4 \xE2\x82\xACuro x\x1C\x1D\x1Ey \x1E\n"});
}

TEST(PreProcessMakro, Rekursion) {
  Pruefe({"#define foo foo + 1\n#define f(x) f(x + 1)\nfoo f(2)\n#define a b\n#define b a\na\nb\nend\n",
          "foo + 1 f(2 + 1)\nend\n", Rekursion(6, "b", "a") + Rekursion(7, "a", "b")});
  auto kette = [](int n) {
    std::string s;
    for (int i = 0; i < n - 1; ++i)
      s += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + "\n";
    return s + "#define M" + std::to_string(n - 1) + " end\nM0\n";
  };
  Pruefe({kette(999), "end\n"});
  Pruefe({kette(1000), "", Rekursion(1001, "M999", "M0")});
}

TEST(PreProcessMakro, AufrufUndDefinitionsFehler) {
  Pruefe({"#define f(x) <x>\n#define g(x, y) x y\nf + 1\ng(1) g(1, 2, 3)\nf\n\n(2)\nf(1, ",
          "f + 1\n1 1 2\n<2>\n",
          "main:3: Warning: Macro \"f\" needs arguments\n"
          "main:4: Warning: Wrong number of macro arguments for \"g\"\n"
          "main:4: Warning: Wrong number of macro arguments for \"g\"\n"
          "main:8: Error: end of file within macro argument\n"});
  Pruefe({"#define z() 0\nz()\n", "0\n"});  // no arguments is the right number
  Pruefe({"#define A\n#define A 1\n#define A 1\n#define A   1 /* same */\n#define A 2\n"
          "#define f(a) a + 1\n#define f(b) b + 1\n#define f(b) b+1\n"
          "#define h(x) 1\n#define h 1\n"
          "A f(2) h h(3)\n#undef A\n#undef A\nA\n",
          "2 2+1 1 1(3)\nA\n",
          "main:2: Error: Redefining defined variable \"A\"\n"
          "main:5: Error: Redefining defined variable \"A\"\n"
          "main:8: Error: Redefining defined variable \"f\"\n"});
  const std::string syntax = ": Error: #define syntax error\n";
  Pruefe({"#define\n#define 3 x\n#define f(a,) a\n#define g(a a) a\n#define h(a, a) a\n"
          "#define k (x) x\n#undef 3\nk(1)\n",
          "(x) x(1)\n",
          "main:1" + syntax + "main:2" + syntax + "main:3" + syntax + "main:4" + syntax + "main:5" + syntax +
              "main:7: Error: Illegal #undef argument\n"});
}

TEST(PreProcessMakro, MagischeNamenUndFunktionen) {
  Pruefe({"__LINE__ __FILE__\n#include \"inc.h\"\n#define L __LINE__\nL __FUNCTION__ __FUNC_LINE__\n"
          "\nint f(int a)\n{\n  __FUNCTION__ __FUNC_LINE__\n}\n__FUNCTION__\n",
          "1 \"main\"\n\"inc.h\" 1\n4 \"<unknown function>\" 0\nint f(int a)\n{\n\"f\" 7\n}\n"
          "\"<unknown function>\"\n",
          "", {}, {{"inc.h", "__FILE__ __LINE__\n"}}});
  Pruefe({"int proto(int a);\n"
          "float4 ps(float2 uv : TEXCOORD0) : COLOR0\n"
          "{ if (1) { x(); } return __FUNCTION__; }\n"
          "void a(), b() { }\n",
          "int proto(int a);\nfloat4 ps(float2 uv : TEXCOORD0) : COLOR0\n"
          "{ if (1) { x(); } return \"ps\"; }\nvoid a(), b() { }\n",
          "#> Function defined at line 3: ps <#\n#> Function defined at line 4: b <#\n",
          {PpTagWert(PPTAG_SHOW_FUNCTIONS, 1)}});
  Pruefe({"void ohne(void) { __init_func__ }\nvoid f(void) { __init_func__ body(); }\n",
          "void ohne(void) { __init_func__ }\nvoid f(void) { { init(); body(); }}\n", "",
          {PpTagText(PPTAG_INIT_FUNC_TEXT, "__brace__ init();"), PpTagText(PPTAG_INIT_FUNC_NAME, "ohne")}});
}

// Each fixed work area: the largest input that fits, and one byte or item more, which
// ends the run with a fatal message and no output.
TEST(PreProcessMakro, Arbeitsgrenzen) {
  const std::string f31 = "#define f(" + Parameterliste(31, "p") + ") p1 p31\n";
  const std::string g = "#define g(x, y) ok\n", cat = "#define cat(a, b) a ## b\n";
  const std::string a255(255, 'a'), a511(511, 'a'), b255(255, 'b'), b511(511, 'b');
  struct Fall {
    std::string passt, ergebnis, zuViel;
    int zeile;
    const char* meldung;
  } const faelle[] = {
      {f31 + "f(" + Parameterliste(31, "") + ")\n", "1 31\n",
       "#define f(" + Parameterliste(32, "p") + ") x\nnot reached\n", 1, "Too many arguments for macro"},
      // Parameter names and argument texts share 1024-byte areas, each with its terminator.
      {"#define f(" + std::string(1023, 'p') + ") 1\nf(x)\n", "1\n",
       "#define f(" + std::string(1024, 'p') + ") 1\nf(x)\n", 1, "Macro work area overflow"},
      {f31 + "f(" + Parameterliste(31, "") + ")\n", "1 31\n", f31 + "f(" + Parameterliste(32, "") + ")\n", 2,
       "Too many arguments in macro expansion"},
      {g + "g(" + a511 + ", " + b511 + ")\n", "ok\n", g + "g(" + a511 + ", " + b511 + "b)\n", 2,
       "Macro work area overflow"},
      {"#define f(x) x x\nf(" + a255 + ")\n", a255 + " " + a255 + "\n",
       "#define f(x) x x;\nf(" + a255 + ")\nnext\n", 2, "Out of space in macro \"f\" arg expansion"},
      {"#define A " + a511 + "\nA\n", a511 + "\n", "#define A " + a255 + "   a" + a255 + "\nA\n", 1,
       "Work buffer overflow"},
      {cat + "cat(a" + a255 + ", " + b255 + ")\n", "a" + a255 + b255 + "\n",
       cat + "cat(a" + a255 + ", b" + b255 + ")\n", 2, "work buffer overflow doing cat ##"},
      // "#line 5 name": the expanded rest of the line holds at most 511 bytes.
      {"#line 5 " + std::string(509, 'n') + "\n__LINE__\n", "5\n",
       "#line 5 " + std::string(510, 'n') + "\n__LINE__\n", 1, "Work buffer overflow"},
  };
  for (const Fall& f : faelle) {
    Pruefe({f.passt, f.ergebnis});
    Pruefe({f.zuViel, "", "main:" + std::to_string(f.zeile) + ": Fatal: " + f.meldung + "\n"});
  }
}

TEST(PreProcessMakro, Tabelle) {
  const std::string klein = "#define A 1\n#define f(a, b) a ## b # a\n#define U \xC3\xA4\n#define N\nx\n";
  const PreProcessTag dump = PpTagWert(PPTAG_DUMP_DEFINES, 1);
  // Buckets: A (65+1)%64 = 2, U (85+1)%64 = 22, f (102+1)%64 = 39, N (78+1)%64 = 15.
  Pruefe({klein, "x\n#define A 1\n#define N \n#define U \\0303\\0244\n#define f(a,b) a##b #a\n", "", {dump}});

  auto z = PpTest::Starte({klein, "", "", {dump, dump}});
  EXPECT_NE(z.ausgabe.find("#define quelmcpp 1\n"), std::string::npos);
  EXPECT_NE(z.ausgabe.find("#define __LINE__ \n"), std::string::npos);
  EXPECT_NE(z.ausgabe.find("#define __DATE__ \""), std::string::npos);

  // Enough names to grow the lookup several times, removals spread through it, and
  // redefinitions: every name must still be found exactly when it is defined.
  std::string text, erwartet;
  for (int i = 0; i < 3000; ++i) text += "#define N" + std::to_string(i) + " " + std::to_string(i) + "\n";
  for (int i = 0; i < 3000; i += 3) text += "#undef N" + std::to_string(i) + "\n";
  for (int i = 0; i < 3000; i += 7) text += "#define N" + std::to_string(i) + " r\n";
  for (int i = 0; i < 3000; ++i) {
    text += "N" + std::to_string(i) + "\n";
    if (i % 7 == 0) erwartet += "r\n";
    else if (i % 3 == 0) erwartet += "N" + std::to_string(i) + "\n";
    else erwartet += std::to_string(i) + "\n";
  }
  auto e = PpTest::Starte({text});
  EXPECT_EQ(e.ausgabe, erwartet);
  // Redefining N7 from 7 to r differs: error 7 for the names that were still defined.
  std::size_t fehler = 0;
  for (std::size_t p = 0; (p = e.meldungen.find("Redefining", p)) != std::string::npos; ++p) ++fehler;
  EXPECT_EQ(fehler, 286u);  // multiples of 7 below 3000 (429) minus those also multiples of 3 (143)
}
