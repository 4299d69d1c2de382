#include "display/GraphDrawing.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace qs {
namespace {

// The flag bits that count as an artifact on screen, and the monitor's
// "checking impedance" bit among them.
constexpr std::uint32_t kShownArtifactBits = 0x7FDF9F5F;
constexpr std::uint32_t kCheckingBit = 0x40000000;

}  // namespace

std::string GraphDrawing::NoiseTextOf(std::uint32_t artifactWord, bool testMode) {
  const std::uint32_t masked = artifactWord & kShownArtifactBits;
  if (testMode) {
    char hex[12];
    std::snprintf(hex, sizeof hex, "%08X", masked);
    return hex;
  }
  if (masked == 0) return {};
  return (artifactWord & kCheckingBit) != 0 ? "Checking" : "Artifact";
}

std::string GraphDrawing::ClockTextOf(std::uint32_t seconds) {
  char text[24];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds % 3600 / 60, seconds % 60);
  return text;
}

GraphDrawing::GraphDrawing(AppCore& core, UiBridge& ui, GraphDrawingOptions options)
    : core_(core), ui_(ui), options_(options) {
  const AppSettings& s = core_.settings;
  {
    BitmapHold hold(wave_);
    Canvas canvas(wave_.image);
    WaveGraph::DrawFrame(canvas, s.WaveScaleIndex);
  }
  ShowNow(GraphId::Wave);
  {
    BitmapHold hold(power_);
    Canvas canvas(power_.image);
    PowerGraph::DrawFrame(canvas, CurrentPowerSettings());
  }
  ShowNow(GraphId::Power);
  {
    BitmapHold hold(bicFrame_);
    Canvas canvas(bicFrame_.image);
    BicMap::DrawTemplate(canvas, s.GrayScale);
  }
  {
    BitmapHold hold(bic_);
    Canvas canvas(bic_.image);
    canvas.CopyFrom(bicFrame_.image, 0, 0, BicMap::kWidth, BicMap::kHeight, 0, 0);
    BicMap::DrawLegend(canvas, s.FigType, s.GrayScale);
  }
  ShowNow(GraphId::Bic);
  trend_.Reset(trendBitmap_, sqi_, CurrentTrendSettings());
  ShowNow(GraphId::Trend);
  ShowNow(GraphId::Sqi);
}

Bitmap& GraphDrawing::BitmapOf(GraphId graph) {
  switch (graph) {
    case GraphId::Wave:
      return wave_;
    case GraphId::Power:
      return power_;
    case GraphId::Bic:
      return bic_;
    case GraphId::Trend:
      return trendBitmap_;
    case GraphId::Dsa:
      return dsa_.Picture();
    case GraphId::Sqi:
      break;
  }
  return sqi_;
}

QImage GraphDrawing::Picture(GraphId graph) {
  Bitmap& bitmap = BitmapOf(graph);
  BitmapHold hold(bitmap);
  return bitmap.image.copy();
}

void GraphDrawing::ShowNow(GraphId graph) {
  if (options_.screen == nullptr) return;
  const QImage picture = Picture(graph);
  options_.screen->ShowGraph(graph, picture);
}

void GraphDrawing::Pause() const {
  if (options_.screen != nullptr && options_.pauseMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.pauseMs));
}

void GraphDrawing::Show(GraphId graph, bool pause) {
  if (options_.screen == nullptr) return;
  ui_.Synchronize([this, graph] { ShowNow(graph); });
  if (pause) Pause();
}

TrendSettings GraphDrawing::CurrentTrendSettings() const {
  const AppSettings& s = core_.settings;
  return TrendSettings{s.Child, s.SR_PCT, s.mBIC_filter, s.FigType, core_.run.TrendStartHour,
                       core_.run.TrendStartSlot};
}

PowerScaleSettings GraphDrawing::CurrentPowerSettings() const {
  return PowerScaleSettings{core_.settings.Pow_real, core_.settings.PowerScale};
}

void GraphDrawing::Handle(const DrawRequest& request) {
  {
    Lock hold(core_.sync.SnapshotLock);
    snapshotIndex_ = core_.buffers.trendSnapshot.index;
  }
  switch (request.kind) {
    case WaveReset:
      return OnWaveReset();
    case WaveSecond:
      return OnWaveSecond(request.arg1);
    case PowerFrame:
      return OnPowerFrame();
    case PowerSpectrumReady:
      return OnPowerSpectrum();
    case BicReset:
      return OnBicReset();
    case BicMapReady:
      return OnBicMap();
    case TrendReset:
      return OnTrendReset();
    case TrendRecord:
      return OnTrendRecord();
    case NextHour:
      return OnHourChange(true);
    case PrevHour:
      return OnHourChange(false);
    case DsaColumn:
      return OnDsa(true);
    case DsaRedraw:
      return OnDsa(false);
    default:
      return;  // unknown kinds are dropped
  }
}

void GraphDrawing::OnWaveReset() {
  {
    BitmapHold hold(wave_);
    Canvas canvas(wave_.image);
    WaveGraph::DrawFrame(canvas, core_.settings.WaveScaleIndex);
  }
  Pause();
  Show(GraphId::Wave, true);
}

void GraphDrawing::OnWaveSecond(int block) {
  if (block < 0 || block >= kBlocks) return;
  const AppSettings& s = core_.settings;
  core_.buffers.waveDisplay.Read(block, second_);

  timeText_ = ClockTextOf(second_.clockSeconds);
  if (options_.screen != nullptr) ui_.Synchronize([this] { options_.screen->ShowClock(timeText_); });

  const WaveSettings settings{s.Show_Raw, s.Show_Proc, s.Wave_Scale};
  const bool drawn = waveGraph_.PrepareSecond(second_.raw.data(), second_.processed.data(), settings);
  noiseText_ = NoiseTextOf(second_.artifactWord, s.Test_Mode);
  if (options_.screen != nullptr) ui_.Synchronize([this] { options_.screen->ShowNoise(noiseText_); });
  if (drawn) {
    BitmapHold hold(wave_);
    Canvas canvas(wave_.image);
    waveGraph_.DrawSecond(canvas);
  }
  Show(GraphId::Wave, true);
  Pause();
  BitmapHold hold(wave_);
  Canvas canvas(wave_.image);
  WaveGraph::Scroll(canvas);
}

void GraphDrawing::OnPowerFrame() {
  {
    BitmapHold hold(power_);
    Canvas canvas(power_.image);
    PowerGraph::DrawFrame(canvas, CurrentPowerSettings());
  }
  Show(GraphId::Power, true);
}

void GraphDrawing::OnPowerSpectrum() {
  {
    Lock hold(core_.sync.SpectrumLock);
    spectrum_ = core_.buffers.averageSpectrum;
  }
  powerGraph_.Prepare(spectrum_, CurrentPowerSettings());
  {
    BitmapHold hold(power_);
    Canvas canvas(power_.image);
    powerGraph_.DrawCurve(canvas);
  }
  Show(GraphId::Power, true);
}

void GraphDrawing::OnBicReset() {
  const AppSettings& s = core_.settings;
  Pause();
  {
    BitmapHold hold(bic_);
    Canvas canvas(bic_.image);
    // The template is drawn once, before this thread starts, and never shown:
    // it needs no lock.
    canvas.CopyFrom(bicFrame_.image, 0, 0, BicMap::kWidth, BicMap::kHeight, 0, 0);
    BicMap::DrawLegend(canvas, s.FigType, s.GrayScale);
  }
  Show(GraphId::Bic, true);
}

void GraphDrawing::OnBicMap() {
  if (options_.bicDisplay == nullptr) return;
  {
    BitmapHold hold(bic_);
    Canvas canvas(bic_.image);
    BicMap::Paint(canvas, options_.bicDisplay, core_.settings.FigType, core_.settings.GrayScale);
  }
  Show(GraphId::Bic, true);
  Pause();
}

void GraphDrawing::OnTrendReset() {
  trend_.Reset(trendBitmap_, sqi_, CurrentTrendSettings());
  Show(GraphId::Trend, false);
  Pause();
  Show(GraphId::Sqi, true);
}

void GraphDrawing::OnTrendRecord() {
  {
    Lock hold(core_.sync.SnapshotLock);
    snapshot_ = core_.buffers.trendSnapshot;
  }
  const bool drawn = trend_.AddRecord(trendBitmap_, sqi_, CurrentTrendSettings(), core_.buffers.trend,
                                      snapshot_.record, snapshot_.index);
  if (!drawn) return;
  Show(GraphId::Trend, false);
  {
    BitmapHold hold(sqi_);
    Canvas canvas(sqi_.image);
    const EpochResult& r = snapshot_.record;
    SqiGraph::DrawBars(canvas, {r[EpochResult::SqiTime], r[EpochResult::SqiPower], r[EpochResult::SqiBisp]});
  }
  Show(GraphId::Sqi, true);
}

void GraphDrawing::OnHourChange(bool next) {
  const TrendSettings settings = CurrentTrendSettings();
  const bool moved = next ? trend_.NextHour(trendBitmap_, sqi_, settings, core_.buffers.trend, snapshotIndex_)
                          : trend_.PrevHour(trendBitmap_, sqi_, settings, core_.buffers.trend, snapshotIndex_);
  if (moved) Show(GraphId::Trend, false);
  // The spectrogram follows the trend's page unless it is told otherwise.
  if (moved && dsa_.Shown() && core_.dsaView.followTrend && !core_.dsaView.wholeCase) OnDsa(false);
}

void GraphDrawing::OnDsa(bool newColumn) {
  dsa_.TakeColumns();
  // Columns still arrive while the window is closed; only drawing waits.
  if (!dsa_.Shown()) return;
  dsa_.Redraw(trend_, CurrentTrendSettings());
  Show(GraphId::Dsa, newColumn);
}

}  // namespace qs
