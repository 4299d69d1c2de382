#pragma once
// The program's own parser of a Vital file's decompressed bytes (the gzip
// container is VitalInflate's): header, devices, tracks and the records of
// every track. Every length is checked against what remains of its packet
// and of the data before anything is read or kept, and a record's samples
// are not copied: a record refers to them in the data. A fault is refused
// with the packet's number (1 for the first packet behind the header) and
// its byte offset in the decompressed data.
//
// Conventions:
//  * Little-endian, packed; a string is a uint32 length and that many bytes.
//  * value = offset + stored x gain, for every sample type.
//  * In packed files (and for floating-point samples in any file) the
//    missing-sample value of the type marks a missing sample.
//  * Records of a track not yet announced are not kept; the track, when it
//    is announced later, counts them (earlyRecords, and where the first was).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qs {

enum VitalRecType : std::uint8_t { kVitalWave = 1, kVitalNumeric = 2, kVitalString = 5 };

// Meaning codes (montype) the import looks for.
enum VitalMeaning : std::uint8_t {
  kVitalBis = 22,
  kVitalSef = 23,
  kVitalSr = 25,
  kVitalEmg = 26,
  kVitalSqi = 27,
  kVitalEeg = 28,
  kVitalEegLeft = 61,
  kVitalEegRight = 62
};

struct VitalHeader {
  std::uint32_t formatVersion = 0;
  std::uint16_t headerLength = 0;  // bytes behind its own field
  std::int16_t tzBias = 0;         // minutes; UTC = local time + tzBias
  std::uint32_t instanceId = 0, programVersion = 0;
  double dtStart = 0, dtEnd = 0;  // 0 when the header is too short
  bool packed = false;
};

struct VitalDevice {
  std::uint32_t id = 0;
  std::string typeName, name, port;
};

struct VitalRecord {
  double dt = 0;            // time of the first value, Unix seconds
  std::size_t at = 0;       // offset of the first value in the data
  std::uint32_t count = 0;  // samples (1 for a numeric record, the text's length for a string)
};

struct VitalTrack {
  std::uint16_t id = 0;
  std::uint8_t recType = 0, recFmt = 0;
  std::string name, unit;
  float minVal = 0, maxVal = 0;
  std::uint32_t color = 0;
  float sampleRate = 0;
  double gain = 1, offset = 0;
  std::uint8_t meaning = 0;
  std::uint32_t deviceId = 0;
  std::size_t packet = 0;  // the announcing packet
  std::vector<VitalRecord> records;
  std::size_t earlyRecords = 0, firstEarlyPacket = 0, firstEarlyOffset = 0;
};

// Bytes of one sample of a sample type; 0 for an unknown type.
int VitalSampleBytes(std::uint8_t recFmt);

class VitalFile {
 public:
  static std::optional<VitalFile> Parse(std::vector<std::uint8_t> data, std::string* error);

  const VitalHeader& Header() const { return header_; }
  const std::vector<VitalTrack>& Tracks() const { return tracks_; }
  const std::vector<VitalDevice>& Devices() const { return devices_; }
  const VitalDevice* Device(std::uint32_t id) const;
  std::size_t Packets() const { return packets_; }

  // Sample i of a wave or numeric record as a value (gain and offset
  // applied); NaN when it is missing.
  double Value(const VitalTrack& track, const VitalRecord& record, std::uint32_t i) const;
  // The text of a string record.
  std::string Text(const VitalRecord& record) const;

 private:
  VitalFile() = default;
  std::vector<std::uint8_t> data_;
  VitalHeader header_;
  std::vector<VitalTrack> tracks_;
  std::vector<VitalDevice> devices_;
  std::size_t packets_ = 0;
};

}  // namespace qs
