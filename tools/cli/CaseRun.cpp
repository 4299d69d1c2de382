#include "cli/CaseRun.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/RunController.h"
#include "cli/ConsoleRun.h"
#include "cli/RecordsCsv.h"
#include "dsp/CalcEngine.h"
#include "exchange/EdfImport.h"
#include "exchange/VitalImport.h"
#include "link/ComChoices.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"
#include "record/RecordPrescan.h"

namespace qs::cli {
namespace {

// Messages are kept for the caller (the batch puts the first into the case's
// row); questions are answered No; the open dialog returns the case's file.
class CasePrompter final : public Prompter {
 public:
  explicit CasePrompter(std::string file) : file_(std::move(file)) {}
  void error(std::string_view text, std::string_view) override { Keep(text); }
  void inform(std::string_view text, std::string_view) override { Keep(text); }
  bool ask(std::string_view, std::string_view) override { return false; }
  std::optional<std::string> saveFile(const FileDialogState&) override { return std::nullopt; }
  std::optional<std::string> openFile(const FileDialogState&) override {
    if (file_.empty()) return std::nullopt;
    return std::exchange(file_, std::string());
  }
  std::string message;

 private:
  void Keep(std::string_view text) {
    if (message.empty()) message = text;
  }
  std::string file_;
};

// A converted input lives in a temporary file for the length of the run.
struct TempFile {
  std::string path;
  ~TempFile() {
    if (!path.empty()) ::unlink(path.c_str());
  }
};

// Writes a converted case to a temporary record file for the replay.
bool WriteTempRecord(const std::vector<std::uint8_t>& record, TempFile& temp, CaseRunResult& result) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/quellscope-case-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    result.error = "cannot create a temporary file for the conversion";
    return false;
  }
  temp.path = pattern;
  const auto* data = record.data();
  std::size_t left = record.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n <= 0) break;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 || left > 0) {
    result.error = "cannot write the conversion to " + temp.path;
    return false;
  }
  return true;
}

// What the replay reads: the record file itself, or the conversion of an
// EDF/BDF or Vital file (with its date and comments).
bool PrepareCaseInput(const std::string& input, ImportFormat kind, TempFile& temp, std::string& replayPath,
                      CaseRunResult& result) {
  std::vector<std::uint8_t> bytes;
  switch (kind) {
    case ImportFormat::Record:
      // The open dialog never returns a missing file, so the replay says
      // nothing of one: say it here.
      if (!std::ifstream(input, std::ios::binary)) {
        result.error = "cannot open " + input + ": " + std::strerror(errno);
        return false;
      }
      replayPath = input;
      result.facts.date = RecordDate(input);
      return true;
    case ImportFormat::Edf: {
      if (!ReadWholeFile(input, bytes, &result.error)) return false;
      auto edf = EdfFile::Parse(std::move(bytes), &result.error);
      if (!edf) return false;
      auto converted = ConvertEdf(*edf, EdfImportOptions{}, &result.error);
      if (!converted) return false;
      const EdfHeaderInfo& h = edf->Header();
      result.facts.date = CalendarDate{h.year, h.month, h.day};
      result.facts.converted = true;
      for (const std::string& line : converted->commentLines)
        result.comments.push_back(ParseCommentLine(line));
      if (!WriteTempRecord(converted->record, temp, result)) return false;
      replayPath = temp.path;
      return true;
    }
    case ImportFormat::Vital: {
      if (!ReadWholeFile(input, bytes, &result.error)) return false;
      auto converted = ConvertVitalBytes(bytes.data(), bytes.size(), VitalImportOptions{}, &result.error);
      if (!converted) return false;
      if (converted->parts.empty()) {
        result.error = "the Vital file holds no EEG";
        return false;
      }
      // A gap too long to bridge splits a Vital recording into parts, each
      // with its own start time; the case analysed here is the first part,
      // and the header says how many there are (import-vital writes them all).
      const VitalImportPart& part = converted->parts.front();
      result.facts.converted = true;
      result.facts.vitalParts = static_cast<int>(converted->parts.size());
      for (const std::string& line : part.commentLines) result.comments.push_back(ParseCommentLine(line));
      if (!WriteTempRecord(part.record, temp, result)) return false;
      replayPath = temp.path;
      result.facts.date = RecordDate(temp.path);
      return true;
    }
  }
  return false;
}

std::vector<std::string> ResultSettings(const AppSettings& s) {
  auto flag = [](bool b) { return b ? "true" : "false"; };
  char line[160];
  std::vector<std::string> out;
  std::snprintf(line, sizeof line,
                "%s, Moving_Average %d s, BS_Threshold %g uV, Overshoot %g uV, Spike %g uV",
                s.SefFraction > 0.075f ? "SEF90" : "SEF95", s.Moving_Average == 1 ? 2 : 1,
                static_cast<double>(s.BS_Threshold.load()), static_cast<double>(s.Overshoot_Threshold.load()),
                static_cast<double>(s.Spike_Threshold.load()));
  out.emplace_back(line);
  std::snprintf(line, sizeof line, "Power_Dur %d s, Bisp_Dur %d s, Amp_Dur %d s, Use Processed Wave %s",
                s.Power_Dur * 10, s.Bisp_Dur * 10, s.Amp_Dur * 10, flag(s.UseProcessedWave));
  out.emplace_back(line);
  std::snprintf(line, sizeof line,
                "Use_BIS_BSR %s, Use_BIS_SEF %s, SR_PCT %s, BicRatio %s, SynchFastSlow %s, mBIC_filter %s",
                flag(s.Use_BIS_BSR), flag(s.Use_BIS_SEF), flag(s.SR_PCT), flag(s.BicRatio),
                flag(s.SynchFastSlow), flag(s.mBIC_filter));
  out.emplace_back(line);
  return out;
}

}  // namespace

CaseRunResult RunCase(const CaseRunOptions& options) {
  CaseRunResult result;
  result.facts.fileName = std::filesystem::path(options.input).filename().string();
  if (options.channel < -1 || options.channel > 3) {
    result.error = "--channel takes 0 to 3";
    return result;
  }
  TempFile temp;
  std::string replayPath;
  if (!PrepareCaseInput(options.input, ImportFormatOf(options.input), temp, replayPath, result))
    return result;

  std::FILE* records = nullptr;
  bool started = false;
  auto core = std::make_unique<AppCore>();
  QueuedUiBridge ui;
  CasePrompter prompter(replayPath);
  NoWindows view;
  NoMonitorLink link;
  RecordFileService files(*core);
  CalcEngine engine(*core, &files.ReplayInput());
  std::vector<CaseInterval>& intervals = result.intervals;
  CaseTotals& totals = result.totals;
  engine.onRecord = [&](std::int32_t index, const EpochResult& r, std::uint32_t time) {
    if (records != nullptr) WriteRecordLine(records, index, r, time);
    const CalcEngine::Tally tally = engine.RunTally();
    intervals.push_back(CaseInterval{r, time, 0, tally.intervalFlaggedBlocks});
    totals.suppressedSamples = tally.suppressedSamples;
    totals.longestSuppressed = tally.longestSuppressed;
  };
  WorkerFactory workers;
  workers.makeCalcThread = [&engine](AppCore& c, UiBridge& u,
                                     RunRequests& r) -> std::unique_ptr<WorkerThread> {
    return std::make_unique<TCalcThread>(c, u, r, &engine);
  };
  workers.allocateCalcBuffers = [&engine](ZeroAllocFn alloc) { return engine.Allocate(alloc); };
  {
    RunController controller(
        RunControllerDeps{*core, ui, prompter, view, link, files, workers, options.settings});
    if (!controller.FormCreate()) {
      result.error = "the program could not start (out of memory)";
    } else {
      result.settingsProblem = controller.SettingsProblem();
      controller.oOfflineClick();
      // The channel as the COM window's "ch. N" picks it, once the record's
      // engine is known (a two-channel record takes N modulo 2), as replay does.
      if (options.channel >= 0) ChooseEegChannel(core->settings, core->run, options.channel);
      if (core->run.ReplayFileName.empty()) {
        result.error = prompter.message.empty() ? "the replay refused the file" : prompter.message;
      } else if (intervals.reserve(static_cast<std::size_t>(core->run.FileSeconds / 10 + 1)),
                 !options.recordsPath.empty() &&
                     (records = std::fopen(options.recordsPath.c_str(), "w")) == nullptr) {
        // Opened once the file is accepted: a refused case leaves no files.
        result.error = "cannot write " + options.recordsPath;
      } else {
        if (records != nullptr) WriteRecordsHeader(records);
        started = true;
        core->settings.CalcOnly = true;
        controller.bStartClick();
        while (!controller.Controls().bStart) ui.RunUntil([&] { return controller.Controls().bStart; }, 1000, 0);
        if (!prompter.message.empty()) result.error = prompter.message;
      }
    }
  }
  const RunState& run = core->run;
  CaseFacts& facts = result.facts;
  facts.startSecond = run.FileStartSec;
  facts.seconds = run.FileSeconds;
  facts.rateHz = run.Rate256 ? 256 : 128;
  facts.channels = RawChannels(RawLayoutFor(run.EngineKind, run.Rate256));
  facts.channel = core->settings.EegChannel;  // numbered as the COM window's list
  facts.settingsLines = ResultSettings(core->settings);
  totals.seconds = run.FileSeconds;
  totals.bsrInPercent = core->settings.SR_PCT;
  totals.bsrFromMonitor = core->settings.Use_BIS_BSR;
  totals.sefFromMonitor = core->settings.Use_BIS_SEF;
  // The replay clock starts at the file's time of day and runs on past
  // midnight; the seconds into the case put the intervals on one axis.
  for (CaseInterval& i : intervals)
    i.elapsed = i.time >= facts.startSecond ? i.time - facts.startSecond : i.time + 86400 - facts.startSecond;
  // A copy of the spectra outlives the run's records (the calculation thread
  // has ended: no lock is needed any more).
  const SpectrumHistory& history = core->buffers.spectrumHistory;
  if (history.Size() > 0) {
    auto spectra = std::make_shared<SpectrumHistory>();
    if (spectra->Allocate(history.Capacity(), &std::calloc) && spectra->SyncFrom(history))
      result.spectra = std::move(spectra);
  }
  if (started && !options.logPath.empty() && !core->logLines.SaveTo(options.logPath) && result.error.empty())
    result.error = "cannot write " + options.logPath;
  if (records != nullptr && std::fclose(records) != 0 && result.error.empty())
    result.error = "writing " + options.recordsPath + " failed";
  return result;
}

}  // namespace qs::cli
