#pragma once
// First-in first-out queue of drawing requests, from the user-interface and
// calculation threads to the drawing thread. A producer appends under the
// queue's lock and sets the wake-up event only when the queue was empty before
// its append; the drawing thread empties the queue before it waits again, so no
// request ever waits for a later signal. The queue grows when full; nothing is
// dropped.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/Events.h"
#include "platform/Locks.h"

namespace qs {

enum DrawKind : std::int32_t {
  WaveReset = 0,
  WaveSecond = 1,
  PowerFrame = 3,
  PowerSpectrumReady = 4,
  BicReset = 5,
  BicMapReady = 6,
  TrendReset = 8,
  TrendRecord = 9,
  NextHour = 11,
  PrevHour = 12,
  DsaColumn = 13,  // a new interval's column in SpectrumHistory
  DsaRedraw = 14,  // the spectrogram's view or size changed
};

struct DrawRequest {
  std::int32_t kind = 0;
  std::int32_t arg1 = 0;
  std::int32_t arg2 = 0;
  friend bool operator==(const DrawRequest&, const DrawRequest&) = default;
};

class DrawRequestQueue {
 public:
  DrawRequestQueue(CriticalSection& lock, AutoResetEvent& wake, std::size_t initialCapacity = 256);

  // Appends one request; sets the event when the queue was empty before.
  void Push(DrawRequest request);
  // Appends several under one hold of the lock, then sets the event whatever
  // the queue held (the run start's batch).
  void PushBatch(std::initializer_list<DrawRequest> requests);

  // Consumer side (drawing thread): copy of the front request, without removing it.
  bool Front(DrawRequest& out);
  void PopFront();
  std::size_t Size();
  // The largest number of requests the queue has held, for diagnostics.
  std::size_t HighWater();
  void Clear();

 private:
  void AppendLocked(const DrawRequest& r);

  CriticalSection& lock_;
  AutoResetEvent& wake_;
  std::vector<DrawRequest> ring_;  // capacity is ring_.size()
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::size_t highWater_ = 0;
};

}  // namespace qs
