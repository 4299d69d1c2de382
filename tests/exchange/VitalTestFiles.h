#pragma once
// Vital files for the import tests, written from the format's description
// (little-endian, packed, one gzip stream), field by field, so that the
// parser is tested against bytes it did not produce itself.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qs::test {

struct VitalTrackSpec {
  std::uint16_t id = 1;
  std::uint8_t recType = 1, recFmt = 1;  // wave, float32
  std::string name = "BIS/EEG1_WAV", unit = "uV";
  float minVal = -100, maxVal = 100, srate = 128;
  double gain = 1, offset = 0;
  std::uint8_t montype = 0;
  std::uint32_t devid = 1;
};

class VitalWriter {
 public:
  // headerLength 27 today; 10 for an older recorder (no times, no layout byte).
  explicit VitalWriter(std::int16_t tzBias = -540, bool packed = false, std::uint16_t headerLength = 27)
      : out_{'V', 'I', 'T', 'A'} {
    Put<std::uint32_t>(3);
    Put<std::uint16_t>(headerLength);
    const std::size_t start = out_.size();
    Put(tzBias);
    Put<std::uint32_t>(7);   // instance
    Put<std::uint32_t>(11);  // program version
    Put(0.0);
    Put(0.0);
    Put<std::uint8_t>(packed ? 1 : 0);
    out_.resize(start + headerLength);  // older headers stop earlier
  }
  void Device(std::uint32_t id, const std::string& type, const std::string& name) {
    Packet(9, [&] {
      Put(id);
      String(type);
      String(name);
      String("COM1");
    });
  }
  void Track(const VitalTrackSpec& t) {
    Packet(0, [&] {
      Put(t.id);
      Put(t.recType);
      Put(t.recFmt);
      String(t.name);
      String(t.unit);
      Put(t.minVal);
      Put(t.maxVal);
      Put<std::uint32_t>(0xFF00FF00);
      Put(t.srate);
      Put(t.gain);
      Put(t.offset);
      Put(t.montype);
      Put(t.devid);
    });
  }
  // A wave record of stored samples of type T.
  template <typename T>
  void Wave(std::uint16_t id, double dt, const std::vector<T>& samples) {
    Packet(1, [&] {
      RecordHead(id, dt);
      Put(static_cast<std::uint32_t>(samples.size()));
      for (T v : samples) Put(v);
    });
  }
  void Numeric(std::uint16_t id, double dt, float value) {
    Packet(1, [&] {
      RecordHead(id, dt);
      Put(value);
    });
  }
  void Event(std::uint16_t id, double dt, const std::string& text) {
    Packet(1, [&] {
      RecordHead(id, dt);
      Put<std::uint32_t>(0);
      String(text);
    });
  }
  // Any packet, for damage and unknown types.
  void RawPacket(std::uint8_t type, const std::vector<std::uint8_t>& data) {
    Put(type);
    Put(static_cast<std::uint32_t>(data.size()));
    out_.insert(out_.end(), data.begin(), data.end());
  }

  const std::vector<std::uint8_t>& Plain() const { return out_; }
  std::vector<std::uint8_t> Gzip() const { return GzipBytes(out_); }

  static std::vector<std::uint8_t> GzipBytes(const std::vector<std::uint8_t>& in) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<std::uint8_t> out(deflateBound(&z, in.size()) + 64);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
  }

 private:
  template <typename T>
  void Put(T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out_.insert(out_.end(), b, b + sizeof(T));
  }
  void Bytes(const char* p, std::size_t n) { out_.insert(out_.end(), p, p + n); }
  void String(const std::string& s) {
    Put(static_cast<std::uint32_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  void RecordHead(std::uint16_t id, double dt) {
    Put<std::uint16_t>(10);
    Put(dt);
    Put(id);
  }
  template <typename F>
  void Packet(std::uint8_t type, F body) {
    Put(type);
    const std::size_t lengthAt = out_.size();
    Put<std::uint32_t>(0);
    body();
    const auto length = static_cast<std::uint32_t>(out_.size() - lengthAt - 4);
    std::memcpy(out_.data() + lengthAt, &length, 4);
  }
  std::vector<std::uint8_t> out_;
};

}  // namespace qs::test
