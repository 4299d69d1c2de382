#include "cli/EdfCommands.h"

#include <cstdio>
#include <string>

#include "cli/CommandArgs.h"
#include "cli/IndexReplay.h"
#include "config/SettingsFile.h"
#include "exchange/EdfExport.h"
#include "exchange/EdfImport.h"

namespace qs::cli {
namespace {

constexpr const char* kExportUsage =
    "usage: quellscope-cli export-edf RECORD.eeg OUT.edf [--comments FILE.cmt] [--indices] [--settings "
    "FILE]\n";

}  // namespace

int ExportEdfCommand(int argc, char** argv) {
  std::string record, out, comments, settings = kSettingsFileName;
  bool indices = false;
  const CommandArgs args{.command = "export-edf",
                         .usage = kExportUsage,
                         .values = {{"--comments", &comments}, {"--settings", &settings}},
                         .switches = {{"--indices", &indices}},
                         .names = {&record, &out}};
  if (!args.Parse(argc, argv)) return 2;
  if (record.empty() || out.empty()) {
    std::fputs(kExportUsage, stderr);
    return 2;
  }
  // The channel whose monitor variables are exported is the program's EEG channel.
  AppSettings appSettings;
  const SettingsLoadResult loaded = LoadSettings(appSettings, settings);
  if (const std::string problem = DescribeSettingsProblem(loaded); !problem.empty())
    std::fprintf(stderr, "export-edf: %s\n", problem.c_str());

  std::string error;
  const auto contents = ReadRecordContents(record, appSettings.EegChannel, &error);
  if (!contents) {
    std::fprintf(stderr, "export-edf: %s: %s\n", record.c_str(), error.c_str());
    return 2;
  }
  EdfExportInput input;
  input.record = &*contents;
  input.date = RecordDate(record);
  if (!comments.empty() && !ReadCommentFile(comments, input.comments)) {
    std::fprintf(stderr, "export-edf: cannot read %s\n", comments.c_str());
    return 2;
  }
  input.withIndices = indices;
  if (indices && !ReplayIndices(record, settings, input.indices, &error)) {
    std::fprintf(stderr, "export-edf: %s\n", error.c_str());
    return 2;
  }
  EdfExportReport report;
  if (!ExportEdf(out, input, &report, &error)) {
    std::fprintf(stderr, "export-edf: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& note : report.notes) std::fprintf(stderr, "export-edf: %s\n", note.c_str());
  if (report.secondsLeftOut > 0)
    std::fprintf(stderr, "export-edf: the last %d s are left out (data records of 10 s with --indices)\n",
                 report.secondsLeftOut);
  std::printf("%s: %d channels at %d Hz, %d s, %zu annotations%s\n", out.c_str(), contents->channels,
              contents->sampleRate, report.dataRecords * (indices ? 10 : 1), input.comments.size(),
              indices ? ", with indices" : "");
  return 0;
}

int ImportEdfCommand(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: quellscope-cli import-edf IN.edf OUT.eeg [--channel LABEL] [--channel2 LABEL]\n";
  std::string in, out;
  EdfImportOptions options;
  const CommandArgs args{.command = "import-edf",
                         .usage = kUsage,
                         .values = {{"--channel", &options.channel}, {"--channel2", &options.channel2}},
                         .names = {&in, &out}};
  if (!args.Parse(argc, argv)) return 2;
  if (in.empty() || out.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  const auto result = ImportEdfFile(in, out, options, &error);
  if (!result) {
    std::fprintf(stderr, "import-edf: %s: %s\n", in.c_str(), error.c_str());
    return 2;
  }
  for (const std::string& note : result->notes) std::fprintf(stderr, "import-edf: %s\n", note.c_str());
  if (result->clipped > 0)
    std::fprintf(stderr, "import-edf: %ld samples beyond the physical range were held at its ends\n",
                 result->clipped);
  std::printf("%s: \"%s\" and \"%s\" from %g Hz to 128 Hz, %d s, gain %d/%d uV per count, offset %d/%d",
              out.c_str(), result->label1.c_str(), result->label2.c_str(), result->inputRate, result->seconds,
              result->gainNum, result->gainDen, result->offsetNum, result->offsetDen);
  if (!result->commentLines.empty())
    std::printf(", %zu comments in %s", result->commentLines.size(), CommentsPathFor(out).c_str());
  std::printf("\n");
  return 0;
}

}  // namespace qs::cli
