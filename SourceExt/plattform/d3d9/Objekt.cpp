#include "Objekt.h"

#include "Geraet.h"

namespace Plattform::D3D9 {

ObjektBasis::ObjektBasis(Geraet& geraet, std::string name, Eigentum eigentum, ObjektBasis* behaelter)
    : geraet_(&geraet), name_(std::move(name)), eigentum_(eigentum), behaelter_(behaelter) {
  if (eigentum_ == Eigentum::Aufrufer) {
    geraet_->Halte();
  } else {
    extern_ = 0;
  }
  geraet_->Geboren(*this);
}

ObjektBasis::~ObjektBasis() { geraet_->Stirbt(*this); }

ULONG ObjektBasis::ExternAddRef() {
  if (behaelter_) return behaelter_->ExternAddRef();
  if (extern_++ == 0) geraet_->Halte();
  auto& s = geraet_->steuerung();
  if (s.protokollieren && s.zaehlerProtokollieren)
    s.Protokolliere({name_, "AddRef", "", S_OK, std::to_string(extern_)});
  return extern_;
}

ULONG ObjektBasis::ExternRelease() {
  if (behaelter_) return behaelter_->ExternRelease();
  Geraet& g = *geraet_;
  if (extern_ == 0) return 0;  // released once too often: ignored
  const ULONG rest = --extern_;
  auto& s = g.steuerung();
  if (s.protokollieren && s.zaehlerProtokollieren)
    s.Protokolliere({name_, "Release", "", S_OK, std::to_string(rest)});
  if (rest == 0) {
    PruefeTod();  // may delete this
    g.Lasse();
  }
  return rest;
}

void ObjektBasis::InternAddRef() {
  if (behaelter_) {
    behaelter_->InternAddRef();
    return;
  }
  ++intern_;
}

void ObjektBasis::InternRelease() {
  if (behaelter_) {
    behaelter_->InternRelease();
    return;
  }
  if (intern_ > 0 && --intern_ == 0) PruefeTod();
}

void ObjektBasis::PruefeTod() {
  if (eigentum_ == Eigentum::Aufrufer && extern_ == 0 && intern_ == 0) delete this;
}

HRESULT ObjektBasis::GibGeraet(IDirect3DDevice9** pp) {
  if (!pp) return D3DERR_INVALIDCALL;
  geraet_->AddRef();
  *pp = geraet_;
  return D3D_OK;
}

}  // namespace Plattform::D3D9
