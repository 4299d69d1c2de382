#pragma once
// The requests the system sends to the monitor. Two 16-bit counters, both 0
// at program start and never reset: the packet counter numbers every request
// built (offset 2), the request counter numbers 1004, 115, 1025 and 111
// (offset 16). A retransmission sends the same bytes again, so a request is
// built once and kept.
#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/PacketFormat.h"

namespace qs {

inline constexpr std::size_t kMaxRequestBytes = 24;

struct Request {
  std::array<std::uint8_t, kMaxRequestBytes> bytes{};
  std::size_t length = 0;
};

class RequestBuilder {
 public:
  // id is one of 1004, 115, 1025, 111, 112, 116; rateHz (128 or 256) is the
  // payload of 111. Any other id yields an empty request.
  Request Build(std::uint16_t id, std::uint16_t rateHz = 128);

 private:
  std::uint16_t packetCounter_ = 0;
  std::uint16_t requestCounter_ = 0;
};

}  // namespace qs
