#include "cli/AcquireStats.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstring>

namespace qs::cli {

long ResidentKiB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmRSS:", 6) == 0) {
      kib = std::strtol(line + 6, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return kib;
}

void AcquireStats::Sample(AppCore& core, std::uint32_t secondsProcessed) {
  int pending = 0;
  {
    Lock hold(core.sync.WaveLock);
    pending = core.buffers.rawWave.Wave128Pending;
  }
  sampleHighWater_ = std::max(sampleHighWater_, pending);
  ++samples_;
  // The first interval closes after 10 s: from then on the run allocates
  // nothing, so memory should stay where it is.
  if (startRssKiB_ == 0 && secondsProcessed >= 10) startRssKiB_ = ResidentKiB();
}

void AcquireStats::Print(std::FILE* out, AppCore& core, std::uint32_t secondsProcessed) {
  const long end = ResidentKiB();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::fprintf(out, "stats: seconds_processed=%u\n", secondsProcessed);
  std::fprintf(out, "stats: rss_start_kib=%ld\n", startRssKiB_);
  std::fprintf(out, "stats: rss_end_kib=%ld\n", end);
  std::fprintf(out, "stats: rss_growth_pct=%.2f\n",
               startRssKiB_ > 0
                   ? 100.0 * static_cast<double>(end - startRssKiB_) / static_cast<double>(startRssKiB_)
                   : 0.0);
  std::fprintf(out, "stats: draw_queue_high_water=%zu\n", core.drawQueue.HighWater());
  std::fprintf(out, "stats: sample_ring_high_water=%d of %d (sampled %llu times)\n", sampleHighWater_,
               RawWaveBuffer::kSize128, static_cast<unsigned long long>(samples_));
  std::fprintf(out, "stats: cpu_seconds=%.2f\n", cpu);
}

}  // namespace qs::cli
