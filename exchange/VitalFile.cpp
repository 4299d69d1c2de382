#include "exchange/VitalFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace qs {
namespace {

constexpr std::uint8_t kTrackInfo = 0, kRec = 1, kDeviceInfo = 9;
// Times are refused outside 1970 .. about 3200: nothing later can be a
// recording, and sample positions computed from them stay far from overflow.
constexpr double kLatestTime = 4e10;

// Reads little-endian fields from [at, end) of the data; a read past `end`
// fails (and reads nothing).
class Cursor {
 public:
  Cursor(const std::vector<std::uint8_t>& data, std::size_t at, std::size_t end)
      : d_(data), at_(at), end_(end) {}
  std::size_t At() const { return at_; }
  std::size_t Left() const { return end_ - at_; }
  bool Skip(std::size_t n) {
    if (n > Left()) return false;
    at_ += n;
    return true;
  }
  template <typename T>
  bool Get(T& v) {
    if (sizeof(T) > Left()) return false;
    std::memcpy(&v, d_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  // A uint32 length and that many bytes.
  bool String(std::string& s) {
    std::uint32_t n = 0;
    const std::size_t start = at_;
    if (!Get(n) || n > Left()) {
      at_ = start;
      return false;
    }
    s.assign(reinterpret_cast<const char*>(d_.data() + at_), n);
    at_ += n;
    return true;
  }

 private:
  const std::vector<std::uint8_t>& d_;
  std::size_t at_, end_;
};

std::string PacketName(std::size_t number, std::uint8_t type, std::size_t offset) {
  return "Vital error in packet " + std::to_string(number) + " (type " + std::to_string(type) +
         ") at byte offset " + std::to_string(offset) + " of the decompressed data: ";
}

}  // namespace

int VitalSampleBytes(std::uint8_t recFmt) {
  static constexpr int kBytes[9] = {0, 4, 8, 1, 1, 2, 2, 4, 4};
  return recFmt < 9 ? kBytes[recFmt] : 0;
}

const VitalDevice* VitalFile::Device(std::uint32_t id) const {
  for (const VitalDevice& d : devices_)
    if (d.id == id) return &d;
  return nullptr;
}

std::optional<VitalFile> VitalFile::Parse(std::vector<std::uint8_t> data, std::string* error) {
  VitalFile f;
  VitalHeader& h = f.header_;
  const std::size_t size = data.size();
  Cursor head(data, 0, size);
  char sign[4] = {};
  if (!head.Get(sign) || std::memcmp(sign, "VITA", 4) != 0) {
    std::string shown;
    for (std::size_t i = 0; i < std::min<std::size_t>(4, size); ++i)
      shown += data[i] >= 0x20 && data[i] < 0x7F ? static_cast<char>(data[i]) : '?';
    *error = "Vital error in the header at byte offset 0 of the decompressed data: the sign is \"" + shown +
             "\", not \"VITA\"";
    return std::nullopt;
  }
  if (!head.Get(h.formatVersion) || !head.Get(h.headerLength) || h.headerLength > head.Left()) {
    *error = "Vital error in the header at byte offset 8 of the decompressed data: the data end after " +
             std::to_string(size) + " bytes, inside the header";
    return std::nullopt;
  }
  // The header's fields as far as its length reaches (older files have fewer).
  Cursor fields(data, head.At(), head.At() + h.headerLength);
  std::uint8_t packed = 0;
  (void)(fields.Get(h.tzBias) && fields.Get(h.instanceId) && fields.Get(h.programVersion) &&
         fields.Get(h.dtStart) && fields.Get(h.dtEnd) && fields.Get(packed));
  h.packed = packed == 1;

  std::vector<std::int32_t> index(65536, -1);  // track id -> position in tracks_
  struct Early {
    std::size_t count = 0, packet = 0, offset = 0;
  };
  std::vector<Early> early;  // records of tracks not (yet) announced, by track id
  std::size_t at = head.At() + h.headerLength;
  std::size_t number = 0;
  while (at < size) {
    ++number;
    const std::size_t packetAt = at;
    Cursor p(data, at, size);
    std::uint8_t type = 0;
    std::uint32_t length = 0;
    if (!p.Get(type) || !p.Get(length)) {
      *error = PacketName(number, type, packetAt) + "the data end " + std::to_string(size - packetAt) +
               " bytes into the packet's 5-byte head";
      return std::nullopt;
    }
    if (length > p.Left()) {
      *error = PacketName(number, type, packetAt) + "the packet announces " + std::to_string(length) +
               " bytes, but only " + std::to_string(p.Left()) + " remain";
      return std::nullopt;
    }
    const std::size_t bodyAt = p.At(), end = bodyAt + length;
    at = end;
    Cursor b(data, bodyAt, end);
    const auto fail = [&](const std::string& what) {
      *error = PacketName(number, type, packetAt) + what;
      return std::nullopt;
    };
    if (type == kDeviceInfo) {
      VitalDevice d;
      if (!b.Get(d.id)) return fail("the device information is shorter than its id");
      // Names as far as the packet reaches.
      (void)(b.String(d.typeName) && b.String(d.name) && b.String(d.port));
      const auto known = std::find_if(f.devices_.begin(), f.devices_.end(),
                                      [&](const VitalDevice& e) { return e.id == d.id; });
      if (known != f.devices_.end())
        *known = d;  // a later description of the same device replaces the earlier
      else
        f.devices_.push_back(d);
    } else if (type == kTrackInfo) {
      VitalTrack t;
      t.packet = number;
      if (!b.Get(t.id) || !b.Get(t.recType) || !b.Get(t.recFmt) || !b.String(t.name))
        return fail("the track information ends before the track's name does");
      // Older recorders stop earlier; every field that is there is read.
      (void)(b.String(t.unit) && b.Get(t.minVal) && b.Get(t.maxVal) && b.Get(t.color) &&
             b.Get(t.sampleRate) && b.Get(t.gain) && b.Get(t.offset) && b.Get(t.meaning) &&
             b.Get(t.deviceId));
      if ((t.recType == kVitalWave || t.recType == kVitalNumeric) && VitalSampleBytes(t.recFmt) == 0)
        return fail("track \"" + t.name + "\" has the unknown sample type " + std::to_string(t.recFmt));
      if (!std::isfinite(t.gain) || !std::isfinite(t.offset))
        return fail("track \"" + t.name + "\" has a gain or offset that is not a number");
      std::int32_t& slot = index[t.id];
      if (slot >= 0) {
        VitalTrack& old = f.tracks_[static_cast<std::size_t>(slot)];
        if (old.recType != t.recType || old.recFmt != t.recFmt)
          return fail("track " + std::to_string(t.id) + " (\"" + old.name +
                      "\") is announced again with another record or sample type");
        t.records = std::move(old.records);
        t.earlyRecords = old.earlyRecords;
        t.firstEarlyPacket = old.firstEarlyPacket;
        t.firstEarlyOffset = old.firstEarlyOffset;
        old = std::move(t);
      } else {
        if (!early.empty() && early[t.id].count > 0) {
          t.earlyRecords = early[t.id].count;
          t.firstEarlyPacket = early[t.id].packet;
          t.firstEarlyOffset = early[t.id].offset;
        }
        slot = static_cast<std::int32_t>(f.tracks_.size());
        f.tracks_.push_back(std::move(t));
      }
    } else if (type == kRec) {
      std::uint16_t infoLength = 0, id = 0;
      VitalRecord r;
      if (!b.Get(infoLength) || !b.Get(r.dt) || !b.Get(id))
        return fail("the record ends before its time and track id");
      if (infoLength < 10 || infoLength > length - 2)
        return fail("the record's info length " + std::to_string(infoLength) + " does not fit its " +
                    std::to_string(length) + " bytes");
      if (!std::isfinite(r.dt) || r.dt < 0 || r.dt > kLatestTime)
        return fail("the record's time is not a time");
      const std::int32_t slot = index[id];
      if (slot < 0) {  // not announced (yet): ignored, remembered
        if (early.empty()) early.resize(65536);
        Early& e = early[id];
        if (e.count++ == 0) e.packet = number, e.offset = packetAt;
        continue;
      }
      VitalTrack& t = f.tracks_[static_cast<std::size_t>(slot)];
      Cursor v(data, bodyAt + 2 + infoLength, end);
      const std::size_t width = static_cast<std::size_t>(VitalSampleBytes(t.recFmt));
      if (t.recType == kVitalWave) {
        if (!v.Get(r.count))
          return fail("the wave record of \"" + t.name + "\" ends before its sample count");
        if (static_cast<std::uint64_t>(r.count) * width > v.Left())
          return fail("the wave record of \"" + t.name + "\" announces " + std::to_string(r.count) +
                      " samples of " + std::to_string(width) + " bytes, but only " +
                      std::to_string(v.Left()) + " bytes remain");
        r.at = v.At();
      } else if (t.recType == kVitalNumeric) {
        if (width > v.Left()) return fail("the numeric record of \"" + t.name + "\" ends before its value");
        r.at = v.At();
        r.count = 1;
      } else if (t.recType == kVitalString) {
        std::uint32_t textLength = 0;
        if (!v.Skip(4) || !v.Get(textLength) || textLength > v.Left())
          return fail("the string record of \"" + t.name + "\" ends before its text does");
        r.at = v.At();
        r.count = textLength;
      } else {
        continue;  // a record type the import has no use for
      }
      t.records.push_back(r);
    }
    // Every other type (commands, raw device traffic, unknown) is skipped by its length.
  }
  f.packets_ = number;
  f.data_ = std::move(data);
  return f;
}

double VitalFile::Value(const VitalTrack& track, const VitalRecord& record, std::uint32_t i) const {
  const std::uint8_t* p =
      data_.data() + record.at +
      static_cast<std::size_t>(i) * static_cast<std::size_t>(VitalSampleBytes(track.recFmt));
  const bool packed = header_.packed;
  double stored = 0;
  const auto get = [p](auto v) {
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  switch (track.recFmt) {
    case 1:
      stored = get(float{});
      break;
    case 2:
      stored = get(double{});
      break;
    case 3: {
      const auto v = get(std::int8_t{});
      if (packed && v == -128) return std::numeric_limits<double>::quiet_NaN();
      stored = v;
      break;
    }
    case 4: {
      const auto v = get(std::uint8_t{});
      if (packed && v == 255) return std::numeric_limits<double>::quiet_NaN();
      stored = v;
      break;
    }
    case 5: {
      const auto v = get(std::int16_t{});
      if (packed && v == -32768) return std::numeric_limits<double>::quiet_NaN();
      stored = v;
      break;
    }
    case 6: {
      const auto v = get(std::uint16_t{});
      if (packed && v == 65535) return std::numeric_limits<double>::quiet_NaN();
      stored = v;
      break;
    }
    case 7: {
      const auto v = get(std::int32_t{});
      if (packed && v == std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<double>::quiet_NaN();
      stored = v;
      break;
    }
    case 8: {
      const auto v = get(std::uint32_t{});
      if (packed && v == std::numeric_limits<std::uint32_t>::max())
        return std::numeric_limits<double>::quiet_NaN();
      stored = v;
      break;
    }
    default:
      return std::numeric_limits<double>::quiet_NaN();
  }
  const double value = track.offset + stored * track.gain;
  return std::isfinite(value) ? value : std::numeric_limits<double>::quiet_NaN();
}

std::string VitalFile::Text(const VitalRecord& record) const {
  return std::string(reinterpret_cast<const char*>(data_.data() + record.at), record.count);
}

}  // namespace qs
