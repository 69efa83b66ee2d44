#pragma once
// The tool's widget page: a surface from "GuiKonfig.xml" holding a page with the help text,
// drawn by the simple renderer. As the input system's handler it passes the mouse and
// Escape to the surface and keeps every key and button from the default handling.
#include "InputHandler.h"

#include <boost/signals2/connection.hpp>

#include <filesystem>

namespace Gui {
class Oberflaeche;
class Seite;
class SimpelRenderer;
class Text;
}  // namespace Gui

namespace Spiel {

class Buttons : public DRENO::InputHandler {
 public:
  // Widget key codes of the page: Escape and the first mouse button.
  static constexpr std::uint64_t kGuiEscape = 266, kGuiMaustaste = 265;
  static const char* const kHilfeText;

  // The surface's properties come from `konfig` (the program's "Daten"/"GuiKonfig.xml").
  Buttons();
  explicit Buttons(const std::filesystem::path& konfig);
  ~Buttons() override;
  Buttons(const Buttons&) = delete;
  Buttons& operator=(const Buttons&) = delete;

  bool OnKey(DRENO::Keyboard* keyboard, std::int32_t key, bool down) override;
  bool OnMouseMoved(DRENO::Mouse* mouse, float x, float y) override;
  bool OnMouseButton(DRENO::Mouse* mouse, std::uint64_t button, bool down) override;
  bool OnMouseWheel(DRENO::Mouse* mouse, float change) override;

  // The frame's widget pass.
  void Zeichne();

  // The surface covers the display and the page keeps its margin after a mode change
  // ("reinitvideo", a window resized by the window manager).
  void FolgeAnzeige();

  Gui::Oberflaeche* oberflaeche = nullptr;
  Gui::SimpelRenderer* renderer = nullptr;
  Gui::Text* hilfe = nullptr;
  Gui::Seite* seite = nullptr;  // owned by the surface

 private:
  boost::signals2::scoped_connection anzeigeWechsel;
};

}  // namespace Spiel
