#pragma once
// Entry for fuzzing the Vital import: arbitrary bytes decompressed (with a
// small cap, so the fuzzer's memory limit is never the finding), parsed and,
// when they pass, converted as import-vital would, in memory. A libFuzzer
// target is this function under the name LLVMFuzzerTestOneInput. Always
// returns 0; a fault shows as a crash or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <string>

#include "exchange/VitalImport.h"

namespace qs {

inline int FuzzVitalImport(const std::uint8_t* data, std::size_t size) {
  std::string error;
  VitalImportOptions options;
  options.inflateCap = std::size_t{16} << 20;
  (void)ConvertVitalBytes(data, size, options, &error);
  return 0;
}

}  // namespace qs
