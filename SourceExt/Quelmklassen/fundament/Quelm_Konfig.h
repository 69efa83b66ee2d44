#pragma once
#include <filesystem>
#include <string>

// The configuration file: every console variable flagged Dauerhaft, as XML.
namespace Quelm_Konfig {

// Remembers folder/name as the configuration path, then reads it and sets every variable
// the file names.
void Lade(const std::filesystem::path& ordner, const std::string& dateiName);

// Writes the saved variables to the remembered path. Returns false when nothing could be
// written (no path yet, or the file could not be replaced); the old file then stays.
bool Speichere();

// The remembered path (empty before the first load).
const std::filesystem::path& Pfad();

}  // namespace Quelm_Konfig
