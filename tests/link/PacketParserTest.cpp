#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "link/LinkTestSupport.h"
#include "link/PacketParser.h"

namespace qs {
namespace {

using test::Bytes;
using test::Cat;
using test::Message;
using test::Parsed;
using test::RawEeg128;
using test::RepairChecksum;

std::vector<std::uint16_t> Ids(const std::vector<Parsed>& parsed) {
  std::vector<std::uint16_t> ids;
  for (const auto& p : parsed) ids.push_back(p.id);
  return ids;
}

class PacketParserTest : public ::testing::Test {
 protected:
  std::unique_ptr<test::Receiver> rx_ = test::Receiver::Make();
  std::mt19937 rng_{20240611};
};

// ---------------------------------------------------------------------------
// Framing: pieces, garbage and damage

TEST_F(PacketParserTest, WholeStreamYieldsEveryMessageInOrderWithItsBytes) {
  const auto s = test::MakeMixedStream(rng_, 8);
  ASSERT_EQ(s.expected.size(), 1u + 8 * 8 + 8);
  EXPECT_EQ(rx_->ParseWhole(s.bytes), s.expected);
  EXPECT_EQ(rx_->ring.CommittedCount(), 0u) << "every byte of a clean stream is consumed";
}

TEST_F(PacketParserTest, SingleBytesOverManyCallsYieldTheSameMessages) {
  const auto s = test::MakeMixedStream(rng_, 4);
  EXPECT_EQ(rx_->ParseInPieces(s.bytes, rng_, 1), s.expected);
}

TEST_F(PacketParserTest, AnySplitOfAStreamYieldsTheSameMessageSequence) {
  const auto s = test::MakeMixedStream(rng_, 6);
  for (unsigned seed = 0; seed < 40; ++seed) {
    for (const std::size_t maxPiece : {2u, 7u, 64u, 300u, 2000u}) {
      std::mt19937 pieces(seed);
      rx_->Reset();
      ASSERT_EQ(rx_->ParseInPieces(s.bytes, pieces, maxPiece), s.expected)
          << "seed " << seed << ", pieces up to " << maxPiece;
    }
  }
}

TEST_F(PacketParserTest, RandomGarbageBetweenPacketsLosesNothing) {
  // Garbage rich in sync bytes and whole sync pairs, so that false headers
  // (some announcing long data that runs into the following packets) occur.
  for (unsigned seed = 0; seed < 30; ++seed) {
    std::mt19937 rng(seed);
    const auto s = test::MakeMixedStream(rng, 3);
    Bytes stream;
    std::uniform_int_distribution<int> garbageLength(0, 40);
    std::uniform_int_distribution<int> pick(0, 9);
    for (const auto& item : s.items) {
      for (int n = garbageLength(rng); n > 0; --n) {
        const int k = pick(rng);
        if (k == 0) {
          stream.push_back(kSync0);
          stream.push_back(kSync1);
        } else {
          stream.push_back(k == 1 ? kSync0 : k == 2 ? kSync1 : static_cast<std::uint8_t>(rng()));
        }
      }
      stream.insert(stream.end(), item.bytes.begin(), item.bytes.end());
    }
    test::AppendIdle(stream);
    rx_->Reset();
    ASSERT_EQ(rx_->ParseInPieces(stream, rng, 97), s.expected) << "seed " << seed;
  }
}

enum class Damage { FlipByte, WrongChecksum, CutShort, DropByte, LongerLength, ShorterLength };

void Apply(Damage damage, Bytes& packet, std::mt19937& rng) {
  auto index = [&](std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng);
  };
  const std::size_t n = packet.size();
  switch (damage) {
    case Damage::FlipByte:
      packet[index(0, n - 1)] ^= static_cast<std::uint8_t>(index(1, 255));
      break;
    case Damage::WrongChecksum: {
      const auto delta = static_cast<std::uint16_t>(index(1, 65535));
      PutU16(&packet[n - 2], static_cast<std::uint16_t>(GetU16(&packet[n - 2]) + delta));
      break;
    }
    case Damage::CutShort:
      packet.resize(index(1, n - 1));
      break;
    case Damage::DropByte:
      packet.erase(packet.begin() + static_cast<std::ptrdiff_t>(index(0, n - 1)));
      break;
    case Damage::LongerLength:
      PutU16(&packet[kOffDataLength], static_cast<std::uint16_t>(index(n - 9, kMaxDataLength)));
      break;
    case Damage::ShorterLength:
      PutU16(&packet[kOffDataLength], static_cast<std::uint16_t>(index(0, n - 11)));
      break;
  }
}

TEST_F(PacketParserTest, ADamagedPacketCostsThatPacketOnly) {
  const Damage kinds[] = {Damage::FlipByte, Damage::WrongChecksum, Damage::CutShort,
                          Damage::DropByte, Damage::LongerLength,  Damage::ShorterLength};
  for (unsigned trial = 0; trial < 300; ++trial) {
    std::mt19937 rng(trial);
    auto s = test::MakeMixedStream(rng, 2);
    const std::size_t k = std::uniform_int_distribution<std::size_t>(0, s.items.size() - 1)(rng);
    const Damage damage = kinds[trial % 6];
    Apply(damage, s.items[k].bytes, rng);
    s.items[k].expected.reset();
    test::Finish(s);
    // The line goes on delivering, so a length made longer by the damage
    // is settled rather than left waiting for its data.
    test::AppendIdle(s.bytes);
    rx_->Reset();
    ASSERT_EQ(rx_->ParseInPieces(s.bytes, rng, 200), s.expected)
        << "trial " << trial << ", damage " << static_cast<int>(damage) << " to packet " << k;
  }
}

TEST_F(PacketParserTest, BaBaAbFollowedByAValidPacketYieldsThePacket) {
  const Bytes packet = RawEeg128();
  const Bytes stream = Cat({{0xBA}, packet});  // BA BA AB ...
  const auto parsed = rx_->ParseWhole(stream);
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0], test::AsParsed(packet));
}

TEST_F(PacketParserTest, SyncPairSplitAcrossTwoArrivalsIsFound) {
  const Bytes packet = RawEeg128();
  const std::uint8_t garbage[] = {0x00, 0x13, 0xBA};
  rx_->Feed(garbage);
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  EXPECT_EQ(rx_->ring.CommittedCount(), 1u) << "a lone 0xBA waits for the byte behind it";
  rx_->Feed(std::span(packet).subspan(1));
  EXPECT_EQ(rx_->parser.ParsePacket(), kMsgRawEeg);
  EXPECT_EQ(Bytes(rx_->parser.Packet(), rx_->parser.Packet() + rx_->parser.PacketLength()), packet);
}

TEST_F(PacketParserTest, HeaderWithLength2049IsSkippedAndAPacketInsideItsWouldBeDataIsFound) {
  const Bytes packet = RawEeg128();
  Bytes falseHeader = {0xBA, 0xAB, 0x00, 0x00, 0x01, 0x08, 0x01, 0x00};  // L = 2049, type 1
  const auto parsed = rx_->ParseWhole(Cat({falseHeader, packet}));
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0], test::AsParsed(packet));
}

TEST_F(PacketParserTest, FalseHeaderWithAnAcceptableLengthIsRolledBackOnceItsDataIsIn) {
  // L = 2048: the parser must wait for all of the would-be data before the
  // checksum shows that the header was false; then the packets it covered
  // are searched again.
  const Bytes falseHeader = {0xBA, 0xAB, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00};
  const Bytes a = RawEeg128(8), b = Message(kMsgProcessed, 120), c = RawEeg128(9);
  rx_->Feed(Cat({falseHeader, a, b, c}));
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  EXPECT_EQ(rx_->parser.CurrentState(), PacketParser::State::Body);
  EXPECT_EQ(rx_->parser.BytesNeeded(), 8u + 2048u);
  Bytes idle;
  test::AppendIdle(idle);
  std::vector<Parsed> parsed;
  rx_->Feed(idle);
  rx_->Drain(parsed);
  EXPECT_EQ(parsed, (std::vector<Parsed>{test::AsParsed(a), test::AsParsed(b), test::AsParsed(c)}));
}

TEST_F(PacketParserTest, HeaderOfAnUnknownTypeIsSearchedAgainFromBehindItsSyncPair) {
  // A sync pair directly before a packet: the "header" it starts is the real
  // packet's sync, sequence and length, so its type field reads 80.
  const Bytes packet = RawEeg128();
  const auto parsed = rx_->ParseWhole(Cat({{0xBA, 0xAB}, packet}));
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0], test::AsParsed(packet));
}

// ---------------------------------------------------------------------------
// Acknowledgements

TEST_F(PacketParserTest, AckWithRightChecksumSetsAckEventOnlyAndIsConsumed) {
  Bytes ack;
  AppendAck(ack, 7, true);
  ASSERT_EQ(ack.size(), 10u);
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  rx_->Feed(ack);
  EXPECT_EQ(rx_->parser.ParsePacket(), 0) << "acknowledgements are not messages";
  EXPECT_TRUE(rx_->ack.IsSet());
  EXPECT_FALSE(rx_->nak.IsSet());
  EXPECT_EQ(rx_->ring.CommittedCount(), 0u);
}

TEST_F(PacketParserTest, NakWithRightChecksumSetsNakEventOnly) {
  Bytes nak;
  AppendAck(nak, 7, false);
  rx_->Feed(nak);
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  EXPECT_TRUE(rx_->nak.IsSet());
  EXPECT_FALSE(rx_->ack.IsSet());
  EXPECT_EQ(rx_->ring.CommittedCount(), 0u);
}

TEST_F(PacketParserTest, AckOrNakWithWrongChecksumSetsNoEvent) {
  for (const bool positive : {true, false}) {
    Bytes ack;
    AppendAck(ack, 7, positive);
    ack[8] ^= 0x01;
    rx_->Reset();
    const Bytes packet = RawEeg128();
    const auto parsed = rx_->ParseWhole(Cat({ack, packet}));
    EXPECT_FALSE(rx_->ack.IsSet());
    EXPECT_FALSE(rx_->nak.IsSet());
    EXPECT_EQ(Ids(parsed), std::vector<std::uint16_t>{kMsgRawEeg}) << "the packet behind it is still found";
  }
}

TEST_F(PacketParserTest, AckInTheMiddleOfTheStreamDoesNotEndTheCall) {
  Bytes ack;
  AppendAck(ack, 3, true);
  rx_->Feed(Cat({ack, RawEeg128()}));
  EXPECT_EQ(rx_->parser.ParsePacket(), kMsgRawEeg);
  EXPECT_TRUE(rx_->ack.IsSet());
}

TEST_F(PacketParserTest, AckSplitIntoSingleBytesSetsTheEventOnce) {
  Bytes ack;
  AppendAck(ack, 3, true);
  for (std::size_t i = 0; i < ack.size(); ++i) {
    EXPECT_FALSE(rx_->ack.IsSet()) << "before byte " << i;
    rx_->Feed(std::span(ack).subspan(i, 1));
    EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  }
  EXPECT_TRUE(rx_->ack.Wait(0));
  EXPECT_FALSE(rx_->ack.IsSet());
}

TEST_F(PacketParserTest, ParserWithoutListenersConsumesAcknowledgements) {
  // The replay has no send thread: its parser gets no events.
  auto ring = std::make_unique<RxRing>();
  PacketParser parser(*ring, nullptr, nullptr);
  Bytes stream;
  AppendAck(stream, 1, true);
  AppendAck(stream, 2, false);
  stream = Cat({stream, RawEeg128()});
  ring->Append(stream.data(), stream.size());
  EXPECT_EQ(parser.ParsePacket(), kMsgRawEeg);
  EXPECT_EQ(parser.ParsePacket(), 0);
}

// ---------------------------------------------------------------------------
// Messages as handed out

TEST_F(PacketParserTest, Message53Of386BytesComesOutAsA142Byte52WithValidChecksum) {
  ProcessedMessage m = test::RandomProcessed(rng_);
  Bytes ext, as52;
  AppendProcessed53(ext, 41, 5, m, 244);
  ASSERT_EQ(ext.size(), 386u);
  AppendProcessed52(as52, 41, 5, m);
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
  EXPECT_EQ(Bytes(p, p + 142), as52) << "the same variables as the 52 of that message";

  EXPECT_EQ(rx_->parser.ParsePacket(), kMsgRawEeg) << "the 53's extra bytes were consumed";
}

TEST_F(PacketParserTest, Message53OfExactly142BytesIsConvertedToo) {
  ProcessedMessage m = test::RandomProcessed(rng_);
  Bytes ext, as52;
  AppendProcessed53(ext, 1, 2, m, 0);
  AppendProcessed52(as52, 1, 2, m);
  const auto parsed = rx_->ParseWhole(ext);
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0], test::AsParsed(as52));
}

TEST_F(PacketParserTest, MessagesTooShortForTheirFixedFieldsAreConsumedNotHandedOut) {
  // Each short message hides a valid packet in its payload: were it rolled
  // back instead of consumed, the hidden packet would turn up.
  const Bytes hidden = Message(700, 0);
  const struct {
    std::uint16_t id;
    std::size_t payload;
  } cases[] = {{kMsgProcessedExt, 119}, {kMsgProcessed, 119}, {kMsgProcessed4, 287}, {kMsgRawEeg, 67}};
  for (const auto& c : cases) {
    Bytes shortMessage = Message(c.id, c.payload);
    std::copy(hidden.begin(), hidden.end(), shortMessage.begin() + kOffPayload);
    RepairChecksum(shortMessage);
    rx_->Reset();
    const auto parsed = rx_->ParseWhole(Cat({shortMessage, RawEeg128()}));
    EXPECT_EQ(Ids(parsed), std::vector<std::uint16_t>{kMsgRawEeg}) << "id " << c.id;
    EXPECT_EQ(rx_->ring.CommittedCount(), 0u);
  }
}

TEST_F(PacketParserTest, MessagesOfTheirSmallestLengthAreHandedOut) {
  const struct {
    std::uint16_t id;
    std::size_t payload;
  } cases[] = {{kMsgProcessed, 120}, {kMsgProcessed4, 288}, {kMsgRawEeg, 68}, {kMsgMonitorInfo, 0}};
  for (const auto& c : cases) {
    rx_->Reset();
    const auto parsed = rx_->ParseWhole(Message(c.id, c.payload));
    EXPECT_EQ(Ids(parsed), std::vector<std::uint16_t>{c.id});
  }
}

TEST_F(PacketParserTest, MessageWithIdZeroIsConsumedAndTheSearchGoesOn) {
  // 0 is ParsePacket's "nothing complete yet", so an id-0 message must not
  // end the call while packets are waiting behind it.
  rx_->Feed(Cat({Message(0, 4), Message(0, 0), RawEeg128()}));
  EXPECT_EQ(rx_->parser.ParsePacket(), kMsgRawEeg);
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  EXPECT_EQ(rx_->ring.CommittedCount(), 0u);
}

TEST_F(PacketParserTest, OnlyTheLow16BitsOfTheIdAreExamined) {
  Bytes packet = RawEeg128();
  PutU32(&packet[kOffMsgId], 0x00070000u | kMsgRawEeg);
  RepairChecksum(packet);
  Bytes idZero = Message(0, 3);
  PutU32(&idZero[kOffMsgId], 0x00050000u);  // low half 0: consumed like id 0
  RepairChecksum(idZero);
  const auto parsed = rx_->ParseWhole(Cat({idZero, packet}));
  ASSERT_EQ(Ids(parsed), std::vector<std::uint16_t>{kMsgRawEeg});
  EXPECT_EQ(parsed[0].bytes, packet) << "the packet itself is left as it arrived";
}

TEST_F(PacketParserTest, DataPacketsWithoutAWholeMessageHeaderAreConsumed) {
  Bytes empty, five;
  AppendPacket(empty, 1, kPacketData, {});
  const std::uint8_t data[5] = {0xBA, 0xAB, 0, 0, 0};
  AppendPacket(five, 2, kPacketData, data);
  const auto parsed = rx_->ParseWhole(Cat({empty, five, RawEeg128()}));
  EXPECT_EQ(Ids(parsed), std::vector<std::uint16_t>{kMsgRawEeg});
}

TEST_F(PacketParserTest, DataPacketWithLengthZeroIsCompleteAfterItsHeader) {
  // Its checksum lies within the 8 bytes peeked behind the sync pair, so the
  // Body step needs no further byte.
  Bytes empty;
  AppendPacket(empty, 1, kPacketData, {});
  ASSERT_EQ(empty.size(), 10u);
  rx_->Feed(empty);
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  EXPECT_EQ(rx_->parser.CurrentState(), PacketParser::State::Hunt);
  EXPECT_EQ(rx_->ring.CommittedCount(), 0u) << "consumed, not waiting in Body";
}

TEST_F(PacketParserTest, DataLength13PutsTheChecksumAtOffsets21And22) {
  // Built by hand: class 4, id 600, sequence 0, P = 1, payload 0x7F.
  Bytes packet = {0xBA, 0xAB, 0x05, 0x00, 13, 0, 1, 0, 4, 0, 0, 0, 0x58, 0x02, 0, 0, 0, 0, 1, 0, 0x7F};
  unsigned sum = 0;
  for (std::size_t i = 2; i < 21; ++i) sum += packet[i];
  packet.push_back(static_cast<std::uint8_t>(sum));
  packet.push_back(static_cast<std::uint8_t>(sum >> 8));
  ASSERT_EQ(packet.size(), 23u);

  const auto parsed = rx_->ParseWhole(packet);
  ASSERT_EQ(Ids(parsed), std::vector<std::uint16_t>{600});
  EXPECT_EQ(parsed[0].bytes, packet);

  // The same checksum one byte further on, as if aligned to an even offset,
  // is wrong.
  Bytes padded(packet.begin(), packet.begin() + 21);
  padded.push_back(0x00);
  padded.insert(padded.end(), packet.begin() + 21, packet.end());
  rx_->Reset();
  EXPECT_TRUE(rx_->ParseWhole(padded).empty());
}

TEST_F(PacketParserTest, LargestDataLength2048IsAccepted) {
  const Bytes big = Message(900, kMaxDataLength - kMessageHeaderBytes);
  ASSERT_EQ(big.size(), static_cast<std::size_t>(kMaxPacketBytes));
  const auto parsed = rx_->ParseWhole(big);
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0].bytes, big);
}

// ---------------------------------------------------------------------------
// State between calls

TEST_F(PacketParserTest, BytesNeededCountsFromBehindTheSyncPairInEachState) {
  const Bytes packet = RawEeg128();  // L = 80
  auto& parser = rx_->parser;
  EXPECT_EQ(parser.CurrentState(), PacketParser::State::Hunt);
  EXPECT_EQ(parser.BytesNeeded(), 2u);

  rx_->Feed(std::span(packet).subspan(0, 2));
  EXPECT_EQ(parser.ParsePacket(), 0);
  EXPECT_EQ(parser.CurrentState(), PacketParser::State::Header);
  EXPECT_EQ(parser.BytesNeeded(), 8u);

  rx_->Feed(std::span(packet).subspan(2, 7));
  EXPECT_EQ(parser.ParsePacket(), 0);
  EXPECT_EQ(parser.CurrentState(), PacketParser::State::Header) << "7 of the 8 header bytes";
  EXPECT_LT(rx_->ring.CommittedCount(), parser.BytesNeeded());

  rx_->Feed(std::span(packet).subspan(9, 1));
  EXPECT_EQ(parser.ParsePacket(), 0);
  EXPECT_EQ(parser.CurrentState(), PacketParser::State::Body);
  EXPECT_EQ(parser.BytesNeeded(), 8u + 80u);
  EXPECT_EQ(rx_->ring.CommittedCount(), 8u);

  rx_->Feed(std::span(packet).subspan(10, 79));
  EXPECT_EQ(parser.ParsePacket(), 0);
  EXPECT_EQ(rx_->ring.CommittedCount(), 87u);

  rx_->Feed(std::span(packet).subspan(89));
  EXPECT_EQ(rx_->ring.CommittedCount(), parser.BytesNeeded());
  EXPECT_EQ(parser.ParsePacket(), kMsgRawEeg);
  EXPECT_EQ(parser.CurrentState(), PacketParser::State::Hunt);
}

TEST_F(PacketParserTest, ReplayToppingTheRingUpToBytesNeededNeverMistakesAFalseHeaderForTheEnd) {
  // The replay reads max(BytesPerSecond, BytesNeeded()) minus the unparsed
  // bytes; a request of 0 would mean the end of the file. A false header
  // announcing 2048 bytes needs more than a 128 Hz second (862 bytes) holds.
  constexpr std::size_t kBytesPerSecond = 862;
  const Bytes falseHeader = {0xBA, 0xAB, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00};
  Bytes file = falseHeader;
  std::vector<Parsed> expected;
  for (int second = 0; second < 4; ++second) {
    for (int k = 0; k < 8; ++k) {
      const Bytes raw = RawEeg128(static_cast<std::uint16_t>(8 * second + k));
      expected.push_back(test::AsParsed(raw));
      file.insert(file.end(), raw.begin(), raw.end());
    }
    const Bytes vars = Message(kMsgProcessed, 120);
    expected.push_back(test::AsParsed(vars));
    file.insert(file.end(), vars.begin(), vars.end());
  }

  std::vector<Parsed> parsed;
  std::size_t at = 0;
  for (;;) {
    rx_->Drain(parsed);
    const std::size_t target = std::max(kBytesPerSecond, rx_->parser.BytesNeeded());
    const std::size_t request = target - std::min(target, rx_->ring.CommittedCount());
    const std::size_t got = std::min(request, file.size() - at);
    if (request == 0 || got < request) break;  // what the replay takes for the end of the file
    rx_->Feed(std::span(file).subspan(at, got));
    at += got;
  }
  // Reading stops where less than a top-up is left (the replay's end rule),
  // so the messages are a prefix of the file's.
  ASSERT_GE(parsed.size(), 8u * 3) << "the false header must not stop the replay in its first second";
  EXPECT_TRUE(std::equal(parsed.begin(), parsed.end(), expected.begin()));
}

TEST_F(PacketParserTest, ResetAbandonsAPacketHalfAssembled) {
  const Bytes packet = RawEeg128();
  rx_->Feed(std::span(packet).subspan(0, 40));
  EXPECT_EQ(rx_->parser.ParsePacket(), 0);
  EXPECT_EQ(rx_->parser.CurrentState(), PacketParser::State::Body);
  rx_->Reset();
  EXPECT_EQ(rx_->parser.CurrentState(), PacketParser::State::Hunt);
  EXPECT_EQ(Ids(rx_->ParseWhole(packet)), std::vector<std::uint16_t>{kMsgRawEeg});
}

// ---------------------------------------------------------------------------
// Malformed inputs, each named after the fault it pins; every case is also
// fed one byte at a time.

struct MalformedCase {
  std::string name;
  Bytes stream;
  std::vector<std::uint16_t> ids;
  bool ack = false;
  bool nak = false;
};

std::vector<MalformedCase> MalformedCorpus() {
  const Bytes raw = RawEeg128();
  Bytes ack, nak;
  AppendAck(ack, 1, true);
  AppendAck(nak, 1, false);
  Bytes ackBad = ack;
  ackBad[9] ^= 0x80;
  Bytes wrongChecksum = Message(kMsgProcessed, 120);
  wrongChecksum.back() ^= 0x04;
  Bytes truncated = Message(kMsgProcessed, 120);
  truncated.resize(70);
  Bytes unknownType = Message(kMsgProcessed, 120);
  PutU16(&unknownType[kOffType], 9);
  RepairChecksum(unknownType);
  Bytes ackLengthDamaged = ack;  // the length field is covered by the checksum too
  PutU16(&ackLengthDamaged[kOffDataLength], 2);
  Bytes carrier = Message(901, 200);  // a valid packet inside a damaged one
  std::copy(raw.begin(), raw.end(), carrier.begin() + 60);
  carrier[30] ^= 0xFF;
  return {
      {"bare_sync_pairs", Cat({{0xBA, 0xAB, 0xBA, 0xAB, 0xBA, 0xAB}, raw}), {kMsgRawEeg}},
      {"run_of_0xBA", Cat({Bytes(100, 0xBA), raw}), {kMsgRawEeg}},
      {"run_of_0xAB", Cat({Bytes(100, 0xAB), raw}), {kMsgRawEeg}},
      {"run_of_0xFF", Cat({Bytes(100, 0xFF), raw}), {kMsgRawEeg}},
      {"length_2049", Cat({{0xBA, 0xAB, 0, 0, 0x01, 0x08, 1, 0}, raw}), {kMsgRawEeg}},
      {"length_65535", Cat({{0xBA, 0xAB, 0, 0, 0xFF, 0xFF, 1, 0}, raw}), {kMsgRawEeg}},
      {"unknown_type", Cat({unknownType, raw}), {kMsgRawEeg}},
      {"type_zero", Cat({{0xBA, 0xAB, 0, 0, 0, 0, 0, 0, 0, 0}, raw}), {kMsgRawEeg}},
      {"ack_wrong_checksum", Cat({ackBad, raw}), {kMsgRawEeg}},
      {"ack_then_nak", Cat({ack, nak, raw}), {kMsgRawEeg}, true, true},
      {"ack_length_field_damaged", Cat({ackLengthDamaged, raw}), {kMsgRawEeg}},
      {"wrong_checksum", Cat({wrongChecksum, raw}), {kMsgRawEeg}},
      {"truncated_packet", Cat({truncated, raw}), {kMsgRawEeg}},
      {"packet_inside_damaged_packet", Cat({carrier, raw}), {kMsgRawEeg, kMsgRawEeg}},
      {"sync_at_the_very_end", Cat({raw, {0xBA}}), {kMsgRawEeg}},
      {"header_cut_at_the_end", Cat({raw, {0xBA, 0xAB, 0, 0, 80}}), {kMsgRawEeg}},
  };
}

class MalformedInputTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedInputTest, YieldsExactlyTheValidMessages) {
  const auto& c = GetParam();
  for (const std::size_t piece : {c.stream.size(), std::size_t{1}}) {
    auto rx = test::Receiver::Make();
    std::mt19937 rng(1);
    const auto parsed = rx->ParseInPieces(c.stream, rng, piece);
    EXPECT_EQ(Ids(parsed), c.ids) << "pieces of " << piece;
    EXPECT_EQ(rx->ack.IsSet(), c.ack);
    EXPECT_EQ(rx->nak.IsSet(), c.nak);
    EXPECT_LT(rx->ring.CommittedCount(), rx->parser.BytesNeeded());
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, MalformedInputTest, ::testing::ValuesIn(MalformedCorpus()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qs
