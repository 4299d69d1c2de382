#pragma once
// An online run as the program makes it, against the simulated monitor on a
// pseudo-terminal: the run controller, the serial link with its two threads,
// optionally the calculation thread, a scripted prompter and a queued
// user-interface loop that the test drives. Waits are bounded only to turn a
// hang into a failure.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "app/RunController.h"
#include "dsp/CalcEngine.h"
#include "dsp/CalcThread.h"
#include "link/SerialLink.h"
#include "platform/QueuedUiBridge.h"
#include "protocol/PacketParser.h"
#include "record/RecordFileService.h"
#include "record/RecordHeader.h"
#include "support/ScriptedPrompter.h"
#include "tools/monitorsim/MonitorSim.h"

namespace qs::test {

namespace fs = std::filesystem;
using Packets = std::vector<std::vector<std::uint8_t>>;
inline constexpr const char* kNoMonitor =
    "BIS monitor did not respond, check connection and monitor settings";

// The monitor simulator on a thread of its own; `exempt` runs first on that
// thread (the allocation count leaves the simulator out).
class SimThread {
 public:
  explicit SimThread(
      monitorsim::SimOptions o, void (*exempt)() = [] {})
      : sim_((o.keepLog = true, o)) {
    opened_ = sim_.Open(&error_);
    if (opened_) thread_ = std::thread([this, exempt] { exempt(), sim_.Run(stop_); });
  }
  ~SimThread() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Opened() const { return opened_; }
  const std::string& Error() const { return error_; }
  monitorsim::MonitorSim& Sim() { return sim_; }

 private:
  monitorsim::MonitorSim sim_;
  std::atomic<bool> stop_{false};
  bool opened_ = false;
  std::string error_;
  std::thread thread_;
};

class QuietView final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override {}
  void ShowWindow(SecondaryWindow) override {}
  void CloseWindow(SecondaryWindow) override {}
  void ExitProcess(int) override {}
};

// The program's online path. withCalc: the calculation thread runs the
// processing engine; without it nobody takes the samples.
class OnlineProgram {
 public:
  OnlineProgram(const std::string& device, bool withCalc) {
    WorkerFactory workers;
    if (withCalc) {
      engine_ = std::make_unique<CalcEngine>(*core_, &records_.ReplayInput());
      workers.makeCalcThread = [engine = engine_.get()](AppCore& c, UiBridge& u, RunRequests& r) {
        return std::unique_ptr<WorkerThread>(std::make_unique<TCalcThread>(c, u, r, engine));
      };
      workers.allocateCalcBuffers = [engine = engine_.get()](ZeroAllocFn alloc) {
        return engine->Allocate(alloc);
      };
    }
    controller_ = std::make_unique<RunController>(
        RunControllerDeps{*core_, ui, prompter, view_, link, records_, workers, "no-such-settings-file.ini"});
    controller_->FormCreate();
    core_->settings.COM_Device = device;
  }
  ~OnlineProgram() { controller_.reset(); }

  AppCore& Core() { return *core_; }
  RunController& Controller() { return *controller_; }
  CalcEngine* Engine() { return engine_.get(); }
  bool Running() const { return !controller_->Controls().bStart; }
  bool StopEnabled() const { return controller_->Controls().bStop; }
  std::uint32_t RawStored() { return link.Receiver() != nullptr ? link.Receiver()->RawStored() : 0; }
  // Runs the user-interface loop until done() or the guard time.
  bool Until(const std::function<bool()>& done, int ms = 15000) { return ui.RunUntil(done, ms); }
  // Stop, confirmed; the log and comments are not saved.
  void Stop() {
    prompter.answers = {true, false, false};
    controller_->bStopClick();
    prompter.answers.clear();
  }
  void StopAndJoin() {
    Stop();
    ASSERT_TRUE(Until([&] { return !link.ThreadsRunning(); })) << "the link threads end";
  }

  QueuedUiBridge ui;
  ScriptedPrompter prompter;
  std::unique_ptr<AppCore> core_ = std::make_unique<AppCore>();
  RecordFileService records_{*core_};
  QuietView view_;
  SerialLink link{*core_, ui, &records_.ReplayInput()};
  std::unique_ptr<CalcEngine> engine_;
  std::unique_ptr<RunController> controller_;
};

inline std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The packets of a record file's body, as the framing parser finds them; the
// bytes left over that form no packet are counted in *stray.
inline Packets RecordBody(const fs::path& path, std::size_t* stray = nullptr) {
  const std::vector<std::uint8_t> file = ReadFile(path);
  Packets packets;
  std::size_t at = kRecordHeaderBytes;
  while (at + 10 <= file.size() && file[at] == kSync0 && file[at + 1] == kSync1) {
    const std::size_t length = GetU16(&file[at + kOffDataLength]) + 10u;
    if (at + length > file.size()) break;
    packets.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at),
                         file.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  if (stray != nullptr) *stray = file.size() - std::min(at, file.size());
  return packets;
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
    files_.push_back(fs::temp_directory_path() / ("qs_online_" + std::to_string(::getpid()) + "_" + name));
    return files_.back();
  }
  std::vector<fs::path> files_;
};

}  // namespace qs::test
