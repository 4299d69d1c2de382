#pragma once
// The run's process-wide fields that the worker threads read without a lock.
// Each is one relaxed 32-bit value written by one side at a time; the texts are
// touched by the user-interface thread only.
#include <cstdint>
#include <string>

#include "platform/Relaxed.h"
#include "platform/DataFile.h"

namespace qs {

struct RunState {
  Relaxed<bool> OnlineMode{true};         // mirrors the checked mode item, for the workers
  Relaxed<std::uint32_t> RunId{0};        // advances at every Start; workers tag their requests with it
  // The online run whose receive thread may write and close RecordFile: set
  // at its Start, 0 from its Stop on (under RecordFileLock), so a receive
  // thread still ending never touches a record file opened after that Stop.
  Relaxed<std::uint32_t> RecordingRunId{0};
  Relaxed<bool> Rate256{false};
  Relaxed<std::int32_t> MonitorModel{0};  // 0..2, from message 1102
  Relaxed<std::int32_t> EngineKind{0};    // 2: four-channel raw EEG layout
  Relaxed<float> WaveGain{0.0f};
  Relaxed<float> WaveOffset{0.0f};
  Relaxed<std::uint32_t> ClockSec{0};     // seconds since midnight
  Relaxed<std::int32_t> TrendStartHour{0};
  Relaxed<std::int32_t> TrendStartSlot{0};
  // The record file chosen for replay, as the pre-scan found it.
  Relaxed<std::uint32_t> FileStartSec{0};   // time of day at which the file begins
  Relaxed<std::int32_t> FileSeconds{0};     // whole seconds of data after the first packet
  Relaxed<std::int32_t> StartOffsetSec{0};  // seconds to skip at the start, 0..FileSeconds
  Relaxed<std::int32_t> BytesPerSecond{862};
  Relaxed<std::int32_t> ReplayHeaderLength{0};

  DataFile RecordFile;
  DataFile ReplayFile;
  std::string ReplayFileName;
  std::string DialogFileName;
  DataFile BicExportFile;
  DataFile PowExportFile;
  // The form of the two spectrum exports, set by the Save command before it
  // opens the file and read by the calculation thread at every write.
  Relaxed<bool> PowExportBinary{true};
  Relaxed<bool> BicExportBinary{true};
  DataFile BisVariablesFile;
  DataFile AmpExportFile;
  DataFile WaveAsciiFile;  // the text wave of a replay, one sample per line
  Relaxed<bool> WaveFileBinary{false};

  Relaxed<bool> ReplayTickBusy{false};
  Relaxed<bool> StepMode{false};
  Relaxed<std::int32_t> StepCredits{0};
  Relaxed<bool> EpochAccepted{false};
  Relaxed<bool> RunContinuous{false};
  Relaxed<bool> MonitorInfoSeen{false};
  Relaxed<bool> WindowOpen{false};
  Relaxed<bool> CommentInputOpen{false};
  Relaxed<std::int32_t> CommentAnchorLine{0};
};

}  // namespace qs
