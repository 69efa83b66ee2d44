#include "BildHilfen.h"
#include "ProtokollSammler.h"
#include "Quelm_Bild.h"
#include "Quelm_PNG.h"
#include "TSpeicher.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kSignatur = {137, 80, 78, 71, 13, 10, 26, 10};

void BE(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
}

// One chunk with its CRC computed by zlib, independently of the code under test.
void Chunk(Bytes& datei, const char* typ, const Bytes& inhalt) {
  BE(datei, static_cast<std::uint32_t>(inhalt.size()));
  const std::size_t start = datei.size();
  datei.insert(datei.end(), typ, typ + 4);
  datei.insert(datei.end(), inhalt.begin(), inhalt.end());
  BE(datei, static_cast<std::uint32_t>(crc32(0, datei.data() + start, static_cast<uInt>(datei.size() - start))));
}

Bytes Kopf(std::uint32_t breite, std::uint32_t hoehe, std::uint8_t tiefe, std::uint8_t farbTyp,
           std::uint8_t interlace = 0) {
  Bytes k;
  BE(k, breite);
  BE(k, hoehe);
  k.insert(k.end(), {tiefe, farbTyp, 0, 0, interlace});
  return k;
}

Bytes Packe(const Bytes& roh) {
  uLongf laenge = compressBound(static_cast<uLong>(roh.size()));
  Bytes aus(laenge);
  EXPECT_EQ(compress2(aus.data(), &laenge, roh.data(), static_cast<uLong>(roh.size()), 6), Z_OK);
  aus.resize(laenge);
  return aus;
}

int PaethVorhersage(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Filters the rows of `pixel` (b bytes a pixel) with the given filter per row, as an
// encoder would.
Bytes Filtere(const Bytes& pixel, std::size_t breite, std::size_t hoehe, std::size_t b,
              const std::vector<int>& filter) {
  const std::size_t zeile = breite * b;
  Bytes roh;
  for (std::size_t y = 0; y < hoehe; ++y) {
    const int f = filter[y % filter.size()];
    roh.push_back(std::uint8_t(f));
    for (std::size_t i = 0; i < zeile; ++i) {
      const int x = pixel[y * zeile + i];
      const int a = i >= b ? pixel[y * zeile + i - b] : 0;
      const int u = y > 0 ? pixel[(y - 1) * zeile + i] : 0;
      const int ul = y > 0 && i >= b ? pixel[(y - 1) * zeile + i - b] : 0;
      const int vorhersage[] = {0, a, u, (a + u) / 2, PaethVorhersage(a, u, ul)};
      roh.push_back(std::uint8_t(x - (f < 5 ? vorhersage[f] : 0)));  // 5 and up: unknown types
    }
  }
  return roh;
}

Bytes ZufallsBytes(std::size_t n, unsigned saat) {
  std::mt19937 zufall(saat);
  Bytes b(n);
  for (auto& x : b) x = std::uint8_t(zufall());
  return b;
}

// A complete PNG; the compressed stream is split over `teile` IDAT chunks with a text
// chunk between each two.
Bytes BaueDatei(const Bytes& kopf, const Bytes& strom, int teile = 1, const Bytes& trns = {}) {
  Bytes d = kSignatur;
  Chunk(d, "IHDR", kopf);
  if (!trns.empty()) Chunk(d, "tRNS", trns);
  const std::size_t stueck = (strom.size() + teile - 1) / teile;
  for (std::size_t versatz = 0; versatz < strom.size(); versatz += stueck) {
    if (versatz) Chunk(d, "tEXt", Bytes{'a', 0, 'b'});
    Chunk(d, "IDAT", Bytes(strom.begin() + versatz, strom.begin() + std::min(strom.size(), versatz + stueck)));
  }
  Chunk(d, "IEND", {});
  return d;
}

void Fuelle(TSpeicher& s, const Bytes& b) {
  s.SetKapazitaet(b.size() + 1);
  if (!b.empty()) std::memcpy(s.daten, b.data(), b.size());
  s.groesse = b.size();
  s.position = 0;
}

class PNG : public ProtokollTest {
 protected:
  bool Lade(const Bytes& datei) {
    TSpeicher s;
    Fuelle(s, datei);
    return Quelm_Bild::LadePNG(bild, s);
  }
  // Loads `datei` and expects it refused with `meldung`.
  void ErwarteAbgelehnt(const Bytes& datei, const std::string& meldung) {
    sammler->zeilen.clear();
    EXPECT_FALSE(Lade(datei));
    EXPECT_TRUE(Gemeldet(meldung)) << meldung;
  }

  Quelm_Bild bild;
};

// The table and the continuation are checked by the CRCs of a written file.
TEST(Crc32, PruefwertUndLeereLaengen) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("123456789", -5), 0u);
}

TEST_F(PNG, JederFilterTypInRgbUndRgbaUndGeteilterStrom) {
  // Every filter type, and every type after every other one.
  const std::vector<int> filter = {0, 1, 2, 3, 4, 0, 2, 4, 1, 3, 0, 3, 2, 1, 4, 4, 3, 3, 2, 2, 1, 1, 0};
  const std::size_t breite = 13, hoehe = filter.size();
  for (std::size_t b : {3u, 4u}) {
    SCOPED_TRACE(b);
    const Bytes pixel = ZufallsBytes(breite * hoehe * b, static_cast<unsigned>(b));
    // RGB: the stream split over five IDAT chunks, and bytes after IEND.
    const int teile = b == 3 ? 5 : 1;
    const Bytes strom = Packe(Filtere(pixel, breite, hoehe, b, filter));
    Bytes datei = BaueDatei(Kopf(breite, hoehe, 8, b == 4 ? 6 : 2), strom, teile);
    datei.insert(datei.end(), {1, 2, 3, 4, 5});
    ASSERT_TRUE(Lade(datei));
    ASSERT_EQ(bild.breite, breite);
    ASSERT_EQ(bild.hoehe, hoehe);
    for (std::size_t i = 0; i < breite * hoehe; ++i) {
      const std::uint8_t* p = &pixel[i * b];
      const std::uint32_t a = b == 4 ? p[3] : 255;
      ASSERT_EQ(Pixel(bild, i % breite, i / breite), a << 24 | p[0] << 16 | p[1] << 8 | p[2]) << i;
    }
  }
}

TEST_F(PNG, KleineBilderMitBekanntenPixeln) {
  struct Fall {
    const char* name;
    Bytes datei;
    std::vector<std::uint32_t> pixel;  // row by row
  };
  const Fall faelle[] = {
      // Paeth with a = u = ul = 0 predicts 0, so the bytes are the pixel.
      {"Paeth ohne Nachbarn", BaueDatei(Kopf(1, 1, 8, 6), Packe(Bytes{4, 10, 20, 30, 40})), {0x280A141Eu}},
      // Second row, second pixel: a = 0, u = 3, ul = 1 gives p = 2, equally near u and ul: u wins.
      {"Paeth-Gleichstand u gegen ul",
       BaueDatei(Kopf(2, 2, 8, 2), Packe(Bytes{0, 1, 1, 1, 3, 3, 3, 4, 255, 255, 255, 0, 0, 0})),
       {0xFF010101u, 0xFF030303u, 0xFF000000u, 0xFF030303u}},
      // RGB with a transparent colour: only exact matches of all three samples lose their alpha.
      {"tRNS-Schluesselfarbe",
       BaueDatei(Kopf(3, 1, 8, 2), Packe(Bytes{0, 1, 2, 3, 1, 2, 4, 0, 2, 3}), 1, Bytes{0, 1, 0, 2, 0, 3}),
       {0x00010203u, 0xFF010204u, 0xFF000203u}},
      {"tRNS ausserhalb von 8 Bit trifft nichts",
       BaueDatei(Kopf(1, 1, 8, 2), Packe(Bytes{0, 1, 2, 3}), 1, Bytes{1, 1, 0, 2, 0, 3}), {0xFF010203u}},
  };
  for (const Fall& fall : faelle) {
    SCOPED_TRACE(fall.name);
    ASSERT_TRUE(Lade(fall.datei));
    for (std::size_t i = 0; i < fall.pixel.size(); ++i)
      EXPECT_EQ(Pixel(bild, i % bild.breite, i / bild.breite), fall.pixel[i]) << std::hex << i;
  }
}

TEST_F(PNG, AbgelehnteDateienMitIhrerMeldung) {
  const Bytes strom = Packe(Filtere(ZufallsBytes(4 * 4 * 3, 1), 4, 4, 3, {0}));
  const Bytes gut = BaueDatei(Kopf(4, 4, 8, 2), strom);
  ASSERT_TRUE(Lade(gut));

  Bytes falsch = gut;
  falsch[1] = 'Q';
  ErwarteAbgelehnt(falsch, "!Quelm_Bild::LadePNG(): Datei ist kein PNG-Bild.");
  ErwarteAbgelehnt(Bytes(gut.begin(), gut.begin() + 7), "Datei ist kein PNG-Bild.");

  const std::string kopfFehler = "!Quelm_Bild::LadePNG(): PNG-Header ist ungültig.";
  Bytes ohneKopf = kSignatur, kurzerKopf = kSignatur;
  Chunk(ohneKopf, "IDAT", strom);
  ErwarteAbgelehnt(ohneKopf, kopfFehler);
  Chunk(kurzerKopf, "IHDR", Bytes(12, 1));
  ErwarteAbgelehnt(kurzerKopf, kopfFehler);
  ErwarteAbgelehnt(Bytes(gut.begin(), gut.begin() + 30), kopfFehler);  // header cut off
  for (auto [breite, hoehe] : {std::pair{0u, 4u}, {4u, 0u}, {0x80000000u, 4u}})
    ErwarteAbgelehnt(BaueDatei(Kopf(breite, hoehe, 8, 2), strom), kopfFehler);

  const std::string merkmale = "!Quelm_Bild::LadePNG(): PNG-Datei enthält nicht unterstützte Merkmale.";
  // Palette, 16-bit samples, greyscale, grey with alpha, interlaced.
  using Merkmale = std::array<std::uint8_t, 3>;  // bit depth, colour type, interlace
  for (auto [tiefe, typ, interlace] : {Merkmale{8, 3, 0}, {16, 2, 0}, {8, 0, 0}, {8, 4, 0}, {8, 2, 1}})
    ErwarteAbgelehnt(BaueDatei(Kopf(4, 4, tiefe, typ, interlace), strom), merkmale);
  // More pixels than the reader takes into memory.
  ErwarteAbgelehnt(BaueDatei(Kopf(20000, 20000, 8, 6), strom),
                   "!Quelm_Bild::LadePNG(): PNG-Bild ist mit 20000x20000 Pixeln zu groß (höchstens 268435456 Pixel).");
  EXPECT_EQ(bild.breite, 4u) << "a refusal before the pixel data keeps the image";

  const std::string passtNicht = "Picture data doesn't fit picture size.";
  // A few bytes cannot inflate to 4000 x 4000 pixels: refused before anything is allocated.
  ErwarteAbgelehnt(BaueDatei(Kopf(4000, 4000, 8, 6), strom), passtNicht);
  EXPECT_EQ(bild.breite, 4u);
  // One row short, one row too many, RGBA needs more.
  for (const Bytes& kopf : {Kopf(4, 5, 8, 2), Kopf(4, 3, 8, 2), Kopf(4, 4, 8, 6)})
    ErwarteAbgelehnt(BaueDatei(kopf, strom), passtNicht);
  ErwarteAbgelehnt(BaueDatei(Kopf(4, 4, 8, 2), Bytes(strom.begin(), strom.end() - 10)), passtNicht);
  EXPECT_TRUE(Gemeldet("!ZLib_Entpacken(...): Failed to inflate data."));
  // 16 x 16 RGB needs 784 bytes; this stream would inflate to 32 MiB.
  ErwarteAbgelehnt(BaueDatei(Kopf(16, 16, 8, 2), Packe(Bytes(32u << 20, 0)), 3), passtNicht);
  EXPECT_FALSE(Gemeldet("Failed to inflate data.")) << "the stream was stopped, not broken";
  ErwarteAbgelehnt(BaueDatei(Kopf(4, 4, 8, 2), Packe(Filtere(ZufallsBytes(48, 1), 4, 4, 3, {0, 5}))),
                   "!Quelm_Bild::LadePNG():\n  Unknown filter type 5.\n");

  const std::string unvollstaendig = "!Quelm_Bild::LadePNG(): PNG-Datei ist unvollständig.";
  const Bytes zweiTeile = BaueDatei(Kopf(16, 16, 8, 6), Packe(Filtere(ZufallsBytes(1024, 5), 16, 16, 4, {1})), 2);
  ASSERT_TRUE(Lade(zweiTeile));
  // Cut inside the first IDAT, inside the second, inside the CRC of IEND.
  for (std::size_t laenge : {std::size_t{60}, zweiTeile.size() - 40, zweiTeile.size() - 1})
    ErwarteAbgelehnt(Bytes(zweiTeile.begin(), zweiTeile.begin() + laenge), unvollstaendig);
  // A chunk announcing more bytes than the file holds (the first IDAT follows IHDR at 33).
  for (std::uint8_t laenge : {0x7F, 0xFF}) {
    Bytes lang = zweiTeile;
    std::fill_n(lang.begin() + 33, 4, laenge);
    ErwarteAbgelehnt(lang, unvollstaendig);
  }
  // Without IEND but with all data the image is whole.
  EXPECT_TRUE(Lade(Bytes(zweiTeile.begin(), zweiTeile.end() - 12)));
}

TEST_F(PNG, ZLibRundreiseGrenzeUndKaputteStroeme) {
  for (const Bytes& daten : {ZufallsBytes(300000, 7), Bytes(300000, 42), ZufallsBytes(100, 8)}) {
    TSpeicher quelle, gepackt, zurueck;
    Fuelle(quelle, daten);
    quelle.SetKapazitaet(daten.size());  // no spare room: noise does not compress
    gepackt.Reserviere(3);
    gepackt.groesse = 3;  // the stream is appended behind existing contents
    ASSERT_TRUE(ZLib_Packen(quelle, gepackt));
    EXPECT_EQ(quelle.position, quelle.groesse);
    gepackt.position = 3;
    ASSERT_TRUE(ZLib_Entpacken(gepackt, zurueck));
    EXPECT_EQ(gepackt.position, gepackt.groesse);
    EXPECT_EQ(Bytes(zurueck.daten, zurueck.daten + zurueck.groesse), daten);
  }

  // 64 MiB of zeros in a stream of some 64 KiB: with a limit the target stays small.
  TSpeicher quelle, ziel;
  Fuelle(quelle, Packe(Bytes(64u << 20, 0)));
  EXPECT_FALSE(ZLib_Entpacken(quelle, ziel, 1000));
  EXPECT_LE(ziel.kapazitaet, 10000u);
  EXPECT_EQ(ziel.groesse, 1001u);
  EXPECT_TRUE(sammler->zeilen.empty()) << "stopped, not broken";

  const Bytes strom = Packe(ZufallsBytes(5000, 1));
  for (const Bytes& falsch : {Bytes{}, Bytes(strom.begin(), strom.end() - 20), Bytes{1, 2, 3, 4, 5, 6}}) {
    TSpeicher kaputt;  // the empty one without any buffer
    sammler->zeilen.clear();
    if (!falsch.empty()) Fuelle(kaputt, falsch);
    EXPECT_FALSE(ZLib_Entpacken(kaputt, ziel));
    EXPECT_TRUE(Gemeldet("!ZLib_Entpacken(...): Failed to inflate data."));
  }
}

TEST_F(PNG, GeschriebeneDateiHatDenErwartetenAufbau) {
  Quelm_Bild quelle(2, 2, PXFMT_A8R8G8B8);
  const std::uint32_t farben[4] = {0xFF102030, 0x00405060, 0x12708090, 0xFFA0B0C0};
  std::memcpy(quelle.daten, farben, sizeof farben);
  const auto pfad = ordner.pfad() / "klein.png";
  ASSERT_TRUE(Quelm_Bild::SpeicherePNG(quelle, pfad));
  const std::string s = LeseDatei(pfad);
  const Bytes d(s.begin(), s.end());
  ASSERT_GT(d.size(), 57u);
  const Bytes idat(d.begin() + 41, d.end() - 16);  // between IDAT's type and its CRC

  Bytes erwartet = kSignatur;
  Chunk(erwartet, "IHDR", Kopf(2, 2, 8, 2));
  Chunk(erwartet, "IDAT", idat);
  Chunk(erwartet, "IEND", {});
  EXPECT_EQ(d, erwartet) << "signature, IHDR, IDAT, IEND with their CRCs";

  // The stream holds filter byte 0 and r, g, b per pixel.
  Bytes roh(14);
  uLongf rohLaenge = roh.size();
  ASSERT_EQ(uncompress(roh.data(), &rohLaenge, idat.data(), idat.size()), Z_OK);
  EXPECT_EQ(roh, (Bytes{0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0, 0x70, 0x80, 0x90, 0xA0, 0xB0, 0xC0}));

  Quelm_Bild flach(97, 61, PXFMT_A8R8G8B8);
  std::memset(flach.daten, 0x66, 97 * 61 * 4);
  ASSERT_TRUE(Quelm_Bild::SpeicherePNG(flach, ordner.pfad() / "flach.png"));
  EXPECT_LT(LeseDatei(ordner.pfad() / "flach.png").size(), 200u) << "written compressed";
}

TEST_F(PNG, SchreibfehlerWerdenGemeldetUndZurueckgegeben) {
  Quelm_Bild quelle(3, 3, PXFMT_A8R8G8B8);
  EXPECT_FALSE(Quelm_Bild::SpeicherePNG(quelle, ordner.pfad() / "fehlt" / "x.png"));
  EXPECT_TRUE(Gemeldet("!Quelm_Bild::SpeicherePNG( \"" + (ordner.pfad() / "fehlt" / "x.png").string() +
                       "\"): Datei konnte nicht geöffnet werden."));

  sammler->zeilen.clear();
  Quelm_Bild falsch(3, 3, PXFMT_R32F);
  EXPECT_FALSE(Quelm_Bild::SpeicherePNG(falsch, ordner.pfad() / "f.png"));
  EXPECT_TRUE(Gemeldet("!Ausnahme \""));
  EXPECT_FALSE(std::filesystem::exists(ordner.pfad() / "f.png"));
}

TEST_F(PNG, LadenNachDateiinhalt) {
  EXPECT_FALSE(bild.LadeBildAusDatei(ordner.pfad() / "gibtsnicht.png"));
  EXPECT_TRUE(Gemeldet("!Quelm_Bild::LadeBildAusDatei( \"" + (ordner.pfad() / "gibtsnicht.png").string() +
                       "\"):  Datei konnte nicht geladen werden."));
  SchreibeDatei(ordner.pfad() / "text.png", "kein Bild");
  EXPECT_FALSE(bild.LadeBildAusDatei(ordner.pfad() / "text.png"));
  EXPECT_TRUE(Gemeldet("!Quelm_Bild::LadeBildAusDatei():  Dateiformat nicht erkennbar."));
  SchreibeDatei(ordner.pfad() / "leer", "");
  EXPECT_FALSE(bild.LadeBildAusDatei(ordner.pfad() / "leer"));

  // The extension does not matter, the content does.
  const Bytes datei = BaueDatei(Kopf(2, 1, 8, 2), Packe(Bytes{0, 1, 2, 3, 4, 5, 6}));
  SchreibeDatei(ordner.pfad() / "bild.dds", std::string(datei.begin(), datei.end()));
  ASSERT_TRUE(bild.LadeBildAusDatei(ordner.pfad() / "bild.dds"));
  EXPECT_EQ(Pixel(bild, 1, 0), 0xFF040506u);
}

}  // namespace
