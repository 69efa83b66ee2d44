#include "TRechteckPacker.h"

#include "Quelm_Protokolliere.h"
#include "TSegmentLeser.h"
#include "TSpeicherSchreiber.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kPltz = TSegmentLeser::Kennung("PLTZ");
constexpr std::uint32_t kPltzVersion = 0x102;
}  // namespace

void TRechteckPacker::Init(std::uint64_t b, std::uint64_t h, std::uint64_t plaetze) {
  breite = b;
  hoehe = h;
  Leeren();
  belegt.reserve(plaetze);
  frei.reserve(plaetze);
}

void TRechteckPacker::Leeren() {
  belegt.clear();
  frei.clear();
}

bool TRechteckPacker::Einfuegen(std::uint64_t w, std::uint64_t h, std::uint64_t& x, std::uint64_t& y) {
  if (belegt.empty() && frei.empty()) frei.push_back({0, 0, breite, hoehe});
  std::uint64_t besterY = hoehe;
  bool gefunden = false;
  for (const TRechteck& f : frei) {
    if (f.x + w > breite || f.y + h > hoehe || f.y >= besterY) continue;
    const TRechteck p{f.x, f.y, w, h};
    if (std::any_of(belegt.begin(), belegt.end(), [&](const TRechteck& u) { return Ueberlappen(p, u); })) continue;
    besterY = f.y;
    x = f.x;
    y = f.y;
    gefunden = true;
  }
  if (!gefunden) return false;
  const TRechteck p{x, y, w, h};
  FreiAufteilen(p);
  belegt.push_back(p);
  return true;
}

void TRechteckPacker::FreiAufteilen(const TRechteck& p) {
  for (std::size_t i = 0; i < frei.size();) {
    const TRechteck f = frei[i];
    if (!Ueberlappen(f, p)) {
      ++i;
      continue;
    }
    frei.erase(frei.begin() + static_cast<std::ptrdiff_t>(i));
    const std::uint64_t oben = std::max(f.y, p.y);
    const std::uint64_t unten = std::min(p.y + p.h, f.y + f.h);
    if (f.y < p.y) FreiHinzufuegen({f.x, f.y, f.w, p.y - f.y});
    if (f.x < p.x) FreiHinzufuegen({f.x, oben, p.x - f.x, unten - oben});
    if (f.x + f.w > p.x + p.w) FreiHinzufuegen({p.x + p.w, oben, f.x + f.w - (p.x + p.w), unten - oben});
    if (f.y + f.h > p.y + p.h) FreiHinzufuegen({f.x, p.y + p.h, f.w, f.y + f.h - (p.y + p.h)});
  }
}

void TRechteckPacker::FreiHinzufuegen(const TRechteck& r) {
  for (TRechteck& f : frei) {
    if (f.x == r.x && f.w == r.w && f.y == r.y + r.h) {  // below
      f.y -= r.h;
      f.h += r.h;
      return;
    }
    if (f.x == r.x && f.w == r.w && f.y + f.h == r.y) {  // above
      f.h += r.h;
      return;
    }
    if (f.y == r.y && f.h == r.h && f.x == r.x + r.w) {  // right
      f.x -= r.w;
      f.w += r.w;
      return;
    }
    if (f.y == r.y && f.h == r.h && f.x + f.w == r.x) {  // left
      f.w += r.w;
      return;
    }
  }
  frei.push_back(r);
}

namespace {
// A count of 16-byte rectangles the remaining bytes can hold, else nothing is read.
bool LeseRechtecke(TSegmentLeser& leser, std::vector<TRechteck>& liste) {
  const std::uint32_t anzahl = leser.LeseU32();
  if (leser.fehler || anzahl > leser.Rest() / 16) return false;
  liste.reserve(anzahl);
  for (std::uint32_t i = 0; i < anzahl; ++i) {
    TRechteck r;
    r.x = leser.LeseU32();
    r.y = leser.LeseU32();
    r.w = leser.LeseU32();
    r.h = leser.LeseU32();
    liste.push_back(r);
  }
  return !leser.fehler;
}
}  // namespace

bool TRechteckPacker::Laden(TSpeicher& speicher) {
  Leeren();
  const std::uint64_t start = speicher.position;
  TSegmentLeser leser(speicher);
  const std::uint32_t wort = leser.LeseU32();
  bool gut;
  if (leser.fehler) {
    gut = false;
  } else if (wort != kPltz) {
    gut = LeseRechtecke(leser, frei);
  } else {
    speicher.position = start;
    gut = leser.Init(kPltz, kPltzVersion);
    if (gut && leser.version >= 0x102) {
      const std::uint64_t b = leser.LeseU32();
      const std::uint64_t h = leser.LeseU32();
      if (!leser.fehler) {
        breite = b;
        hoehe = h;
      }
    }
    gut = gut && LeseRechtecke(leser, belegt) && LeseRechtecke(leser, frei);
    gut = leser.Beenden() && gut;
  }
  if (!gut) {
    Leeren();
    Protokolliere("!TRechteckPacker::Laden(): Packerdaten sind unvollständig.");
  }
  return gut;
}

void TRechteckPacker::Speichern(TSpeicher& speicher) const {
  TSpeicherSchreiber s(speicher);
  const std::uint64_t inhalt = 8 + 4 + 16 * belegt.size() + 4 + 16 * frei.size();
  s.U32(kPltz);
  s.U32(kPltzVersion | 0x80000000u);
  s.U64(8 + inhalt + 4);
  s.U32(static_cast<std::uint32_t>(breite));
  s.U32(static_cast<std::uint32_t>(hoehe));
  for (const auto* liste : {&belegt, &frei}) {
    s.U32(static_cast<std::uint32_t>(liste->size()));
    for (const TRechteck& r : *liste) {
      s.U32(static_cast<std::uint32_t>(r.x));
      s.U32(static_cast<std::uint32_t>(r.y));
      s.U32(static_cast<std::uint32_t>(r.w));
      s.U32(static_cast<std::uint32_t>(r.h));
    }
  }
  s.U32(TSegmentLeser::Kennung("Pltz"));
}
