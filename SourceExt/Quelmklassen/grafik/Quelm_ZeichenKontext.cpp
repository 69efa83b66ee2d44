#include "Quelm_ZeichenKontext.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_Screen3D.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>

namespace {

// A shadow value that equals no real object, so the next setting always acts. Only
// compared, never dereferenced.
char gMarke;
template <class T>
T* Marke() {
  return reinterpret_cast<T*>(&gMarke);
}
template <class T>
bool Echt(T* p) {
  return p && p != Marke<T>();
}

constexpr std::uint64_t kGanz = ~std::uint64_t{0};
constexpr std::uint32_t kIndexBit = 1u << 4;

std::string KlassenName(const Quelm_BasisObjekt& objekt) {
  const char* roh = typeid(objekt).name();
  int status = 0;
  char* name = abi::__cxa_demangle(roh, nullptr, nullptr, &status);
  std::string ergebnis = status == 0 && name ? name : roh;
  std::free(name);
  return ergebnis;
}

// Estimated bytes of a texture's mip chain.
std::uint64_t TexturBytes(std::int32_t format, std::uint64_t breite, std::uint64_t hoehe, std::uint64_t stufen) {
  std::uint64_t summe = 0;
  for (std::uint64_t i = 0; i < stufen && i < 64; ++i) {
    std::uint64_t groesse = 0;
    if (Quelm_Datengroesse(format, std::max<std::uint64_t>(breite >> i, 1), std::max<std::uint64_t>(hoehe >> i, 1),
                           groesse))
      summe += groesse;
  }
  return summe;
}

struct Posten {
  std::int64_t anzahl = 0;
  std::uint64_t bytes = 0;
  void Zaehle(std::uint64_t b) {
    ++anzahl;
    bytes += b;
  }
};

void ProtokolliereDavon(const char* was, const Posten& p) {
  Protokolliere("  davon %d %s (%d kb)", static_cast<int>(p.anzahl), was, static_cast<int>(p.bytes / 1024));
}

}  // namespace

#if !defined(NDEBUG) || defined(QUELM_PRUEFE_THREAD)
void Quelm_ZeichenKontext::PruefeThread() const {
  // Not an assert: the checking builds keep NDEBUG.
  if (Plattform::ThreadId() != thread_) {
    std::fputs("render context used off its thread\n", stderr);
    std::abort();
  }
}
#endif

Quelm_ZeichenKontext::Quelm_ZeichenKontext() : impl(this), thread_(Plattform::ThreadId()) {
  SetzeZustandZurueck();
  standardAlpha = ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr());
  SetAlphaZustand(nullptr);
  Quelm_TiefeZustandBeschr tiefe;
  tiefe.test = false;
  tiefe.schreiben = false;
  tiefe.vergleich = 2;
  standardTiefe = ErzeugeTiefeZustand(tiefe);
  SetTiefeZustand(nullptr);
  SetRueckseite(0);
}

Quelm_ZeichenKontext::~Quelm_ZeichenKontext() {
  GibFrei(standardTiefe);
  GibFrei(standardAlpha);
  standardTiefe = nullptr;
  standardAlpha = nullptr;
  FuerJedesObjekt([](Quelm_BasisObjekt* o) {
    Protokolliere("%s mit AllocID %d nicht freigegeben.", KlassenName(*o).c_str(), static_cast<int>(o->AllocID));
    delete o;
  });
  belegt.reset();
  objekte = nullptr;
  kapazitaet = 0;
}

// --- Registry ------------------------------------------------------------------------------

std::uint64_t Quelm_ZeichenKontext::FindeFreieAllocID() {
  const std::uint64_t worte = kapazitaet / 64;
  for (std::uint64_t w = freiHinweis / 64; w < worte; ++w)
    if (belegt[w] != ~std::uint64_t{0}) return w * 64 + static_cast<std::uint64_t>(__builtin_ctzll(~belegt[w]));

  std::uint64_t neu = std::max<std::uint64_t>(2 * kapazitaet, 64);
  neu = (neu + 63) & ~std::uint64_t{63};
  void* block = std::malloc(neu / 8 + neu * sizeof(Quelm_BasisObjekt*));
  if (!block) throw std::bad_alloc();
  auto* neueBits = static_cast<std::uint64_t*>(block);
  auto* neueSlots = reinterpret_cast<Quelm_BasisObjekt**>(static_cast<char*>(block) + neu / 8);
  if (kapazitaet) {
    std::memcpy(neueBits, belegt.get(), kapazitaet / 8);
    std::memcpy(neueSlots, objekte, kapazitaet * sizeof(Quelm_BasisObjekt*));
  }
  std::memset(neueBits + worte, 0, (neu - kapazitaet) / 8);
  std::fill(neueSlots + kapazitaet, neueSlots + neu, nullptr);
  belegt.reset(neueBits);
  objekte = neueSlots;
  const std::uint64_t id = kapazitaet;
  kapazitaet = neu;
  freiHinweis = std::min(freiHinweis, neu);
  return id;
}

void Quelm_ZeichenKontext::Registriere(Quelm_BasisObjekt* objekt) {
  PruefeThread();
  const std::uint64_t id = FindeFreieAllocID();
  objekte[id] = objekt;
  belegt[id / 64] |= std::uint64_t{1} << (id % 64);
  ++freiHinweis;
  objekt->AllocID = id;
}

void Quelm_ZeichenKontext::GibFrei(Quelm_BasisObjekt* objekt) {
  PruefeThread();
  if (!objekt) return;
  const std::uint64_t id = objekt->AllocID;
  if (id < kapazitaet && objekte[id] == objekt) {
    belegt[id / 64] &= ~(std::uint64_t{1} << (id % 64));
    freiHinweis = std::min(freiHinweis, id);
  }
  VergissBindungen(objekt, true);
  delete objekt;
}

void Quelm_ZeichenKontext::VergissBindungen(Quelm_BasisObjekt* objekt, bool zerstoert) {
  if (!objekt) return;
  if (renderziel == objekt || (Echt(renderziel) && renderziel->Verwendet(objekt)))
    renderziel = Marke<Quelm_Renderziel>();
  if (tiefeZustand == objekt) tiefeZustand = Marke<Quelm_TiefeZustand>();
  if (alphaZustand == objekt) alphaZustand = Marke<Quelm_AlphaZustand>();
  if (zerstoert && programm == objekt) programm = nullptr;
  // An evicted buffer stays in the shadow (draws still size from it) but is sent again
  // at its next setting, which also re-creates its device buffer.
  for (std::uint32_t s = 0; s < 4; ++s) {
    if (stroeme[s].puffer != objekt) continue;
    veraltet_ |= 1u << s;
    if (zerstoert) stroeme[s].puffer = nullptr;
  }
  if (indexBuffer == objekt) {
    veraltet_ |= kIndexBit;
    if (zerstoert) indexBuffer = nullptr;
  }
}

// --- Factories -------------------------------------------------------------------------------

Quelm_VertexBuffer* Quelm_ZeichenKontext::ErzeugeVertexBuffer(std::uint64_t groesse, std::uint64_t flags,
                                                              Quelm_PufferDaten& daten) {
  return Neu(std::make_unique<Quelm_VertexBuffer>(groesse, flags, daten));
}

Quelm_VertexBuffer* Quelm_ZeichenKontext::ErzeugeVertexBuffer(std::uint64_t groesse, std::uint64_t flags,
                                                              Quelm_PufferDaten&& daten) {
  return ErzeugeVertexBuffer(groesse, flags, daten);
}

Quelm_IndexBuffer* Quelm_ZeichenKontext::ErzeugeIndexBuffer(std::uint64_t flags, Quelm_PufferDaten& daten) {
  return Neu(std::make_unique<Quelm_IndexBuffer>(flags, daten));
}

Quelm_IndexBuffer* Quelm_ZeichenKontext::ErzeugeIndexBuffer(std::uint64_t flags, Quelm_PufferDaten&& daten) {
  return ErzeugeIndexBuffer(flags, daten);
}

Quelm_VertexEingabe* Quelm_ZeichenKontext::ErzeugeVertexEingabe() { return Neu(std::make_unique<Quelm_VertexEingabe>()); }
Quelm_VertexShader* Quelm_ZeichenKontext::ErzeugeVertexShader() { return Neu(std::make_unique<Quelm_VertexShader>()); }
Quelm_PixelShader* Quelm_ZeichenKontext::ErzeugePixelShader() { return Neu(std::make_unique<Quelm_PixelShader>()); }

Quelm_Programm* Quelm_ZeichenKontext::ErzeugeProgramm(Quelm_VertexEingabe* eingabe, Quelm_VertexShader* vertexShader,
                                                      Quelm_PixelShader* pixelShader) {
  return Neu(std::make_unique<Quelm_Programm>(eingabe, vertexShader, pixelShader));
}

Quelm_Textur* Quelm_ZeichenKontext::ErzeugeTextur(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t mipStufen,
                                                  std::uint64_t formatUndFlags, Quelm_TexturVorgabe& vorgabe) {
  return Neu(std::make_unique<Quelm_Textur>(breite, hoehe, mipStufen, formatUndFlags, vorgabe));
}

Quelm_Textur* Quelm_ZeichenKontext::ErzeugeTextur(std::uint64_t breite, std::uint64_t hoehe, std::uint64_t mipStufen,
                                                  std::uint64_t formatUndFlags, Quelm_TexturVorgabe&& vorgabe) {
  return ErzeugeTextur(breite, hoehe, mipStufen, formatUndFlags, vorgabe);
}

Quelm_BasisObjekt* Quelm_ZeichenKontext::ErzeugeTexturAusBild(Quelm_Bild& bild) {
  if (bild.IstBasisSeite()) {
    Quelm_TexturVorgabe vorgaben[6];
    for (int s = 0; s < 6; ++s)
      if (bild.seiten[s]) vorgaben[s] = Quelm_TexturVorgabe::AusBild(*bild.seiten[s]);
    return Neu(std::make_unique<Quelm_WuerfelTextur>(bild.breite, 0, static_cast<std::uint64_t>(bild.format), vorgaben));
  }
  Quelm_TexturVorgabe vorgabe = Quelm_TexturVorgabe::AusBild(bild);
  return ErzeugeTextur(bild.breite, bild.hoehe, 0, static_cast<std::uint64_t>(bild.format), vorgabe);
}

Quelm_ZBuffer* Quelm_ZeichenKontext::ErzeugeZBuffer(std::uint64_t breite, std::uint64_t hoehe) {
  return Neu(std::make_unique<Quelm_ZBuffer>(breite, hoehe));
}

Quelm_Renderziel* Quelm_ZeichenKontext::ErzeugeRenderziel(const Quelm_RenderzielBeschr& beschr) {
  return Neu(std::make_unique<Quelm_Renderziel>(beschr));
}

Quelm_Sampler* Quelm_ZeichenKontext::ErzeugeSampler(const Quelm_SamplerBeschr& beschr) {
  return Neu(std::make_unique<Quelm_Sampler>(beschr));
}

Quelm_AlphaZustand* Quelm_ZeichenKontext::ErzeugeAlphaZustand(const Quelm_AlphaZustandBeschr& beschr) {
  return Neu(std::make_unique<Quelm_AlphaZustand>(beschr));
}

Quelm_TiefeZustand* Quelm_ZeichenKontext::ErzeugeTiefeZustand(const Quelm_TiefeZustandBeschr& beschr) {
  return Neu(std::make_unique<Quelm_TiefeZustand>(beschr));
}

// --- State setters ---------------------------------------------------------------------------

void Quelm_ZeichenKontext::SetzeZustandZurueck() {
  PruefeThread();
  renderziel = Marke<Quelm_Renderziel>();
  rueckseite = 3;
  tiefeZustand = Marke<Quelm_TiefeZustand>();
  alphaZustand = Marke<Quelm_AlphaZustand>();
  programm = nullptr;
  for (VertexStrom& s : stroeme) s = VertexStrom{};
  indexBuffer = nullptr;
  indexOffset = 0;
  veraltet_ = 0;
  zielBreite = Quelm_Screen3D::modus.width;
  zielHoehe = Quelm_Screen3D::modus.height;
  bereichX = bereichY = 0;
  bereichBreite = zielBreite;
  bereichHoehe = zielHoehe;
}

void Quelm_ZeichenKontext::SetRenderZiel(Quelm_Renderziel* ziel) {
  PruefeThread();
  if (ziel == renderziel) {
    SetRenderBereich(0, 0, kGanz, kGanz);
    return;
  }
  if (ziel) ziel->Benutzen();
  const bool bereichVomGeraet = impl.SetRenderZiel(ziel);
  renderziel = ziel;
  if (ziel && ziel->beschr.breite) {
    zielBreite = ziel->beschr.breite;
    zielHoehe = ziel->beschr.hoehe;
  } else {
    zielBreite = Quelm_Screen3D::modus.width;
    zielHoehe = Quelm_Screen3D::modus.height;
  }
  // The device resets its viewport only when colour slot 0 changes; a target that draws
  // into the same colour surface (only another depth buffer) keeps the old viewport.
  if (!bereichVomGeraet &&
      (bereichX != 0 || bereichY != 0 || bereichBreite != zielBreite || bereichHoehe != zielHoehe))
    impl.SetRenderBereich(0, 0, zielBreite, zielHoehe);
  bereichX = bereichY = 0;
  bereichBreite = zielBreite;
  bereichHoehe = zielHoehe;
  ++zaehler.renderziele;
}

void Quelm_ZeichenKontext::SetRenderBereich(std::uint64_t x, std::uint64_t y, std::uint64_t breite,
                                            std::uint64_t hoehe) {
  PruefeThread();
  x = std::min(x, zielBreite);
  y = std::min(y, zielHoehe);
  // Saturating, so that a width of -1 reaches the edge from any x.
  const std::uint64_t rechts = breite > zielBreite - x ? zielBreite : x + breite;
  const std::uint64_t unten = hoehe > zielHoehe - y ? zielHoehe : y + hoehe;
  breite = rechts - x;
  hoehe = unten - y;
  if (x == bereichX && y == bereichY && breite == bereichBreite && hoehe == bereichHoehe) return;
  impl.SetRenderBereich(x, y, breite, hoehe);
  ++zaehler.bereiche;
  bereichX = x;
  bereichY = y;
  bereichBreite = breite;
  bereichHoehe = hoehe;
}

void Quelm_ZeichenKontext::Leeren(std::uint32_t flags, float r, float g, float b, float a) {
  PruefeThread();
  impl.Leeren(flags, r, g, b, a);
}

void Quelm_ZeichenKontext::SetRueckseite(std::uint32_t modus) {
  PruefeThread();
  if (modus == rueckseite) return;
  rueckseite = modus;
  impl.SetRueckseite(modus);
  ++zaehler.rueckseiten;
}

void Quelm_ZeichenKontext::SetProgramm(Quelm_Programm* neu) {
  PruefeThread();
  if (neu == programm) return;
  if (neu) neu->Benutzen();
  programm = neu;
  if (neu) impl.SetProgramm(neu);
  ++zaehler.programme;
}

void Quelm_ZeichenKontext::SetProgrammKonstante(std::int32_t handle, const float (&werte)[4]) {
  PruefeThread();
  impl.SetProgrammKonstante(handle, werte);
  ++zaehler.konstanten;
}

void Quelm_ZeichenKontext::SetProgrammKonstante(std::int32_t handle, float x, float y, float z, float w) {
  const float werte[4] = {x, y, z, w};
  SetProgrammKonstante(handle, werte);
}

void Quelm_ZeichenKontext::SetProgrammKonstante(std::int32_t handle, const float (&matrix)[16]) {
  PruefeThread();
  float transponiert[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) transponiert[4 * r + c] = matrix[4 * c + r];
  impl.SetProgrammKonstante(handle, transponiert);
  ++zaehler.konstanten;
}

void Quelm_ZeichenKontext::SetTiefeZustand(Quelm_TiefeZustand* zustand) {
  PruefeThread();
  if (!zustand) zustand = standardTiefe;
  if (zustand == tiefeZustand || !zustand) return;
  zustand->Benutzen();
  impl.SetTiefeZustand(zustand);
  ++zaehler.tiefeZustaende;
  tiefeZustand = zustand;
}

void Quelm_ZeichenKontext::SetAlphaZustand(Quelm_AlphaZustand* zustand) {
  PruefeThread();
  if (!zustand) zustand = standardAlpha;
  if (zustand == alphaZustand || !zustand) return;
  zustand->Benutzen();
  impl.SetAlphaZustand(zustand);
  ++zaehler.alphaZustaende;
  alphaZustand = zustand;
}

void Quelm_ZeichenKontext::SetVertexBuffer(std::uint64_t strom, Quelm_VertexBuffer* puffer, std::uint64_t stride) {
  PruefeThread();
  if (strom >= 4) {
    MeldeAusnahme("Ungültiger Vertexkanal", "Quelm_ZeichenKontext::SetVertexBuffer", __FILE__, __LINE__);
    return;
  }
  if (stride == 0 && programm) stride = programm->strides[strom];
  VertexStrom& s = stroeme[strom];
  const std::uint32_t bit = 1u << strom;
  if (s.puffer == puffer && s.offset == 0 && s.stride == stride && !(veraltet_ & bit)) return;
  if (puffer) puffer->Benutzen();
  impl.SetVertexBuffer(strom, puffer, stride);
  s.puffer = puffer;
  s.offset = 0;
  s.stride = stride;
  veraltet_ &= ~bit;
  ++zaehler.vertexBuffer;
}

void Quelm_ZeichenKontext::SetIndexBuffer(Quelm_IndexBuffer* puffer) {
  PruefeThread();
  if (puffer == indexBuffer && !(veraltet_ & kIndexBit)) return;
  if (puffer) puffer->Benutzen();
  impl.SetIndexBuffer(puffer);
  indexBuffer = puffer;
  veraltet_ &= ~kIndexBit;
  ++zaehler.indexBuffer;
}

void Quelm_ZeichenKontext::SetTextur(std::uint32_t samplerHandle, Quelm_Sampler* sampler,
                                     Quelm_BasisObjekt* textur) {
  PruefeThread();
  if (sampler) sampler->Benutzen();
  if (textur) textur->Benutzen();
  impl.SetTextur(samplerHandle, sampler, textur);
  ++zaehler.texturen;
}

// --- Draws -----------------------------------------------------------------------------------

bool Quelm_ZeichenKontext::KannZeichnen(const char* funktion, bool indiziert) {
  PruefeThread();
  // Without these the draw would read a null program or divide by a zero stride.
  if (!programm) {
    MeldeAusnahme("Zeichnen ohne Programm", funktion, __FILE__, __LINE__);
    return false;
  }
  if (!stroeme[0].puffer) {
    MeldeAusnahme("Zeichnen ohne VertexBuffer auf Kanal 0", funktion, __FILE__, __LINE__);
    return false;
  }
  if (indiziert && programm->strides[0] == 0) {
    MeldeAusnahme("Zeichnen mit Vertexgröße 0", funktion, __FILE__, __LINE__);
    return false;
  }
  return true;
}

void Quelm_ZeichenKontext::ZeichneElemente(std::uint32_t typ, std::uint64_t anzahl) {
  if (!KannZeichnen("Quelm_ZeichenKontext::ZeichneElemente", false)) return;
  impl.ZeichneElemente(typ, anzahl);
  ++zaehler.zeichnungen;
}

void Quelm_ZeichenKontext::ZeichneIndexElemente(std::uint32_t typ, std::uint64_t anzahl) {
  if (!KannZeichnen("Quelm_ZeichenKontext::ZeichneIndexElemente", true)) return;
  impl.ZeichneIndexElemente(typ, anzahl);
  ++zaehler.zeichnungen;
}

void Quelm_ZeichenKontext::ZeichneIndexInstanzen(std::uint64_t instanzen) {
  if (!KannZeichnen("Quelm_ZeichenKontext::ZeichneIndexInstanzen", true)) return;
  impl.ZeichneIndexInstanzen(instanzen);
  ++zaehler.instanzZeichnungen;
}

// --- Statistics ------------------------------------------------------------------------------

void Quelm_ZeichenKontext::GibStatistik() {
  PruefeThread();
  struct PufferPosten {
    Posten alle, videoRAM, dynamisch, offline;
  };
  struct TexturPosten {
    Posten alle, videoRAM, dynamisch, renderziele, offline;
  };
  PufferPosten vb, ib;
  TexturPosten tex, cube;
  std::int64_t gesamt = 0, programme = 0, eingaben = 0, vertexShader = 0, pixelShader = 0, ziele = 0, sampler = 0,
               alpha = 0, tiefe = 0;

  auto zaehlePuffer = [](PufferPosten& p, const Quelm_BasisObjekt& o, std::uint64_t bytes) {
    p.alle.Zaehle(bytes);
    (o.IstResident() ? p.videoRAM : p.offline).Zaehle(bytes);
    if (o.flags & FLAG_DYNAMISCH) p.dynamisch.Zaehle(bytes);
  };
  auto zaehleTextur = [](TexturPosten& p, const Quelm_BasisObjekt& o, std::uint64_t bytes) {
    p.alle.Zaehle(bytes);
    (o.IstResident() ? p.videoRAM : p.offline).Zaehle(bytes);
    if (o.flags & FLAG_DYNAMISCH) p.dynamisch.Zaehle(bytes);
    if (o.flags & FLAG_RENDERZIEL) p.renderziele.Zaehle(bytes);
  };

  FuerJedesObjekt([&](Quelm_BasisObjekt* o) {
    ++gesamt;
    if (auto* v = dynamic_cast<Quelm_VertexBuffer*>(o)) {
      zaehlePuffer(vb, *v, v->groesse);
    } else if (auto* i = dynamic_cast<Quelm_IndexBuffer*>(o)) {
      zaehlePuffer(ib, *i, i->groesse);
    } else if (auto* t = dynamic_cast<Quelm_Textur*>(o)) {
      zaehleTextur(tex, *t, TexturBytes(t->format, t->breite, t->hoehe, t->mipStufen));
    } else if (auto* w = dynamic_cast<Quelm_WuerfelTextur*>(o)) {
      zaehleTextur(cube, *w, 6 * TexturBytes(w->format, w->kante, w->kante, w->mipStufen));
    } else if (dynamic_cast<Quelm_VertexEingabe*>(o)) {
      ++eingaben;
    } else if (dynamic_cast<Quelm_VertexShader*>(o)) {
      ++vertexShader;
    } else if (dynamic_cast<Quelm_PixelShader*>(o)) {
      ++pixelShader;
    } else if (dynamic_cast<Quelm_Sampler*>(o)) {
      ++sampler;
    } else if (dynamic_cast<Quelm_AlphaZustand*>(o)) {
      ++alpha;
    } else if (dynamic_cast<Quelm_TiefeZustand*>(o)) {
      ++tiefe;
    } else if (dynamic_cast<Quelm_Renderziel*>(o)) {
      ++ziele;
    } else if (dynamic_cast<Quelm_Programm*>(o)) {
      ++programme;
    }
  });

  auto kb = [](std::uint64_t bytes) { return static_cast<int>(bytes / 1024); };
  auto n = [](std::int64_t anzahl) { return static_cast<int>(anzahl); };
  const std::uint64_t gesamtBytes = vb.alle.bytes + ib.alle.bytes + tex.alle.bytes + cube.alle.bytes;

  Protokolliere("Insgesamt %d Resourcen mit einer Gesamtgröße von schätzungsweise %d kb.", n(gesamt),
                kb(gesamtBytes));
  Protokolliere("%d Shader-Programme von", n(programme));
  Protokolliere("%d VertexEingaben, %d VertexShader, %d PixelShader", n(eingaben), n(vertexShader), n(pixelShader));
  Protokolliere("%d Renderziele, %d Sampler-Konfigs, %d Alpha-Konfigs, %d Alpha-Zustände", n(ziele), n(sampler),
                n(alpha), n(tiefe));
  for (auto [name, p] : {std::pair{"VertexBuffer", &vb}, std::pair{"IndexBuffer", &ib}}) {
    Protokolliere("%s", "");
    Protokolliere("%d %s (%d kb)", n(p->alle.anzahl), name, kb(p->alle.bytes));
    ProtokolliereDavon("im VideoRAM", p->videoRAM);
    ProtokolliereDavon("dynamisch", p->dynamisch);
    ProtokolliereDavon("offline", p->offline);
  }
  for (auto [name, p] : {std::pair{"Texturen", &tex}, std::pair{"CubeMaps", &cube}}) {
    Protokolliere("%s", "");
    Protokolliere("%d %s (%d kb)", n(p->alle.anzahl), name, kb(p->alle.bytes));
    ProtokolliereDavon("im VideoRAM", p->videoRAM);
    ProtokolliereDavon("dynamisch", p->dynamisch);
    ProtokolliereDavon("Renderziele", p->renderziele);
    ProtokolliereDavon("offline", p->offline);
  }
}
