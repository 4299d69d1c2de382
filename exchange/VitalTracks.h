#pragma once
// Choosing a Vital file's tracks for the import and joining the records of
// the EEG tracks into continuous stretches.
//
// Choice: the EEG tracks are waveform tracks with the meaning code of an EEG
// (28, 61, 62), else those named ".../EEG1_WAV" and ".../EEG2_WAV" (or
// "EEG1_WAV", without a device); --track / --track2 name one exactly. The
// second channel is a second EEG track of the same rate, else the first
// again. The monitor variables are numeric tracks by meaning code (BIS 22,
// SEF 23, SR 25, EMG 26, SQI 27) or by name (".../BIS", ".../SEF", ".../SR",
// ".../SQI", ".../EMG"), those of the first EEG track's device first. The
// events are the string track "EVENT" of device 0.
//
// Joining (the gap rule): both tracks' records are taken in time order and
// placed on one grid of the tracks' rate, a record's first sample at
// round((dt - start) x rate). Where records overlap, the samples placed first
// stay and the later ones are dropped. A stretch without samples of either
// track that is longer than maxGap seconds (no records, or records of
// missing-sample values only) ends the part; a shorter one (and
// any sample missing in one track only) is filled by straight lines between
// its neighbours and marked as filled, so the import can flag the seconds
// holding it as artifacts. A missing sample (the type's missing value) is a
// gap like any other.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "exchange/VitalFile.h"

namespace qs {

struct VitalChoice {
  const VitalTrack* eeg[2] = {nullptr, nullptr};
  const VitalTrack* monitor[5] = {};  // BIS, SEF, BSR (SR), SQI, EMG, as kMonitorSignals
  const VitalTrack* events = nullptr;
};

std::optional<VitalChoice> ChooseVitalTracks(const VitalFile& file, const std::string& track,
                                             const std::string& track2, std::string* error);

inline constexpr double kVitalMaxFilledGap = 2.0;  // seconds
inline constexpr double kVitalMaxRate = 4096;      // Hz, the highest EEG rate joined

struct VitalPart {
  double start = 0;  // Unix time of sample 0
  std::vector<double> values[2];
  std::vector<bool> filled[2];
};

struct VitalJoinStats {
  long overlapping = 0;  // samples dropped because earlier ones held their place
  long filled = 0;       // samples made up in short gaps (both channels)
};

// The parts of the two tracks (the same track twice is allowed), at their
// one rate, in values of the tracks' unit. Nothing and a message when the
// tracks differ in rate or the rate is no usable number.
std::optional<std::vector<VitalPart>> JoinVitalTracks(const VitalFile& file,
                                                      const VitalTrack* const (&tracks)[2], double maxGap,
                                                      VitalJoinStats& stats, std::string* error);

}  // namespace qs
