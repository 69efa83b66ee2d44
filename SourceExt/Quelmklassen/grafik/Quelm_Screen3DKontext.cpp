// The screen's render context: made, reset and closed by the screen, reached by the GPU
// resources through the accessors of Quelm_BasisObjekt. Apart from Quelm_Screen3D.cpp, Quelm_BasisObjekt.cpp and Quelm_VideoRAM.cpp
// because the context includes the resource classes and reads the screen's mode and
// window: neither the screen's window code nor the resource code includes the context.
#include "Quelm_BasisObjekt.h"
#include "Quelm_Screen3D.h"
#include "Quelm_VideoRAM.h"
#include "Quelm_ZeichenKontext.h"

#include <memory>

bool Quelm_Screen3D::ErzeugeZeichenKontext() {
  auto kontext = std::make_unique<Quelm_ZeichenKontext>();
  if (!kontext->HatGeraet()) return false;
  zeichenKontext = kontext.release();  // the screen owns it until SchliesseZeichenKontext
  return true;
}

void Quelm_Screen3D::SetzeZeichenKontextZurueck() {
  if (zeichenKontext) zeichenKontext->impl.Zuruecksetzen();
}

void Quelm_Screen3D::SchliesseZeichenKontext() {
  // Resources released on the way out still reach the context through the pointer.
  delete zeichenKontext;
  zeichenKontext = nullptr;
}

void Quelm_Screen3D::SchaffeVideoRAMPlatz() {
  if (zeichenKontext) Quelm_SchaffeVideoRAMPlatz(*zeichenKontext);
}

void Quelm_Screen3D::BefehlVideoRam(const std::string&) {
  if (zeichenKontext) zeichenKontext->GibStatistik();
}

Quelm_ZeichenKontext* Quelm_BasisObjekt::Kontext() { return Quelm_Screen3D::zeichenKontext; }

IDirect3DDevice9* Quelm_BasisObjekt::Geraet() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? kontext->impl.geraet.get() : nullptr;
}

void Quelm_BasisObjekt::VergissGeraeteObjekt(const void* objekt) {
  if (Quelm_ZeichenKontext* kontext = Kontext()) kontext->impl.VergissGeraeteObjekt(objekt);
}

std::uint64_t Quelm_BasisObjekt::MaxTexturBreite() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? kontext->maxTexturBreite : 0;
}

std::uint64_t Quelm_BasisObjekt::MaxTexturHoehe() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? kontext->maxTexturHoehe : 0;
}

D3DFORMAT Quelm_BasisObjekt::Tiefenformat() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? kontext->impl.darstellung.AutoDepthStencilFormat : D3DFMT_UNKNOWN;
}

// The context keeps both strings for its lifetime.
const char* Quelm_BasisObjekt::ShaderProfil(bool pixel) {
  Quelm_ZeichenKontext* kontext = Kontext();
  if (!kontext) return "";
  return pixel ? kontext->impl.pixelProfil.c_str() : kontext->impl.vertexProfil.c_str();
}

std::uint64_t Quelm_BasisObjekt::SchaffePlatz() {
  Quelm_ZeichenKontext* kontext = Kontext();
  return kontext ? Quelm_SchaffeVideoRAMPlatz(*kontext) : 0;
}
