#include "TestBackend.h"

#include "Steuergeraete.h"

namespace Plattform::Eingabe {

TestBackend::TestBackend() {
  SetzeZurueck();
  SetzeSteuergeraeteZurueck();
  SetzeBackend(this);
  SetzeBelegung(BelegungNachName("us"));
}

TestBackend::~TestBackend() {
  SetzeBackend(nullptr);
  SetzeBelegung(nullptr);
  SetzeZurueck();
  Steuergeraete() = SteuergeraeteZustand{};  // GLFW's joysticks again
}

bool TestBackend::Cursor(POINT& punkt) {
  punkt = cursor;
  return true;
}

bool TestBackend::SetzeCursor(POINT punkt) {
  cursor = punkt;
  gesetzt.push_back(punkt);
  return true;
}

bool TestBackend::Ursprung(HWND f, POINT& punkt) {
  if (!IstFenster(f)) return false;
  punkt = ursprung;
  return true;
}

bool TestBackend::Rahmen(HWND f, RECT& r) {
  if (!IstFenster(f)) return false;
  r = {ursprung.x - rand, ursprung.y - titel, ursprung.x + groesse.x + rand, ursprung.y + groesse.y + rand};
  return true;
}

bool TestBackend::Clientgroesse(HWND f, POINT& g) {
  if (!IstFenster(f)) return false;
  g = groesse;
  return true;
}

void TestBackend::Taste(unsigned evdev, bool unten, bool gepuffert, HANDLE geraet) {
  Datensatz satz;
  if (!TastenDatensatz(geraet, evdev, unten, satz, gepuffert && zustand.wow64)) return;
  if (gepuffert) {
    Puffere(satz);
  } else {
    Nachricht(satz);
  }
}

void TestBackend::TasteZustellen(unsigned evdev, bool unten, HANDLE geraet) {
  Datensatz satz;
  if (TastenDatensatz(geraet, evdev, unten, satz)) Zustellen(satz);
}

}  // namespace Plattform::Eingabe
