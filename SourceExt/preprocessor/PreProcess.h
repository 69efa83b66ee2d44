#pragma once
// The engine's C preprocessor. A run is configured by a tag list (pairs {id, data}
// ended by PPTAG_END) and talks to its caller only through callbacks: input of the main
// text, output characters, messages and opening include files.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>

enum : std::int32_t {
  PPTAG_END = 0,
  PPTAG_KEEP_COMMENTS = 1,
  PPTAG_DEFINE = 2,
  PPTAG_IGNORE_ERRORS = 3,
  PPTAG_INCLUDE_DIR = 4,
  PPTAG_NO_PREDEFINES = 5,
  PPTAG_NO_BUILTINS = 6,
  PPTAG_NO_LINE_COMMENTS = 7,
  PPTAG_SIZEOF_TABLE = 8,
  PPTAG_UNDEFINE = 9,
  PPTAG_DUMP_DEFINES = 10,
  PPTAG_INPUT_NAME = 11,
  PPTAG_INPUT = 12,
  PPTAG_OUTPUT = 13,
  PPTAG_USERDATA = 14,
  PPTAG_LINE_MARKERS = 15,
  PPTAG_ERROR = 16,
  PPTAG_WARN_UNKNOWN_DIRECTIVE = 17,
  PPTAG_LINE_KEYWORD = 18,
  PPTAG_SHOW_BANNER = 19,
  PPTAG_SHOW_INCLUDES = 20,
  PPTAG_WARN_BALANCE = 21,
  PPTAG_KEEP_SPACE = 22,
  PPTAG_NESTED_COMMENTS = 23,
  PPTAG_WARN_NESTED_COMMENTS = 24,
  PPTAG_WARN_MISSING_INCLUDE = 25,
  PPTAG_OUTPUT_ON = 26,
  PPTAG_PREINCLUDE_SHOWN = 27,
  PPTAG_PREINCLUDE = 28,
  PPTAG_CONCAT_EXPAND_RIGHT = 29,
  PPTAG_INIT_FUNC_TEXT = 30,
  PPTAG_INIT_FUNC_NAME = 31,
  PPTAG_SHOW_FUNCTIONS = 32,
  PPTAG_PLAIN_QUOTES = 33,
  PPTAG_LOCAL_INCLUDE_FIRST = 34,
  PPTAG_FILE_OPEN = 35,
};

// data holds a flag (non-zero = on), a number, a text, a pointer or a function, by id.
struct PreProcessTag {
  std::int32_t id;
  std::intptr_t data;
};

// Fills buffer with at most size - 1 characters and a zero; null at the end of input.
using PreProcessInput = char* (*)(char* buffer, int size, void* userdata);
// One output character (0..255).
using PreProcessOutput = void (*)(int c, void* userdata);
// One printf-style piece of a message, a banner or a report.
using PreProcessError = void (*)(void* userdata, const char* format, va_list arguments);
// Opens an include file; null when it cannot be opened.
using PreProcessFileOpen = FILE* (*)(const char* name, const char* mode);

inline PreProcessTag PpTagWert(std::int32_t id, std::intptr_t wert) { return {id, wert}; }
inline PreProcessTag PpTagText(std::int32_t id, const char* text) {
  return {id, reinterpret_cast<std::intptr_t>(text)};
}
inline PreProcessTag PpTagZeiger(std::int32_t id, void* zeiger) {
  return {id, reinterpret_cast<std::intptr_t>(zeiger)};
}
template <class R, class... A>
inline PreProcessTag PpTagFunktion(std::int32_t id, R (*funktion)(A...)) {
  return {id, reinterpret_cast<std::intptr_t>(funktion)};
}

namespace Praeprozessor {
class Lauf;
}

// The state of one run. The caller provides it; PreProcess starts it cleared and
// releases everything the run allocated (macros, levels, open files) before returning.
class PreProcessState {
 public:
  PreProcessState();
  ~PreProcessState();
  PreProcessState(const PreProcessState&) = delete;
  PreProcessState& operator=(const PreProcessState&) = delete;

 private:
  friend int PreProcess(const PreProcessTag* tags, PreProcessState* state);
  std::unique_ptr<Praeprozessor::Lauf> lauf_;
};

// Runs the preprocessor once. 0: success; 1: errors were counted (unless
// PPTAG_IGNORE_ERRORS), a fatal message stopped the run, or memory ran out.
int PreProcess(const PreProcessTag* tags, PreProcessState* state);
