#pragma once
// Widget kinds the simple renderer can draw besides labels and tooltips: their fields are
// what the draw routines read; input handling is up to the program that builds them.
#include "Basis.h"

#include <cstdint>
#include <string>
#include <vector>

class Quelm_BlockGfx3D;

namespace Gui {

struct IconVerweis {
  Quelm_BlockGfx3D* atlas = nullptr;  // null: no icon
  std::uint64_t id = 0;
};

class Rollbalken : public Basis {
 public:
  std::int32_t ausrichtung = 0;  // 1 vertical, else horizontal
  float wert = 0, minimum = 0, maximum = 1, sichtbereich = 0;
  void Zeichne(Renderer& renderer) override;
};

struct TabellenZelle {
  std::string text;
  IconVerweis icon;
};

// A row or a column of a grid.
struct TabellenSpur {
  float ausrichtung = 0.5f;
  bool aktiv = true;
  float ausdehnung = 0;  // row height or column width
  float versatz = 0;     // row y or column x within the grid
  bool schwebend = false;
  TZeit schwebZeit = 0, verlassenZeit = 0, druckZeit = 0;
};

class Tabelle : public Basis {
 public:
  std::uint64_t spalten = 0, zeilen = 0;
  std::vector<TabellenZelle> zellen;  // row-major
  std::vector<TabellenSpur> zeilenSpuren, spaltenSpuren;
  std::uint32_t hervorhebung = 0;  // bit 0 rows, bit 1 columns
  void Zeichne(Renderer& renderer) override;
};

class Eingabefeld : public Basis {
 public:
  std::string text;
  std::uint64_t cursor = 0;  // in characters
  TZeit bearbeitetZeit = 0;
  void Zeichne(Renderer& renderer) override;
};

struct AuswahlEintrag {
  std::string text;
  IconVerweis icon;
};

class Auswahl : public Basis {
 public:
  bool aktiv = true;
  std::vector<AuswahlEintrag> eintraege;
  std::uint64_t index = 0;
  TZeit wechselZeit = 0;
  bool richtung = false;
  std::uint64_t vorherIndex = 0;
  void Zeichne(Renderer& renderer) override;
};

class Ankreuzfeld : public Basis {
 public:
  bool aktiv = true;
  std::string text;
  bool angekreuzt = false;
  TZeit druckZeit = 0, angekreuztZeit = 0, abgekreuztZeit = 0;
  void Zeichne(Renderer& renderer) override;
};

class Knopf : public Basis {
 public:
  bool aktiv = true;
  std::string text;
  TZeit druckZeit = 0;
  IconVerweis icon;
  void Zeichne(Renderer& renderer) override;
};

class Bild : public Basis {
 public:
  Quelm_BlockGfx3D* atlas = nullptr;  // not owned
  void Zeichne(Renderer& renderer) override;
};

}  // namespace Gui
