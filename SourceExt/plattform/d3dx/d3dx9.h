#pragma once
// The D3DX 9 shader compiler interface as the engine calls it: compile HLSL in the
// Direct3D 9 style, hand back the "byte code" (a serialised Plattform::ShaderBlob
// holding GLSL for the device layer), the compiler's message text and a constant table
// with Direct3D 9 register numbers.
#include "basis/WinTypen.h"

struct IDirect3DDevice9;

// Compile flags. DEBUG, SKIPVALIDATION and SKIPOPTIMIZATION change nothing here (the
// HLSL front end always needs its legalisation passes); the PACKMATRIX flags set the
// default matrix packing as in Direct3D.
constexpr DWORD D3DXSHADER_DEBUG = 0x0001;
constexpr DWORD D3DXSHADER_SKIPVALIDATION = 0x0002;
constexpr DWORD D3DXSHADER_SKIPOPTIMIZATION = 0x0004;
constexpr DWORD D3DXSHADER_PACKMATRIX_ROWMAJOR = 0x0008;
constexpr DWORD D3DXSHADER_PACKMATRIX_COLUMNMAJOR = 0x0010;

// A constant handle: points at a table entry (or, in D3DX, may be a name).
using D3DXHANDLE = LPCSTR;

enum D3DXREGISTER_SET : DWORD {
  D3DXRS_BOOL = 0,
  D3DXRS_INT4 = 1,
  D3DXRS_FLOAT4 = 2,
  D3DXRS_SAMPLER = 3,
};

enum D3DXPARAMETER_CLASS : DWORD {
  D3DXPC_SCALAR = 0,
  D3DXPC_VECTOR = 1,
  D3DXPC_MATRIX_ROWS = 2,
  D3DXPC_MATRIX_COLUMNS = 3,
  D3DXPC_OBJECT = 4,
  D3DXPC_STRUCT = 5,
};

enum D3DXPARAMETER_TYPE : DWORD {
  D3DXPT_VOID = 0,
  D3DXPT_BOOL = 1,
  D3DXPT_INT = 2,
  D3DXPT_FLOAT = 3,
  D3DXPT_STRING = 4,
  D3DXPT_TEXTURE = 5,
  D3DXPT_TEXTURE1D = 6,
  D3DXPT_TEXTURE2D = 7,
  D3DXPT_TEXTURE3D = 8,
  D3DXPT_TEXTURECUBE = 9,
  D3DXPT_SAMPLER = 10,
  D3DXPT_SAMPLER1D = 11,
  D3DXPT_SAMPLER2D = 12,
  D3DXPT_SAMPLER3D = 13,
  D3DXPT_SAMPLERCUBE = 14,
};

struct D3DXCONSTANTTABLE_DESC {
  LPCSTR Creator;
  DWORD Version;  // 0xFFFE0300 for vs_3_0, 0xFFFF0300 for ps_3_0
  UINT Constants;
};

struct D3DXCONSTANT_DESC {
  LPCSTR Name;
  D3DXREGISTER_SET RegisterSet;
  UINT RegisterIndex;
  UINT RegisterCount;
  D3DXPARAMETER_CLASS Class;
  D3DXPARAMETER_TYPE Type;
  UINT Rows;
  UINT Columns;
  UINT Elements;
  UINT StructMembers;
  UINT Bytes;
  LPCVOID DefaultValue;
};

struct D3DXMACRO {
  LPCSTR Name;
  LPCSTR Definition;
};

enum D3DXINCLUDE_TYPE : DWORD {
  D3DXINC_LOCAL = 0,
  D3DXINC_SYSTEM = 1,
};

// Include handler supplied by the caller (no reference counting, as in D3DX).
struct ID3DXInclude {
  virtual HRESULT Open(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData,
                       LPCVOID* ppData, UINT* pBytes) = 0;
  virtual HRESULT Close(LPCVOID pData) = 0;

 protected:
  ~ID3DXInclude() = default;
};

struct ID3DXBuffer : IUnknown {
  virtual LPVOID GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};

struct ID3DXConstantTable : IUnknown {
  virtual HRESULT GetDesc(D3DXCONSTANTTABLE_DESC* pDesc) = 0;
  // pCount: room in pDesc on entry, descriptions written on return (always one
  // here: a constant lives in one register set). pDesc may be null to ask the count.
  virtual HRESULT GetConstantDesc(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pDesc,
                                  UINT* pCount) = 0;
  // hConstant null: top-level constant Index; a structure: its member Index; an array
  // of structures: member Index of its element type (registers of element 0).
  virtual D3DXHANDLE GetConstant(D3DXHANDLE hConstant, UINT Index) = 0;
};

using LPD3DXBUFFER = ID3DXBuffer*;
using LPD3DXCONSTANTTABLE = ID3DXConstantTable*;
using LPD3DXINCLUDE = ID3DXInclude*;

// pSrcData need not be zero-terminated. pDefines ends with {null, null}. ppShader,
// ppErrorMsgs and ppConstantTable may each be null. Failed compilations return E_FAIL
// with the compiler's text in *ppErrorMsgs; on success *ppErrorMsgs holds warnings or
// is null. Missing source, entry or profile: E_INVALIDARG.
HRESULT D3DXCompileShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines,
                          LPD3DXINCLUDE pInclude, LPCSTR pFunctionName, LPCSTR pProfile,
                          DWORD Flags, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                          LPD3DXCONSTANTTABLE* ppConstantTable);

// Not in D3DX 9 (Direct3D's later D3DCompile has the same pSourceName): as D3DXCompileShader,
// the text named pSourceName where messages name it ("memory" when null). Nothing is read
// from a file of that name, and includes are found only through pInclude.
HRESULT D3DXCompileShaderNamed(LPCSTR pSrcData, UINT SrcDataLen, LPCSTR pSourceName,
                               const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                               LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                               LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                               LPD3DXCONSTANTTABLE* ppConstantTable);

// As D3DXCompileShader with the source read from a file; without an include handler, local
// includes are looked up beside the including file.
HRESULT D3DXCompileShaderFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines,
                                   LPD3DXINCLUDE pInclude, LPCSTR pFunctionName,
                                   LPCSTR pProfile, DWORD Flags, LPD3DXBUFFER* ppShader,
                                   LPD3DXBUFFER* ppErrorMsgs,
                                   LPD3DXCONSTANTTABLE* ppConstantTable);

// A zero-filled buffer of NumBytes bytes.
HRESULT D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);

// The best profiles of a device: "vs_3_0" and "ps_3_0"; null without a device.
LPCSTR D3DXGetVertexShaderProfile(IDirect3DDevice9* pDevice);
LPCSTR D3DXGetPixelShaderProfile(IDirect3DDevice9* pDevice);
