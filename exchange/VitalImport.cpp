#include "exchange/VitalImport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "exchange/EdfExport.h"
#include "exchange/EdfImport.h"
#include "exchange/Resampler.h"
#include "logbook/CommentTimes.h"

namespace qs {
namespace {

struct TimedValue {
  double dt;
  double value;
};

std::vector<TimedValue> NumericValues(const VitalFile& file, const VitalTrack* track) {
  std::vector<TimedValue> out;
  if (track == nullptr) return out;
  out.reserve(track->records.size());
  for (const VitalRecord& r : track->records) out.push_back({r.dt, file.Value(*track, r, 0)});
  std::stable_sort(out.begin(), out.end(),
                   [](const TimedValue& a, const TimedValue& b) { return a.dt < b.dt; });
  return out;
}

// The monitor's integer for a value: value / step, "not available" (-1) when
// the value is missing, negative or too old.
std::int16_t MonitorRaw(const std::vector<TimedValue>& values, double secondEnd, double step) {
  auto it = std::lower_bound(values.begin(), values.end(), secondEnd,
                             [](const TimedValue& v, double t) { return v.dt < t; });
  if (it == values.begin()) return -1;
  --it;
  if (it->dt < secondEnd - kVitalHoldSeconds || !std::isfinite(it->value) || it->value < 0) return -1;
  return static_cast<std::int16_t>(std::min(std::round(it->value / step), 32767.0));
}

int SecondOfDay(double unixTime, int tzBiasMinutes) {
  const double local = std::floor(unixTime - 60.0 * tzBiasMinutes);
  return static_cast<int>(std::fmod(std::fmod(local, 86400.0) + 86400.0, 86400.0));
}

// The lowest and highest values of a track's samples, in uV, widened to the
// track's declared range when that is one an EEG can have (a display range
// of +-1e30 would leave no resolution; it is ignored).
void Extend(const VitalTrack& t, double factor, const std::vector<VitalPart>& parts, int channel, double& low,
            double& high) {
  constexpr double kLargestDeclaredUv = 1e5;
  if (std::isfinite(t.minVal) && std::isfinite(t.maxVal) && t.maxVal > t.minVal &&
      std::fabs(t.minVal * factor) <= kLargestDeclaredUv &&
      std::fabs(t.maxVal * factor) <= kLargestDeclaredUv) {
    low = std::min(low, t.minVal * factor);
    high = std::max(high, t.maxVal * factor);
  }
  for (const VitalPart& p : parts)
    for (double v : p.values[channel]) {
      low = std::min(low, v * factor);
      high = std::max(high, v * factor);
    }
}

bool SmallInteger(std::uint8_t recFmt) {
  return recFmt >= 3 && recFmt <= 6;
}

}  // namespace

std::string VitalPartPath(const std::string& outPath, int part) {
  if (part <= 1) return outPath;
  const std::filesystem::path p(outPath);
  return (p.parent_path() / (p.stem().string() + "_part" + std::to_string(part) + p.extension().string()))
      .string();
}

std::optional<VitalImportResult> ConvertVital(const VitalFile& file, const VitalImportOptions& options,
                                              std::string* error) {
  const auto choice = ChooseVitalTracks(file, options.track, options.track2, error);
  if (!choice) return std::nullopt;
  VitalImportResult result;
  const VitalTrack* const tracks[2] = {choice->eeg[0], choice->eeg[1]};
  result.label1 = tracks[0]->name;
  result.label2 = tracks[1]->name;
  result.inputRate = tracks[0]->sampleRate;
  double factor[2] = {1, 1};
  for (int c = 0; c < 2; ++c) {
    bool assumed = false;
    factor[c] = MicrovoltsPer(tracks[c]->unit, &assumed);
    if (factor[c] == 0) {
      *error = "track \"" + tracks[c]->name + "\" is in \"" + tracks[c]->unit + "\", not a voltage";
      return std::nullopt;
    }
    if (assumed && (c == 0 || tracks[1] != tracks[0]))
      result.notes.push_back("track \"" + tracks[c]->name + "\" has no unit: taken as uV");
    if (tracks[c]->earlyRecords > 0 && (c == 0 || tracks[1] != tracks[0]))
      result.notes.push_back(std::to_string(tracks[c]->earlyRecords) + " records of track \"" +
                             tracks[c]->name + "\" come before the track is announced (the first in packet " +
                             std::to_string(tracks[c]->firstEarlyPacket) + " at byte offset " +
                             std::to_string(tracks[c]->firstEarlyOffset) + ") and are ignored");
  }
  auto parts = JoinVitalTracks(file, tracks, options.maxGap, result.join, error);
  if (!parts) return std::nullopt;
  if (parts->empty()) {
    *error = "track \"" + tracks[0]->name + "\" has no samples";
    if (tracks[0]->earlyRecords > 0)
      *error += ": its " + std::to_string(tracks[0]->earlyRecords) +
                " records come before the track is announced (the first in packet " +
                std::to_string(tracks[0]->firstEarlyPacket) + " at byte offset " +
                std::to_string(tracks[0]->firstEarlyOffset) + ")";
    return std::nullopt;
  }
  if (parts->size() > static_cast<std::size_t>(kVitalMaxParts)) {
    *error = "the EEG falls into " + std::to_string(parts->size()) + " parts separated by gaps longer than " +
             std::to_string(options.maxGap) + " s; more than " + std::to_string(kVitalMaxParts) +
             " record files are not written";
    return std::nullopt;
  }

  // The one calibration of every part.
  const VitalTrack& a = *tracks[0];
  const VitalTrack& b = *tracks[1];
  if (SmallInteger(a.recFmt) && a.recFmt == b.recFmt && a.gain == b.gain && a.offset == b.offset &&
      factor[0] == factor[1] && a.gain > 0) {
    const double shift = a.recFmt == 6 ? 32768 : 0;  // uint16 counts move down into int16
    if (auto exact = ExactCalibration(a.gain * factor[0], -a.offset / a.gain - shift)) {
      result.calibration = *exact;
      result.exactCalibration = true;
    }
  }
  if (!result.exactCalibration) {
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (int c = 0; c < 2; ++c) Extend(*tracks[c], factor[c], *parts, c, low, high);
    if (!(high > low)) low -= 1, high += 1;  // a flat signal
    // A thousandth more, so that the fraction's rounding never cuts the ends.
    const double margin = (high - low) * 1e-3;
    const auto span = SpanCalibration(low - margin, high + margin, (high - low) * 1e-3, error);
    if (!span) return std::nullopt;
    result.calibration = *span;
  }

  // The resampler from the track's rate.
  std::int32_t perDuration = 0, duration = 1;
  if (!NearestFraction(result.inputRate, 1e-9 * result.inputRate, 1000000, perDuration, duration) ||
      perDuration <= 0) {
    *error = "the sampling rate " + std::to_string(result.inputRate) + " Hz cannot be converted";
    return std::nullopt;
  }
  auto resampler = Resampler::To128(perDuration, duration, error);
  if (!resampler) return std::nullopt;

  std::vector<TimedValue> monitor[5];
  for (int v = 0; v < 5; ++v) {
    monitor[v] = NumericValues(file, choice->monitor[v]);
    if (choice->monitor[v] != nullptr) ++result.monitorTracks;
  }
  const int tzBias = file.Header().tzBias;
  std::vector<double> partStarts;
  for (std::size_t p = 0; p < parts->size(); ++p) {
    const VitalPart& part = (*parts)[p];
    std::vector<std::int16_t> counts[2];
    std::vector<std::uint8_t> filled[2];
    for (int c = 0; c < 2; ++c) {
      std::vector<double> uv = part.values[c];
      for (double& v : uv) v *= factor[c];
      AppendCounts(resampler->Run(uv), result.calibration, counts[c], result.clipped);
      const std::size_t seconds = part.values[c].size() / static_cast<std::size_t>(result.inputRate) + 2;
      filled[c].assign(seconds, 0);
      for (std::size_t i = 0; i < part.filled[c].size(); ++i)
        if (part.filled[c][i])
          filled[c][static_cast<std::size_t>(static_cast<double>(i) / result.inputRate)] = 1;
    }
    VitalImportPart out;
    out.seconds = static_cast<int>(std::min(counts[0].size(), counts[1].size()) / kImportRate);
    if (out.seconds == 0) {
      result.notes.push_back("a stretch of " + std::to_string(part.values[0].size()) + " samples from " +
                             FormatCommentLine(SecondOfDay(part.start, tzBias), "").substr(0, 8) +
                             " is shorter than a second and left out");
      continue;
    }
    out.startSecondOfDay = SecondOfDay(part.start, tzBias);
    for (int s = 0; s < out.seconds; ++s)
      if (filled[0][static_cast<std::size_t>(s)] || filled[1][static_cast<std::size_t>(s)])
        ++out.filledSeconds;
    ImportRecordInput record;
    record.counts[0] = &counts[0];
    record.counts[1] = &counts[1];
    record.seconds = out.seconds;
    record.startSecondOfDay = out.startSecondOfDay;
    record.calibration = result.calibration;
    record.variables = [&](int second, ChannelVariables(&blocks)[2]) {
      const double end = part.start + second + 1;
      for (int c = 0; c < 2; ++c) {
        ChannelVariables& v = blocks[c];
        v.bis = MonitorRaw(monitor[0], end, kMonitorSignals[0].step);
        v.sef = MonitorRaw(monitor[1], end, kMonitorSignals[1].step);
        v.bsr = MonitorRaw(monitor[2], end, kMonitorSignals[2].step);
        v.sqi = MonitorRaw(monitor[3], end, kMonitorSignals[3].step);
        v.emgLow = MonitorRaw(monitor[4], end, kMonitorSignals[4].step);
        if (second >= 0 && filled[c][static_cast<std::size_t>(second)]) v.artifactFlags = kImportFilledFlag;
      }
    };
    out.record = BuildImportRecord(record);
    partStarts.push_back(part.start);
    result.parts.push_back(std::move(out));
  }
  if (result.parts.empty()) {
    *error = "track \"" + tracks[0]->name + "\" holds no stretch of a second or more";
    return std::nullopt;
  }
  if (choice->events != nullptr)
    for (const VitalRecord& r : choice->events->records) {
      std::string text = file.Text(r);
      for (char& ch : text)
        if (ch == '\r' || ch == '\n') ch = ' ';
      const auto later = std::upper_bound(partStarts.begin(), partStarts.end(), r.dt);
      const std::size_t p =
          later == partStarts.begin() ? 0 : static_cast<std::size_t>(later - partStarts.begin()) - 1;
      result.parts[p].commentLines.push_back(FormatCommentLine(SecondOfDay(r.dt, tzBias), text));
    }
  if (result.join.filled > 0)
    result.notes.push_back(std::to_string(result.join.filled) + " missing samples in gaps up to " +
                           std::to_string(options.maxGap).substr(0, 3) +
                           " s were bridged; their seconds are flagged as artifacts");
  if (result.join.overlapping > 0)
    result.notes.push_back(std::to_string(result.join.overlapping) +
                           " samples of overlapping records were dropped (the earlier ones kept)");
  return result;
}

std::optional<VitalImportResult> ConvertVitalBytes(const std::uint8_t* data, std::size_t size,
                                                   const VitalImportOptions& options, std::string* error) {
  auto inflated = InflateGzip(data, size, options.inflateCap, error);
  if (!inflated) return std::nullopt;
  const auto file = VitalFile::Parse(std::move(*inflated), error);
  if (!file) return std::nullopt;
  return ConvertVital(*file, options, error);
}

std::optional<VitalImportResult> ImportVitalFile(const std::string& inPath, const std::string& outPath,
                                                 const VitalImportOptions& options, std::string* error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(inPath, bytes, error)) return std::nullopt;
  auto result = ConvertVitalBytes(bytes.data(), bytes.size(), options, error);
  if (!result) return std::nullopt;
  for (std::size_t p = 0; p < result->parts.size(); ++p) {
    const std::string path = VitalPartPath(outPath, static_cast<int>(p) + 1);
    if (!WriteWholeFile(path, result->parts[p].record, error)) return std::nullopt;
    if (!result->parts[p].commentLines.empty() &&
        !WriteCommentLines(CommentsPathFor(path), result->parts[p].commentLines, error))
      return std::nullopt;
  }
  return result;
}

}  // namespace qs
