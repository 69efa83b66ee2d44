#include "Praesentation.h"

#include "Basisdienste.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "Quelm_ZeichenKontextImplDX9.h"
#include "d3d9/d3d9.h"

namespace Spiel {

void Praesentiere(Quelm_ZeichenKontextImplDX9& impl) {
  IDirect3DDevice9* geraet = impl.geraet.get();
  if (impl.szeneOffen) {
    geraet->EndScene();
    impl.szeneOffen = false;
  }
  if (geraet->Present(nullptr, nullptr, nullptr, nullptr) != D3DERR_DEVICELOST) return;
  impl.geraetVerloren = true;
  if (gSystem.praesenz == Quelm_System::Minimiert) return;
  if (geraet->TestCooperativeLevel() >= 0) {
    impl.geraetVerloren = false;
    return;
  }
  Plattform::Schlafe(50);
  const HRESULT ergebnis = geraet->TestCooperativeLevel();
  if (ergebnis == D3DERR_DEVICELOST) return;
  // A reset that fails leaves the flag set, so the next frame tries again; the reset logs
  // such a failure once, not every frame.
  if (ergebnis == D3DERR_DEVICENOTRESET)
    impl.geraetVerloren = !impl.Zuruecksetzen();
  else
    impl.geraetVerloren = false;
}

void BeendeBild(Quelm_ZeichenKontext& kontext) {
  Praesentiere(kontext.impl);
  kontext.SetzeZaehlerZurueck();
}

}  // namespace Spiel
