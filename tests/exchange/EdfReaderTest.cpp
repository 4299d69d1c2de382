// The EDF reader against files written by EDFlib, and damaged copies of them:
// every damage ends in a message naming the field, the data record where
// there is one, and the byte offset; random damage never crashes the import.
// Reading whole files sample for sample is the EDF round trip's (tools tests).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "EdfTestFiles.h"
#include "exchange/EdfFuzzEntry.h"
#include "exchange/EdfImport.h"
#include "exchange/EdfReader.h"

namespace qs {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Three seconds of two signals at 256 Hz with two annotations; its bytes.
Bytes ValidFile() {
  test::EdfShape shape;
  shape.seconds = 3;
  shape.wave = [](int s, double t) { return 100 * std::sin(2 * 3.14159265358979 * (5 + s) * t); };
  shape.annotations = {{0.5, "eyes closed"}, {2.25, "movement"}};
  return test::WriteEdfPlus(test::TempPath("valid.edf"), shape);
}

// The byte where the annotation signal of data record `record` starts: "+<onset>".
std::size_t AnnotationAt(const EdfHeaderInfo& h, std::size_t record) {
  return static_cast<std::size_t>(h.headerBytes) + record * h.recordBytes + h.signals[2].offsetInRecord;
}

TEST(EdfReader, DamagedFilesNameFieldRecordAndOffset) {
  const Bytes valid = ValidFile();
  std::string error;
  const auto parsed = EdfFile::Parse(valid, &error);
  ASSERT_TRUE(parsed) << error;
  const std::size_t ns = parsed->Header().signals.size(), ann = AnnotationAt(parsed->Header(), 1);
  ASSERT_EQ(valid[ann + 1], '1');
  const auto offset = [](std::size_t at) { return "byte offset " + std::to_string(at); };
  // What, where, the text written there (none: the file is cut there), the parts of the message.
  // clang-format off
  const std::tuple<const char*, std::size_t, std::string, std::vector<std::string>> cases[] = {
      {"truncated fixed header", 100, "", {"header", offset(100), "needs 256"}},
      {"truncated signal header", 300, "", {"header", offset(300), "needs 1024"}},
      {"not EDF at all", 0, "PK\3\4    ", {"version", offset(0)}},
      {"bad start date", 168, "14/03/24", {"start date", offset(168)}},
      {"bad header length", 184, "999     ", {"number of bytes in header", offset(184)}},
      {"more records than the file", 236, "5       ", {"number of data records", offset(236), "announces 5", "data record 4"}},
      {"fewer records than the file", 236, "2       ", {"number of data records", offset(236), "more bytes follow"}},
      {"file cut inside the last record", valid.size() - 10, "", {"number of data records", "data record 3"}},
      {"duration not a number", 244, "one     ", {"duration of a data record", offset(244)}},
      {"physical minimum not a number", 256 + ns * 104, "-5OO    ", {"physical minimum of signal 1 (EEG A)", offset(256 + ns * 104), "\"-5OO\""}},
      {"digital maximum below minimum", 256 + ns * 128 + 8, "-40000  ", {"digital maximum of signal 2 (EEG B)", offset(256 + ns * 128 + 8)}},
      {"sample count zero", 256 + ns * 216, "0       ", {"number of samples in each data record of signal 1", offset(256 + ns * 216)}},
      {"annotation without its sign", ann, "x", {"annotation signal", "data record 2", offset(ann)}},
      {"continuous file with a jump", ann + 1, "7", {"data record 2", "starts at 7", "continuous"}},
  };
  // clang-format on
  for (const auto& [what, at, text, expected] : cases) {
    Bytes bytes = valid;
    text.empty() ? bytes.resize(at) : void(std::memcpy(bytes.data() + at, text.data(), text.size()));
    const std::string message = EdfFile::Parse(std::move(bytes), &error) ? "(parsed)" : error;
    for (const std::string& part : expected)
      EXPECT_NE(message.find(part), std::string::npos)
          << what << ": \"" << message << "\" lacks \"" << part << "\"";
  }
}

TEST(EdfReader, DiscontinuousFileWithAGapIsRefusedByTheImport) {
  Bytes bytes = ValidFile();
  std::string error;
  auto f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  const EdfHeaderInfo h = f->Header();
  ASSERT_EQ(f->Annotations().size(), 2u);
  EXPECT_EQ(std::tuple(h.plus, h.discontinuous, h.dataRecords, h.year, h.month, h.day, h.hour, h.minute,
                       h.second, f->Annotations()[1].text, f->Annotations()[1].onset),
            std::tuple(true, false, 3L, 2024, 3, 14, 9, 30, 15, "movement", 2.25));
  std::memcpy(bytes.data() + 192, "EDF+D", 5);
  // Record 3 says it starts at 7 s instead of 2 s.
  const std::size_t at = AnnotationAt(h, 2) + 1;
  ASSERT_EQ(bytes[at], '2');
  bytes[at] = '7';
  f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  ASSERT_EQ(f->Gaps().size(), 1u);
  EXPECT_EQ(f->Gaps()[0].record, 2);
  EXPECT_FALSE(ConvertEdf(*f, {}, &error));
  EXPECT_NE(error.find("discontinuous"), std::string::npos) << error;
  EXPECT_NE(error.find("data record 3 starts at 7"), std::string::npos) << error;
  // Without the gap, the same +D file is one stretch and imports.
  bytes[at] = '2';
  f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  EXPECT_TRUE(ConvertEdf(*f, {}, &error)) << error;
}

// The fuzz entry of the EDF import in a bounded run: damaged copies of valid
// EDF+ files and random bytes behind a plausible header. Each must end in a
// parse error or a conversion, never a crash (the ASan build checks reads).
TEST(EdfFuzz, DamagedFilesNeverCrashTheImport) {
  test::EdfShape one;  // and one signal at 128 Hz
  std::tie(one.rate, one.signals, one.seconds) = std::tuple(128, 1, 3);
  const Bytes seeds[] = {ValidFile(), test::WriteEdfPlus(test::TempPath("fuzz.edf"), one)};
  std::mt19937 rng(1410);
  int parsed = 0;
  for (int round = 0; round < 400; ++round) {
    Bytes bytes = seeds[round % 2];
    ASSERT_FALSE(bytes.empty());
    for (int e = 1 + static_cast<int>(rng() % 6); e > 0; --e) {
      const std::size_t at = rng() % bytes.size();
      // clang-format off
      switch (rng() % 5) {
        case 0: bytes[at] = static_cast<std::uint8_t>(rng()); break;
        case 1: bytes[at] = static_cast<std::uint8_t>("0123456789 .-+\x14\x15"[rng() % 16]); break;
        case 2: bytes.resize(std::max<std::size_t>(at, 1)); break;
        case 3: bytes.insert(bytes.begin() + static_cast<long>(at), static_cast<std::uint8_t>(rng())); break;
        default: bytes.erase(bytes.begin() + static_cast<long>(at));
      }
      // clang-format on
    }
    // The header's numbers are where a reader goes wrong: aim some edits there.
    if (round % 3 == 0 && bytes.size() > 256)
      bytes[184 + rng() % 72] = static_cast<std::uint8_t>('0' + rng() % 10);
    EXPECT_EQ(FuzzEdfImport(bytes.data(), bytes.size()), 0);
    std::string error;
    parsed += EdfFile::Parse(bytes, &error).has_value();
  }
  EXPECT_GT(parsed, 0) << "some damage (in sample values) leaves a readable file";
  EXPECT_EQ(FuzzEdfImport(nullptr, 0), 0);
}

}  // namespace
}  // namespace qs
