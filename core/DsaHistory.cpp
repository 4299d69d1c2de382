#include "core/DsaHistory.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace qs {

void SpectrumHistory::FreeColumns::operator()(SpectrumColumn* p) const noexcept { std::free(p); }

bool SpectrumHistory::Allocate(std::size_t capacity, AllocFn alloc) {
  Release();
  if (capacity == 0 || capacity > std::numeric_limits<std::size_t>::max() / sizeof(SpectrumColumn)) return false;
  auto* memory = static_cast<SpectrumColumn*>(alloc(capacity, sizeof(SpectrumColumn)));
  if (memory == nullptr) return false;
  columns_.reset(memory);
  capacity_ = capacity;
  return true;
}

void SpectrumHistory::Release() {
  columns_.reset();
  capacity_ = 0;
  appended_ = 0;
  ++generation_;
}

void SpectrumHistory::Append(const float* spectrum, float sef, std::uint32_t time, bool rejected) {
  if (capacity_ == 0) return;
  SpectrumColumn& c = columns_.get()[appended_ % capacity_];
  std::memcpy(c.power, spectrum + 1, sizeof c.power);
  c.sef = sef;
  c.time = time;
  c.rejected = rejected ? 1u : 0u;
  c.spare = 0;
  ++appended_;
}

const SpectrumColumn& SpectrumHistory::Column(std::size_t i) const {
  const std::uint64_t first = appended_ - Size();
  return columns_.get()[(first + i) % capacity_];
}

bool SpectrumHistory::SyncFrom(const SpectrumHistory& source) {
  if (capacity_ == 0) return false;
  bool changed = false;
  if (source.generation_ != sourceGeneration_ || source.appended_ < appended_) {
    sourceGeneration_ = source.generation_;
    appended_ = 0;
    ++generation_;
    changed = true;
  }
  // Columns the source no longer holds, or more than this copy can hold, are
  // skipped: the copy keeps the newest ones.
  std::uint64_t from = appended_;
  const std::uint64_t oldest = source.appended_ - source.Size();
  if (from < oldest) from = oldest;
  if (source.appended_ - from > capacity_) from = source.appended_ - capacity_;
  for (std::uint64_t n = from; n < source.appended_; ++n)
    columns_.get()[n % capacity_] = source.columns_.get()[n % source.capacity_];
  if (source.appended_ != appended_) changed = true;
  appended_ = source.appended_;
  return changed;
}

}  // namespace qs
