#include "protocol/PacketFormat.h"

namespace qs {

std::uint16_t PacketChecksum(const std::uint8_t* bytes, std::size_t n) {
  // The sync pair is left out: the monitor sums from the sequence number on.
  std::uint16_t sum = 0;
  for (std::size_t i = 2; i < n; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
  return sum;
}

}  // namespace qs
