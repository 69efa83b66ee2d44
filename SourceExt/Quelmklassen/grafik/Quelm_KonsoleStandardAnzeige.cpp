#include "Quelm_KonsoleStandardAnzeige.h"

#include "Quelm_Bild.h"
#include "Quelm_BlockGfx3D.h"
#include "Quelm_Font3D.h"
#include "Quelm_Konsole.h"
#include "Quelm_Screen3D.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace {

// Length of a log line's prefix "%04d:%06d (t%04x): ", 0 when the line has none.
std::size_t PraefixLaenge(const std::string& z) {
  constexpr const char muster[] = "9999:999999 (t9999): ";
  constexpr std::size_t n = sizeof muster - 1;
  if (z.size() < n) return 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(z[i]);
    const bool gut = muster[i] == '9' ? (i >= 14 && i < 18 ? std::isxdigit(c) : std::isdigit(c)) != 0 : c == muster[i];
    if (!gut) return 0;
  }
  return n;
}

// The first command or variable name in name order that begins with `praefix`.
template <class Map>
std::string ErsterTreffer(const Map* alle, const std::string& praefix) {
  if (!alle) return {};
  auto it = alle->lower_bound(praefix);
  if (it != alle->end() && it->first.compare(0, praefix.size(), praefix) == 0) return it->first;
  return {};
}

// A UTF-8 continuation byte (0x80 to 0xBF): never the start of a character.
bool Folgebyte(char c) { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; }

}  // namespace

std::uint64_t Quelm_KonsoleStandardAnzeige::ZeichenDavor(const std::string& text, std::uint64_t stelle) {
  stelle = std::min<std::uint64_t>(stelle, text.size());
  if (stelle == 0) return 0;
  do --stelle;
  while (stelle > 0 && Folgebyte(text[stelle]));
  return stelle;
}

std::uint64_t Quelm_KonsoleStandardAnzeige::ZeichenDanach(const std::string& text, std::uint64_t stelle) {
  if (stelle >= text.size()) return text.size();
  do ++stelle;
  while (stelle < text.size() && Folgebyte(text[stelle]));
  return stelle;
}

Quelm_KonsoleStandardAnzeige::Quelm_KonsoleStandardAnzeige(const std::filesystem::path& fontDatei) {
  protokoll = &gProtokoll;
  gProtokoll.anzeige = this;
  kasten = new Quelm_BlockGfx3D(16, 16, 0);
  Quelm_Bild weiss(16, 16, PXFMT_A8R8G8B8);
  for (std::uint64_t y = 0; y < 16; ++y) {
    auto* zeile = reinterpret_cast<std::uint32_t*>(weiss.daten + y * weiss.pitch);
    std::fill(zeile, zeile + 16, 0x80FFFFFFu);
  }
  kasten->AddGrafik(0, &weiss, 0, 0, 16, 16);
  font = new Quelm_Font3D();
  schriftGeladen = font->Laden(fontDatei);
}

Quelm_KonsoleStandardAnzeige::~Quelm_KonsoleStandardAnzeige() {
  delete kasten;
  delete font;
  // The base destructor detaches from the log.
}

void Quelm_KonsoleStandardAnzeige::NeueZeile(const char* zeile) {
  zeilen.emplace_back(zeile ? zeile : "");
  if (ansicht + 2 == zeilen.size()) ansicht = zeilen.size() - 1;
  if (zeilen.size() > kMaxZeilen) {
    zeilen.erase(zeilen.begin(), zeilen.begin() + 100);
    ansicht = ansicht > 100 ? ansicht - 100 : 0;
  }
}

Quelm_KonsoleStandardAnzeige::Darstellung Quelm_KonsoleStandardAnzeige::Darstellen(const std::string& zeile) {
  // The level mark follows the time stamp of a log line.
  const std::size_t p = PraefixLaenge(zeile);
  std::string text = zeile;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const char mark = p < text.size() ? text[p] : 0;
  Darstellung d{{1, 1, 1, 1}, text};
  if (mark == '?' || mark == '!') {
    d.text.erase(p, 1);
    d.farbe[2] = 0.0f;
    if (mark == '!') d.farbe[1] = 0.0f;
  } else if (mark == '>') {
    d.farbe[0] = d.farbe[2] = 0.0f;
  }
  return d;
}

void Quelm_KonsoleStandardAnzeige::Zeichne() {
  if (!sichtbar) return;
  const float breite = static_cast<float>(Quelm_Screen3D::modus.width);
  Quelm_Font3D& f = *font;
  f.groesse = f.hoehe;
  std::fill(f.farbe, f.farbe + 4, 1.0f);
  f.skalierung = 1.0f;
  f.abstand = 0.1f;
  f.ausrichtungH = Quelm_Font3D::Links;
  f.ausrichtungV = Quelm_Font3D::Oben;
  f.winkel = 0.0f;
  f.autoZeichnen = 0;
  const float groesse = f.groesse;

  kasten->ZeichneGrafik(0, 0.0f, 0.0f, {0.2f, 0.3f, 0.5f, 0.5f}, breite, kHoehe, 0.0f);
  kasten->ZeichneGrafik(0, 0.0f, kHoehe, {0.5f, 0.5f, 0.5f, 0.5f}, breite, groesse + 6.0f, 0.0f);
  if (!zeilen.empty() && groesse > 0.0f) {
    std::uint64_t index = std::min<std::uint64_t>(ansicht, zeilen.size() - 1);
    for (float y = kHoehe - groesse; y >= 0.0f; y -= groesse) {
      const Darstellung d = Darstellen(zeilen[index]);
      std::copy(d.farbe, d.farbe + 4, f.farbe);
      f.Schreibe(5.0f, y, d.text.c_str());
      if (index-- == 0) break;
    }
  }
  const float gruen[4] = {0, 1, 0, 1};
  std::copy(gruen, gruen + 4, f.farbe);
  f.SchreibeFormat(5.0f, kHoehe + 3.0f, ">%s", eingabe.c_str());
  const float x = f.GetTextBreite(">") + f.GetTextBreite(eingabe.substr(0, cursor).c_str()) + 5.0f;
  kasten->ZeichneGrafik(0, x, kHoehe, {1, 1, 0, 1}, 2.0f, groesse + 6.0f, 0.0f);
  kasten->Zeichne();
  f.Zeichne();
}

bool Quelm_KonsoleStandardAnzeige::TasteGedrueckt(DRENO::Keyboard*, std::int32_t taste, bool gedrueckt) {
  if (!gedrueckt) return false;
  switch (taste) {
    case BildAuf:
      if (ansicht > 10) --ansicht;
      return true;
    case BildAb:
      // An empty store has no last line to stop at.
      if (!zeilen.empty() && ansicht < zeilen.size() - 1) ++ansicht;
      return true;
    // The cursor steps over whole characters: a character of several bytes is never split.
    case Ruecktaste:
      if (cursor > 0) {
        const std::uint64_t anfang = ZeichenDavor(eingabe, cursor);
        eingabe.erase(anfang, cursor - anfang);
        cursor = anfang;
      }
      return true;
    case Entfernen:
      if (cursor < eingabe.size()) eingabe.erase(cursor, ZeichenDanach(eingabe, cursor) - cursor);
      return true;
    case Links:
      cursor = ZeichenDavor(eingabe, cursor);
      return true;
    case Rechts:
      cursor = ZeichenDanach(eingabe, cursor);
      return true;
    case Hoch:
      if (verlauf.empty() || verlaufPos == 0) return true;
      if (verlaufPos >= verlauf.size()) {
        verlaufPos = verlauf.size();
        gemerkt = eingabe;
      }
      eingabe = verlauf[--verlaufPos];
      cursor = eingabe.size();
      return true;
    case Runter:
      if (verlaufPos >= verlauf.size()) return true;
      ++verlaufPos;
      eingabe = verlaufPos == verlauf.size() ? gemerkt : verlauf[verlaufPos];
      cursor = eingabe.size();
      return true;
    case Eingabe:
    case ZiffernEingabe: {
      const std::string zeile = eingabe;
      eingabe.clear();
      cursor = 0;
      if (!zeile.empty()) {
        verlauf.push_back(zeile);
        FuehreKonsolenBefehlAus(zeile);
      }
      ansicht = zeilen.empty() ? 0 : zeilen.size() - 1;
      verlaufPos = verlauf.size();
      return true;
    }
    case Tabulator:
      if (eingabe.empty()) {
        eingabe = "set ";
        cursor = 4;
      } else if (const std::size_t leer = eingabe.find(' ', cursor); leer != std::string::npos) {
        cursor = leer + 1;
      } else {
        eingabe += ' ';
        cursor = eingabe.size();
      }
      return true;
    default:
      return false;
  }
}

bool Quelm_KonsoleStandardAnzeige::ZeichenEingabe(DRENO::Keyboard*, std::uint32_t c) {
  if (c == 0 || (c != ' ' && !font->HatGlyphe(c))) return false;
  const std::string bytes = Quelm::ZeichenNachUtf8(c);
  cursor = std::min<std::uint64_t>(cursor, eingabe.size());
  eingabe.insert(cursor, bytes);
  cursor += bytes.size();
  Vervollstaendige();
  return true;
}

void Quelm_KonsoleStandardAnzeige::Vervollstaendige() {
  const std::size_t von = std::min<std::size_t>(eingabe.size() - 1, cursor);
  const std::size_t leer = eingabe.rfind(' ', von);
  std::size_t anfang = 0;
  if (leer != std::string::npos) {
    anfang = leer + 1;
    if (cursor <= anfang) return;
  }
  const std::string praefix = eingabe.substr(anfang, cursor - anfang);
  if (praefix.empty()) return;
  const std::size_t wortEnde = std::min(eingabe.find(' ', cursor), eingabe.size());
  const std::string kandidat = anfang == 0 ? ErsterTreffer(Quelm_KonsolenBefehl::Alle(), praefix)
                                           : ErsterTreffer(Quelm_KonsolenVariable::Alle(), praefix);
  eingabe.erase(cursor, wortEnde - cursor);
  if (kandidat.size() > praefix.size()) eingabe.insert(cursor, kandidat.substr(praefix.size()));
}
