#include "core/ProcessingBuffers.h"

#include <limits>

namespace qs {

bool ProcessingBuffers::Allocate(std::int32_t maxMemHours, ZeroAllocFn alloc) {
  trendMemory_.reset();
  trend = TrendStore{};
  spectrumHistory.Release();
  if (maxMemHours <= 0) return false;
  // The record count is computed in 64 bits: MaxMem accepts any integer from
  // the settings file, and hours x 360 overflows 32 bits long before memory
  // runs out.
  const auto records = static_cast<std::uint64_t>(maxMemHours) * kRecordsPerHour;
  if (records > std::numeric_limits<std::size_t>::max() / sizeof(EpochResult)) return false;
  auto* memory = static_cast<EpochResult*>(alloc(static_cast<std::size_t>(records), sizeof(EpochResult)));
  if (memory == nullptr) return false;
  if (!spectrumHistory.Allocate(static_cast<std::size_t>(records), alloc)) {
    std::free(memory);
    return false;
  }
  trendMemory_.reset(memory);
  trend.records = memory;
  trend.capacity = static_cast<std::size_t>(records);
  trend.index = 0;
  return true;
}

}  // namespace qs
