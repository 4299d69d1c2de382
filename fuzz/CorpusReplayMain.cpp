// The standalone driver of a fuzz target, for builds without libFuzzer (g++):
// runs the target once on every file named, and on every file of every folder
// named, in sorted order. No new inputs are made; this is how the normal test
// run replays the seed corpus and every input that ever found a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

bool RunOne(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return false;
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An empty input still gets a valid pointer, as libFuzzer gives it.
  bytes.reserve(1);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    const fs::path p = argv[i];
    // A target without generated seeds has no seed folder.
    if (!fs::exists(p)) continue;
    if (fs::is_directory(p)) {
      for (const auto& entry : fs::recursive_directory_iterator(p))
        if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
      files.push_back(p);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s FILE-OR-FOLDER...: no input found\n", argv[0]);
    return 2;
  }
  for (const fs::path& f : files) {
    if (!RunOne(f)) return 1;
  }
  std::printf("%zu inputs replayed\n", files.size());
  return 0;
}
