// Input handling, directives, conditionals, includes and line markers.
#include <gtest/gtest.h>

#include "PpTestHilfe.h"

using PpTest::Pruefe;

namespace {

const PreProcessTag kMarken = PpTagWert(PPTAG_LINE_MARKERS, 1);
const PreProcessTag kLeerraum = PpTagWert(PPTAG_KEEP_SPACE, 1);

std::string Verschachtelt(int n, const char* wort) {
  std::string s = "inner\n";
  for (int i = 0; i < n; ++i) s = "#" + std::string(wort) + "\n" + s + "#endif\n";
  return s + "after\n";
}

}  // namespace

TEST(PreProcessDirektiven, Bedingungen) {
  Pruefe({"#else\n"                                      // 1
          "#endif\n"                                     // 2
          "#elif 1\n"                                    // 3
          "#if 1\n#else\n#else\n#elif 1\n#endif\n"       // 4-8
          "#ifdef\nx\n#endif\n"                          // 9-11
          "#if\ny\n#endif\n"                             // 12-14
          "#ifdef A junk\n#endif junk\n"                 // 15-16
          "#if 1\nz\n",                                  // 17-18
          "z\n",
          "main:1: Error: #else must be in an #if\n"
          "main:2: Error: #endif must be in an #if\n"
          "main:3: Error: #elif must be in an #if\n"
          "main:6: Error: #else may not follow #else\n"
          "main:7: Error: #elif may not follow #else\n"
          "main:9: Error: #if, #ifdef, or #ifndef without an argument\n"
          "main:12: Error: #if, #ifdef, or #ifndef without an argument\n"
          "main:15: Warning: Unexpected text in #control line ignored\n"
          "main:16: Warning: Unexpected text in #control line ignored\n"
          "main:19: Error: Inside #ifdef block at end of input, depth = 1\n"});
  Pruefe({Verschachtelt(32, "if 1"), "inner\nafter\n"});
  Pruefe({Verschachtelt(33, "if 1"), "", "main:33: Fatal: Too many nested #if statements\n"});
  // Levels pushed inside a skipped region count as well.
  Pruefe({"#if 0\n" + Verschachtelt(32, "ifdef X") + "#endif\n", "",
          "main:33: Fatal: Too many nested #ifdef statements\n"});
}

TEST(PreProcessDirektiven, Includes) {
  const std::string syntax = "Error: #include syntax error\n";
  Pruefe({"#define HDR \"a.h\"\n"
          "#include HDR\n"
          "#include \"a.h\" /* fine */\n"
          "#include a.h\n"
          "#include \"a.h\n"
          "#include \"a.h\" x\n"
          "#include \"\"\n",
          "A\nA\n",
          "cpp: included \"a.h\"\ncpp: included \"a.h\"\nmain:4: " + syntax + "main:5: " + syntax +
              "main:6: " + syntax + "main:7: " + syntax,
          {PpTagWert(PPTAG_SHOW_INCLUDES, 1)},
          {{"a.h", "A\n"}}});
  // A name of 509 characters still fits the work buffer, 510 do not.
  const std::string name509(509, 'i');
  Pruefe({"#include \"" + name509 + "\"\n", "",
          "main:1: Warning: Cannot open include file \"" + name509 + "\"\n"});
  Pruefe({"#include \"" + name509 + "i\"\n", "", "main:1: Fatal: Work buffer overflow\n"});
  Pruefe({"first\n#include \"a.h\"\nlast __FILE__ __LINE__\n",
          "first\nin_a 1\nin_b \"b.h\" 2\nafter_b\nlast \"main\" 3\n",
          "b.h:1: Error: #error directive encountered\n from file a.h, line 3,\n from file main, line 2.\n",
          {},
          {{"a.h", "#define FROM_A 1\nin_a FROM_A\n#include \"b.h\"\nafter_b\n"},
           {"b.h", "#error deep\nin_b __FILE__ __LINE__\n"}}});

  const std::vector<PreProcessTag> verzeichnisse = {PpTagText(PPTAG_INPUT_NAME, "shaders/main.fx"),
                                                    PpTagText(PPTAG_INCLUDE_DIR, "inc1"),
                                                    PpTagText(PPTAG_INCLUDE_DIR, "inc2/")};
  EXPECT_EQ(Pruefe({"#include \"lokal.h\"\n#include <x.h>\n#include \"fehlt.h\"\n#include </abs/y.h>\n",
                    "lokal\nx_aus_inc2\n",
                    "shaders/main.fx:3: Warning: Cannot open include file \"fehlt.h\"\n"
                    "shaders/main.fx:4: Warning: Cannot open include file \"/abs/y.h\"\n",
                    verzeichnisse,
                    {{"shaders/lokal.h", "lokal\n"}, {"inc2/x.h", "x_aus_inc2\n"}}}),
            (std::vector<std::string>{"shaders/lokal.h", "inc1/x.h", "inc2/x.h", "shaders/fehlt.h",
                                      "inc1/fehlt.h", "inc2/fehlt.h", "/abs/y.h"}));
  // Without the local search a quoted name goes to the include directories only; the
  // missing-file warning can be switched off.
  EXPECT_EQ(Pruefe({"#include \"q.h\"\n", "", "",
                    {PpTagWert(PPTAG_LOCAL_INCLUDE_FIRST, 0), PpTagWert(PPTAG_WARN_MISSING_INCLUDE, 0),
                     PpTagText(PPTAG_INCLUDE_DIR, "d")}}),
            std::vector<std::string>{"d/q.h"});

  // Directory, "/" and name: 511 characters are tried, 512 end the run.
  const std::string verzeichnis(500, 'd');
  const PreProcessTag tag = PpTagText(PPTAG_INCLUDE_DIR, verzeichnis.c_str());
  EXPECT_EQ(Pruefe({"#include <abcdefghij>\n", "",
                    "main:1: Warning: Cannot open include file \"abcdefghij\"\n", {tag}}),
            std::vector<std::string>{verzeichnis + "/abcdefghij"});
  EXPECT_TRUE(Pruefe({"#include <abcdefghijk>\nafter\n", "", "main:1: Fatal: Filename work buffer overflow\n",
                      {tag}}).empty());
}

TEST(PreProcessDirektiven, IncludeTiefe) {
  std::map<std::string, std::string> kette;
  for (int i = 1; i < 200; ++i)
    kette["c" + std::to_string(i) + ".h"] = "#include \"c" + std::to_string(i + 1) + ".h\"\n";
  kette["c200.h"] = "end\n";
  Pruefe({"#include \"c1.h\"\n", "end\n", "", {}, kette});
  // One level more is fatal, as is a file that includes itself; every file left open
  // by the fatal message is closed.
  kette["c200.h"] = "#include \"c201.h\"\n";
  kette["r.h"] = "#include \"r.h\"\n";
  for (const std::string datei : {"c1.h", "r.h"}) {
    auto e = PpTest::Starte({"#include \"" + datei + "\"\nnot reached\n", "", "", {}, kette});
    EXPECT_EQ(e.ausgabe, "");
    const std::string tiefste = datei == "r.h" ? "r.h" : "c200.h";
    EXPECT_EQ(PpTest::Kurz(e.meldungen.substr(0, e.meldungen.find('\n') + 1)),
              tiefste + ":1: Fatal: Too many nested #include statements\n");
    EXPECT_EQ(e.geoeffnet, 200);
    EXPECT_EQ(e.geschlossen, 200);
  }
}

TEST(PreProcessDirektiven, LineUndZeilenmarken) {
  Pruefe({"#line 100\n__LINE__\n"
          "#line 7 \"x.c\"\n__FILE__ __LINE__\n#error here\n"
          "#define N 20\n#line N name\n__FILE__ __LINE__\n"
          "#line\n#line 5 \"y.c\" extra\n",
          "100\n\"x.c\" 7\n\"name\" 20\n",
          "x.c:8: Error: #error directive encountered\n"
          "name:21: Warning: Unexpected text in #control line ignored\n"
          "y.c:4: Warning: Unexpected text in #control line ignored\n"});
  const std::string kopf = "#line 1 \"main\"\n";
  // Up to four blank lines are written out, more become a marker.
  Pruefe({"a\n\n\n\nb\n", kopf + "a\n\n\n\nb\n", "", {kMarken}});
  Pruefe({"a\n\n\n\n\n\nb\n", kopf + "a\n#line 7\nb\n", "", {kMarken}});
  Pruefe({"#define X 1\n\nX\n", kopf + "\n\n1\n", "", {kMarken}});
  Pruefe({"a /*\n\n*/ b\nc\n", kopf + "a b\n\n\nc\n", "", {kMarken}});
  Pruefe({"a\n#line 100 \"x.c\"\nb\n", kopf + "a\n#line 100 \"x.c\"\nb\n", "", {kMarken}});
  Pruefe({"", kopf, "", {kMarken}});
  Pruefe({"x\n#include \"a.h\"\ny\n", kopf + "x\n#line 1 \"a.h\"\nin\n#line 3 \"main\"\ny\n", "", {kMarken},
          {{"a.h", "in\n"}}});
  Pruefe({"a\n\n\n\n\n\nb\n", "# 1 \"main\"\na\n# 7\nb\n", "", {kMarken, PpTagWert(PPTAG_LINE_KEYWORD, 0)}});
  // Without line markers blank lines give nothing.
  Pruefe({"a\n\n\n\n\n\nb\n\n", "a\nb\n"});
}

TEST(PreProcessDirektiven, KommentareSpleisseUndLeerraum) {
  Pruefe({"#define A 1\r\nA\r\n", "1\n"});
  Pruefe({"/* lead */ #define Z 3\nZ\n", "3\n"});
  Pruefe({"a /* x */ b // c\n#define Q /* gone */ 1\nQ\n", "a /* x */ b // c\n1\n", "",
          {PpTagWert(PPTAG_KEEP_COMMENTS, 1)}});
  Pruefe({"a // b\n", "a / / b\n", "", {PpTagWert(PPTAG_NO_LINE_COMMENTS, 1)}});
  const std::string verschachtelt = "/* a /* b */ c */ d\n";
  Pruefe({verschachtelt, "c */ d\n"});
  Pruefe({verschachtelt, "d\n", "main:1: Warning: Nested comment\n",
          {PpTagWert(PPTAG_NESTED_COMMENTS, 1), PpTagWert(PPTAG_WARN_NESTED_COMMENTS, 1)}});
  Pruefe({"a /* open\n\n", "a\n", "main:3: Error: EOF in comment\n"});
  Pruefe({"x \"abc\ny 'q\n", "x \"abc\ny 'q\n",
          "main:1: Error: Unterminated string\nmain:2: Error: Unterminated string\n"});
  Pruefe({"  a   b\t c\n#define M x  y\n\tM  z\n", "  a   b\t c\n\tx y  z\n", "", {kLeerraum}});
  Pruefe({"#define A 1\n\"A\" don't A\n", "\"1\" don't 1\n", "", {PpTagWert(PPTAG_PLAIN_QUOTES, 1)}});
  // A copied white space run keeps at most 511 characters.
  Pruefe({"a" + std::string(511, ' ') + "b" + std::string(600, ' ') + "c\n",
          "a" + std::string(511, ' ') + "b" + std::string(511, ' ') + "c\n", "", {kLeerraum}});
}

TEST(PreProcessDirektiven, SonstigeDirektiven) {
  Pruefe({"#pragma pack( 1 )   // note\n"
          "#version   330 core\n"
          "#empty\n"
          "#\n"
          "#assert 1 > 2\n"
          "#assert 2 > 1\n"
          "#error it's \"broken\n"
          "done\n",
          "#pragma pack( 1 )\n#version 330 core\n#empty \ndone\n",
          "main:2: Warning: Illegal # command \"version\"\n"
          "main:3: Warning: Illegal # command \"empty\"\n"
          "main:5: Error: Preprocessor assertion failure\n"
          "main:7: Error: #error directive encountered\n",
          {PpTagWert(PPTAG_WARN_UNKNOWN_DIRECTIVE, 1)}});
  Pruefe({"#define f(x) [x]\nf(1\n#define Y 2\nY)\n", "[1 2]\n",
          "main:3: Warning: Control line \"define\" within macro expansion\n"});
}

TEST(PreProcessDirektiven, NamensGrenzen) {
  // The input name is kept to 511 characters.
  const std::string name(600, 'm');
  Pruefe({"#error x\n", "", std::string(511, 'm') + ":1: Error: #error directive encountered\n",
          {PpTagText(PPTAG_INPUT_NAME, name.c_str())}});
  // A function name is kept to 50 characters.
  const std::string lang(60, 'f');
  Pruefe({"void " + lang + "(void) { __FUNCTION__ }\n",
          "void " + lang + "(void) { \"" + std::string(50, 'f') + "\" }\n"});
  // The 21st function name is refused; the rest of the tag list still applies.
  std::vector<PreProcessTag> tags(20, PpTagText(PPTAG_INIT_FUNC_NAME, "g"));
  Pruefe({"x\n", "x\n", "", tags});
  tags.push_back(PpTagText(PPTAG_INIT_FUNC_NAME, "g"));
  tags.push_back(PpTagText(PPTAG_DEFINE, "STILL_APPLIED=1"));
  Pruefe({"STILL_APPLIED\n", "1\n", "main:0: Warning: Internal error!\n", tags});
}
