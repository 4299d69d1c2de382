#pragma once
// Helpers shared by the protocol tests: a receiver (ring, parser, events), encoded
// streams of every packet kind, and feeding a stream in pieces.
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <stdexcept>
#include <utility>

#include "protocol/PacketEncoder.h"
#include "protocol/PacketParser.h"

namespace qs::test {

using Bytes = std::vector<std::uint8_t>;

// One message as ParsePacket handed it out.
struct Parsed {
  std::uint16_t id = 0;
  Bytes bytes;
  friend bool operator==(const Parsed&, const Parsed&) = default;
};

// The packet at the start of `packet` as ParsePacket would hand it out.
inline Parsed AsParsed(const Bytes& packet) {
  return {GetU16(&packet[kOffMsgId]),
          Bytes(packet.begin(), packet.begin() + GetU16(&packet[kOffDataLength]) + 10)};
}

// What one encoder call appends, e.g. Encoded(AppendAck, 1, true).
template <class F, class... A>
Bytes Encoded(F append, const A&... args) {
  Bytes out;
  append(out, args...);
  return out;
}

// The receive side as the receive thread owns it; on the heap (16 kB ring).
struct Receiver {
  EventGroup group;
  AutoResetEvent ack{group}, nak{group};
  RxRing ring;
  PacketParser parser;  // without listeners as the replay runs it

  explicit Receiver(bool listen = true) : parser(ring, listen ? &ack : nullptr, listen ? &nak : nullptr) {}
  static std::unique_ptr<Receiver> Make(bool listen = true) { return std::make_unique<Receiver>(listen); }
  void Reset() {
    ring.Reset();
    parser.Reset();
  }
  void Feed(std::span<const std::uint8_t> bytes) {
    if (ring.Append(bytes.data(), bytes.size()) != bytes.size()) throw std::runtime_error("ring overfilled");
  }
  // Feeds the stream in random pieces of 1 .. maxPiece bytes, copying each packet handed out to exactly its
  // length. ParsePacket may return 0 only while the ring holds fewer bytes than it says it needs.
  std::vector<Parsed> Parse(std::span<const std::uint8_t> stream, std::size_t maxPiece = SIZE_MAX,
                            unsigned seed = 1) {
    std::minstd_rand rng(seed);
    std::vector<Parsed> out;
    std::size_t at = 0;
    do {
      const std::size_t n = std::min<std::size_t>(rng() % maxPiece + 1, stream.size() - at);
      Feed(stream.subspan(at, n));
      at += n;
      while (const std::uint16_t id = parser.ParsePacket())
        out.push_back({id, Bytes(parser.Packet(), parser.Packet() + parser.PacketLength())});
      if (ring.CommittedCount() >= parser.BytesNeeded())
        throw std::logic_error("ParsePacket held back a packet");
    } while (at < stream.size());
    return out;
  }
};

inline ProcessedMessage RandomProcessed(std::mt19937& rng) {
  const auto i16 = [&] { return static_cast<std::int16_t>(rng()); };
  const auto i32 = [&] { return static_cast<std::int32_t>(rng() | 1u); };
  ProcessedMessage m{i32(), i32(), i32(), i32(), static_cast<std::uint8_t>(rng()), {}};
  for (auto& c : m.channels)
    c = {i16(), i16(), std::uint16_t(rng()), i16(), i16(), i16(), i16(), i16(), std::uint32_t(rng())};
  return m;
}

// An encoded packet and what ParsePacket should hand out for it: nothing for
// an acknowledgement, the 52 it turns into for a 53.
struct StreamItem {
  Bytes bytes;
  std::optional<Parsed> expected;
};

// Monitor information and an ack, then per second eight raw EEG messages (the
// three layouts in turn) and one of: a 52, a 53, a 1122, an unused id and a nak.
inline std::vector<StreamItem> MakeMixedStream(std::mt19937& rng, int seconds) {
  std::vector<StreamItem> items;
  const auto add = [&](const Bytes& b, bool handedOut = true) {
    items.push_back({b, handedOut ? std::optional(AsParsed(b)) : std::nullopt});
  };
  std::uint16_t seq = 0;
  MonitorInfo info;
  for (auto& byte : info.payload) byte = static_cast<std::uint8_t>(rng());
  add(Encoded(AppendMonitorInfo, seq++, 0, info));
  add(Encoded(AppendAck, seq++, true), false);
  for (int second = 0; second < seconds; ++second) {
    const auto layout = static_cast<RawLayout>(second % 3);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(RawFrames(layout) * RawChannels(layout)));
    for (int k = 0; k < 8; ++k) {
      for (auto& v : samples) v = static_cast<std::int16_t>(rng());
      add(Encoded(AppendRawEeg, seq++, second * 8 + k, layout, samples));
    }
    const ProcessedMessage m = RandomProcessed(rng);
    const auto s = static_cast<std::uint16_t>(second);
    // clang-format off
    switch (second % 4) {
      case 0: add(Encoded(AppendProcessed52, seq++, s, m)); break;
      case 1:  // handed out as the 52 it holds
        items.push_back({Encoded(AppendProcessed53, seq, s, m, 244), AsParsed(Encoded(AppendProcessed52, seq, s, m))});
        ++seq;
        break;
      case 2: add(Encoded(AppendProcessed1122, seq++, s, m)); break;
      default:  // unused ids are handed out too
        add(Encoded(AppendMessage, seq++, 4, 777, 0, Bytes{1, 2, 3, 4, 5}));
        add(Encoded(AppendAck, seq++, false), false);
    }
    // clang-format on
  }
  return items;
}

// Rewrites the checksum of the packet at `at`, summing independently of PacketChecksum.
inline void RepairChecksum(Bytes& stream, std::size_t at = 0) {
  const std::size_t end = at + 8 + GetU16(&stream[at + kOffDataLength]);
  unsigned sum = 0;
  for (std::size_t i = at + 2; i < end; ++i) sum += stream[i];
  PutU16(&stream[end], static_cast<std::uint16_t>(sum));
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A message with `payloadLength` payload bytes of 0x11.
inline Bytes Message(std::uint16_t id, std::size_t payloadLength) {
  return Encoded(AppendMessage, 0, 4, id, 0, Bytes(payloadLength, 0x11));
}

inline Bytes RawEeg128(std::uint16_t msgSeq = 0) {
  std::vector<std::int16_t> samples(32);
  std::iota(samples.begin(), samples.end(), std::int16_t{-10});
  return Encoded(AppendRawEeg, msgSeq, msgSeq, RawLayout::TwoChannels128, samples);
}

}  // namespace qs::test
