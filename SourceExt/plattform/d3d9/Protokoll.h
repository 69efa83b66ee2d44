#pragma once
// Logging and scripting of one call: the arguments are formatted only when the log is
// on, a scripted result replaces the call.
#include <optional>
#include <string>
#include <utility>

#include "d3d9/D3D9Steuerung.h"

namespace Plattform::D3D9 {

class ObjektBasis;

// Argument formatting for the log.
struct Hex {
  DWORD wert;
};
std::string Arg(UINT v);
std::string Arg(INT v);
std::string Arg(float v);
std::string Arg(Hex v);
std::string Arg(D3DFORMAT v);
std::string Arg(D3DPOOL v);
std::string Arg(D3DRENDERSTATETYPE v);
std::string Arg(D3DSAMPLERSTATETYPE v);
std::string Arg(D3DPRIMITIVETYPE v);
std::string Arg(D3DCUBEMAP_FACES v);
std::string Arg(D3DDEVTYPE v);
std::string Arg(D3DRESOURCETYPE v);
std::string Arg(D3DBACKBUFFER_TYPE v);
std::string Arg(D3DMULTISAMPLE_TYPE v);
std::string Arg(const RECT* r);
std::string Arg(const POINT* p);
std::string Arg(const D3DVIEWPORT9* v);
std::string Arg(const D3DPRESENT_PARAMETERS* pp);
std::string Arg(const ObjektBasis* o);
std::string Arg(const IUnknown* o);  // the layer's objects by name
std::string Arg(const void* p);  // any other pointer: "null" or "ptr"
std::string Arg(const char* s);
std::string Arg(const std::string& s);

inline std::string Argumente() { return {}; }
template <class A, class... R>
std::string Argumente(const A& a, const R&... r) {
  std::string s = Arg(a);
  ((s += ", ", s += Arg(r)), ...);
  return s;
}

class Vorgang {
 public:
  // objekt: name of the object called, or null for the device itself.
  template <class F>
  Vorgang(Steuerung& s, const std::string* objekt, const char* methode, F&& argumente)
      : s_(s), objekt_(objekt), methode_(methode) {
    if (s_.vorAufruf) s_.vorAufruf(methode_);
    if (s_.protokollieren) argumente_ = argumente();
    geskriptet = s_.Geskriptet(methode_);
  }

  // A scripted result for this call, if any; the caller returns Ende(*geskriptet).
  std::optional<HRESULT> geskriptet;

  HRESULT Ende(HRESULT hr, std::string ausgabe = {}) {
    if (s_.protokollieren) {
      Aufruf a;
      if (objekt_) a.objekt = *objekt_;
      a.methode = methode_;
      a.argumente = std::move(argumente_);
      a.ergebnis = hr;
      a.ausgabe = std::move(ausgabe);
      s_.Protokolliere(std::move(a));
    }
    return hr;
  }

  bool protokolliert() const { return s_.protokollieren; }

 private:
  Steuerung& s_;
  const std::string* objekt_;
  const char* methode_;
  std::string argumente_;
};

}  // namespace Plattform::D3D9
