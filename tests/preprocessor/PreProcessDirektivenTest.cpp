// Input handling, directives, conditionals, includes and line markers.
#include <gtest/gtest.h>

#include "PpTestHilfe.h"

using PpTest::Kopf;

namespace {

PpTest::Ergebnis Pp(const std::string& text) {
  PpTest::Lauf lauf;
  return lauf.Start(text);
}

PpTest::Ergebnis MitMarken(const std::string& text) {
  PpTest::Lauf lauf;
  lauf.Markierungen();
  return lauf.Start(text);
}

}  // namespace

TEST(PreProcessDirektiven, BedingungsFehler) {
  auto e = Pp(
      "#else\n"                                      // 1
      "#endif\n"                                     // 2
      "#elif 1\n"                                    // 3
      "#if 1\n#else\n#else\n#elif 1\n#endif\n"       // 4-8
      "#ifdef\nx\n#endif\n"                          // 9-11
      "#if\ny\n#endif\n"                             // 12-14
      "#ifdef A junk\n#endif junk\n"                 // 15-16
      "#if 1\nz\n");                                 // 17-18
  EXPECT_EQ(e.ausgabe, "z\n");
  EXPECT_EQ(e.meldungen,
            Kopf("main", 1, "Error") + "#else must be in an #if\n" +
                Kopf("main", 2, "Error") + "#endif must be in an #if\n" +
                Kopf("main", 3, "Error") + "#elif must be in an #if\n" +
                Kopf("main", 6, "Error") + "#else may not follow #else\n" +
                Kopf("main", 7, "Error") + "#elif may not follow #else\n" +
                Kopf("main", 9, "Error") + "#if, #ifdef, or #ifndef without an argument\n" +
                Kopf("main", 12, "Error") + "#if, #ifdef, or #ifndef without an argument\n" +
                Kopf("main", 15, "Warning") + "Unexpected text in #control line ignored\n" +
                Kopf("main", 16, "Warning") + "Unexpected text in #control line ignored\n" +
                Kopf("main", 19, "Error") + "Inside #ifdef block at end of input, depth = 1\n");
  EXPECT_EQ(e.rueckgabe, 1);
}

TEST(PreProcessDirektiven, IfStapelGrenze) {
  auto verschachtelt = [](int n, const char* wort) {
    std::string s;
    for (int i = 0; i < n; ++i) s += std::string("#") + wort + "\n";
    s += "inner\n";
    for (int i = 0; i < n; ++i) s += "#endif\n";
    return s + "after\n";
  };
  auto gut = Pp(verschachtelt(32, "if 1"));
  EXPECT_EQ(gut.ausgabe, "inner\nafter\n");
  EXPECT_EQ(gut.meldungen, "");
  auto zuTief = Pp(verschachtelt(33, "if 1"));
  EXPECT_EQ(zuTief.ausgabe, "");
  EXPECT_EQ(zuTief.meldungen, Kopf("main", 33, "Fatal") + "Too many nested #if statements\n");
  EXPECT_EQ(zuTief.rueckgabe, 1);
  // Levels pushed inside a skipped region count as well.
  auto ueberspringend = Pp("#if 0\n" + verschachtelt(32, "ifdef X") + "#endif\n");
  EXPECT_EQ(ueberspringend.meldungen, Kopf("main", 33, "Fatal") + "Too many nested #ifdef statements\n");
}

TEST(PreProcessDirektiven, IncludeUndMeldungsKette) {
  PpTest::Lauf lauf;
  lauf.Datei("a.h", "#define FROM_A 1\nin_a FROM_A\n#include \"b.h\"\nafter_b\n")
      .Datei("b.h", "#error deep\nin_b __FILE__ __LINE__\n");
  auto e = lauf.Start("first\n#include \"a.h\"\nlast __FILE__ __LINE__\n");
  EXPECT_EQ(e.ausgabe, "first\nin_a 1\nin_b \"b.h\" 2\nafter_b\nlast \"main\" 3\n");
  EXPECT_EQ(e.meldungen, Kopf("b.h", 1, "Error") + "#error directive encountered\n" +
                             " from file a.h, line 3,\n from file main, line 2.\n");
  EXPECT_EQ(e.rueckgabe, 1);
  EXPECT_EQ(lauf.geoeffnet, 2);
  EXPECT_EQ(lauf.geschlossen, 2);
}

TEST(PreProcessDirektiven, IncludeSuche) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagText(PPTAG_INPUT_NAME, "shaders/main.fx"))
      .Tag(PpTagText(PPTAG_INCLUDE_DIR, "inc1"))
      .Tag(PpTagText(PPTAG_INCLUDE_DIR, "inc2/"))
      .Datei("shaders/lokal.h", "lokal\n")
      .Datei("inc2/x.h", "x_aus_inc2\n");
  auto e = lauf.Start(
      "#include \"lokal.h\"\n"
      "#include <x.h>\n"
      "#include \"fehlt.h\"\n"
      "#include </abs/y.h>\n");
  EXPECT_EQ(e.ausgabe, "lokal\nx_aus_inc2\n");
  EXPECT_EQ(lauf.gefragt, (std::vector<std::string>{"shaders/lokal.h", "inc1/x.h", "inc2/x.h",
                                                    "shaders/fehlt.h", "inc1/fehlt.h",
                                                    "inc2/fehlt.h", "/abs/y.h"}));
  EXPECT_EQ(e.meldungen, Kopf("shaders/main.fx", 3, "Warning") + "Cannot open include file \"fehlt.h\"\n" +
                             Kopf("shaders/main.fx", 4, "Warning") + "Cannot open include file \"/abs/y.h\"\n");
  EXPECT_EQ(e.rueckgabe, 0);

  // Without the local search a quoted name goes to the include directories only; the
  // missing-file warning can be switched off.
  PpTest::Lauf ohne;
  ohne.Tag(PpTagWert(PPTAG_LOCAL_INCLUDE_FIRST, 0))
      .Tag(PpTagWert(PPTAG_WARN_MISSING_INCLUDE, 0))
      .Tag(PpTagText(PPTAG_INCLUDE_DIR, "d"));
  auto o = ohne.Start("#include \"q.h\"\n");
  EXPECT_EQ(ohne.gefragt, std::vector<std::string>{"d/q.h"});
  EXPECT_EQ(o.meldungen, "");
}

TEST(PreProcessDirektiven, IncludeFormen) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagWert(PPTAG_SHOW_INCLUDES, 1)).Datei("a.h", "A\n");
  auto e = lauf.Start(
      "#define HDR \"a.h\"\n"
      "#include HDR\n"
      "#include \"a.h\" /* fine */\n"
      "#include a.h\n"
      "#include \"a.h\n"
      "#include \"a.h\" x\n"
      "#include \"\"\n");
  EXPECT_EQ(e.ausgabe, "A\nA\n");
  const std::string syntax = "#include syntax error\n";
  EXPECT_EQ(e.meldungen, "cpp: included \"a.h\"\ncpp: included \"a.h\"\n" + Kopf("main", 4, "Error") +
                             syntax + Kopf("main", 5, "Error") + syntax + Kopf("main", 6, "Error") +
                             syntax + Kopf("main", 7, "Error") + syntax);
}

TEST(PreProcessDirektiven, IncludeTiefe) {
  auto kette = [](PpTest::Lauf& lauf, int n) {
    for (int i = 1; i < n; ++i)
      lauf.Datei("c" + std::to_string(i) + ".h", "#include \"c" + std::to_string(i + 1) + ".h\"\n");
    lauf.Datei("c" + std::to_string(n) + ".h", "end\n");
  };
  PpTest::Lauf gut;
  kette(gut, 200);
  auto g = gut.Start("#include \"c1.h\"\n");
  EXPECT_EQ(g.ausgabe, "end\n");
  EXPECT_EQ(g.meldungen, "");

  PpTest::Lauf zuTief;
  kette(zuTief, 201);
  auto z = zuTief.Start("#include \"c1.h\"\nnot reached\n");
  EXPECT_EQ(z.ausgabe, "");
  EXPECT_EQ(z.meldungen.substr(0, z.meldungen.find('\n') + 1),
            Kopf("c200.h", 1, "Fatal") + "Too many nested #include statements\n");
  EXPECT_EQ(z.rueckgabe, 1);
  // Every file left open by the fatal message is closed.
  EXPECT_EQ(zuTief.geoeffnet, 200);
  EXPECT_EQ(zuTief.geschlossen, 200);

  // A file that includes itself stops the same way.
  PpTest::Lauf selbst;
  selbst.Datei("r.h", "#include \"r.h\"\n");
  auto s = selbst.Start("#include \"r.h\"\n");
  EXPECT_EQ(s.meldungen.substr(0, s.meldungen.find('\n') + 1),
            Kopf("r.h", 1, "Fatal") + "Too many nested #include statements\n");
  EXPECT_EQ(selbst.geoeffnet, selbst.geschlossen);
}

TEST(PreProcessDirektiven, Line) {
  auto e = Pp(
      "#line 100\n"
      "__LINE__\n"
      "#line 7 \"x.c\"\n"
      "__FILE__ __LINE__\n"
      "#error here\n"
      "#define N 20\n"
      "#line N name\n"
      "__FILE__ __LINE__\n"
      "#line\n"
      "#line 5 \"y.c\" extra\n");
  EXPECT_EQ(e.ausgabe, "100\n\"x.c\" 7\n\"name\" 20\n");
  EXPECT_EQ(e.meldungen, Kopf("x.c", 8, "Error") + "#error directive encountered\n" +
                             Kopf("name", 21, "Warning") + "Unexpected text in #control line ignored\n" +
                             Kopf("y.c", 4, "Warning") + "Unexpected text in #control line ignored\n");
}

TEST(PreProcessDirektiven, Zeilenmarken) {
  EXPECT_EQ(MitMarken("a\n\n\n\nb\n").ausgabe, "#line 1 \"main\"\na\n\n\n\nb\n");
  EXPECT_EQ(MitMarken("a\n\n\n\n\n\nb\n").ausgabe, "#line 1 \"main\"\na\n#line 7\nb\n");
  EXPECT_EQ(MitMarken("#define X 1\n\nX\n").ausgabe, "#line 1 \"main\"\n\n\n1\n");
  EXPECT_EQ(MitMarken("a /*\n\n*/ b\nc\n").ausgabe, "#line 1 \"main\"\na b\n\n\nc\n");
  EXPECT_EQ(MitMarken("a\n#line 100 \"x.c\"\nb\n").ausgabe,
            "#line 1 \"main\"\na\n#line 100 \"x.c\"\nb\n");
  EXPECT_EQ(MitMarken("").ausgabe, "#line 1 \"main\"\n");

  PpTest::Lauf lauf;
  lauf.Markierungen().Datei("a.h", "in\n");
  EXPECT_EQ(lauf.Start("x\n#include \"a.h\"\ny\n").ausgabe,
            "#line 1 \"main\"\nx\n#line 1 \"a.h\"\nin\n#line 3 \"main\"\ny\n");

  PpTest::Lauf ohneWort;
  ohneWort.Markierungen().Tag(PpTagWert(PPTAG_LINE_KEYWORD, 0));
  EXPECT_EQ(ohneWort.Start("a\n\n\n\n\n\nb\n").ausgabe, "# 1 \"main\"\na\n# 7\nb\n");

  // Without line markers blank lines give nothing.
  EXPECT_EQ(Pp("a\n\n\n\n\n\nb\n\n").ausgabe, "a\nb\n");
}

TEST(PreProcessDirektiven, KommentareUndSpleisse) {
  EXPECT_EQ(Pp("a /* x */ b // c\nd").ausgabe, "a b\nd\n");
  EXPECT_EQ(Pp("a\\\nb\n#define X 1 \\\n + 2\nX\n").ausgabe, "ab\n1 + 2\n");
  EXPECT_EQ(Pp("#define A 1\r\nA\r\n").ausgabe, "1\n");
  EXPECT_EQ(Pp("/* lead */ #define Z 3\nZ\n").ausgabe, "3\n");

  PpTest::Lauf behalten;
  behalten.Tag(PpTagWert(PPTAG_KEEP_COMMENTS, 1));
  EXPECT_EQ(behalten.Start("a /* x */ b // c\n#define Q /* gone */ 1\nQ\n").ausgabe,
            "a /* x */ b // c\n1\n");

  PpTest::Lauf keineZeilen;
  keineZeilen.Tag(PpTagWert(PPTAG_NO_LINE_COMMENTS, 1));
  EXPECT_EQ(keineZeilen.Start("a // b\n").ausgabe, "a / / b\n");

  const std::string verschachtelt = "/* a /* b */ c */ d\n";
  EXPECT_EQ(Pp(verschachtelt).ausgabe, "c */ d\n");
  PpTest::Lauf nest;
  nest.Tag(PpTagWert(PPTAG_NESTED_COMMENTS, 1)).Tag(PpTagWert(PPTAG_WARN_NESTED_COMMENTS, 1));
  auto n = nest.Start(verschachtelt);
  EXPECT_EQ(n.ausgabe, "d\n");
  EXPECT_EQ(n.meldungen, Kopf("main", 1, "Warning") + "Nested comment\n");

  auto offen = Pp("a /* open\n\n");
  EXPECT_EQ(offen.meldungen, Kopf("main", 3, "Error") + "EOF in comment\n");
  auto text = Pp("x \"abc\ny 'q\n");
  EXPECT_EQ(text.ausgabe, "x \"abc\ny 'q\n");
  EXPECT_EQ(text.meldungen,
            Kopf("main", 1, "Error") + "Unterminated string\n" + Kopf("main", 2, "Error") + "Unterminated string\n");
}

TEST(PreProcessDirektiven, SonstigeDirektiven) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagWert(PPTAG_WARN_UNKNOWN_DIRECTIVE, 1));
  auto e = lauf.Start(
      "#pragma pack( 1 )   // note\n"
      "#version   330 core\n"
      "#empty\n"
      "#\n"
      "#assert 1 > 2\n"
      "#assert 2 > 1\n"
      "#error it's \"broken\n"
      "done\n");
  EXPECT_EQ(e.ausgabe, "#pragma pack( 1 )\n#version 330 core\n#empty \ndone\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 2, "Warning") + "Illegal # command \"version\"\n" +
                             Kopf("main", 3, "Warning") + "Illegal # command \"empty\"\n" +
                             Kopf("main", 5, "Error") + "Preprocessor assertion failure\n" +
                             Kopf("main", 7, "Error") + "#error directive encountered\n");
}

TEST(PreProcessDirektiven, DirektiveInMakroArgumenten) {
  auto e = Pp(
      "#define f(x) [x]\n"
      "f(1\n"
      "#define Y 2\n"
      "Y)\n");
  EXPECT_EQ(e.ausgabe, "[1 2]\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 3, "Warning") + "Control line \"define\" within macro expansion\n");
}

TEST(PreProcessDirektiven, LeerraumUndAnfuehrung) {
  PpTest::Lauf raum;
  raum.Tag(PpTagWert(PPTAG_KEEP_SPACE, 1));
  EXPECT_EQ(raum.Start("  a   b\t c\n#define M x  y\n\tM  z\n").ausgabe, "  a   b\t c\n\tx y  z\n");

  PpTest::Lauf einfach;
  einfach.Tag(PpTagWert(PPTAG_PLAIN_QUOTES, 1));
  EXPECT_EQ(einfach.Start("#define A 1\n\"A\" don't A\n").ausgabe, "\"1\" don't 1\n");
}

TEST(PreProcessDirektiven, ArbeitspufferVonInclude) {
  const std::string name509(509, 'i');
  PpTest::Lauf inc;
  auto i = inc.Start("#include \"" + name509 + "\"\n");
  EXPECT_EQ(inc.gefragt, std::vector<std::string>{name509});
  EXPECT_EQ(i.meldungen, Kopf("main", 1, "Warning") + "Cannot open include file \"" + name509 + "\"\n");
  auto incVoll = Pp("#include \"" + std::string(510, 'i') + "\"\n");
  EXPECT_EQ(incVoll.meldungen, Kopf("main", 1, "Fatal") + "Work buffer overflow\n");
}

TEST(PreProcessDirektiven, ZusammengesetzterDateinameGrenze) {
  // Directory, "/" and name: 511 characters are tried, 512 end the run.
  const std::string verzeichnis(500, 'd');
  PpTest::Lauf gut;
  gut.Tag(PpTagText(PPTAG_INCLUDE_DIR, verzeichnis.c_str()));
  auto g = gut.Start("#include <abcdefghij>\n");
  EXPECT_EQ(gut.gefragt, std::vector<std::string>{verzeichnis + "/abcdefghij"});
  EXPECT_EQ(g.meldungen, Kopf("main", 1, "Warning") + "Cannot open include file \"abcdefghij\"\n");
  PpTest::Lauf voll;
  voll.Tag(PpTagText(PPTAG_INCLUDE_DIR, verzeichnis.c_str()));
  auto v = voll.Start("#include <abcdefghijk>\nafter\n");
  EXPECT_TRUE(voll.gefragt.empty());
  EXPECT_EQ(v.meldungen, Kopf("main", 1, "Fatal") + "Filename work buffer overflow\n");
  EXPECT_EQ(v.ausgabe, "");
}

TEST(PreProcessDirektiven, NamensUndLeerraumGrenzen) {
  // The input name is kept to 511 characters.
  PpTest::Lauf langerName;
  const std::string name(600, 'm');
  langerName.Tag(PpTagText(PPTAG_INPUT_NAME, name.c_str()));
  EXPECT_EQ(langerName.Start("#error x\n").meldungen,
            Kopf(std::string(511, 'm'), 1, "Error") + "#error directive encountered\n");

  // A copied white space run keeps at most 511 characters.
  PpTest::Lauf raum;
  raum.Tag(PpTagWert(PPTAG_KEEP_SPACE, 1));
  EXPECT_EQ(raum.Start("a" + std::string(511, ' ') + "b" + std::string(600, ' ') + "c\n").ausgabe,
            "a" + std::string(511, ' ') + "b" + std::string(511, ' ') + "c\n");

  // A function name is kept to 50 characters.
  const std::string lang(60, 'f');
  EXPECT_EQ(Pp("void " + lang + "(void) { __FUNCTION__ }\n").ausgabe,
            "void " + lang + "(void) { \"" + std::string(50, 'f') + "\" }\n");
}

TEST(PreProcessDirektiven, FunktionsnamenListeGrenze) {
  PpTest::Lauf zwanzig;
  for (int i = 0; i < 20; ++i) zwanzig.Tag(PpTagText(PPTAG_INIT_FUNC_NAME, "g"));
  EXPECT_EQ(zwanzig.Start("x\n").meldungen, "");
  PpTest::Lauf mehr;
  for (int i = 0; i < 21; ++i) mehr.Tag(PpTagText(PPTAG_INIT_FUNC_NAME, "g"));
  mehr.Tag(PpTagText(PPTAG_DEFINE, "STILL_APPLIED=1"));
  auto m = mehr.Start("STILL_APPLIED\n");
  // The 21st name is refused; the rest of the tag list still applies.
  EXPECT_EQ(m.meldungen, Kopf("main", 0, "Warning") + "Internal error!\n");
  EXPECT_EQ(m.ausgabe, "1\n");
}
