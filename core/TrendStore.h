#pragma once
// The history of interval records: MaxMem hours of 10-s records (360 an hour)
// in a ring. The index is the record being filled; it advances once the whole
// record is complete and wraps to 0 after the last record.
#include <cstddef>
#include <cstdint>

#include "core/EpochResult.h"
#include "platform/Relaxed.h"

namespace qs {

inline constexpr int kRecordsPerHour = 360;

struct TrendSnapshot {
  EpochResult record{};
  std::int32_t index = 0;
};

class TrendStore {
 public:
  EpochResult* records = nullptr;  // capacity records, owned by ProcessingBuffers
  std::size_t capacity = 0;
  Relaxed<std::int32_t> index{0};

  EpochResult& Current() { return records[static_cast<std::size_t>(index.load())]; }
  // Moves to the next record, wrapping to 0 after the last one.
  void Advance() {
    const std::int32_t next = index.load() + 1;
    index = static_cast<std::size_t>(next) >= capacity ? 0 : next;
  }
};

}  // namespace qs
