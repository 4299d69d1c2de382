// Online runs against the simulated monitor on a pseudo-terminal: the start
// and stop sequences, the record file, overflow, monitors that are silent
// or ignore the stop requests (the faults of a running case are
// OnlineFaultTest's), the message forms of the four-channel
// engine and the extended variables, the simulator's command line, and
// quellscope-cli acquire end to end.
#include "OnlineHarness.h"
#include "support/CliProcess.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs::test {
namespace {

using Sim = monitorsim::SimOptions;
using Ids = std::vector<std::uint16_t>;

class OnlineRunTest : public TempFiles {
 protected:
  // The simulator with these options (25 times real time unless set) and the
  // program on its device, recording to `recordName` unless it is empty;
  // `settings` runs before Start is clicked.
  bool Start(Sim o, const std::string& recordName = "", bool withCalc = true,
             const std::function<void(AppSettings&)>& settings = {}) {
    std::tie(o.speed, o.seconds) =
        std::tuple(o.speed == 1.0 ? 25.0 : o.speed, o.seconds == 600 ? 60 : o.seconds);
    p.reset(), sim = std::make_unique<SimThread>(o);
    if (!sim->opened) return ADD_FAILURE() << sim->error, false;
    p = std::make_unique<OnlineProgram>(sim->sim.DevicePath(), withCalc);
    if (!recordName.empty() && !p->records.CreateAt((record = Temp(recordName)).string())) return false;
    if (settings) settings(p->core->settings);
    p->controller->bStartClick();
    return true;
  }
  bool UntilSeconds(std::uint64_t seconds) {
    return p->Until([&] { return p->StopEnabled() && p->engine->SecondsProcessed() >= seconds; });
  }
  Ids Requests(bool acknowledgedOnly = false) {
    Ids ids;
    for (const auto& r : sim->sim.Requests())
      if (!acknowledgedOnly || r.acknowledged) ids.push_back(r.id);
    return ids;
  }
  long Count(std::uint16_t id) { return std::ranges::count(Requests(), id); }
  // The record is the played packets from the first on, whole packets only,
  // and it reaches at least as far as the calculation had got, nine packets a
  // second (a processed message, then eight raw ones), even when the stop
  // comes as the calculation takes its last second.
  void ExpectRecordIsThePlayedStart(std::size_t calculatedSeconds) {
    const std::size_t atLeast = 9 * calculatedSeconds;
    std::size_t stray = 1;
    const Packets body = RecordBody(record, &stray), played = sim->sim.Streamed();
    EXPECT_EQ(stray, 0u) << "one header, then whole packets only";
    ASSERT_TRUE(body.size() >= atLeast && body.size() <= played.size()) << body.size();
    EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));
  }

  fs::path record;
  std::unique_ptr<SimThread> sim;
  std::unique_ptr<OnlineProgram> p;
};

TEST_F(OnlineRunTest, SilentMonitorEndsTheStartAfterTenRequests) {
  ASSERT_TRUE(Start({.silent = true}));
  EXPECT_TRUE(p->Running() && !p->StopEnabled()) << "Stop waits for the first acknowledgement";
  ASSERT_TRUE(p->Until([&] { return !p->Running(); }));
  EXPECT_TRUE(p->prompter.Saw(kNoMonitor, "BIS monitor Error"));
  ASSERT_TRUE(p->Until([&] { return !p->link.ThreadsRunning(); }));
  EXPECT_EQ(Requests(), Ids(10, kMsgRequestInfo));
}

// A model V turns a 256 Hz start into 128 Hz; refused requests are sent again;
// a second monitor information signals nothing; the record holds one header
// and the packets as played, without the line noise between them.
TEST_F(OnlineRunTest, ModelVAt128HzRefusedRequestsAgainAndTheRecordAsPlayedWhenTheInformationComesTwice) {
  ASSERT_TRUE(Start({.nakFirst = true, .model = 'V', .infoTwice = true, .noise = true}, "twice.eeg", true,
                    [](AppSettings& s) { s.SamplingRate = 1; }));
  EXPECT_TRUE(p->core->run.Rate256);
  ASSERT_TRUE(UntilSeconds(3));
  EXPECT_EQ(std::tuple(p->core->run.Rate256.load(), p->core->settings.SamplingRate.load(),
                       p->core->run.MonitorModel.load()),
            std::tuple(false, 0, 2));
  EXPECT_FALSE(p->core->sync.MonitorInfoEvent.IsSet()) << "the second 1102 signals nothing";
  EXPECT_EQ(Requests(), (Ids{1004, 1004, 115, 115, 111, 111})) << "each refused once";
  EXPECT_EQ(Requests(true), (Ids{1004, 115, 111}));
  for (const auto& r : sim->sim.Requests()) EXPECT_TRUE(r.id != kMsgRequestStream || r.rate == 128);

  p->Stop();
  EXPECT_FALSE(p->Running()) << "Stop restores Idle at once";
  ASSERT_TRUE(p->Until([&] { return !p->link.ThreadsRunning(); }));
  EXPECT_EQ(Requests(true), (Ids{1004, 115, 111, 112, 116}));
  std::string head(3, 0);
  std::ifstream(record, std::ios::binary).read(head.data(), 3);
  EXPECT_EQ(head, "A2K");
  ExpectRecordIsThePlayedStart(3);
}

// A monitor that keeps 256 Hz is asked for its stream at 256 Hz.
TEST_F(OnlineRunTest, A256HzStartStreamsAt256Hz) {
  ASSERT_TRUE(Start({}, "", true, [](AppSettings& s) { s.SamplingRate = 1; }));
  ASSERT_TRUE(UntilSeconds(2));
  EXPECT_TRUE(p->core->run.Rate256);
  EXPECT_EQ(Requests(true), (Ids{1004, 115, 111}));
  for (const auto& r : sim->sim.Requests()) EXPECT_TRUE(r.id != kMsgRequestStream || r.rate == 256);
}

TEST_F(OnlineRunTest, StopWhileWaitingForTheMonitorInformationRunsTheStopSequence) {
  ASSERT_TRUE(Start({.noInfo = true}));  // 1004 is acknowledged, 1102 never comes
  ASSERT_TRUE(p->Until([&] { return p->StopEnabled(); }));
  p->StopAndJoin();  // the link does not wait for 1102 for ever
  EXPECT_EQ(Requests(true), (Ids{1004, 112, 116}));
  EXPECT_FALSE(p->Running());
}

// Regression: a killed program lost up to the once-per-second timer's worth
// of data (four seconds at four times real time). The record is flushed when
// a second's eighth raw EEG message has been recorded, and the receive thread
// handles message 9 only after that, so once 9 are stored the first second is
// in the file.
TEST_F(OnlineRunTest, EachWholeSecondIsOnTheDiskBeforeTheNextRawMessageIsHandled) {
  ASSERT_TRUE(Start({.speed = 4.0}, "per-second.eeg"));
  ASSERT_TRUE(p->Until([&] { return p->RawStored() >= 9; }));
  EXPECT_TRUE(p->core->run.RecordFile.IsOpen());
  EXPECT_GE(std::ranges::count_if(RecordBody(record), IsRaw), 8) << "the first whole second is on the disk";
  p->Stop();
}

TEST_F(OnlineRunTest, OverflowEndsAcquisitionSilentlyAndItsSignalsNeverReachTheNextRun) {
  ASSERT_TRUE(Start({.speed = 40.0}, "overflow.eeg", /*withCalc=*/false));  // nobody takes the samples
  ASSERT_TRUE(p->Until(
      [&] { return p->RawStored() > 0 && p->link.Receiver()->Overflowed() && !p->link.ThreadsRunning(); }));
  EXPECT_EQ(std::pair(p->RawStored(), p->core->buffers.rawWave.Wave128Pending), std::pair(64u, 1024));
  EXPECT_TRUE(p->Running() && p->prompter.shown.empty())
      << "the controls stay until Stop; overflow shows nothing";

  // Everything accepted before the 65th raw EEG message, and nothing after.
  const Packets body = RecordBody(record), played = sim->sim.Streamed();
  std::size_t raws = 0, cut = 0;
  while (cut < played.size() && !(IsRaw(played[cut]) && ++raws == 65)) ++cut;
  ASSERT_TRUE(cut < played.size() && body.size() == cut) << body.size() << " of " << cut;
  EXPECT_TRUE(std::equal(body.begin(), body.end(), played.begin()));

  // Stop finds no send thread; its signal is left over and must not stop the
  // next run, nor may the left-over overflow signal.
  p->Stop();
  EXPECT_TRUE(!p->Running() && p->core->sync.TxStopEvent.IsSet());
  p->core->sync.OverflowEvent.Set();
  p->controller->bStartClick();
  ASSERT_TRUE(p->Until([&] { return p->StopEnabled() && p->RawStored() >= 8; }));
  EXPECT_EQ(std::tuple(Count(kMsgStopStream), Count(kMsgRequestStream), p->Running()), std::tuple(0, 2, true))
      << "no stop request was ever sent";
}

// Regression: the receive thread wrote on into a record that Stop had closed.
TEST_F(OnlineRunTest, AMonitorIgnoringStopDoesNotBlockANewStartNorWriteAfterTheStop) {
  ASSERT_TRUE(Start({.ignoreStop = true}, "first.eeg"));
  const fs::path first = record;
  ASSERT_TRUE(UntilSeconds(2));
  p->Stop();
  EXPECT_FALSE(p->Running());
  const auto closedSize = fs::file_size(first);
  // The send thread keeps repeating 112 while the monitor keeps streaming.
  ASSERT_TRUE(p->Until([&] { return Count(kMsgStopStream) >= 3; }));
  EXPECT_EQ(std::pair(p->link.ThreadsRunning(), fs::file_size(first)), std::pair(true, closedSize))
      << "nothing is written after Stop closed the record";

  ASSERT_TRUE(p->records.CreateAt((record = Temp("second.eeg")).string()));
  p->controller->bStartClick();
  ASSERT_TRUE(UntilSeconds(2));
  EXPECT_TRUE(p->Running()) << "the old run's requests are dropped";
  p->Stop();  // closes the second record
  EXPECT_EQ(fs::file_size(first), closedSize);
  const Packets body = RecordBody(record);
  EXPECT_TRUE(!body.empty() && GetU16(&body[0][kOffMsgId]) == kMsgProcessed)
      << "it starts with its own calibration";
}

// The message forms the simulator plays that the program must take as a
// monitor's: the four-channel engine (1025 and 1122, on channel 3, which
// exists in this layout) and the extended processed variables (53, recorded
// as a 52).
class OnlineForms : public OnlineRunTest {};

TEST_F(OnlineForms, FourChannelEngineAsksFor1025AndRecords1122AndExtendedVariablesAreRecordedAs52) {
  for (const Sim& o :
       {Sim{.model = 'V', .engine = '4', .seconds = 30}, Sim{.extended = true, .seconds = 30}}) {
    SCOPED_TRACE(o.engine);
    ASSERT_TRUE(Start(o, o.extended ? "extended.eeg" : "four.eeg", true,
                      [&](AppSettings& s) { s.EegChannel = o.extended ? 0 : 3; }));
    EXPECT_TRUE(UntilSeconds(3));
    p->StopAndJoin();
    const Packets body = RecordBody(record);
    ASSERT_GT(body.size(), 18u);
    if (o.extended) {  // what is not raw EEG is a 52
      for (const auto& packet : body)
        EXPECT_TRUE(IsRaw(packet) ||
                    (GetU16(&packet[kOffMsgId]) == kMsgProcessed && packet.size() == kProcessedBytes));
      EXPECT_GE(body.size() - std::ranges::count_if(body, IsRaw), 3u);
      continue;
    }
    EXPECT_TRUE(p->core->run.EngineKind == 2 && std::ranges::count(Requests(true), kMsgRequestVars4) >= 1);
    EXPECT_EQ(std::tuple(body[0].size(), body[1].size()), std::tuple(kProcessed4Bytes, kRawEegBytesWide));
    const ChannelVariables v = recgen::DefaultVariables({0, 30, recgen::SegmentKind::Awake}, 3);
    const MonitorValues& m = p->core->buffers.monitor;
    EXPECT_EQ(std::tuple(m.MonBis.load(), m.MonSqi.load(), m.MonFlags.load()),
              std::tuple(v.bis, v.sqi, v.artifactFlags));
  }
}

TEST(MonitorSimCommandLine, AcceptsItsOptionsAndReportsWhatIsWrong) {
  const auto ok = monitorsim::ParseSimCommandLine(
      {"--link", "/tmp/m", "--model", "V", "--engine", "4", "--speed", "8", "--mute-after", "12", "--noise",
       "--ignore-stop", "--nak-first", "--scenario", "deep:0-30", "--seconds", "30"});
  const Sim& o = ok.options;
  EXPECT_EQ(std::tuple(ok.error, o.linkPath, o.model, o.engine, o.speed, o.muteAfter, o.vanishAfter,
                       o.seconds, o.scenario, o.noise && o.ignoreStop && o.nakFirst),
            std::tuple("", "/tmp/m", 'V', '4', 8.0, 12.0, -1.0, 30, "deep:0-30", true));
  // Faults pair up in order and happen in the order of their times.
  const auto faults = monitorsim::ParseSimCommandLine({"--link", "/tmp/m", "--unplug-at", "20", "--pause-at", "5",
                                                       "--unplug-for", "3", "--pause-for", "10", "--pause-at",
                                                       "30", "--pause-for", "1"});
  ASSERT_EQ(faults.error, "");
  std::vector<std::tuple<bool, double, double>> order;
  for (const auto& f : faults.options.faults) order.emplace_back(f.unplug, f.at, f.forSeconds);
  EXPECT_EQ(order, (std::vector<std::tuple<bool, double, double>>{{false, 5, 10}, {true, 20, 3}, {false, 30, 1}}));
  // clang-format off
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--speed", "0"}, {"--speed", "fast"},
       {"--model", "VC"}, {"--frobnicate"}, {"--link"}, {"--vanish-after", "-1"},
       {"--pause-at", "5"}, {"--link", "/tmp/m", "--pause-for", "2", "--unplug-at", "1", "--unplug-for", "2",
        "--unplug-at", "4"}, {"--unplug-at", "1", "--unplug-for", "2"}})
    EXPECT_NE(monitorsim::ParseSimCommandLine(bad).error, "") << bad[0];
  // clang-format on
  EXPECT_TRUE(monitorsim::ParseSimCommandLine({"--help"}).help);
  // A bad scenario or file is reported when the simulator opens.
  for (const auto& [options, named] :
       {std::pair{Sim{.scenario = "nonsense:0-10"}, "scenario"},
        std::pair{Sim{.playPath = "/nonexistent/file.eeg"}, "/nonexistent/file.eeg"}}) {
    SimThread sim(options);
    EXPECT_TRUE(!sim.opened && sim.error.find(named) != std::string::npos) << sim.error;
  }
}

class AcquireCli : public OnlineRunTest {};

// The simulated monitor plays a generated recording; the command records and
// processes it through the program's link and calculation threads. The
// monitor's artifact flags and a spike: the flags must mark the same blocks
// online as in the replay.
TEST_F(AcquireCli, RecordsThePlayedPacketsAndComputesWhatAReplayOfTheRecordComputes) {
  const fs::path played = Temp("played.eeg"), online = Temp("online.csv"), offline = Temp("offline.csv"),
                 log = Temp("a.log");
  using enum recgen::ArtifactKind;
  // clang-format off
  ASSERT_TRUE(recgen::WriteRecording(played.string(), recgen::GenerateRecording({.seconds = 90, .artifacts = {
      {Flags, 6, 0, 2}, {Flags, 17, 0, 2}, {Flags, 18, 0, 2}, {Flags, 33, 0, 2}, {Flags, 41, 0, 2},
      {Spike, 25, 500, 0}}})));
  // clang-format on
  sim = std::make_unique<SimThread>(Sim{.speed = 40.0, .playPath = played.string(), .noise = true});
  ASSERT_TRUE(sim->opened) << sim->error;
  record = Temp("acquired.eeg");
  const CliRun acquired =
      RunCli("acquire --device " + sim->sim.DevicePath() + " --seconds 45 --settings none.ini --record " +
             record.string() + " --records " + online.string() + " --log " + log.string());
  ASSERT_EQ(acquired.code, 0) << acquired.out;
  EXPECT_TRUE(fs::exists(log));
  ExpectRecordIsThePlayedStart(45);
  const CliRun replayed =
      RunCli("replay " + record.string() + " --settings none.ini --records " + offline.string());
  ASSERT_EQ(replayed.code, 0) << replayed.out;
  const auto onlineRows = Values(online), offlineRows = Values(offline);
  ASSERT_TRUE(onlineRows.size() >= 3 && offlineRows.size() >= onlineRows.size()) << onlineRows.size();
  EXPECT_EQ(onlineRows, std::vector(offlineRows.begin(), offlineRows.begin() + onlineRows.size()));
}

TEST_F(AcquireCli, AMissingDeviceEndsWithTheProgramsMessageAndCode3AndBadArgumentsWith2) {
  const std::string device = Temp("no-such-device").string();
  const CliRun r = RunCli("acquire --device " + device + " --seconds 5 --settings none.ini");
  // The program's message, and under it the path that was tried.
  EXPECT_EQ(std::pair(r.code, r.out.find("COM Error: COM port open error\nNo device at " + device) !=
                                  std::string::npos),
            std::pair(3, true))
      << r.out;
  EXPECT_EQ(RunCli("acquire --seconds 5").code, 2);
  EXPECT_EQ(RunCli("acquire --device x --seconds soon").code, 2);
}

}  // namespace
}  // namespace qs::test
