#pragma once
// The program's own reader of EDF, EDF+, BDF and BDF+ files, held in memory.
// Every field is checked before it is used, and a file that breaks a rule is
// refused with a message naming the field, the data record (when it is one)
// and the byte offset, so a damaged or foreign file can never make the import
// read outside the bytes it has. Nothing is taken on trust: the header
// length, the number of data records and every signal's sample count must
// agree with the file's size.
//
// Conventions:
//  * Physical value of a digital value d:
//      (d - digMin) x (physMax - physMin) / (digMax - digMin) + physMin.
//  * Times (record starts, annotation onsets) are seconds from the file's start.
//  * Leniency where other readers are lenient and nothing is lost: an "EDF+C"
//    file without an annotations signal is read as plain EDF, and a duration
//    field that can only approximate the duration (one sample of 256 Hz per
//    record: "0.003906") is taken as samples / rate for the whole rate whose
//    duration rounds to the field within its last digit. Notes() says so.
//  * An EDF+/BDF+ file's records carry their own start times; for "EDF+C" and
//    "BDF+C" they must follow each other without gaps, and for "EDF+D" files
//    Gaps() lists where they do not (the caller decides what to do).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qs {

struct EdfSignalInfo {
  std::string label, transducer, dimension, prefilter;
  std::string physMinText, physMaxText;  // the header fields, trimmed
  double physMin = 0, physMax = 0;
  long digMin = 0, digMax = 0;
  long samplesPerRecord = 0;
  bool annotations = false;        // an "EDF Annotations" / "BDF Annotations" signal
  std::size_t offsetInRecord = 0;  // bytes from the start of a data record

  double Step() const { return (physMax - physMin) / static_cast<double>(digMax - digMin); }
  double Physical(long d) const { return static_cast<double>(d - digMin) * Step() + physMin; }
};

struct EdfHeaderInfo {
  bool bdf = false;            // 24-bit samples
  bool plus = false;           // EDF+ / BDF+
  bool discontinuous = false;  // "EDF+D" / "BDF+D"
  int year = 1985, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  long headerBytes = 0;
  long dataRecords = 0;
  double recordDuration = 0;  // seconds
  std::string durationText;   // the header field, trimmed (an exact decimal)
  // When the duration field cannot say the duration exactly (1/256 s as
  // "0.003906"): the rate of the first ordinary signal it was taken to mean,
  // so that a record lasts durationSamples / durationRateHz s; 0 otherwise.
  long durationRateHz = 0, durationSamples = 0;
  std::vector<EdfSignalInfo> signals;
  std::size_t recordBytes = 0;

  int BytesPerSample() const { return bdf ? 3 : 2; }
};

struct EdfAnnotation {
  double onset = 0;
  double duration = -1;  // -1: none given
  std::string text;
};

struct EdfGap {
  long record = 0;      // the record after the gap (0-based)
  double expected = 0;  // where it should start, s
  double actual = 0;    // where it says it starts, s
};

class EdfFile {
 public:
  // Parses the header and the annotations of every data record. Nothing and
  // a message on any fault.
  static std::optional<EdfFile> Parse(std::vector<std::uint8_t> bytes, std::string* error);

  const EdfHeaderInfo& Header() const { return header_; }
  const std::vector<EdfAnnotation>& Annotations() const { return annotations_; }
  const std::vector<EdfGap>& Gaps() const { return gaps_; }
  // What the reader took other than the header says (see Leniency above).
  const std::vector<std::string>& Notes() const { return notes_; }
  // The ordinary signal's digital values, all records in order.
  std::vector<std::int32_t> DigitalSamples(std::size_t signal) const;
  std::vector<double> PhysicalSamples(std::size_t signal) const;
  // Samples per second of a signal.
  double SampleRate(std::size_t signal) const {
    return static_cast<double>(header_.signals[signal].samplesPerRecord) / header_.recordDuration;
  }

 private:
  EdfFile() = default;
  std::vector<std::uint8_t> bytes_;
  EdfHeaderInfo header_;
  std::vector<EdfAnnotation> annotations_;
  std::vector<EdfGap> gaps_;
  std::vector<std::string> notes_;
};

}  // namespace qs
