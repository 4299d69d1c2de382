#include <gtest/gtest.h>

#include <random>
#include <string>

#include "protocol/ProtocolTestSupport.h"
#include "protocol/PacketParser.h"

namespace qs {
namespace {

using namespace qs::test;

class PacketParserTest : public ::testing::Test {
 protected:
  std::unique_ptr<Receiver> rx_ = Receiver::Make();
};

// ---------------------------------------------------------------------------
// Framing: pieces, garbage and damage

TEST_F(PacketParserTest, AnySplitOfAValidStreamYieldsTheSameMessages) {
  std::mt19937 rng(20240611);
  const auto items = MakeMixedStream(rng, 6);
  const Bytes stream = Join(items);
  const auto expected = Expected(items);
  ASSERT_EQ(expected.size(), 1u + 6 * 9);
  EXPECT_EQ(rx_->ParseWhole(stream), expected);
  EXPECT_EQ(rx_->ring.CommittedCount(), 0u);
  for (unsigned seed = 0; seed < 20; ++seed) {
    for (const std::size_t maxPiece : {1u, 2u, 7u, 64u, 300u, 2000u}) {
      std::mt19937 pieces(seed);
      rx_->Reset();
      ASSERT_EQ(rx_->ParseInPieces(stream, pieces, maxPiece), expected)
          << "seed " << seed << ", pieces up to " << maxPiece;
      ASSERT_EQ(rx_->ring.CommittedCount(), 0u);
    }
  }
}

TEST_F(PacketParserTest, GarbageBetweenPacketsLosesNothingAndADamagedPacketCostsThatPacketOnly) {
  for (unsigned trial = 0; trial < 420; ++trial) {
    std::mt19937 rng(trial);
    auto items = MakeMixedStream(rng, 2);
    const auto index = [&](std::size_t lo, std::size_t hi) {
      return std::uniform_int_distribution<std::size_t>(lo, hi)(rng);
    };
    const std::size_t k = index(0, items.size() - 1);
    Bytes& p = items[k].bytes;
    const std::size_t n = p.size();
    switch (trial % 7) {
      case 0:  // a byte changed
        p[index(0, n - 1)] ^= static_cast<std::uint8_t>(index(1, 255));
        break;
      case 1:  // wrong checksum
        PutU16(&p[n - 2], static_cast<std::uint16_t>(GetU16(&p[n - 2]) + index(1, 65535)));
        break;
      case 2:  // cut short
        p.resize(index(1, n - 1));
        break;
      case 3:  // a byte dropped
        p.erase(p.begin() + static_cast<std::ptrdiff_t>(index(0, n - 1)));
        break;
      case 4:  // longer length
        PutU16(&p[kOffDataLength], static_cast<std::uint16_t>(index(n - 9, kMaxDataLength)));
        break;
      case 5:  // shorter length
        PutU16(&p[kOffDataLength], static_cast<std::uint16_t>(index(0, n - 11)));
        break;
      default:  // undamaged
        break;
    }
    if (trial % 7 != 6) items[k].expected.reset();
    // In every other trial, garbage rich in sync bytes and pairs before each
    // packet, so that false headers (some running into the packets behind) occur.
    Bytes stream;
    for (const auto& item : items) {
      for (std::size_t g = trial % 2 == 0 ? 0 : index(0, 40); g > 0; --g) {
        const std::size_t kind = index(0, 9);
        if (kind == 0) stream.push_back(kSync0);
        stream.push_back(kind == 1 ? kSync0 : kind <= 2 ? kSync1 : static_cast<std::uint8_t>(rng()));
      }
      stream.insert(stream.end(), item.bytes.begin(), item.bytes.end());
    }
    AppendIdle(stream);
    rx_->Reset();
    ASSERT_EQ(rx_->ParseInPieces(stream, rng, 200), Expected(items))
        << "trial " << trial << ", damage " << trial % 7 << " to packet " << k;
  }
}

// ---------------------------------------------------------------------------
// Malformed inputs, each fed whole and one byte at a time.

struct MalformedCase {
  std::string name;
  Bytes stream;
  std::vector<std::uint16_t> ids;
  bool ack = false, nak = false;
  std::size_t left = 0;  // committed bytes still in the ring at the end
};

std::vector<MalformedCase> MalformedCorpus() {
  const Bytes raw = RawEeg128();
  Bytes ack, nak;
  AppendAck(ack, 1, true);
  AppendAck(nak, 1, false);
  Bytes ackBad = ack, nakBad = nak, ackLength = ack;
  ackBad[9] ^= 0x80;
  nakBad[8] ^= 0x01;
  PutU16(&ackLength[kOffDataLength], 2);  // the checksum covers the length field too
  Bytes wrongChecksum = Message(kMsgProcessed, 120);
  wrongChecksum.back() ^= 0x04;
  Bytes truncated = Message(kMsgProcessed, 120);
  truncated.resize(70);
  Bytes unknownType = Message(kMsgProcessed, 120);
  PutU16(&unknownType[kOffType], 9);
  RepairChecksum(unknownType);
  Bytes carrier = Message(901, 200);  // a valid packet inside a damaged one
  std::copy(raw.begin(), raw.end(), carrier.begin() + 60);
  carrier[30] ^= 0xFF;
  Bytes highId = raw, highZero = Message(0, 3);  // only the low 16 bits of the id count
  PutU32(&highId[kOffMsgId], 0x00070000u | kMsgRawEeg);
  PutU32(&highZero[kOffMsgId], 0x00050000u);
  RepairChecksum(highId);
  RepairChecksum(highZero);
  Bytes empty, five;
  AppendPacket(empty, 1, kPacketData, {});
  AppendPacket(five, 2, kPacketData, Bytes{0xBA, 0xAB, 0, 0, 0});
  // A message whose payload hides a valid packet, which would turn up were
  // the message rolled back instead of consumed.
  const auto hiding = [](std::uint16_t id, std::size_t payload) {
    Bytes m = Message(id, payload);
    const Bytes hidden = Message(700, 0);
    if (payload >= hidden.size()) std::copy(hidden.begin(), hidden.end(), m.begin() + kOffPayload);
    RepairChecksum(m);
    return m;
  };
  // By hand: L = 13, class 4, id 600, P = 1, payload 0x7F; the checksum at
  // offsets 21 and 22, not one byte later as if aligned.
  Bytes odd = {0xBA, 0xAB, 0x05, 0x00, 13, 0, 1, 0, 4, 0, 0, 0, 0x58, 0x02, 0, 0, 0, 0, 1, 0, 0x7F, 0, 0};
  RepairChecksum(odd);
  Bytes aligned = odd;
  aligned.insert(aligned.begin() + 21, 0x00);
  return {
      {"length_13", odd, {600}},
      {"length_13_checksum_one_byte_late", aligned, {}, false, false, 1},
      {"too_short_53", Cat({hiding(kMsgProcessedExt, 119), raw}), {kMsgRawEeg}},
      {"too_short_52", Cat({hiding(kMsgProcessed, 119), raw}), {kMsgRawEeg}},
      {"too_short_1122", Cat({hiding(kMsgProcessed4, 287), raw}), {kMsgRawEeg}},
      {"too_short_50", Cat({hiding(kMsgRawEeg, 67), raw}), {kMsgRawEeg}},
      {"smallest_lengths",
       Cat({hiding(kMsgProcessed, 120), hiding(kMsgProcessed4, 288), hiding(kMsgRawEeg, 68),
            hiding(kMsgMonitorInfo, 0)}),
       {kMsgProcessed, kMsgProcessed4, kMsgRawEeg, kMsgMonitorInfo}},
      {"ba_ba_ab", Cat({{0xBA}, raw}), {kMsgRawEeg}},
      {"bare_sync_pairs", Cat({{0xBA, 0xAB, 0xBA, 0xAB, 0xBA, 0xAB}, raw}), {kMsgRawEeg}},
      {"run_of_0xBA", Cat({Bytes(100, 0xBA), raw}), {kMsgRawEeg}},
      {"length_2049", Cat({{0xBA, 0xAB, 0, 0, 0x01, 0x08, 1, 0}, raw}), {kMsgRawEeg}},
      {"length_65535", Cat({{0xBA, 0xAB, 0, 0, 0xFF, 0xFF, 1, 0}, raw}), {kMsgRawEeg}},
      {"largest_length_2048", Message(900, kMaxDataLength - kMessageHeaderBytes), {900}},
      {"unknown_type", Cat({unknownType, raw}), {kMsgRawEeg}},
      {"type_zero", Cat({{0xBA, 0xAB, 0, 0, 0, 0, 0, 0, 0, 0}, raw}), {kMsgRawEeg}},
      {"ack", ack, {}, true, false},
      {"nak", nak, {}, false, true},
      {"ack_nak_packet", Cat({ack, nak, raw}), {kMsgRawEeg}, true, true},
      {"ack_wrong_checksum", Cat({ackBad, raw}), {kMsgRawEeg}},
      {"nak_wrong_checksum", Cat({nakBad, raw}), {kMsgRawEeg}},
      {"ack_length_field_damaged", Cat({ackLength, raw}), {kMsgRawEeg}},
      {"wrong_checksum", Cat({wrongChecksum, raw}), {kMsgRawEeg}},
      {"truncated_packet", Cat({truncated, raw}), {kMsgRawEeg}},
      {"packet_inside_damaged_packet", Cat({carrier, raw}), {kMsgRawEeg, kMsgRawEeg}},
      {"id_zero_does_not_end_the_call", Cat({Message(0, 4), Message(0, 0), raw}), {kMsgRawEeg}},
      {"id_high_bits_ignored", Cat({highZero, highId}), {kMsgRawEeg}},
      {"no_whole_message_header", Cat({empty, five, raw}), {kMsgRawEeg}},
      {"empty_data_packet", empty, {}},
      {"sync_at_the_very_end", Cat({raw, {0xBA}}), {kMsgRawEeg}, false, false, 1},
      {"header_cut_at_the_end", Cat({raw, {0xBA, 0xAB, 0, 0, 80}}), {kMsgRawEeg}, false, false, 3},
  };
}

class MalformedInputTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedInputTest, YieldsExactlyTheValidMessages) {
  const auto& c = GetParam();
  for (const std::size_t piece : {c.stream.size(), std::size_t{1}}) {
    auto rx = Receiver::Make();
    std::mt19937 rng(1);
    EXPECT_EQ(Ids(rx->ParseInPieces(c.stream, rng, piece)), c.ids) << "pieces of " << piece;
    EXPECT_EQ(rx->ack.IsSet(), c.ack);
    EXPECT_EQ(rx->nak.IsSet(), c.nak);
    EXPECT_EQ(rx->ring.CommittedCount(), c.left);
    EXPECT_LT(rx->ring.CommittedCount(), rx->parser.BytesNeeded());
  }
  // The replay's parser has no events to set.
  auto ring = std::make_unique<RxRing>();
  PacketParser parser(*ring, nullptr, nullptr);
  ring->Append(c.stream.data(), c.stream.size());
  std::vector<std::uint16_t> ids;
  while (const std::uint16_t id = parser.ParsePacket()) ids.push_back(id);
  EXPECT_EQ(ids, c.ids) << "without listeners";
}

INSTANTIATE_TEST_SUITE_P(Corpus, MalformedInputTest, ::testing::ValuesIn(MalformedCorpus()),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Messages as handed out

TEST_F(PacketParserTest, Message53ComesOutAsA142Byte52WithValidChecksum) {
  std::mt19937 rng(5);
  for (const int extra : {244, 0}) {
    const ProcessedMessage m = RandomProcessed(rng);
    Bytes ext, as52;
    AppendProcessed53(ext, 41, 5, m, extra);
    AppendProcessed52(as52, 41, 5, m);
    ASSERT_EQ(ext.size(), 142u + extra);
    rx_->Reset();
    rx_->Feed(Cat({ext, RawEeg128()}));
    ASSERT_EQ(rx_->parser.ParsePacket(), kMsgProcessed);
    const std::uint8_t* p = rx_->parser.Packet();
    ASSERT_EQ(rx_->parser.PacketLength(), 142);
    EXPECT_EQ(GetU32(p + kOffMsgId), 52u);
    EXPECT_EQ(GetU16(p + kOffDataLength), 132);
    EXPECT_EQ(GetU16(p + kOffPayloadLength), 120);
    unsigned sum = 0;
    for (int i = 2; i < 140; ++i) sum += p[i];
    EXPECT_EQ(GetU16(p + 140), static_cast<std::uint16_t>(sum));
    EXPECT_EQ(Bytes(p, p + 142), as52);
    EXPECT_EQ(rx_->parser.ParsePacket(), kMsgRawEeg) << "the 53's extra bytes were consumed";
  }
}

TEST_F(PacketParserTest, OverlongProcessedMessagesComeOutCutToTheirLayoutWithValidChecksums) {
  // Found by fuzzing: a 52 longer than 142 bytes (or a 1122 longer than 310)
  // with a right checksum was handed out whole, and the record file, which
  // keeps 142 (310) bytes of it, got a packet whose checksum bytes were data:
  // the replay dropped it and saw other monitor values than the online run.
  std::mt19937 rng(9);
  const ProcessedMessage m = RandomProcessed(rng);
  for (const bool four : {false, true}) {
    Bytes exact;
    four ? AppendProcessed1122(exact, 7, 3, m) : AppendProcessed52(exact, 7, 3, m);
    // The same message with 37 more payload bytes and its lengths and checksum to match.
    Bytes data(exact.begin() + 8, exact.end() - 2);
    data.insert(data.end(), 37, 0x5A);
    PutU16(&data[kOffPayloadLength - 8], static_cast<std::uint16_t>(data.size() - kMessageHeaderBytes));
    Bytes longer;
    AppendPacket(longer, 7, kPacketData, data);
    rx_->Reset();
    rx_->Feed(Cat({longer, RawEeg128()}));
    ASSERT_EQ(rx_->parser.ParsePacket(), four ? kMsgProcessed4 : kMsgProcessed);
    const std::uint8_t* p = rx_->parser.Packet();
    ASSERT_EQ(rx_->parser.PacketLength(), static_cast<int>(exact.size()));
    EXPECT_EQ(Bytes(p, p + exact.size()), exact) << "lengths and checksum as a message of the layout";
    EXPECT_EQ(rx_->parser.ParsePacket(), kMsgRawEeg) << "the extra bytes were consumed";
  }
}

// ---------------------------------------------------------------------------
// State between calls

TEST_F(PacketParserTest, BytesNeededCountsFromBehindTheSyncPairInEachState) {
  const Bytes packet = RawEeg128();  // L = 80
  auto& parser = rx_->parser;
  const auto feed = [&](std::size_t from, std::size_t n) {
    rx_->Feed(std::span(packet).subspan(from, n));
    return parser.ParsePacket();
  };
  using S = PacketParser::State;
  EXPECT_EQ(parser.BytesNeeded(), 2u);
  EXPECT_EQ(feed(0, 2), 0);
  EXPECT_EQ(parser.CurrentState(), S::Header);
  EXPECT_EQ(parser.BytesNeeded(), 8u);
  EXPECT_EQ(feed(2, 7), 0);
  EXPECT_EQ(parser.CurrentState(), S::Header) << "7 of the 8 header bytes";
  EXPECT_EQ(feed(9, 1), 0);
  EXPECT_EQ(parser.CurrentState(), S::Body);
  EXPECT_EQ(parser.BytesNeeded(), 8u + 80u);
  EXPECT_EQ(rx_->ring.CommittedCount(), 8u);
  EXPECT_EQ(feed(10, 79), 0);
  EXPECT_EQ(rx_->ring.CommittedCount(), 87u);
  EXPECT_EQ(feed(89, 1), kMsgRawEeg);
  EXPECT_EQ(parser.CurrentState(), S::Hunt);

  // Reset drops a packet half assembled.
  EXPECT_EQ(feed(0, 40), 0);
  rx_->Reset();
  EXPECT_EQ(parser.CurrentState(), S::Hunt);
  EXPECT_EQ(parser.BytesNeeded(), 2u);
  EXPECT_EQ(Ids(rx_->ParseWhole(packet)), std::vector<std::uint16_t>{kMsgRawEeg});
}

TEST_F(PacketParserTest, FalseHeaderIsSearchedAgainFromBehindItsSyncPair) {
  // L = 2048: the parser waits for all of the would-be data before the
  // checksum shows the header false, or until the input ends (AbandonPacket).
  const Bytes a = RawEeg128(8), b = Message(kMsgProcessed, 120), c = RawEeg128(9);
  const std::vector<Parsed> expected = {AsParsed(a), AsParsed(b), AsParsed(c)};
  for (const bool abandon : {false, true}) {
    rx_->Reset();
    rx_->Feed(Cat({{0xBA, 0xAB, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00}, a, b, c}));
    EXPECT_EQ(rx_->parser.ParsePacket(), 0);
    EXPECT_EQ(rx_->parser.CurrentState(), PacketParser::State::Body);
    EXPECT_EQ(rx_->parser.BytesNeeded(), 8u + 2048u);
    if (abandon) {
      rx_->parser.AbandonPacket();
      EXPECT_EQ(rx_->parser.CurrentState(), PacketParser::State::Hunt);
    } else {
      Bytes idle;
      AppendIdle(idle);
      rx_->Feed(idle);
    }
    std::vector<Parsed> parsed;
    rx_->Drain(parsed);
    EXPECT_EQ(parsed, expected) << (abandon ? "abandoned" : "rolled back");
  }
}

}  // namespace
}  // namespace qs
