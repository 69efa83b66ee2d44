// COM and the WMI device query over the frozen controller list: one "Win32_PNPEntity" per
// controller whose "DeviceID" names vendor and product, with "IG_" for gamepads.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Steuergeraete.h"

using namespace Plattform::Eingabe;

namespace {

std::u16string Breit(const std::string& text) { return std::u16string(text.begin(), text.end()); }
bool Gleich(const WCHAR* a, const char* b) { return a && std::u16string(a) == Breit(b); }

// Every object counts itself, so tests can see that all were released.
template <class Schnittstelle>
class WmiObjekt : public ReferenzZaehler<Schnittstelle> {
 public:
  WmiObjekt() { ++Steuergeraete().wmiObjekte; }
  ~WmiObjekt() override { --Steuergeraete().wmiObjekte; }
};

class Eintrag : public WmiObjekt<IWbemClassObject> {
 public:
  explicit Eintrag(std::string id) : id_(std::move(id)) {}
  HRESULT Get(const WCHAR* name, LONG, VARIANT* wert, LONG*, LONG*) override {
    if (!wert) return E_INVALIDARG;
    if (Steuergeraete().wmiFehler.lesen || !Gleich(name, "DeviceID")) return E_FAIL;
    wert->vt = VT_BSTR;
    wert->bstrVal = SysAllocString(Breit(id_).c_str());
    return S_OK;
  }

 private:
  std::string id_;
};

class Aufzaehlung : public WmiObjekt<IEnumWbemClassObject> {
 public:
  Aufzaehlung() {
    const SteuergeraeteZustand& z = Steuergeraete();
    ids_ = z.wmiWeitere;
    for (const Steuergeraet& s : z.liste) {
      char id[96];
      std::snprintf(id, sizeof id, "HID\\VID_%04X&PID_%04X%s\\7&1A2B3C4D&0&0000", s.hersteller, s.produkt,
                    s.gamepad ? "&IG_00" : "");
      ids_.emplace_back(id);
    }
  }
  HRESULT Next(LONG, ULONG anzahl, IWbemClassObject** objekte, ULONG* geliefert) override {
    if (!objekte || !geliefert) return E_INVALIDARG;
    if (Steuergeraete().wmiFehler.naechstes) return E_FAIL;
    *geliefert = 0;
    while (*geliefert < anzahl && stelle_ < ids_.size()) objekte[(*geliefert)++] = new Eintrag(ids_[stelle_++]);
    return *geliefert == anzahl ? S_OK : WBEM_S_FALSE;
  }

 private:
  std::vector<std::string> ids_;
  std::size_t stelle_ = 0;
};

class Dienste : public WmiObjekt<IWbemServices> {
 public:
  HRESULT CreateInstanceEnum(const BSTR klasse, LONG, void*, IEnumWbemClassObject** aus) override {
    if (!aus) return E_INVALIDARG;
    *aus = nullptr;
    if (Steuergeraete().wmiFehler.aufzaehlen || !Gleich(klasse, "Win32_PNPEntity")) return E_FAIL;
    *aus = new Aufzaehlung();
    return S_OK;
  }
};

class Lokator : public WmiObjekt<IWbemLocator> {
 public:
  HRESULT ConnectServer(const BSTR raum, const BSTR, const BSTR, const BSTR, LONG, const BSTR, void*,
                        IWbemServices** aus) override {
    if (!aus) return E_INVALIDARG;
    *aus = nullptr;
    if (Steuergeraete().wmiFehler.verbinden || !Gleich(raum, "\\\\.\\root\\cimv2")) return E_FAIL;
    *aus = new Dienste();
    return S_OK;
  }
};

}  // namespace

BSTR SysAllocString(const WCHAR* text) {
  if (!text) return nullptr;
  std::size_t n = 0;
  while (text[n]) ++n;
  auto* kopie = new WCHAR[n + 1];
  std::memcpy(kopie, text, (n + 1) * sizeof(WCHAR));
  ++Steuergeraete().wmiObjekte;
  return kopie;
}

void SysFreeString(BSTR text) {
  if (!text) return;
  delete[] text;
  --Steuergeraete().wmiObjekte;
}

void VariantInit(VARIANT* v) { *v = {VT_EMPTY, nullptr}; }

HRESULT VariantClear(VARIANT* v) {
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}

HRESULT CoInitialize(LPVOID) {
  if (Steuergeraete().wmiFehler.coInit) return E_FAIL;
  ++Steuergeraete().comOffen;
  return S_OK;
}

void CoUninitialize() { --Steuergeraete().comOffen; }

HRESULT CoCreateInstance(REFGUID klasse, IUnknown*, DWORD, REFIID iid, LPVOID* aus) {
  if (!aus) return E_POINTER;
  *aus = nullptr;
  if (Steuergeraete().wmiFehler.locator || !(klasse == CLSID_WbemLocator) || !(iid == IID_IWbemLocator))
    return E_NOINTERFACE;
  *aus = static_cast<IWbemLocator*>(new Lokator());
  return S_OK;
}

HRESULT CoSetProxyBlanket(IUnknown* proxy, DWORD, DWORD, WCHAR*, DWORD, DWORD, void*, DWORD) {
  return !proxy || Steuergeraete().wmiFehler.blanket ? E_FAIL : S_OK;
}
