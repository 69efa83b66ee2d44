#pragma once
// Reference counting of the device's objects as Direct3D 9 keeps it.
//
// Two counts: the external one (AddRef/Release, what the caller sees) and the internal
// one (bindings on the device). While the external count is above zero the object holds
// a reference on its device. The object dies when both counts are zero. Level surfaces
// of a texture have no counts of their own: they forward to their texture. Surfaces the
// device owns (back buffer, automatic depth surface) never die by their counts.
#include <memory>
#include <string>

#include "d3d9/d3d9.h"

namespace Plattform::D3D9 {

class Geraet;

// What a backend keeps for an object (GL names, stored contents).
struct Anteil {
  virtual ~Anteil() = default;
};

// Who keeps an object alive: the caller (counts, as created objects), the device (back
// buffer, automatic depth surface) or a container (level surfaces of a texture).
enum class Eigentum { Aufrufer, Geraet, Behaelter };

class ObjektBasis {
 public:
  ObjektBasis(Geraet& geraet, std::string name, Eigentum eigentum = Eigentum::Aufrufer,
              ObjektBasis* behaelter = nullptr);
  virtual ~ObjektBasis();
  ObjektBasis(const ObjektBasis&) = delete;
  ObjektBasis& operator=(const ObjektBasis&) = delete;

  ULONG ExternAddRef();
  ULONG ExternRelease();
  void InternAddRef();
  void InternRelease();

  Geraet& geraet() const { return *geraet_; }
  const std::string& name() const { return name_; }

  ULONG ExterneReferenzen() const { return behaelter_ ? behaelter_->extern_ : extern_; }
  Eigentum eigentum() const { return eigentum_; }

  std::unique_ptr<Anteil> anteil;

 protected:
  HRESULT GibGeraet(IDirect3DDevice9** pp);

 private:
  void PruefeTod();

  Geraet* geraet_;
  std::string name_;
  Eigentum eigentum_;
  ObjektBasis* behaelter_;
  ULONG extern_ = 1;
  ULONG intern_ = 0;
};

// An interface I implemented over a layer class B (which derives from ObjektBasis).
template <class I, class B>
class Schnittstelle : public I, public B {
 public:
  using B::B;
  ULONG AddRef() override { return this->ExternAddRef(); }
  ULONG Release() override { return this->ExternRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** pp) override { return this->GibGeraet(pp); }
};

}  // namespace Plattform::D3D9
