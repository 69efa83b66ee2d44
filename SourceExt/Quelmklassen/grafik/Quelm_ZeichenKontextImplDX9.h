#pragma once
// The Direct3D 9 implementation inside the render context. It creates the device on the
// screen's window, keeps a second shadow of every device state it sets so that the device
// is called only on change, buffers shader constants and uploads the changed registers
// once before each draw, switches streams between plain and instanced drawing, opens the
// scene on the first draw of a frame, resets the device and reads the back buffer.
#include "Quelm_ComZeiger.h"
#include "d3d9/d3d9.h"

#include <cstdint>
#include <optional>
#include <string>

class Quelm_ZeichenKontext;
class Quelm_Renderziel;
class Quelm_Programm;
class Quelm_TiefeZustand;
class Quelm_AlphaZustand;
class Quelm_VertexBuffer;
class Quelm_IndexBuffer;
class Quelm_Sampler;
class Quelm_BasisObjekt;
class TBereich;

// Primitive types of the engine.
enum Quelm_PrimitivTyp : std::uint32_t {
  PRIMITIV_PUNKTE = 0,
  PRIMITIV_LINIEN = 1,
  PRIMITIV_LINIENZUG = 2,
  PRIMITIV_DREIECKE = 3,
  PRIMITIV_DREIECKSSTREIFEN = 4,
  PRIMITIV_DREIECKSFAECHER = 5
};

class Quelm_ZeichenKontextImplDX9 {
 public:
  static constexpr std::uint32_t kVertexRegister = 256;
  static constexpr std::uint32_t kPixelRegister = 224;
  static constexpr std::uint32_t kLeerVon = 480;  // an empty dirty range is [480, 0)
  static constexpr int kPixelSampler = 16;
  static constexpr int kVertexSampler = 4;
  // How often a reset is tried while the device still reports itself lost, 100 ms apart.
  static constexpr int kResetVersuche = 10;
  // A shadow value that no real setting has.
  static constexpr std::uint64_t kUnbekannt = ~std::uint64_t{0};

  // The twelve shadowed render states.
  enum RenderZustand {
    RZ_ZTEST,
    RZ_ZSCHREIBEN,
    RZ_ZFUNKTION,
    RZ_BLENDAN,
    RZ_BLENDOP,
    RZ_QUELLE,
    RZ_ZIEL,
    RZ_SEPARATESALPHA,
    RZ_ALPHAOP,
    RZ_ALPHAQUELLE,
    RZ_ALPHAZIEL,
    RZ_SCHREIBMASKE,
    RZ_ANZAHL
  };

  struct SamplerEintrag {
    IDirect3DBaseTexture9* textur = nullptr;
    std::uint64_t adresse = kUnbekannt;  // raw address word of the last sampler set
    std::uint64_t filter = kUnbekannt;   // raw filter word
    std::uint64_t rahmenfarbe = kUnbekannt;
    std::uint64_t maxMipStufe = kUnbekannt;
    std::uint64_t maxAnisotropie = kUnbekannt;
  };

  Quelm_ZeichenKontext* kontext;
  Quelm_ComZeiger<IDirect3D9> d3d;
  Quelm_ComZeiger<IDirect3DDevice9> geraet;
  // Set by the frame loop when Present reports the device lost; a failed reset sets it too.
  bool geraetVerloren = false;
  D3DPRESENT_PARAMETERS darstellung{};
  // The last failed reset, logged once: the frame loop tries again every frame, and a try
  // with the same presentation that fails the same way is not logged again.
  struct GescheiterterReset {
    D3DPRESENT_PARAMETERS darstellung;
    HRESULT ergebnis;
    unsigned versuche;
  };
  std::optional<GescheiterterReset> gescheiterterReset;
  std::string vertexProfil, pixelProfil;
  Quelm_ComZeiger<IDirect3DSurface9> rueckpuffer;
  Quelm_ComZeiger<IDirect3DSurface9> tiefenflaeche;  // the device's own depth surface

  // Shadows of what is bound on the device (borrowed references).
  IDirect3DSurface9* gebundeneTiefe = nullptr;
  IDirect3DSurface9* gebundeneFarbe[4] = {};
  IDirect3DVertexDeclaration9* gebundeneDeklaration = nullptr;
  IDirect3DVertexShader9* gebundenerVertexShader = nullptr;
  IDirect3DPixelShader9* gebundenerPixelShader = nullptr;

  float vertexKonstanten[kVertexRegister][4] = {};
  float pixelKonstanten[kPixelRegister][4] = {};
  std::uint32_t vertexSchmutzVon = kLeerVon, vertexSchmutzBis = 0;
  std::uint32_t pixelSchmutzVon = kLeerVon, pixelSchmutzBis = 0;

  std::uint64_t renderZustaende[RZ_ANZAHL];
  SamplerEintrag sampler[kPixelSampler + kVertexSampler];  // pixel 0-15, then vertex 0-3
  std::uint32_t stromFrequenz[4] = {};
  // Set by the first draw of a frame; the frame loop calls EndScene before Present and clears it.
  bool szeneOffen = false;

  // Creates the Direct3D object and the device from the screen's mode, mode flags and window.
  explicit Quelm_ZeichenKontextImplDX9(Quelm_ZeichenKontext* kontext);
  ~Quelm_ZeichenKontextImplDX9();
  Quelm_ZeichenKontextImplDX9(const Quelm_ZeichenKontextImplDX9&) = delete;
  Quelm_ZeichenKontextImplDX9& operator=(const Quelm_ZeichenKontextImplDX9&) = delete;

  void SetzeZustandZurueck();

  // Binds a target's surfaces (null: the back buffer). True when slot 0 was set on the
  // device, which resets the device's viewport to the whole target.
  bool SetRenderZiel(Quelm_Renderziel* ziel);
  void SetRenderBereich(std::uint64_t x, std::uint64_t y, std::uint64_t breite, std::uint64_t hoehe);
  // Bit 0 clears the colour buffer, bit 1 the depth buffer; components are clamped to 0..1.
  void Leeren(std::uint32_t flags, float r, float g, float b, float a);
  void SetRueckseite(std::uint32_t modus);
  void SetProgramm(Quelm_Programm* programm);
  void SetProgrammKonstante(std::int32_t handle, const float (&werte)[4]);
  // `transponiert`: the matrix already transposed, one register per row.
  void SetProgrammKonstante(std::int32_t handle, const float (&transponiert)[16]);
  void SetTiefeZustand(Quelm_TiefeZustand* zustand);
  void SetAlphaZustand(Quelm_AlphaZustand* zustand);
  void SetVertexBuffer(std::uint64_t strom, Quelm_VertexBuffer* puffer, std::uint64_t stride);
  void SetIndexBuffer(Quelm_IndexBuffer* puffer);
  void SetTextur(std::uint32_t handle, Quelm_Sampler* sampler, Quelm_BasisObjekt* textur);

  // The render context checks program and streams before it calls these.
  void ZeichneElemente(std::uint32_t typ, std::uint64_t anzahl);
  void ZeichneIndexElemente(std::uint32_t typ, std::uint64_t anzahl);
  void ZeichneIndexInstanzen(std::uint64_t instanzen);

  // Releases the video-memory resources, resets the device and restores them. False when
  // the device could not be reset; the device-lost flag then stays set, so that the frame
  // loop tries again (logged once while it fails the same way, see gescheiterterReset).
  bool Zuruecksetzen();

  // Copies the back buffer into `ziel` (converting the format); false when nothing was copied.
  bool LiesBildschirmInhalt(const TBereich& ziel);

  // Forgets a device object in every shadow, so that the next setting is sent again.
  void VergissGeraeteObjekt(const void* objekt);

  static D3DPRIMITIVETYPE GetPrimitiveType(std::uint32_t typ);

 private:
  void ErzeugeGeraet();
  void FuelleDarstellung(bool beiErzeugung);
  void HoleFlaechen();
  void SetzeRenderZustand(RenderZustand index, D3DRENDERSTATETYPE zustand, std::uint64_t wert, const char* fehler,
                          const char* funktion);
  void SetzeSamplerZustand(DWORD stufe, D3DSAMPLERSTATETYPE typ, DWORD wert);
  void BindeSampler(int eintrag, DWORD stufe, Quelm_Sampler* sampler, IDirect3DBaseTexture9* textur);
  void InternVorZeichenAufruf(std::uint64_t instanzen);
  void StartZeichnen();
  UINT VertexAnzahl() const;
};
