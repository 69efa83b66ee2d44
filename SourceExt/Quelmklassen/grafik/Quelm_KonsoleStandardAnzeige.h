#pragma once
// The drop-down console: the newest log lines over the upper 400 pixels of the screen and
// an input line below them with history and inline completion of command and variable
// names. It is the log's display and, while open, the input system's handler.
#include "InputHandler.h"
#include "Quelm_Protokoll.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

class Quelm_BlockGfx3D;
class Quelm_Font3D;

class Quelm_KonsoleStandardAnzeige : public Quelm_KonsoleBasisAnzeige, public DRENO::InputHandler {
 public:
  enum Taste : std::int32_t {
    BildAuf = 201, BildAb = 209, Ruecktaste = 14, Entfernen = 211, Links = 203, Rechts = 205, Hoch = 200,
    Runter = 208, Eingabe = 28, ZiffernEingabe = 156, Tabulator = 15
  };
  static constexpr std::size_t kMaxZeilen = 500;
  static constexpr float kHoehe = 400.0f;

  std::deque<std::string> zeilen;
  std::uint64_t ansicht = 0;  // index of the line drawn lowest
  std::uint8_t sichtbar = 0;
  std::uint8_t eingabeAktiv = 0;
  std::string eingabe;
  std::uint64_t cursor = 0;  // byte index into the input, on a character boundary
  std::vector<std::string> verlauf;
  std::uint64_t verlaufPos = 0;  // == verlauf.size() while the input is the user's own
  std::string gemerkt;
  Quelm_BlockGfx3D* kasten = nullptr;
  Quelm_Font3D* font = nullptr;
  // False when the font file could not be loaded (its loader logged why): the font has no
  // glyphs, so the console shows no text and takes no typing.
  bool schriftGeladen = false;

  explicit Quelm_KonsoleStandardAnzeige(const std::filesystem::path& fontDatei);
  ~Quelm_KonsoleStandardAnzeige() override;

  void NeueZeile(const char* zeile) override;
  void Zeichne();
  bool TasteGedrueckt(DRENO::Keyboard* tastatur, std::int32_t taste, bool gedrueckt);
  bool ZeichenEingabe(DRENO::Keyboard* tastatur, std::uint32_t codepunkt);

  bool OnKey(DRENO::Keyboard* tastatur, std::int32_t taste, bool gedrueckt) override {
    return TasteGedrueckt(tastatur, taste, gedrueckt);
  }
  bool OnUnicode(DRENO::Keyboard* tastatur, std::uint32_t zeichen) override { return ZeichenEingabe(tastatur, zeichen); }

  // How a stored line is shown: its colour and the text without a level mark.
  struct Darstellung {
    float farbe[4];
    std::string text;
  };
  static Darstellung Darstellen(const std::string& zeile);

  // Byte index of the character before / after the one at `stelle` in UTF-8 `text`: the
  // steps of Left and Right, Backspace and Delete. A character is its lead byte with the
  // continuation bytes (0x80 to 0xBF) after it; 0 and the text's length are the ends.
  static std::uint64_t ZeichenDavor(const std::string& text, std::uint64_t stelle);
  static std::uint64_t ZeichenDanach(const std::string& text, std::uint64_t stelle);

 private:
  void Vervollstaendige();
};
