#include "d3d9/D3D9Steuerung.h"

#include "Backend.h"

namespace Plattform::D3D9 {

D3DCAPS9 Standardfaehigkeiten() {
  D3DCAPS9 caps{};
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.Caps2 = D3DCAPS2_CANAUTOGENMIPMAP;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  caps.PrimitiveMiscCaps =
      D3DPMISCCAPS_SEPARATEALPHABLEND | D3DPMISCCAPS_BLENDOP | D3DPMISCCAPS_COLORWRITEENABLE;
  caps.TextureCaps = D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_ALPHA;
  caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                           D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MIPFPOINT |
                           D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                           D3DPTFILTERCAPS_MAGFLINEAR;
  caps.CubeTextureFilterCaps = caps.TextureFilterCaps;
  caps.VertexTextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
  caps.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR |
                            D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
  caps.MaxTextureWidth = 8192;
  caps.MaxTextureHeight = 8192;
  caps.MaxTextureAspectRatio = 8192;
  caps.MaxAnisotropy = 16;
  caps.MaxPrimitiveCount = 0xFFFFFF;
  caps.MaxVertexIndex = 0xFFFFFF;
  caps.MaxStreams = 16;
  caps.MaxStreamStride = 508;
  caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
  caps.MaxVertexShaderConst = 256;
  caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
  caps.DevCaps2 = D3DDEVCAPS2_STREAMOFFSET;
  caps.NumSimultaneousRTs = 4;
  caps.MaxVertexShader30InstructionSlots = 32768;
  caps.MaxPixelShader30InstructionSlots = 32768;
  return caps;
}

// The recording device reports the standard capabilities unless a test sets others.
Steuerung::Steuerung() : caps(Standardfaehigkeiten()) {}

std::vector<std::string> Steuerung::Zeilen(std::string_view methode) const {
  std::vector<std::string> z;
  for (const auto& a : aufrufe_)
    if (methode.empty() || a.methode == methode) z.push_back(a.Text());
  return z;
}

std::size_t Steuerung::Anzahl(std::string_view methode) const {
  std::size_t n = 0;
  for (const auto& a : aufrufe_)
    if (a.methode == methode) ++n;
  return n;
}

void Steuerung::SkriptiereErgebnis(std::string methode, HRESULT ergebnis, unsigned ab,
                                   unsigned anzahl) {
  if (anzahl == 0) return;
  skripte_.push_back({std::move(methode), ergebnis, ab == 0 ? 1 : ab, anzahl});
}

void Steuerung::Protokolliere(Aufruf a) { aufrufe_.push_back(std::move(a)); }

std::optional<HRESULT> Steuerung::Geskriptet(std::string_view methode) {
  if (skripte_.empty()) return std::nullopt;
  std::optional<HRESULT> r;
  for (auto it = skripte_.begin(); it != skripte_.end();) {
    if (it->methode != methode) {
      ++it;
      continue;
    }
    if (it->ab > 1) {
      --it->ab;
      ++it;
      continue;
    }
    if (!r) r = it->ergebnis;
    if (--it->anzahl == 0) {
      it = skripte_.erase(it);
    } else {
      ++it;
    }
  }
  return r;
}

void Steuerung::ScheitereBeiErzeugung(unsigned n, HRESULT ergebnis) {
  erzeugungsFehler_.emplace_back(n == 0 ? 1 : n, ergebnis);
}

std::optional<HRESULT> Steuerung::ErzeugungGeskriptet() {
  std::optional<HRESULT> r;
  for (auto it = erzeugungsFehler_.begin(); it != erzeugungsFehler_.end();) {
    if (it->first == 1) {
      if (!r) r = it->second;
      it = erzeugungsFehler_.erase(it);
    } else {
      --it->first;
      ++it;
    }
  }
  return r;
}

void Steuerung::VerliereGeraet(unsigned versuche) {
  zustand_ = Geraetezustand::Verloren;
  versucheBisZuruecksetzbar_ = versuche;
}

void Steuerung::MacheZuruecksetzbar() {
  if (zustand_ == Geraetezustand::Verloren) zustand_ = Geraetezustand::NichtZurueckgesetzt;
}

HRESULT Steuerung::TesteKooperation() {
  switch (zustand_) {
    case Geraetezustand::Bereit:
      return D3D_OK;
    case Geraetezustand::NichtZurueckgesetzt:
      return D3DERR_DEVICENOTRESET;
    case Geraetezustand::Verloren:
      break;
  }
  if (versucheBisZuruecksetzbar_ > 0) {
    if (versucheBisZuruecksetzbar_ != ~0u) --versucheBisZuruecksetzbar_;
    return D3DERR_DEVICELOST;
  }
  zustand_ = Geraetezustand::NichtZurueckgesetzt;
  return D3DERR_DEVICENOTRESET;
}

HRESULT Steuerung::VersucheZuruecksetzen() {
  if (zustand_ != Geraetezustand::Verloren) return D3D_OK;
  if (versucheBisZuruecksetzbar_ > 0) {
    if (versucheBisZuruecksetzbar_ != ~0u) --versucheBisZuruecksetzbar_;
    return D3DERR_DEVICELOST;
  }
  zustand_ = Geraetezustand::NichtZurueckgesetzt;
  return D3D_OK;
}

void Steuerung::Zurueckgesetzt(bool erfolg) {
  zustand_ = erfolg ? Geraetezustand::Bereit : Geraetezustand::NichtZurueckgesetzt;
}

}  // namespace Plattform::D3D9
