#include "exchange/EdfImport.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "logbook/CommentTimes.h"
#include "exchange/EdfExport.h"
#include "exchange/ImportRecord.h"
#include "exchange/Resampler.h"

namespace qs {
namespace {

constexpr int kRate = 128;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool StartsWithEeg(const std::string& label) {
  return Lower(label).rfind("eeg", 0) == 0;
}

// Half a unit of the last digit of a header number: its precision.
double HalfLastDigit(const std::string& text) {
  const auto dot = text.find('.');
  if (dot == std::string::npos || text.find_first_of("eE") != std::string::npos) return 0.5;
  return 0.5 * std::pow(10.0, -static_cast<double>(text.size() - dot - 1));
}

std::optional<std::size_t> FindSignal(const EdfFile& edf, const std::string& label) {
  const auto& signals = edf.Header().signals;
  for (std::size_t i = 0; i < signals.size(); ++i)
    if (!signals[i].annotations && Lower(signals[i].label) == Lower(label)) return i;
  return std::nullopt;
}

std::string Labels(const EdfFile& edf) {
  std::string all;
  for (const EdfSignalInfo& s : edf.Header().signals)
    if (!s.annotations) all += (all.empty() ? "\"" : ", \"") + s.label + "\"";
  return all;
}

std::int16_t MonitorRaw(const EdfSignalInfo& s, std::int32_t digital, double step) {
  if (digital <= s.digMin) return -1;  // not available
  const double raw = std::round(s.Physical(digital) / step);
  return static_cast<std::int16_t>(std::clamp(raw, -1.0, 32767.0));
}

}  // namespace

std::optional<EdfImportResult> ConvertEdf(const EdfFile& edf, const EdfImportOptions& options,
                                          std::string* error) {
  const EdfHeaderInfo& h = edf.Header();
  if (!edf.Gaps().empty()) {
    const EdfGap& g = edf.Gaps().front();
    *error = "the EDF+D file is discontinuous: data record " + std::to_string(g.record + 1) + " starts at " +
             std::to_string(g.actual) + " s instead of " + std::to_string(g.expected) + " s (" +
             std::to_string(edf.Gaps().size()) +
             " gaps); a record file is one stretch of time, so it is not imported";
    return std::nullopt;
  }
  // The channels.
  std::optional<std::size_t> first, second;
  if (!options.channel.empty()) {
    first = FindSignal(edf, options.channel);
    if (!first) {
      *error = "no signal \"" + options.channel + "\"; the file has " + Labels(edf);
      return std::nullopt;
    }
  } else {
    for (std::size_t i = 0; i < h.signals.size() && !first; ++i)
      if (!h.signals[i].annotations && StartsWithEeg(h.signals[i].label)) first = i;
    for (std::size_t i = 0; i < h.signals.size() && !first; ++i)
      if (!h.signals[i].annotations) first = i;
    if (!first) {
      *error = "the file has no signal besides its annotations";
      return std::nullopt;
    }
  }
  if (!options.channel2.empty()) {
    second = FindSignal(edf, options.channel2);
    if (!second) {
      *error = "no signal \"" + options.channel2 + "\"; the file has " + Labels(edf);
      return std::nullopt;
    }
  } else {
    for (std::size_t i = *first + 1; i < h.signals.size() && !second; ++i)
      if (!h.signals[i].annotations && StartsWithEeg(h.signals[i].label) &&
          h.signals[i].samplesPerRecord == h.signals[*first].samplesPerRecord)
        second = i;
    if (!second) second = first;
  }
  const EdfSignalInfo& s1 = h.signals[*first];
  const EdfSignalInfo& s2 = h.signals[*second];
  EdfImportResult result;
  result.label1 = s1.label;
  result.label2 = s2.label;
  if (s1.samplesPerRecord != s2.samplesPerRecord) {
    *error = "the two channels have different rates (" + std::to_string(edf.SampleRate(*first)) + " and " +
             std::to_string(edf.SampleRate(*second)) + " Hz)";
    return std::nullopt;
  }
  result.inputRate = edf.SampleRate(*first);

  // Units and the one calibration of both channels.
  double factor[2] = {0, 0};
  const EdfSignalInfo* chosen[2] = {&s1, &s2};
  for (int c = 0; c < 2; ++c) {
    bool assumed = false;
    factor[c] = MicrovoltsPer(chosen[c]->dimension, &assumed);
    if (factor[c] == 0) {
      *error = "signal \"" + chosen[c]->label + "\" is in \"" + chosen[c]->dimension + "\", not a voltage";
      return std::nullopt;
    }
    if (assumed && c == 0) result.notes.push_back("signal \"" + s1.label + "\" has no unit: taken as uV");
  }
  double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest(),
         precision = 0;
  for (int c = 0; c < 2; ++c) {
    const double a = chosen[c]->physMin * factor[c], b = chosen[c]->physMax * factor[c];
    const double lo = std::min(a, b), hi = std::max(a, b);
    const double loPrecision =
        HalfLastDigit(a < b ? chosen[c]->physMinText : chosen[c]->physMaxText) * factor[c];
    const double hiPrecision =
        HalfLastDigit(a < b ? chosen[c]->physMaxText : chosen[c]->physMinText) * factor[c];
    if (lo < low) low = lo;
    if (hi > high) high = hi;
    precision = std::max(precision, loPrecision + hiPrecision);
  }
  const auto calibration = SpanCalibration(low, high, precision, error);
  if (!calibration) return std::nullopt;
  result.gainNum = calibration->gainNum;
  result.gainDen = calibration->gainDen;
  result.offsetNum = calibration->offsetNum;
  result.offsetDen = calibration->offsetDen;

  // Samples: microvolts, 128 Hz, counts.
  // A duration field taken as samples / rate gives the rate as a fraction.
  auto resampler = h.durationRateHz > 0
                       ? Resampler::FromRate(static_cast<long long>(s1.samplesPerRecord) * h.durationRateHz,
                                             h.durationSamples, error)
                       : Resampler::To128(s1.samplesPerRecord, h.recordDuration, error);
  if (!resampler) return std::nullopt;
  std::vector<std::int16_t> counts[2];
  for (int c = 0; c < 2; ++c) {
    if (c == 1 && *second == *first) {
      counts[1] = counts[0];
      break;
    }
    std::vector<double> uv = edf.PhysicalSamples(c == 0 ? *first : *second);
    for (double& v : uv) v *= factor[c];
    AppendCounts(resampler->Run(uv), *calibration, counts[c], result.clipped);
  }
  result.seconds = static_cast<int>(counts[0].size() / kRate);
  if (result.seconds == 0) {
    *error = "the signal is shorter than one second";
    return std::nullopt;
  }
  if (counts[0].size() % kRate != 0)
    result.notes.push_back("the last " + std::to_string(counts[0].size() % kRate) +
                           " samples (less than a second) are left out");

  // Monitor variables, when the file carries them at 1 Hz.
  std::vector<std::int16_t> monitor[5];
  for (int v = 0; v < 5; ++v) {
    const auto index = FindSignal(edf, kMonitorSignals[v].label);
    if (!index || std::fabs(edf.SampleRate(*index) - 1.0) > 1e-9) continue;
    const EdfSignalInfo& s = h.signals[*index];
    for (std::int32_t d : edf.DigitalSamples(*index))
      monitor[v].push_back(MonitorRaw(s, d, kMonitorSignals[v].step));
  }
  const auto variable = [&](int v, int second) -> std::int16_t {
    const auto& values = monitor[v];
    return static_cast<std::size_t>(second) < values.size() ? values[static_cast<std::size_t>(second)] : -1;
  };

  // The record file.
  ImportRecordInput record;
  record.counts[0] = &counts[0];
  record.counts[1] = &counts[1];
  record.seconds = result.seconds;
  record.startSecondOfDay = h.hour * 3600 + h.minute * 60 + h.second;
  record.calibration = *calibration;
  record.variables = [&](int second, ChannelVariables (&blocks)[2]) {
    for (ChannelVariables& block : blocks) {
      block.bis = variable(0, second);
      block.sef = variable(1, second);
      block.bsr = variable(2, second);
      block.sqi = variable(3, second);
      block.emgLow = variable(4, second);
    }
  };
  result.record = BuildImportRecord(record);

  // Annotations as comments at their times of day.
  const int start = h.hour * 3600 + h.minute * 60 + h.second;
  for (const EdfAnnotation& a : edf.Annotations()) {
    std::string text = a.text;
    for (char& c : text)
      if (c == '\r' || c == '\n') c = ' ';
    const double onset = std::floor(a.onset);
    const int when = static_cast<int>(std::fmod(start + std::clamp(onset, -1e9, 1e9), 86400.0));
    result.commentLines.push_back(FormatCommentLine(when, text));
  }
  return result;
}

std::optional<EdfImportResult> ImportEdfFile(const std::string& inPath, const std::string& outPath,
                                             const EdfImportOptions& options, std::string* error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(inPath, bytes, error)) return std::nullopt;
  auto edf = EdfFile::Parse(std::move(bytes), error);
  if (!edf) return std::nullopt;
  auto result = ConvertEdf(*edf, options, error);
  if (!result) return std::nullopt;
  result->notes.insert(result->notes.begin(), edf->Notes().begin(), edf->Notes().end());
  if (!WriteWholeFile(outPath, result->record, error)) return std::nullopt;
  if (!result->commentLines.empty() &&
      !WriteCommentLines(CommentsPathFor(outPath), result->commentLines, error))
    return std::nullopt;
  return result;
}

}  // namespace qs
