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

auto Fields(const ChannelVariables& v) {
  return std::tuple(v.bsr, v.sef, v.bisBits, v.bis, v.extra1, v.extra2, v.emgLow, v.sqi, v.artifactFlags);
}

TEST(DecodeCalibration, FractionsAtTheMessagesOffsetsDividedInDouble) {
  const struct {
    std::uint16_t id;
    std::size_t length, at;
    std::int32_t fractions[4];  // gain numerator, denominator, offset numerator, denominator
    std::optional<std::pair<float, float>> expected;
  } cases[] = {
      {kMsgProcessed, 142, 28, {1, 4, -900, 3}, {{0.25f, -300.0f}}},
      {kMsgProcessed4, 310, 32, {3, -2, 10, 4}, {{-1.5f, 2.5f}}},
      // In float, 16777219 / 10 would be 1677722; the double 1677721.9 is stored as 1677721.875.
      {kMsgProcessed, 142, 28, {16777219, 10, 33554435, 7}, {{1677721.875f, 4793490.5f}}},
      {kMsgProcessed, 142, 28, {5, 0, 1, 1}, std::nullopt},  // a zero denominator gives none
      {kMsgProcessed, 142, 28, {5, 1, 1, 0}, std::nullopt},
      {kMsgProcessed4, 310, 32, {5, 0, 1, 1}, std::nullopt},
      {kMsgRawEeg, 310, 28, {1, 1, 1, 1}, std::nullopt},
      {kMsgProcessedExt, 310, 28, {1, 1, 1, 1}, std::nullopt},
      {kMsgMonitorInfo, 310, 28, {1, 1, 1, 1}, std::nullopt},
  };
  for (const auto& c : cases) {
    Bytes p(c.length, 0);
    for (std::size_t k = 0; k < 4; ++k) PutU32(&p[c.at + 4 * k], static_cast<std::uint32_t>(c.fractions[k]));
    const auto cal = DecodeCalibration(p.data(), c.id);
    EXPECT_EQ(cal ? std::optional(std::pair(cal->gain, cal->offset)) : std::nullopt, c.expected)
        << "id " << c.id << " fractions " << c.fractions[0] << "/" << c.fractions[1];
  }
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
  for (const auto& [id, channel] : {std::pair{kMsgProcessed, 3}, {kMsgProcessed4, 4}, {kMsgProcessed, -1}})
    EXPECT_FALSE(DecodeChannel(parsed[id == kMsgProcessed ? 0 : 2].bytes.data(), id, channel)) << "no channel " << channel;
  EXPECT_FALSE(DecodeChannel(Bytes(310, 0x33).data(), kMsgRawEeg, 0));
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
  EXPECT_EQ(info->payload[0] * 100 + info->payload[13], 114);
  EXPECT_EQ(std::pair(info->EngineChar(), info->ModelChar()), std::pair('4', 'V'));
  EXPECT_FALSE(DecodeMonitorInfo(p.data(), 47)) << "too short for the fields";
  for (const auto& [c, engine, model] :
       {std::tuple{'B', 1, 0}, {'4', 2, 0}, {'V', 0, 2}, {'C', 0, 1}, {'b', 0, 0}, {'v', 0, 0}, {'\0', 0, 0}}) {
    EXPECT_EQ(EngineKindFromChar(c), engine) << c;
    EXPECT_EQ(MonitorModelFromChar(c), model) << c;
  }
}

TEST(RawLayouts, EngineKind2IsFourChannelsAtAnyRateAndRecordedLengths) {
  using L = RawLayout;
  EXPECT_EQ((std::vector{RawLayoutFor(0, false), RawLayoutFor(1, false), RawLayoutFor(0, true), RawLayoutFor(1, true),
                         RawLayoutFor(2, false), RawLayoutFor(2, true)}),
            (std::vector{L::TwoChannels128, L::TwoChannels128, L::TwoChannels256, L::TwoChannels256,
                         L::FourChannels128, L::FourChannels128}));
  EXPECT_EQ((std::vector{RawPacketBytes(L::TwoChannels128), RawPacketBytes(L::TwoChannels256),
                         RawPacketBytes(L::FourChannels128), RecordedBytes(kMsgRawEeg, L::TwoChannels128),
                         RecordedBytes(kMsgRawEeg, L::TwoChannels256), RecordedBytes(kMsgRawEeg, L::FourChannels128),
                         RecordedBytes(kMsgProcessed, L::TwoChannels128), RecordedBytes(kMsgProcessed4, L::FourChannels128),
                         RecordedBytes(kMsgMonitorInfo, L::TwoChannels128), RecordedBytes(kMsgProcessedExt, L::TwoChannels128),
                         RecordedBytes(777, L::TwoChannels128)}),
            (std::vector{90, 154, 154, 90, 154, 154, 142, 310, 0, 0, 0}));
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
