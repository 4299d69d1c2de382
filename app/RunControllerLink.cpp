// The run controller's side of the link's notices: the monitor fell silent or
// came back, its device vanished or was opened again, the record went on in a
// new part. Each shows where the user looks and leaves a comment line, so the
// saved comments (and, with CommentOnLog, the log) tell when data is missing
// and which files hold the case.
#include <cstdio>
#include <filesystem>

#include "app/RunController.h"

namespace qs {
namespace {

std::string ClockText(std::uint32_t secondOfDay) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", secondOfDay / 3600 % 24, secondOfDay / 60 % 60,
                secondOfDay % 60);
  return text;
}

// Comment and log lines are comma-separated: a file is named without its
// folder (every part lies beside the first).
std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

void RunController::LinkNotice(std::uint32_t runId, LinkEvent event, std::uint32_t secondOfDay,
                               const std::string& detail) {
  std::weak_ptr<bool> alive = alive_;
  ui_.Post([this, alive, runId, event, secondOfDay, detail] {
    const auto a = alive.lock();
    if (!a || !*a || runId != core_.run.RunId || !RunInProgress()) return;
    ShowLinkNotice(event, secondOfDay, detail);
  });
}

void RunController::ShowLinkNotice(LinkEvent event, std::uint32_t secondOfDay, const std::string& detail) {
  const std::string time = ClockText(secondOfDay);
  switch (event) {
    case LinkEvent::Silent:
      linkSilent_ = true;
      controls_.lNoise = "No data";
      controls_.lTime = time;
      Changed();
      AddProgramComment(time, "monitor silent at " + time);
      return;
    case LinkEvent::Resumed:
      linkSilent_ = false;
      controls_.lNoise.clear();
      Changed();
      AddProgramComment(time, "monitor resumed at " + time);
      return;
    case LinkEvent::DeviceLost:
      AddProgramComment(time, "monitor device lost at " + time + " (" + FileName(detail) + ")");
      return;
    case LinkEvent::DeviceBack:
      AddProgramComment(time, "monitor device back at " + time + " (" + FileName(detail) + ")");
      return;
    case LinkEvent::NewPart:
      AddProgramComment(time, "recording continues in " + FileName(detail));
      return;
    case LinkEvent::PartFailed:
      AddProgramComment(time, "recording stopped at " + time);
      controls_.lRecordingVisible = false;
      Changed();
      prompter_.error("Packet Record File cannot create", "File Error");
      return;
  }
}

void RunController::AddProgramComment(const std::string& time, const std::string& text) {
  core_.commentLines.Append(time + "," + text);
  view_.CommentsChanged();
  if (!core_.settings.CommentOnLog) return;
  TextLines& log = core_.logLines;
  if (log.Count() > 0) {
    log[log.Count() - 1] += "," + time + "," + text;
  } else {
    log.Append(time + "," + text);
  }
  view_.LogChanged();
}

}  // namespace qs
