#include "cli/ReplayCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/RunController.h"
#include "cli/ChannelRuns.h"
#include "cli/CommandArgs.h"
#include "cli/ConsoleRun.h"
#include "cli/DsaCsv.h"
#include "cli/RecordsCsv.h"
#include "cli/ReplayPictures.h"
#include "dsp/CalcEngine.h"
#include "link/ComChoices.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "platform/TextLine.h"
#include "dsp/Exports.h"
#include "record/RecordFileService.h"

namespace qs::cli {
namespace {

// The export files a replay can feed, as the Save commands choose them.
struct ExportPaths {
  std::string powBinary, powAscii, bicBinary, bicAscii, amp, bisVariables, waveAscii;
};

// Opens the chosen exports as the Save commands do before Start: the form
// first, then the handle; the run writes them and its stop closes them.
bool OpenExports(RunState& run, const ExportPaths& p) {
  const auto open = [](DataFile& file, const std::string& path) {
    if (path.empty() || file.Open(path, "wb")) return true;
    std::fprintf(stderr, "replay: cannot write %s\n", path.c_str());
    return false;
  };
  run.PowExportBinary = p.powAscii.empty();
  run.BicExportBinary = p.bicAscii.empty();
  return open(run.PowExportFile, p.powBinary.empty() ? p.powAscii : p.powBinary) &&
         open(run.BicExportFile, p.bicBinary.empty() ? p.bicAscii : p.bicBinary) &&
         open(run.AmpExportFile, p.amp) && open(run.BisVariablesFile, p.bisVariables) &&
         open(run.WaveAsciiFile, p.waveAscii);
}

constexpr const char* kReplayUsage =
    "usage: quellscope-cli replay RECORD.eeg [--settings FILE] [--start-offset SEC] [--records OUT.csv]\n"
    "         [--log OUT.log] [--pow-binary F | --pow-ascii F] [--bic-binary F | --bic-ascii F]\n"
    "         [--amp F] [--bis-variables F] [--wave-ascii F] [--snapshot F] [--png-dir DIR]\n"
    "         [--dsa OUT.csv] [--channel N | --all-channels]\n";

}  // namespace

int ReplayCommand(int argc, char** argv) {
  std::string record, settings = "Kvo_V2000.ini", recordsPath, logPath, snapshotPath, pngDir, dsaPath;
  long startOffset = 0;
  int channel = -1;
  bool allChannels = false;
  ExportPaths exports;
  std::string startOffsetText;
  const CommandArgs args{.command = "replay",
                         .usage = kReplayUsage,
                         .values = {{"--settings", &settings},
                                    {"--records", &recordsPath},
                                    {"--log", &logPath},
                                    {"--png-dir", &pngDir},
                                    {"--dsa", &dsaPath},
                                    {"--snapshot", &snapshotPath},
                                    {"--pow-binary", &exports.powBinary},
                                    {"--pow-ascii", &exports.powAscii},
                                    {"--bic-binary", &exports.bicBinary},
                                    {"--bic-ascii", &exports.bicAscii},
                                    {"--amp", &exports.amp},
                                    {"--bis-variables", &exports.bisVariables},
                                    {"--wave-ascii", &exports.waveAscii},
                                    {"--start-offset", &startOffsetText}},
                         .switches = {{"--all-channels", &allChannels}},
                         .channel = &channel,
                         .names = {&record}};
  if (!args.Parse(argc, argv)) return 2;
  if (!startOffsetText.empty()) {
    char* end = nullptr;
    startOffset = std::strtol(startOffsetText.c_str(), &end, 10);
    if (*end != '\0' || startOffset < 0) {
      std::fprintf(stderr, "replay: --start-offset needs a number of seconds, not '%s'\n",
                   startOffsetText.c_str());
      return 2;
    }
  }
  if (record.empty()) {
    std::fputs(kReplayUsage, stderr);
    return 2;
  }
  if (allChannels) {
    if (channel >= 0) {
      std::fputs("replay: --channel and --all-channels exclude each other\n", stderr);
      return 2;
    }
    return RunEveryChannel(record, argc, argv);
  }
  // The program has one power and one bispectrum export file, each binary or
  // text: one run cannot write both forms.
  if (!exports.powBinary.empty() && !exports.powAscii.empty()) {
    std::fputs("replay: --pow-binary and --pow-ascii exclude each other (one power export per run)\n",
               stderr);
    return 2;
  }
  if (!exports.bicBinary.empty() && !exports.bicAscii.empty()) {
    std::fputs("replay: --bic-binary and --bic-ascii exclude each other (one bispectrum export per run)\n",
               stderr);
    return 2;
  }
  // The records are written only when asked for: without them the run is the
  // bare Calculation Only replay (the benchmark times that).
  std::FILE* out = nullptr;
  if (!recordsPath.empty()) {
    out = std::fopen(recordsPath.c_str(), "w");
    if (out == nullptr) {
      std::fprintf(stderr, "replay: cannot write %s\n", recordsPath.c_str());
      return 1;
    }
    WriteRecordsHeader(out);
  }
  std::FILE* dsa = nullptr;
  if (!dsaPath.empty()) {
    dsa = std::fopen(dsaPath.c_str(), "w");
    if (dsa == nullptr) {
      std::fprintf(stderr, "replay: cannot write %s\n", dsaPath.c_str());
      if (out != nullptr) std::fclose(out);
      return 1;
    }
  }

  // Pictures need the drawing thread and a paced run; without them the run is
  // Calculation Only.
  std::unique_ptr<ReplayPictures> pictures;
  if (!pngDir.empty()) pictures = std::make_unique<ReplayPictures>();
  auto core = std::make_unique<AppCore>();
  QueuedUiBridge ui;
  ConsolePrompter prompter(record);
  NoWindows view;
  NoMonitorLink link;
  RecordFileService records(*core);
  CalcEngine engine(*core, &records.ReplayInput());
  if (out != nullptr || dsa != nullptr) {
    // On the calculation thread, right after the interval's column went into
    // the history: that thread is its only writer.
    const SpectrumHistory& history = core->buffers.spectrumHistory;
    engine.onRecord = [out, dsa, &history](std::int32_t index, const EpochResult& r, std::uint32_t time) {
      if (out != nullptr) WriteRecordLine(out, index, r, time);
      if (dsa != nullptr) WriteDsaLine(dsa, history.Last());
    };
  }
  WorkerFactory workers;
  workers.makeCalcThread = [&engine](AppCore& c, UiBridge& u, RunRequests& r) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(c, u, r, &engine);
  };
  workers.allocateCalcBuffers = [&engine](ZeroAllocFn alloc) { return engine.Allocate(alloc); };
  workers.writeSnapshot = [&engine](DataFile& file) { engine.WriteSnapshot(file); };
  workers.bispectralEpochs = [&engine] { return engine.Bispectral().N(); };
  if (pictures) pictures->AddDrawThread(workers, engine);
  int code = 0;
  {
    RunController controller(RunControllerDeps{*core, ui, prompter, view, link, records, workers, settings});
    if (!controller.FormCreate()) {
      if (out != nullptr) std::fclose(out);
      if (dsa != nullptr) std::fclose(dsa);
      return 1;
    }
    if (!controller.SettingsProblem().empty()) std::fprintf(stderr, "%s\n", controller.SettingsProblem().c_str());
    controller.oOfflineClick();
    // Another channel, chosen as the COM window's list would choose it once
    // the record (and so its channel count) is known.
    if (channel >= 0 && !core->run.ReplayFileName.empty() &&
        ChooseEegChannel(core->settings, core->run, channel) != channel)
      std::fprintf(stderr, "replay: the record carries two channels: channel %d analysed\n",
                   core->settings.EegChannel.load());
    if (!OpenExports(core->run, exports)) {
      code = 1;
    } else if (core->run.ReplayFileName.empty()) {
      code = 2;
    } else if (startOffset > core->run.FileSeconds) {
      std::fprintf(stderr, "replay: --start-offset %ld is beyond the file's %d seconds\n", startOffset,
                   static_cast<int>(core->run.FileSeconds));
      code = 2;
    } else {
      core->run.StartOffsetSec = static_cast<std::int32_t>(startOffset);
      core->settings.CalcOnly = !pictures;
      controller.bStartClick();
      // The run ends when the calculation thread reaches the end of the file
      // and its stop request comes back through the loop.
      if (pictures) {
        pictures->Run(controller, ui, engine, *core);
        if (!pictures->Save(pngDir)) code = 1;
      }
      while (!controller.Controls().bStart) ui.RunUntil([&] { return controller.Controls().bStart; }, 1000, 0);
      if (prompter.reported) code = 2;
      // The "Snap" file as the window would write it once the run is over.
      if (!snapshotPath.empty()) {
        prompter.saveAs = snapshotPath;
        controller.bSnapClick();
      }
    }
  }
  if (!logPath.empty() && !core->logLines.SaveTo(logPath)) {
    std::fprintf(stderr, "replay: cannot write %s\n", logPath.c_str());
    code = 1;
  }
  if (dsa != nullptr && std::fclose(dsa) != 0) {
    std::fprintf(stderr, "replay: writing %s failed\n", dsaPath.c_str());
    code = 1;
  }
  if (out != nullptr && std::fclose(out) != 0) {
    std::fprintf(stderr, "replay: writing %s failed\n", recordsPath.c_str());
    return 1;
  }
  return code;
}

}  // namespace qs::cli
