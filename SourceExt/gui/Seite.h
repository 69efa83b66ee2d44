#pragma once
// The page container and the text label.
#include "Basis.h"

#include <string>

namespace Gui {

class Seite : public VaterBasis {
 public:
  ~Seite() override;
  void Zeichne(Renderer& renderer) override;
  void Hinzufuegen(Basis* w) override;
  void Entfernen(Basis* w) override;
  // The page's stretch: the largest stretch of its children on each axis.
  void BerechneDehnung();
};

class Text : public Basis {
 public:
  std::string text;

  Text() = default;
  explicit Text(std::string text) : text(std::move(text)) {}
  ~Text() override;
  void Zeichne(Renderer& renderer) override;
  std::string GibTypName() const override;
};

}  // namespace Gui
