#pragma once
// The processing cycle of the calculation thread: one second of EEG per call,
// from the raw sample ring to the interval records.
//
// A cycle takes two blocks of 64 samples, conditions (detrends) two blocks,
// runs the half-wave detector over two blocks and the epoch stage over two
// blocks. The four stage positions walk the 16-block ring one step per block,
// staggered so that each stage reads only blocks that earlier stages have
// finished; start-up gates keep a stage idle until enough blocks have been
// taken (see kGates in CalcEngine.cpp). Every 20 epoch blocks (10 s) the
// interval closes and one EpochResult is complete.
//
// Exports: while their files are open, the power spectrum line or record goes
// out right after each interval's AverageSpectrum is published, the
// bispectrum block after the map's draw request of the closes that wrote a log
// line, an amplitude line per completed half-wave and the text wave per block
// taken (dsp/Exports.h).
//
// Time: offline, a cycle's time stamp is the replay clock before that cycle's
// increment, and the interval's elapsed time copied at the close is the clock
// after it; online, the wall clock read at the wake-up.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/AppCore.h"
#include "core/BlockRing.h"
#include "dsp/Bispectrum.h"
#include "dsp/CalcThread.h"
#include "dsp/Conditioning.h"
#include "dsp/HalfWave.h"
#include "dsp/IntervalTextQueue.h"
#include "dsp/IntervalTexts.h"
#include "dsp/PowerSpectrum.h"
#include "dsp/Transform.h"
#include "dsp/Exports.h"

namespace qs {

class Replay;

class CalcEngine final : public CalcCycle {
 public:
  // replay: the offline input (null: only online cycles).
  CalcEngine(AppCore& core, Replay* replay);

  // The bispectral arrays, once at start-up; false when memory is short.
  bool Allocate(ZeroAllocFn alloc = &std::calloc);

  void Attach(UiBridge& ui, RunRequests& requests) override {
    ui_ = &ui;
    requests_ = &requests;
  }
  void StartRun() override;
  bool RunCycle() override;
  void Flush() override;
  const IntervalTexts& Texts() const { return texts_; }
  // The snapshot file's body: 2256 lines of bispectral magnitude and window
  // sum, "# Power" and 100 spectrum bins, "# wave" and the 512 samples before
  // the block last queued for the waveform display. Read while the thread may
  // run, as the window reads the maps: a snapshot of whatever is there.
  void WriteSnapshot(DataFile& file) const;

  // Called on the calculation thread when an interval's record is complete,
  // before the record index advances: the index, the record, and the
  // interval's time (seconds of day online, replay clock offline).
  std::function<void(std::int32_t index, const EpochResult& record, std::uint32_t time)> onRecord;

  // What the case summary needs beyond the records, read inside onRecord (on
  // the calculation thread): the epoch blocks of the closing interval that
  // carried artifact flags (of 20), and the half-wave detector's suppressed
  // time so far (decimated samples, 64 per second).
  struct Tally {
    int intervalFlaggedBlocks = 0;
    std::int64_t suppressedSamples = 0;
    int longestSuppressed = 0;
  };
  Tally RunTally() const {
    return Tally{lastIntervalFlagged_, suppression_.SuppressedSamples(), suppression_.LongestSuppressed()};
  }

  const BlockRing& Ring() const { return ring_; }
  const BispectralStage& Bispectral() const { return bisp_; }
  const PowerStage& Power() const { return power_; }
  int BlocksTaken() const { return blocksTaken_; }
  // Seconds processed since the run started; read from other threads.
  std::uint32_t SecondsProcessed() const { return secondsProcessed_.load(); }
  int EpochBlock() const { return epochBlock_; }
  std::uint64_t EpochsTransformed() const { return epochsTransformed_; }
  // Seconds processed since the program started; advances after everything a
  // second queues or publishes, so a reader that sees it advance also sees that.
  std::uint64_t CyclesDone() const { return cyclesDone_.load(std::memory_order_acquire); }

 private:
  // One second: two blocks taken and every stage advanced.
  void ProcessSecond();
  // Online: a whole second (128 samples) waits in the 128 Hz ring.
  bool WholeSecondWaiting();
  void TakeBlock();
  void EpochStage();
  void CloseSuppressionInterval();
  void CloseInterval();
  // Hands the closed interval's texts to the user-interface thread (see
  // IntervalTextQueue); the drain itself runs there.
  void QueueTexts();
  void DrainTexts();
  void Push(std::int32_t kind, std::int32_t arg1 = 0, std::int32_t arg2 = 0);

  AppCore& core_;
  Replay* replay_;
  UiBridge* ui_ = nullptr;
  RunRequests* requests_ = nullptr;
  IntervalTexts texts_;
  IntervalTextQueue shownTexts_;
  static constexpr std::uint32_t kTextBatch = IntervalTextQueue::kCapacity / 2;
  BlockRing ring_;
  TransformTables tables_;
  Conditioner conditioner_;
  SuppressionStage suppression_;
  PowerStage power_;
  BispectralStage bisp_;
  std::array<float, kEpochPoints> re_{};
  std::array<float, kEpochPoints> im_{};

  bool online_ = true;
  bool movingAverage2s_ = false;
  int blocksTaken_ = 0;
  int suppressionBlock_ = 1;
  int epochBlock_ = 1;
  int waveformBlock_ = 1;
  Relaxed<std::int32_t> lastWaveBlock_{0};      // the block position of the last waveform request
  Relaxed<std::uint32_t> secondsProcessed_{0};  // seconds whose two blocks have been taken
  int suppressionCount_ = 0;  // blocks of the suppression stage's current interval
  int intervalBlocks_ = 0;    // blocks of the epoch stage's current interval
  int intervalFlagged_ = 0;   // of them, blocks with artifact flags
  int lastIntervalFlagged_ = 0;
  int intervalCleanEpochs_ = 0;  // epochs of the current interval without artifact flags
  int figType_ = 1;
  std::uint32_t cycleStamp_ = 0;      // the cycle's time stamp, seconds
  std::uint32_t intervalTime_ = 0;
  std::uint64_t epochsTransformed_ = 0;
  std::atomic<std::uint64_t> cyclesDone_{0};
  // The log window's counter, again: the bispectrum export follows the log
  // lines, which the user-interface thread counts (see LogCadence).
  LogCadence logCadence_;
  AmplitudeExport amplitudeExport_;
  std::array<float, EpochResult::kDiagBicCount> profile_{};
};

}  // namespace qs
