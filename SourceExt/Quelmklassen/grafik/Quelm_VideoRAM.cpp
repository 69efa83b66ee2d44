#include "Quelm_VideoRAM.h"

#include "Quelm_BasisObjekt.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_ZeichenKontext.h"
#include "Quelm_Zeitgeber.h"

#include <algorithm>

std::uint64_t Quelm_SchaffeVideoRAMPlatz(Quelm_ZeichenKontext& kontext) {
  const TZeit jetzt = gZeitgeber.zeit;
  auto kandidat = [](Quelm_BasisObjekt* o) { return o->BelegtVideoRAM() && o->IstResident(); };

  TZeit aeltester = jetzt;
  bool gefunden = false;
  kontext.FuerJedesObjekt([&](Quelm_BasisObjekt* o) {
    if (!kandidat(o)) return;
    aeltester = gefunden ? std::min(aeltester, o->letzteNutzung) : o->letzteNutzung;
    gefunden = true;
  });

  const TZeit spanne = jetzt - aeltester;
  if (static_cast<float>(spanne) * Quelm_SekundenProTick < 1.0f)
    Protokolliere(
        "?Quelm_Screen3D::SchaffeVideoRAMPlatz(): Rausgeworfene Resourcen sind sehr jung! Hinweis auf "
        "VideoRAM-Mangel.");

  // Keep what was used within the last tenth of the age span, evict the older rest.
  const TZeit grenze = static_cast<TZeit>(static_cast<double>(spanne) * static_cast<double>(0.9f));
  const TZeit schwelle = jetzt - grenze;

  std::uint64_t ausgelagert = 0;
  kontext.FuerJedesObjekt([&](Quelm_BasisObjekt* o) {
    if (!kandidat(o) || o->letzteNutzung >= schwelle) return;
    o->Auslagern();
    kontext.VergissBindungen(o);
    ++ausgelagert;
  });

  Protokolliere("VideoRAM voll, Platz geschaffen: %d Resourcen rausgeworfen, Grenzalter %f",
                static_cast<int>(ausgelagert), static_cast<double>(grenze) * Quelm_SekundenProTickD);
  return ausgelagert;
}
