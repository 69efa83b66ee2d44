#pragma once
// The game's 3-vectors: world positions and directions, y up.
#include <cmath>

namespace Spiel {

struct Vektor3 {
  float x = 0, y = 0, z = 0;

  bool operator==(const Vektor3&) const = default;
  Vektor3 operator+(const Vektor3& b) const { return {x + b.x, y + b.y, z + b.z}; }
  Vektor3 operator-(const Vektor3& b) const { return {x - b.x, y - b.y, z - b.z}; }
  Vektor3 operator*(float s) const { return {x * s, y * s, z * s}; }
  Vektor3& operator+=(const Vektor3& b) { return *this = *this + b; }
};

inline float Punkt(const Vektor3& a, const Vektor3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vektor3 Kreuz(const Vektor3& a, const Vektor3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Laenge(const Vektor3& a) { return std::sqrt(Punkt(a, a)); }
inline Vektor3 Normiert(const Vektor3& a) { return a * (1.0f / Laenge(a)); }

}  // namespace Spiel
