// Fuzz target: the EDF/BDF import on any bytes, parsed in memory and, when the
// header and records pass, converted as import-edf converts them. A damaged
// file must end in a message, never in a read outside the file or a crash.
#include <cstddef>
#include <cstdint>

#include "exchange/EdfFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return qs::FuzzEdfImport(data, size);
}
