#pragma once
// The 101 colours of the bispectrum map and the trend's aBIC strip, from dark
// blue (0) through cyan (34) and yellow (67) to red (100). No channel exceeds
// 199. Entry 49 is (91, 199, 97) where the ramp would give (91, 199, 109): the
// table is data, kept exactly as the pictures have always been painted, not a
// formula.
#include <array>
#include <cstdint>

namespace qs {

using Rgb = std::uint32_t;  // 0x00RRGGBB, as a QImage RGB32 pixel without its alpha

constexpr Rgb MakeRgb(int r, int g, int b) {
  return static_cast<Rgb>((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
}

extern const std::array<Rgb, 101> ColourScale;

// The table entry for a rounded value, clamped to 0..100: values outside the
// scale (rounding noise, a missing record) take the nearest end colour.
inline Rgb ScaleColour(int index) {
  return ColourScale[static_cast<std::size_t>(index < 0 ? 0 : index > 100 ? 100 : index)];
}

}  // namespace qs
