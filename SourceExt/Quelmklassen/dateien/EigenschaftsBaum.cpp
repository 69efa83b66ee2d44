#include "EigenschaftsBaum.h"

#include <utility>

EigenschaftsBaum::EigenschaftsBaum(const EigenschaftsBaum& andere) : name(andere.name), kinder(andere.kinder) {
  UebernimmWert(Uebergabe::Kopieren, const_cast<EigenschaftsBaum&>(andere));
}

EigenschaftsBaum& EigenschaftsBaum::operator=(const EigenschaftsBaum& andere) {
  if (this != &andere) {
    EigenschaftsBaum kopie(andere);
    *this = std::move(kopie);
  }
  return *this;
}

EigenschaftsBaum::EigenschaftsBaum(EigenschaftsBaum&& andere) noexcept
    : name(std::move(andere.name)), kinder(std::move(andere.kinder)) {
  UebernimmWert(Uebergabe::Verschieben, andere);
}

EigenschaftsBaum& EigenschaftsBaum::operator=(EigenschaftsBaum&& andere) noexcept {
  if (this != &andere) {
    // Taken out first: `andere` may be one of this node's descendants.
    EigenschaftsBaum neu(std::move(andere));
    LoescheWert();
    name = std::move(neu.name);
    kinder = std::move(neu.kinder);
    UebernimmWert(Uebergabe::Verschieben, neu);
  }
  return *this;
}

// This node holds no value yet. A moved-from value is destroyed and forgotten by its node, so
// the source reads as empty afterwards.
void EigenschaftsBaum::UebernimmWert(Uebergabe art, EigenschaftsBaum& andere) {
  if (!andere.typName) return;
  andere.typOperation(art, wert, andere.wert);
  typName = andere.typName;
  typOperation = andere.typOperation;
  zerstoerOperation = andere.zerstoerOperation;
  if (art == Uebergabe::Verschieben) andere.LoescheWert();
}

void EigenschaftsBaum::LoescheWert() {
  if (zerstoerOperation) zerstoerOperation(wert);
  typName = nullptr;
  typOperation = nullptr;
  zerstoerOperation = nullptr;
}

EigenschaftsBaum& EigenschaftsBaum::Knoten(std::string_view pfad) {
  EigenschaftsBaum* knoten = this;
  while (!pfad.empty()) {
    const std::size_t punkt = pfad.find('.');
    const std::string_view teil = pfad.substr(0, punkt);
    auto it = knoten->kinder.find(teil);
    if (it == knoten->kinder.end()) it = knoten->kinder.emplace(std::string(teil), EigenschaftsBaum(std::string(teil))).first;
    knoten = &it->second;
    pfad = punkt == std::string_view::npos ? std::string_view() : pfad.substr(punkt + 1);
  }
  return *knoten;
}

const EigenschaftsBaum* EigenschaftsBaum::Finde(std::string_view pfad) const {
  const EigenschaftsBaum* knoten = this;
  while (!pfad.empty()) {
    const std::size_t punkt = pfad.find('.');
    auto it = knoten->kinder.find(pfad.substr(0, punkt));
    if (it == knoten->kinder.end()) return nullptr;
    knoten = &it->second;
    pfad = punkt == std::string_view::npos ? std::string_view() : pfad.substr(punkt + 1);
  }
  return knoten;
}
