#pragma once
// One record of results per 10-s processing interval: 48 single-precision
// floats. kNotAvailable (-1024.0) marks a value that could not be computed.
#include <array>
#include <cstddef>

namespace qs {

inline constexpr float kNotAvailable = -1024.0f;

struct EpochResult {
  enum Field : std::size_t {
    SqiTime = 0,
    SqiPower = 1,
    SqiBisp = 2,
    Sef = 3,
    Bsr = 4,
    Rbr = 5,
    BispR = 6,
    Bis = 7,
    Amp = 8,
    DiagBic = 9,  // 35 values, 2.0 to 19.0 Hz in 0.5 Hz steps: indices 9..43
    PbicLow = 44,
    PbicLowFreq = 45,
    PbicHigh = 46,
    PbicHighFreq = 47,
  };
  static constexpr std::size_t kFields = 48;
  static constexpr std::size_t kDiagBicCount = 35;

  std::array<float, kFields> value{};

  float& operator[](std::size_t i) { return value[i]; }
  float operator[](std::size_t i) const { return value[i]; }
};
static_assert(sizeof(EpochResult) == 48 * sizeof(float));

}  // namespace qs
