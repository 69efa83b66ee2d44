#pragma once
// The basic Windows types, values and the COM reference-counting base that the
// platform layers (device, shader compiler, input, sound) declare their interfaces with.
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using FLOAT = float;
using BOOL = int;
using HRESULT = std::int32_t;
using LPCSTR = const char*;
using LPSTR = char*;
using LPVOID = void*;
using LPCVOID = const void*;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LARGE_INTEGER_QUAD = std::int64_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};

// An opaque window handle: the input and device layers each know what stands behind it.
struct HWND__;
using HWND = HWND__*;

// COM's reference counting as the engine uses it: AddRef/Release, the object deletes
// itself when the count reaches zero.
struct IUnknown {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// A ready-made counter for the layers' objects.
template <class Schnittstelle>
class ReferenzZaehler : public Schnittstelle {
 public:
  ULONG AddRef() override { return ++zaehler_; }
  ULONG Release() override {
    ULONG rest = --zaehler_;
    if (rest == 0) delete this;
    return rest;
  }
  ULONG Referenzen() const { return zaehler_; }

 private:
  ULONG zaehler_ = 1;
};
