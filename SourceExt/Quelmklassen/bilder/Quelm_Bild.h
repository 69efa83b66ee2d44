#pragma once
// An image in main memory: one pixel array (level 0), optionally a chain of smaller mip
// levels and optionally one face of a cube map whose six faces link to each other.
// It begins with the fields of TBereich, so an image is the region of its own level 0.
#include "Quelm_PixelFormat.h"
#include "TBereich.h"

#include <cstdint>
#include <filesystem>

class TSpeicher;

class Quelm_Bild : public TBereich {
 public:
  std::uint64_t mipAnzahl = 1;  // levels in the chain starting here; 1 = no further level
  bool istUnterStufe = false;   // a level below the top of a chain
  Quelm_Bild* naechsteStufe = nullptr;  // owned
  bool istCubeSeite = false;
  // The six faces of the cube map at this level. Slot 3 is the base face ("Links"), the
  // object the program holds; it owns the other five.
  Quelm_Bild* seiten[6] = {};

  static constexpr int kBasisSeite = 3;

  explicit Quelm_Bild(std::uint64_t breite = 0, std::uint64_t hoehe = 0,
                      std::int32_t format = PXFMT_A8R8G8B8, std::uint64_t mipAnzahl = 1);
  ~Quelm_Bild();
  Quelm_Bild(const Quelm_Bild&) = delete;
  Quelm_Bild& operator=(const Quelm_Bild&) = delete;

  // Resizes as a plain image (contents undefined). Only a top-level image or a base face
  // may be resized; a base face stops being a cube map.
  void SetGroesse(std::uint64_t breite, std::uint64_t hoehe, std::int32_t format, std::uint64_t mipAnzahl);
  // Resizes as a cube map with square faces of the given edge.
  void SetCubeMapGroesse(std::uint64_t kante, std::int32_t format, std::uint64_t mipAnzahl);
  // Builds or trims the chain to n levels; 0 means the full chain down to 1 x 1.
  void ErzeugeMipKette(std::uint64_t mipAnzahl);
  // Stores the six face pointers in `seite` and in each level of its chain.
  static void VerknuepfeSeiten(Quelm_Bild* seite, Quelm_Bild* links, Quelm_Bild* seite2, Quelm_Bild* seite0,
                               Quelm_Bild* seite1, Quelm_Bild* seite4, Quelm_Bild* seite5);
  // Level k of the chain (0 = this image), null when out of range.
  Quelm_Bild* GibMipStufe(std::uint64_t stufe);

  bool IstBasisSeite() const { return istCubeSeite && seiten[kBasisSeite] == this; }

  // Loads a PNG or DDS file, told apart by content.
  bool LadeBildAusDatei(const std::filesystem::path& pfad);

  // Decode the file that starts at the buffer's position into `bild`.
  static bool LadePNG(Quelm_Bild& bild, TSpeicher& quelle);
  static bool LadeDDS(Quelm_Bild& bild, TSpeicher& quelle);
  // Writes an A8R8G8B8 image with pitch 4 x width as 8-bit RGB PNG; false (and a log
  // line) when it cannot be written.
  static bool SpeicherePNG(const Quelm_Bild& bild, const std::filesystem::path& pfad);

 private:
  void Leere();
  void LoeseSeiten();
  void Dimensioniere(std::uint64_t breite, std::uint64_t hoehe, std::int32_t format);
};
