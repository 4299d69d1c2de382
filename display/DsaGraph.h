#pragma once
// The density spectral array (spectrogram) of a SpectrumHistory, drawn into
// any image through Canvas: time across (one 10-s column per interval), 0 to
// maxHz up, power in dB as colour from a perceptually uniform map (viridis:
// dark blue-violet for low power, yellow for high), with a colour bar and its
// dB labels, the SEF of each interval as a white line, comment markers at
// their times and artifact-rejected intervals in grey with a red tick above.
//
// Everything is headless: the spectrogram window, `replay --png-dir` and any
// printed report draw the same picture from the same history. A caller that
// paints with its own means (a PDF page, a QPainter) can take the data side
// alone: DsaAutoRange for the dB range, DsaColour for a value's colour and
// DsaPlotArea for where the columns go.
//
// When the view holds more intervals than the plot has pixel columns, a
// pixel column shows the mean power of its intervals (rejected ones left
// out), so a short stretch of suppression still darkens its column.
#include <cstdint>

#include "core/DsaHistory.h"
#include "display/Canvas.h"

namespace qs {

inline constexpr double kDsaDefaultMaxHz = 30.0;
inline constexpr double kDsaMaxHz = 47.0;

struct DsaRange {
  double lowDb = -10.0;
  double highDb = 30.0;
};

struct DsaView {
  // The history column at the plot's left edge and the number of columns
  // across it; columns outside the history stay blank. columns = 0: the
  // whole history, but never fewer than minColumns (a case that has just
  // begun fills the picture from the left instead of stretching its first
  // intervals across it).
  std::int64_t firstColumn = 0;
  std::int64_t columns = 0;
  std::int64_t minColumns = 1;
  // Clock seconds at the left edge, for the time axis (not wrapped at 24 h);
  // -1: the first column's own time less its 10 s.
  std::int64_t startSeconds = -1;
  double maxHz = kDsaDefaultMaxHz;  // up to kDsaMaxHz
  bool autoRange = true;            // else `range`
  DsaRange range;
  // Comment times, seconds of the day.
  const std::uint32_t* markers = nullptr;
  int markerCount = 0;
};

struct DsaArea {
  int left = 0, top = 0, right = 0, bottom = 0;  // the plot, right and bottom excluded
};

// Where the columns go in an image of the given size.
DsaArea DsaPlotArea(int width, int height);
// The colour of a power in dB within a range (clamped at both ends).
Rgb DsaColour(double db, const DsaRange& range);
// The 2nd and 98th percentiles (0.1 dB steps) of every bin up to maxHz of
// every interval that was not rejected: robust to a few artifacts at either
// end. A history without such values gives the default range.
DsaRange DsaAutoRange(const SpectrumHistory& history, double maxHz);
// 10 log10 of a power; very low or no power gives kDsaFloorDb.
inline constexpr double kDsaFloorDb = -100.0;
double PowerDb(float power);

// Draws the whole picture: background, columns, SEF, markers, axes and colour
// bar. Returns the range used.
DsaRange DrawDsa(Canvas& canvas, const SpectrumHistory& history, const DsaView& view);

}  // namespace qs
