#include "TSegmentLeser.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The four characters of an id, for "%c%c%c%c".
struct Zeichen {
  int a, b, c, d;
  explicit Zeichen(std::uint32_t kennung)
      : a(kennung >> 24 & 0xFF), b(kennung >> 16 & 0xFF), c(kennung >> 8 & 0xFF), d(kennung & 0xFF) {}
};

void Melde(const char* format, std::uint32_t kennung, int zahl = 0) {
  const Zeichen z(kennung);
  char text[160];
  std::snprintf(text, sizeof text, format, z.a, z.b, z.c, z.d, zahl);
  MeldeAusnahme(text, "TSegmentLeser::Init", __FILE__, __LINE__);
}

// Length field plus contents plus end marker: no segment with a length is shorter.
constexpr std::uint64_t kMindestLaenge = 8 + 4;

}  // namespace

const std::uint8_t* TSegmentLeser::Nimm(std::uint64_t n) {
  TSpeicher& s = *speicher;
  if (s.position > s.groesse || n > s.groesse - s.position) {
    s.position = std::max(s.position, s.groesse);
    fehler = true;
    return nullptr;
  }
  const std::uint8_t* p = s.daten + s.position;
  s.position += n;
  return p;
}

std::uint64_t TSegmentLeser::LeseBigEndian(int bytes) {
  const std::uint8_t* p = Nimm(bytes);
  if (!p) return 0;
  std::uint64_t wert = 0;
  for (int i = 0; i < bytes; ++i) wert = wert << 8 | p[i];
  return wert;
}

std::uint8_t TSegmentLeser::LeseU8() { return static_cast<std::uint8_t>(LeseBigEndian(1)); }
std::uint32_t TSegmentLeser::LeseU32() { return static_cast<std::uint32_t>(LeseBigEndian(4)); }
std::uint64_t TSegmentLeser::LeseU64() { return LeseBigEndian(8); }

float TSegmentLeser::LeseF32() {
  const std::uint32_t bits = LeseU32();
  float wert;
  std::memcpy(&wert, &bits, sizeof wert);
  return wert;
}

bool TSegmentLeser::Ueberspringe(std::uint64_t n) { return Nimm(n) != nullptr; }

std::uint64_t TSegmentLeser::Rest() const {
  const std::uint64_t bis = std::min(ende, speicher->groesse);
  return bis > speicher->position ? bis - speicher->position : 0;
}

bool TSegmentLeser::Init(std::uint32_t erwartet, std::uint32_t hoechsteVersion) {
  kennung = erwartet;
  version = 0;
  ende = kKeinEnde;
  beendet = false;
  gueltig = false;
  fehler = false;

  const std::uint32_t start = LeseU32();
  if (start != kennung) {
    const Zeichen z(kennung);
    ProtokolliereAusfuehrlich("!TSegmentLeser - Startkennung '%c%c%c%c' nicht gefunden.", z.a, z.b, z.c, z.d);
    Melde("TSegmentLeser - Startmarkierung '%c%c%c%c' erwartet.", kennung);
    return false;
  }
  const std::uint32_t wort = LeseU32();
  std::uint64_t laenge = 0;
  const bool mitLaenge = wort & 0x80000000u;
  std::uint64_t laengenFeld = speicher->position;
  if (mitLaenge) {
    version = wort & 0x7FFFFFFFu;
    laenge = LeseU64();
  } else {
    version = wort;
  }
  if (fehler) {
    Melde("TSegmentLeser - Segment '%c%c%c%c' ist abgeschnitten.", kennung);
    return false;
  }
  // A recorded end that lies inside the header or beyond the contents cannot be trusted: jumping
  // there could go backwards (an owner walking segments would loop) or past the data.
  const bool laengeGut = !mitLaenge || (laenge >= kMindestLaenge && laenge <= speicher->groesse - laengenFeld);
  if (mitLaenge && laengeGut) ende = laengenFeld + laenge;
  if (version > hoechsteVersion) {
    Melde("TSegmentLeser - Segment '%c%c%c%c' hat ungültige Version %d.", kennung, static_cast<int>(version));
    return false;
  }
  if (!laengeGut) {
    Melde(laenge < kMindestLaenge ? "TSegmentLeser - Segment '%c%c%c%c' hat ungültige Länge."
                                  : "TSegmentLeser - Segment '%c%c%c%c' ist abgeschnitten.",
          kennung);
    return false;
  }
  gueltig = true;
  return true;
}

bool TSegmentLeser::Beenden() {
  if (beendet) return gueltig && !fehler;
  beendet = true;
  if (!gueltig) {
    // Only a segment of the right id with a trustworthy length can be stepped over.
    if (ende != kKeinEnde) speicher->SetzePosition(ende);
    return false;
  }
  std::uint32_t marke = kennung & 0xFF000000u;
  for (int verschiebung : {16, 8, 0})
    marke |= static_cast<std::uint32_t>(std::tolower(static_cast<int>(kennung >> verschiebung & 0xFF))) << verschiebung;
  if (LeseU32() != marke) {
    const Zeichen z(kennung);
    ProtokolliereAusfuehrlich("!TSegmentLeser - Segment '%c%c%c%c' nicht korrekt beendet.", z.a, z.b, z.c, z.d);
    speicher->SetzePosition(ende);
    fehler = true;
  }
  return !fehler;
}
