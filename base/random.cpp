#include "base/random.h"

#include <chrono>
#include <cmath>
#include <random>

namespace base {

namespace {

std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

}  // namespace

void SeedRandomFromClock() {
  Generator().seed(static_cast<std::mt19937::result_type>(
      std::chrono::system_clock::now().time_since_epoch().count()));
}

int RandomInt(int low, int high) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  const double r = uniform(Generator());
  const auto span = static_cast<double>(high) - static_cast<double>(low) + 1.0;
  return static_cast<int>(std::floor(r * span)) + low;
}

}  // namespace base
