#pragma once
// A whole file's bytes as a string ("" when it cannot be read): what tests
// compare written files with.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qs::test {

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace qs::test
