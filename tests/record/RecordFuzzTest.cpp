// Damaged and foreign record files thrown at the pre-scan, the replay open and
// the replay step: each must end with a clear outcome, never crash, never
// read outside a buffer (the ASan build proves the last), and never hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "record/RecordFileService.h"
#include "record/RecordPrescan.h"
#include "RecordTestFiles.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;

std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> bytes, std::mt19937& rng) {
  const auto byte = [&] { return static_cast<std::uint8_t>(rng()); };
  for (int e = 1 + static_cast<int>(rng() % 12); e > 0 && !bytes.empty(); --e) {
    const auto at = bytes.begin() + static_cast<long>(rng() % bytes.size());
    switch (rng() % 6) {
      case 0: *at ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
      case 1: *at = byte(); break;
      case 2: bytes.insert(at, byte()); break;
      case 3: bytes.erase(at); break;
      case 4: bytes.erase(at, bytes.end()); break;  // cut short
      default: {  // a false header announcing a long packet
        const std::uint8_t fake[] = {0xBA, 0xAB, 0, 0, byte(), static_cast<std::uint8_t>(byte() % 9), 1, 0};
        bytes.insert(at, std::begin(fake), std::end(fake));
      }
    }
  }
  return bytes;
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::mt19937& rng) {
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(RecordFuzz, DamagedFilesEndWithAnOutcomeAndNeverOverfillTheRings) {
  const fs::path path = fs::temp_directory_path() / ("qs_recfuzz_" + std::to_string(::getpid()) + ".eeg");
  std::mt19937 rng(20261206);
  std::vector<std::vector<std::uint8_t>> seeds;
  for (RawLayout layout : {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
    const bool four = layout == RawLayout::FourChannels128;
    RecordBuilder b(layout, 9, 0, 0, four ? 'V' : 'C', four ? '4' : 'B');
    for (int i = 0; i < 4; ++i) b.AddSecond();
    seeds.push_back(b.bytes);
  }
  int replayed = 0;
  for (int round = 0; round < 600; ++round) {
    // One in ten is no record file at all.
    const std::vector<std::uint8_t> bytes = round % 10 == 9 ? RandomBytes(rng() % 3000, rng)
                                                            : Mutate(seeds[static_cast<std::size_t>(round) % 3], rng);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    AppCore core;
    core.settings.EegChannel = static_cast<int>(rng() % 4);
    RecordFileService service(core);
    if (service.Prescan(path.string()) != ReplayOpenOutcome::Ok) continue;
    ASSERT_GE(core.run.FileSeconds, 0);
    if (service.OpenReplay(path.string()) != ReplayOpenOutcome::Ok) continue;
    ++replayed;
    RawWaveBuffer& w = core.buffers.rawWave;
    int steps = 0;
    while (service.ReplayInput().NextSecond() == Replay::Step::Second) {
      ASSERT_EQ(w.Wave128Pending, 128) << "round " << round << ": one second is 128 samples";
      ASSERT_LT(++steps, 100) << "round " << round << ": a 4-second file cannot replay for ever";
      w.Wave128Read = w.Wave128Write;
      w.Wave256Read = w.Wave256Write;
      w.Wave128Pending = w.Wave256Pending = 0;
    }
  }
  fs::remove(path);
  EXPECT_GT(replayed, 100) << "the mutations must leave enough files that replay at all";
}

TEST(RecordFuzz, PrescanOfArbitraryBytesStaysWithinItsInput) {
  std::mt19937 rng(7);
  RecordBuilder four(RawLayout::FourChannels128, 9, 0, 0, 'V', '4');
  four.AddSecond();
  RecordBuilder two(RawLayout::TwoChannels256, 9, 0, 0);
  two.AddSecond();
  int accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    const std::vector<std::uint8_t> bytes =
        round % 4 == 0 ? RandomBytes(rng() % 700, rng) : Mutate(round % 2 ? four.bytes : two.bytes, rng);
    // An exactly sized copy of the lead bytes, so that ASan sees any read past them.
    const std::size_t leadSize = std::min(bytes.size(), kPrescanBytes);
    const std::vector<std::uint8_t> lead(bytes.begin(), bytes.begin() + static_cast<long>(leadSize));
    const PrescanResult r = PrescanRecordBytes(lead.data(), lead.size(), static_cast<long>(bytes.size()));
    ASSERT_TRUE(r.outcome == ReplayOpenOutcome::Ok || r.outcome == ReplayOpenOutcome::TypeError);
    if (r.outcome != ReplayOpenOutcome::Ok) continue;
    ++accepted;
    ASSERT_TRUE(r.firstPacketBytes == 142 || r.firstPacketBytes == 310);
    ASSERT_GE(r.fileSeconds, 0);
    ASSERT_LT(r.fileStartSec, 86400u);
    ASSERT_TRUE(r.bytesPerSecond == 862 || r.bytesPerSecond == 1374 || r.bytesPerSecond == 1542);
  }
  EXPECT_GT(accepted, 50000);
}

}  // namespace
}  // namespace qs
