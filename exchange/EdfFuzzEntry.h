#pragma once
// Entry for fuzzing the EDF import: parses arbitrary bytes as an EDF/BDF file
// held in memory and, when they pass, converts them as import-edf would (with
// its default channel choice), without touching any file. A libFuzzer target
// is this function under the name LLVMFuzzerTestOneInput. Always returns 0; a
// fault shows as a crash or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/EdfImport.h"
#include "exchange/EdfReader.h"

namespace qs {

inline int FuzzEdfImport(const std::uint8_t* data, std::size_t size) {
  std::string error;
  auto edf = EdfFile::Parse(std::vector<std::uint8_t>(data, data + size), &error);
  if (!edf) return 0;
  (void)ConvertEdf(*edf, EdfImportOptions{}, &error);
  return 0;
}

}  // namespace qs
