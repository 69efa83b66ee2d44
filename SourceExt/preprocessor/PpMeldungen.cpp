#include "PpMeldungen.h"

namespace Praeprozessor {

namespace {
const char* const kTexte[kMeldungen] = {
    "#%s must be in an #if",                                       // 0
    "#%s may not follow #else",                                    // 1
    "#error directive encountered",                                // 2
    "Preprocessor assertion failure",                              // 3
    "#if, #ifdef, or #ifndef without an argument",                 // 4
    "#include syntax error",                                       // 5
    "#define syntax error",                                        // 6
    "Redefining defined variable \"%s\"",                          // 7
    "Illegal #undef argument",                                     // 8
    "Recursive macro definition of \"%s\"(Defined by \"%s\")",     // 9
    "end of file within macro argument",                           // 10
    "misplaced constant in #if",                                   // 11
    "#if value stack overflow",                                    // 12
    "Illegal #if line",                                            // 13
    "Operator %s in incorrect context",                            // 14
    "expression stack overflow at op \"%s\"",                      // 15
    "unbalanced paren's, op is \"%s\"",                            // 16
    "Misplaced '?' or ':', previous operator is %s",               // 17
    "Can't use a string in an #if",                                // 18
    "Bad #if ... defined() syntax",                                // 19
    "= not allowed in #if",                                        // 20
    "Unexpected \\ in #if",                                        // 21
    "#if ... sizeof() syntax error",                               // 22
    "#if sizeof, unknown type \"%s\"",                             // 23
    "#if ... sizeof: illegal type combination",                    // 24
    "#if sizeof() error, no type specified",                       // 25
    "Unterminated string",                                         // 26
    "EOF in comment",                                              // 27
    "Inside #ifdef block at end of input, depth = %d",             // 28
    "illegal character '%c' in #if",                               // 29
    "illegal character (%d decimal) in #if",                       // 30
    "#if ... sizeof: bug, unknown type code 0x%x",                 // 31
    "#if bug, operand = %d.",                                      // 32
    "Strange character '%c' after ##",                             // 33
    "Strange character (%d.) after ##",                            // 34
    "",                                                            // 35
    "Control line \"%s\" within macro expansion",                  // 36
    "Illegal # command \"%s\"",                                    // 37
    "Unexpected text in #control line ignored",                    // 38
    "too few values specified to sizeof",                          // 39
    "too many values specified to sizeof! Not used.",              // 40
    "\"%s\" wasn't defined",                                       // 41
    "Internal error!",                                             // 42
    "Macro \"%s\" needs arguments",                                // 43
    "Wrong number of macro arguments for \"%s\"",                  // 44
    "%s by zero in #if, zero result assumed",                      // 45
    "Illegal digit in octal number",                               // 46
    "multi-byte constant '%c' isn't portable",                     // 47
    "Cannot open include file \"%s\"",                             // 48
    "Illegal bracket '[]' balance, depth = %d",                    // 49
    "Illegal parentheses '()' balance, depth = %d",                // 50
    "Illegal brace '{}' balance, depth = %d",                      // 51
    "Nested comment",                                              // 52
    "",                                                            // 53
    "Too many nested #%s statements",                              // 54
    "Filename work buffer overflow",                               // 55
    "Too many include directories",                                // 56
    "Too many include files",                                      // 57
    "Too many arguments for macro",                                // 58
    "Macro work area overflow",                                    // 59
    "Bug: Illegal __ macro \"%s\"",                                // 60
    "Too many arguments in macro expansion",                       // 61
    "Out of space in macro \"%s\" arg expansion",                  // 62
    "work buffer overflow doing %s ##",                            // 63
    "Work buffer overflow",                                        // 64
    "Out of memory",                                               // 65
    "Too much pushback",                                           // 66
};
}  // namespace

const char* MeldungsText(int nr) { return nr >= 0 && nr < kMeldungen ? kTexte[nr] : ""; }

Schwere MeldungsSchwere(int nr) {
  if (nr <= 34) return Schwere::Fehler;
  if (nr <= 52) return Schwere::Warnung;
  return Schwere::Fatal;
}

const char* SchwereWort(Schwere s) {
  switch (s) {
    case Schwere::Fehler: return "Error";
    case Schwere::Warnung: return "Warning";
    case Schwere::Fatal: return "Fatal";
  }
  return "";
}

}  // namespace Praeprozessor
