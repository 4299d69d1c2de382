// The monitor protocol: the framing parser and its receive ring (random
// damage to whole streams here; the fuzz target's corpus, replayed in every
// test run, carries what coverage-guided fuzzing found), the messages' decoding at their
// byte offsets against the encoder (whose bytes the generator's pinned
// recording holds) and the requests the system sends. Packets are exactly as
// long as the message, so a decoder reading past its fields shows up in the
// sanitizer build.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "protocol/PacketParser.h"
#include "protocol/ProtocolTestSupport.h"
#include "protocol/Requests.h"


namespace qs {
namespace {

using test::Bytes;

// One message as ParsePacket handed it out: its id and bytes.
using Parsed = std::pair<std::uint16_t, Bytes>;

// The packet at the start of `packet` as ParsePacket would hand it out.
Parsed AsParsed(const Bytes& packet) {
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

// The receive side as the receive thread owns it.
struct Receiver {
  EventGroup group;
  AutoResetEvent ack{group}, nak{group};
  RxRing ring;
  PacketParser parser;  // without listeners as the replay runs it

  explicit Receiver(bool listen = true) : parser(ring, listen ? &ack : nullptr, listen ? &nak : nullptr) {}
  // Feeds the stream in random pieces of 1 .. maxPiece bytes, copying each packet handed out to exactly its
  // length. ParsePacket may return 0 only while the ring holds fewer bytes than it says it needs.
  std::vector<Parsed> Parse(const Bytes& stream, std::size_t maxPiece = SIZE_MAX, unsigned seed = 1) {
    std::minstd_rand rng(seed);
    std::vector<Parsed> out;
    std::size_t at = 0, n = 0;
    do {
      n = std::min<std::size_t>(rng() % maxPiece + 1, stream.size() - at);
      if (ring.Append(stream.data() + at, n) != n) throw std::runtime_error("ring overfilled");
      while (const std::uint16_t id = parser.ParsePacket())
        out.emplace_back(id, Bytes(parser.Packet(), parser.Packet() + parser.PacketLength()));
      if (ring.CommittedCount() >= parser.BytesNeeded()) throw std::logic_error("a packet held back");
    } while ((at += n) < stream.size());
    return out;
  }
};

ProcessedMessage RandomProcessed(std::mt19937& rng) {
  const auto i16 = [&] { return static_cast<std::int16_t>(rng()); };
  const auto i32 = [&] { return static_cast<std::int32_t>(rng() | 1u); };
  ProcessedMessage m{i32(), i32(), i32(), i32(), static_cast<std::uint8_t>(rng()), {}};
  for (auto& c : m.channels)
    c = {i16(), i16(), std::uint16_t(rng()), i16(), i16(), i16(), i16(), i16(), std::uint32_t(rng())};
  return m;
}

// An encoded packet and what ParsePacket should hand out for it: nothing for
// an acknowledgement, the 52 it turns into for a 53.
using StreamItem = std::pair<Bytes, std::optional<Parsed>>;

// Monitor information and an ack, then per second eight raw EEG messages (the
// three layouts in turn) and one of: a 52, a 53, a 1122, an unused id and a nak.
std::vector<StreamItem> MakeMixedStream(std::mt19937& rng, int seconds) {
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

// Rewrites the checksum of a whole packet, summing independently of PacketChecksum.
void RepairChecksum(Bytes& p) {
  PutU16(&p[p.size() - 2], static_cast<std::uint16_t>(std::accumulate(p.begin() + 2, p.end() - 2, 0u)));
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A message with `payloadLength` payload bytes of 0x11.
Bytes Message(std::uint16_t id, std::size_t payloadLength) {
  return Encoded(AppendMessage, 0, 4, id, 0, Bytes(payloadLength, 0x11));
}

Bytes RawEeg128(std::uint16_t msgSeq = 0) {
  return Encoded(AppendRawEeg, msgSeq, msgSeq, RawLayout::TwoChannels128, std::vector<std::int16_t>(32, -10));
}

// ---------------------------------------------------------------------------
// The parser

// Every packet kind, split anywhere, with garbage rich in sync bytes between
// packets (false headers, some running into the packets behind) and one packet
// damaged: exactly the other packets come out, and the idle line behind them
// settles the parser.
TEST(PacketParser, SplitsAndGarbageLoseNothingAndADamagedPacketCostsThatPacketOnly) {
  for (unsigned trial = 0; trial < 420; ++trial) {
    std::mt19937 rng(trial);
    auto items = MakeMixedStream(rng, 4);
    const auto draw = [&](std::size_t a, std::size_t b) { return std::uniform_int_distribution(a, b)(rng); };
    const std::size_t k = draw(0, items.size() - 1);
    Bytes& p = items[k].first;
    const std::size_t n = p.size();
    // clang-format off
    switch (trial % 7) {
      case 0: p[draw(0, n - 1)] ^= static_cast<std::uint8_t>(draw(1, 255)); break;  // a byte changed
      case 1: PutU16(&p[n - 2], static_cast<std::uint16_t>(GetU16(&p[n - 2]) + draw(1, 65535))); break;  // checksum
      case 2: p.resize(draw(1, n - 1)); break;                                                   // cut short
      case 3: p.erase(p.begin() + static_cast<std::ptrdiff_t>(draw(0, n - 1))); break;           // a byte dropped
      case 4: PutU16(&p[kOffDataLength], static_cast<std::uint16_t>(draw(n - 9, kMaxDataLength))); break;  // longer
      case 5: PutU16(&p[kOffDataLength], static_cast<std::uint16_t>(draw(0, n - 11))); break;    // shorter length
      default: break;                                                                             // undamaged
    }
    // clang-format on
    if (trial % 7 != 6) items[k].second.reset();
    Bytes stream;
    std::vector<Parsed> expected;
    for (const auto& [bytes, handedOut] : items) {
      for (std::size_t g = trial % 2 == 0 ? 0 : draw(0, 40); g > 0; --g) {
        const std::size_t kind = draw(0, 9);
        if (kind == 0) stream.push_back(kSync0);
        stream.push_back(kind == 1 ? kSync0 : kind <= 2 ? kSync1 : static_cast<std::uint8_t>(rng()));
      }
      stream.insert(stream.end(), bytes.begin(), bytes.end());
      if (handedOut) expected.push_back(*handedOut);
    }
    // Idle line: zeros never hold a sync pair, and 2058 of them settle a
    // damaged header that announced 2048 bytes.
    stream.resize(stream.size() + kMaxPacketBytes);
    const std::size_t maxPiece = std::vector<std::size_t>{1, 2, 7, 64, 300, 5000}[trial % 6];
    Receiver rx;
    ASSERT_EQ(rx.Parse(stream, maxPiece, trial), expected)
        << "trial " << trial << ", damage " << trial % 7 << " to packet " << k << ", pieces " << maxPiece;
    ASSERT_EQ(rx.ring.CommittedCount(), 1u) << "trial " << trial << ": the idle line's last byte";
  }
}

// Edge cases of the framing, each fed whole, one byte at a time and to a parser
// without listeners (plain damage and garbage are the test above's).
//
// Among them, found by fuzzing: a 52 longer than 142 bytes (or a 1122 longer
// than 310) with a right checksum was handed out whole, and the record file,
// which keeps 142 (310) bytes of it, got a packet whose checksum bytes were
// data: the replay dropped it and saw other monitor values than the online run.
// Both are cut to their layout with lengths and checksum made right, as a 53
// comes out as the 142-byte 52 it holds, and the extra bytes are consumed.
TEST(PacketParserEdges, YieldExactlyTheValidMessagesWholeByteByByteAndWithoutListeners) {
  const Bytes raw = RawEeg128(), ack = Encoded(AppendAck, 1, true), nak = Encoded(AppendAck, 1, false);
  Bytes ackBad = ack, ackLength = ack, highId = raw, highZero = Message(0, 3);
  ackBad[9] ^= 0x80;
  PutU16(&ackLength[kOffDataLength], 2);                 // the checksum covers the length field too
  PutU32(&highId[kOffMsgId], 0x00070000u | kMsgRawEeg);  // only the low 16 bits of the id count
  PutU32(&highZero[kOffMsgId], 0x00050000u);
  RepairChecksum(highId);
  RepairChecksum(highZero);
  // A message whose payload hides a valid packet, which would turn up were
  // the message rolled back instead of consumed.
  const auto hiding = [](std::uint16_t id, std::size_t payload) {
    Bytes m = Message(id, payload);
    const Bytes hidden = Message(700, 0);
    if (payload >= hidden.size()) std::copy(hidden.begin(), hidden.end(), m.begin() + kOffPayload);
    RepairChecksum(m);
    return m;
  };
  const Bytes small52 = hiding(kMsgProcessed, 120), small1122 = hiding(kMsgProcessed4, 288),
              small50 = hiding(kMsgRawEeg, 68), small1102 = hiding(kMsgMonitorInfo, 0),
              smallest = Cat({small52, small1122, small50, small1102});
  // By hand: L = 13, class 4, id 600, P = 1, payload 0x7F; the checksum at
  // offsets 21 and 22, not one byte later as if aligned.
  Bytes odd = {0xBA, 0xAB, 0x05, 0x00, 13, 0, 1, 0, 4, 0, 0, 0, 0x58, 0x02, 0, 0, 0, 0, 1, 0, 0x7F, 0, 0};
  RepairChecksum(odd);
  Bytes aligned = odd;
  aligned.insert(aligned.begin() + 21, 0x00);
  const Bytes noMessageHeader = Cat({Encoded(AppendPacket, 1, kPacketData, Bytes{}),
                                     Encoded(AppendPacket, 2, kPacketData, Bytes{0xBA, 0xAB, 0, 0, 0})});
  const Bytes largest = Message(900, kMaxDataLength - kMessageHeaderBytes);
  std::mt19937 rng(9);
  const ProcessedMessage m = RandomProcessed(rng);
  const Bytes as52 = Encoded(AppendProcessed52, 7, 3, m), as1122 = Encoded(AppendProcessed1122, 7, 3, m);
  // The same message with 37 more payload bytes and its lengths and checksum to match.
  const auto longer = [](const Bytes& exact) {
    Bytes data(exact.begin() + 8, exact.end() - 2);
    data.insert(data.end(), 37, 0x5A);
    PutU16(&data[kOffPayloadLength - 8], static_cast<std::uint16_t>(data.size() - kMessageHeaderBytes));
    return Encoded(AppendPacket, 7, kPacketData, data);
  };
  const auto P = AsParsed;
  // Name, stream, the messages handed out, ack and nak set, committed bytes left in the ring.
  // clang-format off
  const std::tuple<std::string, Bytes, std::vector<Parsed>, bool, bool, std::size_t> cases[] = {
      {"length_13", odd, {P(odd)}, false, false, 0},
      {"length_13_checksum_one_byte_late", aligned, {}, false, false, 1},
      {"too_short_53", Cat({hiding(kMsgProcessedExt, 119), raw}), {P(raw)}, false, false, 0},
      {"too_short_52", Cat({hiding(kMsgProcessed, 119), raw}), {P(raw)}, false, false, 0},
      {"too_short_1122", Cat({hiding(kMsgProcessed4, 287), raw}), {P(raw)}, false, false, 0},
      {"too_short_50", Cat({hiding(kMsgRawEeg, 67), raw}), {P(raw)}, false, false, 0},
      {"smallest_lengths", smallest, {P(small52), P(small1122), P(small50), P(small1102)}, false, false, 0},
      {"53_plus_244", Cat({Encoded(AppendProcessed53, 7, 3, m, 244), raw}), {P(as52), P(raw)}, false, false, 0},
      {"53_plus_0", Cat({Encoded(AppendProcessed53, 7, 3, m, 0), raw}), {P(as52), P(raw)}, false, false, 0},
      {"long_52", Cat({longer(as52), raw}), {P(as52), P(raw)}, false, false, 0},
      {"long_1122", Cat({longer(as1122), raw}), {P(as1122), P(raw)}, false, false, 0},
      {"length_2049", Cat({{0xBA, 0xAB, 0, 0, 0x01, 0x08, 1, 0}, raw}), {P(raw)}, false, false, 0},
      {"length_65535", Cat({{0xBA, 0xAB, 0, 0, 0xFF, 0xFF, 1, 0}, raw}), {P(raw)}, false, false, 0},
      {"largest_length_2048", largest, {P(largest)}, false, false, 0},
      {"ack", ack, {}, true, false, 0},
      {"nak", nak, {}, false, true, 0},
      {"ack_nak_packet", Cat({ack, nak, raw}), {P(raw)}, true, true, 0},
      {"ack_wrong_checksum", Cat({ackBad, raw}), {P(raw)}, false, false, 0},
      {"ack_length_field_damaged", Cat({ackLength, raw}), {P(raw)}, false, false, 0},
      {"id_zero_does_not_end_the_call", Cat({Message(0, 4), Message(0, 0), raw}), {P(raw)}, false, false, 0},
      {"id_high_bits_ignored", Cat({highZero, highId}), {P(highId)}, false, false, 0},
      {"no_whole_message_header", Cat({noMessageHeader, raw}), {P(raw)}, false, false, 0},
      {"sync_at_the_very_end", Cat({raw, {0xBA}}), {P(raw)}, false, false, 1},
      {"header_cut_at_the_end", Cat({raw, {0xBA, 0xAB, 0, 0, 80}}), {P(raw)}, false, false, 3},
  };
  // clang-format on
  for (const auto& [name, stream, parsed, acked, naked, left] : cases) {
    SCOPED_TRACE(name);
    for (const auto& [piece, listen] :
         {std::pair{SIZE_MAX, true}, {std::size_t{1}, true}, {SIZE_MAX, false}}) {
      Receiver rx(listen);
      EXPECT_EQ(rx.Parse(stream, piece), parsed) << "pieces of " << piece << (listen ? "" : ", no listeners");
      EXPECT_EQ(std::tuple(rx.ack.IsSet(), rx.nak.IsSet(), rx.ring.CommittedCount()),
                std::tuple(acked && listen, naked && listen, left));
    }
  }
}

// A false header (L = 2048) makes the parser wait for all of the would-be data
// before the checksum shows it false, or until the input ends (AbandonPacket);
// either way the search resumes behind its sync pair.
TEST(PacketParser, BytesNeededCountsFromBehindTheSyncPairAndAFalseHeaderIsSearchedAgain) {
  Receiver rx;
  const Bytes packet = RawEeg128();  // L = 80
  auto& parser = rx.parser;
  using S = PacketParser::State;
  EXPECT_EQ(parser.BytesNeeded(), 2u);
  // Pieces of the packet: the state, bytes needed and committed bytes after each.
  // clang-format off
  const std::tuple<std::size_t, std::size_t, S, std::size_t, std::size_t> steps[] = {
      {0, 2, S::Header, 8, 0}, {2, 7, S::Header, 8, 7}, {9, 1, S::Body, 88, 8}, {10, 79, S::Body, 88, 87},
      {89, 1, S::Hunt, 2, 0}, {0, 40, S::Body, 88, 38}};
  // clang-format on
  for (const auto& [from, n, state, needed, committed] : steps) {
    rx.ring.Append(packet.data() + from, n);
    // Braces: ParsePacket runs first.
    EXPECT_EQ((std::tuple{parser.ParsePacket(), parser.CurrentState(), parser.BytesNeeded(),
                          rx.ring.CommittedCount()}),
              std::tuple(from == 89 ? kMsgRawEeg : 0, state, needed, committed));
  }
  const Bytes a = RawEeg128(8), b = Message(kMsgProcessed, 120), c = RawEeg128(9);
  for (const bool abandon : {false, true}) {
    rx.ring.Reset();  // drops a packet half assembled
    parser.Reset();
    EXPECT_EQ(std::pair(parser.CurrentState(), parser.BytesNeeded()), std::pair(S::Hunt, std::size_t{2}));
    EXPECT_EQ(rx.Parse(Cat({{0xBA, 0xAB, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00}, a, b, c})),
              std::vector<Parsed>{});
    EXPECT_EQ(std::pair(parser.CurrentState(), parser.BytesNeeded()),
              std::pair(S::Body, std::size_t{8 + 2048}));
    if (abandon) parser.AbandonPacket();
    EXPECT_EQ(rx.Parse(abandon ? Bytes{} : Bytes(kMaxPacketBytes, 0)),
              (std::vector{AsParsed(a), AsParsed(b), AsParsed(c)}))
        << abandon;
  }
}

// The parser's tests drive peeking, committing and rolling back; here the
// ring's own edges: a full ring, the wrap, and what taking does to peeking.
TEST(RxRing, KeepsOrderAcrossTheWrapAndNeverOverwritesUnreadBytes) {
  RxRing ring;
  std::uint8_t b = 0;
  std::vector<std::uint8_t> full(RxRing::kSize - 7), more(30);
  std::iota(full.begin(), full.end(), std::uint8_t{0});
  std::iota(more.begin(), more.end(), std::uint8_t{100});
  EXPECT_FALSE(ring.TakeCommitted(b) || ring.Peek(b));
  EXPECT_EQ(ring.Append(full.data(), full.size()), RxRing::kSize - 7);
  EXPECT_EQ(ring.Append(more.data(), more.size()), 7u) << "only the room left";
  EXPECT_EQ(ring.Append(more.data(), more.size()), 0u) << "a full ring takes nothing";
  for (std::size_t i = 0; i < RxRing::kSize - 7; ++i)
    ASSERT_TRUE(ring.TakeCommitted(b) && b == std::uint8_t(i)) << i;
  EXPECT_EQ(ring.Append(more.data() + 7, 23), 23u);  // 7 bytes at the end of the storage, 23 at the start
  for (int i = 0; i < 12; ++i) ring.Peek(b);
  // Peeked bytes may still be needed after a rollback.
  EXPECT_EQ(std::tuple(b, ring.PeekCount(), ring.FreeSpace()),
            std::tuple(std::uint8_t{111}, 18u, RxRing::kSize - 30));
  ASSERT_TRUE(ring.TakeCommitted(b) && b == 100);
  EXPECT_EQ(ring.PeekCount(), 29u) << "taking a committed byte moves the peek position to it";
  std::uint8_t got[40];
  ASSERT_EQ(ring.PeekBytes(got, sizeof got), 29u) << "what is left, from the end of the storage on";
  for (int i = 0; i < 29; ++i) ASSERT_EQ(got[i], 101 + i) << i;
  ring.Reset();
  EXPECT_EQ(std::tuple(ring.CommittedCount(), ring.PeekCount(), ring.FreeSpace()),
            std::tuple(0u, 0u, RxRing::kSize));
  EXPECT_FALSE(ring.Peek(b));
}

// ---------------------------------------------------------------------------
// Messages

auto Fields(const ChannelVariables& v) {
  return std::tuple(v.bsr, v.sef, v.bisBits, v.bis, v.extra1, v.extra2, v.emgLow, v.sqi, v.artifactFlags);
}

TEST(DecodeCalibration, FractionsAtTheMessagesOffsetsDividedInDouble) {
  // Id, message length, offset of the fractions: gain numerator, denominator, offset numerator, denominator.
  using Fractions = std::array<std::int32_t, 4>;
  constexpr auto kNone = std::nullopt;
  // clang-format off
  const std::tuple<std::uint16_t, std::size_t, std::size_t, Fractions, std::optional<std::pair<float, float>>> cases[] = {
      {kMsgProcessed, 142, 28, {1, 4, -900, 3}, {{0.25f, -300.0f}}},
      {kMsgProcessed4, 310, 32, {3, -2, 10, 4}, {{-1.5f, 2.5f}}},
      // In float, 16777219 / 10 would be 1677722; the double 1677721.9 is stored as 1677721.875.
      {kMsgProcessed, 142, 28, {16777219, 10, 33554435, 7}, {{1677721.875f, 4793490.5f}}},
      // A zero denominator gives none, and so do the messages without a calibration.
      {kMsgProcessed, 142, 28, {5, 0, 1, 1}, kNone},
      {kMsgProcessed, 142, 28, {5, 1, 1, 0}, kNone},
      {kMsgProcessed4, 310, 32, {5, 0, 1, 1}, kNone},
      {kMsgRawEeg, 310, 28, {1, 1, 1, 1}, kNone},
      {kMsgProcessedExt, 310, 28, {1, 1, 1, 1}, kNone},
      {kMsgMonitorInfo, 310, 28, {1, 1, 1, 1}, kNone}};
  // clang-format on
  for (const auto& [id, length, at, fractions, expected] : cases) {
    Bytes p(length, 0);
    for (std::size_t k = 0; k < 4; ++k) PutU32(&p[at + 4 * k], static_cast<std::uint32_t>(fractions[k]));
    const auto cal = DecodeCalibration(p.data(), id);
    EXPECT_EQ(cal ? std::optional(std::pair(cal->gain, cal->offset)) : std::nullopt, expected)
        << "id " << id << " fractions " << fractions[0] << "/" << fractions[1];
  }
}

TEST(ProcessedMessages, EncodedVariablesRoundTripThroughTheParserAndTheEngineByteNamesTheEngine) {
  std::mt19937 rng(5);
  const ProcessedMessage m = RandomProcessed(rng);
  const auto parsed =
      Receiver().Parse(Cat({Encoded(AppendProcessed52, 1, 1, m), Encoded(AppendProcessed53, 2, 2, m, 77),
                            Encoded(AppendProcessed1122, 3, 3, m)}));
  ASSERT_EQ(parsed.size(), 3u);
  for (const auto& [id, bytes] : parsed) {
    for (int c = 0; c < (id == kMsgProcessed ? 3 : 4); ++c) {
      const auto v = DecodeChannel(bytes.data(), id, c);
      EXPECT_EQ(v ? std::optional(Fields(*v)) : std::nullopt, Fields(m.channels[c])) << id << ", " << c;
    }
    const auto cal = DecodeCalibration(bytes.data(), id);
    EXPECT_EQ(cal ? std::pair(cal->gain, cal->offset) : std::pair(0.0f, 0.0f),
              std::pair(float(double(m.gainNum) / m.gainDen), float(double(m.offsetNum) / m.offsetDen)));
  }
  EXPECT_EQ(parsed[0].second[22], m.engineByte);
  for (const auto& [id, channel] : {std::pair{kMsgProcessed, 3}, {kMsgProcessed4, 4}, {kMsgProcessed, -1}})
    EXPECT_FALSE(DecodeChannel(parsed[id == kMsgProcessed ? 0 : 2].second.data(), id, channel)) << channel;
  EXPECT_FALSE(DecodeChannel(Bytes(310, 0x33).data(), kMsgRawEeg, 0));
  // The engine byte divided by 10 is 13 or less: engine kind 1.
  Bytes p(kProcessedBytes, 0);
  for (const auto& [byte, kind1] : {std::pair{0, true}, {139, true}, {140, false}, {255, false}}) {
    p[22] = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(ProcessedSaysEngineKind1(p.data()), kind1) << byte;
  }
}

TEST(DecodeMonitorInfo, First28PayloadBytesAndTheirCharacters) {
  Bytes p(48, 0);
  for (std::size_t i = 0; i < 28; ++i) p[20 + i] = static_cast<std::uint8_t>(i + 1);
  const auto info = DecodeMonitorInfo(p.data(), 48);
  EXPECT_EQ(info ? Bytes(info->payload, info->payload + 28) : Bytes{}, Bytes(p.begin() + 20, p.end()));
  EXPECT_FALSE(DecodeMonitorInfo(p.data(), 47)) << "too short for the fields";
  for (const auto& [c, engine, model] :
       {std::tuple{'B', 1, 0}, {'4', 2, 0}, {'V', 0, 2}, {'C', 0, 1}, {'b', 0, 0}, {'v', 0, 0}, {'\0', 0, 0}})
    EXPECT_EQ(std::pair(EngineKindFromChar(c), MonitorModelFromChar(c)), std::pair(engine, model)) << c;
}

// ---------------------------------------------------------------------------
// Requests

std::string Hex(const Request& r) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < r.length; ++i) out += {kDigits[r.bytes[i] >> 4], kDigits[r.bytes[i] & 15]};
  return out;
}

// Byte for byte: the packet counter numbers every request, the request counter
// only the start requests; class 6 for 1004, else 4; a 115 or 1025 carries one
// byte 0, a 111 the rate; the checksum sits right behind the data.
TEST(Requests, EveryRequestByteForByteWithItsCounters) {
  RequestBuilder builder;
  EXPECT_EQ(builder.Build(50).length, 0u) << "not a request: empty, and takes no number";
  const std::tuple<std::uint16_t, std::uint16_t, std::string> requests[] = {
      // sync, packet counter, L = 12, type 1 | class 6, id 1004 | request counter, P = 0 | checksum
      // clang-format off
      {kMsgRequestInfo, 256, "baab" "0000" "0c00" "0100" "06000000" "ec030000" "0000" "0000" "0201"},
      // clang-format on
      {kMsgRequestVars, 256, "baab01000d000100040000007300000001000100008800"},
      {kMsgRequestStream, 256, "baab02000e000100040000006f0000000200020000018900"},
      {kMsgStopStream, 256, "baab03000c0001000400000070000000000000008400"},
      {kMsgStopVars, 256, "baab04000c0001000400000074000000000000008900"},
      {kMsgRequestInfo, 256, "baab05000c00010006000000ec030000030000000a01"},
      {kMsgRequestVars4, 256, "baab06000d000100040000000104000004000100002200"},
      {kMsgRequestStream, 128, "baab07000e000100040000006f0000000500020080001001"},
  };
  for (const auto& [id, rateHz, bytes] : requests) EXPECT_EQ(Hex(builder.Build(id, rateHz)), bytes) << id;
}

}  // namespace
}  // namespace qs
