#pragma once
// The base of every GPU resource: allocation id, last use, state and flags, and the six
// operations through which the render context uses, releases, restores and evicts any
// resource without knowing its class.
#include "Quelm_Zeitbasis.h"
#include "d3d9/d3d9.h"

#include <cstdint>

class Quelm_ZeichenKontext;

// Resource flags. A texture keeps its pixel format in the low byte below them.
constexpr std::uint64_t FLAG_DYNAMISCH = 0x100;        // contents may be rewritten
constexpr std::uint64_t FLAG_FLUECHTIG = 0x200;        // no main-memory copy
constexpr std::uint64_t FLAG_RENDERZIEL = 0x800;       // texture usable as render target
constexpr std::uint64_t FLAG_MANUELLE_MIPMAPS = 0x1000;  // every mip level supplied by the caller

class Quelm_BasisObjekt {
 public:
  enum Zustand : std::uint32_t { ZUSTAND_NEU = 0, ZUSTAND_RESIDENT = 1, ZUSTAND_FREIGEGEBEN = 2 };

  std::uint64_t seriennummer;
  std::uint64_t AllocID = 0;
  TZeit letzteNutzung;
  std::uint32_t zustand = ZUSTAND_NEU;
  std::uint64_t flags;

  explicit Quelm_BasisObjekt(std::uint64_t flags = 0);
  virtual ~Quelm_BasisObjekt() = default;
  Quelm_BasisObjekt(const Quelm_BasisObjekt&) = delete;
  Quelm_BasisObjekt& operator=(const Quelm_BasisObjekt&) = delete;

  // Makes the resource usable now; the base stamps the last use with the engine clock.
  virtual void Benutzen();
  virtual bool BelegtVideoRAM() = 0;
  // Releases the device object (resident -> released).
  virtual void Freigeben() = 0;
  // Rebuilds what a device reset destroyed.
  virtual void Wiederherstellen() = 0;
  virtual void Auslagern() = 0;

  bool IstResident() const { return zustand == ZUSTAND_RESIDENT; }

  // Every resource belongs to the screen's render context and its device (null while
  // there is none).
  static Quelm_ZeichenKontext* Kontext();
  static IDirect3DDevice9* Geraet();
  // Makes the backend forget a device object in its binding shadows (before its release).
  static void VergissGeraeteObjekt(const void* objekt);
  // What the resources read of the context's device (0, D3DFMT_UNKNOWN and "" while there
  // is none): the texture size limits, the depth format and the shader profiles.
  static std::uint64_t MaxTexturBreite();
  static std::uint64_t MaxTexturHoehe();
  static D3DFORMAT Tiefenformat();
  static const char* ShaderProfil(bool pixel);

  // Serial numbers handed out so far (process-wide).
  static std::uint64_t Seriennummern() { return serienZaehler; }

 protected:
  void StempleNutzung();

  // Runs `erzeuge` (a device create call) and, while it reports out of video memory,
  // evicts old resources and tries again. Gives up with that result once a pass finds
  // nothing to evict, since another try could only fail the same way.
  template <class F>
  static HRESULT ErzeugeMitAuslagerung(F&& erzeuge, bool warnen) {
    for (;;) {
      const HRESULT hr = erzeuge();
      if (hr != D3DERR_OUTOFVIDEOMEMORY) return hr;
      if (warnen) WarneVideoRAMKnapp();
      if (SchaffePlatz() == 0) return hr;
    }
  }

  // Releases a device object and makes the backend forget it in its binding shadows, so
  // that a new object at the same address is bound again.
  template <class T>
  static void GibGeraeteObjektFrei(T*& objekt) {
    if (!objekt) return;
    VergissGeraeteObjekt(objekt);
    objekt->Release();
    objekt = nullptr;
  }

 private:
  static void WarneVideoRAMKnapp();
  static std::uint64_t SchaffePlatz();

  // Plain like the registry: resources are made on the render context's thread only
  // (Quelm_ZeichenKontext.h).
  static std::uint64_t serienZaehler;
};
