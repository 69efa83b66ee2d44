#include "Quelm_Zustaende.h"

#include "TBereich.h"

#include <cmath>
#include <iterator>

namespace {

D3DTEXTUREADDRESS Adressmodus(std::uint64_t code) {
  switch (code & 3) {
    case 1: return D3DTADDRESS_CLAMP;
    case 2: return D3DTADDRESS_BORDER;
    default: return D3DTADDRESS_WRAP;  // 3 has no meaning: wrap is harmless
  }
}

D3DTEXTUREFILTERTYPE Filter(std::uint64_t code) { return (code & 3) ? D3DTEXF_LINEAR : D3DTEXF_POINT; }

}  // namespace

Quelm_Sampler::Quelm_Sampler(const Quelm_SamplerBeschr& b) : beschr(b) {
  adresseU = Adressmodus(b.adresse);
  adresseV = Adressmodus(b.adresse >> 2);
  adresseW = Adressmodus(b.adresse >> 4);
  rahmen = adresseU == D3DTADDRESS_BORDER || adresseV == D3DTADDRESS_BORDER || adresseW == D3DTADDRESS_BORDER;
  anisotrop = (b.filter & 0x40) != 0;
  if (anisotrop) {
    minFilter = D3DTEXF_ANISOTROPIC;
    magFilter = D3DTEXF_LINEAR;
    mipFilter = D3DTEXF_LINEAR;
  } else {
    minFilter = Filter(b.filter);
    magFilter = Filter(b.filter >> 2);
    mipFilter = Filter(b.filter >> 4);
  }
  rahmenfarbe = PackeFarbe({b.rahmenfarbe[0], b.rahmenfarbe[1], b.rahmenfarbe[2], b.rahmenfarbe[3]});
  const float stufe = std::ceil(b.maxMipStufe);
  maxMipStufe = stufe > 0.0f ? static_cast<DWORD>(stufe) : 0;
  maxAnisotropie = b.maxAnisotropie;
  zustand = ZUSTAND_RESIDENT;
}

Quelm_AlphaZustandBeschr::Quelm_AlphaZustandBeschr(std::uint32_t quelle, std::uint32_t ziel) {
  Ziel& z = ziele[0];
  z.aktiv = true;
  z.farbOperation = z.alphaOperation = 0;
  z.farbQuelle = z.alphaQuelle = quelle;
  z.farbZiel = z.alphaZiel = ziel;
  z.schreibMaske = 15;
}

D3DBLEND Quelm_AlphaZustand::Faktor(std::uint32_t code) {
  static constexpr D3DBLEND tabelle[] = {D3DBLEND_ZERO,         D3DBLEND_ONE,         D3DBLEND_SRCALPHA,
                                         D3DBLEND_SRCCOLOR,     D3DBLEND_INVSRCALPHA, D3DBLEND_INVSRCCOLOR,
                                         D3DBLEND_DESTALPHA,    D3DBLEND_DESTCOLOR,   D3DBLEND_INVDESTALPHA,
                                         D3DBLEND_INVDESTCOLOR};
  return code < std::size(tabelle) ? tabelle[code] : D3DBLEND_ONE;
}

D3DBLENDOP Quelm_AlphaZustand::Operation(std::uint32_t code) {
  static constexpr D3DBLENDOP tabelle[] = {D3DBLENDOP_ADD, D3DBLENDOP_SUBTRACT, D3DBLENDOP_REVSUBTRACT,
                                           D3DBLENDOP_MIN, D3DBLENDOP_MAX};
  return code < std::size(tabelle) ? tabelle[code] : D3DBLENDOP_ADD;
}

Quelm_AlphaZustand::Quelm_AlphaZustand(const Quelm_AlphaZustandBeschr& b) : beschr(b) {
  const Quelm_AlphaZustandBeschr::Ziel& z = b.ziele[0];
  blendAn = z.aktiv ? TRUE : FALSE;
  operation = Operation(z.farbOperation);
  quelle = Faktor(z.farbQuelle);
  ziel = Faktor(z.farbZiel);
  const bool separat =
      z.alphaOperation != z.farbOperation || z.alphaQuelle != z.farbQuelle || z.alphaZiel != z.farbZiel;
  separatesAlpha = separat ? TRUE : FALSE;
  if (separat) {
    alphaOperation = Operation(z.alphaOperation);
    alphaQuelle = Faktor(z.alphaQuelle);
    alphaZiel = Faktor(z.alphaZiel);
  } else {
    alphaOperation = D3DBLENDOP_ADD;
    alphaQuelle = D3DBLEND_ONE;
    alphaZiel = D3DBLEND_ZERO;
  }
  schreibMaske = static_cast<DWORD>(z.schreibMaske & 15);
  zustand = ZUSTAND_RESIDENT;
}

D3DCMPFUNC Quelm_TiefeZustand::Vergleich(std::uint32_t code) {
  static constexpr D3DCMPFUNC tabelle[] = {D3DCMP_NEVER,   D3DCMP_LESS,         D3DCMP_LESSEQUAL, D3DCMP_EQUAL,
                                           D3DCMP_GREATER, D3DCMP_GREATEREQUAL, D3DCMP_NOTEQUAL};
  return code < std::size(tabelle) ? tabelle[code] : D3DCMP_ALWAYS;
}

Quelm_TiefeZustand::Quelm_TiefeZustand(const Quelm_TiefeZustandBeschr& b) : beschr(b) {
  zTest = b.test ? TRUE : FALSE;
  zSchreiben = b.schreiben ? TRUE : FALSE;
  zFunktion = Vergleich(b.vergleich);
  zustand = ZUSTAND_RESIDENT;
}
