#pragma once
// The spectrogram window's picture as the drawing thread keeps it: its own
// copy of the spectrum history (allocated once, as large as the
// calculation's), brought up to date under SpectrumLock one interval at a
// time, and a bitmap of the window's size drawn from that copy without any
// lock but the bitmap's own. The view (size, frequency limit, dB range,
// trend page or whole case or scrolled, comment markers) comes from
// AppCore::dsaView.
#include <QImage>

#include "core/AppCore.h"
#include "core/DsaHistory.h"
#include "display/Bitmap.h"
#include "display/DsaGraph.h"
#include "display/TrendGraph.h"

namespace qs {

class DsaDrawing {
 public:
  explicit DsaDrawing(AppCore& core);

  // Copies the columns the calculation has added since the last call.
  void TakeColumns();
  // Draws the picture for the view the window asks for; trend is the trend
  // graph whose two-hour page the picture follows.
  void Redraw(const TrendGraph& trend, const TrendSettings& settings);
  bool Shown() const { return core_.dsaView.shown; }
  Bitmap& Picture() { return bitmap_; }
  const SpectrumHistory& History() const { return history_; }

  // The view of the picture as the window's fields describe it; exposed for
  // tests and for callers that draw elsewhere.
  static DsaView ViewOf(const DsaViewState& state, std::size_t held, const TrendGraph& trend,
                        const TrendSettings& settings, std::uint32_t* markers);

 private:
  AppCore& core_;
  SpectrumHistory history_;
  Bitmap bitmap_{820, 300};
  std::uint32_t markers_[DsaViewState::kMaxMarkers] = {};
};

}  // namespace qs
