#include "Quelm_BlockGfx3D.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_BlockShader.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_ZeichenKontext.h"
#include "TSegmentLeser.h"
#include "TSpeicherSchreiber.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t kFx3d = TSegmentLeser::Kennung("FX3D");
constexpr std::uint32_t kFx3dVersion = 261;
constexpr std::uint64_t kGroesseAbsolut = 16384;

int I(std::uint64_t v) { return static_cast<int>(v); }

// 2 ^ (floor(log2 n) + 1): the next power of two above n (n > 0).
std::uint64_t NaechsteZweierpotenz(std::uint64_t n) { return std::bit_floor(n) << 1; }

std::uint64_t AufVielfachesVon64(std::uint64_t n) { return (n + 63) / 64 * 64; }

}  // namespace

Quelm_BlockGfx3D::Quelm_BlockGfx3D(std::uint64_t atlasGroesse, std::uint64_t maxInstanzen, std::uint64_t f)
    : flags(f) {
  SetzeMaxInstanzen(maxInstanzen);
  ErzeugeTextur(atlasGroesse);
  ErzeugeShader();
}

Quelm_BlockGfx3D::~Quelm_BlockGfx3D() {
  GibShaderFrei();
  if (Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext()) {
    k->GibFrei(textur);
    k->GibFrei(instanzPuffer);
  }
}

std::uint64_t Quelm_BlockGfx3D::MaxGroesse() {
  const Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  std::uint64_t grenze = kGroesseAbsolut;
  if (k && k->maxTexturBreite) grenze = std::min({grenze, k->maxTexturBreite, k->maxTexturHoehe});
  return grenze;
}

void Quelm_BlockGfx3D::SetzeEintragKapazitaet(std::uint64_t plaetze) {
  plaetze = AufVielfachesVon64(plaetze);
  eintraege.resize(plaetze);
  vorhanden.resize(plaetze / 64, 0);
}

void Quelm_BlockGfx3D::SetzeVorhanden(std::uint64_t id, bool an) {
  const std::uint64_t bit = std::uint64_t{1} << (id % 64);
  vorhanden[id / 64] = an ? vorhanden[id / 64] | bit : vorhanden[id / 64] & ~bit;
}

bool Quelm_BlockGfx3D::AddGrafik(std::uint64_t id, const Quelm_Bild* quelle, std::uint64_t x, std::uint64_t y,
                                 std::uint64_t w, std::uint64_t h) {
  if (!quelle || quelle->format != PXFMT_A8R8G8B8) {
    Protokolliere("!Quelm_BlockGfx3D::AddGrafik( %d, ..., %d, %d, %d, %d): Quellgrafik muss vom Format A8R8G8B8 sein.",
                  I(id), I(x), I(y), I(w), I(h));
    return false;
  }
  // A rectangle outside the source would be read past its pixels; one larger than the
  // largest atlas would grow it for ever.
  if (x + w > quelle->breite || y + h > quelle->hoehe || w > MaxGroesse() || h > MaxGroesse() ||
      id >= (std::uint64_t{1} << 32)) {
    Protokolliere("!Quelm_BlockGfx3D::AddGrafik( %d, ..., %d, %d, %d, %d): Grafik passt nicht in den Atlas.", I(id),
                  I(x), I(y), I(w), I(h));
    return false;
  }
  std::uint64_t px = 0, py = 0;
  while (!packer.Einfuegen(w, h, px, py)) {
    const std::uint64_t neu = hoehe == 0 ? 512 : NaechsteZweierpotenz(hoehe);
    if (neu > MaxGroesse()) {
      Protokolliere("!Quelm_BlockGfx3D::AddGrafik( %d, ..., %d, %d, %d, %d): Atlas ist voll.", I(id), I(x), I(y), I(w),
                    I(h));
      return false;
    }
    ErzeugeTextur(neu);
    // Re-packing the others may have grown it further; only a missing texture ends here.
    if (hoehe < neu) return false;
  }
  if (id >= eintraege.size()) SetzeEintragKapazitaet(id == 0 ? 64 : NaechsteZweierpotenz(id));
  const float fb = static_cast<float>(breite), fh = static_cast<float>(hoehe);
  eintraege[id] = {static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py), static_cast<std::uint32_t>(w),
                   static_cast<std::uint32_t>(h),  static_cast<float>(px) / fb,    static_cast<float>(py) / fh,
                   static_cast<float>(w) / fb,     static_cast<float>(h) / fh};
  SetzeVorhanden(id, true);
  atlasGeaendert = 1;
  if (textur && w && h) {
    // Also for an atlas read from a file: its pixel copy is what growing, eviction and a
    // device reset restore from.
    Quelm_TexturBereich bereich;
    static_cast<TBereich&>(bereich) = quelle->LockSubBereich(x, y, w, h);
    textur->SchreibeTeilInhalt(px, py, bereich);
  }
  return true;
}

void Quelm_BlockGfx3D::ErzeugeTextur(std::uint64_t groesse) {
  if (breite == groesse && hoehe == groesse) return;
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  if (!k) {
    MeldeAusnahme("Kein Zeichenkontext", "Quelm_BlockGfx3D::ErzeugeTextur", __FILE__, __LINE__);
    return;
  }
  struct Alt {
    std::uint64_t id;
    Quelm_BlockGrafik e;
  };
  std::vector<Alt> alte;
  Quelm_Bild kopie;
  if (textur) {
    const TBereich stufe0 = textur->KopieBereich(0);
    if (stufe0.daten) {
      kopie.SetGroesse(stufe0.breite, stufe0.hoehe, PXFMT_A8R8G8B8, 1);
      TBereich::KonvertiereFormat(stufe0, kopie);
    } else {
      Protokolliere("?Quelm_BlockGfx3D::ErzeugeTextur( %d): Der Atlas hat keine Kopie, seine Grafiken gehen verloren.",
                    I(groesse));
    }
    for (std::uint64_t id = 0; id < eintraege.size(); ++id)
      if (HatGrafik(id)) {
        if (stufe0.daten) alte.push_back({id, eintraege[id]});
        SetzeVorhanden(id, false);
      }
    k->GibFrei(textur);
    textur = nullptr;
  }
  packer.Leeren();
  breite = hoehe = 0;
  if (groesse > 0) {
    const std::uint64_t formatWort = (flags & kFlagRenderziel) ? 2560 : 256;
    textur = k->ErzeugeTextur(groesse, groesse, 0, formatWort);
    if (!textur) return;
    breite = hoehe = groesse;
    packer.Init(groesse, groesse, eintraege.size());
  }
  // In ascending id order into the new area; a nested growth re-packs those already back.
  for (const Alt& a : alte) AddGrafik(a.id, &kopie, a.e.x, a.e.y, a.e.w, a.e.h);
}

void Quelm_BlockGfx3D::ZeichneGrafik(std::uint64_t id, float x, float y, const float (&farbe)[4], float w, float h,
                                     float winkel) {
  if (!HatGrafik(id)) return;
  const Quelm_BlockGrafik& e = eintraege[id];
  Quelm_BlockInstanz& i = NeueInstanz();
  i.zielPos[0] = x;
  i.zielPos[1] = y;
  i.zielPos[2] = 0.5f;
  i.groesse[0] = w == 0.0f ? static_cast<float>(e.w) : w;
  i.groesse[1] = h == 0.0f ? static_cast<float>(e.h) : h;
  i.grafik[0] = static_cast<float>(e.x);
  i.grafik[1] = static_cast<float>(e.y);
  i.grafik[2] = static_cast<float>(e.w);
  i.grafik[3] = static_cast<float>(e.h);
  std::copy(farbe, farbe + 4, i.farbe);
  i.param[0] = winkel;
  i.param[1] = pivotMitte ? 0.5f : 0.0f;
}

Quelm_BlockInstanz& Quelm_BlockGfx3D::NeueInstanz() {
  if (instanzen.size() == instanzen.capacity()) instanzen.reserve(instanzen.size() + std::max<std::size_t>(instanzen.size() / 2, 1));
  return instanzen.emplace_back();
}

void Quelm_BlockGfx3D::SetzeMaxInstanzen(std::uint64_t n) {
  if (n > 0) instanzen.reserve(n);
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  if (!k) return;
  k->GibFrei(instanzPuffer);
  instanzPuffer = nullptr;
  if (n > 0) instanzPuffer = k->ErzeugeVertexBuffer(n * sizeof(Quelm_BlockInstanz), FLAG_DYNAMISCH | FLAG_FLUECHTIG);
}

void Quelm_BlockGfx3D::AktualisiereMipStufen() {
  atlasGeaendert = 0;
  if (!textur) return;
  textur->Benutzen();
  if (textur->geraeteTextur) textur->geraeteTextur->GenerateMipSubLevels();
}

void Quelm_BlockGfx3D::Zeichne() {
  if (instanzen.empty()) return;
  BereiteZeichnenVor();
  ZeichneInstanzen();
}

void Quelm_BlockGfx3D::BereiteZeichnenVor() {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  const Quelm_BlockShader::Satz* satz = Quelm_BlockShader::Aktuell();
  if (!k || !satz) return;
  if (!instanzPuffer) SetzeMaxInstanzen(512);
  if (atlasGeaendert) AktualisiereMipStufen();
  const Quelm_BlockShader::Variante& v = satz->varianten[(flags & kFlagNormalKarte) ? 1 : 0];
  k->SetProgramm(v.programm);
  k->SetTextur(static_cast<std::uint32_t>(v.textur), satz->sampler, textur);
  k->SetProgrammKonstante(v.quellGroesse, breite ? 1.0f / static_cast<float>(breite) : 0.0f,
                          hoehe ? 1.0f / static_cast<float>(hoehe) : 0.0f, 0.0f, 1.0f);
  k->SetProgrammKonstante(v.zielGroesse, k->zielBreite ? 1.0f / static_cast<float>(k->zielBreite) : 0.0f,
                          k->zielHoehe ? 1.0f / static_cast<float>(k->zielHoehe) : 0.0f, 0.0f, 1.0f);
  k->SetAlphaZustand(alphaZustand ? alphaZustand : satz->alpha);
  k->SetTiefeZustand(nullptr);
  k->SetVertexBuffer(0, satz->quad, 8);
  k->SetVertexBuffer(1, instanzPuffer, sizeof(Quelm_BlockInstanz));
  k->SetIndexBuffer(satz->indizes);
}

void Quelm_BlockGfx3D::ZeichneInstanzen() {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  if (k && instanzPuffer && Quelm_BlockShader::Aktuell()) {
    const std::uint64_t stapel = instanzPuffer->groesse / sizeof(Quelm_BlockInstanz);
    for (std::uint64_t start = 0; stapel && start < instanzen.size(); start += stapel) {
      const std::uint64_t n = std::min<std::uint64_t>(stapel, instanzen.size() - start);
      Quelm_PufferDaten daten{reinterpret_cast<std::uint8_t*>(instanzen.data() + start),
                              n * sizeof(Quelm_BlockInstanz), 0};
      instanzPuffer->SchreibeInhalt(daten);
      k->ZeichneIndexInstanzen(n);
    }
  }
  instanzen.clear();
}

void Quelm_BlockGfx3D::ErzeugeShader() {
  if (hatShaderAnteil_) return;
  hatShaderAnteil_ = Quelm_BlockShader::Nimm();
}

void Quelm_BlockGfx3D::GibShaderFrei() {
  if (!hatShaderAnteil_) return;
  hatShaderAnteil_ = false;
  Quelm_BlockShader::Gib();
}

// --- "FX3D" ------------------------------------------------------------------------------------

bool Quelm_BlockGfx3D::Laden(TSpeicher& speicher) {
  const std::uint64_t start = speicher.position;
  TSegmentLeser l(speicher);
  if (l.LeseU32() != kFx3d) {
    speicher.position = start;
    return false;
  }
  // Everything is read into locals first, so a file cut short changes nothing.
  const std::uint32_t version = l.LeseU32();
  if (version < 261) l.Ueberspringe(8);
  const std::uint32_t maxInstanzen = l.LeseU32();
  const std::uint8_t mitte = l.LeseU8();
  std::uint64_t neueFlags = flags;
  if (version >= 258) neueFlags = l.LeseU32();
  l.Ueberspringe(4);
  const std::uint32_t anzahl = l.LeseU32();
  // Every entry takes at least its presence byte.
  bool gut = !l.fehler && maxInstanzen <= kMaxInstanzen && anzahl <= l.Rest();
  std::vector<Quelm_BlockGrafik> neueEintraege;
  std::vector<std::uint64_t> neuVorhanden;
  if (gut) {
    neueEintraege.resize(AufVielfachesVon64(anzahl));
    neuVorhanden.resize(neueEintraege.size() / 64);
  }
  for (std::uint32_t id = 0; gut && id < anzahl; ++id) {
    if (l.LeseU8() != 1) continue;
    Quelm_BlockGrafik& e = neueEintraege[id];
    e.x = l.LeseU32();
    e.y = l.LeseU32();
    e.w = l.LeseU32();
    e.h = l.LeseU32();
    e.u = l.LeseF32();
    e.v = l.LeseF32();
    e.du = l.LeseF32();
    e.dv = l.LeseF32();
    neuVorhanden[id / 64] |= std::uint64_t{1} << (id % 64);
    gut = !l.fehler;
  }
  TRechteckPacker neuerPacker;
  gut = gut && neuerPacker.Laden(speicher);
  l.Ueberspringe(4);
  const std::uint64_t b = l.LeseU32();
  const std::uint64_t h = version >= 259 ? l.LeseU32() : b;
  gut = gut && !l.fehler;
  // The pixels must be in the file, and every graphic inside them (growing re-packs from them).
  if (gut && h > 0) gut = b > 0 && b <= MaxGroesse() && h <= MaxGroesse() && b * h <= l.Rest() / 4;
  for (std::uint32_t id = 0; gut && id < anzahl; ++id) {
    const Quelm_BlockGrafik& e = neueEintraege[id];
    if (neuVorhanden[id / 64] >> (id % 64) & 1) gut = h > 0 && e.x + std::uint64_t{e.w} <= b && e.y + std::uint64_t{e.h} <= h;
  }
  Quelm_Bild bild;
  if (gut && h > 0) {
    bild.SetGroesse(b, h, PXFMT_A8R8G8B8, 1);
    for (std::uint64_t y = 0; y < h; ++y) {
      auto* zeile = reinterpret_cast<std::uint32_t*>(bild.daten + y * bild.pitch);
      for (std::uint64_t x = 0; x < b; ++x) zeile[x] = l.LeseU32();
    }
    gut = !l.fehler;
  }
  if (!gut) {
    speicher.position = start;
    Protokolliere("!Quelm_BlockGfx3D::Laden(): Blockgrafik ist unvollständig oder fehlerhaft.");
    return false;
  }

  SetzeMaxInstanzen(maxInstanzen);
  pivotMitte = mitte == 1;
  flags = neueFlags;
  eintraege = std::move(neueEintraege);
  vorhanden = std::move(neuVorhanden);
  packer.belegt = std::move(neuerPacker.belegt);
  packer.frei = std::move(neuerPacker.frei);
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  if (k) k->GibFrei(textur);
  textur = nullptr;
  breite = b;
  hoehe = h;
  packer.breite = b;
  packer.hoehe = h;
  atlasGeaendert = 0;
  if (h == 0 || !k) return true;
  const std::uint64_t formatWort = (flags & kFlagRenderziel) ? 2560 : 0;
  textur = k->ErzeugeTextur(b, h, 0, formatWort, Quelm_TexturVorgabe::AusBild(bild));
  if (formatWort & FLAG_RENDERZIEL) {
    Quelm_TexturBereich bereich;
    static_cast<TBereich&>(bereich) = bild;
    if (textur) textur->InternSchreibeInhalt(0, 0, 0, bereich);
  }
  AktualisiereMipStufen();
  return true;
}

bool Quelm_BlockGfx3D::Speichern(TSpeicher& speicher) const {
  const TBereich stufe0 = textur ? textur->KopieBereich(0) : TBereich();
  if (hoehe > 0 && !stufe0.daten) {
    Protokolliere("!Quelm_BlockGfx3D::Speichern(): Der Atlas hat keine Kopie seiner Pixel.");
    return false;
  }
  TSpeicherSchreiber s(speicher);
  s.U32(kFx3d);
  s.U32(kFx3dVersion);
  s.U32(static_cast<std::uint32_t>(instanzPuffer ? instanzPuffer->groesse / sizeof(Quelm_BlockInstanz) : 0));
  s.U8(pivotMitte ? 1 : 0);
  s.U32(static_cast<std::uint32_t>(flags));
  s.U32(0);
  s.U32(static_cast<std::uint32_t>(eintraege.size()));
  for (std::uint64_t id = 0; id < eintraege.size(); ++id) {
    s.U8(HatGrafik(id) ? 1 : 0);
    if (!HatGrafik(id)) continue;
    const Quelm_BlockGrafik& e = eintraege[id];
    for (std::uint32_t v : {e.x, e.y, e.w, e.h}) s.U32(v);
    for (float v : {e.u, e.v, e.du, e.dv}) s.F32(v);
  }
  packer.Speichern(speicher);
  s.U32(0);
  s.U32(static_cast<std::uint32_t>(breite));
  s.U32(static_cast<std::uint32_t>(hoehe));
  Quelm_Bild pixel(breite, hoehe, PXFMT_A8R8G8B8);
  if (hoehe > 0) TBereich::KonvertiereFormat(stufe0, pixel);
  for (std::uint64_t y = 0; y < hoehe; ++y) {
    const auto* zeile = reinterpret_cast<const std::uint32_t*>(pixel.daten + y * pixel.pitch);
    for (std::uint64_t x = 0; x < breite; ++x) s.U32(zeile[x]);
  }
  return true;
}
