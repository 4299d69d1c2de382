#pragma once
// The replay of a record file, one second per step, on the calculation
// thread. It feeds the file's bytes through the same ring and framing parser
// as the live link and stores what it finds as the receive thread would: the
// selected channel's samples, the calibration, the monitor's variables and
// flag words, and a line of the monitor-variables export.
//
// A second is complete when eight raw EEG messages have been stored. Before
// the first raw EEG message whose sequence number is a multiple of 8, raw EEG
// and processed variables are skipped, so every step covers one whole second.
// A damaged packet costs that packet only; only the true end of the file ends
// the replay.
#include <array>
#include <cstdint>
#include <mutex>

#include "core/AppCore.h"
#include "platform/TextLine.h"

namespace qs {

class Replay {
 public:
  explicit Replay(AppCore& core) : core_(core) {}

  // A new offline run: ring, parser, second ring and flag words back to start.
  // The caller holds LockInput().
  void ResetInput();
  // Held by a replay step, and by the user-interface thread while it opens
  // the next run's file: a step of the run that just stopped may still be
  // finishing on the calculation thread, and must neither see the new run's
  // input half reset nor read the new file into the old state.
  std::unique_lock<std::mutex> LockInput() { return std::unique_lock<std::mutex>(inputMutex_); }
  enum class Step { Second, EndOfFile };
  // Reads and handles messages until one more second is stored.
  Step NextSecond();

  // Raw EEG messages stored and the ones skipped as unusable, for tests.
  std::uint64_t RawStored() const { return rawStored_; }

 private:
  void Handle(std::uint16_t id);
  void HandleRaw();
  void HandleProcessed(std::uint16_t id);
  // Tops the ring up with at least one second of bytes, and at least as many
  // as the parser needs to finish the packet it is assembling. False only at
  // the true end of the file.
  bool ReadOneSecond();

  AppCore& core_;
  std::mutex inputMutex_;
  bool awaitingBoundary_ = true;
  int rawCount_ = 0;
  std::uint64_t rawStored_ = 0;
  std::array<std::uint8_t, 4096> chunk_{};
  TextLine line_;
};

}  // namespace qs
