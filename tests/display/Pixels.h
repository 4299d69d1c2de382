#pragma once
// Pixel probes for the graph tests: the colour expected at a position.
#include <gtest/gtest.h>

#include <QImage>
#include <initializer_list>

#include "display/Canvas.h"

namespace qs::test {

inline Rgb At(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFFu;
}

struct Probe {
  int x, y;
  Rgb colour;
};

inline void ExpectPixels(const QImage& image, std::initializer_list<Probe> probes) {
  for (const Probe& p : probes) EXPECT_EQ(At(image, p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
}

inline constexpr Rgb kBlack = MakeRgb(0, 0, 0), kWhite = MakeRgb(255, 255, 255),
                     kYellow = MakeRgb(255, 255, 0), kRed = MakeRgb(255, 0, 0), kGreen = MakeRgb(0, 255, 0),
                     kMagenta = MakeRgb(255, 0, 255);

}  // namespace qs::test
