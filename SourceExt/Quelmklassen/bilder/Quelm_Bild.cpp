#include "Quelm_Bild.h"

#include "Quelm_Protokolliere.h"
#include "TSpeicher.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

long long LL(std::uint64_t v) { return static_cast<long long>(v); }

// Deletes a chain of levels one by one, so a long chain cannot exhaust the stack.
void LoescheKette(Quelm_Bild*& kopf) {
  Quelm_Bild* stufe = kopf;
  kopf = nullptr;
  while (stufe) {
    Quelm_Bild* naechste = stufe->naechsteStufe;
    stufe->naechsteStufe = nullptr;
    delete stufe;
    stufe = naechste;
  }
}

// The slots of the five faces a base face owns, in the order they are created.
constexpr int kAndereSeiten[5] = {2, 0, 1, 4, 5};

}  // namespace

Quelm_Bild::Quelm_Bild(std::uint64_t breite, std::uint64_t hoehe, std::int32_t format, std::uint64_t mipAnzahl) {
  SetGroesse(breite, hoehe, format, mipAnzahl);
}

Quelm_Bild::~Quelm_Bild() { Leere(); }

void Quelm_Bild::LoeseSeiten() {
  if (IstBasisSeite() && !istUnterStufe) {
    for (int slot : kAndereSeiten) {
      if (seiten[slot] != this) delete seiten[slot];
    }
  }
  std::fill(std::begin(seiten), std::end(seiten), nullptr);
  istCubeSeite = false;
}

void Quelm_Bild::Leere() {
  delete[] daten;
  daten = nullptr;
  LoescheKette(naechsteStufe);
  if (IstBasisSeite()) LoeseSeiten();
}

void Quelm_Bild::Dimensioniere(std::uint64_t b, std::uint64_t h, std::int32_t f) {
  std::uint64_t groesse;
  if (!Quelm_Datengroesse(f, b, h, groesse)) throw std::bad_alloc();
  breite = b;
  hoehe = h;
  format = f;
  pitch = Quelm_Pitch(f, b);
  istUnterStufe = false;
  daten = groesse ? new std::uint8_t[groesse] : nullptr;
}

void Quelm_Bild::SetGroesse(std::uint64_t b, std::uint64_t h, std::int32_t f, std::uint64_t n) {
  if (istCubeSeite && !IstBasisSeite()) {
    Protokolliere(
        "!Quelm_Bild::SetGroesse( %lld, %lld, %d, %lld):  Umbau einer CubeMap zu einem 2D-Bild darf nur von "
        "der Basisseite (Links) ausgehen.",
        LL(b), LL(h), f, LL(n));
    return;
  }
  if (istUnterStufe) {
    Protokolliere("!Quelm_Bild::SetGroesse( %lld, %lld, %d, %lld):  Umdimensionierung ist für MipMaps nicht zulässig.",
                  LL(b), LL(h), f, LL(n));
    return;
  }
  Leere();
  Dimensioniere(b, h, f);
  ErzeugeMipKette(n);
}

void Quelm_Bild::SetCubeMapGroesse(std::uint64_t kante, std::int32_t f, std::uint64_t n) {
  if (istUnterStufe) {
    Protokolliere("!Quelm_Bild::SetCubeMapGroesse( %lld, %d, %lld):  Umdimensionierung ist für MipMaps nicht zulässig.",
                  LL(kante), f, LL(n));
    return;
  }
  Leere();
  Dimensioniere(kante, kante, f);
  istCubeSeite = true;
  seiten[kBasisSeite] = this;
  for (int slot : kAndereSeiten) seiten[slot] = new Quelm_Bild(kante, kante, f, n);
  // Builds the chains of all six faces and links every face at every level.
  ErzeugeMipKette(n);
}

void Quelm_Bild::ErzeugeMipKette(std::uint64_t n) {
  if (n == 0) {
    // The full chain: count levels while either side is still non-zero.
    std::uint64_t b = breite, h = hoehe;
    while (b || h) {
      ++n;
      b /= 2;
      h /= 2;
    }
    n = std::max<std::uint64_t>(n, 1);
  }
  // Walks down instead of recursing, so the depth of a chain costs no stack.
  Quelm_Bild* stufe = this;
  for (std::uint64_t rest = n;; --rest) {
    stufe->mipAnzahl = rest;
    if (rest == 1) {
      LoescheKette(stufe->naechsteStufe);
      break;
    }
    if (!stufe->naechsteStufe) {
      auto* neu = new Quelm_Bild(std::max<std::uint64_t>(stufe->breite / 2, 1),
                                 std::max<std::uint64_t>(stufe->hoehe / 2, 1), stufe->format, 1);
      neu->istUnterStufe = true;
      stufe->naechsteStufe = neu;
    }
    stufe = stufe->naechsteStufe;
  }

  if (IstBasisSeite() && !istUnterStufe) {
    for (int slot : kAndereSeiten) {
      if (seiten[slot] && seiten[slot] != this) seiten[slot]->ErzeugeMipKette(n);
    }
    // New levels must carry the face pointers as well.
    if (std::all_of(std::begin(seiten), std::end(seiten), [](Quelm_Bild* s) { return s != nullptr; })) {
      for (Quelm_Bild* seite : seiten)
        VerknuepfeSeiten(seite, seiten[3], seiten[2], seiten[0], seiten[1], seiten[4], seiten[5]);
    }
  }
}

void Quelm_Bild::VerknuepfeSeiten(Quelm_Bild* seite, Quelm_Bild* links, Quelm_Bild* seite2, Quelm_Bild* seite0,
                                  Quelm_Bild* seite1, Quelm_Bild* seite4, Quelm_Bild* seite5) {
  if (!seite) return;
  Quelm_Bild* stufen[6] = {seite0, seite1, seite2, links, seite4, seite5};
  Quelm_Bild* stufe = seite;
  for (;;) {
    std::copy(std::begin(stufen), std::end(stufen), stufe->seiten);
    stufe->istCubeSeite = true;
    if (stufe->mipAnzahl <= 1 || !stufe->naechsteStufe) break;
    for (Quelm_Bild*& s : stufen) s = s && s->mipAnzahl > 1 ? s->naechsteStufe : nullptr;
    stufe = stufe->naechsteStufe;
  }
}

Quelm_Bild* Quelm_Bild::GibMipStufe(std::uint64_t k) {
  if (k >= mipAnzahl) return nullptr;
  Quelm_Bild* stufe = this;
  for (std::uint64_t rest = k; rest > 0; --rest) {
    if (rest >= stufe->mipAnzahl || !stufe->naechsteStufe) return nullptr;
    stufe = stufe->naechsteStufe;
  }
  return stufe;
}

bool Quelm_Bild::LadeBildAusDatei(const std::filesystem::path& pfad) {
  TSpeicher speicher;
  speicher.SetKapazitaet(1000000);
  if (!speicher.LadeDatei(pfad, 0)) {
    Protokolliere("!Quelm_Bild::LadeBildAusDatei( \"%s\"):  Datei konnte nicht geladen werden.",
                  pfad.string().c_str());
    return false;
  }
  static constexpr std::uint8_t kPngSignatur[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  const std::uint64_t laenge = speicher.groesse;
  if (laenge >= 8 && std::memcmp(speicher.daten, kPngSignatur, 8) == 0) return LadePNG(*this, speicher);
  if (laenge >= 4 && (std::memcmp(speicher.daten, "DDS ", 4) == 0 || std::memcmp(speicher.daten, "KVZQ", 4) == 0))
    return LadeDDS(*this, speicher);
  Protokolliere("!Quelm_Bild::LadeBildAusDatei():  Dateiformat nicht erkennbar.");
  return false;
}
