#pragma once
// Time sources: a millisecond tick counter for time-outs and the local time of day.
#include <cstdint>

namespace qs {

struct TimeOfDay {
  int hour = 0, minute = 0, second = 0;
  int year = 1970, month = 1, day = 1;
};

std::uint32_t TickCountMs();
TimeOfDay LocalNow();

}  // namespace qs
