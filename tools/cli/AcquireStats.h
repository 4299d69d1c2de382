#pragma once
// `quellscope-cli acquire --stats`: figures of a long online run for the soak
// script. Resident memory once the first interval has closed (every buffer of
// the run touched) and at the end; the drawing queue's high-water mark (kept
// by the queue itself) and the sample ring's, which is sampled: the
// acquisition loop wakes every millisecond while --stats is on and reads the
// pending count under WaveLock.
#include <cstdint>
#include <cstdio>

#include "core/AppCore.h"

namespace qs::cli {

class AcquireStats {
 public:
  static constexpr int kSampleMs = 1;

  void Sample(AppCore& core, std::uint32_t secondsProcessed);
  void Print(std::FILE* out, AppCore& core, std::uint32_t secondsProcessed);

 private:
  long startRssKiB_ = 0;
  int sampleHighWater_ = 0;
  std::uint64_t samples_ = 0;
};

// The process's resident memory in KiB (VmRSS), 0 when unknown.
long ResidentKiB();

}  // namespace qs::cli
