#include "cli/AcquireCommand.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/RunController.h"
#include "cli/AcquireStats.h"
#include "cli/CommandArgs.h"
#include "cli/ConsoleRun.h"
#include "cli/RecordsCsv.h"
#include "cli/ReplayPictures.h"
#include "dsp/CalcEngine.h"
#include "link/SerialLink.h"
#include "platform/QueuedUiBridge.h"
#include "platform/TextLine.h"
#include "record/RecordFileService.h"

namespace qs::cli {
namespace {

constexpr int kStopSequenceMs = 10000;

constexpr const char* kUsage =
    "usage: quellscope-cli acquire --device PATH --seconds N [--settings FILE] [--record OUT.eeg]\n"
    "         [--log OUT.log] [--comments OUT.cmt] [--records OUT.csv] [--record-times OUT.txt]\n"
    "         [--draw] [--stats]\n";

}  // namespace

int AcquireCommand(int argc, char** argv) {
  std::string device, settings = "Kvo_V2000.ini", recordPath, logPath, commentsPath, recordsPath, recordTimesPath;
  std::string secondsText;
  bool draw = false, stats = false;
  const CommandArgs args{.command = "acquire",
                         .usage = kUsage,
                         .values = {{"--device", &device},
                                    {"--seconds", &secondsText},
                                    {"--settings", &settings},
                                    {"--record", &recordPath},
                                    {"--log", &logPath},
                                    {"--comments", &commentsPath},
                                    {"--records", &recordsPath},
                                    {"--record-times", &recordTimesPath}},
                         .switches = {{"--draw", &draw}, {"--stats", &stats}}};
  if (!args.Parse(argc, argv)) return 2;
  if (device.empty() || secondsText.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  char* end = nullptr;
  const long seconds = std::strtol(secondsText.c_str(), &end, 10);
  if (*end != '\0' || seconds <= 0) {
    std::fprintf(stderr, "acquire: --seconds needs a positive number of seconds, not '%s'\n", secondsText.c_str());
    return 2;
  }

  std::FILE* out = nullptr;
  if (!recordsPath.empty()) {
    out = std::fopen(recordsPath.c_str(), "w");
    if (out == nullptr) {
      std::fprintf(stderr, "acquire: cannot write %s\n", recordsPath.c_str());
      return 1;
    }
    WriteRecordsHeader(out);
  }

  // --draw: the drawing thread draws every graph off-screen, as the window's
  // would be drawn, and empties the drawing queue as in the program.
  std::unique_ptr<ReplayPictures> pictures;
  if (draw) pictures = std::make_unique<ReplayPictures>();
  auto core = std::make_unique<AppCore>();
  QueuedUiBridge ui;
  ConsolePrompter prompter("");
  NoWindows view;
  RecordFileService records(*core);
  SerialLink link(*core, ui, &records.ReplayInput());
  CalcEngine engine(*core, &records.ReplayInput());
  // --record-times: when each interval record became available, on the
  // steady clock that the simulated monitor's --send-times uses too.
  std::FILE* times = recordTimesPath.empty() ? nullptr : std::fopen(recordTimesPath.c_str(), "w");
  if (!recordTimesPath.empty() && times == nullptr) {
    std::fprintf(stderr, "acquire: cannot write %s\n", recordTimesPath.c_str());
    if (out != nullptr) std::fclose(out);
    return 1;
  }
  if (out != nullptr || times != nullptr) {
    engine.onRecord = [out, times](std::int32_t index, const EpochResult& r, std::uint32_t time) {
      if (times != nullptr) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
        std::fprintf(times, "%d %lld\n", index, static_cast<long long>(ns));
      }
      if (out != nullptr) WriteRecordLine(out, index, r, time);
    };
  }
  WorkerFactory workers;
  workers.makeCalcThread = [&engine](AppCore& c, UiBridge& u,
                                     RunRequests& r) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(c, u, r, &engine);
  };
  workers.allocateCalcBuffers = [&engine](ZeroAllocFn alloc) { return engine.Allocate(alloc); };
  if (pictures) pictures->AddDrawThread(workers, engine);
  AcquireStats figures;
  int code = 0;
  {
    RunController controller(RunControllerDeps{*core, ui, prompter, view, link, records, workers, settings});
    if (!controller.FormCreate()) {
      if (out != nullptr) std::fclose(out);
      if (times != nullptr) std::fclose(times);
      return 1;
    }
    if (!controller.SettingsProblem().empty())
      std::fprintf(stderr, "%s\n", controller.SettingsProblem().c_str());
    core->settings.COM_Device = device;
    core->settings.AutoRec = false;
    // The record file as "Packet Data File Save in Binary" would open it
    // before Start; the run writes it and its Stop closes it.
    if (!recordPath.empty() && !records.CreateAt(recordPath)) {
      std::fprintf(stderr, "acquire: cannot write %s\n", recordPath.c_str());
      code = 1;
    } else {
      controller.bStartClick();
      const auto running = [&] { return !controller.Controls().bStart; };
      const auto enough = [&] { return engine.SecondsProcessed() >= static_cast<std::uint32_t>(seconds); };
      while (running() && !enough()) {
        ui.RunUntil([&] { return !running() || enough(); }, stats ? AcquireStats::kSampleMs : 1000);
        if (stats) figures.Sample(*core, engine.SecondsProcessed());
      }
      if (stats) figures.Print(stdout, *core, engine.SecondsProcessed());
      if (!running()) {
        // The port did not open, or the monitor did not respond: the
        // program's message is on stderr already.
        code = 3;
      } else {
        prompter.answerYes = true;  // "Are you sure to stop?"
        controller.bStopClick();
        // Stop restores Idle at once; the send thread then sends the stop
        // requests and ends the receive thread.
        if (!ui.RunUntil([&] { return !link.ThreadsRunning(); }, kStopSequenceMs)) {
          std::fputs("acquire: the monitor did not acknowledge the stop requests\n", stderr);
          code = 4;
        }
      }
    }
  }
  if (!logPath.empty() && !core->logLines.SaveTo(logPath)) {
    std::fprintf(stderr, "acquire: cannot write %s\n", logPath.c_str());
    code = code == 0 ? 1 : code;
  }
  // The comment lines: what the link noted about silences, a vanished device
  // and the record's parts.
  if (!commentsPath.empty() && !core->commentLines.SaveTo(commentsPath)) {
    std::fprintf(stderr, "acquire: cannot write %s\n", commentsPath.c_str());
    code = code == 0 ? 1 : code;
  }
  if (times != nullptr) std::fclose(times);
  if (out != nullptr && std::fclose(out) != 0) {
    std::fprintf(stderr, "acquire: writing %s failed\n", recordsPath.c_str());
    code = code == 0 ? 1 : code;
  }
  return code;
}

}  // namespace qs::cli
