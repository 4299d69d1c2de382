#include "protocol/PacketFormat.h"

namespace qs {

std::uint16_t PacketChecksum(const std::uint8_t* bytes, std::size_t n) {
  // The sync pair is left out: the monitor sums from the sequence number on.
  // Four independent sums (a sum modulo 2^16 does not depend on the order
  // of its terms), so the additions need not wait for each other.
  std::uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  std::size_t i = 2;
  for (; i + 4 <= n; i += 4) {
    s0 += bytes[i];
    s1 += bytes[i + 1];
    s2 += bytes[i + 2];
    s3 += bytes[i + 3];
  }
  for (; i < n; ++i) s0 += bytes[i];
  return static_cast<std::uint16_t>(s0 + s1 + s2 + s3);
}

}  // namespace qs
