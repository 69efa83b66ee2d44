#include "Quelm_Zeitgeber.h"

#include "Quelm_InitReihenfolge.h"

#include <algorithm>

QUELM_INIT(QUELM_SLOT_ZEITGEBER) TZeitgeber gZeitgeber;

TZeitgeber::TZeitgeber() {
  jetzt = Quelm_Zaehlerstand();
  FeuereFaellige(static_cast<TZeit>(Quelm_TicksProSekunde * 0.02f));
}

void TZeitgeber::Aktualisiere() {
  const std::int64_t alt = vorher;
  vorher = jetzt;
  jetzt = Quelm_Zaehlerstand();
  const std::int64_t roh = (jetzt - alt) >> 1;
  if (pausiert) {
    schritt = 0;
    return;
  }
  TZeit s = static_cast<TZeit>(static_cast<double>(roh) * Quelm_SekundenProTickD * tempo * Quelm_TicksProSekundeD);
  if (maxSchritt > 0) s = std::min(s, maxSchritt);
  FeuereFaellige(s);
}

void TZeitgeber::FeuereFaellige(TZeit s) {
  zeit += s;
  schritt = s;
  feuert = true;
  // A throwing callable must not leave the clock firing forever (every later removal
  // would be deferred and never applied).
  struct Ende {
    TZeitgeber* uhr;
    ~Ende() { uhr->BeendeFeuern(); }
  } ende{this};

  for (std::size_t i = 0; i < eintraege.size();) {
    Eintrag& e = eintraege[i];
    if (EntfernenAngefragt(e.id) || !(e.faellig < zeit)) {
      ++i;
      continue;
    }
    // Out of the list before the call: a callable that adds entries may reallocate the
    // list, which would destroy the function object while it runs.
    boost::function<void()> funktion;
    funktion.swap(e.funktion);
    LoescheEintrag(i);
    if (funktion) funktion();
    // The next entry has moved into position i.
  }
}

void TZeitgeber::BeendeFeuern() {
  feuert = false;
  while (!zuEntfernen.empty()) {
    const std::uint64_t id = zuEntfernen.back();
    zuEntfernen.pop_back();
    LoescheErstenMitId(id);
  }
}

std::uint64_t TZeitgeber::FuegeHinzu(TZeit verzoegerung, boost::function<void()> funktion) {
  const std::uint64_t id = naechsteId++;
  eintraege.push_back(Eintrag{id, zeit + verzoegerung, std::move(funktion)});
  return id;
}

void TZeitgeber::Entferne(std::uint64_t id) {
  if (feuert)
    zuEntfernen.push_back(id);
  else
    LoescheErstenMitId(id);
}

void TZeitgeber::LoescheEintrag(std::size_t position) {
  if (position < eintraege.size()) eintraege.erase(eintraege.begin() + static_cast<std::ptrdiff_t>(position));
}

bool TZeitgeber::EntfernenAngefragt(std::uint64_t id) const {
  return std::find(zuEntfernen.begin(), zuEntfernen.end(), id) != zuEntfernen.end();
}

void TZeitgeber::LoescheErstenMitId(std::uint64_t id) {
  auto it = std::find_if(eintraege.begin(), eintraege.end(), [id](const Eintrag& e) { return e.id == id; });
  if (it != eintraege.end()) eintraege.erase(it);
}
