#include "AufzeichnungsBackend.h"

#include <cstring>
#include <vector>

namespace Plattform::D3D9 {
namespace {

struct Speicher : Anteil {
  std::vector<std::vector<std::uint8_t>> bytes;  // one per surface (or one for a buffer)
};

class AufzeichnungsBackend final : public GeraeteBackend {
 public:
  explicit AufzeichnungsBackend(Steuerung& s) : s_(s) {}

  void Fenstergroesse(UINT& breite, UINT& hoehe) override {
    breite = s_.fensterBreite;
    hoehe = s_.fensterHoehe;
  }
  void Darstellung(const D3DPRESENT_PARAMETERS&) override {}
  void Faehigkeiten(D3DCAPS9& caps) override { caps = s_.caps; }

  HRESULT ErzeugePuffer(Puffer& p) override {
    auto a = std::make_unique<Speicher>();
    a->bytes.emplace_back(p.laenge, 0);
    p.anteil = std::move(a);
    return D3D_OK;
  }
  void* SperrePuffer(Puffer& p, UINT offset, UINT, DWORD) override {
    return static_cast<Speicher&>(*p.anteil).bytes[0].data() + offset;
  }
  void EntsperrePuffer(Puffer&) override {}

  HRESULT ErzeugeTextur(TexturBasis& t) override {
    auto a = std::make_unique<Speicher>();
    for (const auto& f : t.flaechen) a->bytes.emplace_back(EbenenBytes(f->format(), f->desc.Width, f->desc.Height), 0);
    t.anteil = std::move(a);
    return D3D_OK;
  }
  HRESULT ErzeugeFlaeche(Oberflaeche& o) override {
    auto a = std::make_unique<Speicher>();
    a->bytes.emplace_back(EbenenBytes(o.format(), o.desc.Width, o.desc.Height), 0);
    o.anteil = std::move(a);
    return D3D_OK;
  }

  void LiesFlaeche(Oberflaeche& o, const RECT& r, void* ziel, UINT pitch) override {
    Kopiere(o, r, static_cast<std::uint8_t*>(ziel), pitch, false);
  }
  void SchreibeFlaeche(Oberflaeche& o, const RECT& r, const void* quelle, UINT pitch) override {
    Kopiere(o, r, static_cast<std::uint8_t*>(const_cast<void*>(quelle)), pitch, true);
  }
  HRESULT ErzeugeShader(ShaderBasis&) override { return D3D_OK; }
  void Vergiss(ObjektBasis&) override {}
  void Leere(const Zustand&, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {}
  void Zeichne(const Zustand&, const Zeichnung&) override {}
  void Praesentiere(Oberflaeche&) override {}

 private:
  static std::vector<std::uint8_t>& Pixel(Oberflaeche& o) {
    if (o.art == Oberflaeche::Art::Ebene) {
      auto& a = static_cast<Speicher&>(*o.textur->anteil);
      return a.bytes[o.seite * o.textur->ebenen + o.ebene];
    }
    return static_cast<Speicher&>(*o.anteil).bytes[0];
  }

  // Copies a rectangle between the stored surface and caller memory.
  static void Kopiere(Oberflaeche& o, const RECT& r, std::uint8_t* extern_, UINT pitch, bool schreiben) {
    const FormatInfo& f = o.format();
    auto& pixel = Pixel(o);
    const UINT flaechenPitch = ZeilenBytes(f, o.desc.Width);
    const UINT zeilenBytes = ZeilenBytes(f, static_cast<UINT>(r.right - r.left));
    const UINT zeilen = Zeilen(f, static_cast<UINT>(r.bottom - r.top));
    const UINT x = f.block ? static_cast<UINT>(r.left) / 4 * f.bytes : static_cast<UINT>(r.left) * f.bytes;
    const UINT y = f.block ? static_cast<UINT>(r.top) / 4 : static_cast<UINT>(r.top);
    for (UINT z = 0; z < zeilen; ++z) {
      std::uint8_t* innen = pixel.data() + static_cast<std::size_t>(y + z) * flaechenPitch + x;
      std::uint8_t* aussen = extern_ + static_cast<std::size_t>(z) * pitch;
      if (schreiben) {
        std::memcpy(innen, aussen, zeilenBytes);
      } else {
        std::memcpy(aussen, innen, zeilenBytes);
      }
    }
  }

  Steuerung& s_;
};

}  // namespace

std::unique_ptr<GeraeteBackend> ErzeugeAufzeichnungsBackend(Steuerung& steuerung) {
  return std::make_unique<AufzeichnungsBackend>(steuerung);
}

}  // namespace Plattform::D3D9
