#pragma once
// What the run controller needs from the packet record files: create the
// record file of an online run, pre-scan a file chosen for replay, and open and
// position it at Start.
#include <string>

namespace qs {

enum class RecordCreateOutcome { Created, NoFreeName };
enum class ReplayOpenOutcome { Ok, NotSelected, OpenError, SizeError, TypeError };

// The message of a failed replay open or pre-scan (caption "File Error").
const char* ReplayOpenMessage(ReplayOpenOutcome outcome);

class RecordFiles {
 public:
  virtual ~RecordFiles() = default;
  // Creates the first free "yyyymmdd" + N + ".eeg" (N = 1..99) in WorkDir as
  // the run's record file; path receives its name. NoFreeName when none of the
  // 99 could be created.
  virtual RecordCreateOutcome CreateAutomatic(std::string& path) = 0;
  // Creates the record file under a name the user chose.
  virtual bool CreateAt(const std::string& path) = 0;
  // Reads the header and first packet of a file chosen in the open dialog and
  // sets the replay state (start time, seconds, rate, model, engine).
  virtual ReplayOpenOutcome Prescan(const std::string& path) = 0;
  // Start of an offline run: clears the replay input (packet ring, framing
  // state, second ring, flag words), opens and validates the file, writes the
  // monitor-variables export's header lines (when that export is open) and
  // moves to the chosen start offset, which sets the run clock.
  virtual ReplayOpenOutcome OpenReplay(const std::string& path) = 0;
};

// Stand-in for a program without record files: nothing can be created or replayed.
class NoRecordFiles final : public RecordFiles {
 public:
  RecordCreateOutcome CreateAutomatic(std::string&) override { return RecordCreateOutcome::NoFreeName; }
  bool CreateAt(const std::string&) override { return false; }
  ReplayOpenOutcome Prescan(const std::string&) override { return ReplayOpenOutcome::Ok; }
  ReplayOpenOutcome OpenReplay(const std::string&) override { return ReplayOpenOutcome::NotSelected; }
};

}  // namespace qs
