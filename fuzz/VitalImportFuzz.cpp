// Fuzz target: the Vital import on any bytes, gzip or already decompressed,
// parsed in memory and, when the packets pass, converted as import-vital
// converts them. A damaged file must end in a message, never in a read
// outside the data, an allocation sized by an unchecked field, or a crash.
#include <cstddef>
#include <cstdint>

#include "exchange/VitalFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qs::FuzzVitalImport(data, size);
}
