#pragma once
// Runs the preprocessor over text held in memory: main input through the input
// callback, include files from an in-memory table through the file opener, output and
// messages collected as text.
#include <map>
#include <string>
#include <vector>

#include "PreProcess.h"

namespace PpTest {

struct Ergebnis {
  int rueckgabe = -1;
  std::string ausgabe;
  std::string meldungen;
};

class Lauf {
 public:
  Lauf();
  ~Lauf();

  // An include file the opener can find under exactly this name.
  Lauf& Datei(const std::string& name, const std::string& inhalt);
  // Appended to the default tags (name "main", callbacks, no line markers, no banner);
  // later tags win.
  Lauf& Tag(PreProcessTag tag);
  Lauf& Markierungen() { return Tag(PpTagWert(PPTAG_LINE_MARKERS, 1)); }

  Ergebnis Start(const std::string& eingabe);

  // Names the opener was asked for, in order; files opened and closed.
  std::vector<std::string> gefragt;
  int geoeffnet = 0;
  int geschlossen = 0;

 private:
  struct Offen;
  static FILE* Oeffne(const char* name, const char* modus);
  static char* Eingabe(char* puffer, int groesse, void* benutzer);
  static void Ausgabe(int c, void* benutzer);
  static void Meldung(void* benutzer, const char* format, va_list argumente);

  std::map<std::string, std::string> dateien_;
  std::vector<PreProcessTag> tags_;
  std::string eingabe_;
  std::size_t pos_ = 0;
  Ergebnis ergebnis_;
};

// The message header as the preprocessor forms it.
std::string Kopf(const std::string& datei, int zeile, const std::string& schwere);

// Messages with each header shortened to "file:line: Severity: ", as the tables write them.
std::string Kurz(const std::string& meldungen);

// One run for a table: input, tags and include files, and what must come out. The result
// code is checked against the messages: 1 exactly when one is an error or fatal.
struct Fall {
  std::string eingabe;
  std::string ausgabe;
  std::string meldungen = "";
  std::vector<PreProcessTag> tags = {};
  std::map<std::string, std::string> dateien = {};
};
void Pruefe(const Fall& fall);

}  // namespace PpTest
