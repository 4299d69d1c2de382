// Online runs against the simulated monitor on a pseudo-terminal: the start
// and stop sequences, the record file, overflow, monitors that are silent,
// vanish or ignore the stop requests, the message forms of the four-channel
// engine and the extended variables, the simulator's command line, and
// quellscope-cli acquire end to end.
#include <gtest/gtest.h>

#include <algorithm>

#include "OnlineHarness.h"
#include "support/CliProcess.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs::test {
namespace {

monitorsim::SimOptions Fast(double speed = 25.0) {
  monitorsim::SimOptions o;
  o.speed = speed;
  o.seconds = 60;
  return o;
}

class OnlineRunTest : public TempFiles {
 protected:
  // The simulator with these options and the program on its device, recording
  // to `recordName` unless it is empty; Start also clicks Start.
  bool Open(const monitorsim::SimOptions& o, const std::string& recordName = "", bool withCalc = true) {
    sim = std::make_unique<SimThread>(o);
    if (!sim->Opened()) ADD_FAILURE() << sim->Error();
    if (!sim->Opened()) return false;
    p = std::make_unique<OnlineProgram>(sim->Sim().DevicePath(), withCalc);
    if (!recordName.empty()) record = Temp(recordName);
    return recordName.empty() || p->records_.CreateAt(record.string());
  }
  bool Start(const monitorsim::SimOptions& o, const std::string& recordName = "", bool withCalc = true) {
    const bool opened = Open(o, recordName, withCalc);
    if (opened) p->Controller().bStartClick();
    return opened;
  }
  bool UntilSeconds(std::uint64_t seconds) {
    return p->Until([&] { return p->StopEnabled() && p->Engine()->SecondsProcessed() >= seconds; });
  }
  std::vector<std::uint16_t> Ids(bool acknowledgedOnly = false) {
    std::vector<std::uint16_t> ids;
    for (const auto& r : sim->Sim().Requests())
      if (!acknowledgedOnly || r.acknowledged) ids.push_back(r.id);
    return ids;
  }
  long Count(std::uint16_t id) {
    const auto ids = Ids();
    return std::count(ids.begin(), ids.end(), id);
  }
  // The record is the played packets from the first on, whole packets only.
  void ExpectRecordIsThePlayedStart(std::size_t atLeast) {
    std::size_t stray = 1;
    const Packets body = RecordBody(record, &stray), played = sim->Sim().Streamed();
    EXPECT_EQ(stray, 0u) << "one header, then whole packets only";
    ASSERT_GE(body.size(), atLeast);
    ASSERT_LE(body.size(), played.size());
    EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));
  }

  fs::path record;
  std::unique_ptr<SimThread> sim;
  std::unique_ptr<OnlineProgram> p;
};

TEST_F(OnlineRunTest, SilentMonitorEndsTheStartAfterTenRequests) {
  monitorsim::SimOptions o = Fast();
  o.silent = true;
  ASSERT_TRUE(Start(o));
  EXPECT_TRUE(p->Running());
  EXPECT_FALSE(p->StopEnabled()) << "Stop waits for the first acknowledgement";
  ASSERT_TRUE(p->Until([&] { return !p->Running(); }));
  EXPECT_TRUE(p->prompter.Saw(kNoMonitor, "BIS monitor Error"));
  ASSERT_TRUE(p->Until([&] { return !p->link.ThreadsRunning(); }));
  EXPECT_EQ(Ids(), std::vector<std::uint16_t>(10, kMsgRequestInfo));
}

// A model V turns a 256 Hz start into 128 Hz; refused requests are sent again;
// a second monitor information signals nothing; the record holds one header
// and the packets as played, without the line noise between them.
TEST_F(OnlineRunTest, ModelVAt128HzRefusedRequestsAgainAndTheRecordAsPlayedWhenTheInformationComesTwice) {
  monitorsim::SimOptions o = Fast();
  std::tie(o.model, o.nakFirst, o.infoTwice, o.noise) = std::tuple('V', true, true, true);
  ASSERT_TRUE(Open(o, "twice.eeg"));
  p->Core().settings.SamplingRate = 1;
  p->Controller().bStartClick();
  EXPECT_TRUE(p->Core().run.Rate256);
  ASSERT_TRUE(UntilSeconds(3));
  EXPECT_EQ(std::tuple(p->Core().run.Rate256.load(), p->Core().settings.SamplingRate.load(),
                       p->Core().run.MonitorModel.load()),
            std::tuple(false, 0, 2));
  EXPECT_FALSE(p->Core().sync.MonitorInfoEvent.IsSet()) << "the second 1102 signals nothing";
  const auto requests = sim->Sim().Requests();
  const auto stream = std::find_if(requests.begin(), requests.end(),
                                   [](const auto& r) { return r.id == kMsgRequestStream && r.acknowledged; });
  ASSERT_NE(stream, requests.end());
  EXPECT_EQ(stream->rate, 128);
  EXPECT_EQ(Ids(), (std::vector<std::uint16_t>{1004, 1004, 115, 115, 111, 111})) << "each refused once";
  EXPECT_EQ(Ids(true), (std::vector<std::uint16_t>{1004, 115, 111}));

  p->Stop();
  EXPECT_FALSE(p->Running()) << "Stop restores Idle at once";
  ASSERT_TRUE(p->Until([&] { return !p->link.ThreadsRunning(); }));
  EXPECT_EQ(Ids(true), (std::vector<std::uint16_t>{1004, 115, 111, 112, 116}));
  const auto file = ReadFile(record);
  ASSERT_GE(file.size(), 3u);
  EXPECT_EQ(std::tuple(file[0], file[1], file[2]), std::tuple(0x41, 0x32, 0x4B));
  ExpectRecordIsThePlayedStart(27);
}

TEST_F(OnlineRunTest, StopWhileWaitingForTheMonitorInformationRunsTheStopSequence) {
  monitorsim::SimOptions o = Fast();
  o.noInfo = true;  // 1004 is acknowledged, 1102 never comes
  ASSERT_TRUE(Start(o));
  ASSERT_TRUE(p->Until([&] { return p->StopEnabled(); }));
  p->StopAndJoin();  // the link does not wait for 1102 for ever
  EXPECT_EQ(Ids(true), (std::vector<std::uint16_t>{1004, 112, 116}));
  EXPECT_FALSE(p->Running());
}

// Regression: a killed program lost up to the once-per-second timer's worth
// of data (four seconds at four times real time). The record is flushed when
// a second's eighth raw EEG message has been recorded, and the receive thread
// handles message 9 only after that, so once 9 are stored the first second is
// in the file.
TEST_F(OnlineRunTest, EachWholeSecondIsOnTheDiskBeforeTheNextRawMessageIsHandled) {
  ASSERT_TRUE(Start(Fast(4.0), "per-second.eeg"));
  ASSERT_TRUE(p->Until([&] { return p->RawStored() >= 9; }));
  EXPECT_TRUE(p->Core().run.RecordFile.IsOpen());
  const Packets onDisk = RecordBody(record);
  EXPECT_GE(std::count_if(onDisk.begin(), onDisk.end(), IsRaw), 8) << "the first whole second is on the disk";
  p->Stop();
}

TEST_F(OnlineRunTest, OverflowEndsAcquisitionSilentlyAndItsSignalsNeverReachTheNextRun) {
  ASSERT_TRUE(Start(Fast(40.0), "overflow.eeg", /*withCalc=*/false));  // nobody takes the samples
  ASSERT_TRUE(p->Until(
      [&] { return p->RawStored() > 0 && p->link.Receiver()->Overflowed() && !p->link.ThreadsRunning(); }));
  EXPECT_EQ(std::pair(p->RawStored(), p->Core().buffers.rawWave.Wave128Pending), std::pair(64u, 1024));
  EXPECT_TRUE(p->Running()) << "the run's controls stay until Stop";
  EXPECT_TRUE(p->prompter.shown.empty()) << "overflow shows nothing";

  // Everything accepted before the 65th raw EEG message, and nothing after.
  const Packets body = RecordBody(record), played = sim->Sim().Streamed();
  std::size_t raws = 0, cut = 0;
  while (cut < played.size() && !(IsRaw(played[cut]) && ++raws == 65)) ++cut;
  ASSERT_LT(cut, played.size());
  ASSERT_EQ(body.size(), cut);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));

  // Stop finds no send thread; its signal is left over and must not stop the
  // next run, nor may the left-over overflow signal.
  p->Stop();
  EXPECT_FALSE(p->Running());
  EXPECT_TRUE(p->Core().sync.TxStopEvent.IsSet());
  p->Core().sync.OverflowEvent.Set();
  p->Controller().bStartClick();
  ASSERT_TRUE(p->Until([&] { return p->StopEnabled() && p->RawStored() >= 8; }));
  EXPECT_EQ(Count(kMsgStopStream), 0) << "no stop request was ever sent";
  EXPECT_EQ(Count(kMsgRequestStream), 2);
  EXPECT_TRUE(p->Running());
}

TEST_F(OnlineRunTest, AVanishingMonitorNeitherCrashesNorHangsAndTheRecordKeepsWhatCame) {
  monitorsim::SimOptions o = Fast();
  o.vanishAfter = 6.0;
  ASSERT_TRUE(Start(o, "vanish.eeg"));
  ASSERT_TRUE(p->Until([&] { return p->link.Receiver() != nullptr && p->link.Receiver()->Finished(); }));
  EXPECT_TRUE(p->Running());
  EXPECT_FALSE(p->Core().run.RecordFile.IsOpen()) << "the receive thread closed the record as it ended";
  p->StopAndJoin();  // the stop sequence gives up on a vanished device
  EXPECT_FALSE(p->Running());
  ExpectRecordIsThePlayedStart(0);
  const Packets body = RecordBody(record);
  EXPECT_GE(std::count_if(body.begin(), body.end(), IsRaw), 8 * 5);
  for (const auto& shown : p->prompter.shown) EXPECT_EQ(shown.kind, "ask") << shown.text;
}

// Regression: the receive thread wrote on into a record that Stop had closed.
TEST_F(OnlineRunTest, AMonitorIgnoringStopDoesNotBlockANewStartNorWriteAfterTheStop) {
  monitorsim::SimOptions o = Fast();
  o.ignoreStop = true;
  ASSERT_TRUE(Start(o, "first.eeg"));
  const fs::path first = record;
  ASSERT_TRUE(UntilSeconds(2));
  p->Stop();
  EXPECT_FALSE(p->Running());
  const auto closedSize = fs::file_size(first);
  // The send thread keeps repeating 112 while the monitor keeps streaming.
  ASSERT_TRUE(p->Until([&] { return Count(kMsgStopStream) >= 3; }));
  EXPECT_TRUE(p->link.ThreadsRunning());
  EXPECT_EQ(fs::file_size(first), closedSize) << "nothing is written after Stop closed the record";

  record = Temp("second.eeg");
  ASSERT_TRUE(p->records_.CreateAt(record.string()));
  p->Controller().bStartClick();
  ASSERT_TRUE(UntilSeconds(2));
  EXPECT_TRUE(p->Running()) << "the old run's requests are dropped";
  p->Stop();  // closes the second record
  EXPECT_EQ(fs::file_size(first), closedSize);
  const Packets body = RecordBody(record);
  ASSERT_FALSE(body.empty());
  EXPECT_EQ(GetU16(&body[0][kOffMsgId]), kMsgProcessed) << "the new record starts with its own calibration";
}

// The message forms the simulator plays that the program must take as a
// monitor's: the four-channel engine (1025 and 1122) and the extended
// processed variables (53, recorded as a 52).
class OnlineForms : public OnlineRunTest {
 protected:
  Packets RecordThreeSeconds(monitorsim::SimOptions o, int channel = 0) {
    o.seconds = 30;
    if (!Open(o, "forms.eeg")) return {};
    p->Core().settings.EegChannel = channel;
    p->Controller().bStartClick();
    EXPECT_TRUE(UntilSeconds(3));
    p->StopAndJoin();
    return RecordBody(record);
  }
};

TEST_F(OnlineForms, FourChannelEngineAsksFor1025AndRecords1122) {
  monitorsim::SimOptions o = Fast();
  std::tie(o.model, o.engine) = std::tuple('V', '4');
  const Packets body = RecordThreeSeconds(o, 3);
  ASSERT_GT(body.size(), 10u);
  EXPECT_EQ(p->Core().run.EngineKind, 2);
  const auto acknowledged = Ids(true);
  EXPECT_NE(std::find(acknowledged.begin(), acknowledged.end(), kMsgRequestVars4), acknowledged.end());
  EXPECT_EQ(std::pair(body[0].size(), body[1].size()),
            (std::pair<std::size_t, std::size_t>(kProcessed4Bytes, kRawEegBytesWide)));
  // Channel 3 exists in this layout: the monitor's values of its block came.
  const ChannelVariables v = recgen::DefaultVariables({0, 30, recgen::SegmentKind::Awake}, 3);
  const MonitorValues& m = p->Core().buffers.monitor;
  EXPECT_EQ(std::tuple(m.MonBis.load(), m.MonSqi.load(), m.MonFlags.load()),
            std::tuple(v.bis, v.sqi, v.artifactFlags));
}

TEST_F(OnlineForms, ExtendedProcessedVariablesAreRecordedAsTheir142BytePart) {
  monitorsim::SimOptions o = Fast();
  o.extended = true;
  const Packets body = RecordThreeSeconds(o);
  ASSERT_GT(body.size(), 18u);
  int processed = 0;
  for (const auto& packet : body) {
    if (IsRaw(packet)) continue;
    ++processed;
    EXPECT_EQ((std::pair<int, std::size_t>(GetU16(&packet[kOffMsgId]), packet.size())),
              (std::pair<int, std::size_t>(kMsgProcessed, kProcessedBytes)));
  }
  EXPECT_GE(processed, 3);
}

TEST(MonitorSimCommandLine, AcceptsItsOptionsAndReportsWhatIsWrong) {
  const auto ok = monitorsim::ParseSimCommandLine(
      {"--link", "/tmp/m", "--model", "V", "--engine", "4", "--speed", "8", "--mute-after", "12", "--noise",
       "--ignore-stop", "--nak-first", "--scenario", "deep:0-30", "--seconds", "30"});
  EXPECT_EQ(ok.error, "");
  EXPECT_EQ(std::tuple(ok.options.linkPath, ok.options.model, ok.options.engine, ok.options.speed,
                       ok.options.muteAfter, ok.options.vanishAfter),
            std::tuple("/tmp/m", 'V', '4', 8.0, 12.0, -1.0));
  EXPECT_TRUE(ok.options.noise && ok.options.ignoreStop && ok.options.nakFirst);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--speed", "0"},
                                              {"--speed", "fast"},
                                              {"--model", "VC"},
                                              {"--frobnicate"},
                                              {"--link"},
                                              {"--vanish-after", "-1"}})
    EXPECT_NE(monitorsim::ParseSimCommandLine(bad).error, "") << bad[0];
  EXPECT_TRUE(monitorsim::ParseSimCommandLine({"--help"}).help);

  // A bad scenario or file is reported when the simulator opens.
  monitorsim::SimOptions scenario, play;
  scenario.scenario = "nonsense:0-10";
  play.playPath = "/nonexistent/file.eeg";
  for (const auto& [options, named] : {std::pair{scenario, "scenario"}, {play, "/nonexistent/file.eeg"}}) {
    SimThread sim(options);
    EXPECT_FALSE(sim.Opened());
    EXPECT_NE(sim.Error().find(named), std::string::npos) << sim.Error();
  }
}

// The value columns of a records file (index and time dropped: online the
// time is the wall clock, in a replay the file's).
std::vector<std::string> Values(const fs::path& csv) {
  std::ifstream in(csv);
  std::vector<std::string> rows;
  std::string line;
  for (std::getline(in, line); std::getline(in, line);)
    rows.push_back(line.substr(line.find(',', line.find(',') + 1) + 1));
  return rows;
}

class AcquireCli : public OnlineRunTest {};

// The simulated monitor plays a generated recording; the command records and
// processes it through the program's link and calculation threads.
TEST_F(AcquireCli, RecordsThePlayedPacketsAndComputesWhatAReplayOfTheRecordComputes) {
  recgen::GeneratorOptions g;
  g.seconds = 90;
  // The monitor's artifact flags and a spike: the flags must mark the same
  // blocks online as in the replay.
  for (const int second : {6, 17, 18, 33, 41})
    g.artifacts.push_back({recgen::ArtifactKind::Flags, second, 0.0, 0x2u});
  g.artifacts.push_back({recgen::ArtifactKind::Spike, 25, 500.0, 0});
  const fs::path played = Temp("played.eeg"), online = Temp("online.csv"), offline = Temp("offline.csv"),
                 log = Temp("a.log");
  ASSERT_TRUE(recgen::WriteRecording(played.string(), recgen::GenerateRecording(g)));
  monitorsim::SimOptions o = Fast(40.0);
  std::tie(o.playPath, o.noise) = std::tuple(played.string(), true);
  sim = std::make_unique<SimThread>(o);
  ASSERT_TRUE(sim->Opened()) << sim->Error();
  record = Temp("acquired.eeg");

  const CliRun acquired =
      RunCli("acquire --device " + sim->Sim().DevicePath() + " --seconds 45 --settings none.ini --record " +
             record.string() + " --records " + online.string() + " --log " + log.string());
  ASSERT_EQ(acquired.code, 0) << acquired.out;
  EXPECT_TRUE(fs::exists(log));
  ExpectRecordIsThePlayedStart(45 * 9);
  const CliRun replayed =
      RunCli("replay " + record.string() + " --settings none.ini --records " + offline.string());
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
  sim = std::make_unique<SimThread>(o);
  ASSERT_TRUE(sim->Opened()) << sim->Error();
  const CliRun silent =
      RunCli("acquire --device " + sim->Sim().DevicePath() + " --seconds 5 --settings none.ini");
  EXPECT_EQ(silent.code, 3);
  EXPECT_NE(silent.out.find(std::string("BIS monitor Error: ") + kNoMonitor), std::string::npos)
      << silent.out;
  const CliRun missing =
      RunCli("acquire --device " + Temp("no-such-device").string() + " --seconds 5 --settings none.ini");
  EXPECT_EQ(missing.code, 3);
  EXPECT_NE(missing.out.find("COM Error: COM port open error"), std::string::npos) << missing.out;
  EXPECT_EQ(RunCli("acquire --seconds 5").code, 2);
  EXPECT_EQ(RunCli("acquire --device x --seconds soon").code, 2);
}

}  // namespace
}  // namespace qs::test
