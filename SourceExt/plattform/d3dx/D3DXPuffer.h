#pragma once
// ID3DXBuffer: a reference-counted block of bytes (compiled code or message text).
#include <cstdint>
#include <memory>
#include <string_view>

#include "d3dx9.h"

namespace Plattform::D3dx {

class D3DXPuffer final : public ReferenzZaehler<ID3DXBuffer> {
 public:
  explicit D3DXPuffer(DWORD groesse);
  // A copy of the bytes.
  static D3DXPuffer* AusBytes(const void* daten, std::size_t groesse);
  // The text followed by one zero byte, as D3DX hands its messages over.
  static D3DXPuffer* AusText(std::string_view text);

  LPVOID GetBufferPointer() override { return daten_.get(); }
  DWORD GetBufferSize() override { return groesse_; }

 private:
  // Word-aligned storage: the device reads the code as DWORDs.
  std::unique_ptr<std::uint32_t[]> daten_;
  DWORD groesse_;
};

}  // namespace Plattform::D3dx
