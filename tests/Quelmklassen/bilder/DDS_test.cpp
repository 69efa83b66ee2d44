#include "BildHilfen.h"
#include "ProtokollSammler.h"
#include "Quelm_Bild.h"
#include "TSpeicher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kMipFlag = 0x20000, kCapsKomplex = 0x8, kCapsMip = 0x400000, kCube = 0x200,
                        kAlleSeiten = 0xFC00;

std::uint32_t Code(const char* t) {
  return std::uint32_t(std::uint8_t(t[0])) | std::uint32_t(std::uint8_t(t[1])) << 8 |
         std::uint32_t(std::uint8_t(t[2])) << 16 | std::uint32_t(std::uint8_t(t[3])) << 24;
}

struct Kopf {
  const char* magie = "DDS ";
  std::uint32_t kopfGroesse = 124;
  std::uint32_t flags = 0x1007;
  std::uint32_t hoehe = 4, breite = 4, mip = 0;
  std::uint32_t pfFlags = 0, fourCC = 0, bits = 0;
  std::uint32_t masken[4] = {};  // r, g, b, a
  std::uint32_t caps = 0x1000, caps2 = 0;

  static Kopf Dxt(const char* code, std::uint32_t breite, std::uint32_t hoehe) {
    return {.hoehe = hoehe, .breite = breite, .pfFlags = 0x4, .fourCC = Code(code)};
  }
  static Kopf Maske(std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    return {.pfFlags = a ? 0x41u : 0x40u, .bits = bits, .masken = {r, g, b, a}};
  }
  Kopf& Mips(std::uint32_t n) {
    mip = n;
    flags |= kMipFlag;
    caps |= kCapsKomplex | kCapsMip;
    return *this;
  }
  Kopf& Cube() {
    caps |= kCapsKomplex;
    caps2 |= kCube | kAlleSeiten;
    return *this;
  }

  Bytes Datei(const Bytes& pixel) const {
    Bytes d(128 + pixel.size(), 0);
    std::memcpy(d.data(), magie, 4);
    const std::pair<std::size_t, std::uint32_t> felder[] = {
        {4, kopfGroesse}, {8, flags},   {12, hoehe},      {16, breite},     {28, mip},        {76, 32},
        {80, pfFlags},    {84, fourCC}, {88, bits},       {92, masken[0]},  {96, masken[1]},  {100, masken[2]},
        {104, masken[3]}, {108, caps},  {112, caps2}};
    for (auto [versatz, wert] : felder) std::memcpy(&d[versatz], &wert, 4);
    std::copy(pixel.begin(), pixel.end(), d.begin() + 128);
    return d;
  }
};

Bytes Folge(std::size_t n, std::uint8_t start = 1) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), start);
  return b;
}

class DDS : public ProtokollTest {
 protected:
  bool Lade(const Bytes& datei, std::uint64_t* endPosition = nullptr) {
    TSpeicher s;
    s.SetKapazitaet(datei.size() + 1);
    std::memcpy(s.daten, datei.data(), datei.size());
    s.groesse = datei.size();
    const bool gut = Quelm_Bild::LadeDDS(bild, s);
    if (endPosition) *endPosition = s.position;
    return gut;
  }
  // Expects a refusal with `meldung` that leaves the image as it was (a 3 x 2 R32F image).
  void ErwarteAbgelehnt(const Bytes& datei, const std::string& meldung) {
    bild.SetGroesse(3, 2, PXFMT_R32F, 1);
    sammler->zeilen.clear();
    EXPECT_FALSE(Lade(datei));
    EXPECT_TRUE(Gemeldet(meldung)) << meldung;
    EXPECT_EQ(bild.breite, 3u);
  }

  Quelm_Bild bild;
};

TEST_F(DDS, Dxt1MipStufenNurMitAllenSchalternUndHoechstensDieVolleKette) {
  // 8 x 4 has four levels down to 1 x 1; a larger count (or 2^32 - 1) does not build more.
  Kopf ohneCaps = Kopf::Dxt("DXT1", 8, 4).Mips(3), ohneFlag = ohneCaps;
  ohneCaps.caps &= ~kCapsMip;
  ohneFlag.flags &= ~kMipFlag;
  const std::pair<Kopf, std::uint64_t> faelle[] = {
      {ohneCaps, 1}, {ohneFlag, 1}, {Kopf::Dxt("DXT1", 8, 4).Mips(5), 4}, {Kopf::Dxt("DXT1", 8, 4).Mips(~0u), 4}};
  const Bytes pixel = Folge(16 + 8 + 8 + 8);
  for (const auto& [kopf, stufen] : faelle) {
    std::uint64_t ende = 0;
    ASSERT_TRUE(Lade(kopf.Datei(pixel), &ende)) << kopf.mip;
    EXPECT_EQ(bild.format, PXFMT_DXT1);
    ASSERT_EQ(bild.mipAnzahl, stufen) << kopf.mip;
    EXPECT_EQ(ende, 128 + (stufen == 1 ? 16 : pixel.size())) << kopf.mip;
  }
  // Each level's size, and its bytes in file order.
  const std::uint64_t groessen[4][3] = {{8, 4, 16}, {4, 2, 8}, {2, 1, 8}, {1, 1, 8}};
  for (std::uint64_t l = 0, versatz = 0; l < 4; versatz += groessen[l][2], ++l) {
    const Quelm_Bild* stufe = bild.GibMipStufe(l);
    ASSERT_NE(stufe, nullptr);
    EXPECT_EQ((std::array{stufe->breite, stufe->hoehe}), (std::array{groessen[l][0], groessen[l][1]})) << l;
    EXPECT_EQ(Bytes(stufe->daten, stufe->daten + groessen[l][2]),
              Bytes(pixel.begin() + versatz, pixel.begin() + versatz + groessen[l][2])) << l;
  }
}

TEST_F(DDS, BeideMagienUeberDieDatei) {
  // The loader that goes by content must know the second magic too.
  for (auto [magie, code, format] : {std::tuple{"DDS ", "DXT3", PXFMT_DXT3}, {"KVZQ", "DXT5", PXFMT_DXT5}}) {
    Kopf k = Kopf::Dxt(code, 4, 4);
    k.magie = magie;
    const Bytes datei = k.Datei(Folge(16));
    SchreibeDatei(ordner.pfad() / "x.bin", std::string(datei.begin(), datei.end()));
    ASSERT_TRUE(bild.LadeBildAusDatei(ordner.pfad() / "x.bin")) << magie;
    EXPECT_EQ(bild.format, format);
    EXPECT_EQ(bild.daten[15], 16);
  }
}

TEST_F(DDS, CubeMapSeitenLandenInIhrenSlots) {
  // 4 x 4 A8R8G8B8 with two levels: each face is filled with its file index + 1 in every byte.
  Bytes pixel;
  for (std::uint8_t f = 1; f <= 6; ++f) pixel.insert(pixel.end(), 4 * 4 * 4 + 2 * 2 * 4, f);
  Kopf k = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  ASSERT_TRUE(Lade(k.Mips(2).Cube().Datei(pixel)));
  EXPECT_TRUE(bild.IstBasisSeite());
  const int slot[6] = {2, 3, 0, 1, 4, 5};
  for (int f = 0; f < 6; ++f) {
    Quelm_Bild* seite = bild.seiten[slot[f]];
    ASSERT_NE(seite, nullptr);
    const std::uint32_t erwartet = 0x01010101u * std::uint32_t(f + 1);
    EXPECT_EQ(Pixel(*seite, 3, 3), erwartet) << "file face " << f;
    ASSERT_EQ(seite->mipAnzahl, 2u);
    EXPECT_EQ(Pixel(*seite->GibMipStufe(1), 1, 1), erwartet);
    EXPECT_EQ(seite->GibMipStufe(1)->seiten[3], bild.GibMipStufe(1));
  }
  EXPECT_EQ(bild.seiten[3], &bild) << "the file's -X face is the base face";

  // Five face bits: a plain image.
  k.caps2 &= ~0x8000u;
  ASSERT_TRUE(Lade(k.Datei(Folge(80))));
  EXPECT_FALSE(bild.istCubeSeite);
  EXPECT_EQ(Pixel(bild, 0, 0), 0x04030201u);
}

TEST_F(DDS, MaskierteFormate) {
  struct Fall {
    const char* name;
    std::uint32_t bits, r, g, b, a;
    Bytes pixel;  // one file pixel, repeated over the 4 x 4 image
    std::uint32_t erwartet;
  };
  const Fall faelle[] = {
      {"X8R8G8B8: no alpha mask, so opaque", 32, 0xFF0000, 0xFF00, 0xFF, 0, {0x80, 0x80, 0x80, 0x80}, 0xFF808080u},
      {"R5G6B5: red in the top five bits of its byte, green in the top six", 16, 0xF800, 0x07E0, 0x001F, 0,
       {0x21, 0xFC}, 0xFFF88408u},
      {"24-bit B, G, R bytes", 24, 0xFF0000, 0xFF00, 0xFF, 0, {0x11, 0x22, 0x33}, 0xFF332211u},
      {"A8: colour masks zero give black", 8, 0, 0, 0, 0xFF, {101}, 101u << 24},
      {"A1R5G5B5 with a one-bit alpha", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, {0x00, 0xFC}, 0x80F80000u},
      {"masks beyond the pixel's bits", 16, 0xFF000000u, 0xFF0000, 0, 0, {0xFF, 0xFF}, 0xFF000000u},
      {"all masks zero", 32, 0, 0, 0, 0, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFF000000u},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    Bytes pixel;
    for (int i = 0; i < 16; ++i) pixel.insert(pixel.end(), f.pixel.begin(), f.pixel.end());
    ASSERT_TRUE(Lade(Kopf::Maske(f.bits, f.r, f.g, f.b, f.a).Datei(pixel)));
    EXPECT_EQ(Pixel(bild, 3, 2), f.erwartet);
  }
}

TEST_F(DDS, GleitkommaBildUndBildOhneBreite) {
  Kopf k = Kopf::Dxt("DXT1", 2, 1);
  k.fourCC = 116;  // A32B32G32R32F
  const Bytes pixel = Folge(32);
  ASSERT_TRUE(Lade(k.Datei(pixel)));
  EXPECT_EQ(bild.format, PXFMT_A32B32G32R32F);
  EXPECT_EQ(Bytes(bild.daten, bild.daten + 32), pixel);

  // No pixels at all, however many rows: loads at once as an empty image.
  k = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0);
  k.breite = 0;
  k.hoehe = 0xFFFFFFFFu;
  ASSERT_TRUE(Lade(k.Datei({})));
  EXPECT_EQ(bild.hoehe, 0xFFFFFFFFu);
}

TEST_F(DDS, AbgelehnteDateienMitIhrerMeldung) {
  const Bytes gut = Kopf::Dxt("DXT1", 4, 4).Datei(Bytes(8, 0));
  ASSERT_TRUE(Lade(gut));
  Bytes fremd = gut;
  fremd[0] = 'X';
  const Kopf rgb = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0);
  Kopf schief = rgb, riesig = rgb;
  schief.breite = 8;
  riesig.breite = riesig.hoehe = 0xFFFFFFFFu;
  const std::string keine = "Datei ist keine DDS-Datei.", ungueltig = "Ungültiger DDS-Header.",
                    kurz = "Datei ist kürzer als ihre Bilddaten.";
  std::vector<std::pair<Bytes, std::string>> faelle = {
      {fremd, keine},
      {Bytes(gut.begin(), gut.begin() + 3), keine},
      {Bytes(gut.begin(), gut.begin() + 100), ungueltig},
      {Kopf{.kopfGroesse = 100, .pfFlags = 0x4, .fourCC = Code("DXT1")}.Datei(Bytes(8, 0)), ungueltig},
      {Kopf{.flags = 0x20000, .pfFlags = 0x4, .fourCC = Code("DXT1")}.Datei(Bytes(8, 0)), ungueltig},
      {schief.Cube().Datei(Bytes(6 * 8 * 4 * 4, 0)), "Seiten einer CubeMap müssen quadratisch sein."},
      // The last mip level one byte short; the sixth face missing; masked rows of width x 3 bytes.
      {Kopf::Dxt("DXT1", 8, 4).Mips(4).Datei(Folge(39)), kurz},
      {Kopf(rgb).Cube().Datei(Bytes(5 * 64, 0)), kurz},
      {Kopf::Maske(24, 0xFF0000, 0xFF00, 0xFF, 0).Datei(Bytes(47, 0)), kurz},
      // Huge sides with no data behind them: refused before anything is allocated.
      {Kopf::Dxt("DXT5", 0xFFFFFFFFu, 0xFFFFFFFFu).Mips(40).Datei(Bytes(16, 0)), kurz},
      {riesig.Cube().Datei(Bytes(16, 0)), kurz},
  };
  for (std::uint32_t bits : {0u, 12u, 40u})  // masked pixels
    faelle.emplace_back(Kopf::Maske(bits, 0xF00, 0xF0, 0xF, 0).Datei(Bytes(128, 0)), ungueltig);
  for (std::uint32_t code : {Code("DXT2"), Code("DXT4"), Code("ATI2"), 28u}) {  // 28: A8
    char meldung[64];
    std::snprintf(meldung, sizeof meldung, "Pixelformat %08x wird nicht unterstützt.", code);
    faelle.emplace_back(Kopf{.pfFlags = 0x4, .fourCC = code}.Datei(Bytes(16, 0)), meldung);
  }
  for (std::size_t i = 0; i < faelle.size(); ++i) {
    SCOPED_TRACE(i);
    ErwarteAbgelehnt(faelle[i].first, "!Quelm_Bild::LadeDDS(): " + faelle[i].second);
  }
}

}  // namespace
