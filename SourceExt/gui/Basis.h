#pragma once
// The widget tree: every widget is a Basis; containers (VaterBasis) own their children and
// optionally a layout record. Times are ticks of the global engine clock.
#include "EigenschaftsBaum.h"
#include "Quelm_Zeitbasis.h"

#include <boost/signals2/signal.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Gui {

class Anordnung;
class Basis;
class Oberflaeche;
class Renderer;
class VaterBasis;
struct BasisEreignis;
struct FokusEreignis;
struct MausBewegungEreignis;
struct TasteEreignis;

using Vektor = BVektor3<float>;

// Watches one widget while code that may delete it runs (an event handler): afterwards the
// caller asks Lebt() before touching the widget again.
class Wache {
 public:
  explicit Wache(Basis* w);
  ~Wache();
  Wache(const Wache&) = delete;
  Wache& operator=(const Wache&) = delete;
  bool Lebt() const { return w_ != nullptr; }

 private:
  friend class Basis;
  Basis* w_;
  Wache* naechste_ = nullptr;
};

inline Vektor operator+(const Vektor& a, const Vektor& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vektor operator-(const Vektor& a, const Vektor& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vektor operator*(const Vektor& a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline float Punkt(const Vektor& a, const Vektor& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// "Now" of the widget library: the global clock's time.
TZeit Jetzt();
// Seconds as clock ticks, truncated.
TZeit Ticks(double sekunden);

class Basis {
 public:
  Oberflaeche* wurzel = nullptr;
  VaterBasis* vater = nullptr;
  Vektor position{0, 0, 0};
  Vektor groesse{100, 50, 0};
  bool positionAutomatisch = true;
  bool groesseAutomatisch = true;
  Vektor dehnung{0, 0, 0};
  bool sichtbar = true;
  TZeit versteckZeit = 0;
  TZeit zeigZeit;
  bool fokussiert = false;
  TZeit fokusGewonnenZeit = 0, fokusVerlorenZeit = 0;
  boost::signals2::signal<void(bool)> fokusGeaendert;
  std::string hinweisText;
  EigenschaftsBaum eigenschaften;
  bool fokusBeimAnhaengen = false;
  // The surface that will delete this widget later (VernichteKomponenteNachZeit); its call
  // is cancelled when the widget goes first.
  Oberflaeche* vernichtungDurch = nullptr;

  Basis();
  virtual ~Basis();
  Basis(const Basis&) = delete;
  Basis& operator=(const Basis&) = delete;

  virtual void Zeichne(Renderer& renderer) = 0;
  virtual void SetzeSichtbar(bool v);
  virtual void SetzePosition(const Vektor& p, bool automatisch);
  virtual void SetzeGroesse(const Vektor& s, bool automatisch);
  virtual Vektor GibGroesse();
  virtual std::string GibTypName() const;
  virtual void SetzeVater(VaterBasis* neuerVater, Oberflaeche* neueWurzel);
  virtual bool NimmtEingabe();
  virtual bool ReservierteAbfrage();
  virtual void BehandleFokus(FokusEreignis& e);
  virtual void BehandleTaste(TasteEreignis& e);
  virtual void BehandleEreignisArt1(BasisEreignis& e);
  virtual void BehandleMausBewegung(MausBewegungEreignis& e);

  bool IstEffektivSichtbar() const;
  // Sum of the positions up to and including the surface.
  Vektor AbsolutePosition() const;
  // Preferred size for layouts: the stored size when fixed, else GibGroesse.
  Vektor BevorzugteGroesse();
  // The float at `pfad` in the own properties, then in the surface's, else `vorgabe`.
  float FindeEigenschaft(std::string_view pfad, float vorgabe) const;
  // The same in the own properties only.
  float FindeEigeneEigenschaft(std::string_view pfad, float vorgabe) const;
  // Asks the surface for one layout pass in the next frame.
  void OrdnungAnfragen();

 private:
  friend class Wache;
  Wache* wachen_ = nullptr;  // told when the widget is destroyed
};

class VaterBasis : public Basis {
 public:
  std::vector<Basis*> kinder;  // owned; drawing order
  Anordnung* anordnung = nullptr;  // owned
  bool ordnetGerade = false;

  VaterBasis();
  ~VaterBasis() override;

  void Zeichne(Renderer& renderer) override;
  void SetzeSichtbar(bool v) override;
  Vektor GibGroesse() override;
  void SetzeVater(VaterBasis* neuerVater, Oberflaeche* neueWurzel) override;
  // Refuses (logged) a widget that would become its own ancestor.
  virtual void Hinzufuegen(Basis* w);
  virtual void Entfernen(Basis* w);
  virtual void SetzeAnordnung(Anordnung* a);
  virtual bool IstModal();

 protected:
  // Destroys the children from the last to the first.
  void ZerstoereKinder();
};

}  // namespace Gui
