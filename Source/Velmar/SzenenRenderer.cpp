#include "SzenenRenderer.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Bild.h"
#include "Quelm_Protokoll.h"
#include "Quelm_Screen3D.h"
#include "Quelm_System.h"
#include "Quelm_ZeichenKontext.h"
#include "Szene.h"
#include "TSpeicher.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace Spiel {

namespace {

constexpr std::uint64_t kRenderzielFormat = 2560;  // A8R8G8B8, render target, volatile

Quelm_ZeichenKontext& Kontext() { return *Quelm_Screen3D::zeichenKontext; }

bool Da(std::int32_t konstante) { return (konstante & 0xFFF) != 0xFFF || (konstante >> 12 & 0xFFF) != 0xFFF; }

// Rows (1,0,0), (0,c,s), (0,-s,c) about x; rows (c,0,-s), (0,1,0), (s,0,c) about y.
Matrix DrehungX(float c, float s) {
  Matrix r;
  r(1, 1) = c;
  r(1, 2) = s;
  r(2, 1) = -s;
  r(2, 2) = c;
  return r;
}
Matrix DrehungY(float c, float s) {
  Matrix r;
  r(0, 0) = c;
  r(0, 2) = -s;
  r(2, 0) = s;
  r(2, 2) = c;
  return r;
}

// Reads one shader file of the data folder as text, ending in a zero byte.
std::string LiesShader(const std::filesystem::path& pfad, const char* art, const char* funktion) {
  TSpeicher text;
  if (!text.LadeDatei(pfad, TSpeicher::Text)) {
    Protokolliere("!Kann %s-Datei \"%s\" nicht lesen.", art, pfad.string().c_str());
    Quelm_Ausnahme::Wirf(std::string(art) + "-Datei \"" + pfad.string() + "\" ist nicht lesbar", funktion, __FILE__,
                         __LINE__);
  }
  return std::string(reinterpret_cast<const char*>(text.daten), text.groesse);
}

// A shader that does not translate must not end up in a program: the start fails naming it.
template <class S>
void Uebersetze(S* shader, const std::string& quelle, const std::filesystem::path& pfad, const char* art) {
  if (shader->UebersetzeAusString(quelle.c_str(), {}, false)) return;
  Protokolliere("!Kann %s-Datei \"%s\" nicht übersetzen.", art, pfad.string().c_str());
  Quelm_Ausnahme::Wirf(std::string(art) + "-Datei \"" + pfad.string() + "\" ist nicht übersetzbar",
                       "Spiel::SzenenRenderer::LadeProgramm", __FILE__, __LINE__);
}

}  // namespace

SzenenRenderer::SzenenRenderer() : filterVerwaltung(gSystem.programmVerzeichnis / "Daten") {
  try {
    Baue();
  } catch (...) {
    GibFrei();
    throw;
  }
}

SzenenRenderer::~SzenenRenderer() { GibFrei(); }

void SzenenRenderer::Baue() {
  Quelm_ZeichenKontext& k = Kontext();
  eingabe = k.ErzeugeVertexEingabe();
  eingabe->AddKanal(0, KANAL_FLOAT3, 0, false);
  eingabe->AddKanal(0, KANAL_FLOAT3, 12, false);
  eingabe->AddKanal(0, KANAL_FLOAT4, 24, false);
  eingabe->AddKanal(0, KANAL_FLOAT2, 40, false);
  eingabe->Beenden();
  LadeProgramm("start", startVertexShader, startPixelShader, start);
  LadeProgramm("schatten", schattenVertexShader, schattenPixelShader, schatten);
  schattenBild = k.ErzeugeTextur(kSchattenKante, kSchattenKante, 1, kRenderzielFormat);
  {
    Quelm_Bild bild(32, 32, PXFMT_A8R8G8B8);
    for (std::uint64_t y = 0; y < bild.hoehe; ++y) std::memset(bild.daten + y * bild.pitch, 0xFF, bild.breite * 4);
    weiss = k.ErzeugeTextur(32, 32, 1, PXFMT_A8R8G8B8, Quelm_TexturVorgabe::AusBild(bild));
  }
  Quelm_SamplerBeschr farbe;
  farbe.filter = 64;
  farbe.adresse = 21;
  farbe.maxAnisotropie = 16;
  farbe.rahmenfarbe[3] = 1;
  farbSampler = k.ErzeugeSampler(farbe);
  Quelm_SamplerBeschr schattenBeschr = farbe;
  schattenBeschr.filter = 5;
  schattenSampler = k.ErzeugeSampler(schattenBeschr);
  Quelm_TiefeZustandBeschr t;
  t.test = t.schreiben = true;
  t.vergleich = 2;
  tiefeZustand = k.ErzeugeTiefeZustand(t);
}

void SzenenRenderer::GibFrei() {
  Quelm_ZeichenKontext* k = Quelm_Screen3D::zeichenKontext;
  if (k)
    for (Quelm_BasisObjekt* o : std::initializer_list<Quelm_BasisObjekt*>{
             szenenZiel, szenenBild, schattenZiel, schattenBild, weiss, farbSampler, schattenSampler, tiefe,
             start, schatten, eingabe, startVertexShader, schattenVertexShader, startPixelShader,
             schattenPixelShader, tiefeZustand})
      k->GibFrei(o);
  szenenZiel = schattenZiel = nullptr;
  szenenBild = schattenBild = weiss = nullptr;
  farbSampler = schattenSampler = nullptr;
  tiefe = nullptr;
  start = schatten = nullptr;
  eingabe = nullptr;
  startVertexShader = schattenVertexShader = nullptr;
  startPixelShader = schattenPixelShader = nullptr;
  tiefeZustand = nullptr;
}

void SzenenRenderer::LadeProgramm(const std::string& name, Quelm_VertexShader*& vs, Quelm_PixelShader*& ps,
                                  Quelm_Programm*& p) {
  const std::filesystem::path daten = gSystem.programmVerzeichnis / "Daten";
  const std::filesystem::path vsPfad = daten / (name + ".vs"), psPfad = daten / (name + ".ps");
  Quelm_ZeichenKontext& k = Kontext();
  const std::string vsText = LiesShader(vsPfad, "VertexShader", "Quelm_ShaderTools::ErzeugeVertexShaderAusDatei");
  vs = k.ErzeugeVertexShader();
  Uebersetze(vs, vsText, vsPfad, "VertexShader");
  const std::string psText = LiesShader(psPfad, "PixelShader", "Quelm_ShaderTools::ErzeugePixelShaderAusDatei");
  ps = k.ErzeugePixelShader();
  Uebersetze(ps, psText, psPfad, "PixelShader");
  p = k.ErzeugeProgramm(eingabe, vs, ps);
}

Matrix SzenenRenderer::LichtMatrix(const Vektor3& ziel, float abstand, Vektor3& richtung) {
  Matrix l = Matrix::Verschiebung(-ziel.x, -ziel.y, -ziel.z);
  l.MultipliziereMatrixLinks(DrehungX(0.26749888f, 0.9635582f));
  l.MultipliziereMatrixLinks(DrehungY(0.9553365f, 0.29552022f));
  l.MultipliziereMatrixLinks(Matrix::Verschiebung(0, 0, abstand));
  richtung = {l(2, 0), l(2, 1), l(2, 2)};
  // Light-space depths from -abstand to +abstand around the target map to 0 to 1.
  const float skala[3] = {2 * 0.4f / abstand, 0.002f, 0.5f / abstand};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) l(r, c) *= skala[r];
  return l;
}

Matrix SzenenRenderer::KameraSicht(const Vektor3& ziel, float abstand, float neigung) {
  Matrix v = Matrix::Verschiebung(-ziel.x, -ziel.y, -ziel.z);
  v.MultipliziereMatrixLinks(DrehungX(std::cos(neigung), std::sin(neigung)));
  v.MultipliziereMatrixLinks(Matrix::Verschiebung(0, 0, abstand));
  return v;
}

Matrix SzenenRenderer::KameraProjektion(float breite, float hoehe) {
  Matrix p;
  p(0, 0) = 1.4616958f;
  p(1, 1) = -1.4616958f * breite / hoehe;
  // far / (far - near) and -near far / (far - near) for near 0.1 and far 1000.
  p(2, 2) = std::bit_cast<float>(0x3F800346u);
  p(2, 3) = std::bit_cast<float>(0xBDCCD20Au);
  p(3, 2) = 1;
  p(3, 3) = 0;
  return p;
}

void SzenenRenderer::PasseGroesseAn(std::uint64_t w, std::uint64_t h) {
  if (szenenBild && szenenBild->breite == w && szenenBild->hoehe == h) return;
  Quelm_ZeichenKontext& k = Kontext();
  k.GibFrei(szenenZiel);
  k.GibFrei(szenenBild);
  k.GibFrei(schattenZiel);
  k.GibFrei(tiefe);
  // Never smaller than either colour buffer.
  tiefe = k.ErzeugeZBuffer(std::max(w, kSchattenKante), std::max(h, kSchattenKante));
  schattenZiel = k.ErzeugeRenderziel(Quelm_RenderzielBeschr(schattenBild, tiefe));
  szenenBild = k.ErzeugeTextur(w, h, 1, kRenderzielFormat);
  szenenZiel = k.ErzeugeRenderziel(Quelm_RenderzielBeschr(szenenBild, tiefe));
}

void SzenenRenderer::Zeichne(const Szene& szene, const Vektor3& kameraZiel, float abstand, float neigung,
                             FilterSatz& filterSatz, std::uint32_t flags) {
  Quelm_ZeichenKontext& k = Kontext();
  const std::uint64_t w = Quelm_Screen3D::modus.width, h = Quelm_Screen3D::modus.height;
  PasseGroesseAn(w, h);

  k.SetRenderZiel(schattenZiel);
  k.SetTiefeZustand(tiefeZustand);
  k.SetAlphaZustand(nullptr);
  k.SetRueckseite(0);
  k.Leeren(3, 0, 0, 0, 0);
  lichtMatrix = LichtMatrix(kameraZiel, abstand, lichtRichtung);
  ZeichneDurchgang(szene, true, lichtMatrix, Matrix::Einheit(), flags);

  k.SetRenderZiel(szenenZiel);
  k.SetTiefeZustand(tiefeZustand);
  k.SetRueckseite(2);
  k.Leeren(3, 0.1f, 0.3f, 0.5f, 0);
  ZeichneDurchgang(szene, false, KameraSicht(kameraZiel, abstand, neigung),
                   KameraProjektion(static_cast<float>(w), static_cast<float>(h)), flags);

  FilterVerwaltung::Ausgabe ausgabe{nullptr, k.bereichX, k.bereichY, k.bereichBreite, k.bereichHoehe};
  filterVerwaltung.ZeichneFilterkette(filterSatz, szenenBild, ausgabe, filterVerwaltung.GibRessourcen());
}

void SzenenRenderer::ZeichneDurchgang(const Szene& szene, bool schattenDurchgang, const Matrix& sicht,
                                      const Matrix& projektion, std::uint32_t flags) {
  Quelm_ZeichenKontext& k = Kontext();
  Quelm_Programm* programm = schattenDurchgang ? schatten : start;
  if (!programm) return;
  k.SetProgramm(programm);
  auto setze = [&](const char* name, auto&& wert) {
    const std::int32_t h = programm->FindeKonstante(name);
    if (Da(h)) k.SetProgrammKonstante(h, wert);
  };
  const std::uint32_t texFarbe = static_cast<std::uint32_t>(programm->FindeSampler("texFarbe"));
  if (!schattenDurchgang) {
    setze("gLichtTransform", lichtMatrix.m);
    const float richtung[4] = {lichtRichtung.x, lichtRichtung.y, lichtRichtung.z, 0};
    const float lichtFarbe[4] = {1.5f, 1.3f, 0.6f, 1.0f};
    const float umFarbe[4] = {0.3f, 0.4f, 0.6f, 1.0f};
    setze("gLichtRichtung", richtung);
    setze("gLichtFarbe", lichtFarbe);
    setze("gUmFarbe", umFarbe);
    k.SetTextur(texFarbe, farbSampler, weiss);
    k.SetTextur(static_cast<std::uint32_t>(programm->FindeSampler("texSchatten")), schattenSampler, schattenBild);
  }
  setze("SichtMatrix", sicht.m);
  setze("ProjMatrix", projektion.m);
  const std::int32_t welt = programm->FindeKonstante("WeltMatrix");
  const Matrix einheit;

  auto zeichne = [&](const NetzPuffer& netz) {
    if (Da(welt)) k.SetProgrammKonstante(welt, einheit.m);
    k.SetVertexBuffer(0, netz.vertexe, sizeof(SzenenVertex));
    k.SetIndexBuffer(netz.indizes);
    k.ZeichneIndexElemente(3, netz.indizes->groesse / 12);
  };
  if ((flags & 1) && szene.netz.vertexe && szene.netz.indizes) zeichne(szene.netz);
  if (flags & 2)
    for (const LandschaftsPuffer& teil : szene.landschaft) {
      if (!teil.netz.vertexe || !teil.netz.indizes) continue;
      k.SetTextur(texFarbe, farbSampler, teil.textur);
      zeichne(teil.netz);
    }
}

}  // namespace Spiel
