#include <gtest/gtest.h>

#include <numeric>

#include "link/LinkTestSupport.h"
#include "link/PacketEncoder.h"

namespace qs {
namespace {

using test::Bytes;

unsigned SumFrom2(const Bytes& b, std::size_t end) {
  return std::accumulate(b.begin() + 2, b.begin() + static_cast<std::ptrdiff_t>(end), 0u) & 0xFFFFu;
}

TEST(PacketEncoder, AcknowledgementsAreTenBytesWithoutData) {
  Bytes ack, nak;
  AppendAck(ack, 0x0102, true);
  AppendAck(nak, 0x0102, false);
  EXPECT_EQ(ack, (Bytes{0xBA, 0xAB, 0x02, 0x01, 0x00, 0x00, 0x02, 0x00, 0x05, 0x00}));
  EXPECT_EQ(nak, (Bytes{0xBA, 0xAB, 0x02, 0x01, 0x00, 0x00, 0x03, 0x00, 0x06, 0x00}));
}

TEST(PacketEncoder, MessageHeaderFieldsAndChecksumBehindThePayload) {
  Bytes out = {0x99};  // appends, keeping what is there
  const std::uint8_t payload[3] = {7, 8, 9};
  AppendMessage(out, 0x1234, 0xA0B0C0D0, 0x4321, 0x5555, payload);
  ASSERT_EQ(out.size(), 1u + 25u);
  const Bytes p(out.begin() + 1, out.end());
  EXPECT_EQ(GetU16(&p[kOffPacketSeq]), 0x1234);
  EXPECT_EQ(GetU16(&p[kOffDataLength]), 15);
  EXPECT_EQ(GetU16(&p[kOffType]), kPacketData);
  EXPECT_EQ(GetU32(&p[kOffMsgClass]), 0xA0B0C0D0u);
  EXPECT_EQ(GetU32(&p[kOffMsgId]), 0x4321u);
  EXPECT_EQ(GetU16(&p[kOffMsgSeq]), 0x5555);
  EXPECT_EQ(GetU16(&p[kOffPayloadLength]), 3);
  EXPECT_EQ(p[20], 7);
  EXPECT_EQ(p[22], 9);
  EXPECT_EQ(GetU16(&p[23]), SumFrom2(p, 23));
}

TEST(PacketEncoder, RawEegSamplesInterleavedFromOffset24) {
  for (const RawLayout l :
       {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
    const auto n = static_cast<std::size_t>(RawFrames(l)) * static_cast<std::size_t>(RawChannels(l));
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i) samples[i] = static_cast<std::int16_t>(-7 * static_cast<int>(i));
    Bytes p;
    AppendRawEeg(p, 1, 16, l, samples);
    ASSERT_EQ(p.size(), static_cast<std::size_t>(RawPacketBytes(l)));
    EXPECT_EQ(GetU32(&p[kOffMsgId]), kMsgRawEeg);
    EXPECT_EQ(GetU16(&p[kOffMsgSeq]), 16);
    EXPECT_EQ(GetU32(&p[20]), 0u) << "four unused payload bytes";
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(GetI16(&p[24 + 2 * i]), samples[i]);
    EXPECT_EQ(GetU16(&p[p.size() - 2]), SumFrom2(p, p.size() - 2));
  }
}

TEST(PacketEncoder, RawEegPadsMissingSamplesWithZero) {
  const std::int16_t few[3] = {5, 6, 7};
  Bytes p;
  AppendRawEeg(p, 1, 0, RawLayout::TwoChannels128, few);
  ASSERT_EQ(p.size(), 90u);
  EXPECT_EQ(GetI16(&p[28]), 7);
  EXPECT_EQ(GetI16(&p[30]), 0);
}

TEST(PacketEncoder, Processed52FieldsAtTheirOffsets) {
  ProcessedMessage m;
  m.gainNum = -5;
  m.gainDen = 7;
  m.offsetNum = 9;
  m.offsetDen = 11;
  m.engineByte = 131;
  m.channels[2].sqi = -123;
  m.channels[2].artifactFlags = 0xDEADBEEF;
  Bytes p;
  AppendProcessed52(p, 3, 4, m);
  ASSERT_EQ(p.size(), 142u);
  EXPECT_EQ(GetU16(&p[kOffPayloadLength]), 120);
  EXPECT_EQ(p[22], 131);
  EXPECT_EQ(GetI32(&p[28]), -5);
  EXPECT_EQ(GetI32(&p[40]), 11);
  EXPECT_EQ(GetI16(&p[68 + 48 + 16]), -123);
  EXPECT_EQ(GetU32(&p[68 + 48 + 20]), 0xDEADBEEFu);
  EXPECT_EQ(GetU16(&p[140]), SumFrom2(p, 140));
}

TEST(PacketEncoder, Processed1122FieldsAtTheirOffsets) {
  ProcessedMessage m;
  m.gainNum = 12;
  m.offsetDen = -3;
  m.channels[3].bis = 456;
  m.channels[3].artifactFlags = 0x01020304;
  Bytes p;
  AppendProcessed1122(p, 3, 4, m);
  ASSERT_EQ(p.size(), 310u);
  EXPECT_EQ(GetU16(&p[kOffPayloadLength]), 288);
  EXPECT_EQ(GetI32(&p[32]), 12);
  EXPECT_EQ(GetI32(&p[44]), -3);
  EXPECT_EQ(GetI16(&p[124 + 132 + 8]), 456);
  EXPECT_EQ(GetU32(&p[124 + 132 + 24]), 0x01020304u);
  EXPECT_EQ(GetU16(&p[308]), SumFrom2(p, 308));
}

TEST(PacketEncoder, Processed53IsA52WithFillerBehind) {
  ProcessedMessage m;
  m.channels[0].bis = 401;
  Bytes as52, ext;
  AppendProcessed52(as52, 3, 4, m);
  AppendProcessed53(ext, 3, 4, m, 10);
  ASSERT_EQ(ext.size(), 152u);
  EXPECT_EQ(GetU32(&ext[kOffMsgId]), kMsgProcessedExt);
  EXPECT_EQ(GetU16(&ext[kOffDataLength]), 142);
  EXPECT_EQ(GetU16(&ext[kOffPayloadLength]), 130);
  EXPECT_TRUE(std::equal(as52.begin() + 20, as52.begin() + 140, ext.begin() + 20)) << "the same 120 bytes";
  for (std::size_t i = 140; i < 150; ++i) EXPECT_EQ(ext[i], 0x5A);
  EXPECT_EQ(GetU16(&ext[150]), SumFrom2(ext, 150));
}

TEST(PacketEncoder, MonitorInfoCarriesThe28Bytes) {
  MonitorInfo info;
  info.payload[19] = 'B';
  info.payload[27] = 'C';
  Bytes p;
  AppendMonitorInfo(p, 1, 2, info);
  ASSERT_EQ(p.size(), 50u);
  EXPECT_EQ(GetU32(&p[kOffMsgId]), kMsgMonitorInfo);
  const auto decoded = DecodeMonitorInfo(p.data(), static_cast<int>(p.size()));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->EngineChar(), 'B');
  EXPECT_EQ(decoded->ModelChar(), 'C');
}

}  // namespace
}  // namespace qs
