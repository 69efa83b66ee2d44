#include "Quelm_VertexEingabe.h"

#include "Quelm_Ausnahme.h"
#include "Quelm_Protokolliere.h"

#include <algorithm>

namespace {

struct TypInfo {
  D3DDECLTYPE geraeteTyp;
  std::uint64_t zeilen;      // device elements
  std::uint64_t zeilenAbstand;
  std::uint64_t groesse;
};

constexpr TypInfo kTypen[KANAL_ANZAHL] = {
    {D3DDECLTYPE_FLOAT1, 1, 0, 4},   {D3DDECLTYPE_FLOAT2, 1, 0, 8},   {D3DDECLTYPE_FLOAT3, 1, 0, 12},
    {D3DDECLTYPE_FLOAT4, 1, 0, 16},  {D3DDECLTYPE_UBYTE4, 1, 0, 4},   {D3DDECLTYPE_UBYTE4N, 1, 0, 4},
    {D3DDECLTYPE_SHORT2N, 1, 0, 4},  {D3DDECLTYPE_SHORT4N, 1, 0, 8},  {D3DDECLTYPE_SHORT2, 1, 0, 4},
    {D3DDECLTYPE_SHORT4, 1, 0, 8},   {D3DDECLTYPE_FLOAT3, 3, 12, 36}, {D3DDECLTYPE_FLOAT4, 3, 16, 48},
    {D3DDECLTYPE_FLOAT4, 4, 16, 64},
};

bool GueltigerTyp(Quelm_KanalTyp typ) { return typ >= 0 && typ < KANAL_ANZAHL; }

}  // namespace

std::uint64_t Quelm_VertexEingabe::TypGroesse(Quelm_KanalTyp typ) {
  return GueltigerTyp(typ) ? kTypen[typ].groesse : 0;
}

void Quelm_VertexEingabe::AddKanal(std::uint64_t index, Quelm_KanalTyp typ, std::uint64_t offset, bool instanz) {
  // Strides and stream frequencies exist for streams 0 to 3 only.
  if (index >= kMaxStroeme) {
    MeldeAusnahme("Ungültiger BufferIndex", "Quelm_VertexEingabe::AddKanal", __FILE__, __LINE__);
    return;
  }
  if (!GueltigerTyp(typ)) {
    MeldeAusnahme("Ungültiger Kanaltyp", "Quelm_VertexEingabe::AddKanal", __FILE__, __LINE__);
    return;
  }
  const TypInfo& info = kTypen[typ];
  if (kanalAnzahl >= kMaxKanaele || elementAnzahl + info.zeilen > kMaxKanaele) {
    MeldeAusnahme("Zuviele Vertexdaten-Kanäle", "Quelm_VertexEingabe::AddKanal", __FILE__, __LINE__);
    return;
  }
  const std::uint64_t bit = std::uint64_t{1} << index;
  if ((benutzteStroeme & bit) && ((instanzStroeme & bit) != 0) != instanz)
    MeldeAusnahme("BufferIndex darf nicht gleichzeitig Vertex- und Instanzdaten liefern.",
                  "Quelm_VertexEingabe::AddKanal", __FILE__, __LINE__);

  benutzteStroeme |= bit;
  if (instanz) instanzStroeme |= bit;
  stromAnzahl = std::max(stromAnzahl, index + 1);
  strides[index] = static_cast<std::uint16_t>(std::max<std::uint64_t>(strides[index], offset + info.groesse));

  const bool erster = kanalAnzahl == 0;
  const std::uint64_t vorher = elementAnzahl;
  kanaele[kanalAnzahl++] = {index, typ, offset, instanz};
  for (std::uint64_t r = 0; r < info.zeilen; ++r) {
    D3DVERTEXELEMENT9& e = elemente[elementAnzahl++];
    e.Stream = static_cast<WORD>(index);
    e.Offset = static_cast<WORD>(offset + r * info.zeilenAbstand);
    e.Type = info.geraeteTyp;
    e.Method = D3DDECLMETHOD_DEFAULT;
    // The first channel is the position; every later one is numbered as texture
    // coordinates after the elements before it.
    e.Usage = erster ? D3DDECLUSAGE_POSITION : D3DDECLUSAGE_TEXCOORD;
    e.UsageIndex = static_cast<BYTE>(erster ? r : vorher - 1 + r);
  }
}

void Quelm_VertexEingabe::Beenden() {
  elemente[elementAnzahl] = D3DDECL_END();
  IDirect3DDevice9* geraet = Geraet();
  deklaration.reset();
  IDirect3DVertexDeclaration9* neu = nullptr;
  if (geraet && SUCCEEDED(geraet->CreateVertexDeclaration(elemente, &neu))) {
    deklaration.reset(neu);
  } else {
    Protokolliere("!Quelm_VertexEingabe::Beenden(): Failed to create vertex input declaration.");
    MeldeAusnahme("Failed to create vertex input declaration.", "Quelm_VertexEingabe::Beenden", __FILE__, __LINE__);
  }
  zustand = ZUSTAND_RESIDENT;
}
