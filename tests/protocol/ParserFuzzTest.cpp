// Bounded fuzzing of the receive path: random and mutated streams go through
// RxRing and PacketParser whole and in random pieces. Whatever the bytes, each
// packet handed out is a whole data packet with a right checksum and at least
// the smallest length of its message; the split never changes the outcome;
// ParsePacket returns 0 only while the ring holds fewer than BytesNeeded()
// bytes (the receiver throws otherwise). Packets go to the decoders as copies
// of exactly their length, so the sanitizer build sees any read beyond them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "core/RawEegStore.h"
#include "protocol/MonitorMessages.h"
#include "protocol/ProtocolTestSupport.h"

namespace qs {
namespace {

using test::Bytes;

class Fuzzer {
 public:
  explicit Fuzzer(unsigned seed) : rng_(seed) {
    for (unsigned i = 0; i < 6; ++i) {
      std::mt19937 r(seed * 31 + i);
      Bytes& b = bases_.emplace_back();
      for (const auto& item : test::MakeMixedStream(r, 2))
        b.insert(b.end(), item.bytes.begin(), item.bytes.end());
    }
  }

  std::size_t packetsChecked = 0, rawStored = 0;

  void Run(const Bytes& buf) {
    rx_->Reset();
    const auto whole = rx_->Parse(buf);
    rx_->Reset();
    const std::size_t maxPiece = Pick(0, 3) == 0 ? 1 : Pick(2, 300);
    EXPECT_EQ(rx_->Parse(buf, maxPiece, rng_()), whole)
        << "pieces of up to " << maxPiece << " of " << buf.size();
    for (const auto& p : whole) Check(p.id, p.bytes);
  }

  // Random bytes with sync pairs and plausible packets: every type, lengths
  // around the message sizes and beyond 2048, right and wrong checksums.
  Bytes RandomBuffer() {
    Bytes b;
    for (const std::size_t target = Pick(0, 300); b.size() < target;) {
      const std::size_t kind = Pick(0, 5);
      if (kind == 0) b.insert(b.end(), {kSync0, kSync1});
      if (kind == 1 || kind == 2) AppendRandomPacket(b);
      for (std::size_t n = kind > 2 ? Pick(1, 20) : 0; n > 0; --n) b.push_back(Byte());
    }
    return b;
  }

  // A window of a valid stream with a few mutations.
  Bytes MutatedBuffer() {
    const Bytes& base = bases_[Pick(0, bases_.size() - 1)];
    const std::size_t from = Pick(0, base.size() - 1);
    Bytes b(base.begin() + from, base.begin() + from + std::min(Pick(1, 500), base.size() - from));
    for (std::size_t n = Pick(1, 6); n > 0 && !b.empty(); --n) Mutate(b);
    return b;
  }

 private:
  std::size_t Pick(std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng_);
  }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(rng_()); }

  std::uint16_t RandomLength() {
    static constexpr std::uint16_t kInteresting[] = {0,   1,   7,    11,   12,   13,   67,   68,    80,
                                                     119, 120, 131,  132,  133,  144,  287,  288,   299,
                                                     300, 376, 2047, 2048, 2049, 2050, 4096, 32768, 65535};
    const std::uint16_t interesting = kInteresting[Pick(0, std::size(kInteresting) - 1)];
    return Pick(0, 1) == 0 ? interesting : static_cast<std::uint16_t>(Pick(0, 400));
  }

  void AppendRandomPacket(Bytes& b) {
    static constexpr std::uint16_t kIds[] = {0,   kMsgRawEeg,      kMsgProcessed, kMsgProcessedExt,
                                             111, kMsgMonitorInfo, kMsgProcessed4};
    const auto type = static_cast<std::uint16_t>(Pick(0, 9) < 7 ? 1 : Pick(0, 4));
    const std::uint16_t length = type == 1 || Pick(0, 3) == 0 ? RandomLength() : 0;
    const std::size_t start = b.size(), dataBytes = length <= kMaxDataLength ? length : Pick(0, 400);
    b.resize(start + 10 + dataBytes);
    std::uint8_t* p = b.data() + start;
    for (std::size_t i = 8; i < 8 + dataBytes; ++i) p[i] = Byte();
    std::tie(p[0], p[1]) = std::pair(kSync0, kSync1);
    for (const auto& [at, value] :
         {std::pair{kOffPacketSeq, std::uint16_t(rng_())}, {kOffDataLength, length}, {kOffType, type}})
      PutU16(p + at, value);
    if (dataBytes >= 6) PutU16(p + kOffMsgId, kIds[Pick(0, std::size(kIds) - 1)]);
    if (dataBytes >= 12) PutU16(p + kOffPayloadLength, static_cast<std::uint16_t>(dataBytes - 12));
    PutU16(p + 8 + dataBytes, Pick(0, 9) < 7 ? PacketChecksum(p, 8 + dataBytes) : std::uint16_t(rng_()));
  }

  void Mutate(Bytes& b) {
    const auto it = [&](std::size_t i) { return b.begin() + static_cast<std::ptrdiff_t>(i); };
    const std::size_t at = Pick(0, b.size() - 1), n = std::min(Pick(1, 8), b.size() - at);
    std::vector<std::size_t> syncs;
    // clang-format off
    switch (Pick(0, 7)) {
      case 0: b[at] = Pick(0, 1) == 0 ? static_cast<std::uint8_t>(b[at] ^ (1u << Pick(0, 7))) : Byte(); break;
      case 1: for (std::size_t i = 0; i < n; ++i) b.insert(it(at), Byte()); break;  // random bytes inserted
      case 2: b.erase(it(at), it(at + n)); break;
      case 3: b.resize(at); break;
      case 4: b.insert(it(at), {kSync0, kSync1}); break;
      case 5: case 6:  // a header's length changed, half the time with a checksum made right for it
        for (std::size_t i = 0; i + 8 <= b.size(); ++i) if (b[i] == kSync0 && b[i + 1] == kSync1) syncs.push_back(i);
        if (!syncs.empty()) {
          const std::size_t s = syncs[Pick(0, syncs.size() - 1)], length = RandomLength();
          PutU16(&b[s + kOffDataLength], static_cast<std::uint16_t>(length));
          if (Pick(0, 1) == 0 && s + 10 + length <= b.size()) PutU16(&b[s + 8 + length], PacketChecksum(&b[s], 8 + length));
        }
        break;
      default: {  // a stretch repeated
        const Bytes copy(it(at), it(at + std::min(Pick(1, 200), b.size() - at)));
        b.insert(it(Pick(0, b.size())), copy.begin(), copy.end());
      }
    }
    // clang-format on
  }

  // exact: the packet, copied to a buffer of exactly its length.
  void Check(std::uint16_t id, const Bytes& exact) {
    ++packetsChecked;
    const int length = static_cast<int>(exact.size());
    const std::uint8_t* p = exact.data();
    EXPECT_TRUE(length >= 10 + kMessageHeaderBytes && length <= kMaxPacketBytes && p[0] == kSync0 &&
                p[1] == kSync1 && GetU16(p + kOffType) == kPacketData &&
                GetU16(p + kOffDataLength) + 10 == length &&
                PacketChecksum(p, exact.size() - 2) == GetU16(p + length - 2) && id != 0 &&
                GetU16(p + kOffMsgId) == id && id != kMsgProcessedExt &&
                RecordedBytes(id, RawLayout::TwoChannels128) <= length)
        << "bad packet handed out: id " << id << ", length " << length;
    for (int c = -1; c <= 4; ++c)
      if (const auto v = DecodeChannel(p, id, c)) sink_ += v->bis + v->artifactFlags;
    if (const auto cal = DecodeCalibration(p, id)) sink_ += static_cast<std::uint32_t>(cal->gain);
    if (id == kMsgProcessed) sink_ += ProcessedSaysEngineKind1(p);
    if (const auto info = DecodeMonitorInfo(p, length)) sink_ += static_cast<std::uint8_t>(info->ModelChar());
    for (const RawLayout l :
         {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
      if (id != kMsgRawEeg || RawPacketBytes(l) != length) continue;
      if (StoreRawEeg(p, l, static_cast<int>(rawStored % 5), (rawStored & 1) != 0, (rawStored & 7) == 0,
                      *wave_, seconds_) == StoreResult::Overflow)
        wave_->ResetPositions();
      ++rawStored;
    }
  }

  std::minstd_rand rng_;  // cheap: a number is drawn for nearly every byte
  std::vector<Bytes> bases_;
  std::unique_ptr<test::Receiver> rx_ = test::Receiver::Make();
  std::unique_ptr<RawWaveBuffer> wave_ = std::make_unique<RawWaveBuffer>();
  PacketSecondRing seconds_;
  std::uint64_t sink_ = 0;  // keeps the decoded values alive
};

TEST(ParserFuzz, RandomBuffersAndMutatedValidStreams) {
  Fuzzer random(101), mutated(202);
  for (int i = 0; i < 100000 && !HasFailure(); ++i) random.Run(random.RandomBuffer());
  for (int i = 0; i < 200000 && !HasFailure(); ++i) mutated.Run(mutated.MutatedBuffer());
  EXPECT_GT(random.packetsChecked, 10000u) << "random buffers should hold valid packets too";
  EXPECT_GT(mutated.packetsChecked, 50000u);
  EXPECT_GT(mutated.rawStored, 10000u);
}

}  // namespace
}  // namespace qs
