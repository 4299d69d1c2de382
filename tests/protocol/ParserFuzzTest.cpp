// Bounded fuzzing of the receive path: random buffers and mutated valid
// streams go through the packet parser's fuzz target (fuzz/PacketParserFuzz.cpp,
// whose corpus the test run replays as well). Whatever the bytes, it parses
// them whole and in pieces and aborts on a packet handed out that is not a
// whole data packet with a right checksum and the length of its message, on a
// split that changes the outcome, or on ParsePacket returning 0 while the ring
// holds BytesNeeded() bytes; its decoders see exactly sized copies, so the
// sanitizer build sees any read beyond them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "protocol/ProtocolTestSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

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

  std::size_t packets = 0, rawPackets = 0;

  void Run(const Bytes& buf) {
    LLVMFuzzerTestOneInput(buf.data(), buf.size());
    for (const auto& p : rx_->Parse(buf)) packets += 1, rawPackets += p.id == kMsgRawEeg;
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

  std::minstd_rand rng_;  // cheap: a number is drawn for nearly every byte
  std::vector<Bytes> bases_;
  std::unique_ptr<test::Receiver> rx_ = test::Receiver::Make();
};

TEST(ParserFuzz, RandomBuffersAndMutatedValidStreams) {
  Fuzzer random(101), mutated(202);
  for (int i = 0; i < 100000; ++i) random.Run(random.RandomBuffer());
  for (int i = 0; i < 200000; ++i) mutated.Run(mutated.MutatedBuffer());
  EXPECT_GT(random.packets, 10000u) << "random buffers should hold valid packets too";
  EXPECT_GT(mutated.packets, 50000u);
  EXPECT_GT(mutated.rawPackets, 10000u);
}

}  // namespace
}  // namespace qs
