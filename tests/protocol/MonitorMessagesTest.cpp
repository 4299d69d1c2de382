// The messages both ways: decoding at their byte offsets, against the encoder
// the generator and the other tests build packets with (whose bytes the
// generator's pinned recording holds), and the requests the system sends.
// Packets are exactly as long as the message, so a decoder reading past its
// fields shows up in the sanitizer build.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <tuple>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "protocol/ProtocolTestSupport.h"
#include "protocol/Requests.h"

namespace qs {
namespace {

using test::Bytes;

auto Fields(const ChannelVariables& v) {
  return std::tuple(v.bsr, v.sef, v.bisBits, v.bis, v.extra1, v.extra2, v.emgLow, v.sqi, v.artifactFlags);
}

TEST(DecodeCalibration, FractionsAtTheMessagesOffsetsDividedInDouble) {
  using Fractions =
      std::array<std::int32_t, 4>;  // gain numerator, denominator, offset numerator, denominator
  constexpr auto kNone = std::nullopt;
  // clang-format off
  const std::tuple<std::uint16_t, std::size_t, std::size_t, Fractions, std::optional<std::pair<float, float>>> cases[] = {
      {kMsgProcessed, 142, 28, {1, 4, -900, 3}, {{0.25f, -300.0f}}}, {kMsgProcessed4, 310, 32, {3, -2, 10, 4}, {{-1.5f, 2.5f}}},
      // In float, 16777219 / 10 would be 1677722; the double 1677721.9 is stored as 1677721.875.
      {kMsgProcessed, 142, 28, {16777219, 10, 33554435, 7}, {{1677721.875f, 4793490.5f}}},
      // A zero denominator gives none, and so do the messages without a calibration.
      {kMsgProcessed, 142, 28, {5, 0, 1, 1}, kNone}, {kMsgProcessed, 142, 28, {5, 1, 1, 0}, kNone},
      {kMsgProcessed4, 310, 32, {5, 0, 1, 1}, kNone}, {kMsgRawEeg, 310, 28, {1, 1, 1, 1}, kNone},
      {kMsgProcessedExt, 310, 28, {1, 1, 1, 1}, kNone}, {kMsgMonitorInfo, 310, 28, {1, 1, 1, 1}, kNone}};
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
  const ProcessedMessage m = test::RandomProcessed(rng);
  using test::Encoded;
  const auto parsed = test::Receiver::Make()->Parse(
      test::Cat({Encoded(AppendProcessed52, 1, 1, m), Encoded(AppendProcessed53, 2, 2, m, 77),
                 Encoded(AppendProcessed1122, 3, 3, m)}));
  ASSERT_EQ(parsed.size(), 3u);
  EXPECT_EQ(std::tuple(parsed[0].id, parsed[1].id, parsed[2].id),
            std::tuple(kMsgProcessed, kMsgProcessed, kMsgProcessed4));
  for (const auto& msg : parsed) {
    for (int c = 0; c < (msg.id == kMsgProcessed ? 3 : 4); ++c) {
      const auto v = DecodeChannel(msg.bytes.data(), msg.id, c);
      EXPECT_EQ(v ? std::optional(Fields(*v)) : std::nullopt, Fields(m.channels[c])) << msg.id << ", " << c;
    }
    const auto cal = DecodeCalibration(msg.bytes.data(), msg.id);
    EXPECT_EQ(cal ? std::pair(cal->gain, cal->offset) : std::pair(0.0f, 0.0f),
              std::pair(float(double(m.gainNum) / m.gainDen), float(double(m.offsetNum) / m.offsetDen)));
  }
  EXPECT_EQ(parsed[0].bytes[22], m.engineByte);
  for (const auto& [id, channel] : {std::pair{kMsgProcessed, 3}, {kMsgProcessed4, 4}, {kMsgProcessed, -1}})
    EXPECT_FALSE(DecodeChannel(parsed[id == kMsgProcessed ? 0 : 2].bytes.data(), id, channel)) << channel;
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
