// The run controller's EDF commands: the "EDF+" item of the Save menu and the
// conversion of an EDF, BDF or Vital file picked for replay.
#include <filesystem>

#include "app/RunController.h"
#include "logbook/CommentTimes.h"
#include "exchange/EdfExport.h"
#include "exchange/EdfImport.h"
#include "exchange/ImportFormat.h"
#include "exchange/VitalImport.h"

namespace qs {
namespace {

std::string Replaced(const std::string& path, const char* ext) {
  return std::filesystem::path(path).replace_extension(ext).string();
}

}  // namespace

void RunController::oEdfClick() {
  const std::string record = core_.run.ReplayFileName;
  if (record.empty()) {
    prompter_.error("File not selected", "File Error");
    return;
  }
  saveDialog_.defaultExt = "edf";
  saveDialog_.filterIndex = 6;  // all files: the list has no EDF entry
  saveDialog_.title = "EDF+ File Save";
  saveDialog_.fileName = Replaced(record, ".edf");
  SaveFileSub();
  if (core_.run.DialogFileName.empty()) return;

  // The record file is only read, so a replay of it may go on meanwhile.
  std::string error;
  const auto contents = ReadRecordContents(record, core_.settings.EegChannel, &error);
  if (!contents) {
    prompter_.error(error, "EDF+ File Error");
    return;
  }
  EdfExportInput input;
  input.record = &*contents;
  input.date = RecordDate(record);
  for (const std::string& line : core_.commentLines.Lines()) input.comments.push_back(ParseCommentLine(line));
  EdfExportReport report;
  if (!ExportEdf(core_.run.DialogFileName, input, &report, &error)) {
    prompter_.error(error, "EDF+ File Error");
    return;
  }
  if (!report.notes.empty()) {
    std::string text;
    for (const std::string& note : report.notes) text += (text.empty() ? "" : "\n") + note;
    prompter_.inform(text, "EDF+ File");
  }
}

bool RunController::ConvertPickedEdf() {
  const std::string picked = core_.run.ReplayFileName;
  const ImportFormat format = ImportFormatOf(picked);
  if (format == ImportFormat::Record) return true;  // replayed as it is
  const bool vital = format == ImportFormat::Vital;
  const std::string out = Replaced(picked, ".eeg");
  const char* caption = vital ? "Vital Import" : "EDF Import";
  if (!prompter_.ask("Convert " + std::filesystem::path(picked).filename().string() +
                         " to the packet record file " + std::filesystem::path(out).filename().string() +
                         " and replay it?",
                     caption))
    return false;
  std::error_code ec;
  if (std::filesystem::exists(out, ec) && !prompter_.ask("File already exists", "Overwrite ")) return false;
  std::string error;
  if (vital) {
    const auto result = ImportVitalFile(picked, out, VitalImportOptions{}, &error);
    if (!result) {
      prompter_.error(error, "Vital Import Error");
      return false;
    }
    if (result->parts.size() > 1) {
      std::string text = "Gaps longer than 2 s split the recording into " +
                         std::to_string(result->parts.size()) +
                         " record files; the first is replayed now, the others are";
      for (std::size_t p = 1; p < result->parts.size(); ++p)
        text += " " + std::filesystem::path(VitalPartPath(out, static_cast<int>(p) + 1)).filename().string();
      prompter_.inform(text, caption);
    }
  } else if (!ImportEdfFile(picked, out, EdfImportOptions{}, &error)) {
    prompter_.error(error, "EDF Import Error");
    return false;
  }
  core_.run.ReplayFileName = out;
  core_.run.DialogFileName = out;
  // The log and comments are then proposed beside the converted file.
  openDialog_.fileName = out;
  return true;
}

}  // namespace qs
