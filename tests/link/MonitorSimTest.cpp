// The simulated monitor's command line, and the message forms it plays that
// the program must take as a monitor's: the four-channel engine (1025 and
// 1122) and the extended processed variables (53, recorded as a 52).
#include <gtest/gtest.h>

#include <filesystem>

#include "OnlineHarness.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

TEST(MonitorSimCommandLine, AcceptsItsOptionsAndSaysWhatIsWrongWithOthers) {
  const auto ok = monitorsim::ParseSimCommandLine(
      {"--link", "/tmp/m", "--model", "V", "--engine", "4", "--speed", "8", "--mute-after", "12", "--noise",
       "--ignore-stop", "--nak-first", "--scenario", "deep:0-30", "--seconds", "30"});
  EXPECT_EQ(ok.error, "");
  EXPECT_EQ(ok.options.linkPath, "/tmp/m");
  EXPECT_EQ(ok.options.model, 'V');
  EXPECT_EQ(ok.options.engine, '4');
  EXPECT_EQ(ok.options.speed, 8.0);
  EXPECT_EQ(ok.options.muteAfter, 12.0);
  EXPECT_TRUE(ok.options.noise && ok.options.ignoreStop && ok.options.nakFirst);
  EXPECT_EQ(ok.options.vanishAfter, -1.0);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--speed", "0"},
                                              {"--speed", "fast"},
                                              {"--model", "VC"},
                                              {"--frobnicate"},
                                              {"--link"},
                                              {"--vanish-after", "-1"}}) {
    EXPECT_NE(monitorsim::ParseSimCommandLine(bad).error, "") << bad[0];
  }
  EXPECT_TRUE(monitorsim::ParseSimCommandLine({"--help"}).help);
}

TEST(MonitorSimCommandLine, ABadScenarioOrFileIsReportedAtOnce) {
  monitorsim::SimOptions o;
  o.scenario = "nonsense:0-10";
  SimThread sim(o);
  EXPECT_FALSE(sim.Opened());
  EXPECT_NE(sim.Error().find("scenario"), std::string::npos) << sim.Error();
  monitorsim::SimOptions play;
  play.playPath = "/nonexistent/file.eeg";
  SimThread missing(play);
  EXPECT_FALSE(missing.Opened());
  EXPECT_NE(missing.Error().find("/nonexistent/file.eeg"), std::string::npos);
}

class OnlineForms : public ::testing::TestWithParam<char> {};

TEST(OnlineForms, FourChannelEngineAsksFor1025AndRecords1122) {
  monitorsim::SimOptions o;
  o.speed = 25.0;
  o.seconds = 30;
  o.model = 'V';
  o.engine = '4';
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  p.Core().settings.EegChannel = 3;
  const fs::path record = fs::temp_directory_path() / ("qs_forms4_" + std::to_string(::getpid()) + ".eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.Engine()->SecondsProcessed() >= 3; }));
  p.Stop();
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }));
  EXPECT_EQ(p.Core().run.EngineKind, 2);
  bool asked1025 = false;
  for (const auto& r : sim.Sim().Requests())
    asked1025 = asked1025 || (r.id == kMsgRequestVars4 && r.acknowledged);
  EXPECT_TRUE(asked1025);
  const Packets body = RecordBody(ReadFile(record));
  fs::remove(record);
  ASSERT_GT(body.size(), 10u);
  EXPECT_EQ(body[0].size(), static_cast<std::size_t>(kProcessed4Bytes));
  EXPECT_EQ(body[1].size(), static_cast<std::size_t>(kRawEegBytesWide));
  // Channel 3 exists in this layout: the monitor's values of its block came.
  EXPECT_GE(p.Core().buffers.monitor.MonBis, 0);
}

TEST(OnlineForms, ExtendedProcessedVariablesAreRecordedAsTheir142BytePart) {
  monitorsim::SimOptions o;
  o.speed = 25.0;
  o.seconds = 30;
  o.extended = true;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  const fs::path record = fs::temp_directory_path() / ("qs_forms53_" + std::to_string(::getpid()) + ".eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.Engine()->SecondsProcessed() >= 3; }));
  p.Stop();
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }));
  const Packets body = RecordBody(ReadFile(record));
  fs::remove(record);
  ASSERT_GT(body.size(), 18u);
  int processed = 0;
  for (const auto& packet : body) {
    if (IsRaw(packet)) continue;
    ++processed;
    EXPECT_EQ(GetU16(&packet[kOffMsgId]), kMsgProcessed);
    EXPECT_EQ(packet.size(), static_cast<std::size_t>(kProcessedBytes));
  }
  EXPECT_GE(processed, 3);
}

}  // namespace
}  // namespace qs::test
