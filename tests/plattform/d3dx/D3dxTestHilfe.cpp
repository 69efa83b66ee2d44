#include "D3dxTestHilfe.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <gtest/gtest.h>

namespace d3dxtest {

D3DXHANDLE Ergebnis::Handle(const std::string& name) const {
  if (!tabelle) return nullptr;
  D3DXCONSTANTTABLE_DESC t{};
  tabelle->GetDesc(&t);
  for (UINT i = 0; i < t.Constants; ++i) {
    D3DXHANDLE h = tabelle->GetConstant(nullptr, i);
    D3DXCONSTANT_DESC d{};
    UINT n = 1;
    if (SUCCEEDED(tabelle->GetConstantDesc(h, &d, &n)) && name == d.Name) return h;
  }
  return nullptr;
}

D3DXCONSTANT_DESC Ergebnis::Konstante(const std::string& name) const {
  D3DXCONSTANT_DESC d{};
  D3DXHANDLE h = Handle(name);
  EXPECT_NE(h, nullptr) << "constant " << name << " missing";
  UINT n = 1;
  if (h) tabelle->GetConstantDesc(h, &d, &n);
  return d;
}

const Plattform::RegisterSpanne* Ergebnis::Spanne(std::uint32_t r) const {
  for (const auto& s : blob.spannen)
    if (s.register_ == r) return &s;
  return nullptr;
}

namespace {

void Entpacke(Ergebnis& e, ID3DXBuffer* code, ID3DXBuffer* meldungen, ID3DXConstantTable* tabelle) {
  e.tabelle.reset(tabelle);
  if (meldungen) {
    e.meldungen = static_cast<const char*>(meldungen->GetBufferPointer());
    meldungen->Release();
  }
  if (code) {
    auto* p = static_cast<const std::uint8_t*>(code->GetBufferPointer());
    e.code.assign(p, p + code->GetBufferSize());
    EXPECT_TRUE(Plattform::LeseShaderBlob(e.code.data(), e.blob));
    code->Release();
  }
}

}  // namespace

Ergebnis Uebersetze(const std::string& hlsl, const char* profil, const D3DXMACRO* makros,
                    DWORD flags, ID3DXInclude* einbindung) {
  Ergebnis e;
  ID3DXBuffer *code = nullptr, *meldungen = nullptr;
  ID3DXConstantTable* tabelle = nullptr;
  e.hr = D3DXCompileShader(hlsl.c_str(), static_cast<UINT>(hlsl.size() + 1), makros, einbindung,
                           "main", profil, flags, &code, &meldungen, &tabelle);
  Entpacke(e, code, meldungen, tabelle);
  return e;
}

Ergebnis UebersetzeDatei(const std::string& datei, const char* profil, DWORD flags) {
  Ergebnis e;
  ID3DXBuffer *code = nullptr, *meldungen = nullptr;
  ID3DXConstantTable* tabelle = nullptr;
  e.hr = D3DXCompileShaderFromFileA(datei.c_str(), nullptr, nullptr, "main", profil, flags, &code,
                                    &meldungen, &tabelle);
  Entpacke(e, code, meldungen, tabelle);
  return e;
}

namespace {

std::unique_ptr<glslang::TShader> Parse(const std::string& glsl, EShLanguage stufe,
                                        std::string& log) {
  [[maybe_unused]] static const bool gestartet = glslang::InitializeProcess();
  auto shader = std::make_unique<glslang::TShader>(stufe);
  const char* text = glsl.c_str();
  shader->setStrings(&text, 1);
  shader->setEnvInput(glslang::EShSourceGlsl, stufe, glslang::EShClientOpenGL, 100);
  shader->setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
  if (!shader->parse(GetDefaultResources(), 450, ECoreProfile, false, false, EShMsgDefault)) {
    log += shader->getInfoLog();
    return nullptr;
  }
  return shader;
}

}  // namespace

std::string PruefeGlsl(const std::string& vertex, const std::string& pixel) {
  std::string log;
  auto vs = Parse(vertex, EShLangVertex, log);
  if (vs && pixel.empty()) return {};
  auto ps = Parse(pixel, EShLangFragment, log);
  if (!vs || !ps) return log.empty() ? "parse failed" : log;
  glslang::TProgram programm;
  programm.addShader(vs.get());
  programm.addShader(ps.get());
  if (!programm.link(EShMsgDefault)) return std::string("link: ") + programm.getInfoLog();
  return {};
}

}  // namespace d3dxtest
