#include "LinienListe.h"

#include "Quelm_ZeichenKontext.h"

#include <algorithm>

namespace Spiel {

const char* const LinienListe::kVertexQuelle =
    "$rein float3 vpos;\n$rein float4 vfarbe;\n\n$raus float4 fpos;\n$raus float4 ffarbe;\n\nfloat4x4 gMatrix;\n\n"
    "$main() {\n  fpos = mul( gMatrix, float4( vpos, 1.0f));\n  ffarbe = vfarbe;\n}\n";
const char* const LinienListe::kPixelQuelle =
    "$rein float4 ffarbe;\n$raus float4 erg;\n\n$main() {\n  erg = ffarbe;\n}\n";

namespace {

struct LinienProgramm {
  std::uint64_t referenzen = 0;
  Quelm_VertexEingabe* eingabe = nullptr;
  Quelm_VertexShader* vertexShader = nullptr;
  Quelm_PixelShader* pixelShader = nullptr;
  Quelm_Programm* programm = nullptr;
  Quelm_TiefeZustand* tiefe = nullptr;
  Quelm_Renderziel* ziel = nullptr;
  std::int32_t matrix = 0;
} gLinien;

Quelm_ZeichenKontext* Kontext() { return Quelm_BasisObjekt::Kontext(); }

}  // namespace

LinienListe::LinienListe(std::uint64_t stapel, std::uint64_t puffergroesse, Quelm_ZBuffer* tiefe)
    : stapelGroesse(std::max<std::uint64_t>(std::min(stapel, puffergroesse / sizeof(LinienVertex)) & ~std::uint64_t{1}, 2)) {
  if (Quelm_ZeichenKontext* k = Kontext()) puffer = k->ErzeugeVertexBuffer(puffergroesse, FLAG_DYNAMISCH | FLAG_FLUECHTIG);
  ErzeugeProgramm(tiefe);
}

LinienListe::~LinienListe() {
  if (Quelm_ZeichenKontext* k = Kontext()) k->GibFrei(puffer);
  GibProgrammFrei();
}

void LinienListe::ErzeugeProgramm(Quelm_ZBuffer* tiefe) {
  Quelm_ZeichenKontext* k = Kontext();
  if (!k || gLinien.referenzen++ > 0) return;
  LinienProgramm& p = gLinien;
  p.eingabe = k->ErzeugeVertexEingabe();
  p.eingabe->AddKanal(0, KANAL_FLOAT3, 0, false);
  p.eingabe->AddKanal(0, KANAL_FLOAT4, 12, false);
  p.eingabe->Beenden();
  p.vertexShader = k->ErzeugeVertexShader();
  const bool vsGut = p.vertexShader->UebersetzeAusString(kVertexQuelle);
  p.pixelShader = k->ErzeugePixelShader();
  const bool psGut = p.pixelShader->UebersetzeAusString(kPixelQuelle);
  if (vsGut && psGut) {
    p.programm = k->ErzeugeProgramm(p.eingabe, p.vertexShader, p.pixelShader);
    if (p.programm) p.matrix = p.programm->FindeKonstante("gMatrix");
  }
  Quelm_TiefeZustandBeschr t;
  t.test = t.schreiben = true;
  t.vergleich = 2;
  p.tiefe = k->ErzeugeTiefeZustand(t);
  Quelm_RenderzielBeschr ziel;
  ziel.farbBufferAnzahl = 1;  // slot left empty: the back buffer
  ziel.zBuffer = tiefe;
  p.ziel = k->ErzeugeRenderziel(ziel);
}

void LinienListe::GibProgrammFrei() {
  if (gLinien.referenzen == 0 || --gLinien.referenzen > 0) return;
  if (Quelm_ZeichenKontext* k = Kontext())
    for (Quelm_BasisObjekt* o : std::initializer_list<Quelm_BasisObjekt*>{
             gLinien.programm, gLinien.eingabe, gLinien.vertexShader, gLinien.pixelShader, gLinien.ziel, gLinien.tiefe})
      k->GibFrei(o);
  gLinien = LinienProgramm{};
}

void LinienListe::FuegeLinieHinzu(const Vektor3& von, const Vektor3& bis, const float (&f)[4]) {
  vertexe.push_back({{von.x, von.y, von.z}, {f[0], f[1], f[2], f[3]}});
  vertexe.push_back({{bis.x, bis.y, bis.z}, {f[0], f[1], f[2], f[3]}});
}

void LinienListe::FuegeGitterHinzu(const Vektor3& start, const Vektor3& linie, const Vektor3& schritt,
                                   const float (&farbe)[4]) {
  for (int i = 0; i <= 20; ++i) {
    const Vektor3 a = start + schritt * static_cast<float>(i);
    FuegeLinieHinzu(a, a + linie, farbe);
  }
}

void LinienListe::FuegeQuaderHinzu(const Vektor3& e, const Vektor3& g, const float (&farbe)[4]) {
  auto ecke = [&](int i) { return Vektor3{e.x + (i & 1 ? g.x : 0), e.y + (i & 2 ? g.y : 0), e.z + (i & 4 ? g.z : 0)}; };
  // Corners by bits x, y, z: every pair differing in one bit is an edge.
  for (int i = 0; i < 8; ++i)
    for (int bit : {1, 2, 4})
      if (!(i & bit)) FuegeLinieHinzu(ecke(i), ecke(i | bit), farbe);
}

void LinienListe::Zeichne(const Matrix& sicht, const Matrix& projektion) {
  Quelm_ZeichenKontext* k = Kontext();
  if (vertexe.empty() || !k || !gLinien.programm || !puffer) {
    vertexe.clear();
    return;
  }
  k->SetProgramm(gLinien.programm);
  Matrix m = sicht;
  m.MultipliziereMatrixLinks(projektion);
  k->SetProgrammKonstante(gLinien.matrix, m.m);
  k->SetRenderZiel(gLinien.ziel);
  k->SetTiefeZustand(gLinien.tiefe);
  k->SetAlphaZustand(nullptr);
  if (!puffer->IstResident()) puffer->Benutzen();
  k->SetVertexBuffer(0, puffer, sizeof(LinienVertex));
  for (std::size_t start = 0; start < vertexe.size(); start += stapelGroesse) {
    const std::size_t n = std::min<std::size_t>(stapelGroesse, vertexe.size() - start);
    Quelm_PufferDaten daten{reinterpret_cast<std::uint8_t*>(vertexe.data() + start), n * sizeof(LinienVertex), 0};
    puffer->SchreibeInhalt(daten);
    k->ZeichneElemente(1, n / 2);
  }
  vertexe.clear();
  // What is drawn next (widgets, console) goes to the back buffer at its own size.
  k->SetRenderZiel(nullptr);
}

}  // namespace Spiel
