#pragma once
#include <cstdint>
#include <string>

// The engine exception: thrown by value, deliberately not derived from std::exception.
struct Quelm_Ausnahme {
  std::string text;
  std::string funktion;  // qualified name of the throwing function
  std::string datei;
  std::int64_t zeile = 0;

  Quelm_Ausnahme(const std::string& text, const std::string& funktion, const std::string& datei,
                 std::int64_t zeile);

  // The engine throws only through this.
  [[noreturn]] static void Wirf(const std::string& text, const std::string& funktion,
                                const std::string& datei, std::int64_t zeile);
};

// The engine's non-throwing error report: one error line in the log, then the caller
// returns without effect or with its failure result.
void MeldeAusnahme(const std::string& text, const std::string& funktion, const std::string& datei,
                   std::int64_t zeile);
