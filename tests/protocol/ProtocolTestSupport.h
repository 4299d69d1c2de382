#pragma once
// Packets for the tests, built with the encoder.
#include <cstdint>
#include <vector>

#include "protocol/PacketEncoder.h"

namespace qs::test {

using Bytes = std::vector<std::uint8_t>;

}  // namespace qs::test
