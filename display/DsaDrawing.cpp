#include "display/DsaDrawing.h"

#include <algorithm>
#include <cstdlib>

namespace qs {

DsaDrawing::DsaDrawing(AppCore& core) : core_(core) {
  // Without room for a copy (or before the buffers exist) the spectrogram
  // stays empty; the rest of the drawing goes on.
  const std::size_t capacity = core_.buffers.spectrumHistory.Capacity();
  if (capacity > 0) history_.Allocate(capacity, &std::calloc);
}

void DsaDrawing::TakeColumns() {
  Lock hold(core_.sync.SpectrumLock);
  history_.SyncFrom(core_.buffers.spectrumHistory);
}

DsaView DsaDrawing::ViewOf(const DsaViewState& state, std::size_t held, const TrendGraph& trend,
                           const TrendSettings& settings, std::uint32_t* markers) {
  DsaView view;
  view.maxHz = std::clamp(state.maxHz.load(), 5, static_cast<int>(kDsaMaxHz));
  view.autoRange = state.autoRange;
  view.range = DsaRange{static_cast<double>(state.lowDb.load()), static_cast<double>(state.highDb.load())};
  // The trend's page: hours on the run's clock from its first record's slot.
  const std::int32_t firstHour = trend.FirstHour() >= 0 ? trend.FirstHour() : settings.startHour;
  const std::int64_t pageColumn =
      static_cast<std::int64_t>(firstHour - settings.startHour) * 360 - settings.startSlot;
  if (state.wholeCase) {
    view.firstColumn = 0;
    view.columns = 0;
    view.minColumns = state.wholeCaseMinColumns;
  } else if (state.followTrend) {
    view.firstColumn = pageColumn;
    view.columns = kDsaPageColumns;
    view.startSeconds = static_cast<std::int64_t>(firstHour) * 3600;
  } else {
    view.firstColumn = std::clamp<std::int64_t>(state.scrollColumn.load(), 0,
                                                std::max<std::int64_t>(0, static_cast<std::int64_t>(held) - 1));
    view.columns = kDsaPageColumns;
  }
  const int count = std::clamp(state.markerCount.load(), 0, DsaViewState::kMaxMarkers);
  for (int i = 0; i < count; ++i) markers[i] = state.markers[static_cast<std::size_t>(i)];
  view.markers = markers;
  view.markerCount = count;
  return view;
}

void DsaDrawing::Redraw(const TrendGraph& trend, const TrendSettings& settings) {
  DsaViewState& state = core_.dsaView;
  const DsaView view = ViewOf(state, history_.Size(), trend, settings, markers_);
  state.columnsHeld = static_cast<std::int32_t>(history_.Size());
  state.pageColumn = static_cast<std::int32_t>(std::max<std::int64_t>(0, view.firstColumn));
  const int width = std::clamp(state.width.load(), 200, 4000);
  const int height = std::clamp(state.height.load(), 120, 2000);
  BitmapHold hold(bitmap_);
  if (bitmap_.image.width() != width || bitmap_.image.height() != height)
    bitmap_.image = QImage(width, height, QImage::Format_RGB32);
  Canvas canvas(bitmap_.image);
  DrawDsa(canvas, history_, view);
}

}  // namespace qs
