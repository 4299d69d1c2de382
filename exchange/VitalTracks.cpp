#include "exchange/VitalTracks.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace qs {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The name behind the device's "<device>/", compared without case.
bool NamedAs(const VitalTrack& t, const char* wanted) {
  const auto slash = t.name.rfind('/');
  return Lower(slash == std::string::npos ? t.name : t.name.substr(slash + 1)) == Lower(wanted);
}

bool IsEegCode(std::uint8_t m) {
  return m == kVitalEeg || m == kVitalEegLeft || m == kVitalEegRight;
}

std::string WaveNames(const VitalFile& file) {
  std::string all;
  for (const VitalTrack& t : file.Tracks())
    if (t.recType == kVitalWave) all += (all.empty() ? "\"" : ", \"") + t.name + "\"";
  return all.empty() ? "no waveform track" : all;
}

// Samples at the track's rate; the part's grid index of a time.
long long GridIndex(double t, double start, double rate) {
  return std::llround((t - start) * rate);
}

// The grid's samples [from, to) as a part of their own, with what no record
// gave filled by straight lines between the neighbours and marked.
VitalPart Segment(const VitalPart& whole, const std::vector<bool> (&placed)[2], std::size_t from,
                  std::size_t to, int channels, double rate, VitalJoinStats& stats) {
  VitalPart p;
  p.start = whole.start + static_cast<double>(from) / rate;
  const std::size_t n = to - from;
  for (int k = 0; k < channels; ++k) {
    const auto first = static_cast<std::ptrdiff_t>(from), last = static_cast<std::ptrdiff_t>(to);
    std::vector<double>& x = p.values[k];
    x.assign(whole.values[k].begin() + first, whole.values[k].begin() + last);
    const std::vector<bool> got(placed[k].begin() + first, placed[k].begin() + last);
    p.filled[k] = got;
    p.filled[k].flip();
    std::size_t i = 0;
    while (i < n) {
      if (got[i]) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < n && !got[j]) ++j;
      const double a = i > 0 ? x[i - 1] : (j < n ? x[j] : 0.0);
      const double b = j < n ? x[j] : a;
      for (std::size_t m = i; m < j; ++m)
        x[m] = a + (b - a) * static_cast<double>(m - i + 1) / static_cast<double>(j - i + 1);
      stats.filled += static_cast<long>(j - i);
      i = j;
    }
  }
  if (channels == 1) {
    p.values[1] = p.values[0];
    p.filled[1] = p.filled[0];
  }
  return p;
}

}  // namespace

std::optional<VitalChoice> ChooseVitalTracks(const VitalFile& file, const std::string& track,
                                             const std::string& track2, std::string* error) {
  VitalChoice c;
  const auto byName = [&](const std::string& name) -> const VitalTrack* {
    for (const VitalTrack& t : file.Tracks())
      if (t.recType == kVitalWave && t.name == name) return &t;
    return nullptr;
  };
  std::vector<const VitalTrack*> eeg;  // candidates in the order of preference
  for (const VitalTrack& t : file.Tracks())
    if (t.recType == kVitalWave && IsEegCode(t.meaning)) eeg.push_back(&t);
  for (const char* name : {"EEG1_WAV", "EEG2_WAV"})
    for (const VitalTrack& t : file.Tracks())
      if (t.recType == kVitalWave && NamedAs(t, name) && std::find(eeg.begin(), eeg.end(), &t) == eeg.end())
        eeg.push_back(&t);
  for (int k = 0; k < 2; ++k) {
    const std::string& wanted = k == 0 ? track : track2;
    if (!wanted.empty()) {
      c.eeg[k] = byName(wanted);
      if (c.eeg[k] == nullptr) {
        *error = "no waveform track \"" + wanted + "\"; the file has " + WaveNames(file);
        return std::nullopt;
      }
    } else if (k == 0) {
      if (eeg.empty()) {
        *error =
            "the file has no EEG waveform track (meaning code 28, 61 or 62, or named .../EEG1_WAV); it has " +
            WaveNames(file) + " (choose one with --track)";
        return std::nullopt;
      }
      c.eeg[0] = eeg.front();
    } else {
      for (const VitalTrack* t : eeg)
        if (t != c.eeg[0] && t->sampleRate == c.eeg[0]->sampleRate && t->deviceId == c.eeg[0]->deviceId) {
          c.eeg[1] = t;
          break;
        }
      if (c.eeg[1] == nullptr) c.eeg[1] = c.eeg[0];
    }
  }
  static constexpr std::uint8_t kCodes[5] = {kVitalBis, kVitalSef, kVitalSr, kVitalSqi, kVitalEmg};
  static constexpr const char* kNames[5] = {"BIS", "SEF", "SR", "SQI", "EMG"};
  for (int v = 0; v < 5; ++v) {
    // Best: the code on the EEG's device; then the name there; then either elsewhere.
    int best = 0;
    for (const VitalTrack& t : file.Tracks()) {
      if (t.recType != kVitalNumeric) continue;
      const bool sameDevice = t.deviceId == c.eeg[0]->deviceId;
      const int rank = t.meaning == kCodes[v]  ? (sameDevice ? 4 : 2)
                       : NamedAs(t, kNames[v]) ? (sameDevice ? 3 : 1)
                                               : 0;
      if (rank > best) best = rank, c.monitor[v] = &t;
    }
  }
  for (const VitalTrack& t : file.Tracks())
    if (t.recType == kVitalString && t.deviceId == 0 && t.name == "EVENT") c.events = &t;
  return c;
}

std::optional<std::vector<VitalPart>> JoinVitalTracks(const VitalFile& file,
                                                      const VitalTrack* const (&tracks)[2], double maxGap,
                                                      VitalJoinStats& stats, std::string* error) {
  const double rate = tracks[0]->sampleRate;
  if (!std::isfinite(rate) || rate < 1 || rate > kVitalMaxRate) {
    *error = "track \"" + tracks[0]->name + "\" has the sampling rate " + std::to_string(rate) +
             " Hz, not one from 1 to " + std::to_string(static_cast<int>(kVitalMaxRate)) + " Hz";
    return std::nullopt;
  }
  if (tracks[1]->sampleRate != rate) {
    *error = "the two tracks have different rates (" + std::to_string(rate) + " and " +
             std::to_string(tracks[1]->sampleRate) + " Hz)";
    return std::nullopt;
  }
  const int channels = tracks[1] == tracks[0] ? 1 : 2;
  struct Chunk {
    double dt, end;
    int channel;
    const VitalRecord* record;
  };
  std::vector<Chunk> chunks;
  for (int k = 0; k < channels; ++k)
    for (const VitalRecord& r : tracks[k]->records)
      if (r.count > 0) chunks.push_back({r.dt, r.dt + r.count / rate, k, &r});
  std::stable_sort(chunks.begin(), chunks.end(), [](const Chunk& a, const Chunk& b) { return a.dt < b.dt; });

  std::vector<VitalPart> parts;
  std::size_t first = 0;
  while (first < chunks.size()) {
    // The records of one part: each starts at most maxGap after the part's end so far.
    double end = chunks[first].end;
    std::size_t last = first + 1;
    while (last < chunks.size() && chunks[last].dt <= end + maxGap) end = std::max(end, chunks[last++].end);
    VitalPart part;
    part.start = chunks[first].dt;
    const long long span = std::max<long long>(1, GridIndex(end, part.start, rate));
    // Sized by the records' times: refused when those would spread a few
    // samples over an unreasonable grid (the fill never outweighs the data).
    long long samples = 0;
    for (std::size_t i = first; i < last; ++i) samples += chunks[i].record->count;
    if (span > 4 * samples + static_cast<long long>(2 * maxGap * rate) + 1) {
      *error = "the records of \"" + tracks[0]->name + "\" from " + std::to_string(part.start) + " hold " +
               std::to_string(samples) + " samples spread over " + std::to_string(span) +
               " sample times: too sparse to join";
      return std::nullopt;
    }
    const auto n = static_cast<std::size_t>(span);
    for (int k = 0; k < channels; ++k) part.values[k].assign(n, std::nan(""));
    std::vector<bool> placed[2];
    for (int k = 0; k < channels; ++k) placed[k].assign(n, false);
    for (std::size_t i = first; i < last; ++i) {
      const Chunk& c = chunks[i];
      const VitalTrack& t = *tracks[c.channel];
      const long long at = GridIndex(c.dt, part.start, rate);
      for (std::uint32_t j = 0; j < c.record->count; ++j) {
        const long long g = at + j;
        if (g < 0 || g >= static_cast<long long>(n)) continue;
        const auto u = static_cast<std::size_t>(g);
        if (placed[c.channel][u]) {
          ++stats.overlapping;
          continue;
        }
        const double v = file.Value(t, *c.record, j);
        if (std::isnan(v)) continue;  // missing: left for a later record or the fill
        placed[c.channel][u] = true;
        part.values[c.channel][u] = v;
      }
    }
    // Stretches where neither track has a sample for longer than maxGap
    // (the missing-sample values of a packed file, or records holding
    // nothing else) end the part as well; such stretches at its ends go.
    const auto longGap = static_cast<std::size_t>(maxGap * rate);
    const auto any = [&](std::size_t i) { return placed[0][i] || (channels == 2 && placed[1][i]); };
    std::size_t from = 0;
    while (from < n) {
      while (from < n && !any(from)) ++from;
      if (from == n) break;
      std::size_t to = from, j = from;  // [from, to): up to the last sample before a long gap
      while (j < n) {
        if (any(j)) {
          to = ++j;
          continue;
        }
        std::size_t k = j;
        while (k < n && !any(k)) ++k;
        if (k == n || k - j > longGap) break;
        j = k;
      }
      parts.push_back(Segment(part, placed, from, to, channels, rate, stats));
      from = to;
    }
    first = last;
  }
  return parts;
}

}  // namespace qs
