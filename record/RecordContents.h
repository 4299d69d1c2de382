#pragma once
// The whole content of a packet record file, read the way the replay reads
// it: the same framing parser, the first packet (calibration) not replayed,
// nothing before the first raw EEG message that begins a second, and only
// whole seconds. Conversions (the EDF+ export) start from this, so that what
// they write is exactly what a replay of the file would process.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "record/RecordHeader.h"

namespace qs {

struct RecordContents {
  ParsedRecordHeader header;
  std::uint32_t startSecondOfDay = 0;  // the pre-scan's: 0 when the header has no time
  RawLayout layout = RawLayout::TwoChannels128;
  int sampleRate = 128;
  int channels = 2;
  int seconds = 0;  // whole seconds of EEG
  // The one calibration of the whole file: microvolts = (count - offset) x gain.
  Calibration calibration;
  // counts[c]: seconds x sampleRate samples of channel c.
  std::vector<std::vector<std::int16_t>> counts;
  // variables[s]: the selected channel's block of the processed message that
  // closed second s (the monitor sends it behind the second's raw EEG); empty
  // when none came or the message lacks that channel.
  std::vector<std::optional<ChannelVariables>> variables;
  // Raw EEG messages of another layout's length, skipped as the replay skips them.
  int skippedRaw = 0;
};

// Reads path. On failure returns nothing and error says why: the replay's own
// messages for files it refuses, and a file whose calibration changes (one
// scale per signal is all an exchange format can hold). variableChannel picks
// the variable block (the program's EEG channel setting).
std::optional<RecordContents> ReadRecordContents(const std::string& path, int variableChannel,
                                                 std::string* error);

}  // namespace qs
