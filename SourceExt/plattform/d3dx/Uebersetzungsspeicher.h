#pragma once
// What glslang makes of a shader, kept on disk between runs. glslang is most of a shader's
// translation time, and a program translates the same texts at every start. An entry holds
// the whole request (text, name, macros, entry point, stage, matrix order) and is used only
// for exactly that request of exactly the same build of the program: entries live in a
// subfolder named by the build's identity, and the folders of other builds are removed.
// Only successful translations that read no included file are kept (an included file can
// change without the request changing). A missing, damaged or unwritable entry costs
// nothing but the translation.
#include <cstdint>
#include <filesystem>

#include "HlslUebersetzung.h"

namespace Plattform::D3dx {

// The folder for the entries; empty (the default) keeps none.
void SetzeUebersetzungsspeicher(const std::filesystem::path& ordner);

struct UebersetzungsspeicherStand {
  std::uint64_t treffer = 0;      // translations taken from an entry
  std::uint64_t gespeichert = 0;  // entries written
};
UebersetzungsspeicherStand LiesUebersetzungsspeicherStand();

// UebersetzeHlsl through the entries.
HlslErgebnis UebersetzeHlslGemerkt(HlslAuftrag auftrag);

}  // namespace Plattform::D3dx
