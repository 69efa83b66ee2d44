// Agreement with the GNU C preprocessor ("cpp -P", run as a reference) on standard
// input where both define the same result: the token sequences must be equal, white
// space aside.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "PpTestHilfe.h"
#include "TempOrdner.h"

namespace {

// Splits C text into tokens, ignoring white space: names and numbers (with a sign after
// an exponent), character and string literals, the longer operators, single characters.
std::vector<std::string> Tokens(const std::string& s) {
  static const std::regex kToken(
      R"(\.?[0-9](?:[eEpP][+-]|[A-Za-z0-9_$.])*|[A-Za-z_$][A-Za-z0-9_$.]*|"(?:\\.|[^"\\\n])*"?)"
      R"(|'(?:\\.|[^'\\\n])*'?|<<=|>>=|\.\.\.|->|\+\+|--|<<|>>|&&|\|\||##|[-<>=!*/%+&^|]=|\S)");
  std::vector<std::string> t;
  for (std::sregex_iterator i(s.begin(), s.end(), kToken), ende; i != ende; ++i) t.push_back(i->str());
  return t;
}

std::string GnuCpp(const TempOrdner& v) {
  const std::string ordner = v.pfad().string();
  const std::string befehl = "cpp -P -undef -I '" + ordner + "/inc' '" + ordner + "/main.c' 2>/dev/null";
  FILE* rohr = popen(befehl.c_str(), "r");
  if (rohr == nullptr) return {};
  std::string aus;
  char puffer[4096];
  std::size_t n;
  while ((n = std::fread(puffer, 1, sizeof puffer, rohr)) > 0) aus.append(puffer, n);
  pclose(rohr);
  return aus;
}

// Ours over the same files, read from memory under the same paths.
PpTest::Ergebnis Unser(const TempOrdner& v, const std::map<std::string, std::string>& dateien) {
  const std::string ordner = v.pfad().string() + "/";
  PpTest::Fall fall{dateien.at("main.c")};
  for (const auto& [name, inhalt] : dateien) fall.dateien[ordner + name] = inhalt;
  const std::string haupt = ordner + "main.c", inc = ordner + "inc";
  fall.tags = {PpTagText(PPTAG_INPUT_NAME, haupt.c_str()), PpTagText(PPTAG_INCLUDE_DIR, inc.c_str())};
  return PpTest::Starte(fall);
}

// Runs both over main.c (and the other files) and compares.
void Vergleiche(const std::map<std::string, std::string>& dateien) {
  TempOrdner v;
  for (const auto& [name, inhalt] : dateien) SchreibeDatei(v.pfad() / name, inhalt);
  const std::string gnu = GnuCpp(v);
  const PpTest::Ergebnis unser = Unser(v, dateien);
  const auto g = Tokens(gnu);
  const auto u = Tokens(unser.ausgabe);
  ASSERT_FALSE(g.empty()) << "cpp gave no output";
  std::size_t i = 0;
  while (i < g.size() && i < u.size() && g[i] == u[i]) ++i;
  if (i < g.size() || i < u.size()) {
    ADD_FAILURE() << "token " << i << ": cpp \"" << (i < g.size() ? g[i] : "<end>") << "\", ours \""
                  << (i < u.size() ? u[i] : "<end>") << "\"\n--- cpp ---\n"
                  << gnu << "--- ours ---\n" << unser.ausgabe << "--- messages ---\n" << unser.meldungen;
  }
}

}  // namespace

class PreProcessGnuVergleich : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("cpp --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "cpp is not installed";
  }
};

TEST_F(PreProcessGnuVergleich, FesteProgramme) {
  const std::map<std::string, std::string> programme[] = {
      // Object-like and function-like macros, rescanning
      {{"main.c",
        "#define A 1\n"
        "#define B (A + 2)\n"
        "#define f(x, y) ((x) * (y) + B)\n"
        "#define g(x) f(x, x)\n"
        "#define EMPTY\n"
        "#define h() EMPTY done\n"
        "#define call f\n"
        "int a = f(1, 2);\n"
        "int b = g(A) + g(f(1, 2));\n"
        "int c = h() + f((1, 2), (3, 4)) + call(5, 6);\n"
        "int e = f(\n"
        "   10,\n"
        "   20) + B;\n"
        "#undef B\n"
        "#define B 99\n"
        "int u = B + f(0, 0) - -A - - A;\n"
        "#define NEG -1\n"
        "int v = -NEG + +A;\n"
        "#define $dollar 7\n"
        "int w = $dollar;\n"}},
      // # and ##
      {{"main.c",
        "#define str(x) #x\n"
        "#define cat(a, b) a ## b\n"
        "#define t(x,y,z) x ## y ## z\n"
        "const char* s1 = str(hello   world);\n"
        "const char* s2 = str( \"quoted \\\"x\\\" \\\\ \" 'c' '\\'' );\n"
        "const char* s3 = str(VER) str() str( a+b  +  c ) ;\n"
        "int cat(var, 1) = cat(1, 2) + cat(0x, 1F) + cat(1e, +5) + cat(.5, e3);\n"
        "int cat(, empty) = cat(empty, ) cat(-, =) cat(<<, =) cat(#, #);\n"
        "int j[] = { t(1,2,3), t(,4,5), t(6,,7), t(8,9,),\n"
        " t(10,,), t(,11,), t(,,12), t(,,) };\n"}},
      // Conditionals and #if arithmetic
      {{"main.c",
        "#define ONE 1\n"
        "#define TWO (ONE + ONE)\n"
        "#if TWO == 2 && defined(ONE) && !defined THREE\n"
        "yes1\n"
        "#endif\n"
        "#if (TWO * 3 - 1) / 5 == 1 && 7 % 3 == 1 && 1 << 4 == 16 && -8 >> 1 == -4\n"
        "yes2\n"
        "#elif 1\n"
        "no2\n"
        "#endif\n"
        "#ifdef THREE\n"
        "no3\n"
        "#elif TWO > ONE ? 1 : 0\n"
        "yes3\n"
        "#else\n"
        "no3b\n"
        "#endif\n"
        "#ifndef ONE\n"
        "no4\n"
        "#else\n"
        "# if 0\n"
        "no5\n"
        "# elif ~0 == -1 && !0 && (0x10 | 3) == 19 && (6 ^ 3) == 5 && 'a' == 97 && '\\n' == 10\n"
        "yes5\n"
        "# endif\n"
        "#endif\n"
        "#define F(x) ((x) * 2)\n"
        "#if F(3) == 6 && F(F(1)) == 4 && 010 == 8 && 0x1f == 31 && 100L == 100\n"
        "yes6\n"
        "#endif\n"
        "#if 1 + 2 * 3 - 4 / 2 == 5 && 1 | 2 ^ 3 & 4 && 2 + 3 << 1 == 10 && 1 < 2 == 1 && 1 & 2 == 2\n"
        "yes7\n"
        "#endif\n"
        "#if (1 | 2 ^ 3) == 1 && (1 ^ 3 & 2) == 3 && (1 || 0 && 0) && (4 >> 1 < 3) == 1 && !(0 && 1 | 1)\n"
        "yes9\n"
        "#endif\n"
        "#if 0 && (1 / 0) || 5 > 3 ? 0 ? 1 : 2 : 3\n"
        "yes8\n"
        "#endif\n"
        "#if 1 <= 1 && !(2 <= 1) && 1 >= 1 && !(1 >= 2) && 1 != 2 && !(1 != 1) && (1 || 1)\n"
        "yes10\n"
        "#endif\n"
        "#if 3 < 1 << 2 && -7 / 2 == -3 && -7 % 2 == -1\nyes11\n#endif\n"
        "#if 0\n#if 0\n#elif 1\nno9\n#endif\n#endif\n"}},
      // Includes relative to the including file, comments and splices
      {{"main.c",
        "#include \"sub/inner.h\"\n"
        "INNER\n"
        "/* a comment */ int /* in the middle */ x; // trailing\n"
        "#define LONG_MACRO(a, b) \\\n"
        "   ((a) + \\\n"
        "    (b))\n"
        "int y = LONG_MACRO(1,\n"
        "                   2);\n"
        "int z = LONG_MA\\\n"
        "CRO(3, 4);\n"
        "  # define INDENTED 5\n"
        "INDENTED\n"},
       {"sub/inner.h", "#include \"deeper.h\"\n#define INNER inner DEEPER\n"},
       {"sub/deeper.h", "#define DEEPER 33\n"}},
  };
  for (const auto& dateien : programme) Vergleiche(dateien);
}
