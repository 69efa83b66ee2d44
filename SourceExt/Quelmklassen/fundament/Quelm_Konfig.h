#pragma once
#include <filesystem>
#include <string>

// The configuration file: every console variable flagged Dauerhaft, as XML.
namespace Quelm_Konfig {

// Remembers folder/name as the configuration path, then reads it and sets every variable
// the file names. A file that is there but cannot be read or parsed is copied to
// "<name>.defekt" first, with a log line naming the damage. Only a regular file is read: a
// device or FIFO leaves the defaults, with a log line saying so.
void Lade(const std::filesystem::path& ordner, const std::string& dateiName);

// Writes the saved variables to the remembered path. A regular file is replaced, keeping its
// owner and mode; anything else (a device, a FIFO) is written into. Returns false when nothing
// could be written (no path yet, or the file could not be replaced or written); a replaced
// file then stays as it was.
// A failure with a path is logged, and SpeicherFehler() tells it.
bool Speichere();

// Why the last save failed (empty after a save that worked or had no path).
const std::string& SpeicherFehler();

// The remembered path (empty before the first load).
const std::filesystem::path& Pfad();

}  // namespace Quelm_Konfig
