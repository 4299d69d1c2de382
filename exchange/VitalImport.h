#pragma once
// A Vital file as packet record files that the program replays like any
// recording, written by the same writer and with the same calibration rules
// as the EDF import (ImportRecord.h).
//
//  * EEG: the tracks VitalTracks chooses, joined by its gap rule: records
//    overlapping earlier ones lose their overlapping samples, gaps up to 2 s
//    are bridged and the seconds holding bridged samples carry the artifact
//    flag kImportFilledFlag (the analysis rejects them), a longer gap starts
//    the next record file: OUT.eeg, OUT_part2.eeg, ... each with its own
//    start time. Rates other than 128 Hz go through the Resampler.
//  * Calibration: when both tracks hold integer samples of at most 16 bits
//    with the same gain and offset, the record's counts are the stored values
//    and its gain the track's own (exact); otherwise the counts span the
//    union of the tracks' declared ranges and their values.
//  * Monitor variables: the numeric tracks' values of each second (the last
//    value before the second's end, if at most kVitalHoldSeconds old).
//  * Comments: the "EVENT" track's texts at their local time of day
//    (UTC - the header's time-zone bias) in the .cmt file beside the part
//    they fall in (an event before the first part goes with the first).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exchange/ImportRecord.h"
#include "exchange/VitalFile.h"
#include "exchange/VitalInflate.h"
#include "exchange/VitalTracks.h"

namespace qs {

inline constexpr double kVitalHoldSeconds = 3.0;
inline constexpr int kVitalMaxParts = 999;

struct VitalImportOptions {
  std::string track, track2;
  std::size_t inflateCap = kVitalInflateCap;
  double maxGap = kVitalMaxFilledGap;
};

struct VitalImportPart {
  std::vector<std::uint8_t> record;
  std::vector<std::string> commentLines;
  int seconds = 0;
  int startSecondOfDay = 0;  // local time
  int filledSeconds = 0;     // seconds flagged for bridged samples (either channel)
};

struct VitalImportResult {
  std::vector<VitalImportPart> parts;
  std::string label1, label2;
  double inputRate = 0;
  ImportCalibration calibration;
  bool exactCalibration = false;
  long clipped = 0;
  VitalJoinStats join;
  int monitorTracks = 0;
  std::vector<std::string> notes;
};

std::optional<VitalImportResult> ConvertVital(const VitalFile& file, const VitalImportOptions& options,
                                              std::string* error);
// Decompresses, parses and converts a whole file held in memory.
std::optional<VitalImportResult> ConvertVitalBytes(const std::uint8_t* data, std::size_t size,
                                                   const VitalImportOptions& options, std::string* error);

// The record file of part k (1: outPath itself, then OUT_part2.eeg, ...).
std::string VitalPartPath(const std::string& outPath, int part);

// Reads inPath, converts it and writes every part with its comments file
// (when it has comments). Nothing is written when the file is refused.
std::optional<VitalImportResult> ImportVitalFile(const std::string& inPath, const std::string& outPath,
                                                 const VitalImportOptions& options, std::string* error);

}  // namespace qs
