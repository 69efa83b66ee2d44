#include "BildHilfen.h"
#include "ProtokollSammler.h"
#include "Quelm_Bild.h"
#include "TSpeicher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <string>
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
    Kopf k;
    k.pfFlags = 0x4;
    k.fourCC = Code(code);
    k.breite = breite;
    k.hoehe = hoehe;
    return k;
  }
  static Kopf Maske(std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    Kopf k;
    k.pfFlags = a ? 0x41 : 0x40;
    k.bits = bits;
    k.masken[0] = r;
    k.masken[1] = g;
    k.masken[2] = b;
    k.masken[3] = a;
    return k;
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
    Bytes d(128, 0);
    std::memcpy(d.data(), magie, 4);
    auto setze = [&d](std::size_t o, std::uint32_t v) { std::memcpy(&d[o], &v, 4); };
    setze(4, kopfGroesse);
    setze(8, flags);
    setze(12, hoehe);
    setze(16, breite);
    setze(28, mip);
    setze(76, 32);
    setze(80, pfFlags);
    setze(84, fourCC);
    setze(88, bits);
    for (int i = 0; i < 4; ++i) setze(92 + 4 * i, masken[i]);
    setze(108, caps);
    setze(112, caps2);
    d.insert(d.end(), pixel.begin(), pixel.end());
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
    EXPECT_EQ(bild.format, PXFMT_R32F);
  }

  Quelm_Bild bild;
};

TEST_F(DDS, Dxt1MitMipStufen) {
  const Bytes pixel = Folge(16 + 8 + 8 + 8);
  std::uint64_t ende = 0;
  ASSERT_TRUE(Lade(Kopf::Dxt("DXT1", 8, 4).Mips(4).Datei(pixel), &ende));
  EXPECT_EQ(ende, 128 + pixel.size());
  EXPECT_EQ(bild.format, PXFMT_DXT1);
  ASSERT_EQ(bild.mipAnzahl, 4u);
  const std::uint64_t groessen[4][3] = {{8, 4, 16}, {4, 2, 8}, {2, 1, 8}, {1, 1, 8}};
  std::size_t versatz = 0;
  for (std::uint64_t l = 0; l < 4; ++l) {
    const Quelm_Bild* stufe = bild.GibMipStufe(l);
    ASSERT_NE(stufe, nullptr);
    EXPECT_EQ(stufe->breite, groessen[l][0]);
    EXPECT_EQ(stufe->hoehe, groessen[l][1]);
    EXPECT_EQ(Bytes(stufe->daten, stufe->daten + groessen[l][2]),
              Bytes(pixel.begin() + versatz, pixel.begin() + versatz + groessen[l][2]))
        << "level " << l;
    versatz += groessen[l][2];
  }
}

TEST_F(DDS, ZweiteMagieUndMipZahlNurMitAllenSchaltern) {
  Kopf k = Kopf::Dxt("DXT5", 8, 8);
  k.magie = "KVZQ";
  // Through the loader that goes by content, which must know the second magic too.
  const Bytes kvzq = k.Mips(2).Datei(Folge(64 + 16));
  SchreibeDatei(ordner.pfad() / "kvzq.bin", std::string(kvzq.begin(), kvzq.end()));
  ASSERT_TRUE(bild.LadeBildAusDatei(ordner.pfad() / "kvzq.bin"));
  EXPECT_EQ(bild.mipAnzahl, 2u);
  EXPECT_EQ(bild.format, PXFMT_DXT5);

  Kopf ohneCaps = Kopf::Dxt("DXT3", 8, 8);
  ohneCaps.mip = 5;
  ohneCaps.flags |= kMipFlag;
  ASSERT_TRUE(Lade(ohneCaps.Datei(Folge(64))));
  EXPECT_EQ(bild.mipAnzahl, 1u);

  Kopf ohneFlag = Kopf::Dxt("DXT3", 8, 8).Mips(5);
  ohneFlag.flags &= ~kMipFlag;
  ASSERT_TRUE(Lade(ohneFlag.Datei(Folge(64))));
  EXPECT_EQ(bild.mipAnzahl, 1u);
}

TEST_F(DDS, MipZahlWirdAufDieVolleKetteBegrenzt) {
  // 8 x 4 has four levels down to 1 x 1; a larger count (or 2^32 - 1) does not build more.
  for (std::uint32_t n : {5u, 0xFFFFFFFFu}) {
    ASSERT_TRUE(Lade(Kopf::Dxt("DXT1", 8, 4).Mips(n).Datei(Folge(40)))) << n;
    EXPECT_EQ(bild.mipAnzahl, 4u);
    EXPECT_EQ(bild.GibMipStufe(3)->breite, 1u);
  }
}

TEST_F(DDS, CubeMapSeitenLandenInIhrenSlots) {
  // 4 x 4 A8R8G8B8 with two levels: each face is filled with its file index + 1 in every byte.
  Bytes pixel;
  for (std::uint8_t f = 0; f < 6; ++f) {
    const Bytes seite(4 * 4 * 4 + 2 * 2 * 4, std::uint8_t(f + 1));
    pixel.insert(pixel.end(), seite.begin(), seite.end());
  }
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
}

TEST_F(DDS, UnvollstaendigeCubeMapIstEinfachesBild) {
  Kopf k = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u).Cube();
  k.caps2 &= ~0x8000u;  // five face bits
  ASSERT_TRUE(Lade(k.Datei(Folge(64))));
  EXPECT_FALSE(bild.istCubeSeite);
  EXPECT_EQ(Pixel(bild, 0, 0), 0x04030201u);
}

TEST_F(DDS, MaskierteFormate) {
  // X8R8G8B8: no alpha mask, so opaque.
  ASSERT_TRUE(Lade(Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0).Datei(Bytes(64, 0x80))));
  EXPECT_EQ(Pixel(bild, 2, 2), 0xFF808080u);

  // R5G6B5: red in the top five bits of its byte, green in the top six.
  const std::uint16_t rgb565 = 0x1F << 11 | 0x21 << 5 | 0x01;
  Bytes p565;
  for (int i = 0; i < 16; ++i) p565.insert(p565.end(), {std::uint8_t(rgb565), std::uint8_t(rgb565 >> 8)});
  ASSERT_TRUE(Lade(Kopf::Maske(16, 0xF800, 0x07E0, 0x001F, 0).Datei(p565)));
  EXPECT_EQ(Pixel(bild, 1, 0), 0xFFF88408u);

  // 24-bit B, G, R bytes.
  Bytes p888;
  for (int i = 0; i < 16; ++i) p888.insert(p888.end(), {0x11, 0x22, 0x33});
  ASSERT_TRUE(Lade(Kopf::Maske(24, 0xFF0000, 0xFF00, 0xFF, 0).Datei(p888)));
  EXPECT_EQ(Pixel(bild, 3, 3), 0xFF332211u);

  // A8 through the masks: colour masks zero give black.
  ASSERT_TRUE(Lade(Kopf::Maske(8, 0, 0, 0, 0xFF).Datei(Folge(16, 100))));
  EXPECT_EQ(Pixel(bild, 1, 0), 101u << 24);

  // A1R5G5B5 with a one-bit alpha.
  const std::uint16_t argb1555 = 0x8000 | 0x1F << 10;
  Bytes p1555;
  for (int i = 0; i < 16; ++i) p1555.insert(p1555.end(), {std::uint8_t(argb1555), std::uint8_t(argb1555 >> 8)});
  ASSERT_TRUE(Lade(Kopf::Maske(16, 0x7C00, 0x03E0, 0x001F, 0x8000).Datei(p1555)));
  EXPECT_EQ(Pixel(bild, 0, 0), 0x80F80000u);

  // Masks beyond the pixel's bits, and all masks zero: no crash, channels 0.
  ASSERT_TRUE(Lade(Kopf::Maske(16, 0xFF000000u, 0xFF0000, 0, 0).Datei(Bytes(32, 0xFF))));
  EXPECT_EQ(Pixel(bild, 0, 0), 0xFF000000u);
  ASSERT_TRUE(Lade(Kopf::Maske(32, 0, 0, 0, 0).Datei(Bytes(64, 0xFF))));
  EXPECT_EQ(Pixel(bild, 0, 0), 0xFF000000u);
}

TEST_F(DDS, GleitkommaBild) {
  Kopf k = Kopf::Dxt("DXT1", 2, 1);
  k.fourCC = 116;  // A32B32G32R32F
  const Bytes pixel = Folge(32);
  ASSERT_TRUE(Lade(k.Datei(pixel)));
  EXPECT_EQ(bild.format, PXFMT_A32B32G32R32F);
  EXPECT_EQ(Bytes(bild.daten, bild.daten + 32), pixel);
}

TEST_F(DDS, BildOhneBreite) {
  // No pixels at all, however many rows: loads at once as an empty image.
  Kopf k = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0);
  k.breite = 0;
  k.hoehe = 0xFFFFFFFFu;
  ASSERT_TRUE(Lade(k.Datei({})));
  EXPECT_EQ(bild.breite, 0u);
  EXPECT_EQ(bild.hoehe, 0xFFFFFFFFu);
  EXPECT_EQ(bild.pitch, 0u);
}

TEST_F(DDS, AbgelehntePixelformate) {
  for (const char* code : {"DXT2", "DXT4", "ATI2"}) {
    char meldung[80];
    std::snprintf(meldung, sizeof meldung, "!Quelm_Bild::LadeDDS(): Pixelformat %08x wird nicht unterstützt.",
                  Code(code));
    ErwarteAbgelehnt(Kopf::Dxt(code, 4, 4).Datei(Bytes(16, 0)), meldung);
  }
  Kopf a8 = Kopf::Dxt("DXT1", 4, 4);
  a8.fourCC = 28;
  ErwarteAbgelehnt(a8.Datei(Bytes(16, 0)), "Pixelformat 0000001c wird nicht unterstützt.");
}

TEST_F(DDS, AbgelehnteKoepfe) {
  const Bytes gut = Kopf::Dxt("DXT1", 4, 4).Datei(Bytes(8, 0));
  ASSERT_TRUE(Lade(gut));
  Bytes fremd = gut;
  fremd[0] = 'X';
  ErwarteAbgelehnt(fremd, "!Quelm_Bild::LadeDDS(): Datei ist keine DDS-Datei.");
  ErwarteAbgelehnt(Bytes(gut.begin(), gut.begin() + 3), "Datei ist keine DDS-Datei.");

  const std::string ungueltig = "!Quelm_Bild::LadeDDS(): Ungültiger DDS-Header.";
  ErwarteAbgelehnt(Bytes(gut.begin(), gut.begin() + 100), ungueltig);
  Kopf groesse = Kopf::Dxt("DXT1", 4, 4);
  groesse.kopfGroesse = 100;
  ErwarteAbgelehnt(groesse.Datei(Bytes(8, 0)), ungueltig);
  Kopf flags = Kopf::Dxt("DXT1", 4, 4);
  flags.flags = 0x20000;
  ErwarteAbgelehnt(flags.Datei(Bytes(8, 0)), ungueltig);
  // Masked pixels of 0, 12 or 40 bits.
  for (std::uint32_t bits : {0u, 12u, 40u})
    ErwarteAbgelehnt(Kopf::Maske(bits, 0xF00, 0xF0, 0xF, 0).Datei(Bytes(128, 0)), ungueltig);

  Kopf schief = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0).Cube();
  schief.breite = 8;
  ErwarteAbgelehnt(schief.Datei(Bytes(6 * 8 * 4 * 4, 0)),
                   "!Quelm_Bild::LadeDDS(): Seiten einer CubeMap müssen quadratisch sein.");
}

TEST_F(DDS, ZuKurzeDateienWerdenAbgelehnt) {
  const std::string kurz = "!Quelm_Bild::LadeDDS(): Datei ist kürzer als ihre Bilddaten.";
  // The last mip level one byte short.
  ErwarteAbgelehnt(Kopf::Dxt("DXT1", 8, 4).Mips(4).Datei(Folge(39)), kurz);
  // The sixth face missing.
  ErwarteAbgelehnt(Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0).Cube().Datei(Bytes(5 * 64, 0)), kurz);
  // Masked pixels: rows of width x 3 bytes.
  ErwarteAbgelehnt(Kopf::Maske(24, 0xFF0000, 0xFF00, 0xFF, 0).Datei(Bytes(47, 0)), kurz);
  // Huge sides with no data behind them: refused before anything is allocated.
  Kopf riesig = Kopf::Dxt("DXT5", 0xFFFFFFFFu, 0xFFFFFFFFu).Mips(40);
  ErwarteAbgelehnt(riesig.Datei(Bytes(16, 0)), kurz);
  Kopf riesigMaske = Kopf::Maske(32, 0xFF0000, 0xFF00, 0xFF, 0).Cube();
  riesigMaske.breite = riesigMaske.hoehe = 0xFFFFFFFFu;
  ErwarteAbgelehnt(riesigMaske.Datei(Bytes(16, 0)), kurz);
}

TEST_F(DDS, LadenUeberDieDatei) {
  const Bytes datei = Kopf::Dxt("DXT1", 4, 4).Datei(Folge(8));
  SchreibeDatei(ordner.pfad() / "x.dds", std::string(datei.begin(), datei.end()));
  ASSERT_TRUE(bild.LadeBildAusDatei(ordner.pfad() / "x.dds"));
  EXPECT_EQ(bild.format, PXFMT_DXT1);
  EXPECT_EQ(bild.daten[7], 8);
}

}  // namespace
