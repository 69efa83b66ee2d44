#include "Quelm_BlockShader.h"

#include "Quelm_ZeichenKontext.h"


namespace Quelm_BlockShader {

// Each instance is a quad turned by instParam.x about its pivot; the texture coordinate is
// kept half a texel (of the mip level the size picks) inside the graphic, so neighbours in
// the atlas never bleed in.
const char* const kVertexQuelle =
    "$rein float2 vertexPos;\n"
    "$rein float3 instZielPos;\n"
    "$rein float2 instGroesse;\n"
    "$rein float4 instGrafik;\n"
    "$rein float4 instFarbe;\n"
    "$rein float2 instParam;\n"
    "$raus float4 pos;\n"
    "$raus float4 farbe;\n"
    "$raus float2 tex;\n"
    "$raus float4 klemme;\n"
    "#ifdef NORMALKARTE\n"
    "$raus float4 drehung;\n"
    "#endif\n"
    "\n"
    "float4 gQuellGroesse;\n"
    "float4 gZielGroesse;\n"
    "\n"
    "$main() {\n"
    "  float s, c;\n"
    "  sincos( instParam.x, s, c);\n"
    "  float2 vx = float2( c, s);\n"
    "  float2 vy = float2( -s, c);\n"
    "  float2 quadPos = (vertexPos - instParam.y) * instGroesse;\n"
    "  float2 vpos = instZielPos.xy + quadPos.x * vx + quadPos.y * vy;\n"
    "#if GRAFIK_DIRECTX == 9\n"
    "  vpos += float2( -0.5f, -0.5f);\n"
    "#endif\n"
    "  pos = float4( vpos * gZielGroesse.xy * float2( 2.0f, -2.0f) + float2( -1.0f, 1.0f), instZielPos.z, 1.0f);\n"
    "  farbe = instFarbe;\n"
    "  tex = (instGrafik.xy + vertexPos * instGrafik.zw) * gQuellGroesse.xy;\n"
    "  float r = min( abs( instGroesse.x) / instGrafik.z, abs( instGroesse.y) / instGrafik.w);\n"
    "  r = exp2( floor( log2( r)));\n"
    "  r = 0.5f / clamp( r, 1.0f / 16.0f, 1.0f);\n"
    "  klemme = float4( instGrafik.xy + r, instGrafik.xy + instGrafik.zw - r) * gQuellGroesse.xyxy;\n"
    "#ifdef NORMALKARTE\n"
    "  drehung = float4( vx, vy);\n"
    "#endif\n"
    "}\n";

const char* const kPixelQuelle =
    "$rein float4 farbe;\n"
    "$rein float2 tex;\n"
    "$rein float4 klemme;\n"
    "#ifdef NORMALKARTE\n"
    "$rein float4 drehung;\n"
    "#endif\n"
    "$raus float4 erg;\n"
    "\n"
    "DEF_SAMPLER_2D( Textur);\n"
    "\n"
    "$main() {\n"
    "  float4 t = SAMPLE_2D( Textur, clamp( tex, klemme.xy, klemme.zw)) * farbe;\n"
    "#ifdef NORMALKARTE\n"
    "  float2 n = t.xy * 2.0f - 1.0f;\n"
    "  t.xy = (n.x * drehung.xy + n.y * drehung.zw) * 0.5f + 0.5f;\n"
    "  t.rgb *= abs( t.a);\n"
    "#else\n"
    "  t.rgb *= abs( t.a);\n"
    "  t.a = max( 0.0f, t.a);\n"
    "#endif\n"
    "  erg = t;\n"
    "}\n";

namespace {

Satz gSatz;
bool gProgrammeGut = false;

bool BaueVariante(Quelm_ZeichenKontext& k, Variante& v, bool normalKarte) {
  const Quelm_ShaderDefines defines = normalKarte ? Quelm_ShaderDefines{{"NORMALKARTE", "1"}} : Quelm_ShaderDefines{};
  v.vertexShader = k.ErzeugeVertexShader();
  const bool vsGut = v.vertexShader->UebersetzeAusString(kVertexQuelle, defines);
  v.pixelShader = k.ErzeugePixelShader();
  const bool psGut = v.pixelShader->UebersetzeAusString(kPixelQuelle, defines);
  if (!vsGut || !psGut) return false;
  v.programm = k.ErzeugeProgramm(gSatz.eingabe, v.vertexShader, v.pixelShader);
  if (!v.programm) return false;
  v.quellGroesse = v.programm->FindeKonstante("gQuellGroesse");
  v.zielGroesse = v.programm->FindeKonstante("gZielGroesse");
  v.textur = v.programm->FindeSampler("Textur");
  return true;
}

void Erzeuge(Quelm_ZeichenKontext& k) {
  gSatz.eingabe = k.ErzeugeVertexEingabe();
  gSatz.eingabe->AddKanal(0, KANAL_FLOAT2, 0, false);
  gSatz.eingabe->AddKanal(1, KANAL_FLOAT3, 0, true);
  gSatz.eingabe->AddKanal(1, KANAL_FLOAT2, 12, true);
  gSatz.eingabe->AddKanal(1, KANAL_FLOAT4, 20, true);
  gSatz.eingabe->AddKanal(1, KANAL_FLOAT4, 36, true);
  gSatz.eingabe->AddKanal(1, KANAL_FLOAT2, 52, true);
  gSatz.eingabe->Beenden();
  const bool plainGut = BaueVariante(k, gSatz.varianten[0], false);
  gProgrammeGut = BaueVariante(k, gSatz.varianten[1], true) && plainGut;

  float ecken[8] = {0, 0, 1, 0, 0, 1, 1, 1};
  gSatz.quad = k.ErzeugeVertexBuffer(sizeof ecken, 0, Quelm_PufferDaten{reinterpret_cast<std::uint8_t*>(ecken), sizeof ecken, 0});
  std::uint16_t indizes[6] = {0, 1, 2, 1, 3, 2};
  gSatz.indizes = k.ErzeugeIndexBuffer(1, Quelm_PufferDaten{reinterpret_cast<std::uint8_t*>(indizes), sizeof indizes, 0});
  gSatz.alpha = k.ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr(1, 4));
  Quelm_SamplerBeschr sampler;
  sampler.filter = 64;
  sampler.adresse = 21;
  sampler.maxAnisotropie = 16;
  sampler.rahmenfarbe[3] = 1.0f;
  sampler.maxMipStufe = 0.0f;
  gSatz.sampler = k.ErzeugeSampler(sampler);
}

void GibAllesFrei(Quelm_ZeichenKontext& k) {
  for (Variante& v : gSatz.varianten) {
    k.GibFrei(v.programm);
    k.GibFrei(v.vertexShader);
    k.GibFrei(v.pixelShader);
  }
  for (Quelm_BasisObjekt* o : std::initializer_list<Quelm_BasisObjekt*>{gSatz.eingabe, gSatz.quad, gSatz.indizes,
                                                                         gSatz.alpha, gSatz.sampler})
    k.GibFrei(o);
  gSatz = Satz{};
  gProgrammeGut = false;
}

}  // namespace

bool Nimm() {
  Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext();
  if (!k) return false;
  if (gSatz.nutzer++ == 0) Erzeuge(*k);
  return true;
}

void Gib() {
  if (gSatz.nutzer == 0 || --gSatz.nutzer > 0) return;
  if (Quelm_ZeichenKontext* k = Quelm_BasisObjekt::Kontext()) GibAllesFrei(*k);
  gSatz = Satz{};
  gProgrammeGut = false;
}

const Satz* Aktuell() { return gSatz.nutzer > 0 && gProgrammeGut ? &gSatz : nullptr; }

}  // namespace Quelm_BlockShader
