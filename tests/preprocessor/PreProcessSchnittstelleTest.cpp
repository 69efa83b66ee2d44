// The tag list, predefined names, result codes, message forming and the standard
// streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "PpTestHilfe.h"

using PpTest::Kopf;

TEST(PreProcessSchnittstelle, VordefinierteNamenBleiben) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagWert(PPTAG_NO_PREDEFINES, 1)).Tag(PpTagWert(PPTAG_NO_BUILTINS, 1));
  auto e = lauf.Start(
      "#if defined(quelmcpp) && defined(__LINE__) && defined(__FILE__) && defined(__FUNCTION__) "
      "&& defined(__FUNC_LINE__) && defined(__DATE__) && defined(__TIME__)\n"
      "quelmcpp __DATE__ __TIME__\n#endif\n");
  // "Mmm dd yyyy" and "hh:mm:ss", day and hour padded with a blank.
  const std::string& a = e.ausgabe;
  ASSERT_EQ(a.size(), std::string("1 \"Jun 11 2024\" \"12:34:56\"\n").size()) << a;
  EXPECT_EQ(a.substr(0, 3), "1 \"");
  EXPECT_TRUE(std::isupper(static_cast<unsigned char>(a[3])) && std::islower(static_cast<unsigned char>(a[4]))) << a;
  EXPECT_EQ(a[6], ' ');
  EXPECT_TRUE(a[7] == ' ' || std::isdigit(static_cast<unsigned char>(a[7]))) << a;
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(a[8])) && a[9] == ' ') << a;
  EXPECT_EQ(a.substr(14, 3), "\" \"");
  EXPECT_TRUE(a[19] == ':' && a[22] == ':' && a[25] == '"') << a;
}

TEST(PreProcessSchnittstelle, DefineTag) {
  // The text is only read, so a literal works and the caller's buffer stays as it was.
  char puffer[] = "X=5";
  PpTest::Lauf lauf;
  lauf.Tag(PpTagText(PPTAG_DEFINE, "A=B=C"))
      .Tag(PpTagText(PPTAG_DEFINE, "ONE"))
      .Tag(PpTagText(PPTAG_DEFINE, puffer))
      .Tag(PpTagText(PPTAG_DEFINE, "S=\"a  b\"  +  1"))
      .Tag(PpTagText(PPTAG_DEFINE, "quelmcpp=2"))
      .Tag(PpTagText(PPTAG_DEFINE, "1bad=3"));
  auto e = lauf.Start("A ONE X S quelmcpp\n");
  EXPECT_EQ(e.ausgabe, "B=C 1 5 \"a  b\" + 1 2\n");
  EXPECT_STREQ(puffer, "X=5");
  EXPECT_EQ(e.meldungen, Kopf("main", 0, "Error") + "Redefining defined variable \"quelmcpp\"\n" +
                             Kopf("main", 0, "Error") + "#define syntax error\n");
}

TEST(PreProcessSchnittstelle, UndefineTagUndUnbekannteTags) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagText(PPTAG_DEFINE, "GONE=1"))
      .Tag(PpTagText(PPTAG_UNDEFINE, "GONE"))
      .Tag(PpTagText(PPTAG_UNDEFINE, "NIX"))
      .Tag(PpTagWert(36, 1))
      .Tag(PpTagWert(-1, 1));
  auto e = lauf.Start("GONE\n");
  EXPECT_EQ(e.ausgabe, "GONE\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 0, "Warning") + "\"NIX\" wasn't defined\n" +
                             Kopf("main", 0, "Warning") + "Internal error!\n" +
                             Kopf("main", 0, "Warning") + "Internal error!\n");
  EXPECT_EQ(e.rueckgabe, 0);
}

TEST(PreProcessSchnittstelle, Rueckgabe) {
  EXPECT_EQ(PpTest::Lauf().Start("#error x\n").rueckgabe, 1);
  PpTest::Lauf ignorieren;
  ignorieren.Tag(PpTagWert(PPTAG_IGNORE_ERRORS, 1));
  auto e = ignorieren.Start("#error x\nafter\n");
  EXPECT_EQ(e.rueckgabe, 0);
  EXPECT_EQ(e.ausgabe, "after\n");
  EXPECT_EQ(PpTest::Lauf().Start("#define f(x) x\nf\n").rueckgabe, 0);  // warnings only
  // A fatal message stops the run and the output is incomplete: that is a failure.
  PpTest::Lauf fatal;
  fatal.Tag(PpTagWert(PPTAG_IGNORE_ERRORS, 1));
  auto f = fatal.Start("before\n#define A " + std::string(600, 'x') + "\nafter\n");
  EXPECT_EQ(f.ausgabe, "before\n");
  EXPECT_EQ(f.rueckgabe, 1);
}

TEST(PreProcessSchnittstelle, IncludeVerzeichnisGrenze) {
  PpTest::Lauf gut;
  for (int i = 0; i < 19; ++i) gut.Tag(PpTagText(PPTAG_INCLUDE_DIR, "leer"));
  gut.Tag(PpTagText(PPTAG_INCLUDE_DIR, "d20")).Datei("d20/x.h", "found\n");
  auto g = gut.Start("#include <x.h>\n");
  EXPECT_EQ(g.ausgabe, "found\n");
  EXPECT_EQ(g.meldungen, "");

  // The 21st directory ends the tag list (the define after it is not applied); the run goes on.
  PpTest::Lauf voll;
  for (int i = 0; i < 21; ++i) voll.Tag(PpTagText(PPTAG_INCLUDE_DIR, "d"));
  voll.Tag(PpTagText(PPTAG_DEFINE, "LATE=1"));
  auto v = voll.Start("LATE\n");
  EXPECT_EQ(v.ausgabe, "LATE\n");
  EXPECT_EQ(v.meldungen, Kopf("main", 0, "Fatal") + "Too many include directories\n");
  EXPECT_EQ(v.rueckgabe, 1);
}

TEST(PreProcessSchnittstelle, VorIncludes) {
  PpTest::Lauf lauf;
  lauf.Tag(PpTagText(PPTAG_PREINCLUDE, "p1.h"))
      .Tag(PpTagText(PPTAG_PREINCLUDE_SHOWN, "p2.h"))
      .Tag(PpTagText(PPTAG_PREINCLUDE, "fehlt.h"))
      .Datei("p1.h", "#define P 1\none\n")
      .Datei("p2.h", "two P\n");
  auto e = lauf.Start("main P\n");
  EXPECT_EQ(e.ausgabe, "one\ntwo 1\nmain 1\n");
  EXPECT_EQ(e.meldungen, Kopf("main", 1, "Warning") + "Cannot open include file \"fehlt.h\"\n");

  PpTest::Lauf voll;
  for (int i = 0; i < 20; ++i) voll.Tag(PpTagText(PPTAG_PREINCLUDE, "p.h"));
  voll.Datei("p.h", "p\n");
  std::string zwanzig;
  for (int i = 0; i < 20; ++i) zwanzig += "p\n";
  EXPECT_EQ(voll.Start("m\n").ausgabe, zwanzig + "m\n");
  PpTest::Lauf zuViele;
  for (int i = 0; i < 21; ++i) zuViele.Tag(PpTagText(PPTAG_PREINCLUDE, "p.h"));
  zuViele.Datei("p.h", "p\n");
  auto z = zuViele.Start("m\n");
  EXPECT_EQ(z.meldungen, Kopf("main", 0, "Fatal") + "Too many include files\n");
  EXPECT_EQ(z.ausgabe.substr(z.ausgabe.size() - 4), "p\nm\n");
}

TEST(PreProcessSchnittstelle, BannerAusgabeSchalterUndKlammern) {
  PpTest::Lauf banner;
  banner.Tag(PpTagWert(PPTAG_SHOW_BANNER, 1));
  auto b = banner.Start("");
  EXPECT_EQ(b.meldungen.rfind("quelmcpp C preprocessor, version 1.0 (built ", 0), 0u) << b.meldungen;

  PpTest::Lauf aus;
  aus.Tag(PpTagWert(PPTAG_OUTPUT_ON, 0));
  auto a = aus.Start("text\n#error x\n");
  EXPECT_EQ(a.ausgabe, "");
  EXPECT_EQ(a.rueckgabe, 1);

  PpTest::Lauf klammern;
  klammern.Tag(PpTagWert(PPTAG_WARN_BALANCE, 1));
  auto k = klammern.Start("( [ { ] ] \"(\"\n)");
  EXPECT_EQ(k.meldungen, Kopf("main", 2, "Warning") + "Illegal bracket '[]' balance, depth = -1\n" +
                             Kopf("main", 2, "Warning") + "Illegal brace '{}' balance, depth = 1\n");
}

namespace {
// Keeps fd 0 redirected while alive.
class StdinAus {
 public:
  explicit StdinAus(const std::string& text) {
    int rohr[2];
    EXPECT_EQ(pipe(rohr), 0);
    EXPECT_EQ(write(rohr[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(rohr[1]);
    alt_ = dup(0);
    dup2(rohr[0], 0);
    close(rohr[0]);
    clearerr(stdin);
  }
  ~StdinAus() {
    dup2(alt_, 0);
    close(alt_);
    clearerr(stdin);
  }

 private:
  int alt_;
};

std::string gesammelt;
void Sammle(int c, void*) { gesammelt += static_cast<char>(c); }
}  // namespace

TEST(PreProcessSchnittstelle, StandardEingabeUndAusgabe) {
  {
    StdinAus ein("#define A 42\nA\n");
    gesammelt.clear();
    PreProcessTag tags[] = {PpTagFunktion(PPTAG_OUTPUT, &Sammle), PpTagWert(PPTAG_SHOW_BANNER, 0),
                            PpTagWert(PPTAG_LINE_MARKERS, 0), {PPTAG_END, 0}};
    PreProcessState zustand;
    EXPECT_EQ(PreProcess(tags, &zustand), 0);
    EXPECT_EQ(gesammelt, "42\n");
  }
  {
    // The bare tag list reads standard input and has nowhere to write.
    StdinAus ein("x\n");
    PreProcessTag leer[] = {{PPTAG_END, 0}};
    PreProcessState zustand;
    EXPECT_EQ(PreProcess(leer, &zustand), 0);
  }
  // Standard output is flushed, never closed: it stays usable after runs.
  EXPECT_NE(fcntl(STDOUT_FILENO, F_GETFD), -1);
  EXPECT_NE(std::fputs("", stdout), EOF);
  EXPECT_EQ(std::fflush(stdout), 0);
  EXPECT_FALSE(std::ferror(stdout));
  // The next file opened does not take the standard output's descriptor.
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EXPECT_NE(fileno(f), STDOUT_FILENO);
  std::fclose(f);
}

TEST(PreProcessSchnittstelle, EingabeStueckeUnabhaengigVonZeilen) {
  // The input arrives in chunks of 511 bytes; a splice, a CR LF and a comment cut by the
  // chunk boundary read as if uncut.
  const std::string gespleisst = std::string(510, 'a') + "\\\n" + "b c\n";
  EXPECT_EQ(PpTest::Lauf().Start(gespleisst).ausgabe, std::string(510, 'a') + "b c\n");
  const std::string crlf = std::string(510, 'z') + "\r\n" + "w\n";
  EXPECT_EQ(PpTest::Lauf().Start(crlf).ausgabe, std::string(510, 'z') + "\nw\n");
  const std::string kommentar = std::string(505, 'x') + " /* " + std::string(20, '*') + " */ y\n";
  EXPECT_EQ(PpTest::Lauf().Start(kommentar).ausgabe, std::string(505, 'x') + " y\n");
}
