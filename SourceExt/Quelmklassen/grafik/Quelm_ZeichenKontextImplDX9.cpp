#include "Quelm_ZeichenKontextImplDX9.h"

#include "Basisdienste.h"
#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "TBereich.h"
#include "d3dx/d3dx9.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace {

constexpr const char* kKlasse = "Quelm_ZeichenKontextImplDX9::";

// A shadow value that equals no device object (compared only, never handed to the device).
char gUnbekannt;
template <class T>
T* Unbekannt() {
  return reinterpret_cast<T*>(&gUnbekannt);
}

void Melde(const char* text, const char* methode, int zeile) {
  MeldeAusnahme(text, std::string(kKlasse) + methode, __FILE__, zeile);
}

// What the reset asks of the device (the fields that FuelleDarstellung writes).
bool GleicheDarstellung(const D3DPRESENT_PARAMETERS& a, const D3DPRESENT_PARAMETERS& b) {
  return a.BackBufferWidth == b.BackBufferWidth && a.BackBufferHeight == b.BackBufferHeight &&
         a.BackBufferFormat == b.BackBufferFormat && a.Windowed == b.Windowed &&
         a.FullScreen_RefreshRateInHz == b.FullScreen_RefreshRateInHz &&
         a.PresentationInterval == b.PresentationInterval;
}

IDirect3DBaseTexture9* GeraeteTextur(Quelm_BasisObjekt* objekt) {
  if (auto* t = dynamic_cast<Quelm_Textur*>(objekt)) return t->geraeteTextur.get();
  if (auto* w = dynamic_cast<Quelm_WuerfelTextur*>(objekt)) return w->geraeteTextur.get();
  return nullptr;
}

}  // namespace

Quelm_ZeichenKontextImplDX9::Quelm_ZeichenKontextImplDX9(Quelm_ZeichenKontext* kontext) : kontext(kontext) {
  szeneOffen = false;
  SetzeZustandZurueck();
  ErzeugeGeraet();
}

// The members release the surfaces, then the device, then the Direct3D object.
Quelm_ZeichenKontextImplDX9::~Quelm_ZeichenKontextImplDX9() = default;

void Quelm_ZeichenKontextImplDX9::FuelleDarstellung(bool beiErzeugung) {
  const Quelm_Anzeigemodus& modus = Quelm_Screen3D::modus;
  const std::uint64_t flags = Quelm_Screen3D::modusFlags;
  const bool vollbild = flags & Quelm_Screen3D::Vollbild;
  if (beiErzeugung) {
    darstellung = D3DPRESENT_PARAMETERS{};
    darstellung.SwapEffect = D3DSWAPEFFECT_DISCARD;
    darstellung.EnableAutoDepthStencil = TRUE;
    darstellung.AutoDepthStencilFormat = D3DFMT_D16;
    darstellung.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  }
  darstellung.Windowed = vollbild ? FALSE : TRUE;
  darstellung.PresentationInterval =
      (flags & Quelm_Screen3D::VSync) ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
  darstellung.BackBufferFormat = modus.bits16 == 1 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
  // Windowed creation leaves the size 0: the device takes the window's client size.
  if (!beiErzeugung || vollbild) {
    darstellung.BackBufferWidth = static_cast<UINT>(modus.width);
    darstellung.BackBufferHeight = static_cast<UINT>(modus.height);
  }
  darstellung.FullScreen_RefreshRateInHz = vollbild ? static_cast<UINT>(modus.refresh) : 0;
}

void Quelm_ZeichenKontextImplDX9::ErzeugeGeraet() {
  d3d.reset(Direct3DCreate9(D3D_SDK_VERSION));
  if (!d3d) {
    Protokolliere("!Quelm_ZeichenKontextImplDX9::Quelm_ZeichenKontextImplDX9(): Couldn't create Direct3D 9 interface.");
    Melde("DirectX initialisation failed", "Quelm_ZeichenKontextImplDX9", __LINE__);
    return;
  }
  FuelleDarstellung(true);

  UINT adapter = D3DADAPTER_DEFAULT;
  D3DDEVTYPE typ = (Quelm_Screen3D::modusFlags & Quelm_Screen3D::Referenzgeraet) ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL;
  const UINT adapterAnzahl = d3d->GetAdapterCount();
  for (UINT i = 0; i < adapterAnzahl; ++i) {
    D3DADAPTER_IDENTIFIER9 kennung{};
    if (FAILED(d3d->GetAdapterIdentifier(i, 0, &kennung))) continue;
    kennung.Description[sizeof kennung.Description - 1] = '\0';
    if (std::strstr(kennung.Description, "PerfHUD")) {
      adapter = i;
      typ = D3DDEVTYPE_REF;
      Protokolliere("NVPerfHUD gefunden, benutze PerfHUD-Adapter %d", static_cast<int>(i));
      break;
    }
  }

  auto tiefeMoeglich = [&](D3DFORMAT f) {
    return SUCCEEDED(d3d->CheckDeviceFormat(adapter, typ, darstellung.BackBufferFormat, D3DUSAGE_DEPTHSTENCIL,
                                            D3DRTYPE_SURFACE, f));
  };
  if (tiefeMoeglich(D3DFMT_D32)) {
    darstellung.AutoDepthStencilFormat = D3DFMT_D32;
    Protokolliere("Quelm_Screen3D::Init(...): 32Bit-ZBuffer gewählt");
  } else if (tiefeMoeglich(D3DFMT_D24X8)) {
    darstellung.AutoDepthStencilFormat = D3DFMT_D24X8;
    Protokolliere("Quelm_Screen3D::Init(...): 24Bit-ZBuffer gewählt");
  } else {
    darstellung.AutoDepthStencilFormat = D3DFMT_D16;
    Protokolliere("Quelm_Screen3D::Init(...): 16Bit-ZBuffer gewählt");
  }

  // The window record stands for the screen's window, whether the screen created it or
  // was handed an external one.
  const DWORD verhalten = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE | D3DCREATE_FPU_PRESERVE;
  IDirect3DDevice9* neu = nullptr;
  if (FAILED(d3d->CreateDevice(adapter, typ, Quelm_Screen3D::nativesFenster, verhalten, &darstellung, &neu)) ||
      !neu) {
    Protokolliere("!Quelm_ZeichenKontextImplDX9::Quelm_ZeichenKontextImplDX9(): Failed to create Direct3D device.");
    Melde("DirectX device creation failed.", "Quelm_ZeichenKontextImplDX9", __LINE__);
    return;
  }
  geraet.reset(neu);

  HoleFlaechen();
  gebundeneFarbe[0] = rueckpuffer.get();
  gebundeneTiefe = tiefenflaeche.get();

  D3DCAPS9 caps{};
  if (FAILED(geraet->GetDeviceCaps(&caps))) return;
  kontext->maxTexturBreite = caps.MaxTextureWidth;
  kontext->maxTexturHoehe = caps.MaxTextureHeight;
  kontext->maxAnisotropie = (caps.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC) ? caps.MaxAnisotropy : 0;
  kontext->maxRenderziele = caps.NumSimultaneousRTs;
  const char* vs = D3DXGetVertexShaderProfile(geraet.get());
  const char* ps = D3DXGetPixelShaderProfile(geraet.get());
  vertexProfil = vs ? vs : "";
  pixelProfil = ps ? ps : "";
}

void Quelm_ZeichenKontextImplDX9::SetzeZustandZurueck() {
  gebundeneTiefe = nullptr;
  std::fill(std::begin(gebundeneFarbe), std::end(gebundeneFarbe), nullptr);
  gebundeneDeklaration = nullptr;
  gebundenerVertexShader = nullptr;
  gebundenerPixelShader = nullptr;
  std::memset(vertexKonstanten, 0, sizeof vertexKonstanten);
  std::memset(pixelKonstanten, 0, sizeof pixelKonstanten);
  vertexSchmutzVon = pixelSchmutzVon = kLeerVon;
  vertexSchmutzBis = pixelSchmutzBis = 0;
  std::fill(std::begin(renderZustaende), std::end(renderZustaende), kUnbekannt);
  std::fill(std::begin(sampler), std::end(sampler), SamplerEintrag{});
  std::fill(std::begin(stromFrequenz), std::end(stromFrequenz), 0u);
  szeneOffen = false;
}

void Quelm_ZeichenKontextImplDX9::VergissGeraeteObjekt(const void* objekt) {
  if (!objekt) return;
  auto vergiss = [objekt](auto*& schatten) {
    using T = std::remove_reference_t<decltype(*schatten)>;
    if (static_cast<const void*>(schatten) == objekt) schatten = Unbekannt<T>();
  };
  vergiss(gebundeneTiefe);
  for (auto*& f : gebundeneFarbe) vergiss(f);
  vergiss(gebundeneDeklaration);
  vergiss(gebundenerVertexShader);
  vergiss(gebundenerPixelShader);
  for (SamplerEintrag& e : sampler) vergiss(e.textur);
}

// --- Targets and viewport --------------------------------------------------------------------

bool Quelm_ZeichenKontextImplDX9::SetRenderZiel(Quelm_Renderziel* ziel) {
  if (!geraet) return false;
  IDirect3DSurface9* soll[4] = {rueckpuffer.get(), nullptr, nullptr, nullptr};
  IDirect3DSurface9* tiefe = tiefenflaeche.get();
  if (ziel) {
    if (ziel->farbFlaechen[0]) soll[0] = ziel->farbFlaechen[0].get();
    tiefe = ziel->tiefenFlaeche;
  }
  bool slot0 = false;
  for (DWORD i = 0; i < 4; ++i) {
    if (soll[i] == gebundeneFarbe[i]) continue;
    if (FAILED(geraet->SetRenderTarget(i, soll[i]))) {
      if (ziel) {
        Melde("Failed to set render target.", "SetRenderZiel", __LINE__);
        return slot0;
      }
      continue;
    }
    gebundeneFarbe[i] = soll[i];
    if (i == 0) slot0 = true;
  }
  if (tiefe != gebundeneTiefe) {
    if (SUCCEEDED(geraet->SetDepthStencilSurface(tiefe)))
      gebundeneTiefe = tiefe;
    else if (ziel)
      Melde("Failed to set zbuffer.", "SetRenderZiel", __LINE__);
  }
  return slot0;
}

void Quelm_ZeichenKontextImplDX9::SetRenderBereich(std::uint64_t x, std::uint64_t y, std::uint64_t breite,
                                                   std::uint64_t hoehe) {
  if (!geraet) return;
  const D3DVIEWPORT9 bereich{static_cast<DWORD>(x), static_cast<DWORD>(y), static_cast<DWORD>(breite),
                             static_cast<DWORD>(hoehe), 0.0f, 1.0f};
  if (FAILED(geraet->SetViewport(&bereich))) Melde("Failed to set viewport.", "SetRenderBereich", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::Leeren(std::uint32_t flags, float r, float g, float b, float a) {
  if (!geraet) return;
  const DWORD was = ((flags & 1) ? D3DCLEAR_TARGET : 0) | ((flags & 2) ? D3DCLEAR_ZBUFFER : 0);
  if (!was) return;
  // Clamped per channel: a value outside 0..1 must not spill into its neighbour.
  const D3DCOLOR farbe = PackeFarbe({r, g, b, a});
  if (FAILED(geraet->Clear(0, nullptr, was, farbe, 1.0f, 0))) Melde("Failed to clear buffers", "Leeren", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::SetRueckseite(std::uint32_t modus) {
  if (!geraet) return;
  if (FAILED(geraet->SetRenderState(D3DRS_CULLMODE, modus + 1)))
    Melde("Rückseiten-Änderung gescheitert.", "SetRueckseite", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::SetProgramm(Quelm_Programm* programm) {
  if (!geraet || !programm) return;
  if (programm->deklaration != gebundeneDeklaration) {
    if (FAILED(geraet->SetVertexDeclaration(programm->deklaration))) {
      Melde("Failed to set vertex input declaration.", "SetProgramm", __LINE__);
      return;
    }
    gebundeneDeklaration = programm->deklaration;
  }
  if (programm->geraeteVertexShader != gebundenerVertexShader) {
    if (FAILED(geraet->SetVertexShader(programm->geraeteVertexShader))) {
      Melde("Failed to set vertex shader.", "SetProgramm", __LINE__);
      return;
    }
    gebundenerVertexShader = programm->geraeteVertexShader;
  }
  if (programm->geraetePixelShader != gebundenerPixelShader) {
    if (FAILED(geraet->SetPixelShader(programm->geraetePixelShader))) {
      Melde("Failed to set pixel shader.", "SetProgramm", __LINE__);
      return;
    }
    gebundenerPixelShader = programm->geraetePixelShader;
  }
}

// --- Shader constants ------------------------------------------------------------------------

void Quelm_ZeichenKontextImplDX9::SetProgrammKonstante(std::int32_t handle, const float (&werte)[4]) {
  const std::uint32_t vs = static_cast<std::uint32_t>(handle) & 0xFFF;
  const std::uint32_t ps = (static_cast<std::uint32_t>(handle) >> 12) & 0xFFF;
  if (vs != 0xFFF) {
    if (vs >= kVertexRegister) {
      Melde("Ungültiger Konstantenindex", "SetProgrammKonstante", __LINE__);
    } else {
      std::memcpy(vertexKonstanten[vs], werte, sizeof werte);
      vertexSchmutzVon = std::min(vertexSchmutzVon, vs);
      vertexSchmutzBis = std::max(vertexSchmutzBis, vs + 1);
    }
  }
  if (ps != 0xFFF) {
    if (ps >= kPixelRegister) {
      Melde("Ungültiger Konstantenindex", "SetProgrammKonstante", __LINE__);
    } else {
      std::memcpy(pixelKonstanten[ps], werte, sizeof werte);
      pixelSchmutzVon = std::min(pixelSchmutzVon, ps);
      pixelSchmutzBis = std::max(pixelSchmutzBis, ps + 1);
    }
  }
}

void Quelm_ZeichenKontextImplDX9::SetProgrammKonstante(std::int32_t handle, const float (&transponiert)[16]) {
  const std::uint32_t vs = static_cast<std::uint32_t>(handle) & 0xFFF;
  const std::uint32_t ps = (static_cast<std::uint32_t>(handle) >> 12) & 0xFFF;
  if (vs != 0xFFF) {
    if (vs > kVertexRegister - 4) {
      Melde("Ungültiger Konstantenindex", "SetProgrammKonstante", __LINE__);
    } else {
      std::memcpy(vertexKonstanten[vs], transponiert, sizeof transponiert);
      vertexSchmutzVon = std::min(vertexSchmutzVon, vs);
      vertexSchmutzBis = std::max(vertexSchmutzBis, vs + 4);
    }
  }
  if (ps != 0xFFF) {
    if (ps > kPixelRegister - 4) {
      Melde("Ungültiger Konstantenindex", "SetProgrammKonstante", __LINE__);
    } else {
      std::memcpy(pixelKonstanten[ps], transponiert, sizeof transponiert);
      pixelSchmutzVon = std::min(pixelSchmutzVon, ps);
      pixelSchmutzBis = std::max(pixelSchmutzBis, ps + 4);
    }
  }
}

// --- Render states ---------------------------------------------------------------------------

void Quelm_ZeichenKontextImplDX9::SetzeRenderZustand(RenderZustand index, D3DRENDERSTATETYPE zustand,
                                                     std::uint64_t wert, const char* fehler, const char* funktion) {
  if (renderZustaende[index] == wert) return;
  // The shadow takes the value also when the call fails: it is not retried until the value changes.
  renderZustaende[index] = wert;
  if (FAILED(geraet->SetRenderState(zustand, static_cast<DWORD>(wert)))) Melde(fehler, funktion, __LINE__);
}

void Quelm_ZeichenKontextImplDX9::SetTiefeZustand(Quelm_TiefeZustand* z) {
  if (!geraet || !z) return;
  SetzeRenderZustand(RZ_ZTEST, D3DRS_ZENABLE, z->zTest, "ZBuffer-Test-Einstellung gescheitert", "SetTiefeZustand");
  SetzeRenderZustand(RZ_ZSCHREIBEN, D3DRS_ZWRITEENABLE, z->zSchreiben, "ZBuffer-Schreiben-Einstellung gescheitert",
                     "SetTiefeZustand");
  SetzeRenderZustand(RZ_ZFUNKTION, D3DRS_ZFUNC, z->zFunktion, "ZBuffer-Testfunktion-Einstellung gescheitert",
                     "SetTiefeZustand");
}

void Quelm_ZeichenKontextImplDX9::SetAlphaZustand(Quelm_AlphaZustand* z) {
  if (!geraet || !z) return;
  const char* fehler = "AlphaBlend-Einstellung gescheitert";
  const char* f = "SetAlphaZustand";
  SetzeRenderZustand(RZ_BLENDAN, D3DRS_ALPHABLENDENABLE, z->blendAn, fehler, f);
  if (z->blendAn) {
    SetzeRenderZustand(RZ_BLENDOP, D3DRS_BLENDOP, z->operation, fehler, f);
    SetzeRenderZustand(RZ_QUELLE, D3DRS_SRCBLEND, z->quelle, fehler, f);
    SetzeRenderZustand(RZ_ZIEL, D3DRS_DESTBLEND, z->ziel, fehler, f);
    SetzeRenderZustand(RZ_SEPARATESALPHA, D3DRS_SEPARATEALPHABLENDENABLE, z->separatesAlpha, fehler, f);
    if (z->separatesAlpha) {
      SetzeRenderZustand(RZ_ALPHAOP, D3DRS_BLENDOPALPHA, z->alphaOperation, fehler, f);
      SetzeRenderZustand(RZ_ALPHAQUELLE, D3DRS_SRCBLENDALPHA, z->alphaQuelle, fehler, f);
      SetzeRenderZustand(RZ_ALPHAZIEL, D3DRS_DESTBLENDALPHA, z->alphaZiel, fehler, f);
    }
  }
  SetzeRenderZustand(RZ_SCHREIBMASKE, D3DRS_COLORWRITEENABLE, z->schreibMaske, fehler, f);
}

// --- Streams and textures --------------------------------------------------------------------

void Quelm_ZeichenKontextImplDX9::SetVertexBuffer(std::uint64_t strom, Quelm_VertexBuffer* puffer,
                                                  std::uint64_t stride) {
  if (!geraet) return;
  if (FAILED(geraet->SetStreamSource(static_cast<UINT>(strom), puffer ? puffer->geraetePuffer.get() : nullptr, 0,
                                     static_cast<UINT>(stride))))
    Melde("VertexBuffer-Zuweisung gescheitert", "SetVertexBuffer", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::SetIndexBuffer(Quelm_IndexBuffer* puffer) {
  if (!geraet) return;
  if (FAILED(geraet->SetIndices(puffer ? puffer->geraetePuffer.get() : nullptr)))
    Melde("IndexBuffer-Zuweisung gescheitert", "SetIndexBuffer", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::SetzeSamplerZustand(DWORD stufe, D3DSAMPLERSTATETYPE typ, DWORD wert) {
  if (FAILED(geraet->SetSamplerState(stufe, typ, wert))) Melde("Sampler-Zuweisung gescheitert", "SetTextur", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::BindeSampler(int eintrag, DWORD stufe, Quelm_Sampler* s,
                                               IDirect3DBaseTexture9* textur) {
  SamplerEintrag& e = sampler[eintrag];
  if (textur != e.textur) {
    e.textur = textur;
    if (FAILED(geraet->SetTexture(stufe, textur))) Melde("Texturzuweisung gescheitert", "SetTextur", __LINE__);
  }
  if (!s || !textur) return;
  if (s->beschr.adresse != e.adresse) {
    e.adresse = s->beschr.adresse;
    SetzeSamplerZustand(stufe, D3DSAMP_ADDRESSU, s->adresseU);
    SetzeSamplerZustand(stufe, D3DSAMP_ADDRESSV, s->adresseV);
  }
  if (s->beschr.filter != e.filter) {
    e.filter = s->beschr.filter;
    SetzeSamplerZustand(stufe, D3DSAMP_MINFILTER, s->minFilter);
    SetzeSamplerZustand(stufe, D3DSAMP_MAGFILTER, s->magFilter);
    SetzeSamplerZustand(stufe, D3DSAMP_MIPFILTER, s->mipFilter);
  }
  if (s->rahmen && s->rahmenfarbe != e.rahmenfarbe) {
    e.rahmenfarbe = s->rahmenfarbe;
    SetzeSamplerZustand(stufe, D3DSAMP_BORDERCOLOR, s->rahmenfarbe);
  }
  if (s->anisotrop && s->maxAnisotropie != e.maxAnisotropie) {
    e.maxAnisotropie = s->maxAnisotropie;
    SetzeSamplerZustand(stufe, D3DSAMP_MAXANISOTROPY, s->maxAnisotropie);
  }
  if (s->maxMipStufe != e.maxMipStufe) {
    e.maxMipStufe = s->maxMipStufe;
    SetzeSamplerZustand(stufe, D3DSAMP_MAXMIPLEVEL, s->maxMipStufe);
  }
}

void Quelm_ZeichenKontextImplDX9::SetTextur(std::uint32_t handle, Quelm_Sampler* s, Quelm_BasisObjekt* textur) {
  handle &= 0xFFFF;
  if (!geraet || handle == 0xFFFF) return;
  IDirect3DBaseTexture9* geraeteTextur = GeraeteTextur(textur);
  const std::uint32_t pixel = handle & 0xFF;
  const std::uint32_t vertex = handle >> 8;
  if (pixel != 0xFF) {
    if (pixel >= kPixelSampler)
      Melde("Ungültiger Sampler", "SetTextur", __LINE__);
    else
      BindeSampler(static_cast<int>(pixel), pixel, s, geraeteTextur);
  }
  if (vertex != 0xFF) {
    if (vertex >= kVertexSampler)
      Melde("Ungültiger Sampler", "SetTextur", __LINE__);
    else
      BindeSampler(kPixelSampler + static_cast<int>(vertex), D3DVERTEXTEXTURESAMPLER0 + vertex, s, geraeteTextur);
  }
}

// --- Draws -----------------------------------------------------------------------------------

D3DPRIMITIVETYPE Quelm_ZeichenKontextImplDX9::GetPrimitiveType(std::uint32_t typ) {
  static constexpr D3DPRIMITIVETYPE tabelle[] = {D3DPT_POINTLIST,    D3DPT_LINELIST,     D3DPT_LINESTRIP,
                                                 D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN};
  if (typ >= std::size(tabelle)) {
    Melde("Moep", "GetPrimitiveType", __LINE__);
    return D3DPT_TRIANGLELIST;
  }
  return tabelle[typ];
}

void Quelm_ZeichenKontextImplDX9::StartZeichnen() {
  if (!szeneOffen && FAILED(geraet->BeginScene())) Melde("Failed to lock screen.", "StartZeichnen", __LINE__);
  szeneOffen = true;
}

void Quelm_ZeichenKontextImplDX9::InternVorZeichenAufruf(std::uint64_t instanzen) {
  const Quelm_Programm* programm = kontext->programm;
  if (instanzen == 0) {
    // Back to plain drawing. Streams beyond this program's count too, when an earlier
    // instanced draw left them on instance data (0 after a reset is the device's default 1).
    const std::uint64_t stroeme = programm ? programm->stromAnzahl : 0;
    for (UINT s = 0; s < 4; ++s) {
      const bool senden = s < stroeme ? stromFrequenz[s] != 1 : stromFrequenz[s] > 1;
      if (senden) geraet->SetStreamSourceFreq(s, 1);
      stromFrequenz[s] = 1;
    }
  } else if (programm) {
    const std::uint64_t stroeme = std::min<std::uint64_t>(programm->stromAnzahl, 4);
    for (UINT s = 0; s < stroeme; ++s) {
      const std::uint32_t soll = ((programm->instanzStroeme >> s) & 1)
                                     ? (D3DSTREAMSOURCE_INSTANCEDATA | 1u)
                                     : (D3DSTREAMSOURCE_INDEXEDDATA | static_cast<std::uint32_t>(instanzen));
      if (stromFrequenz[s] == soll) continue;
      geraet->SetStreamSourceFreq(s, soll);
      stromFrequenz[s] = soll;
    }
  }

  if (vertexSchmutzVon < vertexSchmutzBis) {
    if (FAILED(geraet->SetVertexShaderConstantF(vertexSchmutzVon, vertexKonstanten[vertexSchmutzVon],
                                                vertexSchmutzBis - vertexSchmutzVon)))
      Melde("Vertexkonstanten-Schreiben gescheitert", "InternVorZeichenAufruf", __LINE__);
    vertexSchmutzVon = kLeerVon;
    vertexSchmutzBis = 0;
  }
  if (pixelSchmutzVon < pixelSchmutzBis) {
    if (FAILED(geraet->SetPixelShaderConstantF(pixelSchmutzVon, pixelKonstanten[pixelSchmutzVon],
                                               pixelSchmutzBis - pixelSchmutzVon)))
      Melde("Pixelkonstanten-Schreiben gescheitert", "InternVorZeichenAufruf", __LINE__);
    pixelSchmutzVon = kLeerVon;
    pixelSchmutzBis = 0;
  }
  StartZeichnen();
}

UINT Quelm_ZeichenKontextImplDX9::VertexAnzahl() const {
  const Quelm_VertexBuffer* puffer = kontext->stroeme[0].puffer;
  const Quelm_Programm* programm = kontext->programm;
  if (!puffer || !programm || programm->strides[0] == 0) return 0;
  return static_cast<UINT>(puffer->groesse / programm->strides[0]);
}

void Quelm_ZeichenKontextImplDX9::ZeichneElemente(std::uint32_t typ, std::uint64_t anzahl) {
  if (!geraet) return;
  InternVorZeichenAufruf(0);
  if (FAILED(geraet->DrawPrimitive(GetPrimitiveType(typ), 0, static_cast<UINT>(anzahl))))
    Melde("Zeichnen gescheitert", "ZeichneElemente", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::ZeichneIndexElemente(std::uint32_t typ, std::uint64_t anzahl) {
  if (!geraet) return;
  InternVorZeichenAufruf(0);
  if (FAILED(geraet->DrawIndexedPrimitive(GetPrimitiveType(typ), 0, 0, VertexAnzahl(), 0, static_cast<UINT>(anzahl))))
    Melde("Zeichnen gescheitert", "ZeichneIndexElemente", __LINE__);
}

void Quelm_ZeichenKontextImplDX9::ZeichneIndexInstanzen(std::uint64_t instanzen) {
  if (!geraet) return;
  InternVorZeichenAufruf(instanzen);
  if (FAILED(geraet->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, VertexAnzahl(), 0, 2)))
    Melde("Zeichnen gescheitert", "ZeichneIndexInstanzen", __LINE__);
}

// --- Reset and read-back ---------------------------------------------------------------------

bool Quelm_ZeichenKontextImplDX9::Zuruecksetzen() {
  kontext->PruefeThread();
  if (!geraet) return false;
  kontext->FuerJedesObjekt([](Quelm_BasisObjekt* o) {
    if (o->BelegtVideoRAM()) o->Freigeben();
  });
  if (szeneOffen) {
    geraet->EndScene();
    szeneOffen = false;
  }
  rueckpuffer.reset();
  tiefenflaeche.reset();
  FuelleDarstellung(false);
  const D3DPRESENT_PARAMETERS gewuenscht = darstellung;
  const bool wiederholung = gescheiterterReset && GleicheDarstellung(gescheiterterReset->darstellung, gewuenscht);
  if (!wiederholung) Protokolliere("ReInit Darstellung: Device zurücksetzen");

  // A device that stays lost is left to the frame loop, which polls the window events in
  // between and tries again once the device can be reset.
  HRESULT hr = D3DERR_DEVICELOST;
  for (int versuch = 0; versuch < kResetVersuche && hr == D3DERR_DEVICELOST; ++versuch) {
    Plattform::Schlafe(100);
    hr = geraet->Reset(&darstellung);
  }
  if (FAILED(hr)) {
    if (!wiederholung || hr != gescheiterterReset->ergebnis)
      Melde("D3D9-Reset gescheitert", "Zuruecksetzen", __LINE__);
    gescheiterterReset = GescheiterterReset{gewuenscht, hr, wiederholung ? gescheiterterReset->versuche + 1 : 1};
    geraetVerloren = true;
    return false;
  }
  if (wiederholung)
    Protokolliere("ReInit Darstellung: Device nach %u gescheiterten Versuchen zurückgesetzt.",
                  gescheiterterReset->versuche);
  gescheiterterReset.reset();
  geraetVerloren = false;

  HoleFlaechen();
  SetzeZustandZurueck();
  kontext->FuerJedesObjekt([](Quelm_BasisObjekt* o) {
    if (o->BelegtVideoRAM()) o->Wiederherstellen();
  });
  // The shadowed target now matches no real target, so this binds the back buffer.
  kontext->SetzeZustandZurueck();
  kontext->SetRenderZiel(nullptr);
  return true;
}

// A failed get leaves the reference empty.
void Quelm_ZeichenKontextImplDX9::HoleFlaechen() {
  IDirect3DSurface9* flaeche = nullptr;
  rueckpuffer.reset(SUCCEEDED(geraet->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &flaeche)) ? flaeche : nullptr);
  flaeche = nullptr;
  tiefenflaeche.reset(SUCCEEDED(geraet->GetDepthStencilSurface(&flaeche)) ? flaeche : nullptr);
}

bool Quelm_ZeichenKontextImplDX9::LiesBildschirmInhalt(const TBereich& ziel) {
  kontext->PruefeThread();
  if (!geraet) return false;
  IDirect3DSurface9* roh = nullptr;
  const HRESULT hr = geraet->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &roh);
  const Quelm_ComZeiger<IDirect3DSurface9> flaeche(SUCCEEDED(hr) ? roh : nullptr);
  if (!flaeche) {
    Melde("Failed to get backbuffer.", "LiesBildschirmInhalt", __LINE__);
    return false;
  }
  // The surface's own size and format: in a window the back buffer has the client size,
  // which need not be the mode's.
  D3DSURFACE_DESC beschr{};
  if (FAILED(flaeche->GetDesc(&beschr))) {
    beschr.Width = static_cast<UINT>(Quelm_Screen3D::modus.width);
    beschr.Height = static_cast<UINT>(Quelm_Screen3D::modus.height);
    beschr.Format = Quelm_Screen3D::modus.bits16 == 1 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
  }
  D3DLOCKED_RECT lr{};
  if (FAILED(flaeche->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
    Melde("Failed to lock backbuffer.", "LiesBildschirmInhalt", __LINE__);
    return false;
  }
  const TBereich quelle(static_cast<std::uint8_t*>(lr.pBits),
                        beschr.Format == D3DFMT_R5G6B5 ? PXFMT_R5G6B5 : PXFMT_A8R8G8B8, beschr.Width, beschr.Height,
                        static_cast<std::uint64_t>(lr.Pitch));
  TBereich::KonvertiereFormat(quelle, ziel);
  flaeche->UnlockRect();
  return true;
}
