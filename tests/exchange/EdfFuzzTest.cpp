// The fuzz entry of the EDF import in a bounded run: damaged copies of valid
// EDF+ files and random bytes behind a plausible header. Each must end in a
// parse error or a conversion, never a crash (the ASan build checks reads).
#include <gtest/gtest.h>

#include <random>

#include "EdfTestFiles.h"
#include "exchange/EdfFuzzEntry.h"

namespace qs {
namespace {

TEST(EdfFuzz, DamagedFilesNeverCrashTheImport) {
  test::EdfShape a;
  a.seconds = 3;
  a.wave = [](int s, double t) { return 80 * std::sin(6.28 * (3 + s) * t); };
  a.annotations = {{0.5, "a"}, {1.5, "b"}};
  test::EdfShape b = a;
  b.rate = 128;
  b.signals = 1;
  const std::vector<std::vector<std::uint8_t>> seeds = {test::WriteEdfPlus(test::TempPath("fuzz_a.edf"), a),
                                                        test::WriteEdfPlus(test::TempPath("fuzz_b.edf"), b)};
  std::mt19937 rng(1410);
  int parsed = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> bytes = seeds[static_cast<std::size_t>(round) % seeds.size()];
    ASSERT_FALSE(bytes.empty());
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = rng() % bytes.size();
      switch (rng() % 5) {
        case 0: bytes[at] = static_cast<std::uint8_t>(rng()); break;
        case 1: bytes[at] = static_cast<std::uint8_t>("0123456789 .-+\x14\x15"[rng() % 16]); break;
        case 2: bytes.resize(std::max<std::size_t>(at, 1)); break;
        case 3: bytes.insert(bytes.begin() + static_cast<long>(at), static_cast<std::uint8_t>(rng())); break;
        default: bytes.erase(bytes.begin() + static_cast<long>(at));
      }
    }
    // The header's numbers are where a reader goes wrong: aim some edits there.
    if (round % 3 == 0 && bytes.size() > 256)
      bytes[184 + rng() % 72] = static_cast<std::uint8_t>('0' + rng() % 10);
    EXPECT_EQ(FuzzEdfImport(bytes.data(), bytes.size()), 0);
    std::string error;
    if (EdfFile::Parse(bytes, &error)) ++parsed;
  }
  EXPECT_GT(parsed, 0) << "some damage (in sample values) leaves a readable file";
  EXPECT_EQ(FuzzEdfImport(nullptr, 0), 0);
}

}  // namespace
}  // namespace qs
