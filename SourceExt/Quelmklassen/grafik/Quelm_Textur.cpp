#include "Quelm_Textur.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_Protokolliere.h"

#include <algorithm>
#include <functional>
#include <span>

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
std::unique_ptr<std::uint8_t[]> BaueKopie(TBereich& eintrag, bool uebergabe, std::int32_t format,
                                          std::uint64_t breite, std::uint64_t hoehe) {
  const std::uint64_t bytes = StufenBytes(format, breite, hoehe);
  if (uebergabe && EintragGueltig(eintrag, breite, hoehe, format, true) &&
      eintrag.pitch == Quelm_Pitch(format, breite)) {
    std::unique_ptr<std::uint8_t[]> kopie(eintrag.daten);
    eintrag.daten = nullptr;
    return kopie;
  }
  if (bytes == 0) return nullptr;
  std::unique_ptr<std::uint8_t[]> kopie(new std::uint8_t[bytes]());
  if (eintrag.daten && eintrag.breite && eintrag.hoehe && eintrag.pitch)
    TBereich::KonvertiereFormat(eintrag, TBereich(kopie.get(), format, breite, hoehe, Quelm_Pitch(format, breite)));
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

// One rectangle of a device level, the same for a texture level and a cube face level.
struct Stufenziel {
  std::function<HRESULT(const RECT*, D3DLOCKED_RECT&, DWORD)> sperre;
  std::function<void()> entsperre;
  std::function<HRESULT(IDirect3DSurface9**)> flaeche;
};

// Uploads `quelle` (cut to w x h) to (x, y) of a level of lw x lh: dynamic textures lock the
// level, static ones go through a temporary system-memory surface. False when that surface
// cannot be made (the caller words the message).
bool SchreibeStufe(IDirect3DDevice9* geraet, const Stufenziel& ziel, std::uint64_t flags, std::int32_t format,
                   D3DFORMAT geraeteFormat, std::uint64_t x, std::uint64_t y, std::uint64_t w, std::uint64_t h,
                   std::uint64_t lw, std::uint64_t lh, const TBereich& quelle, const char* funktion) {
  const RECT rechteck{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w), static_cast<LONG>(y + h)};
  D3DLOCKED_RECT lr{};
  if (flags & FLAG_DYNAMISCH) {
    const bool ganz = x == 0 && y == 0 && w == lw && h == lh;
    if (FAILED(ziel.sperre(ganz ? nullptr : &rechteck, lr, ganz ? D3DLOCK_DISCARD : 0))) {
      MeldeAusnahme("Texturzugriff gescheitert.", funktion, __FILE__, __LINE__);
      return true;
    }
    TBereich::KonvertiereFormat(quelle, GesperrterBereich(lr, format, w, h));
    ziel.entsperre();
    return true;
  }

  IDirect3DSurface9* roh = nullptr;
  if (FAILED(geraet->CreateOffscreenPlainSurface(static_cast<UINT>(w), static_cast<UINT>(h), geraeteFormat,
                                                 D3DPOOL_SYSTEMMEM, &roh, nullptr)) ||
      !roh)
    return false;
  const Quelm_ComZeiger<IDirect3DSurface9> temp(roh);
  if (FAILED(temp->LockRect(&lr, nullptr, D3DLOCK_DISCARD))) {
    MeldeAusnahme("Texturzugriff gescheitert", funktion, __FILE__, __LINE__);
    return true;
  }
  TBereich::KonvertiereFormat(quelle, GesperrterBereich(lr, format, w, h));
  temp->UnlockRect();
  IDirect3DSurface9* stufe = nullptr;
  if (FAILED(ziel.flaeche(&stufe))) stufe = nullptr;
  const Quelm_ComZeiger<IDirect3DSurface9> zielFlaeche(stufe);
  const RECT quellRechteck{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
  const POINT punkt{static_cast<LONG>(x), static_cast<LONG>(y)};
  if (!zielFlaeche || FAILED(geraet->UpdateSurface(temp.get(), &quellRechteck, zielFlaeche.get(), &punkt)))
    MeldeAusnahme("Texturzugriff gescheitert", funktion, __FILE__, __LINE__);
  return true;
}

// Level sizes of both kinds, seen the same way.
std::uint64_t Breite(const Quelm_Textur& t, std::uint64_t i) { return t.StufenBreite(i); }
std::uint64_t Hoehe(const Quelm_Textur& t, std::uint64_t i) { return t.StufenHoehe(i); }
std::uint64_t Breite(const Quelm_WuerfelTextur& t, std::uint64_t i) { return t.StufenKante(i); }
std::uint64_t Hoehe(const Quelm_WuerfelTextur& t, std::uint64_t i) { return t.StufenKante(i); }

void Lade(Quelm_Textur& t, std::uint32_t, std::uint64_t i, const TBereich& quelle) { t.InternSchreibeInhalt(i, 0, 0, quelle); }
void Lade(Quelm_WuerfelTextur& t, std::uint32_t s, std::uint64_t i, const TBereich& quelle) {
  t.InternSchreibeInhalt(s, i, quelle);
}

TBereich Kopie(const Quelm_Textur& t, std::uint32_t, std::uint64_t i) { return t.KopieBereich(i); }
TBereich Kopie(const Quelm_WuerfelTextur& t, std::uint32_t s, std::uint64_t i) { return t.KopieBereich(s, i); }

// The messages each kind words its own way.
struct Meldungen {
  std::function<void(std::uint64_t mips)> zuvieleStufen;
  std::function<void()> fluechtig, manuell, ohneInhalt, groesse;
  std::function<void(int seite, std::uint64_t stufe)> ungueltig;
};

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

template <class T>
struct Quelm_TexturWerk {
  static Quelm_StufenKopien& Kopien(Quelm_Textur& t, std::uint32_t) { return t.kopien; }
  static Quelm_StufenKopien& Kopien(Quelm_WuerfelTextur& t, std::uint32_t seite) { return t.kopien[seite]; }

  // Construction once size and format stand: mip levels, flags, the Vorgaben of every face,
  // the device texture with its uploads, and the main-memory copies.
  static void Baue(T& t, std::uint64_t mips, std::uint64_t voll, std::span<Quelm_TexturVorgabe> vorgaben,
                   bool formatPruefen, bool groesseGut, const Meldungen& m) {
    if (mips == 0) {
      mips = voll;
    } else if (mips > voll) {
      m.zuvieleStufen(mips);
      mips = voll;
    }
    t.mipStufen = std::min<std::uint64_t>(mips, kMaxStufen);
    if ((t.flags & FLAG_RENDERZIEL) && !(t.flags & FLAG_FLUECHTIG)) {
      m.fluechtig();
      t.flags |= FLAG_FLUECHTIG;
    }
    if (Quelm_IstBlockFormat(t.format) && !(t.flags & FLAG_MANUELLE_MIPMAPS)) {
      m.manuell();
      t.flags |= FLAG_MANUELLE_MIPMAPS;
    }

    const std::uint64_t geliefert = (t.flags & FLAG_MANUELLE_MIPMAPS) ? t.mipStufen : 1;
    const auto seiten = static_cast<std::uint32_t>(vorgaben.size());
    // One face given makes all required: a face left out would stay undefined.
    const bool vorhanden =
        std::any_of(vorgaben.begin(), vorgaben.end(), [](const Quelm_TexturVorgabe& v) { return v.IstVorhanden(); });
    if (vorhanden) {
      for (std::uint32_t s = 0; s < seiten; ++s)
        for (std::uint64_t i = 0; i < geliefert; ++i)
          if (!EintragGueltig(vorgaben[s].stufen[i], Breite(t, i), Hoehe(t, i), t.format, formatPruefen))
            m.ungueltig(static_cast<int>(s), i);
    } else if (!(t.flags & (FLAG_DYNAMISCH | FLAG_RENDERZIEL))) {
      m.ohneInhalt();
      t.flags |= FLAG_DYNAMISCH;
    }
    if (!groesseGut) m.groesse();

    t.geraeteFormat = Quelm::GetD3DPixelFormat(t.format);
    t.zustand = Quelm_BasisObjekt::ZUSTAND_FREIGEGEBEN;
    t.Benutzen();
    if (vorhanden && t.geraeteTextur) {
      for (std::uint32_t s = 0; s < seiten; ++s)
        for (std::uint64_t i = 0; i < geliefert; ++i)
          if (vorgaben[s].stufen[i].daten) Lade(t, s, i, vorgaben[s].stufen[i]);
      if (!(t.flags & FLAG_MANUELLE_MIPMAPS)) t.geraeteTextur->GenerateMipSubLevels();
    }
    if (!(t.flags & FLAG_FLUECHTIG)) {
      t.kopienAnzahl_ = geliefert;
      for (std::uint32_t s = 0; s < seiten; ++s)
        for (std::uint64_t i = 0; i < geliefert; ++i)
          Kopien(t, s)[i] = BaueKopie(vorgaben[s].stufen[i], vorgaben[s].uebergabe == 1, t.format, Breite(t, i),
                                      Hoehe(t, i));
    }
    for (Quelm_TexturVorgabe& v : vorgaben)
      if (v.uebergabe == 1) v.GibFrei();
  }

  // `Benutzen` of both: stamp; when released, create the device texture and upload the copies.
  template <class Erzeuge, class Scheitern>
  static void Benutze(T& t, std::uint32_t seiten, Erzeuge&& erzeuge, Scheitern&& scheitern) {
    t.StempleNutzung();
    if (t.zustand != Quelm_BasisObjekt::ZUSTAND_FREIGEGEBEN) return;
    IDirect3DDevice9* geraet = T::Geraet();
    typename decltype(t.geraeteTextur)::pointer neu = nullptr;
    const HRESULT hr = geraet ? T::ErzeugeMitAuslagerung([&] { return erzeuge(geraet, &neu); }, true)
                              : D3DERR_INVALIDCALL;
    if (FAILED(hr) || !neu) {
      scheitern(hr);
      return;
    }
    t.geraeteTextur.reset(neu);
    t.zustand = Quelm_BasisObjekt::ZUSTAND_RESIDENT;
    if (t.flags & FLAG_FLUECHTIG) return;
    for (std::uint32_t s = 0; s < seiten; ++s)
      for (std::uint64_t i = 0; i < t.kopienAnzahl_; ++i)
        if (Kopien(t, s)[i]) Lade(t, s, i, Kopie(t, s, i));
  }
};

// ---------------------------------------------------------------------------------------------

Quelm_Textur::Quelm_Textur(std::uint64_t b, std::uint64_t h, std::uint64_t mips, std::uint64_t formatUndFlags,
                           Quelm_TexturVorgabe& vorgabe)
    : Quelm_BasisObjekt(formatUndFlags) {
  breite = b = b ? b : vorgabe.stufen[0].breite;
  hoehe = h = h ? h : vorgabe.stufen[0].hoehe;
  format = static_cast<std::int32_t>(formatUndFlags & 0xFF);
  if (format >= PXFMT_ANZAHL) {
    Protokolliere("?Quelm_Textur::Quelm_Textur( %d, %d, %d, 0x%x, ...): Ungültiges Texturformat", I(b), I(h),
                  I(mips), static_cast<unsigned>(formatUndFlags));
    MeldeAusnahme("Ungültiges Texturformat", "Quelm_Textur::Quelm_Textur", __FILE__, __LINE__);
    // Sizes and copies need a real format.
    format = PXFMT_A8R8G8B8;
    flags &= ~std::uint64_t{0xFF};
  }
  Meldungen m;
  m.zuvieleStufen = [&](std::uint64_t n) {
    Protokolliere("?Quelm_Textur::Quelm_Textur( %d, %d, %d, %d): Zuviele MipMap-Stufen angegeben.", I(b), I(h), I(n),
                  I(formatUndFlags));
  };
  m.fluechtig = [&] {
    Protokolliere("?Quelm_Textur::Quelm_Textur( %d, %d, %d, 0x%x): Renderziel-Texturen sind immer flüchtig.", I(b),
                  I(h), I(mipStufen), static_cast<unsigned>(flags));
  };
  m.manuell = [&] {
    Protokolliere(
        "?Quelm_Textur::Quelm_Textur( %d, %d, %d, 0x%x, ...): Keine automatischen MipMaps für komprimierte "
        "Texturformate. Ich vermute manuelle MipMaps.",
        I(b), I(h), I(mipStufen), static_cast<unsigned>(flags));
  };
  m.ungueltig = [&](int, std::uint64_t i) {
    Protokolliere("!Quelm_Textur::QuelmTextur( %d, %d, ...): Vorgabegrafik für Mip-Stufe %d ist ungültig", I(b), I(h),
                  I(i));
    MeldeAusnahme("Ungültige Vorgabedaten", "Quelm_Textur::Quelm_Textur", __FILE__, __LINE__);
  };
  m.ohneInhalt = [&] {
    Protokolliere("!Quelm_Textur::QuelmTextur( %d, %d, ...): Textur ohne Initialinhalt muss dynamisch sein", I(b),
                  I(h));
  };
  m.groesse = [&] {
    Protokolliere("!Quelm_Textur::QuelmTextur( %d, %d, ...): Ungültige Texturgröße.", I(b), I(h));
    MeldeAusnahme("Ungültige Texturgröße.", "Quelm_Textur::Quelm_Textur", __FILE__, __LINE__);
  };
  const bool groesseGut = b > 0 && h > 0 && b <= MaxTexturBreite() && h <= MaxTexturHoehe();
  Quelm_TexturWerk<Quelm_Textur>::Baue(*this, mips, VolleKette(b, h), std::span(&vorgabe, 1), true, groesseGut, m);
}

std::uint64_t Quelm_Textur::StufenBreite(std::uint64_t stufe) const { return StufenGroesse(breite, stufe); }
std::uint64_t Quelm_Textur::StufenHoehe(std::uint64_t stufe) const { return StufenGroesse(hoehe, stufe); }

TBereich Quelm_Textur::KopieBereich(std::uint64_t stufe) const {
  if (stufe >= kMaxStufen || !kopien[stufe]) return {};
  const std::uint64_t w = StufenBreite(stufe);
  return TBereich(kopien[stufe].get(), format, w, StufenHoehe(stufe), Quelm_Pitch(format, w));
}

void Quelm_Textur::Benutzen() {
  Quelm_TexturWerk<Quelm_Textur>::Benutze(
      *this, 1,
      [&](IDirect3DDevice9* geraet, IDirect3DTexture9** neu) {
        return geraet->CreateTexture(static_cast<UINT>(breite), static_cast<UINT>(hoehe),
                                     GeraeteStufen(flags, mipStufen), Verwendung(flags, mipStufen), geraeteFormat,
                                     D3DPOOL_DEFAULT, neu, nullptr);
      },
      [](HRESULT hr) {
        Protokolliere("!Quelm_Textur::Benutzen(): Erzeugung der Textur gescheitert. Rückgabewert: %ld",
                      static_cast<long>(hr));
        MeldeAusnahme("Textur-Erzeugung gescheitert.", "Quelm_Textur::Benutzen", __FILE__, __LINE__);
      });
}

void Quelm_Textur::Freigeben() {
  geraeteTextur.reset();
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
  const auto s = static_cast<UINT>(stufe);
  const Stufenziel ziel{
      [&](const RECT* r, D3DLOCKED_RECT& lr, DWORD f) { return geraeteTextur->LockRect(s, &lr, r, f); },
      [&] { geraeteTextur->UnlockRect(s); },
      [&](IDirect3DSurface9** flaeche) { return geraeteTextur->GetSurfaceLevel(s, flaeche); }};
  if (!SchreibeStufe(geraet, ziel, flags, format, geraeteFormat, x, y, w, h, lw, lh, quelle,
                     "Quelm_Textur::InternSchreibeInhalt")) {
    Protokolliere("!Quelm_Textur::InternSchreibeInhalt( %d, %d, %d, ...): Erzeugen der temporären Textur gescheitert.",
                  I(stufe), I(x), I(y));
    MeldeAusnahme("Texturzugriff gescheitert.", "Quelm_Textur::InternSchreibeInhalt", __FILE__, __LINE__);
  }
}

void Quelm_Textur::SchreibeTeilInhalt(std::uint64_t x, std::uint64_t y, Quelm_TexturBereich& bereich) {
  // A handed-over region is freed however the write ends.
  const std::unique_ptr<std::uint8_t[]> uebergeben(bereich.uebergabe == 1 ? bereich.daten : nullptr);
  struct Abschluss {
    Quelm_TexturBereich& b;
    ~Abschluss() {
      if (b.uebergabe != 1) return;
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
  kante = k = k ? k : vorgaben[0].stufen[0].breite;
  format = static_cast<std::int32_t>(formatUndFlags & 0xFF);
  if (format >= PXFMT_ANZAHL) {
    Protokolliere("?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, %d, 0x%x): Ungültiges Texturformat, "
                  "PXFMT_A8R8G8B8 angenommen.",
                  I(k), I(k), I(mips), static_cast<unsigned>(formatUndFlags));
    format = PXFMT_A8R8G8B8;
    flags &= ~std::uint64_t{0xFF};
  }
  Meldungen m;
  m.zuvieleStufen = [&](std::uint64_t n) {
    Protokolliere("?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, %d): Zuviele MipMap-Stufen angegeben.", I(k),
                  I(n), I(formatUndFlags));
  };
  m.fluechtig = [&] {
    Protokolliere("?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, %d): Renderziel-Texturen sind immer flüchtig.",
                  I(k), I(mipStufen), I(flags));
  };
  m.manuell = [&] {
    Protokolliere(
        "?Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x, ...): Keine automatischen MipMaps für "
        "komprimierte Texturformate. Ich vermute manuelle MipMaps.",
        I(k), I(mipStufen), static_cast<unsigned>(flags));
  };
  m.ungueltig = [&](int seite, std::uint64_t i) {
    Protokolliere(
        "!Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x, ...): Vorgabegrafik für Seite %d, Mip-Stufe "
        "%d ist ungültig",
        I(k), I(mipStufen), static_cast<unsigned>(flags), seite, I(i));
    MeldeAusnahme("Ungültige Vorgabedaten", "Quelm_WuerfelTextur::Quelm_WuerfelTextur", __FILE__, __LINE__);
  };
  m.ohneInhalt = [&] {
    Protokolliere(
        "!Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x...): Textur ohne Initialinhalt muss dynamisch sein",
        I(k), I(mipStufen), static_cast<unsigned>(flags));
  };
  m.groesse = [&] {
    Protokolliere("!Quelm_WuerfelTextur::Quelm_WuerfelTextur( %d, %d, 0x%x, ...): Ungültige Texturgröße.", I(k),
                  I(mipStufen), static_cast<unsigned>(flags));
    MeldeAusnahme("Ungültige Texturgröße.", "Quelm_WuerfelTextur::Quelm_WuerfelTextur", __FILE__, __LINE__);
  };
  Quelm_TexturWerk<Quelm_WuerfelTextur>::Baue(*this, mips, VolleKette(k, k), std::span(vorgaben), false,
                                               k > 0 && k <= MaxTexturBreite(), m);
}

std::uint64_t Quelm_WuerfelTextur::StufenKante(std::uint64_t stufe) const { return StufenGroesse(kante, stufe); }

TBereich Quelm_WuerfelTextur::KopieBereich(std::uint32_t seite, std::uint64_t stufe) const {
  if (seite >= 6 || stufe >= kMaxStufen || !kopien[seite][stufe]) return {};
  const std::uint64_t k = StufenKante(stufe);
  return TBereich(kopien[seite][stufe].get(), format, k, k, Quelm_Pitch(format, k));
}

void Quelm_WuerfelTextur::Benutzen() {
  Quelm_TexturWerk<Quelm_WuerfelTextur>::Benutze(
      *this, 6,
      [&](IDirect3DDevice9* geraet, IDirect3DCubeTexture9** neu) {
        return geraet->CreateCubeTexture(static_cast<UINT>(kante), GeraeteStufen(flags, mipStufen),
                                         Verwendung(flags, mipStufen), geraeteFormat, D3DPOOL_DEFAULT, neu, nullptr);
      },
      [](HRESULT) {
        Protokolliere("!Quelm_WuerfelTextur::Benutzen(): Erzeugung der CubeMap gescheitert.");
        MeldeAusnahme("CubeMap-Erzeugung gescheitert.", "Quelm_WuerfelTextur::Benutzen", __FILE__, __LINE__);
      });
}

void Quelm_WuerfelTextur::Freigeben() {
  geraeteTextur.reset();
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}

void Quelm_WuerfelTextur::InternSchreibeInhalt(std::uint32_t seite, std::uint64_t stufe, const TBereich& quelle) {
  const std::uint64_t k = StufenKante(stufe);
  IDirect3DDevice9* geraet = Geraet();
  if (!geraeteTextur || !geraet || stufe >= mipStufen) return;
  const D3DCUBEMAP_FACES flaeche = Quelm::GetD3DSeite(seite);
  const std::uint64_t w = std::min(k, quelle.breite), h = std::min(k, quelle.hoehe);
  if (w == 0 || h == 0) return;
  const auto s = static_cast<UINT>(stufe);
  const Stufenziel ziel{
      [&](const RECT* r, D3DLOCKED_RECT& lr, DWORD f) { return geraeteTextur->LockRect(flaeche, s, &lr, r, f); },
      [&] { geraeteTextur->UnlockRect(flaeche, s); },
      [&](IDirect3DSurface9** f) { return geraeteTextur->GetCubeMapSurface(flaeche, s, f); }};
  if (!SchreibeStufe(geraet, ziel, flags, format, geraeteFormat, 0, 0, w, h, k, k, quelle,
                     "Quelm_WuerfelTextur::InternSchreibeInhalt")) {
    Protokolliere(
        "!Quelm_WuerfelTextur::InternSchreibeInhalt( %d, %d, %d, %d, ...): Erzeugen der temporären Textur "
        "gescheitert.",
        static_cast<int>(seite), I(stufe), 0, 0);
    MeldeAusnahme("Texturzugriff gescheitert.", "Quelm_WuerfelTextur::InternSchreibeInhalt", __FILE__, __LINE__);
  }
}
