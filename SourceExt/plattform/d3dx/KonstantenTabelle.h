#pragma once
// ID3DXConstantTable over the constants the register allocation produced. Handles are
// the addresses of the table's entries.
#include <set>
#include <vector>

#include "RegisterBelegung.h"
#include "d3dx9.h"

namespace Plattform::D3dx {

class KonstantenTabelle final : public ReferenzZaehler<ID3DXConstantTable> {
 public:
  KonstantenTabelle(std::vector<Konstante> konstanten, DWORD version);

  HRESULT GetDesc(D3DXCONSTANTTABLE_DESC* pDesc) override;
  HRESULT GetConstantDesc(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pDesc, UINT* pCount) override;
  D3DXHANDLE GetConstant(D3DXHANDLE hConstant, UINT Index) override;

 private:
  const Konstante* Eintrag(D3DXHANDLE handle) const;
  void Verzeichne(const std::vector<Konstante>& ebene);

  std::vector<Konstante> konstanten_;
  DWORD version_;
  std::set<const Konstante*> eintraege_;
};

}  // namespace Plattform::D3dx
