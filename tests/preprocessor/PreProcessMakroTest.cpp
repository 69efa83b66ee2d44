// Macro definition and expansion through the in-memory callbacks.
#include <gtest/gtest.h>

#include "PpTestHilfe.h"

using PpTest::Kopf;

namespace {

PpTest::Ergebnis Pp(const std::string& text) {
  PpTest::Lauf lauf;
  return lauf.Start(text);
}

std::string Parameterliste(int n, const char* vorsatz) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += (i > 1 ? "," : "") + std::string(vorsatz) + std::to_string(i);
  return s;
}

}  // namespace

TEST(PreProcessMakro, VerbundenerEigenerNameWirdNichtExpandiert) {
  auto e = Pp("#define self(x) se ## x\n#define se other\nself(lf)\n");
  EXPECT_EQ(e.ausgabe, "self\n");
  EXPECT_EQ(e.meldungen, "");
}

TEST(PreProcessMakro, VerbindenOhneGueltigesToken) {
  auto e = Pp(
      "#define cat(a, b) a ## b\n"
      "cat(+, -)\n"
      "cat(a, \xE2\x82\xAC)\n");
  EXPECT_EQ(e.ausgabe, "+-\na\xE2\x82\xAC\n");
  // By their numbers these two count as errors.
  EXPECT_EQ(e.meldungen, Kopf("main", 2, "Error") + "Strange character '-' after ##\n" +
                             Kopf("main", 3, "Error") + "Strange character (226.) after ##\n");
  EXPECT_EQ(e.rueckgabe, 1);
}

TEST(PreProcessMakro, RechteSeiteVonVerbindenExpandiert) {
  const std::string text = "#define B 2\n#define cat(a, b) a ## b\ncat(x, B)\n";
  EXPECT_EQ(Pp(text).ausgabe, "xB\n");
  PpTest::Lauf lauf;
  lauf.Tag(PpTagWert(PPTAG_CONCAT_EXPAND_RIGHT, 1));
  EXPECT_EQ(lauf.Start(text).ausgabe, "x2\n");

  // Two macros whose right operands expand each other end at the depth limit.
  PpTest::Lauf kreis;
  kreis.Tag(PpTagWert(PPTAG_CONCAT_EXPAND_RIGHT, 1));
  auto k = kreis.Start("#define X a ## Y\n#define Y b ## X\nX\n");
  EXPECT_EQ(k.meldungen.substr(0, k.meldungen.find('\n') + 1),
            Kopf("main", 3, "Error") + "Recursive macro definition of \"Y\"(Defined by \"X\")\n");
}

TEST(PreProcessMakro, BytesAusDerEingabeBleibenUnveraendert) {
  // UTF-8 bytes (0x80 to 0x9F among them) and the control bytes 28 to 30 are ordinary
  // text, in macro bodies as anywhere else.
  const std::string text =
      "#define E \xE2\x82\xACuro\n"
      "#define f(a, b) a\xE2\x82\xAC\xC4\x80" "b \xC3\xA4\n"
      "#define R x\x1C\x1D\x1Ey\n"
      "f(1, 2) E R \x1E\n";
  auto e = Pp(text);
  EXPECT_EQ(e.ausgabe,
            "1\xE2\x82\xAC\xC4\x80" "2 \xC3\xA4 \xE2\x82\xACuro x\x1C\x1D\x1Ey \x1E\n");
  EXPECT_EQ(e.meldungen, "");
}

TEST(PreProcessMakro, Rekursionsschutz) {
  auto e = Pp(
      "#define foo foo + 1\n"
      "#define f(x) f(x + 1)\n"
      "foo f(2)\n"
      "#define a b\n"
      "#define b a\n"
      "a\n"
      "b\n"
      "end\n");
  EXPECT_EQ(e.ausgabe, "foo + 1 f(2 + 1)\nend\n");
  EXPECT_EQ(e.meldungen,
            Kopf("main", 6, "Error") + "Recursive macro definition of \"b\"(Defined by \"a\")\n" +
                Kopf("main", 7, "Error") + "Recursive macro definition of \"a\"(Defined by \"b\")\n");
  EXPECT_EQ(e.rueckgabe, 1);
}

TEST(PreProcessMakro, ExpansionstiefeBisAnDieGrenze) {
  auto kette = [](int n) {
    std::string s;
    for (int i = 0; i < n - 1; ++i) s += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + "\n";
    s += "#define M" + std::to_string(n - 1) + " end\nM0\n";
    return s;
  };
  auto gut = Pp(kette(999));
  EXPECT_EQ(gut.ausgabe, "end\n");
  EXPECT_EQ(gut.meldungen, "");
  auto schlecht = Pp(kette(1000));
  EXPECT_EQ(schlecht.ausgabe, "");
  EXPECT_EQ(schlecht.meldungen,
            Kopf("main", 1001, "Error") + "Recursive macro definition of \"M999\"(Defined by \"M0\")\n");
}

TEST(PreProcessMakro, AufrufFehler) {
  auto e = Pp(
      "#define f(x) <x>\n"
      "#define g(x, y) x y\n"
      "f + 1\n"
      "g(1) g(1, 2, 3)\n"
      "f\n"
      "\n"
      "(2)\n"
      "f(1, ");
  EXPECT_EQ(e.ausgabe, "f + 1\n1 1 2\n<2>\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 3, "Warning") + "Macro \"f\" needs arguments\n" +
                             Kopf("main", 4, "Warning") + "Wrong number of macro arguments for \"g\"\n" +
                             Kopf("main", 4, "Warning") + "Wrong number of macro arguments for \"g\"\n" +
                             Kopf("main", 8, "Error") + "end of file within macro argument\n");
}

TEST(PreProcessMakro, Neudefinition) {
  auto e = Pp(
      "#define A\n"
      "#define A 1\n"
      "#define A 1\n"
      "#define A   1 /* same */\n"
      "#define A 2\n"
      "#define f(a) a + 1\n"
      "#define f(b) b + 1\n"
      "#define f(b) b+1\n"
      "#define h(x) 1\n"
      "#define h 1\n"
      "A f(2) h h(3)\n"
      "#undef A\n"
      "#undef A\n"
      "A\n");
  EXPECT_EQ(e.ausgabe, "2 2+1 1 1(3)\nA\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 2, "Error") + "Redefining defined variable \"A\"\n" +
                             Kopf("main", 5, "Error") + "Redefining defined variable \"A\"\n" +
                             Kopf("main", 8, "Error") + "Redefining defined variable \"f\"\n");
}

TEST(PreProcessMakro, DefineSyntax) {
  auto e = Pp(
      "#define\n"
      "#define 3 x\n"
      "#define f(a,) a\n"
      "#define g(a a) a\n"
      "#define h(a, a) a\n"
      "#define k (x) x\n"
      "#undef 3\n"
      "k(1)\n");
  EXPECT_EQ(e.ausgabe, "(x) x(1)\n");
  std::string fehler6 = "#define syntax error\n";
  EXPECT_EQ(e.meldungen, Kopf("main", 1, "Error") + fehler6 + Kopf("main", 2, "Error") + fehler6 +
                             Kopf("main", 3, "Error") + fehler6 + Kopf("main", 4, "Error") + fehler6 +
                             Kopf("main", 5, "Error") + fehler6 + Kopf("main", 7, "Error") +
                             "Illegal #undef argument\n");
}

TEST(PreProcessMakro, MagischeNamen) {
  PpTest::Lauf lauf;
  lauf.Datei("inc.h", "__FILE__ __LINE__\n");
  auto e = lauf.Start(
      "__LINE__ __FILE__\n"
      "#include \"inc.h\"\n"
      "#define L __LINE__\n"
      "L __FUNCTION__ __FUNC_LINE__\n"
      "\n"
      "int f(int a)\n"
      "{\n"
      "  __FUNCTION__ __FUNC_LINE__\n"
      "}\n"
      "__FUNCTION__\n");
  EXPECT_EQ(e.ausgabe,
            "1 \"main\"\n\"inc.h\" 1\n4 \"<unknown function>\" 0\nint f(int a)\n{\n\"f\" 7\n}\n"
            "\"<unknown function>\"\n");
}

TEST(PreProcessMakro, Funktionsverfolgung) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagWert(PPTAG_SHOW_FUNCTIONS, 1));
  auto e = lauf.Start(
      "int proto(int a);\n"
      "float4 ps(float2 uv : TEXCOORD0) : COLOR0\n"
      "{ if (1) { x(); } return __FUNCTION__; }\n"
      "void a(), b() { }\n");
  EXPECT_EQ(e.meldungen,
            "#> Function defined at line 3: ps <#\n#> Function defined at line 4: b <#\n");
  EXPECT_NE(e.ausgabe.find("return \"ps\";"), std::string::npos);

  PpTest::Lauf haken;
  haken.Tag(PpTagText(PPTAG_INIT_FUNC_TEXT, "__brace__ init();"));
  haken.Tag(PpTagText(PPTAG_INIT_FUNC_NAME, "ohne"));
  auto h = haken.Start("void ohne(void) { __init_func__ }\nvoid f(void) { __init_func__ body(); }\n");
  EXPECT_EQ(h.ausgabe, "void ohne(void) { __init_func__ }\nvoid f(void) { { init(); body(); }}\n");
}

// Each fixed work area: the largest input that fits, and one byte or item more, which
// ends the run with a fatal message and no output.
TEST(PreProcessMakro, Arbeitsgrenzen) {
  const std::string f31 = "#define f(" + Parameterliste(31, "p") + ") p1 p31\n";
  const std::string g = "#define g(x, y) ok\n", cat = "#define cat(a, b) a ## b\n", a255(255, 'a');
  struct Fall {
    std::string passt, ergebnis, zuViel;
    int zeile;
    const char* meldung;
  } const faelle[] = {
      {f31 + "f(" + Parameterliste(31, "") + ")\n", "1 31\n", "#define f(" + Parameterliste(32, "p") + ") x\nnot reached\n",
       1, "Too many arguments for macro"},
      // Parameter names and argument texts share 1024-byte areas, each with its terminator.
      {"#define f(" + std::string(1023, 'p') + ") 1\nf(x)\n", "1\n", "#define f(" + std::string(1024, 'p') + ") 1\nf(x)\n",
       1, "Macro work area overflow"},
      {f31 + "f(" + Parameterliste(31, "") + ")\n", "1 31\n", f31 + "f(" + Parameterliste(32, "") + ")\n", 2,
       "Too many arguments in macro expansion"},
      {g + "g(" + std::string(511, 'a') + ", " + std::string(511, 'b') + ")\n", "ok\n",
       g + "g(" + std::string(511, 'a') + ", " + std::string(512, 'b') + ")\n", 2, "Macro work area overflow"},
      {"#define f(x) x x\nf(" + a255 + ")\n", a255 + " " + a255 + "\n", "#define f(x) x x;\nf(" + a255 + ")\nnext\n", 2,
       "Out of space in macro \"f\" arg expansion"},
      {"#define A " + std::string(511, 'x') + "\nA\n", std::string(511, 'x') + "\n",
       "#define A " + std::string(255, 'x') + "   " + std::string(256, 'x') + "\nA\n", 1, "Work buffer overflow"},
      {cat + "cat(" + std::string(256, 'a') + ", " + std::string(255, 'b') + ")\n",
       std::string(256, 'a') + std::string(255, 'b') + "\n",
       cat + "cat(" + std::string(256, 'a') + ", " + std::string(256, 'b') + ")\n", 2, "work buffer overflow doing cat ##"},
      // "#line 5 name": the expanded rest of the line holds at most 511 bytes.
      {"#line 5 " + std::string(509, 'n') + "\n__LINE__\n", "5\n", "#line 5 " + std::string(510, 'n') + "\n__LINE__\n", 1,
       "Work buffer overflow"},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.meldung);
    auto gut = Pp(f.passt);
    EXPECT_EQ(gut.ausgabe, f.ergebnis);
    EXPECT_EQ(gut.meldungen, "");
    auto voll = Pp(f.zuViel);
    EXPECT_EQ(voll.ausgabe, "");
    EXPECT_EQ(voll.meldungen, Kopf("main", f.zeile, "Fatal") + f.meldung + "\n");
    EXPECT_EQ(voll.rueckgabe, 1);
  }
}

TEST(PreProcessMakro, TabellenDump) {
  const std::string text =
      "#define A 1\n"
      "#define f(a, b) a ## b # a\n"
      "#define U \xC3\xA4\n"
      "#define N\n"
      "x\n";
  PpTest::Lauf einmal;
  einmal.Tag(PpTagWert(PPTAG_DUMP_DEFINES, 1));
  auto e = einmal.Start(text);
  // Buckets: A (65+1)%64 = 2, U (85+1)%64 = 22, f (102+1)%64 = 39, N (78+1)%64 = 15.
  EXPECT_EQ(e.ausgabe,
            "x\n#define A 1\n#define N \n#define U \\0303\\0244\n#define f(a,b) a##b #a\n");

  PpTest::Lauf zweimal;
  zweimal.Tag(PpTagWert(PPTAG_DUMP_DEFINES, 1)).Tag(PpTagWert(PPTAG_DUMP_DEFINES, 1));
  auto z = zweimal.Start(text);
  EXPECT_NE(z.ausgabe.find("#define quelmcpp 1\n"), std::string::npos);
  EXPECT_NE(z.ausgabe.find("#define __LINE__ \n"), std::string::npos);
  EXPECT_NE(z.ausgabe.find("#define __DATE__ \""), std::string::npos);
}

TEST(PreProcessMakro, ArgumenteWerdenErstNachDemEinsetzenExpandiert) {
  // Arguments go into the body as written and are expanded when the result is read
  // again, so an argument handed on to # or ## is not expanded first.
  auto e = Pp(
      "#define VER 3\n"
      "#define str(x) #x\n"
      "#define xstr(x) str(x)\n"
      "#define cat(a, b) a ## b\n"
      "#define xcat(a, b) cat(a, b)\n"
      "#define id(x) x\n"
      "xstr(VER) xcat(v, VER) id(VER) id(id)(1)\n");
  EXPECT_EQ(e.ausgabe, "\"VER\" vVER 3 1\n");
}

TEST(PreProcessMakro, VieleMakrosDefinierenUndEntfernen) {
  // Enough names to grow the lookup several times, removals spread through it, and
  // redefinitions: every name must still be found exactly when it is defined.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "#define N" + std::to_string(i) + " " + std::to_string(i) + "\n";
  for (int i = 0; i < 3000; i += 3) text += "#undef N" + std::to_string(i) + "\n";
  for (int i = 0; i < 3000; i += 7) text += "#define N" + std::to_string(i) + " r\n";
  std::string erwartet;
  for (int i = 0; i < 3000; ++i) {
    text += "N" + std::to_string(i) + "\n";
    if (i % 7 == 0) erwartet += "r\n";
    else if (i % 3 == 0) erwartet += "N" + std::to_string(i) + "\n";
    else erwartet += std::to_string(i) + "\n";
  }
  auto e = Pp(text);
  EXPECT_EQ(e.ausgabe, erwartet);
  // Redefining N7 from 7 to r differs: error 7 for the names that were still defined.
  std::size_t fehler = 0;
  for (std::size_t p = 0; (p = e.meldungen.find("Redefining", p)) != std::string::npos; ++p) ++fehler;
  EXPECT_EQ(fehler, 286u);  // multiples of 7 below 3000 (429) minus those also multiples of 3 (143)
}
