#include "dsp/CalcEngine.h"

#include <utility>

#include "platform/Clock.h"
#include "platform/UiBridge.h"
#include "record/Replay.h"

namespace qs {
namespace {

// Start-up gates, in blocks taken since the start (two per cycle). With a 1 s
// moving average the detrend stage needs 4 blocks, the half-wave detector 4
// for its first block and 5 for its second (so at the fourth block only one
// block is analysed), the epoch stage 6 (one block at exactly 6, two above).
// With 2 s: 6, 6 and 6, and 8. The count is capped once every gate is open.
struct Gates {
  int detrend, suppressFirst, suppressSecond, epoch, cap;
};
constexpr Gates kGates1s{4, 4, 5, 6, 12};
constexpr Gates kGates2s{6, 6, 6, 8, 14};

std::uint32_t SecondsOfDay(const TimeOfDay& t) {
  return static_cast<std::uint32_t>(t.hour * 3600 + t.minute * 60 + t.second);
}

}  // namespace

CalcEngine::CalcEngine(AppCore& core, Replay* replay)
    : core_(core), replay_(replay), amplitudeExport_(core.run.AmpExportFile) {
  tables_.Build();
}

bool CalcEngine::Allocate(ZeroAllocFn alloc) { return bisp_.Allocate(alloc); }

void CalcEngine::Push(std::int32_t kind, std::int32_t arg1, std::int32_t arg2) {
  core_.drawQueue.Push({kind, arg1, arg2});
}

void CalcEngine::StartRun() {
  const AppSettings& s = core_.settings;
  online_ = core_.run.OnlineMode;
  movingAverage2s_ = s.Moving_Average == 1;
  ring_.Reset();
  {
    Lock hold(core_.sync.SpectrumLock);
    core_.buffers.spectrumHistory.Clear();
  }
  conditioner_.Reset(movingAverage2s_);
  suppression_.Reset(s.BS_Threshold);
  power_.Reset();
  bisp_.Reset();
  const int first = movingAverage2s_ ? 2 : 1;
  suppressionBlock_ = epochBlock_ = waveformBlock_ = first;
  core_.buffers.monitorFlags.acquisitionBlock = 0;
  blocksTaken_ = 0;
  secondsProcessed_ = 0;
  suppressionCount_ = 0;
  intervalFlagged_ = lastIntervalFlagged_ = 0;
  intervalBlocks_ = 0;
  intervalCleanEpochs_ = 0;
  epochsTransformed_ = 0;
  logCadence_.Reset();
  if (online_) {
    const std::uint32_t t = SecondsOfDay(LocalNow());
    core_.run.TrendStartHour = static_cast<std::int32_t>(((t + 20) / 3600) % 24);
    core_.run.TrendStartSlot = static_cast<std::int32_t>(((t + 20) % 3600) / 10);
  }
  // Texts a previous run left unshown come first, then the new run's header:
  // the log keeps its order.
  if (ui_ != nullptr) ui_->Synchronize([this] {
    DrainTexts();
    requests_->ShowLogHeader();
  });
}

void CalcEngine::QueueTexts() {
  if (ui_ == nullptr) return;
  if (!shownTexts_.TryPush(texts_)) {
    // The user-interface thread is behind by a whole ring: wait for it to show
    // what is queued, then queue. No interval is dropped; once the bridge is
    // shut down nothing is shown any more, and the texts go nowhere, as a
    // waiting hand-off would.
    if (!ui_->Synchronize([this] { DrainTexts(); })) return;
    shownTexts_.TryPush(texts_);
  }
  // Online and in a paced replay each interval is shown at once. Calculation
  // Only closes intervals far faster than anyone reads them: it wakes the
  // user-interface thread once per batch, and Flush hands over the rest.
  if (core_.run.RunContinuous && shownTexts_.Queued() < kTextBatch) return;
  if (shownTexts_.NeedsDrain()) ui_->Post([this] { DrainTexts(); });
}

void CalcEngine::Flush() {
  if (ui_ == nullptr || shownTexts_.Queued() == 0) return;
  if (shownTexts_.NeedsDrain()) ui_->Post([this] { DrainTexts(); });
}

void CalcEngine::DrainTexts() {
  shownTexts_.Drain([this](const IntervalTexts& t) { requests_->ShowInterval(t); });
}

void CalcEngine::TakeBlock() {
  MonitorFlagRing& monitor = core_.buffers.monitorFlags;
  const int block = monitor.acquisitionBlock;
  const auto b = static_cast<std::size_t>(block);
  // A monitor flag word marks the block it was stored for, once: cleared when
  // taken, so a second without its variables message leaves no stale word
  // behind for the block eight seconds later.
  ring_.BlockFlags[b] |= monitor.words[b].load() & kMonitorFlagMask;
  monitor.words[b] = 0;
  const float gain = core_.run.WaveGain;
  const float offset = core_.run.WaveOffset;
  RawWaveBuffer& raw = core_.buffers.rawWave;
  {
    Lock hold(core_.sync.WaveLock);
    for (int i = 0; i < kBlockSamples; ++i) {
      ring_.ScaledWave[b * kBlockSamples + static_cast<std::size_t>(i)] =
          (static_cast<float>(raw.Wave128[static_cast<std::size_t>(raw.Wave128Read)]) - offset) * gain;
      raw.Wave128Read = (raw.Wave128Read + 1) % RawWaveBuffer::kSize128;
    }
    raw.Wave128Pending -= kBlockSamples;
    if (core_.run.Rate256) {
      for (int i = 0; i < 2 * kBlockSamples; ++i) {
        ring_.ScaledWave256[2 * b * kBlockSamples + static_cast<std::size_t>(i)] =
            (static_cast<float>(raw.Wave256[static_cast<std::size_t>(raw.Wave256Read)]) - offset) * gain;
        raw.Wave256Read = (raw.Wave256Read + 1) % RawWaveBuffer::kSize256;
      }
      raw.Wave256Pending -= 2 * kBlockSamples;
    }
  }
  if (core_.run.WaveAsciiFile.IsOpen()) {
    if (core_.run.Rate256) {
      WriteWaveBlock(core_.run.WaveAsciiFile, ring_.ScaledWave256.data() + 2 * b * kBlockSamples,
                     2 * kBlockSamples);
    } else {
      WriteWaveBlock(core_.run.WaveAsciiFile, ring_.ScaledWave.data() + b * kBlockSamples, kBlockSamples);
    }
  }
  monitor.acquisitionBlock = NextBlock(block);
}

bool CalcEngine::RunCycle() {
  if (!online_) {
    if (replay_ == nullptr || replay_->NextSecond() == Replay::Step::EndOfFile) return false;
    ProcessSecond();
    return true;
  }
  // Online a cycle takes every whole second waiting, and only whole seconds:
  // two data signals that came before the thread woke are one wake-up (an
  // auto-reset event does not count), and a signal left over from an earlier
  // run finds nothing to take. Either way the rings stay in step with the
  // receive thread and no block is taken twice or read before it is written.
  while (WholeSecondWaiting()) ProcessSecond();
  return true;
}

bool CalcEngine::WholeSecondWaiting() {
  Lock hold(core_.sync.WaveLock);
  return core_.buffers.rawWave.Wave128Pending >= 2 * kBlockSamples;
}

void CalcEngine::ProcessSecond() {
  RunState& run = core_.run;
  const AppSettings& s = core_.settings;
  figType_ = s.FigType;
  if (online_) {
    cycleStamp_ = SecondsOfDay(LocalNow());
  } else {
    cycleStamp_ = run.ClockSec;
    run.ClockSec = cycleStamp_ + 1;
  }
  const Gates& gates = movingAverage2s_ ? kGates2s : kGates1s;
  amplitudeExport_.SetStamp(cycleStamp_);
  HalfWaveSink* const amplitudeSink = run.AmpExportFile.IsOpen() ? &amplitudeExport_ : nullptr;

  TakeBlock();
  TakeBlock();
  ++secondsProcessed_;
  blocksTaken_ = std::min(blocksTaken_ + 2, gates.cap);

  const int suppressionAtStart = suppressionBlock_;
  if (blocksTaken_ >= gates.detrend) {
    const EpochResult* previous = core_.buffers.trend.index > 0
                                      ? &core_.buffers.trend.records[static_cast<std::size_t>(core_.buffers.trend.index - 1)]
                                      : nullptr;
    const float threshold = OvershootThreshold(previous, s.Overshoot_Threshold);
    conditioner_.DetrendNext(ring_, threshold, s.Spike_Threshold);
    conditioner_.DetrendNext(ring_, threshold, s.Spike_Threshold);
  }
  if (!s.CalcOnly) {
    core_.buffers.waveDisplay.Publish(ring_, waveformBlock_, suppressionAtStart,
                                      online_ ? cycleStamp_ : run.ClockSec.load());
    Push(WaveSecond, waveformBlock_, suppressionAtStart);
  }
  lastWaveBlock_ = waveformBlock_;
  waveformBlock_ = NextBlock(waveformBlock_, 2);

  for (int i = 0; i < 2; ++i) {
    if (blocksTaken_ < (i == 0 ? gates.suppressFirst : gates.suppressSecond)) break;
    suppression_.AnalyseBlock(ring_, suppressionBlock_, s.BS_Threshold, amplitudeSink);
    suppressionBlock_ = NextBlock(suppressionBlock_);
    if (++suppressionCount_ == 20) {
      suppressionCount_ = 0;
      CloseSuppressionInterval();
    }
  }

  if (blocksTaken_ >= gates.epoch) {
    EpochStage();
    if (blocksTaken_ > gates.epoch) EpochStage();
  }
  cyclesDone_.fetch_add(1, std::memory_order_release);
}

void CalcEngine::CloseSuppressionInterval() {
  const AppSettings& s = core_.settings;
  const SuppressionResult r = suppression_.CloseInterval(s.Amp_Dur, s.BS_Threshold, s.SR_PCT, power_);
  EpochResult& record = core_.buffers.trend.Current();
  record[EpochResult::SqiTime] = r.sqiTime;
  record[EpochResult::Bsr] = r.bsr;
  record[EpochResult::Amp] = r.amp;
}

void CalcEngine::EpochStage() {
  const AppSettings& s = core_.settings;
  RunState& run = core_.run;
  ring_.BlockFlags[static_cast<std::size_t>(NextBlock(epochBlock_, -1))] = 0;
  if (ring_.BlockFlags[static_cast<std::size_t>(epochBlock_)] != 0) ++intervalFlagged_;
  bool clean = true;
  for (int i = 0; i < 4; ++i) clean = clean && ring_.BlockFlags[static_cast<std::size_t>(NextBlock(epochBlock_, i))] == 0;
  if (clean) {
    const float* source = s.UseProcessedWave ? ring_.DetrendedWave.data() : ring_.ScaledWave.data();
    TransformEpoch(source, epochBlock_, tables_, re_.data(), im_.data());
    ++epochsTransformed_;
    ++intervalCleanEpochs_;
    if (run.StepMode) {
      // Review mode shows every clean epoch's own spectrum at once.
      Spectrum& average = core_.buffers.averageSpectrum;
      Lock hold(core_.sync.SpectrumLock);
      average[0] = 0.0f;
      for (int k = 1; k <= 100; ++k)
        average[static_cast<std::size_t>(k)] = re_[static_cast<std::size_t>(k)] * re_[static_cast<std::size_t>(k)] +
                                               im_[static_cast<std::size_t>(k)] * im_[static_cast<std::size_t>(k)];
    }
    if (run.StepMode) Push(PowerSpectrumReady);
    if (!run.StepMode || run.EpochAccepted) {
      if (power_.AddEpoch(re_.data(), im_.data(), s.SefFraction)) bisp_.AddEpoch(re_.data(), im_.data());
    }
  }
  epochBlock_ = NextBlock(epochBlock_);
  if (++intervalBlocks_ == 20) {
    intervalBlocks_ = 0;
    lastIntervalFlagged_ = std::exchange(intervalFlagged_, 0);
    CloseInterval();
  }
}

void CalcEngine::CloseInterval() {
  const AppSettings& s = core_.settings;
  RunState& run = core_.run;
  TrendStore& trend = core_.buffers.trend;
  EpochResult& record = trend.Current();
  intervalTime_ = online_ ? cycleStamp_ : run.ClockSec.load();

  record[EpochResult::SqiBisp] = bisp_.CloseWindow(s.Bisp_Dur);
  Spectrum average;
  // An interval all of whose epochs were rejected for artifacts shows the
  // window's spectrum all the same; the spectrogram marks it. (Clean epochs
  // too weak for the spectrum, as in suppression, are not artifacts.)
  const bool rejected = intervalCleanEpochs_ == 0;
  intervalCleanEpochs_ = 0;
  record[EpochResult::SqiPower] = power_.CloseInterval(s.Power_Dur, average);
  {
    Lock hold(core_.sync.SpectrumLock);
    core_.buffers.averageSpectrum = average;
  }
  if (!s.CalcOnly) Push(PowerSpectrumReady);
  WritePowerExport(run.PowExportFile, run.PowExportBinary, average.data(), intervalTime_, online_);

  bisp_.Derive(figType_, s.mBIC_filter, s.SynchFastSlow);
  bisp_.Profile(s.mBIC_filter, record);

  // The closing step: the indices that depend on the window counts and on the
  // monitor.
  const MonitorValues& monitor = core_.buffers.monitor;
  record[EpochResult::Sef] = power_.WindowSef(s.Use_BIS_SEF, monitor.MonSef);
  record[EpochResult::Rbr] = power_.WindowRbr();
  record[EpochResult::BispR] = bisp_.BispR(s.BicRatio);
  if (s.Use_BIS_BSR) {
    const std::int16_t bsr = monitor.MonBsr;
    record[EpochResult::Bsr] = bsr < 0 ? kNotAvailable : static_cast<float>(bsr * (s.SR_PCT ? 0.1 : 0.001));
  }
  const std::int16_t bis = monitor.MonBis;
  record[EpochResult::Bis] = bis < 0 ? kNotAvailable : static_cast<float>(bis * 0.1);
  {
    Lock hold(core_.sync.SpectrumLock);
    core_.buffers.spectrumHistory.Append(average.data(), record[EpochResult::Sef], intervalTime_, rejected);
  }
  if (!s.CalcOnly) Push(DsaColumn);

  // Texts, the trend snapshot (every other record, aligned to the trend's
  // start slot), then the values and the log line, queued for the
  // user-interface thread.
  const TextSettings textSettings{s.SR_PCT, s.Use_BIS_BSR, s.Log_BIC};
  FormatIntervalTexts(texts_, record, monitor, intervalTime_, textSettings);
  if (s.Proc_Trend && (run.TrendStartSlot / 10 + trend.index + 1) % 2 == 0) {
    {
      Lock hold(core_.sync.SnapshotLock);
      core_.buffers.trendSnapshot.record = record;
      core_.buffers.trendSnapshot.index = trend.index;
    }
    Push(TrendRecord);
  }
  if (onRecord) onRecord(trend.index, record, intervalTime_);
  QueueTexts();
  trend.Advance();
  if (!s.CalcOnly) Push(BicMapReady);
  // Counted at every close, open file or not, so that the export joins the
  // log's rhythm whenever it is opened.
  if (logCadence_.Advance(s.LogInterval) && run.BicExportFile.IsOpen()) {
    const bool binary = run.BicExportBinary;
    const bool profileForm = (figType_ == 1 || figType_ == 3) && s.OptionButton;
    if (!binary && profileForm) bisp_.DiagonalProfile(profile_.data());
    WriteBicExport(run.BicExportFile, binary, profileForm,
                   BicExportData{bisp_.BicMagnitude(), bisp_.MagnitudeSums(), profile_.data(), bisp_.N(),
                                 power_.WindowCount(), intervalTime_});
  }
  bisp_.AdvanceSlot();
  power_.AdvanceSlot();
}

void CalcEngine::WriteSnapshot(DataFile& file) const {
  TextLine line;
  const float* magnitude = bisp_.BicMagnitude();
  const float* sums = bisp_.MagnitudeSums();
  for (int i = 0; i < kTrianglePairs; ++i) {
    line.Clear();
    line.Fixed(magnitude != nullptr ? magnitude[i] : 0.0f, 6).Char(' ').Fixed(sums != nullptr ? sums[i] : 0.0f, 6).EndLine();
    file.Write(line.Data(), line.Size());
  }
  line.Clear();
  line.Text("# Power").EndLine();
  file.Write(line.Data(), line.Size());
  Spectrum average;
  {
    Lock hold(core_.sync.SpectrumLock);
    average = core_.buffers.averageSpectrum;
  }
  for (int k = 1; k <= 100; ++k) {
    line.Clear();
    line.Fixed(average[static_cast<std::size_t>(k)], 6).EndLine();
    file.Write(line.Data(), line.Size());
  }
  line.Clear();
  line.Text("# wave").EndLine();
  file.Write(line.Data(), line.Size());
  int sample = kBlockSamples * ((lastWaveBlock_ + 8) % kBlocks);
  for (int i = 0; i < 512; ++i) {
    line.Clear();
    line.Fixed(ring_.ScaledWave[static_cast<std::size_t>(sample)], 6).EndLine();
    file.Write(line.Data(), line.Size());
    sample = (sample + 1) % kRingSamples;
  }
}

}  // namespace qs
