// Online runs of the program against the simulated monitor on a
// pseudo-terminal: the start and stop sequences, the record file, overflow,
// and monitors that are silent, vanish or ignore the stop requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "OnlineHarness.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

monitorsim::SimOptions Fast() {
  monitorsim::SimOptions o;
  o.speed = 25.0;
  o.seconds = 60;
  return o;
}

std::vector<std::uint16_t> RequestIds(monitorsim::MonitorSim& sim, bool acknowledgedOnly = false) {
  std::vector<std::uint16_t> ids;
  for (const auto& r : sim.Requests())
    if (!acknowledgedOnly || r.acknowledged) ids.push_back(r.id);
  return ids;
}

class OnlineRunTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) fs::remove(f);
  }
  fs::path TempFile(const std::string& name) {
    files_.push_back(fs::temp_directory_path() / ("qs_online_" + std::to_string(::getpid()) + "_" + name));
    return files_.back();
  }
  std::vector<fs::path> files_;
};

TEST_F(OnlineRunTest, SilentMonitorEndsTheStartAfterTenRequests) {
  monitorsim::SimOptions o = Fast();
  o.silent = true;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  p.Controller().bStartClick();
  EXPECT_TRUE(p.Running());
  EXPECT_FALSE(p.StopEnabled()) << "Stop waits for the first acknowledgement";
  ASSERT_TRUE(p.Until([&] { return !p.Running(); }));
  EXPECT_TRUE(p.prompter.Saw(kNoMonitor, "BIS monitor Error"));
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }));
  EXPECT_EQ(RequestIds(sim.Sim()), std::vector<std::uint16_t>(10, kMsgRequestInfo));
}

TEST_F(OnlineRunTest, ModelVTurnsA256HzStartInto128HzAndRefusedRequestsAreSentAgain) {
  monitorsim::SimOptions o = Fast();
  o.model = 'V';
  o.nakFirst = true;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  p.Core().settings.SamplingRate = 1;
  p.Controller().bStartClick();
  EXPECT_TRUE(p.Core().run.Rate256);
  ASSERT_TRUE(p.Until([&] { return p.StopEnabled() && p.Engine()->SecondsProcessed() >= 2; }));
  EXPECT_FALSE(p.Core().run.Rate256);
  EXPECT_EQ(p.Core().settings.SamplingRate, 0);
  EXPECT_EQ(p.Core().run.MonitorModel, 2);
  const auto requests = sim.Sim().Requests();
  const auto stream = std::find_if(requests.begin(), requests.end(),
                                   [](const auto& r) { return r.id == kMsgRequestStream && r.acknowledged; });
  ASSERT_NE(stream, requests.end());
  EXPECT_EQ(stream->rate, 128);
  // Each request is refused once and then acknowledged.
  EXPECT_EQ(RequestIds(sim.Sim()), (std::vector<std::uint16_t>{1004, 1004, 115, 115, 111, 111}));
  EXPECT_EQ(RequestIds(sim.Sim(), true), (std::vector<std::uint16_t>{1004, 115, 111}));

  p.Stop();
  EXPECT_FALSE(p.Running()) << "Stop restores Idle at once";
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }));
  EXPECT_EQ(RequestIds(sim.Sim(), true), (std::vector<std::uint16_t>{1004, 115, 111, 112, 116}));
}

TEST_F(OnlineRunTest, StopWhileWaitingForTheMonitorInformationRunsTheStopSequence) {
  monitorsim::SimOptions o = Fast();
  o.noInfo = true;  // 1004 is acknowledged, 1102 never comes
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.StopEnabled(); }));
  p.Stop();
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }))
      << "the link does not wait for 1102 for ever";
  EXPECT_EQ(RequestIds(sim.Sim(), true), (std::vector<std::uint16_t>{1004, 112, 116}));
  EXPECT_FALSE(p.Running());
}

TEST_F(OnlineRunTest, TheRecordHoldsOneHeaderAndThePacketsAsPlayedEvenWhenTheInformationComesTwice) {
  monitorsim::SimOptions o = Fast();
  o.infoTwice = true;
  o.noise = true;  // line noise between packets is never recorded
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  const fs::path record = TempFile("twice.eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.Engine()->SecondsProcessed() >= 3; }));
  EXPECT_FALSE(p.Core().sync.MonitorInfoEvent.IsSet()) << "the second 1102 signals nothing";
  p.Stop();
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }));

  const auto file = ReadFile(record);
  ASSERT_GE(file.size(), 3u);
  EXPECT_EQ(file[0], 0x41);
  EXPECT_EQ(file[1], 0x32);
  EXPECT_EQ(file[2], 0x4B);
  std::size_t stray = 0;
  const Packets body = RecordBody(file, &stray);
  EXPECT_EQ(stray, 0u) << "one header, then whole packets only";
  const Packets played = sim.Sim().Streamed();
  ASSERT_GE(body.size(), 27u);
  ASSERT_LE(body.size(), played.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));
}

TEST_F(OnlineRunTest, TheRecordReachesTheDiskWhileTheRunGoesOn) {
  // A killed program loses at most the last second: the record is flushed
  // at least once per second, not only when it is closed.
  monitorsim::SimOptions o = Fast();
  o.speed = 2.0;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  const fs::path record = TempFile("flushed.eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.link.Receiver() != nullptr && p.link.Receiver()->RawStored() >= 8; }));
  const auto firstSecond = std::chrono::steady_clock::now();
  ASSERT_TRUE(p.Until(
      [&] { return std::chrono::steady_clock::now() - firstSecond > std::chrono::milliseconds(1500); }));
  EXPECT_TRUE(p.Core().run.RecordFile.IsOpen());
  const Packets onDisk = RecordBody(ReadFile(record));
  EXPECT_GE(std::count_if(onDisk.begin(), onDisk.end(), IsRaw), 8) << "the first second is on the disk";
  p.Stop();
}

TEST_F(OnlineRunTest, EachWholeSecondIsOnTheDiskBeforeTheNextRawMessageIsHandled) {
  // A killed program loses only the second in progress, and a reader of the
  // growing file sees each second at once: the record is flushed when a
  // second's eighth raw EEG message has been recorded, not only on the
  // once-per-second timer (which at four times real time is four seconds).
  monitorsim::SimOptions o = Fast();
  o.speed = 4.0;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  const fs::path record = TempFile("per-second.eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  // The receive thread handles message 9 only after recording and flushing
  // message 8, so once 9 are stored the first second is in the file.
  ASSERT_TRUE(p.Until([&] { return p.link.Receiver() != nullptr && p.link.Receiver()->RawStored() >= 9; }));
  const Packets onDisk = RecordBody(ReadFile(record));
  EXPECT_GE(std::count_if(onDisk.begin(), onDisk.end(), IsRaw), 8) << "the first whole second is on the disk";
  p.Stop();
}

TEST_F(OnlineRunTest, OverflowEndsAcquisitionSilentlyAndItsSignalsNeverReachTheNextRun) {
  monitorsim::SimOptions o = Fast();
  o.speed = 40.0;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/false);  // nobody takes the samples
  const fs::path record = TempFile("overflow.eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] {
    return p.link.Receiver() != nullptr && p.link.Receiver()->Overflowed() && !p.link.ThreadsRunning();
  }));
  EXPECT_EQ(p.link.Receiver()->RawStored(), 64u);
  EXPECT_EQ(p.Core().buffers.rawWave.Wave128Pending, 1024);
  EXPECT_TRUE(p.Running()) << "the run's controls stay until Stop";
  EXPECT_TRUE(p.prompter.shown.empty()) << "overflow shows nothing";

  // Everything accepted before the 65th raw EEG message, and nothing after.
  const Packets body = RecordBody(ReadFile(record));
  const Packets played = sim.Sim().Streamed();
  std::size_t raws = 0, cut = 0;
  while (cut < played.size() && !(IsRaw(played[cut]) && ++raws == 65)) ++cut;
  ASSERT_LT(cut, played.size());
  ASSERT_EQ(body.size(), cut);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));

  // Stop finds no send thread; its signal is left over and must not stop the
  // next run, nor may the left-over overflow signal.
  p.Stop();
  EXPECT_FALSE(p.Running());
  EXPECT_TRUE(p.Core().sync.TxStopEvent.IsSet());
  p.Core().sync.OverflowEvent.Set();
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.StopEnabled() && p.link.Receiver()->RawStored() >= 8; }));
  const auto ids = RequestIds(sim.Sim());
  EXPECT_EQ(std::count(ids.begin(), ids.end(), kMsgStopStream), 0) << "no stop request was ever sent";
  EXPECT_EQ(std::count(ids.begin(), ids.end(), kMsgRequestStream), 2);
  EXPECT_TRUE(p.Running());
}

TEST_F(OnlineRunTest, AVanishingMonitorNeitherCrashesNorHangsAndTheRecordKeepsWhatCame) {
  monitorsim::SimOptions o = Fast();
  o.vanishAfter = 6.0;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  const fs::path record = TempFile("vanish.eeg");
  ASSERT_TRUE(p.records_.CreateAt(record.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.link.Receiver() != nullptr && p.link.Receiver()->Finished(); }));
  EXPECT_TRUE(p.Running());
  EXPECT_FALSE(p.Core().run.RecordFile.IsOpen()) << "the receive thread closed the record as it ended";
  p.Stop();
  EXPECT_FALSE(p.Running());
  ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }))
      << "the stop sequence gives up on a vanished device";

  const Packets body = RecordBody(ReadFile(record));
  const Packets played = sim.Sim().Streamed();
  ASSERT_LE(body.size(), played.size());
  EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));
  EXPECT_GE(std::count_if(body.begin(), body.end(), IsRaw), 8 * 5);
  for (const auto& shown : p.prompter.shown) EXPECT_EQ(shown.kind, "ask") << shown.text;
}

TEST_F(OnlineRunTest, AMonitorIgnoringStopDoesNotBlockANewStartNorWriteAfterTheStop) {
  monitorsim::SimOptions o = Fast();
  o.ignoreStop = true;
  SimThread sim(o);
  ASSERT_TRUE(sim.Opened()) << sim.Error();
  OnlineProgram p(sim.Sim().DevicePath(), /*withCalc=*/true);
  const fs::path first = TempFile("first.eeg");
  ASSERT_TRUE(p.records_.CreateAt(first.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.StopEnabled() && p.Engine()->SecondsProcessed() >= 2; }));
  p.Stop();
  EXPECT_FALSE(p.Running());
  const auto closedSize = fs::file_size(first);
  // The send thread keeps repeating 112 while the monitor keeps streaming.
  ASSERT_TRUE(p.Until([&] {
    const auto ids = RequestIds(sim.Sim());
    return std::count(ids.begin(), ids.end(), kMsgStopStream) >= 3;
  }));
  EXPECT_TRUE(p.link.ThreadsRunning());
  EXPECT_EQ(fs::file_size(first), closedSize) << "nothing is written after Stop closed the record";

  const fs::path second = TempFile("second.eeg");
  ASSERT_TRUE(p.records_.CreateAt(second.string()));
  p.Controller().bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.StopEnabled() && p.Engine()->SecondsProcessed() >= 2; }));
  EXPECT_TRUE(p.Running()) << "the old run's requests are dropped";
  p.Stop();  // closes the second record
  EXPECT_EQ(fs::file_size(first), closedSize);
  const Packets body = RecordBody(ReadFile(second));
  ASSERT_FALSE(body.empty());
  EXPECT_EQ(GetU16(&body[0][kOffMsgId]), kMsgProcessed) << "the new record starts with its own calibration";
}

}  // namespace
}  // namespace qs::test
