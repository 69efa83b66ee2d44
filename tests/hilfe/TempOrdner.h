#pragma once
// A temporary folder removed with everything in it, and whole files written and read, for
// every test that touches the file system (no engine code needed).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempOrdner {
 public:
  TempOrdner() {
    std::string muster = (std::filesystem::temp_directory_path() / "velmar-XXXXXX").string();
    if (mkdtemp(muster.data())) pfad_ = muster;
  }
  ~TempOrdner() {
    std::error_code fehler;
    if (!pfad_.empty()) std::filesystem::remove_all(pfad_, fehler);
  }
  TempOrdner(const TempOrdner&) = delete;
  TempOrdner& operator=(const TempOrdner&) = delete;
  const std::filesystem::path& pfad() const { return pfad_; }

 private:
  std::filesystem::path pfad_;
};

inline std::string LeseDatei(const std::filesystem::path& pfad) {
  std::ifstream ein(pfad, std::ios::binary);
  return {std::istreambuf_iterator<char>(ein), std::istreambuf_iterator<char>()};
}

// Writes `inhalt` as the whole file, creating missing folders; returns the path.
inline std::filesystem::path SchreibeDatei(const std::filesystem::path& pfad, const std::string& inhalt) {
  std::error_code fehler;
  if (pfad.has_parent_path()) std::filesystem::create_directories(pfad.parent_path(), fehler);
  std::ofstream aus(pfad, std::ios::binary);
  aus << inhalt;
  return pfad;
}
