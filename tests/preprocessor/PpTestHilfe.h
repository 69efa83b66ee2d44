#pragma once
// Runs the preprocessor over text held in memory: main input through the input
// callback, include files from an in-memory table through the file opener, output and
// messages collected as text.
#include <map>
#include <string>
#include <vector>

#include "PreProcess.h"

namespace PpTest {

// A run: the input, tags appended to the default ones (name "main", callbacks, no line
// markers, no banner; later tags win) and include files the opener finds under exactly
// these names. For a table also what must come out, messages in the form of Kurz.
struct Fall {
  std::string eingabe;
  std::string ausgabe = "";
  std::string meldungen = "";
  std::vector<PreProcessTag> tags = {};
  std::map<std::string, std::string> dateien = {};
};

struct Ergebnis {
  int rueckgabe = -1;
  std::string ausgabe;
  std::string meldungen;
  std::vector<std::string> gefragt;  // names the opener was asked for, in order
  int geoeffnet = 0;
  int geschlossen = 0;
};

// Everything the run allocated and every file it opened must be released when it returns.
Ergebnis Starte(const Fall& fall);

// Messages with each header shortened to "file:line: Severity: ".
std::string Kurz(const std::string& meldungen);

// Runs a table's case and compares output and messages; the result code must be 1
// exactly when a message is an error or fatal. Returns the names the opener was asked for.
std::vector<std::string> Pruefe(const Fall& fall);

}  // namespace PpTest
