#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <map>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

// The engine's three-component vector (value type "TVektor" of property trees).
template <class T>
struct BVektor3 {
  T x{}, y{}, z{};
  bool operator==(const BVektor3&) const = default;
};

// White space between the components; the components are read as T.
template <class T>
std::istream& operator>>(std::istream& ein, BVektor3<T>& v) {
  return ein >> std::ws >> v.x >> std::ws >> v.y >> std::ws >> v.z;
}
template <class T>
std::ostream& operator<<(std::ostream& aus, const BVektor3<T>& v) {
  return aus << v.x << ' ' << v.y << ' ' << v.z;
}

// The engine's colour with alpha (value type "TAlphaFarbe" of property trees).
struct TAlphaFarbe {
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const TAlphaFarbe&) const = default;
};

inline std::istream& operator>>(std::istream& ein, TAlphaFarbe& f) {
  return ein >> std::ws >> f.r >> std::ws >> f.g >> std::ws >> f.b >> std::ws >> f.a;
}
inline std::ostream& operator<<(std::ostream& aus, const TAlphaFarbe& f) {
  return aus << f.r << ' ' << f.g << ' ' << f.b << ' ' << f.a;
}

// The type name stored in a node for each value type a property tree holds.
template <class T>
struct EigenschaftsTyp;
template <>
struct EigenschaftsTyp<float> {
  static constexpr const char* name = "float";
};
template <>
struct EigenschaftsTyp<std::int32_t> {
  static constexpr const char* name = "int";
};
template <>
struct EigenschaftsTyp<std::uint32_t> {
  static constexpr const char* name = "unsigned int";
};
template <>
struct EigenschaftsTyp<std::string> {
  static constexpr const char* name = "string";
};
template <>
struct EigenschaftsTyp<BVektor3<float>> {
  static constexpr const char* name = "TVektor";
};
template <>
struct EigenschaftsTyp<TAlphaFarbe> {
  static constexpr const char* name = "TAlphaFarbe";
};

// A node of a tree of named, typed values, addressed by dotted paths ("elmAbstand.x").
// Layout and tuning values are read into it from XML property files
// (TEigenschaften_Serialisierung) or set by the program.
class EigenschaftsBaum {
 public:
  static constexpr std::size_t kWertGroesse = 32;
  // Constructs the value at `ziel` from the one at `quelle`, by copy or by move.
  enum class Uebergabe { Kopieren, Verschieben };
  using TypOperation = void (*)(Uebergabe art, void* ziel, void* quelle);
  using ZerstoerOperation = void (*)(void* wert);

  std::string name;  // own path component
  const char* typName = nullptr;  // null while the node has no value
  TypOperation typOperation = nullptr;
  ZerstoerOperation zerstoerOperation = nullptr;
  alignas(std::max_align_t) unsigned char wert[kWertGroesse];
  std::map<std::string, EigenschaftsBaum, std::less<>> kinder;  // byte-wise name order

  EigenschaftsBaum() = default;
  explicit EigenschaftsBaum(std::string name) : name(std::move(name)) {}
  ~EigenschaftsBaum() { LoescheWert(); }
  EigenschaftsBaum(const EigenschaftsBaum& andere);
  EigenschaftsBaum& operator=(const EigenschaftsBaum& andere);
  EigenschaftsBaum(EigenschaftsBaum&& andere) noexcept;
  EigenschaftsBaum& operator=(EigenschaftsBaum&& andere) noexcept;

  // The node at a dotted path below this one, created with its parents when missing.
  // "" is this node, "a." is the child a, "a..b" passes through a child with an empty name.
  EigenschaftsBaum& Knoten(std::string_view pfad);
  EigenschaftsBaum& operator[](std::string_view pfad) { return Knoten(pfad); }
  // The same without creating anything; null when a component is missing.
  const EigenschaftsBaum* Finde(std::string_view pfad) const;

  bool HatWert() const { return typName != nullptr; }
  // The value when the node holds one of type T, else null.
  template <class T>
  const T* Wert() const {
    if (!typName || std::strcmp(typName, EigenschaftsTyp<T>::name) != 0) return nullptr;
    return std::launder(reinterpret_cast<const T*>(wert));
  }
  // Replaces the value (and its type).
  template <class T>
  void Setze(const T& neu) {
    static_assert(sizeof(T) <= kWertGroesse && alignof(T) <= alignof(std::max_align_t));
    T kopie(neu);  // before the old value goes, `neu` may live in it
    LoescheWert();
    new (wert) T(std::move(kopie));
    typName = EigenschaftsTyp<T>::name;
    typOperation = [](Uebergabe art, void* ziel, void* quelle) {
      T& q = *static_cast<T*>(quelle);
      if (art == Uebergabe::Verschieben)
        new (ziel) T(std::move(q));
      else
        new (ziel) T(q);
    };
    zerstoerOperation = [](void* w) { static_cast<T*>(w)->~T(); };
  }
  void LoescheWert();

 private:
  void UebernimmWert(Uebergabe art, EigenschaftsBaum& andere);
};
