#pragma once
// The program's record files: creating an online run's file, the pre-scan of
// a file chosen for replay, and opening it at Start. The replay itself (one
// second per step) runs on the calculation thread through Replay.
#include "core/AppCore.h"
#include "record/RecordFiles.h"
#include "record/Replay.h"

namespace qs {

class RecordFileService final : public RecordFiles {
 public:
  explicit RecordFileService(AppCore& core) : core_(core), replay_(core) {}

  RecordCreateOutcome CreateAutomatic(std::string& path) override;
  bool CreateAt(const std::string& path) override;
  ReplayOpenOutcome Prescan(const std::string& path) override;
  ReplayOpenOutcome OpenReplay(const std::string& path) override;

  Replay& ReplayInput() { return replay_; }

 private:
  ReplayOpenOutcome FailOpen(ReplayOpenOutcome outcome);

  AppCore& core_;
  Replay replay_;
};

}  // namespace qs
