#include "exchange/EdfExport.h"

#include <edflib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace qs {
namespace {

constexpr int kDigitalMin = -32768;
constexpr int kDigitalMax = 32767;
constexpr const char* kNotAvailableNote = "not available = digital minimum";

struct IndexSignal {
  const char* label;
  const char* dimension;
  double step;
  std::size_t field;
};
constexpr IndexSignal kIndexSignals[] = {
    {"own SEF", "Hz", 0.01, EpochResult::Sef},
    {"own BSR", "", 0.005, EpochResult::Bsr},
    {"own RBR", "", 0.001, EpochResult::Rbr},
    {"own BispR", "", 0.001, EpochResult::BispR},
    {"own Amp", "uV", 0.1, EpochResult::Amp},
    {"own SQI time", "%", 0.01, EpochResult::SqiTime},
    {"own SQI power", "%", 0.01, EpochResult::SqiPower},
    {"own SQI bisp", "%", 0.01, EpochResult::SqiBisp},
    {"own pBIC low", "", 0.01, EpochResult::PbicLow},
    {"own pBIC high", "", 0.01, EpochResult::PbicHigh},
};

bool ValidDate(int y, int m, int d) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1985 || y > 2084 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= (m == 2 && !leap ? 28 : kDays[m - 1]);
}

std::int16_t MonitorValue(const ChannelVariables& v, int signal) {
  switch (signal) {
    case 0:
      return v.bis;
    case 1:
      return v.sef;
    case 2:
      return v.bsr;
    case 3:
      return v.sqi;
    default:
      return v.emgLow;
  }
}

// An index value as a digital value of its signal; not available is the minimum.
short IndexDigital(float value, double step) {
  if (!std::isfinite(value) || value == kNotAvailable) return kDigitalMin;
  const double d = std::round(static_cast<double>(value) / step);
  return static_cast<short>(
      std::clamp(d, static_cast<double>(kDigitalMin + 1), static_cast<double>(kDigitalMax)));
}

// The EDFlib handle, closed on every path.
class EdfWriteHandle {
 public:
  explicit EdfWriteHandle(int handle) : handle_(handle) {}
  ~EdfWriteHandle() {
    if (handle_ >= 0) edfclose_file(handle_);
  }
  EdfWriteHandle(const EdfWriteHandle&) = delete;
  EdfWriteHandle& operator=(const EdfWriteHandle&) = delete;
  int Get() const { return handle_; }
  bool Close() {
    const int h = handle_;
    handle_ = -1;
    return edfclose_file(h) == 0;
  }

 private:
  int handle_;
};

struct SignalSetup {
  std::string label, dimension, transducer;
  double physMin, physMax;
  int samplesPerRecord;
};

struct Annotation {
  long long onset;     // units of 100 us, as EDFlib takes them
  long long duration;  // -1: none
  std::string text;
};

// Stretches of "not available" of one monitor variable, as annotations.
void NotAvailableStretches(const RecordContents& r, int signal, int seconds, std::vector<Annotation>& out) {
  int begin = -1;
  for (int s = 0; s <= seconds; ++s) {
    const bool missing = s < seconds && (!r.variables[static_cast<std::size_t>(s)] ||
                                         MonitorValue(*r.variables[static_cast<std::size_t>(s)], signal) < 0);
    if (missing && begin < 0) begin = s;
    if (!missing && begin >= 0) {
      out.push_back({begin * 10000LL, (s - begin) * 10000LL,
                     std::string(kMonitorSignals[signal].label) + " not available"});
      begin = -1;
    }
  }
}

}  // namespace

CalendarDate RecordDate(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  // "yyyymmdd" + N (1..99) + ".eeg"
  if (name.size() >= 13 && name.size() <= 14 && name.compare(name.size() - 4, 4, ".eeg") == 0 &&
      std::all_of(name.begin(), name.end() - 4, [](char c) { return c >= '0' && c <= '9'; })) {
    const int y = std::stoi(name.substr(0, 4)), m = std::stoi(name.substr(4, 2)),
              d = std::stoi(name.substr(6, 2));
    const int n = std::stoi(name.substr(8, name.size() - 12));
    if (n >= 1 && n <= 99 && name[8] != '0' && ValidDate(y, m, d)) return {y, m, d};
  }
  CalendarDate date;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    std::tm tm{};
    if (localtime_r(&st.st_mtime, &tm) != nullptr && ValidDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday))
      date = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
  }
  return date;
}

bool ExportEdf(const std::string& outPath, const EdfExportInput& in, EdfExportReport* report,
               std::string* error) {
  const RecordContents& r = *in.record;
  const int recordSeconds = in.withIndices ? 10 : 1;
  const int dataRecords = r.seconds / recordSeconds;
  report->dataRecords = dataRecords;
  report->secondsLeftOut = r.seconds - dataRecords * recordSeconds;
  if (dataRecords == 0) {
    *error = in.withIndices
                 ? "the recording is shorter than one 10-s interval: there is nothing to export with indices"
                 : "the recording holds no whole second of EEG: there is nothing to export";
    return false;
  }
  const int seconds = dataRecords * recordSeconds;

  std::vector<SignalSetup> signals;
  const double gain = r.calibration.gain, offset = r.calibration.offset;
  for (int c = 0; c < r.channels; ++c) {
    const double a = (kDigitalMin - offset) * gain, b = (kDigitalMax - offset) * gain;
    signals.push_back({"EEG Ch" + std::to_string(c + 1), "uV", "monitor EEG input, counts", a, b,
                       r.sampleRate * recordSeconds});
  }
  for (const MonitorSignal& m : kMonitorSignals)
    signals.push_back(
        {m.label, m.dimension, kNotAvailableNote, kDigitalMin * m.step, kDigitalMax * m.step, recordSeconds});
  if (in.withIndices)
    for (const IndexSignal& x : kIndexSignals)
      signals.push_back(
          {x.label, x.dimension, kNotAvailableNote, kDigitalMin * x.step, kDigitalMax * x.step, 1});

  // Annotations: the comments at their times of day, then the stretches
  // without monitor values.
  std::vector<Annotation> annotations;
  for (const TimedComment& c : in.comments) {
    if (c.secondOfDay < 0) {
      report->notes.push_back("comment \"" + c.time + "," + c.text + "\" left out: its time is not hh:mm:ss");
      continue;
    }
    // A case may run past midnight: a time before the start belongs to the next day.
    const int onset = (c.secondOfDay - static_cast<int>(r.startSecondOfDay) + 86400) % 86400;
    if (onset > seconds) {
      report->notes.push_back("comment \"" + c.time + "," + c.text +
                              "\" left out: its time is outside the recording");
      continue;
    }
    annotations.push_back({onset * 10000LL, -1, c.text});
  }
  for (int v = 0; v < 5; ++v) NotAvailableStretches(r, v, seconds, annotations);

  // EDFlib keeps one annotation per annotation signal and data record.
  const int annotationSignals =
      std::clamp(static_cast<int>((annotations.size() + static_cast<std::size_t>(dataRecords) - 1) /
                                  static_cast<std::size_t>(dataRecords)),
                 1, 64);
  const std::size_t capacity =
      static_cast<std::size_t>(annotationSignals) * static_cast<std::size_t>(dataRecords);
  if (annotations.size() > capacity) {
    report->notes.push_back(std::to_string(annotations.size() - capacity) +
                            " annotations left out: the file has room for " + std::to_string(capacity));
    annotations.resize(capacity);
  }

  EdfWriteHandle handle(
      edfopen_file_writeonly(outPath.c_str(), EDFLIB_FILETYPE_EDFPLUS, static_cast<int>(signals.size())));
  if (handle.Get() < 0) {
    *error = "cannot create " + outPath;
    return false;
  }
  const int h = handle.Get();
  bool ok = edf_set_datarecord_duration(h, recordSeconds * 100000) == 0 &&
            edf_set_number_of_annotation_signals(h, annotationSignals) == 0;
  const int start = static_cast<int>(r.startSecondOfDay);
  ok = ok && edf_set_startdatetime(h, in.date.year, in.date.month, in.date.day, start / 3600, start / 60 % 60,
                                   start % 60) == 0;
  ok = ok && edf_set_equipment(h, "Quellscope packet record") == 0;
  for (std::size_t i = 0; ok && i < signals.size(); ++i) {
    const SignalSetup& s = signals[i];
    const int n = static_cast<int>(i);
    ok = edf_set_samplefrequency(h, n, s.samplesPerRecord) == 0 &&
         edf_set_digital_minimum(h, n, kDigitalMin) == 0 && edf_set_digital_maximum(h, n, kDigitalMax) == 0 &&
         edf_set_physical_minimum(h, n, std::min(s.physMin, s.physMax)) == 0 &&
         edf_set_physical_maximum(h, n, std::max(s.physMin, s.physMax)) == 0 &&
         edf_set_label(h, n, s.label.c_str()) == 0 &&
         edf_set_physical_dimension(h, n, s.dimension.c_str()) == 0 &&
         edf_set_transducer(h, n, s.transducer.c_str()) == 0;
  }
  if (!ok) {
    *error = "EDFlib refused the header of " + outPath;
    return false;
  }
  // A negative gain would turn the counts' range around; EDF needs the
  // physical minimum to belong to the digital minimum, so the counts are
  // mirrored then (never the case with a monitor's calibration).
  const bool mirrored = gain < 0;

  std::vector<short> buffer;
  for (int rec = 0; rec < dataRecords && ok; ++rec) {
    for (int c = 0; c < r.channels && ok; ++c) {
      const int n = r.sampleRate * recordSeconds;
      const auto& counts = r.counts[static_cast<std::size_t>(c)];
      buffer.assign(counts.begin() + static_cast<long>(rec) * n,
                    counts.begin() + static_cast<long>(rec + 1) * n);
      if (mirrored)
        for (short& v : buffer) v = static_cast<short>(-1 - v);
      ok = edfwrite_digital_short_samples(h, buffer.data()) == 0;
    }
    for (int v = 0; v < 5 && ok; ++v) {
      buffer.assign(static_cast<std::size_t>(recordSeconds), static_cast<short>(kDigitalMin));
      for (int s = 0; s < recordSeconds; ++s) {
        const auto& vars = r.variables[static_cast<std::size_t>(rec * recordSeconds + s)];
        const std::int16_t value = vars ? MonitorValue(*vars, v) : -1;
        if (value >= 0) buffer[static_cast<std::size_t>(s)] = value;
      }
      ok = edfwrite_digital_short_samples(h, buffer.data()) == 0;
    }
    if (in.withIndices) {
      for (const IndexSignal& x : kIndexSignals) {
        if (!ok) break;
        short value = kDigitalMin;
        if (static_cast<std::size_t>(rec) < in.indices.size())
          value = IndexDigital(in.indices[static_cast<std::size_t>(rec)][x.field], x.step);
        ok = edfwrite_digital_short_samples(h, &value) == 0;
      }
    }
  }
  for (const Annotation& a : annotations) {
    if (!ok) break;
    ok = edfwrite_annotation_latin1(h, a.onset, a.duration, a.text.c_str()) == 0;
  }
  if (!ok) {
    *error = "writing " + outPath + " failed";
    return false;
  }
  if (!handle.Close()) {
    *error = "closing " + outPath + " failed";
    return false;
  }
  return true;
}

}  // namespace qs
