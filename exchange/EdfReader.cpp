#include "exchange/EdfReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace qs {
namespace {

constexpr std::size_t kFixedHeader = 256;
constexpr long kMaxSignals = 4096;
// A bound on one data record that no sane recording reaches, so that sizes
// computed from the header can never overflow.
constexpr std::size_t kMaxRecordBytes = std::size_t{256} << 20;

// Sizes of the per-signal fields, in header order.
enum SignalField {
  kLabel,
  kTransducer,
  kDimension,
  kPhysMin,
  kPhysMax,
  kDigMin,
  kDigMax,
  kPrefilter,
  kSamples,
  kSignalReserved,
  kSignalFields
};
constexpr std::size_t kFieldSize[kSignalFields] = {16, 80, 8, 8, 8, 8, 8, 80, 8, 32};
constexpr const char* kFieldName[kSignalFields] = {"label",
                                                   "transducer type",
                                                   "physical dimension",
                                                   "physical minimum",
                                                   "physical maximum",
                                                   "digital minimum",
                                                   "digital maximum",
                                                   "prefiltering",
                                                   "number of samples in each data record",
                                                   "reserved"};

class Faults {
 public:
  explicit Faults(std::string* out) : out_(out) {}
  bool Fail(const std::string& field, std::size_t offset, const std::string& what, long record = -1) {
    std::string m = "EDF error in " + field;
    if (record >= 0) m += ", data record " + std::to_string(record + 1);
    m += ", byte offset " + std::to_string(offset) + ": " + what;
    *out_ = m;
    return false;
  }

 private:
  std::string* out_;
};

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string Field(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + offset), size);
}

bool ParseDouble(const std::string& text, double& value) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  const char* first = t.data();
  if (*first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value);
  return ec == std::errc() && end == t.data() + t.size() && std::isfinite(value);
}

bool ParseLong(const std::string& text, long& value) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  const char* first = t.data();
  if (*first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value);
  return ec == std::errc() && end == t.data() + t.size();
}

bool TwoDigits(const std::string& s, std::size_t at, int& v) {
  if (s[at] < '0' || s[at] > '9' || s[at + 1] < '0' || s[at + 1] > '9') return false;
  v = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}

// "dd.mm.yy" or "hh.mm.ss" into three numbers.
bool ParseTriple(const std::string& s, int& a, int& b, int& c) {
  return s.size() == 8 && s[2] == '.' && s[5] == '.' && TwoDigits(s, 0, a) && TwoDigits(s, 3, b) &&
         TwoDigits(s, 6, c);
}

std::int32_t SampleAt(const std::uint8_t* p, bool bdf) {
  if (!bdf) return static_cast<std::int16_t>(p[0] | (p[1] << 8));
  std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                    (static_cast<std::uint32_t>(p[2]) << 16);
  if (v & 0x800000u) v |= 0xFF000000u;
  return static_cast<std::int32_t>(v);
}

// Time-stamped annotation lists (TALs) of one annotation signal in one record:
//   +onset [0x15 duration] 0x14 text 0x14 text 0x14 ... 0x00
// followed by more TALs or 0x00 padding. The first TAL of a record's first
// annotation signal keeps time: its text list is empty and its onset is the
// record's start.
bool ParseTals(const std::uint8_t* p, std::size_t size, std::size_t fileOffset, long record, bool keepsTime,
               double& recordStart, std::vector<EdfAnnotation>& out, Faults& faults) {
  std::size_t at = 0;
  bool first = true;
  const auto fail = [&](const std::string& what) {
    return faults.Fail("annotation signal", fileOffset + at, what, record);
  };
  while (at < size && p[at] != 0) {
    if (p[at] != '+' && p[at] != '-') return fail("an annotation must begin with the sign of its onset");
    const std::size_t onsetStart = at;
    while (at < size && p[at] != 0x14 && p[at] != 0x15 && p[at] != 0) ++at;
    if (at >= size || p[at] == 0) return fail("an annotation's onset is not closed by 0x14");
    double onset = 0;
    if (!ParseDouble(std::string(reinterpret_cast<const char*>(p + onsetStart), at - onsetStart), onset))
      return fail("the onset \"" +
                  std::string(reinterpret_cast<const char*>(p + onsetStart), at - onsetStart) +
                  "\" is not a number");
    double duration = -1;
    if (p[at] == 0x15) {
      const std::size_t durationStart = ++at;
      while (at < size && p[at] != 0x14 && p[at] != 0) ++at;
      if (at >= size || p[at] != 0x14) return fail("an annotation's duration is not closed by 0x14");
      if (!ParseDouble(std::string(reinterpret_cast<const char*>(p + durationStart), at - durationStart),
                       duration) ||
          duration < 0)
        return fail("the duration is not a number of seconds");
    }
    ++at;  // the 0x14 behind onset or duration
    bool anyText = false;
    while (at < size && p[at] != 0) {
      const std::size_t textStart = at;
      while (at < size && p[at] != 0x14 && p[at] != 0) ++at;
      if (at >= size || p[at] != 0x14) return fail("an annotation text is not closed by 0x14");
      if (at > textStart) {
        out.push_back(
            {onset, duration, std::string(reinterpret_cast<const char*>(p + textStart), at - textStart)});
        anyText = true;
      }
      ++at;
    }
    if (at >= size) return fail("an annotation list is not closed by 0x00");
    if (first && keepsTime) {
      if (anyText) return fail("the first annotation of a data record must keep its time (no text)");
      recordStart = onset;
    }
    first = false;
    ++at;  // the 0x00 closing the list
  }
  if (keepsTime && first) {
    at = 0;
    return fail("the data record has no time-keeping annotation");
  }
  return true;
}

// A duration field of 8 characters cannot say every duration: one sample of
// 256 Hz lasts 0.00390625 s, written "0.003906". When the first ordinary
// signal's samples per record over the field give a rate within the field's
// last digit of a whole rate, that rate is meant.
void TakeDurationAsRate(EdfHeaderInfo& h, std::vector<std::string>& notes) {
  const EdfSignalInfo* first = nullptr;
  for (const EdfSignalInfo& s : h.signals)
    if (!s.annotations) {
      first = &s;
      break;
    }
  if (first == nullptr) return;
  const double samples = static_cast<double>(first->samplesPerRecord);
  const double rate = samples / h.recordDuration;
  const double whole = std::round(rate);
  if (whole < 1 || std::fabs(rate - whole) <= 1e-9 * whole) return;  // already exact
  const auto dot = h.durationText.find('.');
  if (dot == std::string::npos || h.durationText.find_first_of("eE") != std::string::npos) return;
  const double halfDigit = 0.5 * std::pow(10.0, -static_cast<double>(h.durationText.size() - dot - 1));
  if (std::fabs(samples / whole - h.recordDuration) > halfDigit * (1 + 1e-9)) return;
  h.durationRateHz = static_cast<long>(whole);
  h.durationSamples = first->samplesPerRecord;
  h.recordDuration = samples / whole;
  char said[32];
  std::snprintf(said, sizeof said, "%.6g", rate);
  notes.push_back("the duration of a data record \"" + h.durationText + "\" (" + said + " Hz for signal \"" +
                  first->label + "\") is taken as " + std::to_string(first->samplesPerRecord) + "/" +
                  std::to_string(h.durationRateHz) + " s: " + std::to_string(h.durationRateHz) +
                  " Hz, which the 8-character field cannot write exactly");
}

}  // namespace

std::optional<EdfFile> EdfFile::Parse(std::vector<std::uint8_t> bytes, std::string* error) {
  Faults faults(error);
  EdfFile f;
  EdfHeaderInfo& h = f.header_;
  const std::size_t size = bytes.size();
  if (size < kFixedHeader) {
    faults.Fail("header", size,
                "the file ends after " + std::to_string(size) + " bytes, the header needs 256");
    return std::nullopt;
  }
  // Version: "0" and blanks for EDF, 0xFF "BIOSEMI" for BDF.
  if (bytes[0] == 0xFF && Field(bytes, 1, 7) == "BIOSEMI") {
    h.bdf = true;
  } else if (Field(bytes, 0, 8) != "0       ") {
    faults.Fail("version", 0, "neither EDF (\"0\") nor BDF (0xFF \"BIOSEMI\")");
    return std::nullopt;
  }
  int dd = 0, mm = 0, yy = 0, hh = 0, mi = 0, ss = 0;
  if (!ParseTriple(Field(bytes, 168, 8), dd, mm, yy) || dd < 1 || dd > 31 || mm < 1 || mm > 12) {
    faults.Fail("start date", 168, "\"" + Field(bytes, 168, 8) + "\" is not dd.mm.yy");
    return std::nullopt;
  }
  if (!ParseTriple(Field(bytes, 176, 8), hh, mi, ss) || hh > 23 || mi > 59 || ss > 59) {
    faults.Fail("start time", 176, "\"" + Field(bytes, 176, 8) + "\" is not hh.mm.ss");
    return std::nullopt;
  }
  h.day = dd;
  h.month = mm;
  h.year = yy >= 85 ? 1900 + yy : 2000 + yy;
  h.hour = hh;
  h.minute = mi;
  h.second = ss;

  long ns = 0;
  if (!ParseLong(Field(bytes, 252, 4), ns) || ns < 1 || ns > kMaxSignals) {
    faults.Fail("number of signals", 252,
                "\"" + Trim(Field(bytes, 252, 4)) + "\" is not a count from 1 to 4096");
    return std::nullopt;
  }
  const std::size_t headerBytes = kFixedHeader * static_cast<std::size_t>(ns + 1);
  if (!ParseLong(Field(bytes, 184, 8), h.headerBytes) || h.headerBytes != static_cast<long>(headerBytes)) {
    faults.Fail("number of bytes in header", 184,
                "\"" + Trim(Field(bytes, 184, 8)) + "\", but " + std::to_string(ns) + " signals need " +
                    std::to_string(headerBytes));
    return std::nullopt;
  }
  if (size < headerBytes) {
    faults.Fail("header", size,
                "the file ends after " + std::to_string(size) + " bytes, its header needs " +
                    std::to_string(headerBytes));
    return std::nullopt;
  }
  const std::string reserved = Field(bytes, 192, 44);
  const std::string plusTag = h.bdf ? "BDF+" : "EDF+";
  if (reserved.compare(0, 4, plusTag) == 0 || reserved.compare(0, 4, "EDF+") == 0) {
    h.plus = true;
    if (reserved[4] == 'D') {
      h.discontinuous = true;
    } else if (reserved[4] != 'C') {
      faults.Fail("reserved", 196,
                  "\"" + Trim(reserved) + "\" is neither " + plusTag + "C nor " + plusTag + "D");
      return std::nullopt;
    }
  }
  if (!ParseDouble(Field(bytes, 244, 8), h.recordDuration) || h.recordDuration <= 0 ||
      h.recordDuration > 86400) {
    faults.Fail("duration of a data record", 244,
                "\"" + Trim(Field(bytes, 244, 8)) + "\" is not a positive number of seconds");
    return std::nullopt;
  }
  h.durationText = Trim(Field(bytes, 244, 8));

  // The signals: field by field, each field for every signal in turn.
  h.signals.resize(static_cast<std::size_t>(ns));
  std::size_t at = kFixedHeader;
  const long digitalLimit = h.bdf ? 8388608 : 32768;
  for (int field = 0; field < kSignalFields; ++field) {
    for (long i = 0; i < ns; ++i, at += kFieldSize[field]) {
      EdfSignalInfo& s = h.signals[static_cast<std::size_t>(i)];
      const std::string text = Field(bytes, at, kFieldSize[field]);
      const std::string name = std::string(kFieldName[field]) + " of signal " + std::to_string(i + 1);
      const auto bad = [&](const std::string& what) {
        return faults.Fail(name + (s.label.empty() ? "" : " (" + s.label + ")"), at,
                           "\"" + Trim(text) + "\" " + what);
      };
      switch (field) {
        case kLabel:
          s.label = Trim(text);
          break;
        case kTransducer:
          s.transducer = Trim(text);
          break;
        case kDimension:
          s.dimension = Trim(text);
          break;
        case kPrefilter:
          s.prefilter = Trim(text);
          break;
        case kPhysMin:
          if (!ParseDouble(text, s.physMin)) return bad("is not a number"), std::nullopt;
          s.physMinText = Trim(text);
          break;
        case kPhysMax:
          if (!ParseDouble(text, s.physMax)) return bad("is not a number"), std::nullopt;
          if (s.physMax == s.physMin) return bad("equals the physical minimum"), std::nullopt;
          s.physMaxText = Trim(text);
          break;
        case kDigMin:
          if (!ParseLong(text, s.digMin) || s.digMin < -digitalLimit || s.digMin >= digitalLimit)
            return bad("is not a " + std::string(h.bdf ? "24" : "16") + "-bit integer"), std::nullopt;
          break;
        case kDigMax:
          if (!ParseLong(text, s.digMax) || s.digMax < -digitalLimit || s.digMax >= digitalLimit)
            return bad("is not a " + std::string(h.bdf ? "24" : "16") + "-bit integer"), std::nullopt;
          if (s.digMax <= s.digMin) return bad("is not above the digital minimum"), std::nullopt;
          break;
        case kSamples:
          if (!ParseLong(text, s.samplesPerRecord) || s.samplesPerRecord < 1 ||
              static_cast<std::size_t>(s.samplesPerRecord) > kMaxRecordBytes / 3)
            return bad("is not a positive count"), std::nullopt;
          break;
        default:
          break;
      }
    }
  }
  const std::string annotationLabel = h.bdf ? "BDF Annotations" : "EDF Annotations";
  bool anyAnnotationSignal = false;
  for (EdfSignalInfo& s : h.signals) {
    s.annotations = h.plus && (s.label == annotationLabel || s.label == "EDF Annotations");
    anyAnnotationSignal = anyAnnotationSignal || s.annotations;
    s.offsetInRecord = h.recordBytes;
    h.recordBytes +=
        static_cast<std::size_t>(s.samplesPerRecord) * static_cast<std::size_t>(h.BytesPerSample());
    if (h.recordBytes > kMaxRecordBytes) {
      faults.Fail("number of samples in each data record", kFixedHeader + 216 * static_cast<std::size_t>(ns),
                  "a data record would exceed 256 MiB");
      return std::nullopt;
    }
  }
  if (h.plus && !anyAnnotationSignal) {
    // Converters write "EDF+C" over plain EDF; without gaps nothing depends
    // on the annotations' time keeping. A discontinuous file does.
    if (h.discontinuous) {
      faults.Fail("labels", kFixedHeader,
                  "an " + plusTag + " file needs an \"" + annotationLabel + "\" signal");
      return std::nullopt;
    }
    h.plus = false;
    f.notes_.push_back("the file says " + plusTag + "C but has no \"" + annotationLabel +
                       "\" signal: read as plain " + (h.bdf ? "BDF" : "EDF"));
  }
  TakeDurationAsRate(h, f.notes_);

  // The number of data records must match the bytes behind the header.
  const std::size_t dataBytes = size - headerBytes;
  const std::size_t whole = dataBytes / h.recordBytes, extra = dataBytes % h.recordBytes;
  if (!ParseLong(Field(bytes, 236, 8), h.dataRecords) || h.dataRecords < -1) {
    faults.Fail("number of data records", 236, "\"" + Trim(Field(bytes, 236, 8)) + "\" is not a count");
    return std::nullopt;
  }
  if (h.dataRecords == -1) {
    // Left at -1 by a recorder that never finished; whole records only.
    if (extra != 0) {
      faults.Fail("number of data records", 236,
                  "-1 (unknown), and the data end inside data record " + std::to_string(whole + 1),
                  static_cast<long>(whole));
      return std::nullopt;
    }
    h.dataRecords = static_cast<long>(whole);
  } else if (static_cast<std::size_t>(h.dataRecords) > whole) {
    faults.Fail("number of data records", 236,
                "the header announces " + std::to_string(h.dataRecords) + " data records of " +
                    std::to_string(h.recordBytes) + " bytes, but the file ends at byte " +
                    std::to_string(size) + ", inside or before data record " + std::to_string(whole + 1),
                static_cast<long>(whole));
    return std::nullopt;
  } else if (static_cast<std::size_t>(h.dataRecords) < whole || extra != 0) {
    faults.Fail("number of data records", 236,
                "the header announces " + std::to_string(h.dataRecords) + " data records, but " +
                    std::to_string(dataBytes - static_cast<std::size_t>(h.dataRecords) * h.recordBytes) +
                    " more bytes follow them",
                h.dataRecords);
    return std::nullopt;
  }
  if (h.dataRecords == 0) {
    faults.Fail("number of data records", 236, "the file holds no data record");
    return std::nullopt;
  }

  // Annotations, and the time keeping of EDF+.
  if (h.plus) {
    double previousStart = 0;
    for (long r = 0; r < h.dataRecords; ++r) {
      const std::size_t recordAt = headerBytes + static_cast<std::size_t>(r) * h.recordBytes;
      bool keepsTime = true;
      double start = 0;
      for (const EdfSignalInfo& s : h.signals) {
        if (!s.annotations) continue;
        const std::size_t signalAt = recordAt + s.offsetInRecord;
        const std::size_t n =
            static_cast<std::size_t>(s.samplesPerRecord) * static_cast<std::size_t>(h.BytesPerSample());
        if (!ParseTals(bytes.data() + signalAt, n, signalAt, r, keepsTime, start, f.annotations_, faults))
          return std::nullopt;
        keepsTime = false;
      }
      if (r > 0) {
        const double expected = previousStart + h.recordDuration;
        if (std::fabs(start - expected) > 1e-6 * std::max(1.0, std::fabs(expected))) {
          if (!h.discontinuous) {
            faults.Fail("annotation signal", recordAt,
                        "the data record starts at " + std::to_string(start) + " s instead of " +
                            std::to_string(expected) + " s in a continuous (+C) file",
                        r);
            return std::nullopt;
          }
          f.gaps_.push_back({r, expected, start});
        }
      }
      previousStart = start;
    }
  }
  f.bytes_ = std::move(bytes);
  return f;
}

std::vector<std::int32_t> EdfFile::DigitalSamples(std::size_t signal) const {
  const EdfSignalInfo& s = header_.signals[signal];
  const std::size_t perRecord = static_cast<std::size_t>(s.samplesPerRecord);
  const int width = header_.BytesPerSample();
  std::vector<std::int32_t> out;
  out.reserve(perRecord * static_cast<std::size_t>(header_.dataRecords));
  for (long r = 0; r < header_.dataRecords; ++r) {
    const std::uint8_t* p = bytes_.data() + header_.headerBytes +
                            static_cast<std::size_t>(r) * header_.recordBytes + s.offsetInRecord;
    for (std::size_t i = 0; i < perRecord; ++i)
      out.push_back(SampleAt(p + i * static_cast<std::size_t>(width), header_.bdf));
  }
  return out;
}

std::vector<double> EdfFile::PhysicalSamples(std::size_t signal) const {
  const EdfSignalInfo& s = header_.signals[signal];
  const std::vector<std::int32_t> digital = DigitalSamples(signal);
  std::vector<double> out(digital.size());
  for (std::size_t i = 0; i < digital.size(); ++i) out[i] = s.Physical(digital[i]);
  return out;
}

}  // namespace qs
