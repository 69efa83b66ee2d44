#include "Quelm_Textur.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_ZeichenKontext.h"

#include <algorithm>

namespace {

constexpr int kMaxStufen = Quelm_TexturVorgabe::kMaxStufen;

int I(std::uint64_t v) { return static_cast<int>(v); }

// Levels from the given size down to 1 x 1.
std::uint64_t VolleKette(std::uint64_t breite, std::uint64_t hoehe) {
  std::uint64_t n = 0;
  for (std::uint64_t m = std::max(breite, hoehe); m; m >>= 1) ++n;
  return n;
}

std::uint64_t StufenGroesse(std::uint64_t groesse, std::uint64_t stufe) {
  return stufe >= 64 ? 1 : std::max<std::uint64_t>(groesse >> stufe, 1);
}

// Bytes of one level buffer in main memory.
std::uint64_t StufenBytes(std::int32_t format, std::uint64_t breite, std::uint64_t hoehe) {
  std::uint64_t groesse = 0;
  return Quelm_Datengroesse(format, breite, hoehe, groesse) ? groesse : 0;
}

bool EintragGueltig(const TBereich& e, std::uint64_t breite, std::uint64_t hoehe, std::int32_t format,
                    bool formatPruefen) {
  return e.daten && e.breite == breite && e.hoehe == hoehe && e.pitch > 0 && (!formatPruefen || e.format == format);
}

// The main-memory copy of one level: the handed-over buffer itself when it has exactly the
// copy's layout, otherwise a new buffer filled from the entry by converting copy (zeros
// without an entry).
std::uint8_t* BaueKopie(TBereich& eintrag, bool uebergabe, std::int32_t format, std::uint64_t breite,
                        std::uint64_t hoehe) {
  const std::uint64_t bytes = StufenBytes(format, breite, hoehe);
  if (uebergabe && EintragGueltig(eintrag, breite, hoehe, format, true) &&
      eintrag.pitch == Quelm_Pitch(format, breite)) {
    std::uint8_t* kopie = eintrag.daten;
    eintrag.daten = nullptr;
    return kopie;
  }
  if (bytes == 0) return nullptr;
  auto* kopie = new std::uint8_t[bytes]();
  if (eintrag.daten && eintrag.breite && eintrag.hoehe && eintrag.pitch)
    TBereich::KonvertiereFormat(eintrag, TBereich(kopie, format, breite, hoehe, Quelm_Pitch(format, breite)));
  return kopie;
}

// The region over a locked device level: DXT pitches count block rows, the engine's a
// quarter of one.
TBereich GesperrterBereich(const D3DLOCKED_RECT& lr, std::int32_t format, std::uint64_t breite,
                           std::uint64_t hoehe) {
  std::uint64_t pitch = static_cast<std::uint64_t>(lr.Pitch);
  if (Quelm_IstBlockFormat(format)) pitch /= 4;
  return TBereich(static_cast<std::uint8_t*>(lr.pBits), format, breite, hoehe, pitch);
}

std::uint64_t MaxTexturBreite() {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  return k ? k->maxTexturBreite : 0;
}

std::uint64_t MaxTexturHoehe() {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  return k ? k->maxTexturHoehe : 0;
}

DWORD Verwendung(std::uint64_t flags, std::uint64_t mipStufen) {
  DWORD v = 0;
  if (flags & FLAG_DYNAMISCH) v |= D3DUSAGE_DYNAMIC;
  if (mipStufen > 1 && !(flags & FLAG_MANUELLE_MIPMAPS)) v |= D3DUSAGE_AUTOGENMIPMAP;
  if (flags & FLAG_RENDERZIEL) v |= D3DUSAGE_RENDERTARGET;
  return v;
}

UINT GeraeteStufen(std::uint64_t flags, std::uint64_t mipStufen) {
  return static_cast<UINT>((flags & FLAG_MANUELLE_MIPMAPS) || mipStufen < 2 ? mipStufen : 0);
}

// Writes `quelle` through a temporary system-memory surface onto `ziel` at (x, y).
bool SchreibeUeberFlaeche(IDirect3DDevice9* geraet, IDirect3DSurface9* ziel, D3DFORMAT geraeteFormat,
                          std::int32_t format, std::uint64_t x, std::uint64_t y, std::uint64_t breite,
                          std::uint64_t hoehe, const TBereich& quelle, const char* funktion) {
  IDirect3DSurface9* temp = nullptr;
  D3DLOCKED_RECT lr{};
  bool ok = SUCCEEDED(geraet->CreateOffscreenPlainSurface(static_cast<UINT>(breite), static_cast<UINT>(hoehe),
                                                         geraeteFormat, D3DPOOL_SYSTEMMEM, &temp, nullptr)) &&
            temp;
  if (!ok) return false;
  if (FAILED(temp->LockRect(&lr, nullptr, D3DLOCK_DISCARD))) {
    MeldeAusnahme("Texturzugriff gescheitert", funktion, __FILE__, __LINE__);
    temp->Release();
    return true;
  }
  TBereich::KonvertiereFormat(quelle, GesperrterBereich(lr, format, breite, hoehe));
  temp->UnlockRect();
  const RECT quellRechteck{0, 0, static_cast<LONG>(breite), static_cast<LONG>(hoehe)};
  const POINT punkt{static_cast<LONG>(x), static_cast<LONG>(y)};
  if (!ziel || FAILED(geraet->UpdateSurface(temp, &quellRechteck, ziel, &punkt)))
    MeldeAusnahme("Texturzugriff gescheitert", funktion, __FILE__, __LINE__);
  temp->Release();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

bool Quelm_TexturVorgabe::IstVorhanden() const {
  const TBereich& e = stufen[0];
  return e.daten && e.breite > 0 && e.hoehe > 0 && e.pitch > 0;
}

void Quelm_TexturVorgabe::GibFrei() {
  for (TBereich& e : stufen) {
    delete[] e.daten;
    e.daten = nullptr;
    e.breite = e.hoehe = e.pitch = 0;
  }
}

Quelm_TexturVorgabe Quelm_TexturVorgabe::AusBild(Quelm_Bild& bild) {
  Quelm_TexturVorgabe v;
  Quelm_Bild* stufe = &bild;
  for (int i = 0; i < kMaxStufen && stufe; ++i, stufe = stufe->naechsteStufe) v.stufen[i] = *stufe;
  v.uebergabe = 0;
  return v;
}

Quelm_TexturVorgabe Quelm_TexturVorgabe::UebernimmBild(Quelm_Bild& bild) {
  Quelm_TexturVorgabe v = AusBild(bild);
  v.uebergabe = 1;
  Quelm_Bild* stufe = &bild;
  for (int i = 0; i < kMaxStufen && stufe; ++i, stufe = stufe->naechsteStufe) {
    stufe->daten = nullptr;
    stufe->breite = stufe->hoehe = stufe->pitch = 0;
  }
  return v;
}

D3DFORMAT Quelm::GetD3DPixelFormat(std::int32_t format) {
  static constexpr D3DFORMAT tabelle[PXFMT_ANZAHL] = {
      D3DFMT_A8R8G8B8,      D3DFMT_R5G6B5, D3DFMT_A2B10G10R10,   D3DFMT_R16F,   D3DFMT_G16R16F,
      D3DFMT_A16B16G16R16F, D3DFMT_R32F,   D3DFMT_G32R32F,       D3DFMT_A32B32G32R32F, D3DFMT_G16R16,
      D3DFMT_A16B16G16R16,  D3DFMT_DXT1,   D3DFMT_DXT3,          D3DFMT_DXT5,   D3DFMT_A8};
  if (format < 0 || format >= PXFMT_ANZAHL) {
    MeldeAusnahme("Invalides Pixelformat", "Quelm::GetD3DPixelFormat", __FILE__, __LINE__);
    return D3DFMT_A8R8G8B8;
  }
  return tabelle[format];
}

D3DCUBEMAP_FACES Quelm::GetD3DSeite(std::uint32_t seite) {
  static constexpr D3DCUBEMAP_FACES tabelle[6] = {D3DCUBEMAP_FACE_POSITIVE_Y, D3DCUBEMAP_FACE_NEGATIVE_Y,
                                                  D3DCUBEMAP_FACE_POSITIVE_X, D3DCUBEMAP_FACE_NEGATIVE_X,
                                                  D3DCUBEMAP_FACE_POSITIVE_Z, D3DCUBEMAP_FACE_NEGATIVE_Z};
  if (seite >= 6) {
    Protokolliere("!Quelm_WuerfelTextur::GetD3DSeite( %d): Ungültige CubeMap-Seite.", static_cast<int>(seite));
    MeldeAusnahme("Ungültige CubeMap-Seite.", "Quelm::GetD3DSeite", __FILE__, __LINE__);
    return D3DCUBEMAP_FACE_POSITIVE_X;
  }
  return tabelle[seite];
}

// ---------------------------------------------------------------------------------------------

Quelm_Textur::Quelm_Textur(std::uint64_t b, std::uint64_t h, std::uint64_t mips, std::uint64_t formatUndFlags,
                           Quelm_TexturVorgabe& vorgabe)
    : Quelm_BasisObjekt(formatUndFlags) {
  const bool vorhanden = vorgabe.IstVorhanden();
  if (b == 0) b = vorgabe.stufen[0].breite;
  if (h == 0) h = vorgabe.stufen[0].hoehe;
  breite = b;
  hoehe = h;
  format = static_cast<std::int32_t>(formatUndFlags & 0xFF);
  if (format >= PXFMT_ANZAHL) {
    Protokolliere("?Quelm_Textur::Quelm_Textur( %d, %d, %d, 0x%x, ...): Ungültiges Texturformat", I(b), I(h),
                  I(mips), static_cast<unsigned>(formatUndFlags));
    MeldeAusnahme("Ungültiges Texturformat", "Quelm_Textur::Quelm_Textur", __FILE__, __LINE__);
    // Sizes and copies need a real format.
    format = PXFMT_A8R8G8B8;
    flags &= ~std::uint64_t{0xFF};
  }

  const std::uint64_t voll = VolleKette(b, h);
  if (mips == 0) {
    mips = voll;
  } else if (mips > voll) {
    Protokolliere("?Quelm_Textur::Quelm_Textur( %d, %d, %d, %d): Zuviele MipMap-Stufen angegeben.", I(b), I(h),
                  I(mips), I(formatUndFlags));
    mips = voll;
  }
  mipStufen = std::min<std::uint64_t>(mips, kMaxStufen);

  if ((flags & FLAG_RENDERZIEL) && !(flags & FLAG_FLUECHTIG)) {
    Protokolliere("?Quelm_Textur::Quelm_Textur( %d, %d, %d, 0x%x): Renderziel-Texturen sind immer flüchtig.", I(b),
                  I(h), I(mipStufen), static_cast<unsigned>(flags));
    flags |= FLAG_FLUECHTIG;
  }
  if (Quelm_IstBlockFormat(format) && !(flags & FLAG_MANUELLE_MIPMAPS)) {
    Protokolliere(
        "?Quelm_Textur::Quelm_Textur( %d, %d, %d, 0x%x, ...): Keine automatischen MipMaps für komprimierte "
        "Texturformate. Ich vermute manuelle MipMaps.",
        I(b), I(h), I(mipStufen), static_cast<unsigned>(flags));
    flags |= FLAG_MANUELLE_MIPMAPS;
  }

  const std::uint64_t geliefert = (flags & FLAG_MANUELLE_MIPMAPS) ? mipStufen : 1;
  if (vorhanden) {
    for (std::uint64_t i = 0; i < geliefert; ++i) {
      if (!EintragGueltig(vorgabe.stufen[i], StufenBreite(i), StufenHoehe(i), format, true)) {
        Protokolliere("!Quelm_Textur::QuelmTextur( %d, %d, ...): Vorgabegrafik für Mip-Stufe %d ist ungültig", I(b),
                      I(h), I(i));
        MeldeAusnahme("Ungültige Vorgabedaten", "Quelm_Textur::Quelm_Textur", __FILE__, __LINE__);
      }
    }
  } else if (!(flags & (FLAG_DYNAMISCH | FLAG_RENDERZIEL))) {
    Protokolliere("!Quelm_Textur::QuelmTextur( %d, %d, ...): Textur ohne Initialinhalt muss dynamisch sein", I(b),
                  I(h));
    flags |= FLAG_DYNAMISCH;
  }

  if (b == 0 || h == 0 || b > MaxTexturBreite() || h > MaxTexturHoehe()) {
    Protokolliere("!Quelm_Textur::QuelmTextur( %d, %d, ...): Ungültige Texturgröße.", I(b), I(h));
    MeldeAusnahme("Ungültige Texturgröße.", "Quelm_Textur::Quelm_Textur", __FILE__, __LINE__);
  }

  geraeteFormat = Quelm::GetD3DPixelFormat(format);
  zustand = ZUSTAND_FREIGEGEBEN;
  Benutzen();

  if (vorhanden && geraeteTextur) {
    for (std::uint64_t i = 0; i < geliefert; ++i)
      if (vorgabe.stufen[i].daten) InternSchreibeInhalt(i, 0, 0, vorgabe.stufen[i]);
    if (!(flags & FLAG_MANUELLE_MIPMAPS)) geraeteTextur->GenerateMipSubLevels();
  }

  if (!(flags & FLAG_FLUECHTIG)) {
    kopienAnzahl_ = geliefert;
    for (std::uint64_t i = 0; i < geliefert; ++i)
      kopien[i] = BaueKopie(vorgabe.stufen[i], vorgabe.uebergabe == 1, format, StufenBreite(i), StufenHoehe(i));
  }
  if (vorgabe.uebergabe == 1) vorgabe.GibFrei();
}

Quelm_Textur::~Quelm_Textur() {
  GibGeraeteObjektFrei(geraeteTextur);
  for (std::uint8_t*& k : kopien) {
    delete[] k;
    k = nullptr;
  }
}

std::uint64_t Quelm_Textur::StufenBreite(std::uint64_t stufe) const { return StufenGroesse(breite, stufe); }
std::uint64_t Quelm_Textur::StufenHoehe(std::uint64_t stufe) const { return StufenGroesse(hoehe, stufe); }

TBereich Quelm_Textur::KopieBereich(std::uint64_t stufe) const {
  if (stufe >= kMaxStufen || !kopien[stufe]) return {};
  const std::uint64_t w = StufenBreite(stufe);
  return TBereich(kopien[stufe], format, w, StufenHoehe(stufe), Quelm_Pitch(format, w));
}

void Quelm_Textur::Benutzen() {
  StempleNutzung();
  if (zustand != ZUSTAND_FREIGEGEBEN) return;
  IDirect3DDevice9* geraet = Geraet();
  const HRESULT hr =
      geraet ? ErzeugeMitAuslagerung(
                   [&] {
                     return geraet->CreateTexture(static_cast<UINT>(breite), static_cast<UINT>(hoehe),
                                                  GeraeteStufen(flags, mipStufen), Verwendung(flags, mipStufen),
                                                  geraeteFormat, D3DPOOL_DEFAULT, &geraeteTextur, nullptr);
                   },
                   true)
             : D3DERR_INVALIDCALL;
  if (FAILED(hr)) {
    geraeteTextur = nullptr;
    Protokolliere("!Quelm_Textur::Benutzen(): Erzeugung der Textur gescheitert. Rückgabewert: %ld",
                  static_cast<long>(hr));
    MeldeAusnahme("Textur-Erzeugung gescheitert.", "Quelm_Textur::Benutzen", __FILE__, __LINE__);
    return;
  }
  zustand = ZUSTAND_RESIDENT;
  if (!(flags & FLAG_FLUECHTIG))
    for (std::uint64_t i = 0; i < kopienAnzahl_; ++i)
      if (kopien[i]) InternSchreibeInhalt(i, 0, 0, KopieBereich(i));
}

void Quelm_Textur::Freigeben() {
  GibGeraeteObjektFrei(geraeteTextur);
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}

void Quelm_Textur::InternSchreibeInhalt(std::uint64_t stufe, std::uint64_t x, std::uint64_t y,
                                        const TBereich& quelle) {
  const std::uint64_t lw = StufenBreite(stufe), lh = StufenHoehe(stufe);
  IDirect3DDevice9* geraet = Geraet();
  if (!geraeteTextur || !geraet || stufe >= mipStufen || x >= lw || y >= lh) return;
  const std::uint64_t w = std::min(lw, x + quelle.breite) - x;
  const std::uint64_t h = std::min(lh, y + quelle.hoehe) - y;
  if (w == 0 || h == 0) return;

  if (flags & FLAG_DYNAMISCH) {
    const bool ganz = x == 0 && y == 0 && w == lw && h == lh;
    const RECT rechteck{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w), static_cast<LONG>(y + h)};
    D3DLOCKED_RECT lr{};
    if (FAILED(geraeteTextur->LockRect(static_cast<UINT>(stufe), &lr, ganz ? nullptr : &rechteck,
                                       ganz ? D3DLOCK_DISCARD : 0))) {
      MeldeAusnahme("Texturzugriff gescheitert.", "Quelm_Textur::InternSchreibeInhalt", __FILE__, __LINE__);
      return;
    }
    TBereich::KonvertiereFormat(quelle, GesperrterBereich(lr, format, w, h));
    geraeteTextur->UnlockRect(static_cast<UINT>(stufe));
    return;
  }

  IDirect3DSurface9* ziel = nullptr;
  if (FAILED(geraeteTextur->GetSurfaceLevel(static_cast<UINT>(stufe), &ziel))) ziel = nullptr;
  if (!SchreibeUeberFlaeche(geraet, ziel, geraeteFormat, format, x, y, w, h, quelle,
                            "Quelm_Textur::InternSchreibeInhalt")) {
    Protokolliere("!Quelm_Textur::InternSchreibeInhalt( %d, %d, %d, ...): Erzeugen der temporären Textur gescheitert.",
                  I(stufe), I(x), I(y));
    MeldeAusnahme("Texturzugriff gescheitert.", "Quelm_Textur::InternSchreibeInhalt", __FILE__, __LINE__);
  }
  if (ziel) ziel->Release();
}

void Quelm_Textur::SchreibeTeilInhalt(std::uint64_t x, std::uint64_t y, Quelm_TexturBereich& bereich) {
  struct Abschluss {
    Quelm_TexturBereich& b;
    ~Abschluss() {
      if (b.uebergabe != 1) return;
      delete[] b.daten;
      b.daten = nullptr;
      b.breite = b.hoehe = b.pitch = 0;
    }
  } abschluss{bereich};

  if (!(flags & FLAG_DYNAMISCH))
    MeldeAusnahme("Statische Textur kann nachträglich nicht mehr beschrieben werden.",
                  "Quelm_Textur::SchreibeTeilInhalt", __FILE__, __LINE__);
  if (mipStufen == 0) {
    MeldeAusnahme("Ungültige MipMap-Stufe", "Quelm_Textur::SchreibeTeilInhalt", __FILE__, __LINE__);
    return;
  }
  if (Quelm_IstBlockFormat(format) && ((x & 3) || (y & 3))) {
    Protokolliere(
        "!Quelm_Textur::SchreibeTeilInhalt( %d, %d, %d, ...): Der Zugriffsbereich auf einer DXT-komprimierten "
        "Textur muss durch vier teilbare Koordinaten haben.",
        0, I(x), I(y));
    MeldeAusnahme("Ungültiger Teilbereich", "Quelm_Textur::SchreibeTeilInhalt", __FILE__, __LINE__);
    return;
  }
  if (x >= breite || y >= hoehe) {
    MeldeAusnahme("Ungültige Zielkoordinaten", "Quelm_Textur::SchreibeTeilInhalt", __FILE__, __LINE__);
    return;
  }
  if (kopien[0]) KopieBereich(0).SchreibeInBereich(bereich, x, y);
  Benutzen();
  InternSchreibeInhalt(0, x, y, bereich);
}

// ---------------------------------------------------------------------------------------------

Quelm_WuerfelTextur::Quelm_WuerfelTextur(std::uint64_t k, std::uint64_t mips, std::uint64_t formatUndFlags,
                                         Quelm_TexturVorgabe (&vorgaben)[6])
    : Quelm_BasisObjekt(formatUndFlags) {
  if (k == 0) k = vorgaben[0].stufen[0].breite;
  kante = k;
  format = static_cast<std::int32_t>(formatUndFlags & 0xFF);
  if (format >= PXFMT_ANZAHL) {
    Protokolliere("?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, %d, 0x%x): Ungültiges Texturformat, "
                  "PXFMT_A8R8G8B8 angenommen.",
                  I(k), I(k), I(mips), static_cast<unsigned>(formatUndFlags));
    format = PXFMT_A8R8G8B8;
    flags &= ~std::uint64_t{0xFF};
  }
  const std::uint64_t voll = VolleKette(k, k);
  if (mips == 0) {
    mips = voll;
  } else if (mips > voll) {
    Protokolliere("?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, %d): Zuviele MipMap-Stufen angegeben.", I(k),
                  I(mips), I(formatUndFlags));
    mips = voll;
  }
  mipStufen = std::min<std::uint64_t>(mips, kMaxStufen);

  if ((flags & FLAG_RENDERZIEL) && !(flags & FLAG_FLUECHTIG)) {
    Protokolliere("?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, %d): Renderziel-Texturen sind immer flüchtig.",
                  I(k), I(mipStufen), I(flags));
    flags |= FLAG_FLUECHTIG;
  }
  if (Quelm_IstBlockFormat(format) && !(flags & FLAG_MANUELLE_MIPMAPS)) {
    Protokolliere(
        "?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x, ...): Keine automatischen MipMaps für "
        "komprimierte Texturformate. Ich vermute manuelle MipMaps.",
        I(k), I(mipStufen), static_cast<unsigned>(flags));
    flags |= FLAG_MANUELLE_MIPMAPS;
  }

  const std::uint64_t geliefert = (flags & FLAG_MANUELLE_MIPMAPS) ? mipStufen : 1;
  bool vorhanden = true;
  for (const Quelm_TexturVorgabe& v : vorgaben) vorhanden = vorhanden && v.IstVorhanden();
  if (vorhanden) {
    for (std::uint32_t s = 0; s < 6; ++s)
      for (std::uint64_t i = 0; i < geliefert; ++i)
        if (!EintragGueltig(vorgaben[s].stufen[i], StufenKante(i), StufenKante(i), format, false)) {
          Protokolliere(
              "!Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x, ...): Vorgabegrafik für Seite %d, Mip-Stufe "
              "%d ist ungültig",
              I(k), I(mipStufen), static_cast<unsigned>(flags), static_cast<int>(s), I(i));
          MeldeAusnahme("Ungültige Vorgabedaten", "Quelm_WuerfelTextur::Quelm_WuerfelTextur", __FILE__, __LINE__);
        }
  } else if (!(flags & (FLAG_DYNAMISCH | FLAG_RENDERZIEL))) {
    Protokolliere(
        "!Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x...): Textur ohne Initialinhalt muss dynamisch sein",
        I(k), I(mipStufen), static_cast<unsigned>(flags));
    flags |= FLAG_DYNAMISCH;
  }
  if (k == 0 || k > MaxTexturBreite()) {
    Protokolliere("!Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x, ...): Ungültige Texturgröße.", I(k),
                  I(mipStufen), static_cast<unsigned>(flags));
    MeldeAusnahme("Ungültige Texturgröße.", "Quelm_WuerfelTextur::Quelm_WuerfelTextur", __FILE__, __LINE__);
  }

  geraeteFormat = Quelm::GetD3DPixelFormat(format);
  zustand = ZUSTAND_FREIGEGEBEN;
  Benutzen();

  if (vorhanden && geraeteTextur) {
    for (std::uint32_t s = 0; s < 6; ++s)
      for (std::uint64_t i = 0; i < geliefert; ++i)
        if (vorgaben[s].stufen[i].daten) InternSchreibeInhalt(s, i, vorgaben[s].stufen[i]);
    if (!(flags & FLAG_MANUELLE_MIPMAPS)) geraeteTextur->GenerateMipSubLevels();
  }
  if (!(flags & FLAG_FLUECHTIG)) {
    kopienAnzahl_ = geliefert;
    for (std::uint32_t s = 0; s < 6; ++s)
      for (std::uint64_t i = 0; i < geliefert; ++i)
        kopien[s][i] = BaueKopie(vorgaben[s].stufen[i], vorgaben[s].uebergabe == 1, format, StufenKante(i),
                                 StufenKante(i));
  }
  for (Quelm_TexturVorgabe& v : vorgaben)
    if (v.uebergabe == 1) v.GibFrei();
}

Quelm_WuerfelTextur::~Quelm_WuerfelTextur() {
  GibGeraeteObjektFrei(geraeteTextur);
  for (auto& seite : kopien)
    for (std::uint8_t*& k : seite) {
      delete[] k;
      k = nullptr;
    }
}

std::uint64_t Quelm_WuerfelTextur::StufenKante(std::uint64_t stufe) const { return StufenGroesse(kante, stufe); }

TBereich Quelm_WuerfelTextur::KopieBereich(std::uint32_t seite, std::uint64_t stufe) const {
  if (seite >= 6 || stufe >= kMaxStufen || !kopien[seite][stufe]) return {};
  const std::uint64_t k = StufenKante(stufe);
  return TBereich(kopien[seite][stufe], format, k, k, Quelm_Pitch(format, k));
}

void Quelm_WuerfelTextur::Benutzen() {
  StempleNutzung();
  if (zustand != ZUSTAND_FREIGEGEBEN) return;
  IDirect3DDevice9* geraet = Geraet();
  const HRESULT hr =
      geraet ? ErzeugeMitAuslagerung(
                   [&] {
                     return geraet->CreateCubeTexture(static_cast<UINT>(kante), GeraeteStufen(flags, mipStufen),
                                                      Verwendung(flags, mipStufen), geraeteFormat, D3DPOOL_DEFAULT,
                                                      &geraeteTextur, nullptr);
                   },
                   true)
             : D3DERR_INVALIDCALL;
  if (FAILED(hr)) {
    geraeteTextur = nullptr;
    Protokolliere("!Quelm_WuerfelTextur::Benutzen(): Erzeugung der CubeMap gescheitert.");
    MeldeAusnahme("CubeMap-Erzeugung gescheitert.", "Quelm_WuerfelTextur::Benutzen", __FILE__, __LINE__);
    return;
  }
  zustand = ZUSTAND_RESIDENT;
  if (!(flags & FLAG_FLUECHTIG))
    for (std::uint32_t s = 0; s < 6; ++s)
      for (std::uint64_t i = 0; i < kopienAnzahl_; ++i)
        if (kopien[s][i]) InternSchreibeInhalt(s, i, KopieBereich(s, i));
}

void Quelm_WuerfelTextur::Freigeben() {
  GibGeraeteObjektFrei(geraeteTextur);
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}

void Quelm_WuerfelTextur::InternSchreibeInhalt(std::uint32_t seite, std::uint64_t stufe, const TBereich& quelle) {
  const std::uint64_t k = StufenKante(stufe);
  IDirect3DDevice9* geraet = Geraet();
  if (!geraeteTextur || !geraet || stufe >= mipStufen) return;
  const D3DCUBEMAP_FACES flaeche = Quelm::GetD3DSeite(seite);
  const std::uint64_t w = std::min(k, quelle.breite), h = std::min(k, quelle.hoehe);
  if (w == 0 || h == 0) return;

  if (flags & FLAG_DYNAMISCH) {
    const bool ganz = w == k && h == k;
    const RECT rechteck{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
    D3DLOCKED_RECT lr{};
    if (FAILED(geraeteTextur->LockRect(flaeche, static_cast<UINT>(stufe), &lr, ganz ? nullptr : &rechteck,
                                       ganz ? D3DLOCK_DISCARD : 0))) {
      MeldeAusnahme("Texturzugriff gescheitert.", "Quelm_WuerfelTextur::InternSchreibeInhalt", __FILE__, __LINE__);
      return;
    }
    TBereich::KonvertiereFormat(quelle, GesperrterBereich(lr, format, w, h));
    geraeteTextur->UnlockRect(flaeche, static_cast<UINT>(stufe));
    return;
  }

  IDirect3DSurface9* ziel = nullptr;
  if (FAILED(geraeteTextur->GetCubeMapSurface(flaeche, static_cast<UINT>(stufe), &ziel))) ziel = nullptr;
  if (!SchreibeUeberFlaeche(geraet, ziel, geraeteFormat, format, 0, 0, w, h, quelle,
                            "Quelm_WuerfelTextur::InternSchreibeInhalt")) {
    Protokolliere(
        "!Quelm_WuerfelTextur::InternSchreibeInhalt( %d, %d, %d, %d, ...): Erzeugen der temporären Textur "
        "gescheitert.",
        static_cast<int>(seite), I(stufe), 0, 0);
    MeldeAusnahme("Texturzugriff gescheitert.", "Quelm_WuerfelTextur::InternSchreibeInhalt", __FILE__, __LINE__);
  }
  if (ziel) ziel->Release();
}
