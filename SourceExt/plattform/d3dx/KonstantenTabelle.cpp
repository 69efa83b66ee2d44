#include "KonstantenTabelle.h"

namespace Plattform::D3dx {

namespace {
constexpr const char* kErzeuger = "ToolVelmar HLSL compiler (glslang, SPIRV-Cross)";

D3DXHANDLE Handle(const Konstante& k) { return reinterpret_cast<D3DXHANDLE>(&k); }
}  // namespace

KonstantenTabelle::KonstantenTabelle(std::vector<Konstante> konstanten, DWORD version)
    : konstanten_(std::move(konstanten)), version_(version) {
  Verzeichne(konstanten_);
}

void KonstantenTabelle::Verzeichne(const std::vector<Konstante>& ebene) {
  for (const auto& k : ebene) {
    eintraege_.insert(&k);
    Verzeichne(k.glieder);
  }
}

const Konstante* KonstantenTabelle::Eintrag(D3DXHANDLE handle) const {
  auto* k = reinterpret_cast<const Konstante*>(handle);
  return eintraege_.count(k) ? k : nullptr;
}

HRESULT KonstantenTabelle::GetDesc(D3DXCONSTANTTABLE_DESC* pDesc) {
  if (!pDesc) return E_INVALIDARG;
  pDesc->Creator = kErzeuger;
  pDesc->Version = version_;
  pDesc->Constants = static_cast<UINT>(konstanten_.size());
  return S_OK;
}

HRESULT KonstantenTabelle::GetConstantDesc(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pDesc,
                                           UINT* pCount) {
  const Konstante* k = Eintrag(hConstant);
  if (!k || !pCount) return E_INVALIDARG;
  if (pDesc) {
    if (*pCount < 1) return E_INVALIDARG;
    *pDesc = k->beschreibung;
    pDesc->Name = k->name.c_str();
  }
  *pCount = 1;
  return S_OK;
}

D3DXHANDLE KonstantenTabelle::GetConstant(D3DXHANDLE hConstant, UINT Index) {
  if (!hConstant) return Index < konstanten_.size() ? Handle(konstanten_[Index]) : nullptr;
  const Konstante* k = Eintrag(hConstant);
  if (!k || Index >= k->glieder.size()) return nullptr;
  return Handle(k->glieder[Index]);
}

}  // namespace Plattform::D3dx
