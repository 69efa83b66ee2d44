// The Direct3D 9 backend on the recording device: device creation, the second shadow level,
// buffered constants, stream frequencies, the scene, reset and read-back.
#include "RenderTestHilfen.h"

#include <gmock/gmock.h>

#include <cstring>

namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

class DX9 : public AufzeichnungsTest {
 protected:
  // The context made anew on the device as the test has prepared it, with its log collected.
  void NeuerKontext() {
    SchliesseKontext();
    steuerung->LeereProtokoll();
    sammler->zeilen.clear();
    kontext = new Quelm_ZeichenKontext();
    Quelm_Screen3D::zeichenKontext = kontext;
  }
  // The successful calls of `methode` since the last look, each as its text between `marke`
  // and the result ("ZFUNC, 4" after "D3DRS_"); the log starts over.
  std::vector<std::string> Gesendet(const char* methode, const std::string& marke) {
    std::vector<std::string> z;
    for (const std::string& a : Aufrufe(methode)) {
      const std::size_t von = a.find(marke), bis = a.rfind(") = D3D_OK");
      const bool gefunden = von != std::string::npos && bis != std::string::npos;
      z.push_back(gefunden ? a.substr(von + marke.size(), bis - von - marke.size()) : a);
    }
    steuerung->LeereProtokoll();
    return z;
  }
  std::vector<std::string> Zustaende() { return Gesendet("SetRenderState", "D3DRS_"); }
  // Draws once and returns the constant uploads that caused, vertex before pixel.
  std::vector<std::string> Hochgeladen() {
    steuerung->LeereProtokoll();
    kontext->ZeichneIndexElemente(PRIMITIV_DREIECKE, 2);
    std::vector<std::string> hoch = Aufrufe("SetVertexShaderConstantF");
    for (const std::string& p : Aufrufe("SetPixelShaderConstantF")) hoch.push_back(p);
    return hoch;
  }
};

// Constant handles as a program hands them out: 0xFFF in the field of the shader that lacks the name.
constexpr std::int32_t VS(std::int32_t r) { return 0xFFF000 | r; }
constexpr std::int32_t PS(std::int32_t r) { return (r << 12) | 0xFFF; }

// --- Device creation -------------------------------------------------------------------------

TEST_F(DX9, GeraetWaehltTiefenformatAdapterUndFaehigkeiten) {
  // Windowed: the device takes the window's size.
  EXPECT_EQ(kontext->impl.darstellung.BackBufferWidth, steuerung->fensterBreite);
  EXPECT_EQ(kontext->impl.rueckpuffer.get(), kontext->impl.gebundeneFarbe[0]);
  const std::uint64_t refVsync = Quelm_Screen3D::Referenzgeraet | Quelm_Screen3D::VSync;
  const struct {
    std::set<D3DFORMAT> fehlend;
    std::vector<std::string> adapter;
    std::uint64_t flags;
    D3DFORMAT tiefe;
    DWORD intervall;
    const char *erzeugung, *meldung;
  } faelle[] = {
      {{}, {"A"}, 0, D3DFMT_D32, D3DPRESENT_INTERVAL_IMMEDIATE, "(0, D3DDEVTYPE_HAL, null, 0x52,",
       "Quelm_Screen3D::Init(...): 32Bit-ZBuffer gewählt"},
      {{D3DFMT_D32}, {"A"}, refVsync, D3DFMT_D24X8, D3DPRESENT_INTERVAL_ONE, "(0, D3DDEVTYPE_REF, null, 0x52",
       "Quelm_Screen3D::Init(...): 24Bit-ZBuffer gewählt"},
      {{D3DFMT_D32, D3DFMT_D24X8}, {"A"}, 0, D3DFMT_D16, D3DPRESENT_INTERVAL_IMMEDIATE, "(0, D3DDEVTYPE_HAL,",
       "Quelm_Screen3D::Init(...): 16Bit-ZBuffer gewählt"},
      {{}, {"A", "NVIDIA PerfHUD"}, 0, D3DFMT_D32, D3DPRESENT_INTERVAL_IMMEDIATE, "(1, D3DDEVTYPE_REF,",
       "NVPerfHUD gefunden, benutze PerfHUD-Adapter 1"},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.meldung);
    steuerung->fehlendeFormate = f.fehlend;
    steuerung->adapter = f.adapter;
    Quelm_Screen3D::modusFlags = f.flags;
    NeuerKontext();
    EXPECT_EQ(kontext->impl.darstellung.AutoDepthStencilFormat, f.tiefe);
    EXPECT_EQ(kontext->impl.darstellung.PresentationInterval, f.intervall);
    EXPECT_TRUE(Geloggt(f.meldung));
    ASSERT_EQ(Anzahl("CreateDevice"), 1u);
    EXPECT_NE(Aufrufe("CreateDevice")[0].find(f.erzeugung), std::string::npos) << Aufrufe("CreateDevice")[0];
  }
  // Anisotropy only where the device filters so.
  EXPECT_EQ(kontext->maxAnisotropie, 16u);
  steuerung->caps.TextureFilterCaps &= ~D3DPTFILTERCAPS_MINFANISOTROPIC;
  NeuerKontext();
  EXPECT_EQ(kontext->maxAnisotropie, 0u);
}

TEST_F(DX9, OhneGeraetWirdGemeldetUndDerKontextBleibtBenutzbar) {
  steuerung->SkriptiereErgebnis("CreateDevice", E_FAIL);
  NeuerKontext();
  // The screen asks HatGeraet and fails its start on false.
  EXPECT_FALSE(kontext->HatGeraet());
  EXPECT_TRUE(Geloggt("!Quelm_ZeichenKontextImplDX9::Quelm_ZeichenKontextImplDX9(): "
                      "Failed to create Direct3D device."));
  EXPECT_TRUE(FehlerGeloggt("DirectX device creation failed."));
  // Nothing below may touch the missing device.
  kontext->Leeren(3, 0, 0, 0, 1);
  kontext->SetRueckseite(1);
  EXPECT_FALSE(kontext->impl.Zuruecksetzen());
}

// --- Second shadow level ---------------------------------------------------------------------

TEST_F(DX9, NurGeaenderteRenderzustaendeGehenAnsGeraet) {
  Quelm_AlphaZustandBeschr gemischt(2, 4);
  gemischt.ziele[0].alphaQuelle = 1;
  gemischt.ziele[0].alphaZiel = 0;
  gemischt.ziele[0].farbOperation = 4;    // max
  gemischt.ziele[0].schreibMaske = 0x17;  // only four bits count
  Quelm_AlphaZustand* a = kontext->ErzeugeAlphaZustand(Quelm_AlphaZustandBeschr(1, 1));
  Quelm_AlphaZustand* b = kontext->ErzeugeAlphaZustand(gemischt);

  // The write mask 15 was already set by the default.
  kontext->SetzeZaehlerZurueck();
  kontext->SetAlphaZustand(a);
  EXPECT_THAT(Zustaende(), UnorderedElementsAre("ALPHABLENDENABLE, 1", "BLENDOP, 1", "SRCBLEND, 2",
                                                "DESTBLEND, 2", "SEPARATEALPHABLENDENABLE, 0"));
  kontext->SetAlphaZustand(a);  // the same object again: not even counted
  EXPECT_TRUE(Zustaende().empty());
  kontext->SetAlphaZustand(b);
  EXPECT_THAT(Zustaende(), UnorderedElementsAre("BLENDOP, 5", "SRCBLEND, 5", "DESTBLEND, 6",
                                                "SEPARATEALPHABLENDENABLE, 1", "BLENDOPALPHA, 1",
                                                "SRCBLENDALPHA, 2", "DESTBLENDALPHA, 1",
                                                "COLORWRITEENABLE, 7"));
  // Back to the default: blending off; the blend factors are not sent while it is off.
  kontext->SetAlphaZustand(nullptr);
  kontext->SetAlphaZustand(nullptr);
  EXPECT_THAT(Zustaende(), ElementsAre("ALPHABLENDENABLE, 0", "COLORWRITEENABLE, 15"));
  EXPECT_EQ(kontext->zaehler.alphaZustaende, 3);

  // Each alpha field that differs from its colour twin makes alpha separate.
  for (std::uint32_t Quelm_AlphaZustandBeschr::Ziel::*feld :
       {&Quelm_AlphaZustandBeschr::Ziel::alphaOperation, &Quelm_AlphaZustandBeschr::Ziel::alphaQuelle,
        &Quelm_AlphaZustandBeschr::Ziel::alphaZiel}) {
    Quelm_AlphaZustandBeschr einzeln(2, 4);
    einzeln.ziele[0].*feld = 3;
    EXPECT_TRUE(kontext->ErzeugeAlphaZustand(einzeln)->separatesAlpha);
  }

  kontext->SetTiefeZustand(nullptr);  // the default is current since construction
  EXPECT_EQ(kontext->zaehler.tiefeZustaende, 0);
  kontext->SetTiefeZustand(kontext->ErzeugeTiefeZustand(Quelm_TiefeZustandBeschr{true, true, 9}));
  kontext->SetTiefeZustand(nullptr);
  // 9 is out of range: always.
  EXPECT_THAT(Zustaende(), UnorderedElementsAre("ZENABLE, 1", "ZWRITEENABLE, 1", "ZFUNC, 8", "ZENABLE, 0",
                                                "ZWRITEENABLE, 0", "ZFUNC, 4"));
  kontext->SetRueckseite(2);
  kontext->SetRueckseite(2);
  EXPECT_THAT(Zustaende(), ElementsAre("CULLMODE, 3"));
  EXPECT_EQ(kontext->zaehler.rueckseiten, 1);

  // A state the device refused is not sent again.
  steuerung->SkriptiereErgebnis("SetRenderState", D3DERR_INVALIDCALL);
  kontext->SetTiefeZustand(kontext->ErzeugeTiefeZustand(Quelm_TiefeZustandBeschr{true, false, 2}));
  EXPECT_TRUE(FehlerGeloggt("ZBuffer-Test-Einstellung gescheitert"));
  EXPECT_EQ(kontext->impl.renderZustaende[Quelm_ZeichenKontextImplDX9::RZ_ZTEST], 1u);
}

TEST_F(DX9, SamplerZustaendeNurBeiAenderung) {
  Quelm_Textur* textur = kontext->ErzeugeTextur(16, 16, 1, PXFMT_A8R8G8B8 | FLAG_DYNAMISCH);
  Quelm_SamplerBeschr b;
  b.filter = 0x40;
  b.adresse = 2;  // border on U
  b.maxAnisotropie = 8;
  const float rahmen[4] = {1.2f, -0.5f, 0.5f, 1.0f};  // clamped per channel
  std::copy(rahmen, rahmen + 4, b.rahmenfarbe);
  b.maxMipStufe = 0.2f;
  Quelm_Sampler* rand = kontext->ErzeugeSampler(b);
  Quelm_Sampler* wickeln = kontext->ErzeugeSampler(Quelm_SamplerBeschr{});
  b = Quelm_SamplerBeschr{};
  b.filter = 5;               // linear, mip levels by point
  b.adresse = 3 | (2 << 4);  // 3 means nothing: wrap; border on W only
  b.maxMipStufe = 2.0f;
  Quelm_Sampler* linear = kontext->ErzeugeSampler(b);
  steuerung->LeereProtokoll();

  kontext->SetTextur(0xFF03, rand, textur);  // pixel sampler 3
  EXPECT_EQ(Anzahl("SetTexture"), 1u);
  EXPECT_THAT(Gesendet("SetSamplerState", "(3, D3DSAMP_"),
              UnorderedElementsAre("ADDRESSU, 4", "ADDRESSV, 1", "MINFILTER, 3", "MAGFILTER, 2",
                                   "MIPFILTER, 2", "BORDERCOLOR, " + std::to_string(0xFFFF0080u),
                                   "MAXANISOTROPY, 8", "MAXMIPLEVEL, 1"));
  kontext->SetTextur(0xFF03, rand, textur);
  EXPECT_EQ(Anzahl("SetSamplerState") + Anzahl("SetTexture"), 0u);

  // Wrap everywhere sets no border colour; point filtering no anisotropy.
  kontext->SetTextur(0xFF03, wickeln, textur);
  EXPECT_THAT(Gesendet("SetSamplerState", "(3, D3DSAMP_"),
              UnorderedElementsAre("ADDRESSU, 1", "ADDRESSV, 1", "MINFILTER, 1", "MAGFILTER, 1",
                                   "MIPFILTER, 1", "MAXMIPLEVEL, 0"));
  kontext->SetTextur(0xFF03, linear, textur);
  EXPECT_THAT(Gesendet("SetSamplerState", "(3, D3DSAMP_"),
              UnorderedElementsAre("ADDRESSU, 1", "ADDRESSV, 1", "MINFILTER, 2", "MAGFILTER, 2",
                                   "MIPFILTER, 1", "BORDERCOLOR, 0", "MAXMIPLEVEL, 2"));

  // Vertex sampler 1 in the high byte; stages outside the ranges are refused.
  steuerung->LeereProtokoll();
  kontext->SetTextur(0x01FF, nullptr, textur);
  ASSERT_EQ(Anzahl("SetTexture"), 1u);
  EXPECT_EQ(Aufrufe("SetTexture")[0].rfind("SetTexture(258, Textur#", 0), 0u) << Aufrufe("SetTexture")[0];
  kontext->SetTextur(0x04FF, nullptr, textur);
  kontext->SetTextur(0xFF10, nullptr, textur);
  EXPECT_EQ(Anzahl("SetTexture"), 1u);
  EXPECT_TRUE(FehlerGeloggt("Ungültiger Sampler"));
  kontext->SetTextur(0xFFFF, nullptr, textur);
  EXPECT_EQ(Anzahl("SetTexture"), 1u);
}

// --- Constants -------------------------------------------------------------------------------

TEST_F(DX9, KonstantenGehenAlsEinBereichHochUndNurEinmal) {
  BereiteZeichnenVor();
  kontext->SetProgrammKonstante(VS(3), 1, 2, 3, 4);
  kontext->SetProgrammKonstante(VS(10), 5, 6, 7, 8);
  kontext->SetProgrammKonstante(0xFFFFFF, 9, 9, 9, 9);  // a name neither shader has
  const auto hoch = Hochgeladen();
  ASSERT_EQ(hoch.size(), 1u);
  EXPECT_EQ(hoch[0].rfind("SetVertexShaderConstantF(3, 8, {1 2 3 4}, {0 0 0 0}", 0), 0u) << hoch[0];
  EXPECT_NE(hoch[0].find("{5 6 7 8}) = D3D_OK"), std::string::npos);

  EXPECT_TRUE(Hochgeladen().empty());
  EXPECT_EQ(kontext->zaehler.konstanten, 3);

  // Pixel registers in the upper field, also as one range from the lowest.
  kontext->SetProgrammKonstante(PS(7), 1, 1, 1, 1);
  kontext->SetProgrammKonstante(PS(8), 2, 2, 2, 2);
  EXPECT_EQ(Hochgeladen(),
            std::vector<std::string>{"SetPixelShaderConstantF(7, 2, {1 1 1 1}, {2 2 2 2}) = D3D_OK"});

  // A matrix fits at 252, not at 253.
  sammler->zeilen.clear();
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(i);
  kontext->SetProgrammKonstante(VS(253), m);
  EXPECT_TRUE(FehlerGeloggt("Ungültiger Konstantenindex"));
  kontext->SetProgrammKonstante(PS(221), m);
  kontext->SetProgrammKonstante(VS(256), 1, 2, 3, 4);
  EXPECT_TRUE(Hochgeladen().empty());

  // Row-major in, one column of the original per register: the shader sees it transposed.
  kontext->SetProgrammKonstante((220 << 12) | 252, m);
  const std::string spalten = "{0 4 8 12}, {1 5 9 13}, {2 6 10 14}, {3 7 11 15}) = D3D_OK";
  EXPECT_EQ(Hochgeladen(), (std::vector<std::string>{"SetVertexShaderConstantF(252, 4, " + spalten,
                                                      "SetPixelShaderConstantF(220, 4, " + spalten}));
}

// --- Streams, scene and draws ----------------------------------------------------------------

TEST_F(DX9, InstanzenSetzenDieStromfrequenzenUndZurueckAuf1) {
  BereiteZeichnenVor(true);
  steuerung->LeereProtokoll();
  kontext->ZeichneIndexInstanzen(5);
  // Four vertices of 24 bytes, one quad per instance.
  EXPECT_EQ(Aufrufe("DrawIndexedPrimitive"),
            std::vector<std::string>{"DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2) = D3D_OK"});
  EXPECT_EQ(kontext->zaehler.instanzZeichnungen, 1);
  // Indexed data for 5 instances, instance data once per instance.
  EXPECT_THAT(Gesendet("SetStreamSourceFreq", "("), UnorderedElementsAre("0, 0x40000005", "1, 0x80000001"));
  kontext->ZeichneIndexInstanzen(5);
  EXPECT_EQ(Anzahl("SetStreamSourceFreq"), 0u);

  kontext->ZeichneIndexElemente(PRIMITIV_DREIECKSSTREIFEN, 2);
  EXPECT_EQ(Aufrufe("DrawIndexedPrimitive")[1], "DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2) = D3D_OK");
  const auto zurueck = UnorderedElementsAre("0, 0x1", "1, 0x1");
  EXPECT_THAT(Gesendet("SetStreamSourceFreq", "("), zurueck);

  // A program with fewer streams must not leave stream 1 on instance data either.
  kontext->ZeichneIndexInstanzen(5);
  Quelm_VertexEingabe* einStrom = kontext->ErzeugeVertexEingabe();
  einStrom->AddKanal(0, KANAL_FLOAT4, 0, false);
  einStrom->Beenden();
  Quelm_Programm* schlicht = kontext->ErzeugeProgramm(einStrom, vertexShader, pixelShader);
  kontext->SetProgramm(schlicht);
  steuerung->LeereProtokoll();
  kontext->ZeichneIndexElemente(PRIMITIV_DREIECKE, 2);
  EXPECT_THAT(Gesendet("SetStreamSourceFreq", "("), zurueck);
}

TEST_F(DX9, DieSzeneOeffnetSichEinmalProBild) {
  BereiteZeichnenVor();
  kontext->Leeren(3, 0, 0, 0, 1);
  EXPECT_EQ(Anzahl("BeginScene"), 0u);
  kontext->ZeichneElemente(PRIMITIV_DREIECKE, 1);
  kontext->ZeichneIndexElemente(PRIMITIV_DREIECKE, 2);
  EXPECT_EQ(Anzahl("BeginScene"), 1u);

  // What the frame loop does before presenting.
  kontext->impl.geraet->EndScene();
  kontext->impl.szeneOffen = false;
  kontext->ZeichneElemente(PRIMITIV_LINIEN, 1);
  EXPECT_EQ(Anzahl("BeginScene"), 2u);
  EXPECT_EQ(Aufrufe("DrawPrimitive").back(), "DrawPrimitive(D3DPT_LINELIST, 0, 1) = D3D_OK");

  kontext->ZeichneElemente(17, 1);
  EXPECT_TRUE(FehlerGeloggt("Moep"));
  EXPECT_EQ(Aufrufe("DrawPrimitive").back(), "DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1) = D3D_OK");
}

TEST_F(DX9, ZeichnenOhneProgrammOderPufferWirdGemeldetUndUebersprungen) {
  kontext->ZeichneIndexElemente(PRIMITIV_DREIECKE, 2);
  EXPECT_TRUE(FehlerGeloggt("Zeichnen ohne Programm"));

  programm = BaueProgramm();
  kontext->SetProgramm(programm);
  kontext->ZeichneElemente(PRIMITIV_DREIECKE, 2);
  kontext->ZeichneIndexInstanzen(3);
  EXPECT_TRUE(FehlerGeloggt("Zeichnen ohne VertexBuffer auf Kanal 0"));

  // A layout whose stream 0 has no channel gives stride 0: nothing to divide by.
  Quelm_VertexEingabe* nurInstanzen = kontext->ErzeugeVertexEingabe();
  nurInstanzen->AddKanal(1, KANAL_FLOAT4, 0, true);
  nurInstanzen->Beenden();
  Quelm_Programm* ohneSchritt = kontext->ErzeugeProgramm(nurInstanzen, vertexShader, pixelShader);
  Quelm_VertexBuffer* puffer = kontext->ErzeugeVertexBuffer(96, FLAG_DYNAMISCH);
  kontext->SetProgramm(ohneSchritt);
  kontext->SetVertexBuffer(0, puffer, 16);
  kontext->ZeichneIndexElemente(PRIMITIV_DREIECKE, 2);
  EXPECT_TRUE(FehlerGeloggt("Zeichnen mit Vertexgröße 0"));

  EXPECT_EQ(Anzahl("DrawPrimitive") + Anzahl("DrawIndexedPrimitive"), 0u);
  EXPECT_EQ(Anzahl("BeginScene"), 0u);
  EXPECT_EQ(kontext->zaehler.zeichnungen + kontext->zaehler.instanzZeichnungen, 0);
}

TEST_F(DX9, ProgrammBindetDeklarationUndShaderNurBeiAenderung) {
  programm = BaueProgramm();
  Quelm_Programm* zweites = kontext->ErzeugeProgramm(eingabe, vertexShader, pixelShader);
  kontext->SetProgramm(programm);
  // Another program with the same layout and shaders changes nothing on the device.
  kontext->SetProgramm(zweites);
  EXPECT_EQ(Anzahl("SetVertexDeclaration"), 1u);
  EXPECT_EQ(Anzahl("SetVertexShader"), 1u);
  EXPECT_EQ(Anzahl("SetPixelShader"), 1u);
  EXPECT_EQ(kontext->zaehler.programme, 2);
}

// --- Reset -----------------------------------------------------------------------------------

// A video-memory resource that notes when it is released and restored.
class Protokollant : public Quelm_BasisObjekt {
 public:
  explicit Protokollant(std::vector<std::string>& log) : log_(log) { zustand = ZUSTAND_RESIDENT; }
  bool BelegtVideoRAM() override { return true; }
  void Freigeben() override {
    log_.push_back("Freigeben " + std::to_string(AllocID));
    zustand = ZUSTAND_FREIGEGEBEN;
  }
  void Wiederherstellen() override {
    log_.push_back("Wiederherstellen " + std::to_string(AllocID));
    zustand = ZUSTAND_RESIDENT;
  }
  void Auslagern() override { Freigeben(); }

 private:
  std::vector<std::string>& log_;
};

TEST_F(DX9, ResetNachVerlorenemGeraetMitFreigabeUndWiederherstellungInIdReihenfolge) {
  std::vector<std::string> log;
  BereiteZeichnenVor();
  auto* a = new Protokollant(log);
  auto* b = new Protokollant(log);
  kontext->Registriere(a);
  kontext->Registriere(b);
  Quelm_ZBuffer* tiefe = kontext->ErzeugeZBuffer(64, 64);
  kontext->GibFrei(a);  // its id goes to the next resource, behind b's
  auto* c = new Protokollant(log);
  kontext->Registriere(c);
  ASSERT_LT(c->AllocID, b->AllocID);
  kontext->ZeichneElemente(PRIMITIV_DREIECKE, 1);
  steuerung->LeereProtokoll();
  sammler->zeilen.clear();

  steuerung->VerliereGeraet(1);  // the first reset still finds the device lost
  kontext->impl.geraetVerloren = true;
  ASSERT_TRUE(kontext->impl.Zuruecksetzen());
  EXPECT_FALSE(kontext->impl.geraetVerloren);
  EXPECT_EQ(Anzahl("Reset"), 2u);
  EXPECT_EQ(Anzahl("EndScene"), 1u);
  EXPECT_FALSE(kontext->impl.szeneOffen);

  const std::vector<std::string> reihenfolge = {
      "Freigeben " + std::to_string(c->AllocID), "Freigeben " + std::to_string(b->AllocID),
      "Wiederherstellen " + std::to_string(c->AllocID), "Wiederherstellen " + std::to_string(b->AllocID)};
  EXPECT_EQ(log, reihenfolge);
  // Buffers come back lazily, the depth buffer at once.
  EXPECT_FALSE(vertexe->IstResident());
  EXPECT_TRUE(tiefe->IstResident());

  // The back buffer is bound again and the shadow starts over.
  EXPECT_EQ(Anzahl("SetRenderTarget"), 1u);
  EXPECT_EQ(kontext->impl.gebundeneFarbe[0], kontext->impl.rueckpuffer.get());

  // Everything is sent again: the program, the buffer (re-created) and the states.
  kontext->SetProgramm(programm);
  kontext->SetVertexBuffer(0, vertexe);
  kontext->SetAlphaZustand(nullptr);
  EXPECT_EQ(Anzahl("SetVertexDeclaration"), 1u);
  EXPECT_EQ(Anzahl("CreateVertexBuffer"), 1u);
  EXPECT_EQ(Anzahl("SetStreamSource"), 1u);
  EXPECT_GT(Anzahl("SetRenderState"), 0u);
}

TEST_F(DX9, ResetGibtNachBegrenztenVersuchenAufUndLaesstDasFlagStehen) {
  Quelm_ZBuffer* tiefe = kontext->ErzeugeZBuffer(64, 64);
  steuerung->VerliereGeraet();  // lost until made resettable
  EXPECT_FALSE(kontext->impl.Zuruecksetzen());
  EXPECT_TRUE(kontext->impl.geraetVerloren);
  EXPECT_EQ(Anzahl("Reset"), static_cast<std::size_t>(Quelm_ZeichenKontextImplDX9::kResetVersuche));
  EXPECT_TRUE(FehlerGeloggt("D3D9-Reset gescheitert"));
  EXPECT_FALSE(tiefe->IstResident());
}

TEST_F(DX9, ResetNimmtDenAktuellenModus) {
  Quelm_Screen3D::modus = {800, 600, 1, 75};
  Quelm_Screen3D::modusFlags = Quelm_Screen3D::Vollbild | Quelm_Screen3D::VSync;
  ASSERT_TRUE(kontext->impl.Zuruecksetzen());
  const D3DPRESENT_PARAMETERS& d = kontext->impl.darstellung;
  EXPECT_EQ(std::tuple(d.BackBufferWidth, d.BackBufferHeight, d.FullScreen_RefreshRateInHz),
            std::tuple(800u, 600u, 75u));
  EXPECT_EQ(std::tuple(d.BackBufferFormat, d.Windowed, d.PresentationInterval),
            std::tuple(D3DFMT_R5G6B5, FALSE, D3DPRESENT_INTERVAL_ONE));
  EXPECT_EQ(kontext->zielBreite, 800u);

  // Back to a window: no refresh rate; the device's own cull mode is replaced again.
  Quelm_Screen3D::modusFlags = 0;
  ASSERT_TRUE(kontext->impl.Zuruecksetzen());
  EXPECT_EQ(std::tuple(d.Windowed, d.FullScreen_RefreshRateInHz), std::tuple(TRUE, 0u));
  steuerung->LeereProtokoll();
  kontext->SetRueckseite(0);
  EXPECT_THAT(Zustaende(), ElementsAre("CULLMODE, 1"));
}

// --- Read-back -------------------------------------------------------------------------------

TEST_F(DX9, UnlesbarerRueckpufferWirdGemeldet) {
  steuerung->SkriptiereErgebnis("GetBackBuffer", D3DERR_INVALIDCALL);
  std::vector<std::uint32_t> bild(4 * 4);
  EXPECT_FALSE(kontext->impl.LiesBildschirmInhalt(
      TBereich(reinterpret_cast<std::uint8_t*>(bild.data()), PXFMT_A8R8G8B8, 4, 4, 16)));
  EXPECT_TRUE(FehlerGeloggt("Failed to get backbuffer."));
}

}  // namespace
