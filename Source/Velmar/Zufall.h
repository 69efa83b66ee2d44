#pragma once
// A small pseudo-random generator with the range 0..32767 that the colour and noise
// formulas are made for. Each user holds its own, so no state is shared between threads.
#include <cstdint>

namespace Spiel {

class Zufall {
 public:
  static constexpr int kMax = 32767;

  explicit Zufall(std::uint32_t saat = 1) : zustand_(saat) {}

  int operator()() {
    zustand_ = zustand_ * 214013u + 2531011u;
    return static_cast<int>((zustand_ >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t zustand_;
};

}  // namespace Spiel
