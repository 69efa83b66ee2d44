#pragma once
// Direct3D 9 register allocation for a shader's constants: from the layout that the
// uniform block of the translated shader has, work out which float4 registers (and
// sampler stages) each constant gets, the way the D3DX compiler hands them out, and
// how the device copies its register file into the block.
#include <cstdint>
#include <string>
#include <vector>

#include "ShaderBlob.h"
#include "d3dx9.h"

namespace Plattform::D3dx {

// Type and layout of one constant in the uniform block, in HLSL terms.
struct LayoutTyp {
  D3DXPARAMETER_CLASS klasse = D3DXPC_VECTOR;  // MATRIX_COLUMNS: column_major packing
  D3DXPARAMETER_TYPE grundtyp = D3DXPT_FLOAT;  // FLOAT, INT or BOOL; VOID for structures
  std::uint32_t zeilen = 1;                    // HLSL rows (1 for scalars, vectors)
  std::uint32_t spalten = 1;                   // HLSL columns (vector size)
  std::vector<std::uint32_t> feld;             // array sizes, outermost first
  std::uint32_t feldSchritt = 16;              // bytes between outermost elements
  std::uint32_t matrixSchritt = 16;            // bytes between a matrix's registers
  struct Glied;
  std::vector<Glied> glieder;  // structure members
};

struct LayoutTyp::Glied {
  std::string name;
  std::uint32_t offset = 0;  // bytes from the start of the enclosing structure
  LayoutTyp typ;
};

// A top-level constant of the shader: a member of its uniform block.
struct BlockKonstante {
  std::string name;
  std::uint32_t offset = 0;
  LayoutTyp typ;
  int explizitesRegister = -1;  // register(cN) in the source
  bool benutzt = true;          // constants the shader never reads get no registers
};

struct SamplerKonstante {
  std::string name;
  D3DXPARAMETER_TYPE typ = D3DXPT_SAMPLER2D;
  std::uint32_t elemente = 1;
  int explizitesRegister = -1;  // register(sN)
  bool benutzt = true;
};

// One entry of the constant table.
struct Konstante {
  std::string name;
  D3DXCONSTANT_DESC beschreibung{};  // Name is set by the table
  std::vector<Konstante> glieder;     // structure members, registers of element 0
};

struct Registerbelegung {
  bool ok = true;
  std::string fehler;
  std::vector<Konstante> konstanten;  // top level, in declaration order
  std::vector<RegisterSpanne> spannen;
  std::vector<SamplerBindung> sampler;
  // GL texture unit of the first element of each sampler given (parallel to the
  // input; unused samplers get none of the shader's units).
  std::vector<std::uint32_t> samplerEinheit;
};

// Float registers of the profiles: vs_3_0 256, ps_3_0 224. Sampler stages 4 and 16.
Registerbelegung BelegeRegister(ShaderStufe stufe, const std::vector<BlockKonstante>& block,
                                const std::vector<SamplerKonstante>& sampler);

// Registers one element of a type takes, and the whole constant.
std::uint32_t RegisterJeElement(const LayoutTyp& typ);
std::uint32_t Elemente(const LayoutTyp& typ);

}  // namespace Plattform::D3dx
