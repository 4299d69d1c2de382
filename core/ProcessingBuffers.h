#pragma once
// Every buffer of the processing chain, allocated zero-filled once at start-up
// and never again: the per-second and per-epoch paths only index into them.
// Allocation goes through an injectable function so that start-up's
// "Out of Memory" path can be exercised.
#include <array>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "core/MonitorValues.h"
#include "core/RawWaveBuffer.h"
#include "core/DsaHistory.h"
#include "core/TrendStore.h"
#include "core/WaveDisplay.h"

namespace qs {

// Returns zero-filled memory for count elements of size bytes, or nullptr.
using ZeroAllocFn = void* (*)(std::size_t count, std::size_t size);

struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};

class ProcessingBuffers {
 public:
  // Allocates all buffers for a history of maxMemHours hours. False when any
  // allocation fails or the sizes do not fit the address space; nothing is
  // kept then.
  bool Allocate(std::int32_t maxMemHours, ZeroAllocFn alloc = &std::calloc);
  bool Allocated() const { return trendMemory_ != nullptr; }

  RawWaveBuffer rawWave;                 // guarded by WaveLock
  PacketSecondRing packetSeconds;        // guarded by WaveLock
  MonitorValues monitor;
  MonitorFlagRing monitorFlags;
  std::array<float, 101> averageSpectrum{};  // 0.5 Hz bins 1..100; guarded by SpectrumLock
  TrendSnapshot trendSnapshot;           // guarded by SnapshotLock
  SpectrumHistory spectrumHistory;       // one column per interval, as many as the trend; guarded by SpectrumLock
  TrendStore trend;
  WaveDisplayRing waveDisplay;           // the seconds announced to the drawing thread

 private:
  std::unique_ptr<EpochResult, FreeDeleter> trendMemory_;
};

}  // namespace qs
