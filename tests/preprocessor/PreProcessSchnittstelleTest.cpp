// The tag list, predefined names, result codes, message forming and the standard
// streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "PpTestHilfe.h"

using PpTest::Pruefe;

TEST(PreProcessSchnittstelle, VordefinierteNamenBleiben) {
  auto e = PpTest::Starte({"quelmcpp __DATE__ __TIME__ __LINE__ __FILE__ __FUNCTION__ __FUNC_LINE__\n",
                           "", "", {PpTagWert(PPTAG_NO_PREDEFINES, 1), PpTagWert(PPTAG_NO_BUILTINS, 1)}});
  // "Mmm dd yyyy" and "hh:mm:ss", day and hour padded with a blank.
  EXPECT_TRUE(std::regex_match(e.ausgabe, std::regex("1 \"[A-Z][a-z][a-z] [ 1-3][0-9] [0-9]{4}\" "
                                                     "\"[ 0-2][0-9]:[0-5][0-9]:[0-5][0-9]\" "
                                                     "1 \"main\" \"<unknown function>\" 0\n")))
      << e.ausgabe;
}

TEST(PreProcessSchnittstelle, DefineUndUndefineTags) {
  // The text is only read, so a literal works and the caller's buffer stays as it was.
  char puffer[] = "X=5";
  Pruefe({"A ONE X S quelmcpp\n", "B=C 1 5 \"a  b\" + 1 2\n",
          "main:0: Error: Redefining defined variable \"quelmcpp\"\nmain:0: Error: #define syntax error\n",
          {PpTagText(PPTAG_DEFINE, "A=B=C"), PpTagText(PPTAG_DEFINE, "ONE"), PpTagText(PPTAG_DEFINE, puffer),
           PpTagText(PPTAG_DEFINE, "S=\"a  b\"  +  1"), PpTagText(PPTAG_DEFINE, "quelmcpp=2"),
           PpTagText(PPTAG_DEFINE, "1bad=3")}});
  EXPECT_STREQ(puffer, "X=5");
  Pruefe({"GONE\n", "GONE\n",
          "main:0: Warning: \"NIX\" wasn't defined\n"
          "main:0: Warning: Internal error!\nmain:0: Warning: Internal error!\n",
          {PpTagText(PPTAG_DEFINE, "GONE=1"), PpTagText(PPTAG_UNDEFINE, "GONE"),
           PpTagText(PPTAG_UNDEFINE, "NIX"), PpTagWert(36, 1), PpTagWert(-1, 1)}});
}

TEST(PreProcessSchnittstelle, Schalter) {
  // Errors can be ignored, a fatal message cannot: it stops the run and the output is
  // incomplete.
  const std::vector<PreProcessTag> ignorieren = {PpTagWert(PPTAG_IGNORE_ERRORS, 1)};
  auto e = PpTest::Starte({"#error x\nafter\n", "", "", ignorieren});
  EXPECT_EQ(e.rueckgabe, 0);
  EXPECT_EQ(e.ausgabe, "after\n");
  auto f = PpTest::Starte({"before\n#define A " + std::string(600, 'x') + "\nafter\n", "", "", ignorieren});
  EXPECT_EQ(f.ausgabe, "before\n");
  EXPECT_EQ(f.rueckgabe, 1);

  auto b = PpTest::Starte({"", "", "", {PpTagWert(PPTAG_SHOW_BANNER, 1)}});
  EXPECT_EQ(b.meldungen.rfind("quelmcpp C preprocessor, version 1.0 (built ", 0), 0u) << b.meldungen;

  Pruefe({"text\n#error x\n", "", "main:2: Error: #error directive encountered\n",
          {PpTagWert(PPTAG_OUTPUT_ON, 0)}});
  Pruefe({"( [ { ] ] \"(\"\n)", "( [ { ] ] \"(\"\n)\n",
          "main:2: Warning: Illegal bracket '[]' balance, depth = -1\n"
          "main:2: Warning: Illegal brace '{}' balance, depth = 1\n",
          {PpTagWert(PPTAG_WARN_BALANCE, 1)}});
}

TEST(PreProcessSchnittstelle, IncludeVerzeichnisseUndVorIncludes) {
  std::vector<PreProcessTag> tags(19, PpTagText(PPTAG_INCLUDE_DIR, "leer"));
  tags.push_back(PpTagText(PPTAG_INCLUDE_DIR, "d20"));
  Pruefe({"#include <x.h>\n", "found\n", "", tags, {{"d20/x.h", "found\n"}}});
  // The 21st directory ends the tag list (the define after it is not applied); the run goes on.
  tags.push_back(PpTagText(PPTAG_INCLUDE_DIR, "d"));
  tags.push_back(PpTagText(PPTAG_DEFINE, "LATE=1"));
  Pruefe({"LATE\n", "LATE\n", "main:0: Fatal: Too many include directories\n", tags});

  Pruefe({"main P\n", "one\ntwo 1\nmain 1\n", "main:1: Warning: Cannot open include file \"fehlt.h\"\n",
          {PpTagText(PPTAG_PREINCLUDE, "p1.h"), PpTagText(PPTAG_PREINCLUDE_SHOWN, "p2.h"),
           PpTagText(PPTAG_PREINCLUDE, "fehlt.h")},
          {{"p1.h", "#define P 1\none\n"}, {"p2.h", "two P\n"}}});
  std::vector<PreProcessTag> vor(20, PpTagText(PPTAG_PREINCLUDE, "p.h"));
  std::string zwanzig;
  for (int i = 0; i < 20; ++i) zwanzig += "p\n";
  Pruefe({"m\n", zwanzig + "m\n", "", vor, {{"p.h", "p\n"}}});
  vor.push_back(PpTagText(PPTAG_PREINCLUDE, "p.h"));
  Pruefe({"m\n", zwanzig + "m\n", "main:0: Fatal: Too many include files\n", vor, {{"p.h", "p\n"}}});
}

namespace {

std::string gesammelt;
void Sammle(int c, void*) { gesammelt += static_cast<char>(c); }

// Runs the tag list with fd 0 reading text.
int MitStdin(const std::string& text, PreProcessTag* tags) {
  int rohr[2];
  EXPECT_EQ(pipe(rohr), 0);
  EXPECT_EQ(write(rohr[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(rohr[1]);
  const int alt = dup(0);
  dup2(rohr[0], 0);
  close(rohr[0]);
  clearerr(stdin);
  PreProcessState zustand;
  const int r = PreProcess(tags, &zustand);
  dup2(alt, 0);
  close(alt);
  clearerr(stdin);
  return r;
}

}  // namespace

TEST(PreProcessSchnittstelle, StandardEingabeUndAusgabe) {
  PreProcessTag tags[] = {PpTagFunktion(PPTAG_OUTPUT, &Sammle), PpTagWert(PPTAG_SHOW_BANNER, 0),
                          PpTagWert(PPTAG_LINE_MARKERS, 0), {PPTAG_END, 0}};
  EXPECT_EQ(MitStdin("#define A 42\nA\n", tags), 0);
  EXPECT_EQ(gesammelt, "42\n");
  // The bare tag list reads standard input and has nowhere to write.
  PreProcessTag leer[] = {{PPTAG_END, 0}};
  EXPECT_EQ(MitStdin("x\n", leer), 0);
  // Standard output is flushed, never closed: it stays usable after runs.
  EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1);
  EXPECT_EQ(std::fflush(stdout), 0);
}

TEST(PreProcessSchnittstelle, EingabeStueckeUnabhaengigVonZeilen) {
  // The input arrives in chunks of 511 bytes; a splice, a CR LF and a comment cut by the
  // chunk boundary read as if uncut.
  Pruefe({std::string(510, 'a') + "\\\nb c\n", std::string(510, 'a') + "b c\n"});
  Pruefe({std::string(510, 'z') + "\r\nw\n", std::string(510, 'z') + "\nw\n"});
  Pruefe({std::string(505, 'x') + " /* " + std::string(20, '*') + " */ y\n", std::string(505, 'x') + " y\n"});
}
