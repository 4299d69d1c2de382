// Bounded fuzzing of the receive path in every test run: random and mutated
// byte streams go through RxRing and PacketParser in random pieces, and every
// packet handed out goes through the decoders. What must hold whatever the
// bytes: each packet handed out is a whole data packet with a right checksum,
// 10..2058 bytes, of at least the smallest length of its message; the split
// into pieces never changes the result; ParsePacket returns 0 only while the
// ring holds fewer than BytesNeeded() bytes; and no decoder reads outside the
// packet (the sanitizer build checks that, as packets are copied into buffers
// of exactly their length).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "link/LinkTestSupport.h"
#include "link/MonitorMessages.h"
#include "link/RawEegStore.h"

namespace qs {
namespace {

using test::Bytes;

// A compact record of what a run handed out, to compare two runs.
struct Outcome {
  std::vector<std::uint64_t> packets;  // id, length and a hash of the bytes
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::uint64_t Fingerprint(std::uint16_t id, const std::uint8_t* p, int length) {
  std::uint64_t h =
      1469598103934665603ull ^ (static_cast<std::uint64_t>(id) << 16) ^ static_cast<std::uint64_t>(length);
  for (int i = 0; i < length; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

// xorshift64*: a few times cheaper than mt19937, and the fuzzer draws a
// number for nearly every byte it makes.
struct FastRng {
  using result_type = std::uint32_t;
  std::uint64_t state;
  explicit FastRng(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return 0xFFFFFFFFu; }
  result_type operator()() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<result_type>((state * 0x2545F4914F6CDD1Dull) >> 32);
  }
};

class Fuzzer {
 public:
  explicit Fuzzer(unsigned seed) : rng_(seed) {
    for (unsigned i = 0; i < 6; ++i) {
      std::mt19937 r(seed * 31 + i);
      bases_.push_back(test::MakeMixedStream(r, 2).bytes);
    }
  }

  std::size_t packetsChecked = 0;
  std::size_t rawStored = 0;

  // Parses buf in one piece and in random pieces; false on the first fault.
  bool Run(const Bytes& buf) {
    Outcome whole, pieces;
    if (!Parse(buf, buf.size(), whole)) return false;
    const std::size_t maxPiece = Pick(0, 3) == 0 ? 1 : Pick(2, 300);
    if (!Parse(buf, maxPiece, pieces)) return false;
    if (!(whole == pieces)) {
      ADD_FAILURE() << "pieces of up to " << maxPiece << " bytes changed the outcome of a " << buf.size()
                    << "-byte buffer";
      return false;
    }
    return true;
  }

  // Random bytes with sync pairs and plausible packets mixed in: headers of
  // every type, lengths around the message sizes and beyond 2048, right and
  // wrong checksums, ids the system knows.
  Bytes RandomBuffer() {
    Bytes b;
    const std::size_t target = Pick(0, 300);
    while (b.size() < target) {
      switch (Pick(0, 5)) {
        case 0:
          b.push_back(kSync0);
          b.push_back(kSync1);
          break;
        case 1:
        case 2:
          AppendRandomPacket(b);
          break;
        default:
          for (std::size_t n = Pick(1, 20); n > 0; --n) b.push_back(static_cast<std::uint8_t>(rng_()));
      }
    }
    return b;
  }

  // A window of a valid stream with a few mutations.
  Bytes MutatedBuffer() {
    const Bytes& base = bases_[Pick(0, bases_.size() - 1)];
    const std::size_t from = Pick(0, base.size() - 1);
    const std::size_t length = std::min(Pick(1, 500), base.size() - from);
    Bytes b(base.begin() + static_cast<std::ptrdiff_t>(from),
            base.begin() + static_cast<std::ptrdiff_t>(from + length));
    for (std::size_t n = Pick(1, 6); n > 0 && !b.empty(); --n) Mutate(b);
    return b;
  }

 private:
  std::size_t Pick(std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng_);
  }

  std::uint16_t RandomLength() {
    static constexpr std::uint16_t kInteresting[] = {0,   1,   7,    11,   12,   13,   67,   68,    80,
                                                     119, 120, 131,  132,  133,  144,  287,  288,   299,
                                                     300, 376, 2047, 2048, 2049, 2050, 4096, 32768, 65535};
    if (Pick(0, 1) == 0) return kInteresting[Pick(0, std::size(kInteresting) - 1)];
    return static_cast<std::uint16_t>(Pick(0, 400));
  }

  void AppendRandomPacket(Bytes& b) {
    static constexpr std::uint16_t kIds[] = {
        0, kMsgRawEeg, kMsgProcessed, kMsgProcessedExt, kMsgMonitorInfo, kMsgProcessed4, 111};
    const std::size_t start = b.size();
    const std::uint16_t type = static_cast<std::uint16_t>(Pick(0, 9) < 7 ? 1 : Pick(0, 4));
    std::uint16_t length = type == 1 ? RandomLength() : (Pick(0, 3) == 0 ? RandomLength() : 0);
    const bool honest = length <= kMaxDataLength;  // otherwise the data is cut at 400
    const std::size_t dataBytes = honest ? length : Pick(0, 400);
    b.resize(start + 8 + dataBytes + 2);
    std::uint8_t* p = b.data() + start;
    p[0] = kSync0;
    p[1] = kSync1;
    PutU16(p + kOffPacketSeq, static_cast<std::uint16_t>(rng_()));
    PutU16(p + kOffDataLength, length);
    PutU16(p + kOffType, type);
    for (std::size_t i = 0; i < dataBytes; ++i) p[8 + i] = static_cast<std::uint8_t>(rng_());
    if (dataBytes >= 6) PutU16(p + kOffMsgId, kIds[Pick(0, std::size(kIds) - 1)]);
    if (dataBytes >= 12) PutU16(p + kOffPayloadLength, static_cast<std::uint16_t>(dataBytes - 12));
    const std::uint16_t sum = PacketChecksum(p, 8 + dataBytes);
    PutU16(p + 8 + dataBytes, Pick(0, 9) < 7 ? sum : static_cast<std::uint16_t>(rng_()));
  }

  // Offsets of sync pairs in b, where header fields can be mutated.
  std::size_t SomeSyncPair(const Bytes& b) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
      if (b[i] == kSync0 && b[i + 1] == kSync1) at.push_back(i);
    }
    return at.empty() ? b.size() : at[Pick(0, at.size() - 1)];
  }

  void Mutate(Bytes& b) {
    switch (Pick(0, 8)) {
      case 0:  // bit flip
        b[Pick(0, b.size() - 1)] ^= static_cast<std::uint8_t>(1u << Pick(0, 7));
        break;
      case 1:  // byte replaced
        b[Pick(0, b.size() - 1)] = static_cast<std::uint8_t>(rng_());
        break;
      case 2: {  // bytes inserted
        const std::size_t at = Pick(0, b.size());
        Bytes extra(Pick(1, 8));
        for (auto& x : extra) x = static_cast<std::uint8_t>(rng_());
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
        break;
      }
      case 3: {  // bytes deleted
        const std::size_t at = Pick(0, b.size() - 1);
        const std::size_t n = std::min(Pick(1, 8), b.size() - at);
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
      }
      case 4:  // truncated
        b.resize(Pick(0, b.size()));
        break;
      case 5: {  // a sync pair planted
        const std::size_t at = Pick(0, b.size());
        const std::uint8_t sync[2] = {kSync0, kSync1};
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), sync, sync + 2);
        break;
      }
      case 6:
      case 7: {  // a header's length changed, huge ones included, and half the
                 // time the checksum made right for the new length
        const std::size_t at = SomeSyncPair(b);
        if (at + 8 > b.size()) break;
        const std::uint16_t length = RandomLength();
        PutU16(&b[at + kOffDataLength], length);
        if (Pick(0, 1) == 0 && at + 10 + length <= b.size()) {
          PutU16(&b[at + 8 + length], PacketChecksum(&b[at], 8 + static_cast<std::size_t>(length)));
        }
        break;
      }
      default: {  // a stretch repeated
        const std::size_t at = Pick(0, b.size() - 1);
        const std::size_t n = std::min(Pick(1, 200), b.size() - at);
        const Bytes copy(b.begin() + static_cast<std::ptrdiff_t>(at),
                         b.begin() + static_cast<std::ptrdiff_t>(at + n));
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(Pick(0, b.size())), copy.begin(), copy.end());
      }
    }
  }

  bool Parse(const Bytes& buf, std::size_t maxPiece, Outcome& outcome) {
    rx_->Reset();
    for (std::size_t at = 0; at < buf.size();) {
      const std::size_t n = std::min(Pick(1, maxPiece), buf.size() - at);
      if (rx_->ring.Append(buf.data() + at, n) != n) {
        ADD_FAILURE() << "the ring filled up: the parser is not consuming";
        return false;
      }
      at += n;
      while (const std::uint16_t id = rx_->parser.ParsePacket()) {
        if (!Check(id, rx_->parser.Packet(), rx_->parser.PacketLength())) return false;
        outcome.packets.push_back(Fingerprint(id, rx_->parser.Packet(), rx_->parser.PacketLength()));
      }
      if (rx_->ring.CommittedCount() >= rx_->parser.BytesNeeded()) {
        ADD_FAILURE() << "ParsePacket returned 0 with " << rx_->ring.CommittedCount() << " bytes for "
                      << rx_->parser.BytesNeeded() << " needed";
        return false;
      }
    }
    return true;
  }

  bool Check(std::uint16_t id, const std::uint8_t* packet, int length) {
    ++packetsChecked;
    if (length < 10 || length > kMaxPacketBytes) {
      ADD_FAILURE() << "packet length " << length;
      return false;
    }
    // From here on only this exactly sized copy is read.
    const Bytes exact(packet, packet + length);
    const std::uint8_t* p = exact.data();
    const auto n = static_cast<std::size_t>(length);
    bool ok = p[0] == kSync0 && p[1] == kSync1 && GetU16(p + kOffType) == kPacketData &&
              GetU16(p + kOffDataLength) + 10 == length && PacketChecksum(p, n - 2) == GetU16(p + n - 2) &&
              length >= 10 + kMessageHeaderBytes && id != 0 && GetU16(p + kOffMsgId) == id;
    if (id == kMsgProcessed || id == kMsgProcessed4) {
      ok = ok && RecordedBytes(id, RawLayout::TwoChannels128) <= length;
    }
    if (id == kMsgRawEeg) ok = ok && length >= kRawEegBytes128;
    if (id == kMsgProcessedExt) ok = false;  // always handed out as a 52
    if (!ok) {
      ADD_FAILURE() << "bad packet handed out: id " << id << ", length " << length;
      return false;
    }

    for (int c = -1; c <= 4; ++c) {
      const auto v = DecodeChannel(p, id, c);
      sink_ += v ? v->bis + v->artifactFlags : 0;
    }
    if (const auto cal = DecodeCalibration(p, id)) sink_ += static_cast<std::uint32_t>(cal->gain);
    if (id == kMsgProcessed) sink_ += ProcessedSaysEngineKind1(p);
    if (const auto info = DecodeMonitorInfo(p, length)) sink_ += static_cast<std::uint8_t>(info->ModelChar());
    if (id == kMsgRawEeg) {
      for (const RawLayout l :
           {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
        if (RawPacketBytes(l) != length) continue;
        const bool checkOverflow = (rawStored & 1) != 0;
        if (StoreRawEeg(p, l, static_cast<int>(rawStored % 5), checkOverflow, (rawStored & 7) == 0, *wave_,
                        seconds_) == StoreResult::Overflow) {
          wave_->ResetPositions();
        }
        ++rawStored;
      }
    }
    return true;
  }

  FastRng rng_;
  std::vector<Bytes> bases_;
  std::unique_ptr<test::Receiver> rx_ = test::Receiver::Make();
  std::unique_ptr<RawWaveBuffer> wave_ = std::make_unique<RawWaveBuffer>();
  PacketSecondRing seconds_;
  std::uint64_t sink_ = 0;  // keeps the decoded values alive
};

TEST(ParserFuzz, RandomBuffers) {
  Fuzzer fuzzer(101);
  for (int i = 0; i < 100000; ++i) {
    if (!fuzzer.Run(fuzzer.RandomBuffer())) FAIL() << "random buffer " << i;
  }
  EXPECT_GT(fuzzer.packetsChecked, 10000u) << "the generator should produce valid packets too";
}

TEST(ParserFuzz, MutatedValidStreams) {
  Fuzzer fuzzer(202);
  for (int i = 0; i < 200000; ++i) {
    if (!fuzzer.Run(fuzzer.MutatedBuffer())) FAIL() << "mutated buffer " << i;
  }
  EXPECT_GT(fuzzer.packetsChecked, 50000u);
  EXPECT_GT(fuzzer.rawStored, 10000u);
}

}  // namespace
}  // namespace qs
