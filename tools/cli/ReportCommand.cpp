#include "cli/ReportCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/CaseRun.h"
#include "cli/CommandArgs.h"
#include "cli/SummaryCsv.h"
#include "report/CaseReport.h"

namespace qs::cli {
namespace {

// Text needs Qt's font database, which needs an application object; the
// off-screen platform needs no display.
std::unique_ptr<QGuiApplication> MakeGuiApp() {
  static int argc = 1;
  static char name[] = "quellscope-cli";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const std::string dir = "/tmp/quellscope-runtime-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) qputenv("XDG_RUNTIME_DIR", dir.c_str());
  }
  return std::make_unique<QGuiApplication>(argc, argv);
}

// The comments shown: those of --comments, else those an EDF file carries,
// else the comments file beside the record (the same name, ".cmt"), if any.
bool ReportComments(const std::string& path, const std::string& input, const CaseRunResult& run,
                    std::vector<TimedComment>& comments) {
  if (!path.empty()) return ReadCommentFile(path, comments);
  if (!run.comments.empty()) {
    comments = run.comments;
    return true;
  }
  const std::filesystem::path beside = std::filesystem::path(input).replace_extension(".cmt");
  std::error_code ec;
  if (std::filesystem::exists(beside, ec)) ReadCommentFile(beside, comments);
  return true;
}

bool WriteReport(const std::string& pdf, const std::string& png, const CaseRunResult& run,
                 const std::vector<TimedComment>& comments, std::string* error) {
  const auto app = MakeGuiApp();
  const CaseSummary summary = SummarizeCase(run.intervals, run.totals);
  const CaseReportInput input{&run.facts, &run.intervals, &summary, &comments, &run.totals, run.spectra.get()};
  if (!WriteCaseReportPdf(pdf, input, error)) return false;
  return png.empty() || WriteCaseReportPng(png, input, 150, error);
}

constexpr const char* kReportUsage =
    "usage: quellscope-cli report RECORD --out OUT.pdf [--png OUT.png] [--comments F.cmt] [--settings F]\n"
    "         [--channel N]\n";

}  // namespace

int ReportCommand(int argc, char** argv) {
  CaseRunOptions options;
  std::string out, png, comments;
  const CommandArgs args{
      .command = "report",
      .usage = kReportUsage,
      .values = {{"--out", &out}, {"--png", &png}, {"--comments", &comments}, {"--settings", &options.settings}},
      .channel = &options.channel,
      .names = {&options.input}};
  if (!args.Parse(argc, argv)) return 2;
  if (options.input.empty() || out.empty()) {
    std::fputs(kReportUsage, stderr);
    return 2;
  }
  const CaseRunResult run = RunCase(options);
  if (!run.settingsProblem.empty()) std::fprintf(stderr, "report: %s\n", run.settingsProblem.c_str());
  if (!run.Ok()) {
    std::fprintf(stderr, "report: %s: %s\n", options.input.c_str(), run.error.c_str());
    return 2;
  }
  std::vector<TimedComment> marks;
  if (!ReportComments(comments, options.input, run, marks)) {
    std::fprintf(stderr, "report: cannot read %s\n", comments.c_str());
    return 2;
  }
  std::string error;
  if (!WriteReport(out, png, run, marks, &error)) {
    std::fprintf(stderr, "report: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %d page(s), %zu intervals, %zu comments\n", out.c_str(), CaseReportPages(run.facts),
              run.intervals.size(), marks.size());
  return 0;
}

int BatchCaseCommand(int argc, char** argv) {
  CaseRunOptions options;
  std::string dir, stem;
  bool report = false;
  // Only the batch runs this command, with arguments it has checked.
  const CommandArgs args{.command = "batch-case",
                         .usage = "",
                         .values = {{"--out", &dir}, {"--stem", &stem}, {"--settings", &options.settings}},
                         .switches = {{"--report", &report}},
                         .channel = &options.channel,
                         .names = {&options.input}};
  if (!args.Parse(argc, argv) || options.input.empty() || dir.empty() || stem.empty()) return 2;
  const std::string base = dir + "/" + stem;
  options.recordsPath = base + ".records.csv";
  options.logPath = base + ".log";
  CaseRunResult run = RunCase(options);
  if (run.Ok() && report) {
    std::string error;
    std::vector<TimedComment> marks;
    ReportComments("", options.input, run, marks);
    if (!WriteReport(base + ".pdf", "", run, marks, &error)) run.error = error;
  }
  // The one line the batch reads back.
  std::printf("%s\n", SummaryCsvRowTail(run).c_str());
  return run.Ok() ? 0 : 2;
}

}  // namespace qs::cli
