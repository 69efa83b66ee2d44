#pragma once
// Control of the device layer for tests: the call log, scripted results and injected
// faults (device loss, out of video memory). Every device has one; tests of the
// renderer install one before the renderer calls Direct3DCreate9.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "d3d9/d3d9.h"

namespace Plattform::D3D9 {

// One call as the log keeps it. Objects are named by kind and number in creation order
// ("Textur#3", "VertexBuffer#5", "Textur#3[0]" for a level surface, "Rueckpuffer").
struct Aufruf {
  std::string objekt;     // empty for calls on the device
  std::string methode;    // "SetRenderState"
  std::string argumente;  // "D3DRS_ZENABLE, 1"
  HRESULT ergebnis = S_OK;
  std::string ausgabe;    // what the call handed back, e.g. the created object's name

  // "SetRenderState(D3DRS_ZENABLE, 1) = D3D_OK", with " -> ausgabe" when there is one,
  // and "objekt." in front for calls on other objects.
  std::string Text() const;
};

// Names of results, formats and states as the log writes them.
std::string ErgebnisName(HRESULT hr);
std::string FormatName(D3DFORMAT f);

enum class Backend { OpenGL, Aufzeichnung };

class Steuerung {
 public:
  Steuerung();

  // --- Call log (on by default for the recording backend, off for OpenGL).
  bool protokollieren = true;
  // AddRef and Release are logged only when this is set (they are frequent).
  bool zaehlerProtokollieren = false;
  const std::vector<Aufruf>& Aufrufe() const { return aufrufe_; }
  // Text() of the calls, only those of this method when one is named.
  std::vector<std::string> Zeilen(std::string_view methode = {}) const;
  std::size_t Anzahl(std::string_view methode) const;
  void LeereProtokoll() { aufrufe_.clear(); }

  // --- Scripted results: calls of `methode` number ab, ab+1, ... ab+anzahl-1 from now
  // (1 = the next one) return `ergebnis` without any effect.
  void SkriptiereErgebnis(std::string methode, HRESULT ergebnis, unsigned ab = 1,
                          unsigned anzahl = 1);

  // --- Device loss. Present answers D3DERR_DEVICELOST; TestCooperativeLevel and Reset
  // answer D3DERR_DEVICELOST for `versuche` calls of either (or until
  // MacheZuruecksetzbar), then TestCooperativeLevel answers D3DERR_DEVICENOTRESET and
  // Reset may succeed. Draws and clears do nothing while the device is lost.
  void VerliereGeraet(unsigned versuche = ~0u);
  void MacheZuruecksetzbar();
  enum class Geraetezustand { Bereit, Verloren, NichtZurueckgesetzt };
  Geraetezustand Zustand() const { return zustand_; }

  // --- Video memory: a budget in bytes for default-pool resources (textures, buffers,
  // depth surfaces); a create beyond it answers D3DERR_OUTOFVIDEOMEMORY.
  void SetzeVideospeicherBudget(std::optional<std::uint64_t> bytes) { budget_ = bytes; }
  std::optional<std::uint64_t> Budget() const { return budget_; }
  std::uint64_t BelegterVideospeicher() const { return belegt_; }
  // The n-th resource create from now (1 = the next; CreateTexture, CreateCubeTexture,
  // CreateVertexBuffer, CreateIndexBuffer, CreateDepthStencilSurface,
  // CreateOffscreenPlainSurface) fails with `ergebnis` (D3DERR_OUTOFVIDEOMEMORY or
  // E_OUTOFMEMORY, as Direct3D reports video and system memory shortage).
  void ScheitereBeiErzeugung(unsigned n, HRESULT ergebnis = D3DERR_OUTOFVIDEOMEMORY);

  // Objects of the devices that still exist (for reference-counting tests).
  std::size_t LebendeObjekte() const { return lebendeObjekte_; }

  // --- What the recording Direct3D object and its devices report.
  std::vector<std::string> adapter{"Velmar Aufzeichnungsadapter"};
  std::set<D3DFORMAT> fehlendeFormate;  // CheckDeviceFormat answers D3DERR_NOTAVAILABLE
  D3DCAPS9 caps{};
  // Client size of the window a recording device is created for (it has no window);
  // a windowed device with back buffer size 0 takes it.
  UINT fensterBreite = 1280;
  UINT fensterHoehe = 720;

  // --- Measuring: called before every call of the device and its objects with the
  // method's name; a benchmark finds the passes of a frame by it.
  std::function<void(const char* methode)> vorAufruf;

  // --- Used by the layer itself.
  void Protokolliere(Aufruf a);
  std::optional<HRESULT> Geskriptet(std::string_view methode);
  std::optional<HRESULT> ErzeugungGeskriptet();
  HRESULT TesteKooperation();
  HRESULT VersucheZuruecksetzen();  // D3D_OK when a reset may proceed
  void Zurueckgesetzt(bool erfolg);
  void BelegeVideospeicher(std::int64_t bytes) { belegt_ += static_cast<std::uint64_t>(bytes); }
  void ObjektGeboren() { ++lebendeObjekte_; }
  void ObjektGestorben() { --lebendeObjekte_; }
  unsigned NaechsteNummer() { return ++nummer_; }

 private:
  struct Skript {
    std::string methode;
    HRESULT ergebnis;
    unsigned ab, anzahl;
  };
  std::vector<Aufruf> aufrufe_;
  std::vector<Skript> skripte_;
  std::vector<std::pair<unsigned, HRESULT>> erzeugungsFehler_;
  Geraetezustand zustand_ = Geraetezustand::Bereit;
  unsigned versucheBisZuruecksetzbar_ = 0;
  std::optional<std::uint64_t> budget_;
  std::uint64_t belegt_ = 0;
  std::size_t lebendeObjekte_ = 0;
  unsigned nummer_ = 0;
};

// Direct3D objects of the given backend reporting to `steuerung`.
IDirect3D9* ErzeugeDirect3D9(Backend backend, std::shared_ptr<Steuerung> steuerung);

// From now on Direct3DCreate9 gives objects of `backend` that report to `steuerung`
// (for tests of code that creates its device itself). EntferneSteuerung restores the
// default: OpenGL, each object with a control of its own, not logging.
void InstalliereSteuerung(std::shared_ptr<Steuerung> steuerung, Backend backend);
void EntferneSteuerung();

// The control a device reports to; null for objects not made by this layer.
Steuerung* SteuerungVon(IDirect3DDevice9* geraet);

}  // namespace Plattform::D3D9
