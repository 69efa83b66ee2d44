#include "HlslUebersetzung.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>

namespace Plattform::D3dx {

namespace {

std::mutex& GlslangSperre() {
  static std::mutex sperre;
  return sperre;
}

void StarteGlslang() {
  static std::once_flag einmal;
  std::call_once(einmal, [] { glslang::InitializeProcess(); });
}

class Einbinder final : public glslang::TShader::Includer {
 public:
  explicit Einbinder(const HlslAuftrag& auftrag) : auftrag_(auftrag) {}

  IncludeResult* includeLocal(const char* name, const char* einbindend, size_t) override {
    return Hole(name, true, einbindend);
  }
  IncludeResult* includeSystem(const char* name, const char* einbindend, size_t) override {
    return Hole(name, false, einbindend);
  }
  void releaseInclude(IncludeResult* ergebnis) override {
    if (!ergebnis) return;
    delete static_cast<std::string*>(ergebnis->userData);
    delete ergebnis;
  }

 private:
  // Each file is asked for once per compile, however often the passes over the text include it.
  IncludeResult* Hole(const char* name, bool lokal, const char* einbindend) {
    if (!auftrag_.einbinden) return nullptr;
    const std::string von = einbindend ? einbindend : "";
    auto [stelle, neu] = geholt_.try_emplace(std::make_tuple(std::string(name), lokal, von));
    if (neu) stelle->second = auftrag_.einbinden(name, lokal, von);
    if (!stelle->second) return nullptr;
    auto* text = new std::string(*stelle->second);
    return new IncludeResult(Aufgeloest(name, einbindend), text->data(), text->size(), text);
  }
  // Nested includes are looked up beside the file that includes them.
  static std::string Aufgeloest(const std::string& name, const char* einbindend) {
    std::string basis = einbindend ? einbindend : "";
    if (!name.empty() && name[0] == '/') return name;
    auto schnitt = basis.find_last_of('/');
    return schnitt == std::string::npos ? name : basis.substr(0, schnitt + 1) + name;
  }

  const HlslAuftrag& auftrag_;
  std::map<std::tuple<std::string, bool, std::string>, std::optional<std::string>> geholt_;
};

// Whether every square bracket holds what an index or array size can be: closed by its own
// bracket, opened by an expression or nothing, no two operands side by side, no statement
// inside. glslang's parser reads through a null pointer on a parameter such as "float4 p[)",
// "p[;]" or "p[4 4]". Other mismatched brackets are the parser's to report, with their place.
bool EckigeKlammernPassen(const std::string& text) {
  // Name or number characters; the preprocessor leaves blanks between all tokens, "uv . x" too.
  auto wort = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  std::string offen;
  char vorher = 0;       // the last character that is not blank
  bool luecke = false;   // blanks since then
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      luecke = true;
      continue;
    }
    const bool imIndex = !offen.empty() && offen.back() == '[';
    if (imIndex) {
      if (vorher == '[' && !wort(c) && c != '(' && c != ']' && c != '-' && c != '+' && c != '!' && c != '~')
        return false;
      if (c == ']' && !wort(vorher) && !std::strchr(")][+-.", vorher)) return false;  // "i++" and "1." end an index too
      if (luecke && wort(c) && wort(vorher)) return false;
      if (c == ';' || c == '{' || c == '}') return false;
    }
    if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\') ++i;
    } else if (c == '(' || c == '[' || c == '{') {
      offen += c;
    } else if (c == ')' || c == ']' || c == '}') {
      const char auf = c == ')' ? '(' : c == ']' ? '[' : '{';
      if (offen.empty() || offen.back() != auf) return c != ']' && !imIndex;
      offen.pop_back();
    }
    vorher = c;
    luecke = false;
  }
  return offen.find('[') == std::string::npos;
}

D3DXPARAMETER_TYPE Grundtyp(const glslang::TType& typ) {
  switch (typ.getBasicType()) {
    case glslang::EbtBool:
      return D3DXPT_BOOL;
    case glslang::EbtInt:
    case glslang::EbtUint:
      return D3DXPT_INT;
    case glslang::EbtStruct:
    case glslang::EbtBlock:
      return D3DXPT_VOID;
    default:
      return D3DXPT_FLOAT;
  }
}

std::vector<HlslKonstante> Glieder(const glslang::TType& typ) {
  std::vector<HlslKonstante> aus;
  if (!typ.isStruct()) return aus;
  for (const auto& g : *typ.getStruct()) {
    HlslKonstante k;
    k.name = g.type->getFieldName().c_str();
    k.grundtyp = Grundtyp(*g.type);
    const auto& q = g.type->getQualifier();
    if (q.hasOffset() && q.layoutOffset % 16 == 0) k.explizitesRegister = q.layoutOffset / 16;
    k.glieder = Glieder(*g.type);
    aus.push_back(std::move(k));
  }
  return aus;
}

// Constant block members and sampler registers from the linked syntax tree.
void LiesBaum(glslang::TIntermediate& baum, HlslErgebnis& erg) {
  auto* wurzel = baum.getTreeRoot() ? baum.getTreeRoot()->getAsAggregate() : nullptr;
  if (!wurzel) return;
  for (auto* knoten : wurzel->getSequence()) {
    auto* objekte = knoten->getAsAggregate();
    if (!objekte || objekte->getOp() != glslang::EOpLinkerObjects) continue;
    for (auto* o : objekte->getSequence()) {
      auto* symbol = o->getAsSymbolNode();
      if (!symbol) continue;
      const auto& typ = symbol->getType();
      if (typ.getBasicType() == glslang::EbtBlock &&
          typ.getQualifier().storage == glslang::EvqUniform &&
          typ.getTypeName() == "$Global") {
        erg.konstanten = Glieder(typ);
      } else if (typ.getBasicType() == glslang::EbtSampler) {
        erg.samplerReihenfolge.push_back(symbol->getName().c_str());
        if (typ.getQualifier().hasBinding())
          erg.samplerRegister[symbol->getName().c_str()] =
              static_cast<int>(typ.getQualifier().layoutBinding);
      }
    }
  }
}

std::string_view Beschnitten(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string FormatiereMeldungen(std::string_view log) {
  std::string aus;
  while (!log.empty()) {
    auto ende = log.find('\n');
    std::string_view zeile = Beschnitten(log.substr(0, ende));
    log.remove_prefix(ende == std::string_view::npos ? log.size() : ende + 1);
    if (zeile.empty()) continue;
    std::string art;
    if (zeile.rfind("ERROR: ", 0) == 0) {
      art = "error";
      zeile.remove_prefix(7);
    } else if (zeile.rfind("WARNING: ", 0) == 0) {
      art = "warning";
      zeile.remove_prefix(9);
    }
    if (!art.empty()) {
      if (zeile.find("compilation error") != std::string_view::npos &&
          zeile.find("No code generated") != std::string_view::npos)
        continue;
      if (zeile.find("'' : compilation terminated") != std::string_view::npos) continue;
      // "name:line: text"
      std::size_t p = 0;
      bool gefunden = false;
      while ((p = zeile.find(':', p)) != std::string_view::npos) {
        std::size_t q = p + 1;
        while (q < zeile.size() && std::isdigit(static_cast<unsigned char>(zeile[q]))) ++q;
        if (q > p + 1 && q + 1 < zeile.size() && zeile[q] == ':' && zeile[q + 1] == ' ') {
          aus.append(zeile.substr(0, p));
          aus += '(';
          aus.append(zeile.substr(p + 1, q - p - 1));
          aus += "): " + art + ": ";
          aus.append(zeile.substr(q + 2));
          gefunden = true;
          break;
        }
        ++p;
      }
      if (!gefunden) {
        aus += art + ": ";
        aus.append(zeile);
      }
    } else {
      aus.append(zeile);
    }
    aus += '\n';
  }
  return aus;
}

std::optional<std::string> LiesDatei(const std::filesystem::path& pfad) {
  std::ifstream datei(pfad, std::ios::binary);
  if (!datei) return std::nullopt;
  std::ostringstream inhalt;
  inhalt << datei.rdbuf();
  return std::move(inhalt).str();
}

HlslErgebnis UebersetzeHlsl(const HlslAuftrag& auftrag) {
  StarteGlslang();
  std::lock_guard<std::mutex> sperre(GlslangSperre());
  HlslErgebnis erg;
  const EShLanguage stufe =
      auftrag.stufe == ShaderStufe::Vertex ? EShLangVertex : EShLangFragment;

  std::string vorspann;
  if (auftrag.zeilenMatrizen) vorspann += "#pragma pack_matrix(row_major)\n";
  for (const auto& [name, wert] : auftrag.makros) vorspann += "#define " + name + " " + wert + "\n";

  const char* text = auftrag.quelle.data();
  const int laenge = static_cast<int>(auftrag.quelle.size());
  const char* name = auftrag.quellName.c_str();
  auto neuerShader = [&] {
    auto shader = std::make_unique<glslang::TShader>(stufe);
    shader->setStringsWithLengthsAndNames(&text, &laenge, &name, 1);
    shader->setPreamble(vorspann.c_str());
    shader->setEntryPoint(auftrag.einstieg.c_str());
    shader->setEnvInput(glslang::EShSourceHlsl, stufe, glslang::EShClientVulkan, 100);
    shader->setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader->setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader->setEnvTargetHlslFunctionality1();
    shader->setAutoMapLocations(true);
    return shader;
  };
  const auto nachrichten = static_cast<EShMessages>(EShMsgReadHlsl | EShMsgSpvRules |
                                                    EShMsgVulkanRules | EShMsgHlslDX9Compatible);
  Einbinder einbinder(auftrag);
  // The square brackets are checked in the text as glslang's preprocessor leaves it, with those
  // macros and included files made; when it fails, in the source as it stands.
  std::string vorverarbeitet;
  if (!neuerShader()->preprocess(GetDefaultResources(), 100, ENoProfile, false, false, nachrichten, &vorverarbeitet,
                                 einbinder))
    vorverarbeitet = auftrag.quelle;  // the parse may get further than the preprocessor alone
  if (!EckigeKlammernPassen(vorverarbeitet)) {
    erg.meldungen = auftrag.quellName + ": error: malformed square brackets\n";
    return erg;
  }
  // The shader must outlive nothing but the program; both are local.
  auto shader = neuerShader();
  const bool geparst = shader->parse(GetDefaultResources(), 100, false, nachrichten, einbinder);
  std::string log = shader->getInfoLog();
  if (!geparst) {
    erg.meldungen = FormatiereMeldungen(log);
    if (erg.meldungen.empty()) erg.meldungen = auftrag.quellName + ": error: compilation failed\n";
    return erg;
  }
  glslang::TProgram programm;
  programm.addShader(shader.get());
  const bool gelinkt = programm.link(nachrichten);
  glslang::TIntermediate* baum = programm.getIntermediate(stufe);
  if (!gelinkt || !baum || baum->getNumEntryPoints() < 1) {
    erg.meldungen = FormatiereMeldungen(log);
    if (!gelinkt) erg.meldungen += FormatiereMeldungen(programm.getInfoLog());
    if (!baum || baum->getNumEntryPoints() < 1)
      erg.meldungen +=
          auftrag.quellName + ": error: '" + auftrag.einstieg + "': entrypoint not found\n";
    return erg;
  }
  if (!programm.mapIO()) {
    erg.meldungen = FormatiereMeldungen(log) + FormatiereMeldungen(programm.getInfoLog());
    if (erg.meldungen.empty()) erg.meldungen = auftrag.quellName + ": error: cannot map inputs and outputs\n";
    return erg;
  }
  LiesBaum(*baum, erg);

  spv::SpvBuildLogger protokoll;
  glslang::SpvOptions optionen;
  optionen.disableOptimizer = false;  // the HLSL legalisation passes run with it
  glslang::GlslangToSpv(*baum, erg.spirv, &protokoll, &optionen);
  erg.meldungen = FormatiereMeldungen(log + programm.getInfoLog());
  std::string spvMeldungen = protokoll.getAllMessages();
  if (erg.spirv.empty()) {
    erg.meldungen += auftrag.quellName + ": error: " + spvMeldungen;
    return erg;
  }
  erg.ok = true;
  return erg;
}

}  // namespace Plattform::D3dx
