#pragma once
// The log for tests: a sink that collects its lines and a fixture with the log active in a
// temporary folder. Only tests that read the log include it, since it brings in the log header.
#include "Quelm_Protokoll.h"
#include "TempOrdner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Collects every line the log hands out, without the prefix when asked.
class ZeilenSammler : public Quelm_KonsoleBasisAnzeige {
 public:
  explicit ZeilenSammler(Quelm_Protokoll& log = gProtokoll) {
    protokoll = &log;
    log.anzeige = this;
  }
  void NeueZeile(const char* zeile) override { zeilen.emplace_back(zeile); }

  // The message texts: each line without its prefix and newline.
  std::vector<std::string> Texte() const {
    std::vector<std::string> texte;
    for (const auto& z : zeilen) {
      auto anfang = z.find("): ");
      std::string t = anfang == std::string::npos ? z : z.substr(anfang + 3);
      if (!t.empty() && t.back() == '\n') t.pop_back();
      texte.push_back(t);
    }
    return texte;
  }

  std::vector<std::string> zeilen;
};

// Activates the global log on the calling thread, writing into `ordner`.
inline void AktiviereProtokoll(const std::filesystem::path& ordner) { gProtokoll.Aktiviere(ordner); }

// A test with the log active in a temporary folder and every line collected.
class ProtokollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AktiviereProtokoll(ordner.pfad());
    sammler = std::make_unique<ZeilenSammler>();
  }
  // The message texts without the source location that exceptions add.
  std::vector<std::string> Meldungen() const {
    std::vector<std::string> m;
    for (const auto& t : sammler->Texte()) m.push_back(t.substr(0, t.find(" (")));
    return m;
  }
  // Some collected line contains `text`.
  bool Gemeldet(const std::string& text) const {
    return std::ranges::any_of(sammler->zeilen, [&](const std::string& z) { return z.find(text) != std::string::npos; });
  }
  TempOrdner ordner;
  std::unique_ptr<ZeilenSammler> sammler;
};
