#pragma once
// What every import (EDF/BDF, Vital) shares: the one calibration of a record
// file, microvolts to counts, and the record file's bytes, written as a
// monitor of model "C" would have recorded two channels at 128 Hz.
//
//  * Calibration: the counts -32768..32767 span a physical range in uV:
//    gain = (high - low) / 65535, offset = -32768 - low / gain, the gain the
//    simplest fraction within the precision the range is known to. An import
//    whose samples are already counts of a known gain gives that gain itself
//    (ExactCalibration), so each sample comes back exactly.
//  * Samples beyond the range (filter overshoot) are held at its ends and
//    counted.
//  * The record: header (rate 128, time of day), a first processed-variables
//    message (not replayed), then per second eight raw-EEG messages of 16
//    frames and one processed-variables message carrying the calibration and
//    the monitor variables of that second.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/MonitorMessages.h"

namespace qs {

inline constexpr int kImportRate = 128;

// The flag word an import gives a second whose samples were made up to bridge
// a short gap in the source: a bit the analysis counts as an artifact, so no
// epoch containing such a block is analysed.
inline constexpr std::uint32_t kImportFilledFlag = 0x00000002;

struct ImportCalibration {
  std::int32_t gainNum = 1, gainDen = 1, offsetNum = 0, offsetDen = 1;
  double Gain() const { return static_cast<double>(gainNum) / gainDen; }
  double Offset() const { return static_cast<double>(offsetNum) / offsetDen; }
};

// The counts span low..high uV; `precision` is how exactly low and high are
// known (the sum of both ends' uncertainty, uV).
std::optional<ImportCalibration> SpanCalibration(double low, double high, double precision,
                                                 std::string* error);

// uV = (count - offset) x gain with exactly this gain (uV per count) and
// offset (counts). Nothing when either is no fraction of 32-bit terms.
std::optional<ImportCalibration> ExactCalibration(double gain, double offset);

// Appends round(uV / gain + offset), held at the count range's ends.
void AppendCounts(const std::vector<double>& microvolts, const ImportCalibration& calibration,
                  std::vector<std::int16_t>& counts, long& clipped);

// Microvolts per unit of a physical dimension ("uV", "mV", "V", "nV"); 0 when
// it is not a voltage, 1 with *assumed set when the dimension is empty.
double MicrovoltsPer(const std::string& dimension, bool* assumed);

// The best fraction num/den (den <= maxDen, both fitting int32) within tol of
// value, the simplest one found by continued fractions.
bool NearestFraction(double value, double tol, std::int64_t maxDen, std::int32_t& num, std::int32_t& den);

// The variable blocks of one second (second -1: the first message, not
// replayed). Blocks 0 and 1 belong to the two channels; the record's
// processed message carries three, the third a copy of the first.
using ImportVariables = std::function<void(int second, ChannelVariables (&blocks)[2])>;

struct ImportRecordInput {
  const std::vector<std::int16_t>* counts[2] = {nullptr, nullptr};  // 128 Hz, at least 128 x seconds
  int seconds = 0;
  int startSecondOfDay = 0;
  ImportCalibration calibration;
  ImportVariables variables;  // empty: every value not available
};

std::vector<std::uint8_t> BuildImportRecord(const ImportRecordInput& input);

// Writes bytes to path; false and the reason when it cannot.
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error);
// A whole input file into bytes; "cannot open PATH" or "cannot read PATH".
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string* error);
// The comments file that belongs to a record file: the same name, ".cmt".
std::string CommentsPathFor(const std::string& recordPath);
// Comment lines, CR LF each.
bool WriteCommentLines(const std::string& path, const std::vector<std::string>& lines, std::string* error);

}  // namespace qs
