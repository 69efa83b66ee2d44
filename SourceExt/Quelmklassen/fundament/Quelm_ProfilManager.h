#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Registry of profiling points with a stack of active points. Only the root point
// "Gesamt" exists; nothing measures or reports yet.
class Quelm_ProfilManager {
 public:
  struct Punkt {
    std::uint64_t id = 0;
    std::string name;
    std::string datei;
    std::uint64_t zeile = 0;
    std::uint64_t werte[6] = {};
    std::vector<std::uint64_t> kinder;
  };

  Quelm_ProfilManager();
  ~Quelm_ProfilManager();

  // Registers a point; its id is its index in the registry.
  void Registriere(Punkt* punkt);

  std::vector<Punkt*>* registry = nullptr;  // created by the first registration
  std::deque<Punkt*> stapel;
  Punkt wurzel;
};

extern Quelm_ProfilManager gProfilManager;
