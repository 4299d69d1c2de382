#pragma once
// An EDF/EDF+/BDF/BDF+ file as a packet record file that the program replays
// like any recording: two channels at 128 Hz, written as a monitor of model
// "C" would have recorded them.
//
//  * Channels: --channel (label, compared without case), else the first
//    signal whose label begins with "EEG", else the first ordinary signal;
//    --channel2 likewise, else the next "EEG" signal of the same rate, else
//    the first channel again (so either channel setting replays it).
//  * Rate: the Resampler brings each channel to 128 Hz; whole seconds only.
//  * Scale: one calibration for both channels (the record has one), spanning
//    the union of their physical ranges in uV over the full count range:
//    gain = (max - min) / 65535, offset = -32768 - min / gain, so the counts'
//    -32768..32767 cover exactly that range. The gain is the simplest
//    fraction within the precision of the header's 8-character fields (an
//    EDF+ export of a record gets its own 1/32 back). Samples beyond the range
//    (filter overshoot) are held at its ends and counted.
//  * Monitor variables: the signals "BIS", "SEF", "BSR", "SQI", "EMG" at 1 Hz
//    (as the EDF+ export writes them) come back into the processed messages;
//    a digital minimum is "not available" (-1). Without them every value is
//    not available.
//  * Time of day from the EDF start time; annotations become comment lines
//    "hh:mm:ss,text" at start + onset.
//  * A discontinuous EDF+D file with gaps is refused: its records are not one
//    stretch of time.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "exchange/EdfReader.h"
#include "exchange/ImportRecord.h"

namespace qs {

struct EdfImportOptions {
  std::string channel, channel2;
};

struct EdfImportResult {
  std::vector<std::uint8_t> record;       // the packet record file's bytes
  std::vector<std::string> commentLines;  // empty when the file has no annotations
  std::string label1, label2;
  double inputRate = 0;
  int seconds = 0;
  std::int32_t gainNum = 1, gainDen = 1, offsetNum = 0, offsetDen = 1;
  long clipped = 0;  // samples held at the ends of the count range
  std::vector<std::string> notes;
};

std::optional<EdfImportResult> ConvertEdf(const EdfFile& edf, const EdfImportOptions& options,
                                          std::string* error);

// Reads inPath, converts, writes outPath and, when there are annotations,
// the comments file beside it (outPath with the extension ".cmt").
std::optional<EdfImportResult> ImportEdfFile(const std::string& inPath, const std::string& outPath,
                                             const EdfImportOptions& options, std::string* error);

}  // namespace qs
