#pragma once
// The device state as Direct3D 9 defines it, and what a backend does with it. The
// device (Geraet) checks every call and keeps the state; a backend stores resources
// and draws: over OpenGL, or not at all (the recording backend).
#include <array>
#include <cstdint>

#include "Ressourcen.h"

namespace Plattform::D3D9 {

constexpr UINT kStufen = 20;  // sampler stages: 16 pixel, then 4 vertex samplers
constexpr UINT kErsteVertexStufe = 16;
constexpr UINT kStroeme = 16;
constexpr UINT kZiele = 4;
constexpr UINT kVsRegister = 256;
constexpr UINT kPsRegister = 224;

struct Strom {
  Puffer* puffer = nullptr;
  UINT offset = 0;
  UINT stride = 0;
  UINT frequenz = 1;
};

struct Zustand {
  std::array<DWORD, D3DRS_ANZAHL> rs{};
  std::array<std::array<DWORD, D3DSAMP_ANZAHL>, kStufen> sampler{};
  std::array<TexturBasis*, kStufen> textur{};
  std::array<Strom, kStroeme> strom{};
  IndexPuffer* indizes = nullptr;
  Deklaration* deklaration = nullptr;
  ShaderBasis* vs = nullptr;
  ShaderBasis* ps = nullptr;
  std::array<float, kVsRegister * 4> vsKonst{};
  std::array<float, kPsRegister * 4> psKonst{};
  std::uint64_t vsStand = 1;  // counts changes of the constant files
  std::uint64_t psStand = 1;
  std::array<Oberflaeche*, kZiele> ziel{};
  Oberflaeche* tiefe = nullptr;
  D3DVIEWPORT9 viewport{};
};

struct Zeichnung {
  D3DPRIMITIVETYPE typ;
  bool indiziert;
  INT basisVertex;  // indexed draws
  UINT start;       // first vertex, or first index
  UINT anzahl;      // vertices, or indices
  UINT instanzen;   // 0: no instancing; else stream 0's D3DSTREAMSOURCE_INDEXEDDATA count
};

// What a Direct3D 9 class adapter with shader model 3 reports; backends adjust the limits.
D3DCAPS9 Standardfaehigkeiten();

class GeraeteBackend {
 public:
  virtual ~GeraeteBackend() = default;

  // Size of the window's client area, for windowed devices with back buffer size 0.
  virtual void Fenstergroesse(UINT& breite, UINT& hoehe) = 0;
  // Presentation settings (at creation and after every reset).
  virtual void Darstellung(const D3DPRESENT_PARAMETERS& pp) = 0;
  virtual void Faehigkeiten(D3DCAPS9& caps) = 0;

  virtual HRESULT ErzeugePuffer(Puffer& p) = 0;
  virtual void* SperrePuffer(Puffer& p, UINT offset, UINT laenge, DWORD flags) = 0;
  virtual void EntsperrePuffer(Puffer& p) = 0;

  virtual HRESULT ErzeugeTextur(TexturBasis& t) = 0;
  // Back buffer and depth surfaces that belong to no texture.
  virtual HRESULT ErzeugeFlaeche(Oberflaeche& o) = 0;
  // Pixels of a video-memory surface, rows top first, `pitch` bytes apart (block rows
  // for DXT). The rectangle is valid for the surface.
  virtual void LiesFlaeche(Oberflaeche& o, const RECT& r, void* ziel, UINT pitch) = 0;
  virtual void SchreibeFlaeche(Oberflaeche& o, const RECT& r, const void* quelle, UINT pitch) = 0;

  virtual HRESULT ErzeugeShader(ShaderBasis& s) = 0;

  // Called before an object dies, so the backend drops what refers to it.
  virtual void Vergiss(ObjektBasis& o) = 0;

  virtual void Leere(const Zustand& z, DWORD anzahl, const D3DRECT* rechtecke, DWORD flags,
                     D3DCOLOR farbe, float tiefe, DWORD stencil) = 0;
  virtual void Zeichne(const Zustand& z, const Zeichnung& d) = 0;
  virtual void Praesentiere(Oberflaeche& rueckpuffer) = 0;
};

}  // namespace Plattform::D3D9
