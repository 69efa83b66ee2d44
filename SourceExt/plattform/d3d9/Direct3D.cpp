// The Direct3D object: adapters, format checks and device creation, for both backends.
#include <cstring>
#include <mutex>

#include "AufzeichnungsBackend.h"
#include "Geraet.h"
#include "GlBackend.h"
#include "Protokoll.h"

namespace Plattform::D3D9 {
namespace {

const std::string kName = "Direct3D";

class Direct3D final : public ReferenzZaehler<IDirect3D9> {
 public:
  Direct3D(Backend backend, std::shared_ptr<Steuerung> steuerung)
      : backend_(backend), steuerung_(std::move(steuerung)) {}

  UINT GetAdapterCount() override {
    Vorgang(*steuerung_, &kName, "GetAdapterCount", [] { return std::string(); }).Ende(D3D_OK, Arg(AdapterAnzahl()));
    return AdapterAnzahl();
  }

  HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier) override {
    Vorgang v(*steuerung_, &kName, "GetAdapterIdentifier", [&] { return Argumente(Adapter, Hex{Flags}); });
    if (v.geskriptet) return v.Ende(*v.geskriptet);
    if (!pIdentifier || Adapter >= AdapterAnzahl()) return v.Ende(D3DERR_INVALIDCALL);
    *pIdentifier = D3DADAPTER_IDENTIFIER9{};
    const std::string beschreibung =
        backend_ == Backend::OpenGL ? std::string("OpenGL 4.5 core") : steuerung_->adapter[Adapter];
    std::strncpy(pIdentifier->Driver, "velmar-d3d9", sizeof pIdentifier->Driver - 1);
    std::strncpy(pIdentifier->Description, beschreibung.c_str(), sizeof pIdentifier->Description - 1);
    std::strncpy(pIdentifier->DeviceName, "\\\\.\\DISPLAY1", sizeof pIdentifier->DeviceName - 1);
    return v.Ende(D3D_OK);
  }

  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override {
    Vorgang v(*steuerung_, &kName, "CheckDeviceFormat", [&] {
      return Argumente(Adapter, DeviceType, AdapterFormat, Hex{Usage}, RType, CheckFormat);
    });
    if (v.geskriptet) return v.Ende(*v.geskriptet);
    if (Adapter >= AdapterAnzahl() || !Geraetetyp(DeviceType)) return v.Ende(D3DERR_INVALIDCALL);
    if (backend_ == Backend::Aufzeichnung && steuerung_->fehlendeFormate.count(CheckFormat))
      return v.Ende(D3DERR_NOTAVAILABLE);
    return v.Ende(PruefeFormat(AdapterFormat, Usage, RType, CheckFormat));
  }

  HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override {
    Vorgang v(*steuerung_, &kName, "GetDeviceCaps", [&] { return Argumente(Adapter, DeviceType); });
    if (v.geskriptet) return v.Ende(*v.geskriptet);
    if (!pCaps || Adapter >= AdapterAnzahl() || !Geraetetyp(DeviceType)) return v.Ende(D3DERR_INVALIDCALL);
    *pCaps = backend_ == Backend::OpenGL ? Standardfaehigkeiten() : steuerung_->caps;
    pCaps->DeviceType = DeviceType;
    pCaps->AdapterOrdinal = Adapter;
    return v.Ende(D3D_OK);
  }

  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice9** ppReturnedDeviceInterface) override {
    Vorgang v(*steuerung_, &kName, "CreateDevice", [&] {
      return Argumente(Adapter, DeviceType, static_cast<const void*>(hFocusWindow), Hex{BehaviorFlags},
                       pPresentationParameters);
    });
    if (v.geskriptet) return v.Ende(*v.geskriptet);
    if (!pPresentationParameters || !ppReturnedDeviceInterface || Adapter >= AdapterAnzahl() ||
        !Geraetetyp(DeviceType))
      return v.Ende(D3DERR_INVALIDCALL);
    std::unique_ptr<GeraeteBackend> backend;
    if (backend_ == Backend::OpenGL) {
      HWND fenster = pPresentationParameters->hDeviceWindow ? pPresentationParameters->hDeviceWindow
                                                            : hFocusWindow;
      HRESULT hr = D3D_OK;
      backend = ErzeugeGlBackend(fenster, hr);
      if (!backend) return v.Ende(hr);
    } else {
      backend = ErzeugeAufzeichnungsBackend(*steuerung_);
    }
    Geraet* g = nullptr;
    HRESULT hr = Geraet::Erzeuge(this, steuerung_, std::move(backend), BehaviorFlags,
                                 *pPresentationParameters, &g);
    if (FAILED(hr)) return v.Ende(hr);
    *ppReturnedDeviceInterface = g;
    return v.Ende(D3D_OK, "Geraet");
  }

 private:
  UINT AdapterAnzahl() const {
    return backend_ == Backend::OpenGL ? 1u : static_cast<UINT>(steuerung_->adapter.size());
  }
  static bool Geraetetyp(D3DDEVTYPE t) { return t == D3DDEVTYPE_HAL || t == D3DDEVTYPE_REF; }

  Backend backend_;
  std::shared_ptr<Steuerung> steuerung_;
};

struct Installation {
  std::mutex m;
  std::shared_ptr<Steuerung> steuerung;
  Backend backend = Backend::OpenGL;
};

Installation& Installiert() {
  static Installation i;
  return i;
}

}  // namespace

IDirect3D9* ErzeugeDirect3D9(Backend backend, std::shared_ptr<Steuerung> steuerung) {
  if (!steuerung) {
    steuerung = std::make_shared<Steuerung>();
    steuerung->protokollieren = backend == Backend::Aufzeichnung;
  }
  return new Direct3D(backend, std::move(steuerung));
}

void InstalliereSteuerung(std::shared_ptr<Steuerung> steuerung, Backend backend) {
  auto& i = Installiert();
  std::lock_guard<std::mutex> l(i.m);
  i.steuerung = std::move(steuerung);
  i.backend = backend;
}

void EntferneSteuerung() { InstalliereSteuerung(nullptr, Backend::OpenGL); }

Steuerung* SteuerungVon(IDirect3DDevice9* geraet) {
  auto* g = dynamic_cast<Geraet*>(geraet);
  return g ? &g->steuerung() : nullptr;
}

}  // namespace Plattform::D3D9

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  using namespace Plattform::D3D9;
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  auto& i = Installiert();
  std::lock_guard<std::mutex> l(i.m);
  return ErzeugeDirect3D9(i.backend, i.steuerung);
}
