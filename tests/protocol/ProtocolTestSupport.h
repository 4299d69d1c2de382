#pragma once
// Helpers shared by the protocol tests: a receiver (ring, parser, events), encoded
// streams of every packet kind, and feeding a stream in pieces.
#include <memory>
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
  const auto length = GetU16(&packet[kOffDataLength]) + 10;
  return Parsed{GetU16(&packet[kOffMsgId]), Bytes(packet.begin(), packet.begin() + length)};
}

inline std::vector<std::uint16_t> Ids(const std::vector<Parsed>& parsed) {
  std::vector<std::uint16_t> ids;
  for (const auto& p : parsed) ids.push_back(p.id);
  return ids;
}

// The receive side as the receive thread owns it; on the heap (16 kB ring).
struct Receiver {
  EventGroup group;
  AutoResetEvent ack{group}, nak{group};
  RxRing ring;
  PacketParser parser{ring, &ack, &nak};

  static std::unique_ptr<Receiver> Make() { return std::make_unique<Receiver>(); }
  void Reset() {
    ring.Reset();
    parser.Reset();
  }
  void Feed(std::span<const std::uint8_t> bytes) {
    if (ring.Append(bytes.data(), bytes.size()) != bytes.size()) throw std::runtime_error("ring overfilled");
  }
  // Copies each packet handed out to exactly its length. ParsePacket may
  // return 0 only while the ring holds fewer bytes than it says it needs.
  void Drain(std::vector<Parsed>& out) {
    while (const std::uint16_t id = parser.ParsePacket())
      out.push_back(Parsed{id, Bytes(parser.Packet(), parser.Packet() + parser.PacketLength())});
    if (ring.CommittedCount() >= parser.BytesNeeded()) throw std::logic_error("ParsePacket held back a packet");
  }
  std::vector<Parsed> ParseWhole(std::span<const std::uint8_t> stream) {
    std::vector<Parsed> out;
    Feed(stream);
    Drain(out);
    return out;
  }
  // Feeds the stream in random pieces of 1 .. maxPiece bytes, draining after each.
  template <class Rng>
  std::vector<Parsed> ParseInPieces(std::span<const std::uint8_t> stream, Rng& rng, std::size_t maxPiece) {
    std::vector<Parsed> out;
    for (std::size_t at = 0, n = 0; at < stream.size(); at += n) {
      n = std::min(std::uniform_int_distribution<std::size_t>(1, maxPiece)(rng), stream.size() - at);
      Feed(stream.subspan(at, n));
      Drain(out);
    }
    return out;
  }
};

inline ProcessedMessage RandomProcessed(std::mt19937& rng) {
  const auto i16 = [&] { return static_cast<std::int16_t>(rng()); };
  const auto i32 = [&] { return static_cast<std::int32_t>(rng() | 1u); };
  ProcessedMessage m{i32(), i32(), i32(), i32(), static_cast<std::uint8_t>(rng()), {}};
  for (auto& c : m.channels)
    c = {i16(), i16(), static_cast<std::uint16_t>(rng()), i16(), i16(), i16(),
         i16(), i16(), static_cast<std::uint32_t>(rng())};
  return m;
}

// An encoded packet and what ParsePacket should hand out for it: nothing for
// an acknowledgement, the 52 it turns into for a 53.
struct StreamItem {
  Bytes bytes;
  std::optional<Parsed> expected;
};

inline Bytes Join(const std::vector<StreamItem>& items) {
  Bytes out;
  for (const auto& item : items) out.insert(out.end(), item.bytes.begin(), item.bytes.end());
  return out;
}

inline std::vector<Parsed> Expected(const std::vector<StreamItem>& items) {
  std::vector<Parsed> out;
  for (const auto& item : items)
    if (item.expected) out.push_back(*item.expected);
  return out;
}

// Monitor information and an ack, then per second eight raw EEG messages (the
// three layouts in turn) and one of: a 52, a 53, a 1122, an unused id and a nak.
inline std::vector<StreamItem> MakeMixedStream(std::mt19937& rng, int seconds) {
  std::vector<StreamItem> items;
  std::uint16_t seq = 0, rawSeq = 0;
  Bytes b;
  const auto add = [&](std::optional<Parsed> e) { items.push_back({std::exchange(b, {}), std::move(e)}); };
  MonitorInfo info;
  for (auto& byte : info.payload) byte = static_cast<std::uint8_t>(rng());
  AppendMonitorInfo(b, seq++, 0, info);
  add(AsParsed(b));
  AppendAck(b, seq++, true);
  add(std::nullopt);
  for (int second = 0; second < seconds; ++second) {
    const auto layout = static_cast<RawLayout>(second % 3);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(RawFrames(layout) * RawChannels(layout)));
    for (int k = 0; k < 8; ++k) {
      for (auto& v : samples) v = static_cast<std::int16_t>(rng());
      AppendRawEeg(b, seq++, rawSeq++, layout, samples);
      add(AsParsed(b));
    }
    const ProcessedMessage m = RandomProcessed(rng);
    const auto msgSeq = static_cast<std::uint16_t>(second);
    if (second % 4 == 1) {
      Bytes as52;
      AppendProcessed52(as52, seq, msgSeq, m);
      AppendProcessed53(b, seq++, msgSeq, m, 244);
      add(AsParsed(as52));
    } else if (second % 4 == 3) {
      AppendMessage(b, seq++, 4, 777, 0, Bytes{1, 2, 3, 4, 5});  // unused ids are handed out too
      add(AsParsed(b));
      AppendAck(b, seq++, false);
      add(std::nullopt);
    } else {
      (second % 4 == 0 ? AppendProcessed52 : AppendProcessed1122)(b, seq++, msgSeq, m);
      add(AsParsed(b));
    }
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
  Bytes out;
  AppendMessage(out, 0, 4, id, 0, Bytes(payloadLength, 0x11));
  return out;
}

inline Bytes RawEeg128(std::uint16_t msgSeq = 0) {
  std::vector<std::int16_t> samples(32);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(100 * i - 1000);
  Bytes out;
  AppendRawEeg(out, msgSeq, msgSeq, RawLayout::TwoChannels128, samples);
  return out;
}

// Idle line: zeros never hold a sync pair, and 2058 of them settle a damaged
// header that announced up to 2048 bytes.
inline void AppendIdle(Bytes& stream) { stream.insert(stream.end(), kMaxPacketBytes, 0); }

}  // namespace qs::test
