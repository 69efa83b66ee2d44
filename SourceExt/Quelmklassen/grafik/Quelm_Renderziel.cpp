#include "Quelm_Renderziel.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_Textur.h"

Quelm_ZBuffer::Quelm_ZBuffer(std::uint64_t breite, std::uint64_t hoehe)
    : Quelm_BasisObjekt(FLAG_FLUECHTIG), breite(breite), hoehe(hoehe) {
  zustand = ZUSTAND_FREIGEGEBEN;
  Benutzen();
}

void Quelm_ZBuffer::Benutzen() {
  StempleNutzung();
  if (zustand != ZUSTAND_FREIGEGEBEN) return;
  IDirect3DDevice9* geraet = Geraet();
  IDirect3DSurface9* neu = nullptr;
  const HRESULT hr =
      geraet
          ? ErzeugeMitAuslagerung(
                [&] {
                  return geraet->CreateDepthStencilSurface(static_cast<UINT>(breite), static_cast<UINT>(hoehe),
                                                           Tiefenformat(), D3DMULTISAMPLE_NONE, 0, TRUE, &neu,
                                                           nullptr);
                },
                true)
          : D3DERR_INVALIDCALL;
  if (FAILED(hr) || !neu) {
    Protokolliere("!Quelm_ZBuffer::Benutzen( %d, %d): Failed to create zbuffer of these properties.",
                  static_cast<int>(breite), static_cast<int>(hoehe));
    MeldeAusnahme("Failed to create zbuffer.", "Quelm_ZBuffer::Benutzen", __FILE__, __LINE__);
    return;
  }
  flaeche.reset(neu);
  zustand = ZUSTAND_RESIDENT;
}

void Quelm_ZBuffer::Freigeben() {
  flaeche.reset();
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}

// ---------------------------------------------------------------------------------------------

Quelm_RenderzielBeschr::Quelm_RenderzielBeschr(Quelm_BasisObjekt* farbTextur, Quelm_ZBuffer* zBuffer)
    : zBuffer(zBuffer) {
  farbBufferAnzahl = 1;
  farbBuffer[0] = farbTextur;
  if (auto* t = dynamic_cast<Quelm_Textur*>(farbTextur)) {
    breite = t->breite;
    hoehe = t->hoehe;
  } else if (auto* w = dynamic_cast<Quelm_WuerfelTextur*>(farbTextur)) {
    breite = hoehe = w->kante;
  }
  if (zBuffer && farbTextur && (zBuffer->breite < breite || zBuffer->hoehe < hoehe))
    MeldeAusnahme("ZBuffer zu klein für Renderziel", "Quelm_RenderzielBeschr::Quelm_RenderzielBeschr", __FILE__,
                  __LINE__);
}

Quelm_Renderziel::Quelm_Renderziel(const Quelm_RenderzielBeschr& b) : beschr(b) {
  if (beschr.farbBufferAnzahl > Quelm_RenderzielBeschr::kMaxFarbBuffer)
    beschr.farbBufferAnzahl = Quelm_RenderzielBeschr::kMaxFarbBuffer;
  zustand = ZUSTAND_FREIGEGEBEN;
  ErzeugeDaten();
}

Quelm_Renderziel::~Quelm_Renderziel() { GibDatenFrei(); }

namespace {

IDirect3DBaseTexture9* GeraeteTextur(Quelm_BasisObjekt* o) {
  if (auto* t = dynamic_cast<Quelm_Textur*>(o)) return t->geraeteTextur.get();
  if (auto* w = dynamic_cast<Quelm_WuerfelTextur*>(o)) return w->geraeteTextur.get();
  return nullptr;
}

}  // namespace

void Quelm_Renderziel::ErzeugeDaten() {
  bool farbe = false;
  for (std::uint64_t i = 0; i < beschr.farbBufferAnzahl; ++i) farbe = farbe || beschr.farbBuffer[i];
  if (!farbe && !beschr.zBuffer) return;

  for (std::uint64_t i = 0; i < beschr.farbBufferAnzahl; ++i) {
    Quelm_BasisObjekt* puffer = beschr.farbBuffer[i];
    if (!puffer || farbFlaechen[i]) continue;
    if (auto* t = dynamic_cast<Quelm_Textur*>(puffer)) {
      t->Benutzen();
      IDirect3DSurface9* f = nullptr;
      if (t->geraeteTextur && SUCCEEDED(t->geraeteTextur->GetSurfaceLevel(0, &f))) farbFlaechen[i].reset(f);
      quellen_[i] = t->geraeteTextur.get();
    } else if (auto* w = dynamic_cast<Quelm_WuerfelTextur*>(puffer)) {
      w->Benutzen();
      IDirect3DSurface9* f = nullptr;
      if (w->geraeteTextur &&
          SUCCEEDED(w->geraeteTextur->GetCubeMapSurface(Quelm::GetD3DSeite(beschr.wuerfelSeiten[i]), 0, &f)))
        farbFlaechen[i].reset(f);
      quellen_[i] = w->geraeteTextur.get();
    } else {
      MeldeAusnahme("Renderziel-FarbBuffer ist keine Textur", "Quelm_Renderziel::ErzeugeDaten", __FILE__, __LINE__);
    }
  }
  if (beschr.zBuffer) {
    beschr.zBuffer->Benutzen();
    tiefenFlaeche = beschr.zBuffer->flaeche.get();
  }
  zustand = ZUSTAND_RESIDENT;
}

void Quelm_Renderziel::GibDatenFrei() {
  for (std::uint64_t i = 0; i < Quelm_RenderzielBeschr::kMaxFarbBuffer; ++i) {
    farbFlaechen[i].reset();
    quellen_[i] = nullptr;
  }
  if (tiefenFlaeche) VergissGeraeteObjekt(tiefenFlaeche);
  tiefenFlaeche = nullptr;
  if (zustand == ZUSTAND_RESIDENT) zustand = ZUSTAND_FREIGEGEBEN;
}

bool Quelm_Renderziel::Verwendet(const Quelm_BasisObjekt* objekt) const {
  if (!objekt) return false;
  if (objekt == beschr.zBuffer) return true;
  for (std::uint64_t i = 0; i < beschr.farbBufferAnzahl; ++i)
    if (beschr.farbBuffer[i] == objekt) return true;
  return false;
}

bool Quelm_Renderziel::Veraltet() const {
  for (std::uint64_t i = 0; i < beschr.farbBufferAnzahl; ++i)
    if (beschr.farbBuffer[i] && GeraeteTextur(beschr.farbBuffer[i]) != quellen_[i]) return true;
  return beschr.zBuffer && beschr.zBuffer->flaeche.get() != tiefenFlaeche;
}

void Quelm_Renderziel::Benutzen() {
  // Surfaces taken from a texture or depth buffer that was evicted since would draw into
  // the old device object, which nothing samples any more.
  if (zustand == ZUSTAND_RESIDENT && Veraltet()) GibDatenFrei();
  if (zustand == ZUSTAND_FREIGEGEBEN) ErzeugeDaten();
}
