#include "Quelm_ProfilManager.h"

#include "Quelm_InitReihenfolge.h"

QUELM_INIT(QUELM_SLOT_PROFILER) Quelm_ProfilManager gProfilManager;

Quelm_ProfilManager::Quelm_ProfilManager() {
  wurzel.name = "Gesamt";
  wurzel.datei = __FILE__;
  wurzel.zeile = 12;
  Registriere(&wurzel);
  stapel.push_back(&wurzel);
}

Quelm_ProfilManager::~Quelm_ProfilManager() { delete registry; }

void Quelm_ProfilManager::Registriere(Punkt* punkt) {
  if (!registry) registry = new std::vector<Punkt*>;
  punkt->id = registry->size();
  registry->push_back(punkt);
}
