#pragma once
// An online run as the program makes it, against the simulated monitor on a
// pseudo-terminal: the run controller, the serial link with its two threads,
// optionally the calculation thread, a scripted prompter and a queued
// user-interface loop that the test drives. Waits are bounded only to turn a
// hang into a failure.
#include <algorithm>
#include <fstream>

#include "dsp/CalcThread.h"
#include "link/SerialLink.h"
#include "support/ProgramRun.h"
#include "tools/monitorsim/MonitorSim.h"

namespace qs::test {

namespace fs = std::filesystem;
using Packets = std::vector<std::vector<std::uint8_t>>;
inline constexpr const char* kNoMonitor =
    "BIS monitor did not respond, check connection and monitor settings";

// The monitor simulator on a thread of its own; `exempt` runs first on that
// thread (the allocation count leaves the simulator out).
struct SimThread {
  explicit SimThread(
      monitorsim::SimOptions o, void (*exempt)() = [] {})
      : sim((o.keepLog = true, o)) {
    if ((opened = sim.Open(&error))) thread = std::thread([this, exempt] { exempt(), sim.Run(stop); });
  }
  ~SimThread() {
    stop = true;
    if (thread.joinable()) thread.join();
  }
  monitorsim::MonitorSim sim;
  std::atomic<bool> stop{false};
  bool opened = false;
  std::string error;
  std::thread thread;
};

// The program's online path. withCalc: the calculation thread runs the
// processing engine; without it nobody takes the samples.
struct OnlineProgram {
  OnlineProgram(const std::string& device, bool withCalc) {
    WorkerFactory workers;
    if (withCalc) {
      engine = std::make_unique<CalcEngine>(*core, &records.ReplayInput());
      workers.makeCalcThread = [e = engine.get()](AppCore& c, UiBridge& u, RunRequests& r) {
        return std::unique_ptr<WorkerThread>(std::make_unique<TCalcThread>(c, u, r, e));
      };
      workers.allocateCalcBuffers = [e = engine.get()](ZeroAllocFn alloc) { return e->Allocate(alloc); };
    }
    controller = std::make_unique<RunController>(
        RunControllerDeps{*core, ui, prompter, view, link, records, workers, "no-such-settings-file.ini"});
    controller->FormCreate();
    core->settings.COM_Device = device;
  }
  ~OnlineProgram() { controller.reset(); }

  bool Running() const { return !controller->Controls().bStart; }
  bool StopEnabled() const { return controller->Controls().bStop; }
  std::uint32_t RawStored() { return link.Receiver() != nullptr ? link.Receiver()->RawStored() : 0; }
  // Runs the user-interface loop until done() or the guard time.
  bool Until(const std::function<bool()>& done, int ms = 15000) { return ui.RunUntil(done, ms); }
  // Stop, confirmed; the log and comments are not saved.
  void Stop() {
    prompter.answers = {true, false, false};
    controller->bStopClick();
    prompter.answers.clear();
  }
  void StopAndJoin() {
    Stop();
    ASSERT_TRUE(Until([&] { return !link.ThreadsRunning(); })) << "the link threads end";
  }

  QueuedUiBridge ui;
  ScriptedPrompter prompter;
  std::unique_ptr<AppCore> core = std::make_unique<AppCore>();
  RecordFileService records{*core};
  NoWindowView view;
  SerialLink link{*core, ui, &records.ReplayInput()};
  std::unique_ptr<CalcEngine> engine;
  std::unique_ptr<RunController> controller;
};

// The packets of a record file's body, as the framing parser finds them; the
// bytes left over that form no packet are counted in *stray.
inline Packets RecordBody(const fs::path& path, std::size_t* stray = nullptr) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  Packets packets;
  std::size_t at = kRecordHeaderBytes;
  for (std::size_t length; at + 10 <= file.size() && file[at] == kSync0 && file[at + 1] == kSync1;
       at += length) {
    if (at + (length = GetU16(&file[at + kOffDataLength]) + 10u) > file.size()) break;
    packets.emplace_back(file.begin() + at, file.begin() + at + length);
  }
  if (stray != nullptr) *stray = file.size() - std::min(at, file.size());
  return packets;
}

// The value columns of a records file (index and time dropped: online the
// time is the wall clock, in a replay the file's).
inline std::vector<std::string> Values(const fs::path& csv) {
  std::ifstream in(csv);
  std::vector<std::string> rows;
  std::string line;
  for (std::getline(in, line); std::getline(in, line);)
    rows.push_back(line.substr(line.find(',', line.find(',') + 1) + 1));
  return rows;
}

inline bool IsRaw(const std::vector<std::uint8_t>& packet) {
  return GetU16(&packet[kOffMsgId]) == kMsgRawEeg;
}

// A test's temporary files, removed at its end.
class TempFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : files_) fs::remove_all(f);
  }
  fs::path Temp(const std::string& name) {
    return files_.emplace_back(fs::temp_directory_path() /
                               ("qs_online_" + std::to_string(::getpid()) + "_" + name));
  }
  std::vector<fs::path> files_;
};

}  // namespace qs::test
