#pragma once
// Depth buffers and render targets: a set of colour textures with an optional depth
// buffer to draw into.
#include "Quelm_BasisObjekt.h"
#include "Quelm_ComZeiger.h"

#include <cstdint>

class Quelm_ZBuffer : public Quelm_BasisObjekt {
 public:
  std::uint64_t breite = 0, hoehe = 0;
  Quelm_GeraeteZeiger<IDirect3DSurface9> flaeche;

  // Always FLAG_FLUECHTIG; the surface is created at once.
  Quelm_ZBuffer(std::uint64_t breite, std::uint64_t hoehe);

  void Benutzen() override;
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override;
  void Wiederherstellen() override { Benutzen(); }
  void Auslagern() override { Freigeben(); }
};

struct Quelm_RenderzielBeschr {
  static constexpr int kMaxFarbBuffer = 8;

  std::uint64_t farbBufferAnzahl = 0;
  Quelm_BasisObjekt* farbBuffer[kMaxFarbBuffer] = {};  // each a Quelm_Textur or Quelm_WuerfelTextur
  std::uint32_t wuerfelSeiten[kMaxFarbBuffer] = {};    // engine face of a cube colour buffer
  Quelm_ZBuffer* zBuffer = nullptr;
  std::uint64_t breite = 0, hoehe = 0;

  Quelm_RenderzielBeschr() = default;
  // One colour texture (or none) and an optional depth buffer; size = the texture's.
  Quelm_RenderzielBeschr(Quelm_BasisObjekt* farbTextur, Quelm_ZBuffer* zBuffer);
};

class Quelm_Renderziel : public Quelm_BasisObjekt {
 public:
  Quelm_RenderzielBeschr beschr;
  Quelm_GeraeteZeiger<IDirect3DSurface9> farbFlaechen[Quelm_RenderzielBeschr::kMaxFarbBuffer];
  IDirect3DSurface9* tiefenFlaeche = nullptr;  // borrowed from the depth buffer

  explicit Quelm_Renderziel(const Quelm_RenderzielBeschr& beschr);
  ~Quelm_Renderziel() override;

  // Fetches and releases the device surfaces.
  void ErzeugeDaten();
  void GibDatenFrei();

  // True when `objekt` is one of the target's colour buffers or its depth buffer.
  bool Verwendet(const Quelm_BasisObjekt* objekt) const;

  // No stamp: only fetches the surfaces when they were released, or when a colour or
  // depth buffer has got a new device object since they were fetched.
  void Benutzen() override;
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override { GibDatenFrei(); }
  void Wiederherstellen() override { ErzeugeDaten(); }
  void Auslagern() override { GibDatenFrei(); }

 private:
  bool Veraltet() const;
  // The device texture each colour surface was taken from.
  IDirect3DBaseTexture9* quellen_[Quelm_RenderzielBeschr::kMaxFarbBuffer] = {};
};
