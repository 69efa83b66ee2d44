#pragma once
// Shared set-up of the render tests: a render context on the recording device, without a
// window, reachable as the screen's context as the resources expect it.
#include "D3DXPuffer.h"
#include "ProtokollSammler.h"
#include "Quelm_Screen3D.h"
#include "Quelm_ZeichenKontext.h"
#include "Quelm_Zeitbasis.h"
#include "Quelm_Zeitgeber.h"
#include "ShaderBlobHilfe.h"
#include "d3d9/D3D9Steuerung.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace D3D9 = Plattform::D3D9;

// Compiled code as the shader compiler would hand it over (no GLSL needed by the recorder).
inline ID3DXBuffer* ShaderCode(Plattform::ShaderStufe stufe) {
  const std::vector<std::uint8_t> bytes = Plattform::SerialisiereShaderBlob(TestBlob(stufe));
  return Plattform::D3dx::D3DXPuffer::AusBytes(bytes.data(), bytes.size());
}

inline std::int64_t Sekunden(double s) { return static_cast<std::int64_t>(s * Quelm_TicksProSekundeD); }

// Fills the context's back buffer (`breite` x `hoehe`) with 0xFF000000 | y << 8 | x.
inline void SchreibeRueckpufferMuster(Quelm_ZeichenKontext* kontext, int breite, int hoehe) {
  IDirect3DSurface9* rp = kontext->impl.rueckpuffer.get();
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(rp->LockRect(&lr, nullptr, 0), D3D_OK);
  for (int y = 0; y < hoehe; ++y)
    for (int x = 0; x < breite; ++x) {
      const std::uint32_t p = 0xFF000000u | static_cast<std::uint32_t>(y << 8 | x);
      std::memcpy(static_cast<std::uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &p, 4);
    }
  rp->UnlockRect();
}

class AufzeichnungsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AktiviereProtokoll(ordner.pfad());
    sammler = std::make_unique<ZeilenSammler>();
    steuerung = std::make_shared<D3D9::Steuerung>();
    D3D9::InstalliereSteuerung(steuerung, D3D9::Backend::Aufzeichnung);
    Quelm_Screen3D::modus = {1280, 720, 0, 0};
    Quelm_Screen3D::modusFlags = 0;
    Quelm_Screen3D::nativesFenster = nullptr;
    gZeitgeber.zeit = 0;
    VorDemKontext();
    kontext = new Quelm_ZeichenKontext();
    Quelm_Screen3D::zeichenKontext = kontext;
    steuerung->LeereProtokoll();
    sammler->zeilen.clear();
  }

  void TearDown() override {
    SchliesseKontext();
    D3D9::EntferneSteuerung();
    gZeitgeber.zeit = 0;
  }

  // For tests that prepare the recording device before the context creates it.
  virtual void VorDemKontext() {}

  void SchliesseKontext() {
    delete kontext;
    kontext = nullptr;
    Quelm_Screen3D::zeichenKontext = nullptr;
  }

  std::vector<std::string> Texte() const { return sammler->Texte(); }
  bool Geloggt(const std::string& text) const { return std::ranges::count(Texte(), text) > 0; }
  bool FehlerGeloggt(const std::string& meldung) const {
    const std::string anfang = "!Ausnahme \"" + meldung + "\"";
    return std::ranges::any_of(Texte(), [&](const std::string& t) { return t.starts_with(anfang); });
  }
  std::vector<std::string> Aufrufe(const char* methode) const { return steuerung->Zeilen(methode); }
  std::size_t Anzahl(const char* methode) const { return steuerung->Anzahl(methode); }

  // A layout of position (Float4) and texture coordinate (Float2) on stream 0, optionally a
  // per-instance Float4x4 on stream 1, with two compiled shaders.
  Quelm_Programm* BaueProgramm(bool mitInstanzen = false) {
    eingabe = kontext->ErzeugeVertexEingabe();
    eingabe->AddKanal(0, KANAL_FLOAT4, 0, false);
    eingabe->AddKanal(0, KANAL_FLOAT2, 16, false);
    if (mitInstanzen) eingabe->AddKanal(1, KANAL_FLOAT4X4, 0, true);
    eingabe->Beenden();
    vertexShader = kontext->ErzeugeVertexShader();
    vertexShader->code.reset(ShaderCode(Plattform::ShaderStufe::Vertex));
    EXPECT_TRUE(vertexShader->InternErzeugeShader(false));
    pixelShader = kontext->ErzeugePixelShader();
    pixelShader->code.reset(ShaderCode(Plattform::ShaderStufe::Pixel));
    EXPECT_TRUE(pixelShader->InternErzeugeShader(false));
    return kontext->ErzeugeProgramm(eingabe, vertexShader, pixelShader);
  }

  // A program with its stream-0 buffer (four vertices of 24 bytes) and a six-index buffer bound.
  void BereiteZeichnenVor(bool mitInstanzen = false) {
    programm = BaueProgramm(mitInstanzen);
    kontext->SetProgramm(programm);
    vertexe = kontext->ErzeugeVertexBuffer(96, 0, Quelm_PufferDaten{nullptr, 96, 0});
    kontext->SetVertexBuffer(0, vertexe);
    if (mitInstanzen) {
      instanzen = kontext->ErzeugeVertexBuffer(5 * 64, FLAG_DYNAMISCH);
      kontext->SetVertexBuffer(1, instanzen);
    }
    indizes = kontext->ErzeugeIndexBuffer(1, Quelm_PufferDaten{nullptr, 12, 0});
    kontext->SetIndexBuffer(indizes);
  }

  TempOrdner ordner;
  std::unique_ptr<ZeilenSammler> sammler;
  std::shared_ptr<D3D9::Steuerung> steuerung;
  Quelm_ZeichenKontext* kontext = nullptr;

  Quelm_VertexEingabe* eingabe = nullptr;
  Quelm_VertexShader* vertexShader = nullptr;
  Quelm_PixelShader* pixelShader = nullptr;
  Quelm_Programm* programm = nullptr;
  Quelm_VertexBuffer* vertexe = nullptr;
  Quelm_VertexBuffer* instanzen = nullptr;
  Quelm_IndexBuffer* indizes = nullptr;
};
