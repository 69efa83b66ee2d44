#pragma once
// The Direct3D 9 device: checks every call as Direct3D 9 does, keeps the device state
// and the references of bound objects, logs calls and answers injected faults; a
// backend (OpenGL or recording) stores resources and draws.
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "Backend.h"
#include "d3d9/D3D9Steuerung.h"

namespace Plattform::D3D9 {

class Vorgang;

class Geraet final : public IDirect3DDevice9 {
 public:
  // Creates a device over `backend`; checks the presentation parameters, makes the back
  // buffer and the automatic depth surface. `pp` receives the sizes chosen.
  static HRESULT Erzeuge(IDirect3D9* d3d, std::shared_ptr<Steuerung> steuerung,
                         std::unique_ptr<GeraeteBackend> backend, DWORD verhalten,
                         D3DPRESENT_PARAMETERS& pp, Geraet** aus);

  Steuerung& steuerung() { return *steuerung_; }
  GeraeteBackend& backend() { return *backend_; }
  const D3DPRESENT_PARAMETERS& darstellung() const { return pp_; }

  // References the device's objects hold on it (not logged).
  void Halte() { ++zaehler_; }
  void Lasse();
  // Bookkeeping of the objects.
  void Geboren(ObjektBasis& o);
  void Stirbt(ObjektBasis& o);
  // Video memory of default-pool resources, checked against an injected budget.
  bool VideospeicherFrei(std::uint64_t bytes) const;
  void BelegeVideospeicher(ObjektBasis& o, std::uint64_t bytes);
  std::string NeuerName(const char* art);

  // IUnknown
  ULONG AddRef() override;
  ULONG Release() override;

  // IDirect3DDevice9
  HRESULT TestCooperativeLevel() override;
  HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const void* pDirtyRegion) override;
  HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                        IDirect3DSurface9** ppBackBuffer) override;

  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                        D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                            D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture,
                            HANDLE* pSharedHandle) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                    D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                    BOOL Discard, IDirect3DSurface9** ppSurface,
                                    HANDLE* pSharedHandle) override;
  HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                        IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) override;

  HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
  HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;

  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                DWORD Stencil) override;
  HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                        UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                               UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                               UINT primCount) override;

  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                  IDirect3DVertexDeclaration9** ppDecl) override;
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
  HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;

  HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
  HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                   UINT Vector4fCount) override;
  HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData,
                                   UINT Vector4fCount) override;

  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                          UINT Stride) override;
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                          UINT* pOffsetInBytes, UINT* pStride) override;
  HRESULT SetStreamSourceFreq(UINT StreamNumber, UINT Setting) override;
  HRESULT GetStreamSourceFreq(UINT StreamNumber, UINT* pSetting) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

  HRESULT CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
  HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override;
  HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override;
  HRESULT SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                  UINT Vector4fCount) override;
  HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData,
                                  UINT Vector4fCount) override;

 private:
  Geraet(IDirect3D9* d3d, std::shared_ptr<Steuerung> steuerung,
         std::unique_ptr<GeraeteBackend> backend);
  ~Geraet() override;

  static HRESULT PruefeDarstellung(D3DPRESENT_PARAMETERS& pp, GeraeteBackend& backend);
  HRESULT ErzeugeImpliziteFlaechen();
  void StandardZustand();
  void LoeseAlleBindungen();
  // ersterVertex, vertices: the vertex range the draw may read, for the bounds check.
  HRESULT Zeichnen(const Zeichnung& d, std::int64_t ersterVertex, UINT vertices);
  bool Verloren() const;
  // Takes an object of this device from an interface pointer; null for foreign ones.
  template <class T, class I>
  T* Eigenes(I* p) const;
  HRESULT ErzeugungGeskriptet();
  // CreateTexture and CreateCubeTexture after the call is logged: the checks and steps
  // both kinds share (a cube texture has hoehe = breite).
  template <class T, class I>
  HRESULT ErzeugeTexturObjekt(Vorgang& v, UINT breite, UINT hoehe, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, I** ergebnis, HANDLE* shared);
  // CreateVertexShader and CreatePixelShader: the same steps for either stage.
  template <class Shader, class I>
  HRESULT ErzeugeShaderObjekt(const char* methode, const DWORD* code, I** ergebnis);

  ULONG zaehler_ = 1;
  IDirect3D9* d3d_;
  std::shared_ptr<Steuerung> steuerung_;
  std::unique_ptr<GeraeteBackend> backend_;
  D3DPRESENT_PARAMETERS pp_{};
  std::unique_ptr<Oberflaeche> rueckpuffer_;
  std::unique_ptr<Oberflaeche> autoTiefe_;
  Zustand z_;
  bool szeneOffen_ = false;
  bool stirbt_ = false;
  std::unordered_set<ObjektBasis*> objekte_;
  std::unordered_map<ObjektBasis*, std::uint64_t> videoBelegung_;  // default-pool resources
};

template <class T, class I>
T* Geraet::Eigenes(I* p) const {
  T* t = dynamic_cast<T*>(p);
  return t && &t->geraet() == this ? t : nullptr;
}

}  // namespace Plattform::D3D9
