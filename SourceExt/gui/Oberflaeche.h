#pragma once
// The root of a widget tree and its input manager: focus, hovered widget, hit testing,
// routing, double presses, arrow-key navigation, modal blocking, tooltips, delayed deletion.
#include "Basis.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

namespace Gui {

class Hinweis;

class Oberflaeche : public VaterBasis {
 public:
  static constexpr std::uint64_t kTastenAnzahl = 270;
  static constexpr std::uint64_t kKeineId = ~std::uint64_t{0};
  enum : std::uint64_t { ZeigerTaste1 = 256, ZeigerTaste2 = 257, ZeigerTaste3 = 258 };
  enum : std::uint64_t { PfeilHoch = 261, PfeilRunter = 262, PfeilRechts = 263, PfeilLinks = 264 };
  enum : std::uint32_t { Gedrueckt = 1, Losgelassen = 4 };

  Vektor zeigerPosition{0, 0, 0};
  Vektor zeigerBewegung{0, 0, 0};
  Basis* fokus = nullptr;
  Basis* schwebend = nullptr;
  std::array<std::uint64_t, kTastenAnzahl> tastenZustand{};
  std::array<std::vector<Basis*>, kTastenAnzahl> tastenHoerer;
  std::int32_t hinweisZustand = 0;  // 0 none, 1 scheduled, 2 shown
  std::uint64_t hinweisTimer = kKeineId;
  Basis* hinweisKomponente = nullptr;
  Hinweis* hinweis = nullptr;
  TZeit letzterDruckZeit = 0;
  Vektor letzterDruckPosition{0, 0, 0};
  std::uint64_t letzteTaste = kTastenAnzahl;
  std::uint64_t neuOrdnenId = kKeineId;
  float skalierung = 1.0f;

  // Loads the property file (when given) and covers the screen.
  explicit Oberflaeche(const std::filesystem::path& eigenschaftsDatei);
  ~Oberflaeche() override;

  void Zeichne(Renderer& renderer) override;

  void VerarbeiteMausBewegung(const Vektor& p);
  void VerarbeiteTaste(std::uint64_t taste, std::uint32_t zustand);
  void SetzeFokus(Basis* w);
  void MeldeAb(Basis* w);
  void VerteileEreignis(BasisEreignis& e);
  // Routes `e` from `start` up the parent chain until a handler marks it handled.
  static void VerteileAb(Basis* start, BasisEreignis& e);
  Basis* FindeKomponenteUnter(const Vektor& q, Basis* k);
  bool IstEingabeErlaubt(Basis* w);
  void NavigiereFokus(std::uint64_t taste);
  void VernichteKomponenteNachZeit(Basis* w, TZeit verzoegerung);
  // Run by a widget that is destroyed before its delayed deletion.
  void VergissVernichtung(Basis* w);
  void OrdneNeu();
  void OrdneRekursiv(VaterBasis* v);
  void ZeigeHinweis();

 private:
  void SetzeHinweisZurueck();
  bool DarfFokusBehalten(Basis* w);
  // The surface and its descendants in pre-order that are visible under visible parents.
  void SammleSichtbare(Basis* w, std::vector<Basis*>& liste);

  std::vector<std::pair<Basis*, std::uint64_t>> vernichtungen_;
  bool wirdZerstoert_ = false;
};

}  // namespace Gui
