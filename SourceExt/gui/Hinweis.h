#pragma once
// The tooltip: a box sized by its text, placed beside its widget towards the screen's middle.
#include "Basis.h"

#include <string>

namespace Gui {

class Hinweis : public Basis {
 public:
  Basis* komponente = nullptr;  // not owned; cleared when that widget leaves the surface
  std::string text;

  Hinweis(const std::string& text, Basis* komponente);
  ~Hinweis() override;
  void Zeichne(Renderer& renderer) override;
};

}  // namespace Gui
