#pragma once
#include "Quelm_Zeitbasis.h"

#include <boost/function.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

// The engine clock: advances once per frame by a smoothed, scaled and clamped step and
// fires timed callbacks whose due time has passed. Main thread only, no locks.
class TZeitgeber {
 public:
  struct Eintrag {
    std::uint64_t id = 0;
    TZeit faellig = 0;
    boost::function<void()> funktion;
  };

  bool pausiert = false;
  std::int64_t jetzt = 0;   // counter at the last update
  std::int64_t vorher = 0;  // counter at the update before
  TZeit zeit = 0;           // sum of all steps: the clock's "now"
  TZeit schritt = 0;        // the last step
  double tempo = 1.0;
  TZeit maxSchritt = 0;  // 0: no limit
  std::vector<Eintrag> eintraege;  // insertion order
  bool feuert = false;
  std::vector<std::uint64_t> zuEntfernen;  // removals requested while firing
  std::uint64_t naechsteId = 0;

  // Starts at 20 ms (0 for the global clock, built before the time base is known).
  TZeitgeber();

  // Once per frame: step = mean of the last two frame intervals, scaled by `tempo`,
  // limited to `maxSchritt`; then fires what is due.
  void Aktualisiere();
  // Advances by `schritt` and calls every entry due strictly before the new time.
  // Entries added by a callable join the running walk; removals wait until it ends.
  void FeuereFaellige(TZeit schritt);
  // Schedules `funktion` at now + `verzoegerung`; returns the entry's id.
  std::uint64_t FuegeHinzu(TZeit verzoegerung, boost::function<void()> funktion);
  // Removing an id that is not present does nothing.
  void Entferne(std::uint64_t id);
  void LoescheEintrag(std::size_t position);

 private:
  bool EntfernenAngefragt(std::uint64_t id) const;
  void LoescheErstenMitId(std::uint64_t id);
  void BeendeFeuern();
};

// The engine-wide clock; its `zeit` is "now", its `schritt` the frame step.
extern TZeitgeber gZeitgeber;
