// PNG reading (8-bit RGB and RGBA, not interlaced) and writing (8-bit RGB) over zlib.
#include "Quelm_PNG.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_Protokolliere.h"
#include "TSpeicher.h"

#include <emmintrin.h>
#include <tmmintrin.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::array<std::uint32_t, 256> CrcTabelle() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[n] = c;
  }
  return t;
}
// Built at compile time: no first call can race with another.
constexpr std::array<std::uint32_t, 256> kCrcTabelle = CrcTabelle();

constexpr std::uint32_t kSignatur1 = 0x89504E47;  // 137 'P' 'N' 'G'
constexpr std::uint32_t kSignatur2 = 0x0D0A1A0A;  // CR LF 26 LF
constexpr std::uint8_t kSignatur[8] = {137, 80, 78, 71, 13, 10, 26, 10};

constexpr std::uint32_t Typ(const char (&t)[5]) {
  return std::uint32_t(std::uint8_t(t[0])) << 24 | std::uint32_t(std::uint8_t(t[1])) << 16 |
         std::uint32_t(std::uint8_t(t[2])) << 8 | std::uint8_t(t[3]);
}

// PNG allows sides up to 2^31 - 1; beyond this many pixels an image is refused as too large
// for memory (16384 x 16384 still loads).
constexpr std::uint64_t kMaxPixel = std::uint64_t{1} << 28;
// deflate cannot expand a byte of input to more than 1032 bytes of output, so a file
// announcing more pixel data than that can never hold it.
constexpr std::uint64_t kMaxEntpackFaktor = 1032;
// PNG chunk lengths are at most 2^31 - 1.
constexpr std::uint64_t kMaxChunk = 0x7FFFFFFF;

std::uint32_t LiesBE(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void SchreibeBE(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24);
  p[1] = std::uint8_t(v >> 16);
  p[2] = std::uint8_t(v >> 8);
  p[3] = std::uint8_t(v);
}

std::uint64_t Rest(const TSpeicher& s) { return s.position < s.groesse ? s.groesse - s.position : 0; }

// Unfiltering works on whole pixels at once: a pixel's channels share their neighbours'
// positions, so B bytes (3 or 4) go through the same steps side by side, in the low lanes
// of an SSE2 register. Only the chain from one pixel to the next is serial.
inline __m128i LiesPixel(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);  // for B = 3 the fourth byte is the next pixel's, and is not kept
  return _mm_cvtsi32_si128(static_cast<int>(v));
}

// Writes the low B bytes of `v` to `p`.
template <int B>
inline void SchreibePixel(std::uint8_t* p, __m128i v) {
  const auto w = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
  if constexpr (B == 3) {
    // Two stores that the next pixel's 4-byte read does not overlap: reading across part
    // of a recent store stalls until the store is done.
    const auto unten = static_cast<std::uint16_t>(w);
    std::memcpy(p, &unten, 2);
    p[2] = static_cast<std::uint8_t>(w >> 16);
  } else {
    std::memcpy(p, &w, 4);
  }
}

// The Paeth predictor per channel: the nearest of a, u, ul to a + u - ul, ties going to a,
// then u. In 16-bit lanes, so the differences do not overflow.
inline __m128i PaethVorhersage(__m128i a, __m128i u, __m128i ul) {
  const __m128i null = _mm_setzero_si128();
  const __m128i a16 = _mm_unpacklo_epi8(a, null), u16 = _mm_unpacklo_epi8(u, null),
                ul16 = _mm_unpacklo_epi8(ul, null);
  const __m128i pa0 = _mm_sub_epi16(u16, ul16);  // p - a
  const __m128i pu0 = _mm_sub_epi16(a16, ul16);  // p - u
  const __m128i pul0 = _mm_add_epi16(pa0, pu0);  // p - ul
  const __m128i pa = _mm_max_epi16(pa0, _mm_sub_epi16(null, pa0));
  const __m128i pu = _mm_max_epi16(pu0, _mm_sub_epi16(null, pu0));
  const __m128i pul = _mm_max_epi16(pul0, _mm_sub_epi16(null, pul0));
  // a where pa <= pu and pa <= pul; else u where pu <= pul; else ul.
  const __m128i nimmA = _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi16(pa, pu), _mm_cmpgt_epi16(pa, pul)),
                                         _mm_set1_epi16(-1));
  const __m128i nimmU = _mm_andnot_si128(_mm_cmpgt_epi16(pu, pul), _mm_set1_epi16(-1));
  const __m128i uOderUl = _mm_or_si128(_mm_and_si128(nimmU, u16), _mm_andnot_si128(nimmU, ul16));
  const __m128i wahl = _mm_or_si128(_mm_and_si128(nimmA, a16), _mm_andnot_si128(nimmA, uOderUl));
  return _mm_packus_epi16(wahl, wahl);
}

// One row in place. `akt` is the row with B zero bytes in front, `vor` the row above
// (all zero before the first row), both with room for 16 bytes' reading past their end.
template <int B>
void EntfiltereZeile(int filter, std::uint8_t* __restrict akt, const std::uint8_t* __restrict vor,
                     std::uint64_t n) {
  switch (filter) {
    case 1: {
      __m128i a = _mm_setzero_si128();
      for (std::uint64_t i = 0; i < n; i += B) {
        a = _mm_add_epi8(LiesPixel(akt + i), a);
        SchreibePixel<B>(akt + i, a);
      }
      break;
    }
    case 2: {
      std::uint64_t i = 0;
      for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(akt + i));
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vor + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(akt + i), _mm_add_epi8(x, u));
      }
      for (; i < n; ++i) akt[i] = std::uint8_t(akt[i] + vor[i]);
      break;
    }
    case 3: {
      // floor((a + u) / 2) is ~avg(~a, ~u), pavgb rounding up. Carried in complement, the
      // chain from pixel to pixel is two steps: ~a' = ~(x + ~avg(~a, ~u)) = avg(~a, ~u) - x.
      const __m128i alle = _mm_set1_epi8(-1);
      __m128i na = alle;  // ~0
      for (std::uint64_t i = 0; i < n; i += B) {
        const __m128i nu = _mm_xor_si128(LiesPixel(vor + i), alle);
        na = _mm_sub_epi8(_mm_avg_epu8(na, nu), LiesPixel(akt + i));
        SchreibePixel<B>(akt + i, _mm_xor_si128(na, alle));
      }
      break;
    }
    case 4: {
      __m128i a = _mm_setzero_si128(), ul = _mm_setzero_si128();
      for (std::uint64_t i = 0; i < n; i += B) {
        const __m128i u = LiesPixel(vor + i);
        a = _mm_add_epi8(LiesPixel(akt + i), PaethVorhersage(a, u, ul));
        SchreibePixel<B>(akt + i, a);
        ul = u;
      }
      break;
    }
  }
}

// Pixels of one unfiltered row as A8R8G8B8: bytes B, G, R, A in memory.
__attribute__((target("ssse3"))) void WandleRgbaSsse3(const std::uint8_t* q, std::uint8_t* z, std::uint64_t breite) {
  const __m128i tausch = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  std::uint64_t x = 0;
  for (; x + 4 <= breite; x += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(z + 4 * x),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 4 * x)), tausch));
  for (; x < breite; ++x) {
    z[4 * x] = q[4 * x + 2];
    z[4 * x + 1] = q[4 * x + 1];
    z[4 * x + 2] = q[4 * x];
    z[4 * x + 3] = q[4 * x + 3];
  }
}

// RGB reads 16 bytes for 4 pixels (12 bytes): the row has 16 bytes of room behind it.
__attribute__((target("ssse3"))) void WandleRgbSsse3(const std::uint8_t* q, std::uint8_t* z, std::uint64_t breite,
                                                   std::uint32_t schluessel) {
  const __m128i verteile = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i deckend = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i schl = _mm_set1_epi32(static_cast<int>(schluessel));
  std::uint64_t x = 0;
  for (; x + 4 <= breite; x += 4) {
    const __m128i rgb = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 3 * x)), verteile);
    const __m128i alpha = _mm_andnot_si128(_mm_cmpeq_epi32(rgb, schl), deckend);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(z + 4 * x), _mm_or_si128(rgb, alpha));
  }
  for (; x < breite; ++x) {
    const std::uint8_t* p = q + 3 * x;
    const std::uint32_t farbe = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    const std::uint32_t wert = farbe | (farbe == schluessel ? 0 : 0xFF000000u);
    std::memcpy(z + 4 * x, &wert, 4);
  }
}

template <int B>
void WandleEinfach(const std::uint8_t* q, std::uint8_t* z, std::uint64_t breite, std::uint32_t schluessel) {
  for (std::uint64_t x = 0; x < breite; ++x) {
    const std::uint8_t* p = q + x * B;
    const std::uint32_t rgb = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    const std::uint32_t alpha = B == 4 ? std::uint32_t(p[3]) << 24 : rgb == schluessel ? 0 : 0xFF000000u;
    const std::uint32_t farbe = alpha | rgb;
    std::memcpy(z + x * 4, &farbe, 4);
  }
}

const bool kHatSsse3 = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));

// Undoes the row filters row by row and writes each row into the image as A8R8G8B8. Two
// row slots alternate as current and previous row, each with b zero bytes in front as the
// left neighbour of the first pixel; before the first row the previous row is all zero.
// The inflater writes each raw row (filter byte, then the bytes) straight into its slot,
// the filter byte into the last byte in front, which is zeroed again once read.
class Entfilterer {
 public:
  // `schluessel`: the transparent colour of an RGB image as 0x00RRGGBB, or kKeinSchluessel.
  Entfilterer(Quelm_Bild& bild, std::uint64_t b, std::uint32_t schluessel)
      : bild_(bild), b_(b), zeile_(b * bild.breite), slot_(b + zeile_ + kPolster), schluessel_(schluessel),
        slots_(2 * slot_, 0) {}

  static constexpr std::uint32_t kKeinSchluessel = 0xFFFFFFFF;

  // Where the next raw row goes: filter byte and b x width bytes.
  std::uint8_t* Ziel() { return Akt() - 1; }

  // Decodes the row written to Ziel(). -1, or the unknown filter type.
  int Zeile() {
    std::uint8_t* akt = Akt();
    const int filter = akt[-1];
    if (filter > 4) return filter;
    akt[-1] = 0;
    const std::uint8_t* vor = slots_.data() + ((y_ & 1) ^ 1) * slot_ + b_;
    if (b_ == 4)
      EntfiltereZeile<4>(filter, akt, vor, zeile_);
    else
      EntfiltereZeile<3>(filter, akt, vor, zeile_);
    std::uint8_t* ziel = bild_.daten + y_ * bild_.pitch;
    if (!kHatSsse3)
      b_ == 4 ? WandleEinfach<4>(akt, ziel, bild_.breite, schluessel_)
              : WandleEinfach<3>(akt, ziel, bild_.breite, schluessel_);
    else if (b_ == 4)
      WandleRgbaSsse3(akt, ziel, bild_.breite);
    else
      WandleRgbSsse3(akt, ziel, bild_.breite, schluessel_);
    ++y_;
    return -1;
  }

 private:
  static constexpr std::uint64_t kPolster = 16;  // room for reading a vector past a row's end

  std::uint8_t* Akt() { return slots_.data() + (y_ & 1) * slot_ + b_; }

  Quelm_Bild& bild_;
  const std::uint64_t b_;
  const std::uint64_t zeile_;
  const std::uint64_t slot_;
  const std::uint32_t schluessel_;
  std::vector<std::uint8_t> slots_;
  std::uint64_t y_ = 0;
};

struct DateiSchliesser {
  std::FILE* f;
  ~DateiSchliesser() {
    if (f) std::fclose(f);
  }
};

}  // namespace

std::uint32_t Crc32Weiter(std::uint32_t crc, const void* bytes, std::uint64_t laenge) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  crc = ~crc;
  for (std::uint64_t i = 0; i < laenge; ++i) crc = kCrcTabelle[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t Crc32(const void* bytes, std::int32_t laenge) {
  if (laenge < 1) return 0;
  return Crc32Weiter(0, bytes, static_cast<std::uint64_t>(laenge));
}

bool ZLib_Entpacken(TSpeicher& quelle, TSpeicher& ziel, std::uint64_t hoechstens) {
  z_stream strom{};
  if (inflateInit(&strom) != Z_OK) {
    Protokolliere("!ZLib_Entpacken(...): Failed to initialise inflate.");
    return false;
  }
  const std::uint8_t* ein = quelle.daten + std::min(quelle.position, quelle.groesse);
  std::uint64_t rest = Rest(quelle);
  std::uint64_t verbraucht = 0;
  std::uint64_t aus = 0;
  ziel.position = 0;
  ziel.groesse = 0;
  // One byte more than allowed is enough to see that a stream is too long.
  const std::uint64_t kapGrenze = hoechstens == UINT64_MAX ? UINT64_MAX : hoechstens + 1;
  int ergebnis = Z_OK;
  bool zuLang = false;
  for (;;) {
    if (ziel.kapazitaet - aus < 10000 && ziel.kapazitaet < kapGrenze)
      ziel.SetKapazitaet(std::min(std::max<std::uint64_t>(ziel.kapazitaet * 2, 10000), kapGrenze));
    const std::uint64_t frei = std::min(ziel.kapazitaet, kapGrenze) - aus;
    strom.next_in = const_cast<Bytef*>(ein + verbraucht);
    strom.avail_in = static_cast<uInt>(std::min<std::uint64_t>(rest, UINT_MAX));
    strom.next_out = ziel.daten + aus;
    strom.avail_out = static_cast<uInt>(std::min<std::uint64_t>(frei, UINT_MAX));
    const uInt einVorher = strom.avail_in;
    const uInt ausVorher = strom.avail_out;
    ergebnis = inflate(&strom, Z_NO_FLUSH);
    verbraucht += einVorher - strom.avail_in;
    rest -= einVorher - strom.avail_in;
    aus += ausVorher - strom.avail_out;
    ziel.groesse = aus;
    if (ergebnis != Z_OK) break;
    if (aus > hoechstens) {
      zuLang = true;
      break;
    }
    // Input used up while output room was left: the stream wants more than there is.
    if (rest == 0 && strom.avail_out > 0) break;
  }
  quelle.position = std::min(quelle.position + verbraucht, quelle.groesse);

  if (ergebnis == Z_STREAM_END) {
    if (inflateEnd(&strom) != Z_OK) {
      Protokolliere("!ZLib_Entpacken(...): Failed to finish inflating.");
      return false;
    }
    return true;
  }
  inflateEnd(&strom);
  if (!zuLang) Protokolliere("!ZLib_Entpacken(...): Failed to inflate data.");
  return false;
}

bool ZLib_Packen(TSpeicher& quelle, TSpeicher& ziel) {
  z_stream strom{};
  if (deflateInit2(&strom, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    Protokolliere("!ZLib_Packen(...): Failed to initialise deflate.");
    return false;
  }
  // Room for the worst case, so incompressible data (noise) are written whole.
  const std::uint64_t bedarf = ziel.groesse + deflateBound(&strom, quelle.groesse);
  if (bedarf > ziel.kapazitaet) ziel.SetKapazitaet(bedarf);

  std::uint64_t verbraucht = 0;
  int ergebnis;
  for (;;) {
    const std::uint64_t rest = quelle.groesse - verbraucht;
    strom.next_in = quelle.daten + verbraucht;
    strom.avail_in = static_cast<uInt>(std::min<std::uint64_t>(rest, UINT_MAX));
    strom.next_out = ziel.daten + ziel.groesse;
    strom.avail_out = static_cast<uInt>(std::min<std::uint64_t>(ziel.kapazitaet - ziel.groesse, UINT_MAX));
    const uInt einVorher = strom.avail_in;
    const uInt ausVorher = strom.avail_out;
    // The last piece of input finishes the stream; zlib takes at most 4 GiB per call.
    ergebnis = deflate(&strom, rest <= UINT_MAX ? Z_FINISH : Z_NO_FLUSH);
    verbraucht += einVorher - strom.avail_in;
    ziel.groesse += ausVorher - strom.avail_out;
    if (ergebnis == Z_STREAM_END || (ergebnis != Z_OK && ergebnis != Z_BUF_ERROR)) break;
    if (einVorher == strom.avail_in && ausVorher == strom.avail_out) break;  // stuck
  }
  quelle.position = std::min(quelle.position + verbraucht, quelle.groesse);

  if (ergebnis == Z_STREAM_END) {
    if (deflateEnd(&strom) != Z_OK) {
      Protokolliere("!ZLib_Packen(...): Failed to finish deflating.");
      return false;
    }
    return true;
  }
  deflateEnd(&strom);
  Protokolliere("!ZLib_Packen(...): Failed to deflate data.");
  return false;
}

bool Quelm_Bild::LadePNG(Quelm_Bild& bild, TSpeicher& q) {
  if (Rest(q) < 8 || LiesBE(q.daten + q.position) != kSignatur1 || LiesBE(q.daten + q.position + 4) != kSignatur2) {
    Protokolliere("!Quelm_Bild::LadePNG(): Datei ist kein PNG-Bild.");
    return false;
  }
  q.position += 8;

  // Chunk head, 13 bytes of header data and the CRC.
  if (Rest(q) < 8 + 13 + 4 || LiesBE(q.daten + q.position) != 13 ||
      LiesBE(q.daten + q.position + 4) != Typ("IHDR")) {
    Protokolliere("!Quelm_Bild::LadePNG(): PNG-Header ist ungültig.");
    return false;
  }
  const std::uint8_t* kopf = q.daten + q.position + 8;
  const std::uint64_t breite = LiesBE(kopf);
  const std::uint64_t hoehe = LiesBE(kopf + 4);
  const std::uint8_t bitTiefe = kopf[8], farbTyp = kopf[9];
  if (bitTiefe != 8 || (farbTyp != 2 && farbTyp != 6) || kopf[10] != 0 || kopf[11] != 0 || kopf[12] != 0) {
    Protokolliere("!Quelm_Bild::LadePNG(): PNG-Datei enthält nicht unterstützte Merkmale.");
    return false;
  }
  if (breite == 0 || hoehe == 0 || breite > 0x7FFFFFFF || hoehe > 0x7FFFFFFF) {
    Protokolliere("!Quelm_Bild::LadePNG(): PNG-Header ist ungültig.");
    return false;
  }
  if (breite * hoehe > kMaxPixel) {
    Protokolliere("!Quelm_Bild::LadePNG(): PNG-Bild ist mit %llux%llu Pixeln zu groß (höchstens %llu Pixel).",
                  static_cast<unsigned long long>(breite), static_cast<unsigned long long>(hoehe),
                  static_cast<unsigned long long>(kMaxPixel));
    return false;
  }
  q.position += 8 + 13 + 4;

  const std::uint64_t b = farbTyp == 6 ? 4 : 3;
  const std::uint64_t zeile = b * breite;
  const std::uint64_t erwartet = (zeile + 1) * hoehe;
  if (erwartet > Rest(q) * kMaxEntpackFaktor + kMaxEntpackFaktor) {
    Protokolliere("!Quelm_Bild::LadePNG():\n  Picture data doesn't fit picture size.");
    return false;
  }
  bild.SetGroesse(breite, hoehe, PXFMT_A8R8G8B8, 1);
  if (bild.breite != breite || bild.hoehe != hoehe || bild.format != PXFMT_A8R8G8B8) return false;  // a face or level

  // Walk the chunks first, so a damaged file is refused before any data is inflated; the
  // IDAT chunks are only noted, not copied.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> idat;  // offset and length
  bool endeGesehen = false;
  std::uint32_t schluessel = Entfilterer::kKeinSchluessel;
  while (q.position < q.groesse) {
    const std::uint64_t rest = Rest(q);
    const std::uint64_t angekuendigt = rest < 8 ? 0 : LiesBE(q.daten + q.position);
    if (rest < 8 || angekuendigt > kMaxChunk || angekuendigt + 12 > rest) {
      // A chunk cut off before the end marker means the file is incomplete; after it
      // the remaining bytes do not matter.
      if (!endeGesehen) {
        Protokolliere("!Quelm_Bild::LadePNG(): PNG-Datei ist unvollständig.");
        return false;
      }
      q.position = q.groesse;
      break;
    }
    const std::uint32_t laenge = LiesBE(q.daten + q.position);
    const std::uint32_t typ = LiesBE(q.daten + q.position + 4);
    q.position += 8;
    if (typ == Typ("IDAT") && laenge > 0) {
      idat.emplace_back(q.position, laenge);
    } else if (typ == Typ("tRNS") && farbTyp == 2 && laenge == 6) {
      // The transparent colour as three 16-bit samples; beyond 255 no 8-bit pixel has it.
      const std::uint8_t* t = q.daten + q.position;
      if ((t[0] | t[2] | t[4]) == 0) schluessel = std::uint32_t(t[1]) << 16 | std::uint32_t(t[3]) << 8 | t[5];
    } else if (typ == Typ("IEND")) {
      endeGesehen = true;
    }
    q.position += std::uint64_t{laenge} + 4;
  }

  // The IDAT chunks form one zlib stream. It is inflated one row at a time and every row
  // is decoded as soon as it is whole; output beyond the expected size stops it. As for a
  // stream inflated whole, the size decides, not the stream's proper end.
  z_stream strom{};
  if (inflateInit(&strom) != Z_OK) {
    Protokolliere("!ZLib_Entpacken(...): Failed to initialise inflate.");
    Protokolliere("!Quelm_Bild::LadePNG():\n  Picture data doesn't fit picture size.");
    return false;
  }
  const std::uint64_t rohZeile = zeile + 1;
  std::uint8_t ueberschuss;
  Entfilterer entfilterer(bild, b, schluessel);
  int falscherFilter = -1;
  std::uint64_t zeilen = 0, gefuellt = 0, gesamt = 0;
  int ergebnis = Z_OK;
  bool zuLang = false;
  for (const auto& [versatz, laenge] : idat) {
    strom.next_in = q.daten + versatz;
    strom.avail_in = laenge;
    do {
      // Once every row is there, one spare byte shows a stream that is too long.
      const bool bildVoll = zeilen == hoehe;
      strom.next_out = bildVoll ? &ueberschuss : entfilterer.Ziel() + gefuellt;
      strom.avail_out = static_cast<uInt>(bildVoll ? 1 : rohZeile - gefuellt);
      const uInt vorher = strom.avail_out;
      ergebnis = inflate(&strom, Z_NO_FLUSH);
      const std::uint64_t neu = vorher - strom.avail_out;
      gesamt += neu;
      if (bildVoll) {
        zuLang = neu > 0;
      } else if ((gefuellt += neu) == rohZeile) {
        // Rows after an unknown filter are not decoded; the stream is still read to its end
        // so that a wrong size is reported first.
        if (falscherFilter < 0) falscherFilter = entfilterer.Zeile();
        ++zeilen;
        gefuellt = 0;
      }
    } while (ergebnis == Z_OK && !zuLang && (strom.avail_in > 0 || strom.avail_out == 0));
    if (ergebnis == Z_BUF_ERROR) ergebnis = Z_OK;  // this chunk is used up, the next one goes on
    if (ergebnis != Z_OK || zuLang) break;
  }
  if (ergebnis == Z_STREAM_END) {
    if (inflateEnd(&strom) != Z_OK) Protokolliere("!ZLib_Entpacken(...): Failed to finish inflating.");
  } else {
    inflateEnd(&strom);
    if (!zuLang) Protokolliere("!ZLib_Entpacken(...): Failed to inflate data.");
  }

  if (zuLang || gesamt != erwartet) {
    Protokolliere("!Quelm_Bild::LadePNG():\n  Picture data doesn't fit picture size.");
    return false;
  }
  if (falscherFilter >= 0) {
    Protokolliere("!Quelm_Bild::LadePNG():\n  Unknown filter type %d.\n", falscherFilter);
    return false;
  }
  return true;
}

bool Quelm_Bild::SpeicherePNG(const Quelm_Bild& bild, const std::filesystem::path& pfad) {
  const std::uint64_t breite = bild.breite, hoehe = bild.hoehe;
  if (bild.format != PXFMT_A8R8G8B8 || bild.pitch != 4 * breite || breite == 0 || hoehe == 0 ||
      breite > 0x7FFFFFFF || hoehe > 0x7FFFFFFF || !bild.daten) {
    MeldeAusnahme("Bild muss A8R8G8B8 mit Pitch 4 x Breite und nicht leer sein", "Quelm_Bild::SpeicherePNG",
                  __FILE__, __LINE__);
    return false;
  }

  // Raw rows: filter byte 0, then r, g, b of every pixel; alpha is dropped.
  TSpeicher roh;
  roh.SetKapazitaet((3 * breite + 1) * hoehe);
  std::uint8_t* aus = roh.daten;
  for (std::uint64_t y = 0; y < hoehe; ++y) {
    const std::uint8_t* zeile = bild.daten + y * bild.pitch;
    *aus++ = 0;
    for (std::uint64_t x = 0; x < breite; ++x) {
      std::uint32_t farbe;
      std::memcpy(&farbe, zeile + x * 4, 4);
      aus[0] = std::uint8_t(farbe >> 16);
      aus[1] = std::uint8_t(farbe >> 8);
      aus[2] = std::uint8_t(farbe);
      aus += 3;
    }
  }
  roh.groesse = (3 * breite + 1) * hoehe;

  TSpeicher gepackt;
  if (!ZLib_Packen(roh, gepackt)) return false;  // an incomplete stream is not written

  DateiSchliesser f{Plattform::OeffneDatei(pfad, "wb")};
  if (!f.f) {
    Protokolliere("!Quelm_Bild::SpeicherePNG( \"%s\"): Datei konnte nicht geöffnet werden.", pfad.string().c_str());
    return false;
  }
  // The chunks go to the file one after the other; the compressed stream is not copied again.
  bool geschrieben = true;
  auto schreibe = [&](const void* daten, std::uint64_t n) {
    geschrieben = geschrieben && (n == 0 || std::fwrite(daten, 1, n, f.f) == n);
  };
  auto chunk = [&](const char(&typ)[5], const std::uint8_t* inhalt, std::uint64_t laenge) {
    std::uint8_t kopf[8], crc[4];
    SchreibeBE(kopf, static_cast<std::uint32_t>(laenge));
    std::memcpy(kopf + 4, typ, 4);
    SchreibeBE(crc, Crc32Weiter(Crc32Weiter(0, typ, 4), inhalt, laenge));
    schreibe(kopf, 8);
    schreibe(inhalt, laenge);
    schreibe(crc, 4);
  };
  schreibe(kSignatur, 8);
  std::uint8_t kopf[13];
  SchreibeBE(kopf, static_cast<std::uint32_t>(breite));
  SchreibeBE(kopf + 4, static_cast<std::uint32_t>(hoehe));
  kopf[8] = 8;   // bit depth
  kopf[9] = 2;   // truecolour
  kopf[10] = 0;  // deflate
  kopf[11] = 0;  // adaptive filtering
  kopf[12] = 0;  // not interlaced
  chunk("IHDR", kopf, 13);
  // A chunk holds at most 2^31 - 1 bytes; a larger stream is split over several IDAT chunks.
  for (std::uint64_t versatz = 0; versatz < gepackt.groesse; versatz += kMaxChunk)
    chunk("IDAT", gepackt.daten + versatz, std::min(kMaxChunk, gepackt.groesse - versatz));
  chunk("IEND", nullptr, 0);

  const bool geschlossen = std::fclose(f.f) == 0;
  f.f = nullptr;
  if (!geschrieben || !geschlossen) {
    Protokolliere("!Quelm_Bild::SpeicherePNG( \"%s\"): Datei konnte nicht geschrieben werden.", pfad.string().c_str());
    return false;
  }
  return true;
}
