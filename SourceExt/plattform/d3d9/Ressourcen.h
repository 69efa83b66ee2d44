#pragma once
// The device's resources: vertex and index buffers, surfaces, textures and cube
// textures, vertex declarations and shaders. They check their calls as Direct3D 9 does
// and leave storage and drawing to the backend.
#include <cstdint>
#include <memory>
#include <vector>

#include "Formate.h"
#include "Objekt.h"
#include "d3dx/ShaderBlob.h"

namespace Plattform::D3D9 {

class TexturBasis;

// Vertex or index buffer (always in the default pool).
class Puffer : public ObjektBasis {
 public:
  Puffer(Geraet& g, std::string name, UINT laenge, DWORD usage, D3DFORMAT format, DWORD fvf);
  ~Puffer() override;

  HRESULT Sperre(UINT offset, UINT groesse, void** daten, DWORD flags);
  HRESULT Entsperre();

  UINT laenge;
  DWORD usage;
  D3DFORMAT format;  // D3DFMT_INDEX16/32 for index buffers, D3DFMT_VERTEXDATA otherwise
  DWORD fvf;
  bool gesperrt = false;
};

class VertexPuffer final : public Schnittstelle<IDirect3DVertexBuffer9, Puffer> {
 public:
  using Schnittstelle::Schnittstelle;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;
};

class IndexPuffer final : public Schnittstelle<IDirect3DIndexBuffer9, Puffer> {
 public:
  using Schnittstelle::Schnittstelle;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;
  UINT IndexBytes() const { return format == D3DFMT_INDEX32 ? 4 : 2; }
};

class Oberflaeche final : public Schnittstelle<IDirect3DSurface9, ObjektBasis> {
 public:
  enum class Art {
    Ebene,          // a level (and face) of a texture
    Rueckpuffer,    // the device's back buffer
    Tiefe,          // a depth surface (the device's own or a created one)
    Systemspeicher  // an offscreen plain surface in system memory
  };
  Oberflaeche(Geraet& g, std::string name, Eigentum eigentum, Art art, const D3DSURFACE_DESC& desc,
              TexturBasis* textur = nullptr, UINT ebene = 0, UINT seite = 0);
  ~Oberflaeche() override;

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  // The calls without logging, for the texture's own LockRect.
  HRESULT Sperre(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
  HRESULT Entsperre();

  bool Gesperrt() const { return gesperrt_; }
  const FormatInfo& format() const { return *fmt_; }
  // A rectangle inside the surface, aligned to blocks where the format has them.
  bool RechteckGueltig(const RECT& r) const;

  Art art;
  D3DSURFACE_DESC desc;
  TexturBasis* textur;  // for Art::Ebene
  UINT ebene;
  UINT seite;
  bool sperrbar = false;  // the back buffer with D3DPRESENTFLAG_LOCKABLE_BACKBUFFER
  std::vector<std::uint8_t> speicher;  // pixels of a system-memory surface (filled by the create call)

 private:
  const FormatInfo* fmt_;
  bool gesperrt_ = false;
  RECT sperrRechteck_{};
  DWORD sperrFlags_ = 0;
  std::vector<std::uint8_t> zwischen_;  // the locked pixels of a video-memory surface
  UINT zwischenPitch_ = 0;
};

// The part shared by 2D and cube textures.
class TexturBasis : public ObjektBasis {
 public:
  TexturBasis(Geraet& g, std::string name, bool wuerfel, UINT breite, UINT hoehe, UINT ebenen,
              DWORD usage, D3DFORMAT format);
  ~TexturBasis() override;

  UINT EbenenBreite(UINT e) const { return breite >> e ? breite >> e : 1; }
  UINT EbenenHoehe(UINT e) const { return hoehe >> e ? hoehe >> e : 1; }
  Oberflaeche* Flaeche(UINT seite, UINT ebene) const { return flaechen[seite * ebenen + ebene].get(); }
  std::uint64_t Bytes() const { return Bytes(*fmt, breite, hoehe, ebenenIntern, wuerfel); }
  static std::uint64_t Bytes(const FormatInfo& f, UINT breite, UINT hoehe, UINT ebenen, bool wuerfel);
  bool MipsAutomatisch() const { return (usage & D3DUSAGE_AUTOGENMIPMAP) != 0; }
  void ErzeugeFlaechen();

  const bool wuerfel;
  const UINT breite, hoehe;
  const UINT ebenen;        // levels the caller sees (1 with D3DUSAGE_AUTOGENMIPMAP)
  const UINT ebenenIntern;  // levels of the storage
  const DWORD usage;
  const D3DFORMAT format;
  const FormatInfo* fmt;
  bool mipsVeraltet = false;  // level 0 changed since the sublevels were generated
  std::vector<std::unique_ptr<Oberflaeche>> flaechen;  // face * ebenen + level

 protected:
  HRESULT EbenenBeschreibung(UINT ebene, D3DSURFACE_DESC* pDesc) const;
  void MipsErzeugen();
};

class Textur final : public Schnittstelle<IDirect3DTexture9, TexturBasis> {
 public:
  Textur(Geraet& g, std::string name, UINT breite, UINT hoehe, UINT ebenen, DWORD usage,
         D3DFORMAT format)
      : Schnittstelle(g, std::move(name), false, breite, hoehe, ebenen, usage, format) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override;
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;
};

class Wuerfeltextur final : public Schnittstelle<IDirect3DCubeTexture9, TexturBasis> {
 public:
  Wuerfeltextur(Geraet& g, std::string name, UINT kante, UINT ebenen, DWORD usage, D3DFORMAT format)
      : Schnittstelle(g, std::move(name), true, kante, kante, ebenen, usage, format) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  DWORD GetLevelCount() override;
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                            IDirect3DSurface9** ppCubeMapSurface) override;
  HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                   const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;
};

class Deklaration final : public Schnittstelle<IDirect3DVertexDeclaration9, ObjektBasis> {
 public:
  Deklaration(Geraet& g, std::string name, std::vector<D3DVERTEXELEMENT9> elemente)
      : Schnittstelle(g, std::move(name)), elemente(std::move(elemente)) {}
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;
  const std::vector<D3DVERTEXELEMENT9> elemente;  // without the end marker
};

class ShaderBasis : public ObjektBasis {
 public:
  ShaderBasis(Geraet& g, std::string name, ShaderBlob blob, std::vector<std::uint8_t> code)
      : ObjektBasis(g, std::move(name)), blob(std::move(blob)), code(std::move(code)) {}
  const ShaderBlob blob;
  const std::vector<std::uint8_t> code;  // as handed to the create call

 protected:
  HRESULT GibCode(void* pData, UINT* pSizeOfData, const char* methode);
};

class VertexShader final : public Schnittstelle<IDirect3DVertexShader9, ShaderBasis> {
 public:
  using Schnittstelle::Schnittstelle;
  HRESULT GetFunction(void* pData, UINT* pSizeOfData) override {
    return GibCode(pData, pSizeOfData, "GetFunction");
  }
};

class PixelShader final : public Schnittstelle<IDirect3DPixelShader9, ShaderBasis> {
 public:
  using Schnittstelle::Schnittstelle;
  HRESULT GetFunction(void* pData, UINT* pSizeOfData) override {
    return GibCode(pData, pSizeOfData, "GetFunction");
  }
};

}  // namespace Plattform::D3D9
