#pragma once
// Shared helpers of the engine tests: a temporary folder and a sink that collects log lines.
#include "Quelm_Protokoll.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

class TempOrdner {
 public:
  TempOrdner() {
    std::string muster = (std::filesystem::temp_directory_path() / "velmar-XXXXXX").string();
    pfad_ = mkdtemp(muster.data());
  }
  ~TempOrdner() {
    std::error_code fehler;
    std::filesystem::remove_all(pfad_, fehler);
  }
  const std::filesystem::path& pfad() const { return pfad_; }

 private:
  std::filesystem::path pfad_;
};

inline std::string LeseDatei(const std::filesystem::path& pfad) {
  std::ifstream ein(pfad, std::ios::binary);
  std::stringstream s;
  s << ein.rdbuf();
  return s.str();
}

inline void SchreibeDatei(const std::filesystem::path& pfad, const std::string& inhalt) {
  std::ofstream aus(pfad, std::ios::binary);
  aus << inhalt;
}

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
  // Some collected line contains `text`.
  bool Gemeldet(const std::string& text) const {
    for (const auto& z : sammler->zeilen)
      if (z.find(text) != std::string::npos) return true;
    return false;
  }
  TempOrdner ordner;
  std::unique_ptr<ZeilenSammler> sammler;
};
