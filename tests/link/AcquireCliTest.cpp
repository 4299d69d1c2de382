// quellscope-cli acquire end to end: the simulated monitor plays a generated
// recording over a pseudo-terminal, the command records and processes it
// through the program's link and calculation threads.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "OnlineHarness.h"
#include "support/CliProcess.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

// The value columns of a records file (index and time dropped: online the
// time is the wall clock, in a replay the file's).
std::vector<std::string> Values(const fs::path& csv) {
  std::ifstream in(csv);
  std::vector<std::string> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const std::size_t second = line.find(',', line.find(',') + 1);
    rows.push_back(line.substr(second + 1));
  }
  return rows;
}

class AcquireCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qs_acquire_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(AcquireCli, RecordsThePlayedPacketsAndComputesWhatAReplayOfTheRecordComputes) {
  recgen::GeneratorOptions g;
  g.seconds = 90;
  // The monitor's artifact flags and a spike: the flags must mark the same
  // blocks online as in the replay.
  for (const int second : {6, 17, 18, 33, 41})
    g.artifacts.push_back({recgen::ArtifactKind::Flags, second, 0.0, 0x00000002u});
  g.artifacts.push_back({recgen::ArtifactKind::Spike, 25, 500.0, 0});
  const fs::path played = dir_ / "played.eeg";
  ASSERT_TRUE(recgen::WriteRecording(played.string(), recgen::GenerateRecording(g)));

  monitorsim::SimOptions o;
  o.playPath = played.string();
  o.speed = 40.0;
  o.noise = true;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();

  const fs::path record = dir_ / "acquired.eeg", online = dir_ / "online.csv", offline = dir_ / "offline.csv";
  const fs::path log = dir_ / "acquired.log";
  const CliRun acquired = RunCli("acquire --device " + sim.Sim().DevicePath() + " --seconds 45 --settings " +
                                 (dir_ / "none.ini").string() + " --record " + record.string() +
                                 " --records " + online.string() + " --log " + log.string());
  ASSERT_EQ(acquired.code, 0) << acquired.out;
  EXPECT_TRUE(fs::exists(log));

  // The record: one header, then every packet played from the first on,
  // packet for packet, with the line noise left out.
  std::size_t stray = 0;
  const Packets body = RecordBody(ReadFile(record), &stray);
  const Packets streamed = sim.Sim().Streamed();
  EXPECT_EQ(stray, 0u);
  ASSERT_GE(body.size(), 45u * 9u);
  ASSERT_LE(body.size(), streamed.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), streamed.begin()));

  const CliRun replayed = RunCli("replay " + record.string() + " --settings " + (dir_ / "none.ini").string() +
                                 " --records " + offline.string());
  ASSERT_EQ(replayed.code, 0) << replayed.out;
  const auto onlineRows = Values(online), offlineRows = Values(offline);
  ASSERT_GE(onlineRows.size(), 3u);
  ASSERT_GE(offlineRows.size(), onlineRows.size());
  for (std::size_t r = 0; r < onlineRows.size(); ++r)
    EXPECT_EQ(onlineRows[r], offlineRows[r]) << "record " << r;
}

TEST_F(AcquireCli, ASilentMonitorOrAMissingDeviceEndsWithTheProgramsMessageAndCode3) {
  monitorsim::SimOptions o;
  o.silent = true;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  const std::string settings = " --settings " + (dir_ / "none.ini").string();
  const CliRun silent = RunCli("acquire --device " + sim.Sim().DevicePath() + " --seconds 5" + settings);
  EXPECT_EQ(silent.code, 3);
  EXPECT_NE(silent.out.find(std::string("BIS monitor Error: ") + kNoMonitor), std::string::npos)
      << silent.out;

  const CliRun missing =
      RunCli("acquire --device " + (dir_ / "no-such-device").string() + " --seconds 5" + settings);
  EXPECT_EQ(missing.code, 3);
  EXPECT_NE(missing.out.find("COM Error: COM port open error"), std::string::npos) << missing.out;
  EXPECT_EQ(RunCli("acquire --seconds 5").code, 2);
  EXPECT_EQ(RunCli("acquire --device x --seconds soon").code, 2);
}

}  // namespace
}  // namespace qs::test
