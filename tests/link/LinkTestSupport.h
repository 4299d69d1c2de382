#pragma once
// Helpers shared by the link tests: a ring and a parser with their two events,
// streams of encoded packets, and feeding a stream in pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <stdexcept>
#include <vector>

#include "link/PacketEncoder.h"
#include "link/PacketFormat.h"
#include "link/PacketParser.h"
#include "link/RxRing.h"
#include "platform/Events.h"

namespace qs::test {

using Bytes = std::vector<std::uint8_t>;

// One message as ParsePacket handed it out.
struct Parsed {
  std::uint16_t id = 0;
  Bytes bytes;  // PacketLength() bytes of Packet()
  friend bool operator==(const Parsed&, const Parsed&) = default;
};

// The receive side as the receive thread owns it. The ring is 16 kB, so the
// harness lives on the heap.
struct Receiver {
  EventGroup group;
  AutoResetEvent ack{group};
  AutoResetEvent nak{group};
  RxRing ring;
  PacketParser parser{ring, &ack, &nak};

  static std::unique_ptr<Receiver> Make() { return std::make_unique<Receiver>(); }

  void Reset() {
    ring.Reset();
    parser.Reset();
    ack.Reset();
    nak.Reset();
  }

  // Appends all of bytes (the tests never overfill the ring).
  void Feed(std::span<const std::uint8_t> bytes) {
    const std::size_t appended = ring.Append(bytes.data(), bytes.size());
    if (appended != bytes.size()) throw std::runtime_error("test stream overfilled the ring");
  }

  // Calls ParsePacket until it returns 0, collecting what it hands out.
  void Drain(std::vector<Parsed>& out) {
    while (const std::uint16_t id = parser.ParsePacket()) {
      const std::uint8_t* p = parser.Packet();
      out.push_back(Parsed{id, Bytes(p, p + parser.PacketLength())});
    }
  }

  std::vector<Parsed> ParseWhole(std::span<const std::uint8_t> stream) {
    std::vector<Parsed> out;
    Feed(stream);
    Drain(out);
    return out;
  }

  // Feeds the stream in random pieces of 1 .. maxPiece bytes, draining after each.
  std::vector<Parsed> ParseInPieces(std::span<const std::uint8_t> stream, std::mt19937& rng,
                                    std::size_t maxPiece) {
    std::vector<Parsed> out;
    std::uniform_int_distribution<std::size_t> pieceSize(1, maxPiece);
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = std::min(pieceSize(rng), stream.size() - at);
      Feed(stream.subspan(at, n));
      Drain(out);
      at += n;
    }
    return out;
  }
};

// The packet that starts at offset `at` of an encoded stream, as ParsePacket
// would hand it out.
inline Parsed PacketAt(const Bytes& stream, std::size_t at) {
  const std::size_t length = GetU16(&stream[at + kOffDataLength]) + 10u;
  return Parsed{GetU16(&stream[at + kOffMsgId]),
                Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at),
                      stream.begin() + static_cast<std::ptrdiff_t>(at + length))};
}

inline std::vector<std::int16_t> RandomSamples(std::mt19937& rng, std::size_t n) {
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<std::int16_t> s(n);
  for (auto& v : s) v = static_cast<std::int16_t>(value(rng));
  return s;
}

inline ProcessedMessage RandomProcessed(std::mt19937& rng) {
  std::uniform_int_distribution<int> v16(-32768, 32767);
  ProcessedMessage m;
  m.gainNum = static_cast<std::int32_t>(rng());
  m.gainDen = static_cast<std::int32_t>(rng() | 1u);
  m.offsetNum = static_cast<std::int32_t>(rng());
  m.offsetDen = static_cast<std::int32_t>(rng() | 1u);
  m.engineByte = static_cast<std::uint8_t>(rng());
  for (auto& c : m.channels) {
    c.bsr = static_cast<std::int16_t>(v16(rng));
    c.sef = static_cast<std::int16_t>(v16(rng));
    c.bisBits = static_cast<std::uint16_t>(rng());
    c.bis = static_cast<std::int16_t>(v16(rng));
    c.extra1 = static_cast<std::int16_t>(v16(rng));
    c.extra2 = static_cast<std::int16_t>(v16(rng));
    c.emgLow = static_cast<std::int16_t>(v16(rng));
    c.sqi = static_cast<std::int16_t>(v16(rng));
    c.artifactFlags = static_cast<std::uint32_t>(rng());
  }
  return m;
}

// A stream holding every kind of packet the monitor sends. Each item keeps
// its encoded bytes and what ParsePacket should hand out for it: nothing for
// acknowledgements, the 52 it turns into for a 53.
struct StreamItem {
  Bytes bytes;
  std::optional<Parsed> expected;
};

struct MixedStream {
  std::vector<StreamItem> items;
  Bytes bytes;                   // the items back to back
  std::vector<Parsed> expected;  // the items' expected messages in order
};

inline Parsed AsParsed(const Bytes& packet) {
  return PacketAt(packet, 0);
}

inline void Finish(MixedStream& s) {
  s.bytes.clear();
  s.expected.clear();
  for (const auto& item : s.items) {
    s.bytes.insert(s.bytes.end(), item.bytes.begin(), item.bytes.end());
    if (item.expected) s.expected.push_back(*item.expected);
  }
}

inline MixedStream MakeMixedStream(std::mt19937& rng, int seconds) {
  MixedStream s;
  std::uint16_t packetSeq = 0;
  std::uint16_t rawSeq = 0;
  auto addMessage = [&](Bytes b) {
    Parsed p = AsParsed(b);
    s.items.push_back({std::move(b), std::move(p)});
  };
  auto addAck = [&](bool positive) {
    Bytes b;
    AppendAck(b, packetSeq++, positive);
    s.items.push_back({std::move(b), std::nullopt});
  };

  MonitorInfo info;
  for (auto& byte : info.payload) byte = static_cast<std::uint8_t>(rng());
  Bytes b;
  AppendMonitorInfo(b, packetSeq++, 0, info);
  addMessage(std::move(b));
  addAck(true);

  const RawLayout layouts[] = {RawLayout::TwoChannels128, RawLayout::TwoChannels256,
                               RawLayout::FourChannels128};
  for (int second = 0; second < seconds; ++second) {
    const RawLayout layout = layouts[second % 3];
    const auto samples =
        static_cast<std::size_t>(RawFrames(layout)) * static_cast<std::size_t>(RawChannels(layout));
    for (int k = 0; k < 8; ++k) {
      b.clear();
      AppendRawEeg(b, packetSeq++, rawSeq++, layout, RandomSamples(rng, samples));
      addMessage(std::move(b));
    }
    const ProcessedMessage m = RandomProcessed(rng);
    const auto msgSeq = static_cast<std::uint16_t>(second);
    b.clear();
    switch (second % 4) {
      case 0:
        AppendProcessed52(b, packetSeq++, msgSeq, m);
        addMessage(std::move(b));
        break;
      case 1: {
        Bytes as52;
        AppendProcessed52(as52, packetSeq, msgSeq, m);
        AppendProcessed53(b, packetSeq++, msgSeq, m, 244);
        s.items.push_back({std::move(b), AsParsed(as52)});
        break;
      }
      case 2:
        AppendProcessed1122(b, packetSeq++, msgSeq, m);
        addMessage(std::move(b));
        break;
      default: {
        // An id the system does not use is still handed out (the caller
        // ignores it).
        const std::uint8_t payload[5] = {1, 2, 3, 4, 5};
        AppendMessage(b, packetSeq++, 4, 777, 0, payload);
        addMessage(std::move(b));
        addAck(false);
        break;
      }
    }
  }
  Finish(s);
  return s;
}

// Rewrites the checksum of the packet at `at` after a test changed its bytes,
// summing independently of PacketChecksum.
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
inline Bytes Message(std::uint16_t id, std::size_t payloadLength, std::uint16_t packetSeq = 0) {
  Bytes out;
  const Bytes payload(payloadLength, 0x11);
  AppendMessage(out, packetSeq, 4, id, 0, payload);
  return out;
}

// A two-channel 128 Hz raw EEG message with some samples.
inline Bytes RawEeg128(std::uint16_t msgSeq = 0) {
  std::vector<std::int16_t> samples(32);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(100 * i - 1000);
  Bytes out;
  AppendRawEeg(out, msgSeq, msgSeq, RawLayout::TwoChannels128, samples);
  return out;
}

// Idle line after a stream: zero bytes never contain a sync pair, and 2058 of
// them let a damaged header that announced up to 2048 bytes be settled.
inline void AppendIdle(Bytes& stream) {
  stream.insert(stream.end(), kMaxPacketBytes, 0);
}

}  // namespace qs::test
