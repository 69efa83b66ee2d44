#include "Buttons.h"

#include "Anwendung.h"

#include "Anordnung.h"
#include "Dreno.h"
#include "InputSystem.h"
#include "Oberflaeche.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_Screen3D.h"
#include "Quelm_Screen3DSignal.h"
#include "Quelm_System.h"
#include "Renderer.h"
#include "Seite.h"

namespace Spiel {

namespace {
Gui::Vektor AnzeigeGroesse() {
  return {static_cast<float>(Quelm_Screen3D::modus.width), static_cast<float>(Quelm_Screen3D::modus.height), 0};
}
// The page leaves a margin of 10 all round.
Gui::Vektor SeitenGroesse() { return Gui::operator-(AnzeigeGroesse(), {20, 20, 0}); }
}  // namespace

const char* const Buttons::kHilfeText =
    "Linksklick f\xC3\xBCr Auswahl, Shift f\xC3\xBCr Auswahl-Umschalten\n"
    "Rechts-Ziehen f\xC3\xBCr Bewegen, Shift f\xC3\xBCr H\xC3\xB6hen\xC3\xA4nderung\n"
    "Taste \"Entf\" f\xC3\xBCr L\xC3\xB6schen";

Buttons::Buttons() : Buttons(gSystem.programmVerzeichnis / "Daten" / "GuiKonfig.xml") {}

Buttons::Buttons(const std::filesystem::path& konfig) {
  try {
    oberflaeche = new Gui::Oberflaeche(konfig);
  } catch (const Quelm_Ausnahme&) {
    // The loader's text does not say which file it was: the log does.
    Protokolliere("!Widget-Einstellungen \"%s\" nicht geladen.", konfig.string().c_str());
    throw;
  }
  seite = new Gui::Seite;
  seite->SetzeAnordnung(new Gui::Anordnung(1, 0.5f, 0.5f));
  seite->dehnung = {1, 1, 0};
  seite->SetzeGroesse(SeitenGroesse(), false);
  seite->SetzePosition({10, 10, 0}, false);
  oberflaeche->Hinzufuegen(seite);
  seite->SetzeAnordnung(new Gui::Anordnung(1, 0.0f, 1.0f));

  hilfe = new Gui::Text(kHilfeText);
  hilfe->dehnung = {1, 1, 0};
  hilfe->SetzeGroesse({600, 100, 0}, false);
  hilfe->eigenschaften["richt_horiz"].Setze(0.0f);
  seite->Hinzufuegen(hilfe);
  seite->BerechneDehnung();

  renderer = new Gui::SimpelRenderer(Anwendung::guiGrafik, Anwendung::guiFont);
  anzeigeWechsel = Quelm_Screen3D::ModusGeaendert.connect([this] { FolgeAnzeige(); });
}

void Buttons::FolgeAnzeige() {
  oberflaeche->SetzeGroesse(AnzeigeGroesse(), false);
  seite->SetzeGroesse(SeitenGroesse(), false);
}

Buttons::~Buttons() {
  delete renderer;
  delete oberflaeche;
}

bool Buttons::OnKey(DRENO::Keyboard*, std::int32_t key, bool down) {
  if (key == 1) oberflaeche->VerarbeiteTaste(kGuiEscape, down ? Gui::Oberflaeche::Gedrueckt : Gui::Oberflaeche::Losgelassen);
  return true;
}

bool Buttons::OnMouseMoved(DRENO::Mouse*, float, float) {
  float x = 0, y = 0;
  if (const DRENO::InputSystem* system = DRENO::GetInstance())
    if (const DRENO::Mouse* maus = system->GetFirstMouse()) x = maus->GetMouseX(), y = maus->GetMouseY();
  oberflaeche->VerarbeiteMausBewegung({x, y, 0});
  return true;
}

bool Buttons::OnMouseButton(DRENO::Mouse*, std::uint64_t button, bool down) {
  if (button == 0)
    oberflaeche->VerarbeiteTaste(kGuiMaustaste, down ? Gui::Oberflaeche::Gedrueckt : Gui::Oberflaeche::Losgelassen);
  return true;
}

bool Buttons::OnMouseWheel(DRENO::Mouse*, float) { return true; }

void Buttons::Zeichne() { Gui::ZeichneDurchgang(*oberflaeche, *renderer); }

}  // namespace Spiel
