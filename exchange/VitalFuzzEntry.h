#pragma once
// Entry for fuzzing the Vital import: arbitrary bytes decompressed (with a
// small cap, so the fuzzer's memory limit is never the finding) or taken as
// decompressed data, parsed and,
// when they pass, converted as import-vital would, in memory. A libFuzzer
// target is this function under the name LLVMFuzzerTestOneInput. Always
// returns 0; a fault shows as a crash or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/VitalImport.h"

namespace qs {

// Input that starts as gzip does (1F 8B) goes through the container; any
// other input is taken as the decompressed data, so that the fuzzer's
// mutations reach the packet parser instead of failing zlib's checks.
inline int FuzzVitalImport(const std::uint8_t* data, std::size_t size) {
  std::string error;
  VitalImportOptions options;
  options.inflateCap = std::size_t{16} << 20;
  if (size >= 2 && data[0] == 0x1F && data[1] == 0x8B) {
    (void)ConvertVitalBytes(data, size, options, &error);
    return 0;
  }
  const auto file = VitalFile::Parse(std::vector<std::uint8_t>(data, data + size), &error);
  if (file) (void)ConvertVital(*file, options, &error);
  return 0;
}

}  // namespace qs
