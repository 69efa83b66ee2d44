#pragma once
// The message table: numbers, texts and severities.
namespace Praeprozessor {

enum class Schwere { Fehler, Warnung, Fatal };

constexpr int kMeldungen = 67;

// printf format of message nr (0..66).
const char* MeldungsText(int nr);
Schwere MeldungsSchwere(int nr);
// "Error", "Warning" or "Fatal".
const char* SchwereWort(Schwere s);

}  // namespace Praeprozessor
