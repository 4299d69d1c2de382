// Decoding at the messages' byte offsets, and the encoder the generator and
// the other tests build packets with. Packets are exactly as long as the
// message, so a decoder reading past its fields shows up in the sanitizer build.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

#include "protocol/ProtocolTestSupport.h"
#include "protocol/MonitorMessages.h"

namespace qs {
namespace {

using test::Bytes;

void PutI32At(Bytes& p, std::size_t at, std::int32_t v) {
  PutU32(&p[at], static_cast<std::uint32_t>(v));
}

auto Fields(const ChannelVariables& v) {
  return std::tuple(v.bsr, v.sef, v.bisBits, v.bis, v.extra1, v.extra2, v.emgLow, v.sqi, v.artifactFlags);
}

TEST(DecodeCalibration, FractionsAtTheMessagesOffsetsDividedInDouble) {
  const struct {
    std::uint16_t id;
    std::size_t length, at;
    std::int32_t gn, gd, on, od;
    std::optional<std::pair<float, float>> expected;
  } cases[] = {
      {kMsgProcessed, 142, 28, 1, 4, -900, 3, {{0.25f, -300.0f}}},
      {kMsgProcessed4, 310, 32, 3, -2, 10, 4, {{-1.5f, 2.5f}}},
      // In float, 16777219 / 10 would be 1677722; the double 1677721.9 is stored as 1677721.875.
      {kMsgProcessed, 142, 28, 16777219, 10, 33554435, 7, {{1677721.875f, 4793490.5f}}},
      {kMsgProcessed, 142, 28, 5, 0, 1, 1, std::nullopt},  // a zero denominator gives none
      {kMsgProcessed, 142, 28, 5, 1, 1, 0, std::nullopt},
      {kMsgProcessed4, 310, 32, 5, 0, 1, 1, std::nullopt},
      {kMsgRawEeg, 310, 28, 1, 1, 1, 1, std::nullopt},
      {kMsgProcessedExt, 310, 28, 1, 1, 1, 1, std::nullopt},
      {kMsgMonitorInfo, 310, 28, 1, 1, 1, 1, std::nullopt},
  };
  for (const auto& c : cases) {
    Bytes p(c.length, 0);
    PutI32At(p, c.at, c.gn);
    PutI32At(p, c.at + 4, c.gd);
    PutI32At(p, c.at + 8, c.on);
    PutI32At(p, c.at + 12, c.od);
    const auto cal = DecodeCalibration(p.data(), c.id);
    ASSERT_EQ(cal.has_value(), c.expected.has_value())
        << "id " << c.id << " fractions " << c.gn << "/" << c.gd;
    if (cal) {
      EXPECT_EQ(std::pair(cal->gain, cal->offset), *c.expected);
    }
  }
}

TEST(DecodeChannel, BlocksOfEveryChannelTheMessageHas) {
  const struct {
    std::uint16_t id;
    std::size_t length, first, stride;
    int channels;
    std::size_t at[9];  // bsr, sef, bisBits, bis, extra1, extra2, emgLow, sqi, artifactFlags
  } layouts[] = {{kMsgProcessed, 142, 68, 24, 3, {0, 2, 4, 6, 8, 10, 14, 16, 20}},
                 {kMsgProcessed4, 310, 124, 44, 4, {0, 2, 6, 8, 10, 12, 16, 20, 24}}};
  for (const auto& l : layouts) {
    Bytes p(l.length, 0);
    for (int c = 0; c < l.channels; ++c) {
      const std::size_t block = l.first + l.stride * static_cast<std::size_t>(c);
      for (int f = 0; f < 8; ++f) PutU16(&p[block + l.at[f]], static_cast<std::uint16_t>(1000 * c + 100 + f));
      PutU32(&p[block + l.at[8]], 0x80000001u + static_cast<std::uint32_t>(c));
    }
    for (int c = 0; c < l.channels; ++c) {
      const auto v = DecodeChannel(p.data(), l.id, c);
      ASSERT_TRUE(v) << "id " << l.id << " channel " << c;
      const auto field = [&](int f) { return static_cast<std::int16_t>(1000 * c + 100 + f); };
      EXPECT_EQ(Fields(*v),
                std::tuple(field(0), field(1), static_cast<std::uint16_t>(field(2)), field(3), field(4),
                           field(5), field(6), field(7), 0x80000001u + static_cast<std::uint32_t>(c)))
          << "id " << l.id << " channel " << c;
    }
    EXPECT_FALSE(DecodeChannel(p.data(), l.id, l.channels)) << "a channel the message lacks";
    EXPECT_FALSE(DecodeChannel(p.data(), l.id, -1));
  }
  const Bytes p(310, 0x33);
  EXPECT_FALSE(DecodeChannel(p.data(), kMsgRawEeg, 0));
}

TEST(ProcessedMessages, EncodedVariablesRoundTripThroughTheParser) {
  std::mt19937 rng(5);
  const ProcessedMessage m = test::RandomProcessed(rng);
  Bytes stream;
  AppendProcessed52(stream, 1, 1, m);
  AppendProcessed53(stream, 2, 2, m, 77);
  AppendProcessed1122(stream, 3, 3, m);
  const auto parsed = test::Receiver::Make()->ParseWhole(stream);
  ASSERT_EQ(test::Ids(parsed), (std::vector<std::uint16_t>{kMsgProcessed, kMsgProcessed, kMsgProcessed4}));
  for (const auto& msg : parsed) {
    for (int c = 0; c < (msg.id == kMsgProcessed ? 3 : 4); ++c) {
      const auto v = DecodeChannel(msg.bytes.data(), msg.id, c);
      ASSERT_TRUE(v);
      EXPECT_EQ(Fields(*v), Fields(m.channels[c])) << "id " << msg.id << " channel " << c;
    }
    const auto cal = DecodeCalibration(msg.bytes.data(), msg.id);
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal->gain, static_cast<float>(double(m.gainNum) / double(m.gainDen)));
    EXPECT_EQ(cal->offset, static_cast<float>(double(m.offsetNum) / double(m.offsetDen)));
  }
  EXPECT_EQ(parsed[0].bytes[22], m.engineByte);
}

TEST(ProcessedMessages, EngineByteDividedBy10Of13OrLessMeansEngineKind1) {
  Bytes p(kProcessedBytes, 0);
  for (const auto& [byte, kind1] : {std::pair{0, true}, {139, true}, {140, false}, {255, false}}) {
    p[22] = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(ProcessedSaysEngineKind1(p.data()), kind1) << byte;
  }
}

TEST(DecodeMonitorInfo, First28PayloadBytesAndTheirCharacters) {
  Bytes p(48, 0);
  for (std::size_t i = 0; i < 28; ++i) p[20 + i] = static_cast<std::uint8_t>(i + 1);
  p[20 + 19] = '4';
  p[20 + 27] = 'V';
  const auto info = DecodeMonitorInfo(p.data(), 48);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->payload[0], 1);
  EXPECT_EQ(info->payload[13], 14);
  EXPECT_EQ(info->EngineChar(), '4');
  EXPECT_EQ(info->ModelChar(), 'V');
  EXPECT_FALSE(DecodeMonitorInfo(p.data(), 47)) << "too short for the fields";

  for (const auto& [c, engine, model] : {std::tuple{'B', 1, 0},
                                         {'4', 2, 0},
                                         {'V', 0, 2},
                                         {'C', 0, 1},
                                         {'b', 0, 0},
                                         {'v', 0, 0},
                                         {'\0', 0, 0}}) {
    EXPECT_EQ(EngineKindFromChar(c), engine) << c;
    EXPECT_EQ(MonitorModelFromChar(c), model) << c;
  }
}

TEST(RawLayouts, EngineKind2IsFourChannelsAtAnyRateAndRecordedLengths) {
  for (const bool rate256 : {false, true}) {
    EXPECT_EQ(RawLayoutFor(2, rate256), RawLayout::FourChannels128);
    for (const int kind : {0, 1}) {
      EXPECT_EQ(RawLayoutFor(kind, rate256), rate256 ? RawLayout::TwoChannels256 : RawLayout::TwoChannels128);
    }
  }
  for (const RawLayout l :
       {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
    EXPECT_EQ(RawPacketBytes(l), kOffRawSamples + 2 * RawFrames(l) * RawChannels(l) + 2);
    EXPECT_EQ(RecordedBytes(kMsgRawEeg, l), l == RawLayout::TwoChannels128 ? 90 : 154);
  }
  EXPECT_EQ(RecordedBytes(kMsgProcessed, RawLayout::TwoChannels128), 142);
  EXPECT_EQ(RecordedBytes(kMsgProcessed4, RawLayout::FourChannels128), 310);
  for (const int id : {int{kMsgMonitorInfo}, int{kMsgProcessedExt}, 777}) {
    EXPECT_EQ(RecordedBytes(static_cast<std::uint16_t>(id), RawLayout::TwoChannels128), 0) << id;
  }
}

// ---------------------------------------------------------------------------
// Encoder

TEST(PacketEncoder, AcknowledgementsAndMessageHeaderFields) {
  Bytes ack, nak;
  AppendAck(ack, 0x0102, true);
  AppendAck(nak, 0x0102, false);
  EXPECT_EQ(ack, (Bytes{0xBA, 0xAB, 0x02, 0x01, 0x00, 0x00, 0x02, 0x00, 0x05, 0x00}));
  EXPECT_EQ(nak, (Bytes{0xBA, 0xAB, 0x02, 0x01, 0x00, 0x00, 0x03, 0x00, 0x06, 0x00}));

  Bytes out = {0x99};  // appends, keeping what is there
  AppendMessage(out, 0x1234, 0xA0B0C0D0, 0x4321, 0x5555, Bytes{7, 8, 9});
  EXPECT_EQ(out, (Bytes{0x99, 0xBA, 0xAB, 0x34, 0x12, 15,   0, 1, 0, 0xD0, 0xC0, 0xB0, 0xA0,
                        0x21, 0x43, 0,    0,    0x55, 0x55, 3, 0, 7, 8,    9,    0x5F, 0x04}));
}

}  // namespace
}  // namespace qs
