#pragma once
// What the run controller needs from the packet record files: create the
// automatically named record file of an online run, pre-scan a file chosen for
// replay, and open and position it at Start.
#include <string>

namespace qs {

enum class RecordCreateOutcome { Created, NoFreeName, CannotCreate };
enum class ReplayOpenOutcome { Ok, NotSelected, OpenError, SizeError, TypeError };

// The message of a failed replay open (caption "File Error").
const char* ReplayOpenMessage(ReplayOpenOutcome outcome);

class RecordFiles {
 public:
  virtual ~RecordFiles() = default;
  // Creates the next free "yyyymmdd" + N + ".eeg" in WorkDir as the run's
  // record file; path receives its name on success.
  virtual RecordCreateOutcome CreateAutomatic(std::string& path) = 0;
  // Reads the header and first packets of a file chosen in the open dialog.
  virtual void Prescan(const std::string& path) = 0;
  // Start of an offline run: clears the replay input (sample rings, packet
  // ring, framing state), opens and validates the file.
  virtual ReplayOpenOutcome OpenReplay(const std::string& path) = 0;
  // After a successful open: the monitor-variables export's header lines (when
  // that export is open), then the skip to the chosen start offset, which sets
  // the run clock.
  virtual void WriteBisVariablesHeader() = 0;
  virtual void SkipToStartOffset() = 0;
};

// Stand-in until record files are supported: nothing can be created or replayed.
class NoRecordFiles final : public RecordFiles {
 public:
  RecordCreateOutcome CreateAutomatic(std::string&) override { return RecordCreateOutcome::CannotCreate; }
  void Prescan(const std::string&) override {}
  ReplayOpenOutcome OpenReplay(const std::string&) override { return ReplayOpenOutcome::NotSelected; }
  void WriteBisVariablesHeader() override {}
  void SkipToStartOffset() override {}
};

}  // namespace qs
