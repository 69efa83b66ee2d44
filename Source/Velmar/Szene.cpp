#include "Szene.h"

#include "Landschaft.h"
#include "Quelm_Puffer.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"

#include <utility>

namespace Spiel {

namespace {
// The generator's range gives shades 0 to 0.1333 above the base green.
constexpr float kSchattierung = 4.069135e-6f;

std::uint8_t* Bytes(const void* p) { return static_cast<std::uint8_t*>(const_cast<void*>(p)); }

void GibFrei(Quelm_BasisObjekt* objekt) {
  if (objekt && Quelm_Screen3D::zeichenKontext) Quelm_Screen3D::zeichenKontext->GibFrei(objekt);
}
}  // namespace

void FuegeDreieckHinzu(const Vektor3& e0, const Vektor3& e1, const Vektor3& e2, const TAlphaFarbe& farbe,
                       std::vector<std::uint32_t>& indizes, std::vector<SzenenVertex>& vertexe) {
  // A face squeezed to a line or point (corners dragged onto each other) has no
  // direction; it gets a zero normal rather than NaN in the vertex data.
  const Vektor3 kreuz = Kreuz(e2 - e0, e1 - e0);
  const Vektor3 normale = Punkt(kreuz, kreuz) > 0 ? Normiert(kreuz) : Vektor3{};
  const auto basis = static_cast<std::uint32_t>(vertexe.size());
  indizes.insert(indizes.end(), {basis, basis + 1, basis + 2});
  vertexe.push_back({e0, normale, farbe, 0, 0});
  vertexe.push_back({e1, normale, farbe, 1, 0});
  vertexe.push_back({e2, normale, farbe, 0, 1});
}

void LadeNetzPuffer(NetzPuffer& puffer, const std::vector<SzenenVertex>& vertexe,
                    const std::vector<std::uint32_t>& indizes) {
  GibNetzPufferFrei(puffer);
  if (vertexe.empty() || indizes.empty()) return;
  Quelm_ZeichenKontext& kontext = *Quelm_Screen3D::zeichenKontext;
  puffer.vertexe = kontext.ErzeugeVertexBuffer(
      0, 0, Quelm_PufferDaten{Bytes(vertexe.data()), vertexe.size() * sizeof(SzenenVertex), 0});
  puffer.indizes = kontext.ErzeugeIndexBuffer(
      2, Quelm_PufferDaten{Bytes(indizes.data()), indizes.size() * sizeof(std::uint32_t), 0});
}

void GibNetzPufferFrei(NetzPuffer& puffer) {
  GibFrei(puffer.vertexe);
  GibFrei(puffer.indizes);
  puffer = {};
}

void GibLandschaftsPufferFrei(std::vector<LandschaftsPuffer>& liste) {
  for (LandschaftsPuffer& p : liste) GibFrei(p.textur);
  for (LandschaftsPuffer& p : liste) GibNetzPufferFrei(p.netz);
  liste.clear();
  liste.shrink_to_fit();
}

Szene::~Szene() {
  GibLandschaftsPufferFrei(landschaft);
  GibNetzPufferFrei(netz);
}

void Szene::BaueNetz() {
  std::vector<SzenenVertex> vertexe;
  std::vector<std::uint32_t> indizes;
  vertexe.reserve(dreiecke.size() * 3);
  indizes.reserve(dreiecke.size() * 3);
  for (const Dreieck& d : dreiecke) {
    const float g = static_cast<float>(farbZufall()) * kSchattierung;
    FuegeDreieckHinzu(d.ecke[0], d.ecke[1], d.ecke[2], {0.26666668f + g, 0.86666673f + g, 0.26666668f + g, 1.0f},
                      indizes, vertexe);
  }
  LadeNetzPuffer(netz, vertexe, indizes);
  veraendert = 1;
}

bool Szene::StarteGenerierung() {
  if (generierung.faser || !veraendert) return false;
  veraendert = 0;
  // The job's generator is seeded here, on the main thread, so the two never share state.
  const auto saat = static_cast<std::uint32_t>(farbZufall()) << 15 | static_cast<std::uint32_t>(farbZufall());
  generierung = Quelm_ParallelKern::NeueFaser(
      2, [kopie = dreiecke, this, saat] { GeneriereLandschaft(kopie, this, saat); });
  if (generierung.faser) return true;
  veraendert = 1;  // not started (logged): the next frame tries again, nothing is lost
  return false;
}

void Szene::GeneriereLandschaft(const std::vector<Dreieck>& dreiecke, Szene* szene, std::uint32_t saat) {
  Zufall zufall(saat);
  Helfer helfer{std::make_shared<std::vector<std::unique_ptr<LandschaftsTeil>>>(
                    ErzeugeLandschaftsTeile(dreiecke, zufall)),
                szene};
  Quelm_ParallelKern::NeueFaser(1, std::move(helfer));
}

}  // namespace Spiel
