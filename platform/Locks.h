#pragma once
// Critical sections. A lock guards one shared record and is held for one copy or
// one push only; no thread ever holds two at once and none is held across a
// blocking call (a wait, a synchronized call, a port read).
#include <mutex>

namespace qs {

using CriticalSection = std::mutex;
using Lock = std::lock_guard<std::mutex>;

}  // namespace qs
