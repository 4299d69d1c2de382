#pragma once
// The density spectral array's data: one column per 10-s interval, the
// interval's averaged spectrum as the power graph shows it, with the
// interval's time of day, its SEF and whether its epochs were all rejected.
// The columns live in one block allocated at start-up for the whole history
// (MaxMem hours, like the trend) and are written in place: appending never
// allocates. Once full, the oldest column gives way to the newest.
//
// The calculation thread appends under SpectrumLock; the drawing thread keeps
// its own copy (SyncFrom, one short hold per interval) and draws from that
// without any lock. A run's start clears the history.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/EpochResult.h"

namespace qs {

// Bins 1..93 of the 0.5 Hz spectrum: 0.5 to 46.5 Hz, the bins the text power
// export writes; a column covers 0..47 Hz.
inline constexpr int kDsaBins = 93;
inline constexpr double kDsaBinHz = 0.5;

struct SpectrumColumn {
  float power[kDsaBins];  // power[k - 1] is bin k (k x 0.5 Hz), uV^2 as the power graph's
  float sef;              // Hz, or kNotAvailable
  std::uint32_t time;     // seconds of the day at the interval's close, as the exports write it
  std::uint32_t rejected; // 1: no clean epoch in the interval (every one rejected for artifacts)
  std::uint32_t spare;
};

class SpectrumHistory {
 public:
  using AllocFn = void* (*)(std::size_t count, std::size_t size);

  // Room for capacity columns; false (and no room) when the allocation fails.
  bool Allocate(std::size_t capacity, AllocFn alloc);
  void Release();
  std::size_t Capacity() const { return capacity_; }

  void Clear() { appended_ = 0; ++generation_; }
  // Writes the next column in place. spectrum holds bins 0..100 (bin 0 unused).
  void Append(const float* spectrum, float sef, std::uint32_t time, bool rejected);

  // Columns held, oldest first: Column(0) .. Column(Size() - 1).
  std::size_t Size() const { return appended_ < capacity_ ? static_cast<std::size_t>(appended_) : capacity_; }
  const SpectrumColumn& Column(std::size_t i) const;
  const SpectrumColumn& Last() const { return Column(Size() - 1); }
  // Columns appended since the last Clear, including those given way.
  std::uint64_t Appended() const { return appended_; }

  // Brings this copy up to date with source (same capacity or larger):
  // copies only the columns appended since the last call, or starts over when
  // source was cleared meanwhile. The caller holds source's lock. Returns
  // whether anything changed.
  bool SyncFrom(const SpectrumHistory& source);

 private:
  struct FreeColumns {
    void operator()(SpectrumColumn* p) const noexcept;
  };
  std::unique_ptr<SpectrumColumn, FreeColumns> columns_;
  std::size_t capacity_ = 0;
  std::uint64_t appended_ = 0;
  std::uint64_t generation_ = 0;        // bumped by Clear
  std::uint64_t sourceGeneration_ = 0;  // of the source at the last SyncFrom
};

}  // namespace qs
