#include <gtest/gtest.h>

#include <vector>

#include "link/LinkTestSupport.h"
#include "link/MonitorMessages.h"

namespace qs {
namespace {

using test::Bytes;

// Packets are exactly as long as the message, so that a decoder reading past
// its fixed fields shows up in the sanitizer build.
void PutI16At(Bytes& p, std::size_t at, std::int16_t v) {
  PutU16(&p[at], static_cast<std::uint16_t>(v));
}
void PutI32At(Bytes& p, std::size_t at, std::int32_t v) {
  PutU32(&p[at], static_cast<std::uint32_t>(v));
}

Bytes Fractions(std::size_t length, std::size_t at, std::int32_t gn, std::int32_t gd, std::int32_t on,
                std::int32_t od) {
  Bytes p(length, 0);
  PutI32At(p, at, gn);
  PutI32At(p, at + 4, gd);
  PutI32At(p, at + 8, on);
  PutI32At(p, at + 12, od);
  return p;
}

// ---------------------------------------------------------------------------
// Calibration

TEST(DecodeCalibration, Message52FractionsAtOffsets28To43) {
  const Bytes p = Fractions(kProcessedBytes, 28, 1, 4, -900, 3);
  const auto c = DecodeCalibration(p.data(), kMsgProcessed);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->gain, 0.25f);
  EXPECT_EQ(c->offset, -300.0f);
}

TEST(DecodeCalibration, Message1122FractionsAtOffsets32To47) {
  Bytes p = Fractions(kProcessed4Bytes, 32, 3, -2, 10, 4);
  PutI32At(p, 28, 0);  // where a 52 keeps its gain numerator
  const auto c = DecodeCalibration(p.data(), kMsgProcessed4);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->gain, -1.5f);
  EXPECT_EQ(c->offset, 2.5f);
}

TEST(DecodeCalibration, DividesInDoubleAndStoresAFloat) {
  // In float arithmetic 16777219 / 10 would give 1677722; the double quotient
  // 1677721.9 rounds to the float 1677721.875.
  const Bytes p = Fractions(kProcessedBytes, 28, 16777219, 10, 33554435, 7);
  const auto c = DecodeCalibration(p.data(), kMsgProcessed);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->gain, 1677721.875f);
  EXPECT_EQ(c->offset, 4793490.5f);
}

TEST(DecodeCalibration, ZeroDenominatorGivesNoCalibration) {
  const Bytes gainZero = Fractions(kProcessedBytes, 28, 5, 0, 1, 1);
  const Bytes offsetZero = Fractions(kProcessedBytes, 28, 5, 1, 1, 0);
  EXPECT_FALSE(DecodeCalibration(gainZero.data(), kMsgProcessed));
  EXPECT_FALSE(DecodeCalibration(offsetZero.data(), kMsgProcessed));
  const Bytes zero4 = Fractions(kProcessed4Bytes, 32, 5, 0, 1, 1);
  EXPECT_FALSE(DecodeCalibration(zero4.data(), kMsgProcessed4));
}

TEST(DecodeCalibration, OtherMessagesCarryNoCalibration) {
  const Bytes p = Fractions(kProcessed4Bytes, 28, 1, 1, 1, 1);
  EXPECT_FALSE(DecodeCalibration(p.data(), kMsgRawEeg));
  EXPECT_FALSE(DecodeCalibration(p.data(), kMsgProcessedExt));
  EXPECT_FALSE(DecodeCalibration(p.data(), kMsgMonitorInfo));
}

// ---------------------------------------------------------------------------
// Channel blocks

// Writes distinct values into the block of channel c at the given field offsets
// (bsr, sef, bisBits, bis, extra1, extra2, emgLow, sqi, artifactFlags).
void FillBlock(Bytes& p, std::size_t block, int c, const std::size_t (&at)[9]) {
  const auto base = static_cast<std::int16_t>(1000 * (c + 1));
  PutI16At(p, block + at[0], static_cast<std::int16_t>(base + 1));
  PutI16At(p, block + at[1], static_cast<std::int16_t>(base + 2));
  PutU16(&p[block + at[2]], static_cast<std::uint16_t>(0xF000 + c));
  PutI16At(p, block + at[3], static_cast<std::int16_t>(-base - 4));
  PutI16At(p, block + at[4], static_cast<std::int16_t>(base + 5));
  PutI16At(p, block + at[5], static_cast<std::int16_t>(base + 6));
  PutI16At(p, block + at[6], static_cast<std::int16_t>(base + 7));
  PutI16At(p, block + at[7], static_cast<std::int16_t>(base + 8));
  PutU32(&p[block + at[8]], 0x80000001u + static_cast<std::uint32_t>(c));
}

void ExpectBlock(const ChannelVariables& v, int c) {
  const int base = 1000 * (c + 1);
  EXPECT_EQ(v.bsr, base + 1);
  EXPECT_EQ(v.sef, base + 2);
  EXPECT_EQ(v.bisBits, 0xF000 + c);
  EXPECT_EQ(v.bis, -base - 4);
  EXPECT_EQ(v.extra1, base + 5);
  EXPECT_EQ(v.extra2, base + 6);
  EXPECT_EQ(v.emgLow, base + 7);
  EXPECT_EQ(v.sqi, base + 8);
  EXPECT_EQ(v.artifactFlags, 0x80000001u + static_cast<std::uint32_t>(c));
}

TEST(DecodeChannel, Message52BlocksAt68Plus24c) {
  constexpr std::size_t kAt[9] = {0, 2, 4, 6, 8, 10, 14, 16, 20};
  Bytes p(kProcessedBytes, 0);
  for (int c = 0; c < 3; ++c) FillBlock(p, 68 + 24 * static_cast<std::size_t>(c), c, kAt);
  for (int c = 0; c < 3; ++c) {
    const auto v = DecodeChannel(p.data(), kMsgProcessed, c);
    ASSERT_TRUE(v) << "channel " << c;
    ExpectBlock(*v, c);
  }
}

TEST(DecodeChannel, Message1122BlocksAt124Plus44c) {
  constexpr std::size_t kAt[9] = {0, 2, 6, 8, 10, 12, 16, 20, 24};
  Bytes p(kProcessed4Bytes, 0);
  for (int c = 0; c < 4; ++c) FillBlock(p, 124 + 44 * static_cast<std::size_t>(c), c, kAt);
  for (int c = 0; c < 4; ++c) {
    const auto v = DecodeChannel(p.data(), kMsgProcessed4, c);
    ASSERT_TRUE(v) << "channel " << c;
    ExpectBlock(*v, c);
  }
}

TEST(DecodeChannel, ChannelTheMessageLacksGivesNothing) {
  const Bytes p52(kProcessedBytes, 0x33), p1122(kProcessed4Bytes, 0x33);
  EXPECT_FALSE(DecodeChannel(p52.data(), kMsgProcessed, 3)) << "a 52 has three blocks";
  EXPECT_FALSE(DecodeChannel(p52.data(), kMsgProcessed, -1));
  EXPECT_FALSE(DecodeChannel(p1122.data(), kMsgProcessed4, 4));
  EXPECT_FALSE(DecodeChannel(p1122.data(), kMsgProcessed4, -1));
  EXPECT_FALSE(DecodeChannel(p1122.data(), kMsgRawEeg, 0));
}

TEST(ProcessedMessages, EncodedVariablesRoundTripThroughTheParser) {
  std::mt19937 rng(5);
  const ProcessedMessage m = test::RandomProcessed(rng);
  Bytes stream;
  AppendProcessed52(stream, 1, 1, m);
  AppendProcessed53(stream, 2, 2, m, 77);
  AppendProcessed1122(stream, 3, 3, m);
  auto rx = test::Receiver::Make();
  const auto parsed = rx->ParseWhole(stream);
  ASSERT_EQ(parsed.size(), 3u);
  for (const auto& msg : parsed) {
    const int channels = msg.id == kMsgProcessed ? 3 : 4;
    for (int c = 0; c < channels; ++c) {
      const auto v = DecodeChannel(msg.bytes.data(), msg.id, c);
      ASSERT_TRUE(v);
      const ChannelVariables& e = m.channels[c];
      EXPECT_EQ(v->bsr, e.bsr);
      EXPECT_EQ(v->sef, e.sef);
      EXPECT_EQ(v->bisBits, e.bisBits);
      EXPECT_EQ(v->bis, e.bis);
      EXPECT_EQ(v->extra1, e.extra1);
      EXPECT_EQ(v->extra2, e.extra2);
      EXPECT_EQ(v->emgLow, e.emgLow);
      EXPECT_EQ(v->sqi, e.sqi);
      EXPECT_EQ(v->artifactFlags, e.artifactFlags);
    }
    const auto cal = DecodeCalibration(msg.bytes.data(), msg.id);
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal->gain, static_cast<float>(double(m.gainNum) / double(m.gainDen)));
    EXPECT_EQ(cal->offset, static_cast<float>(double(m.offsetNum) / double(m.offsetDen)));
  }
}

TEST(ProcessedMessages, EngineByteDividedBy10Of13OrLessMeansEngineKind1) {
  Bytes p(kProcessedBytes, 0);
  for (const auto& [byte, kind1] : {std::pair{0, true}, {139, true}, {140, false}, {255, false}}) {
    p[22] = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(ProcessedSaysEngineKind1(p.data()), kind1) << byte;
  }
}

// ---------------------------------------------------------------------------
// Monitor information

TEST(DecodeMonitorInfo, CopiesTheFirst28PayloadBytes) {
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
  EXPECT_EQ(EngineKindFromChar(info->EngineChar()), 2);
  EXPECT_EQ(MonitorModelFromChar(info->ModelChar()), 2);
}

TEST(DecodeMonitorInfo, PacketTooShortForTheFieldsGivesNothing) {
  const Bytes p(47, 0);
  EXPECT_FALSE(DecodeMonitorInfo(p.data(), 47));
  EXPECT_FALSE(DecodeMonitorInfo(p.data(), 0));
}

TEST(DecodeMonitorInfo, EngineAndModelCharacters) {
  EXPECT_EQ(EngineKindFromChar('B'), 1);
  EXPECT_EQ(EngineKindFromChar('4'), 2);
  EXPECT_EQ(EngineKindFromChar('b'), 0);
  EXPECT_EQ(EngineKindFromChar(' '), 0);
  EXPECT_EQ(MonitorModelFromChar('V'), 2);
  EXPECT_EQ(MonitorModelFromChar('C'), 1);
  EXPECT_EQ(MonitorModelFromChar('v'), 0);
  EXPECT_EQ(MonitorModelFromChar('\0'), 0);
}

// ---------------------------------------------------------------------------
// Raw EEG layouts and record lengths

TEST(RawLayouts, EngineKind2IsFourChannelsEvenAt256Hz) {
  EXPECT_EQ(RawLayoutFor(2, true), RawLayout::FourChannels128);
  EXPECT_EQ(RawLayoutFor(2, false), RawLayout::FourChannels128);
  EXPECT_EQ(RawLayoutFor(1, true), RawLayout::TwoChannels256);
  EXPECT_EQ(RawLayoutFor(0, true), RawLayout::TwoChannels256);
  EXPECT_EQ(RawLayoutFor(1, false), RawLayout::TwoChannels128);
  EXPECT_EQ(RawLayoutFor(0, false), RawLayout::TwoChannels128);
}

TEST(RawLayouts, SizesFitTheSamplesBehindOffset24) {
  for (const RawLayout l :
       {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
    EXPECT_EQ(RawPacketBytes(l), kOffRawSamples + 2 * RawFrames(l) * RawChannels(l) + 2);
  }
  EXPECT_EQ(RawPacketBytes(RawLayout::TwoChannels128), 90);
  EXPECT_EQ(RawPacketBytes(RawLayout::TwoChannels256), 154);
  EXPECT_EQ(RawPacketBytes(RawLayout::FourChannels128), 154);
  EXPECT_EQ(RawChannels(RawLayout::FourChannels128), 4);
  EXPECT_EQ(RawFrames(RawLayout::TwoChannels256), 32);
}

TEST(RawLayouts, RecordedBytesPerMessage) {
  EXPECT_EQ(RecordedBytes(kMsgRawEeg, RawLayout::TwoChannels128), 90);
  EXPECT_EQ(RecordedBytes(kMsgRawEeg, RawLayout::TwoChannels256), 154);
  EXPECT_EQ(RecordedBytes(kMsgRawEeg, RawLayout::FourChannels128), 154);
  EXPECT_EQ(RecordedBytes(kMsgProcessed, RawLayout::TwoChannels128), 142);
  EXPECT_EQ(RecordedBytes(kMsgProcessed4, RawLayout::FourChannels128), 310);
  EXPECT_EQ(RecordedBytes(kMsgMonitorInfo, RawLayout::TwoChannels128), 0);
  EXPECT_EQ(RecordedBytes(kMsgProcessedExt, RawLayout::TwoChannels128), 0);
  EXPECT_EQ(RecordedBytes(777, RawLayout::TwoChannels128), 0);
}

}  // namespace
}  // namespace qs
