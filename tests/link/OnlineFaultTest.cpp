// The operating room's faults during an online run, against the simulated
// monitor: a monitor that falls silent, a device that is pulled and plugged
// in again, Stop in the middle of an outage, and a record file chosen from the
// Save menu while the run goes on. The program is the run controller with the
// serial link, the calculation thread and a scripted prompter; the acquire
// command runs the same faults end to end.
#include <chrono>

#include "OnlineHarness.h"
#include "record/RecordPrescan.h"
#include "support/CliProcess.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs::test {
namespace {

using Sim = monitorsim::SimOptions;
using Fault = Sim::Fault;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// The packets of the record and its parts, in order.
Packets PartsBody(const std::vector<fs::path>& parts) {
  Packets all;
  for (const auto& part : parts) {
    std::size_t stray = 1;
    const Packets body = RecordBody(part, &stray);
    EXPECT_EQ(stray, 0u) << part;
    all.insert(all.end(), body.begin(), body.end());
  }
  return all;
}

std::vector<std::string> CommentsWith(const TextLines& lines, const std::string& text) {
  std::vector<std::string> found;
  for (const auto& line : lines.Lines())
    if (line.find(text) != std::string::npos) found.push_back(line);
  return found;
}

class OnlineFaults : public TempFiles {
 protected:
  void Start(Sim o, bool record = true) {
    o.linkPath = (link = Temp("monitor")).string();
    sim = std::make_unique<SimThread>(o);
    ASSERT_TRUE(sim->opened) << sim->error;
    p = std::make_unique<OnlineProgram>(link.string(), true);
    if (record) {
      ASSERT_TRUE(p->records.CreateAt((first = Temp("case.eeg")).string()));
    }
    p->controller->bStartClick();
  }
  const MainControls& Controls() { return p->controller->Controls(); }
  // Runs the user interface until the fault has begun and "No data" shows;
  // the milliseconds that took.
  long NoticeAfterFault(int fault) {
    EXPECT_TRUE(p->Until([&] { return sim->sim.FaultsBegun() >= fault; }, 30000));
    const auto began = Clock::now();
    EXPECT_TRUE(p->Until([&] { return Controls().lNoise == "No data"; }, 10000));
    return MsSince(began);
  }
  bool UntilResumed(int resumes, int ms) {
    return p->Until(
        [&] {
          return static_cast<int>(CommentsWith(p->core->commentLines, "monitor resumed at").size()) >= resumes &&
                 Controls().lNoise.empty();
        },
        ms);
  }

  fs::path link, first;
  std::unique_ptr<SimThread> sim;
  std::unique_ptr<OnlineProgram> p;
};

// Silent for 10 s, then unplugged for 20 s: each time "No data" shows within
// 3 s with the clock at the last second received, the run goes on by itself,
// and the record goes on in a new part whose header has the time the data
// came back; together the parts hold every packet played. Then a third
// outage, during which Stop ends the link within a second.
TEST_F(OnlineFaults, SilenceAndAPulledDeviceAreNoticedAndTheRunGoesOnInRecordPartsThatHoldEveryPacket) {
  Start({.speed = 8.0,
         .seconds = 120,
         .faults = {Fault{false, 3, 10}, Fault{true, 6, 20}, Fault{false, 9, 60}}});
  const TextLines& comments = p->core->commentLines;
  EXPECT_LT(NoticeAfterFault(1), 3000);
  ASSERT_EQ(CommentsWith(comments, "monitor silent at").size(), 1u);
  EXPECT_EQ(comments.Lines().back(), Controls().lTime + ",monitor silent at " + Controls().lTime)
      << "the clock stays at the last second received";
  EXPECT_TRUE(p->Running() && p->StopEnabled());
  ASSERT_TRUE(UntilResumed(1, 15000));

  EXPECT_LT(NoticeAfterFault(2), 3000);
  ASSERT_TRUE(UntilResumed(2, 30000)) << "the device is opened again and the start sequence redone";
  EXPECT_EQ(p->link.Receiver()->Reopens(), 1u);
  const std::uint32_t processed = p->engine->SecondsProcessed();
  ASSERT_TRUE(p->Until([&] { return p->engine->SecondsProcessed() >= processed + 2; }));

  // The third outage: Stop while the monitor is silent.
  EXPECT_LT(NoticeAfterFault(3), 3000);
  const std::size_t played = sim->sim.Streamed().size();
  const auto stopped = Clock::now();
  p->Stop();
  EXPECT_FALSE(p->Running());
  ASSERT_TRUE(p->Until([&] { return !p->link.ThreadsRunning(); }, 5000));
  EXPECT_LT(MsSince(stopped), 1000) << "the link ends within a second";

  const auto requests = sim->sim.Requests();
  EXPECT_EQ(std::ranges::count_if(requests, [](const auto& r) { return r.id == 111 && r.acknowledged; }), 2)
      << "the stream was asked for again after the device came back";
  const std::vector<fs::path> parts = {first, Temp("case_part2.eeg"), Temp("case_part3.eeg")};
  EXPECT_FALSE(fs::exists(Temp("case_part4.eeg")));
  EXPECT_EQ(CommentsWith(comments, "recording continues in").size(), 2u);
  EXPECT_EQ(CommentsWith(comments, "_case_part3.eeg").size(), 1u);
  const Packets body = PartsBody(parts);
  EXPECT_TRUE(body == sim->sim.Streamed()) << "every packet played, in order, in one part or the next: "
                                           << body.size() << " of " << played;
  EXPECT_EQ(sim->sim.Streamed().size(), played);

  std::uint32_t previousStart = 0;
  for (const auto& part : parts) {
    SCOPED_TRACE(part.filename());
    const PrescanResult r = PrescanRecord(part.string());
    EXPECT_TRUE(r.outcome == ReplayOpenOutcome::Ok && r.firstPacketId == kMsgProcessed && r.fileSeconds >= 1);
    EXPECT_GE(r.fileStartSec, previousStart) << "each part starts when its data came";
    previousStart = r.fileStartSec;
    EXPECT_EQ(RunCli("replay " + part.string() + " --settings none.ini").code, 0);
  }
  EXPECT_GE(PrescanRecord(parts[2].string()).fileStartSec, PrescanRecord(parts[0].string()).fileStartSec + 30)
      << "the gaps are not squeezed out";
}

// A device that is gone for longer: "No data" shows at once, the link waits
// for it without ending the run, and Stop ends the link within a second.
TEST_F(OnlineFaults, StopWhileTheDeviceIsGoneEndsTheLinkWithinASecond) {
  Start({.speed = 8.0, .faults = {Fault{true, 2, 60}}});
  EXPECT_LT(NoticeAfterFault(1), 1000);
  EXPECT_TRUE(p->Running() && p->link.ThreadsRunning() && p->core->run.RecordFile.IsOpen());
  // The notice and the comment come in hand-offs of their own: wait for both.
  EXPECT_TRUE(p->Until([&] { return CommentsWith(p->core->commentLines, "monitor device lost at").size() == 1; },
                       2000));
  const auto stopped = Clock::now();
  p->Stop();
  ASSERT_TRUE(p->Until([&] { return !p->link.ThreadsRunning(); }, 5000));
  EXPECT_LT(MsSince(stopped), 1000);
  EXPECT_TRUE(PartsBody({first}) == sim->sim.Streamed()) << "the record keeps what came";
}

// Regression: a record file chosen from the Save menu during a run had a
// blank header, and the replay refused it with "File type error". Its records
// equal those of the same seconds of the whole case.
TEST_F(OnlineFaults, ARecordOpenedFromTheSaveMenuMidRunReplaysAsTheSameSecondsOfTheWholeCase) {
  const fs::path whole = Temp("whole.eeg"), midRun = Temp("mid-run.eeg"), wholeCsv = Temp("whole.csv"),
                 midCsv = Temp("mid.csv");
  ASSERT_TRUE(recgen::WriteRecording(whole.string(), recgen::GenerateRecording({.seconds = 90})));
  Start({.speed = 8.0, .playPath = whole.string()}, /*record=*/false);
  ASSERT_TRUE(p->Until([&] { return p->StopEnabled() && p->engine->SecondsProcessed() >= 3; }));
  p->prompter.files = {midRun.string()};
  p->controller->oWaveBClick();
  const std::uint32_t opened = p->engine->SecondsProcessed();
  ASSERT_TRUE(p->Until([&] { return p->engine->SecondsProcessed() >= opened + 25; }));
  p->StopAndJoin();

  const Packets mid = RecordBody(midRun), played = sim->sim.Streamed();
  ASSERT_GT(mid.size(), 9u * 20);
  const auto at = std::search(played.begin(), played.end(), mid.begin(), mid.end());
  ASSERT_NE(at, played.end()) << "the packets as played, from a processed-variables message on";
  const auto index = at - played.begin();
  ASSERT_EQ(index % 9, 0);
  ASSERT_EQ(RunCli("replay " + midRun.string() + " --settings none.ini --records " + midCsv.string()).code, 0);
  ASSERT_EQ(RunCli("replay " + whole.string() + " --settings none.ini --start-offset " +
                   std::to_string(index / 9) + " --records " + wholeCsv.string())
                .code,
            0);
  const auto midRows = Values(midCsv), wholeRows = Values(wholeCsv);
  ASSERT_TRUE(midRows.size() >= 2 && wholeRows.size() >= midRows.size()) << midRows.size();
  EXPECT_EQ(midRows, std::vector(wholeRows.begin(), wholeRows.begin() + midRows.size()));
}

class AcquireFaults : public TempFiles {};

// quellscope-cli acquire through a silent monitor and a pulled device: exit 0
// after the stop sequence, OUT_part2.eeg and OUT_part3.eeg, the comments.
TEST_F(AcquireFaults, RecordsInPartsAndNotesTheOutages) {
  const fs::path link = Temp("monitor"), out = Temp("OUT.eeg"), comments = Temp("OUT.cmt");
  SimThread sim(
      Sim{.linkPath = link.string(), .speed = 8.0, .seconds = 120, .faults = {Fault{false, 3, 10}, Fault{true, 6, 20}}});
  ASSERT_TRUE(sim.opened) << sim.error;
  const CliRun r = RunCli("acquire --device " + link.string() + " --seconds 12 --settings none.ini --record " +
                          out.string() + " --comments " + comments.string());
  ASSERT_EQ(r.code, 0) << r.out;
  const std::vector<fs::path> parts = {out, Temp("OUT_part2.eeg"), Temp("OUT_part3.eeg")};
  const Packets body = PartsBody(parts), played = sim.sim.Streamed();
  ASSERT_GE(body.size(), 9u * 12);
  EXPECT_TRUE(body.size() <= played.size() && std::equal(body.begin(), body.end(), played.begin()))
      << body.size() << " of " << played.size();
  std::ifstream in(comments);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  for (const char* note : {"monitor silent at", "monitor resumed at", "_OUT_part2.eeg", "_OUT_part3.eeg",
                           "monitor device lost at", "monitor device back at"})
    EXPECT_NE(text.find(note), std::string::npos) << note << "\n" << text;
}

}  // namespace
}  // namespace qs::test
