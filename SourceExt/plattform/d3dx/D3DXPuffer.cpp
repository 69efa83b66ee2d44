#include "D3DXPuffer.h"

#include <cstring>

namespace Plattform::D3dx {

D3DXPuffer::D3DXPuffer(DWORD groesse)
    : daten_(new std::uint32_t[(groesse + 3) / 4 + 1]()), groesse_(groesse) {}

D3DXPuffer* D3DXPuffer::AusBytes(const void* daten, std::size_t groesse) {
  auto* p = new D3DXPuffer(static_cast<DWORD>(groesse));
  if (groesse) std::memcpy(p->daten_.get(), daten, groesse);
  return p;
}

D3DXPuffer* D3DXPuffer::AusText(std::string_view text) {
  auto* p = new D3DXPuffer(static_cast<DWORD>(text.size() + 1));
  std::memcpy(p->daten_.get(), text.data(), text.size());
  return p;  // the zero byte comes from the value-initialised storage
}

}  // namespace Plattform::D3dx

HRESULT D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
  if (!ppBuffer) return E_INVALIDARG;
  *ppBuffer = new Plattform::D3dx::D3DXPuffer(NumBytes);
  return S_OK;
}
