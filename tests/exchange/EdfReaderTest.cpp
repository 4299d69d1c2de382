// The EDF reader against files written by EDFlib, and damaged copies of them:
// every damage ends in a message naming the field, the data record where
// there is one, and the byte offset.
#include <gtest/gtest.h>

#include <cstring>

#include "EdfTestFiles.h"
#include "exchange/EdfImport.h"
#include "exchange/EdfReader.h"

namespace qs {
namespace {

using test::EdfShape;

EdfShape ThreeSeconds() {
  EdfShape shape;
  shape.rate = 256;
  shape.seconds = 3;
  shape.wave = [](int s, double t) { return 100 * std::sin(2 * 3.14159265358979 * (5 + s) * t); };
  shape.annotations = {{0.5, "eyes closed"}, {2.25, "movement"}};
  return shape;
}

std::vector<std::uint8_t> ValidFile() {
  static const std::vector<std::uint8_t> bytes =
      test::WriteEdfPlus(test::TempPath("valid.edf"), ThreeSeconds());
  return bytes;
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& text) {
  std::memcpy(bytes.data() + at, text.data(), text.size());
}

std::string ParseError(std::vector<std::uint8_t> bytes) {
  std::string error;
  const auto f = EdfFile::Parse(std::move(bytes), &error);
  return f ? std::string("(parsed)") : error;
}

TEST(EdfReader, ReadsWhatEdflibWroteSampleForSample) {
  const std::string path = test::TempPath("read.edf");
  const auto bytes = test::WriteEdfPlus(path, ThreeSeconds());
  std::string error;
  const auto f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  const EdfHeaderInfo& h = f->Header();
  EXPECT_TRUE(h.plus);
  EXPECT_FALSE(h.discontinuous);
  EXPECT_EQ(h.dataRecords, 3);
  EXPECT_EQ(h.signals.size(), 3u);  // two EEG and the annotations
  EXPECT_EQ(h.signals[0].label, "EEG A");
  EXPECT_TRUE(h.signals[2].annotations);
  EXPECT_EQ((std::vector<int>{h.year, h.month, h.day, h.hour, h.minute, h.second}),
            (std::vector<int>{2024, 3, 14, 9, 30, 15}));
  ASSERT_EQ(f->Annotations().size(), 2u);
  EXPECT_EQ(f->Annotations()[1].text, "movement");
  EXPECT_DOUBLE_EQ(f->Annotations()[1].onset, 2.25);

  // EDFlib's own reading of the same file is the reference.
  edf_hdr_struct hdr{};
  ASSERT_EQ(edfopen_file_readonly(path.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0);
  for (int s = 0; s < 2; ++s) {
    std::vector<int> reference(3 * 256);
    ASSERT_EQ(edfread_digital_samples(hdr.handle, s, 3 * 256, reference.data()), 3 * 256);
    const auto ours = f->DigitalSamples(static_cast<std::size_t>(s));
    ASSERT_EQ(ours.size(), reference.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), reference.begin())) << "signal " << s;
    EXPECT_NEAR(f->PhysicalSamples(static_cast<std::size_t>(s))[100],
                100 * std::sin(2 * 3.14159265358979 * (5 + s) * 100 / 256.0), 0.02);
  }
  edfclose_file(hdr.handle);
}

TEST(EdfReader, DamagedFilesNameFieldRecordAndOffset) {
  const std::vector<std::uint8_t> valid = ValidFile();
  ASSERT_FALSE(valid.empty());
  std::string error;
  const auto parsed = EdfFile::Parse(valid, &error);
  ASSERT_TRUE(parsed) << error;
  const std::size_t headerBytes = static_cast<std::size_t>(parsed->Header().headerBytes);
  const std::size_t recordBytes = parsed->Header().recordBytes;
  const std::size_t ns = parsed->Header().signals.size();

  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"truncated fixed header", [](auto& b) { b.resize(100); }, {"header", "byte offset 100", "needs 256"}},
      {"truncated signal header",
       [](auto& b) { b.resize(300); },
       {"header", "byte offset 300", "needs 1024"}},
      {"not EDF at all", [](auto& b) { Put(b, 0, "PK\3\4    "); }, {"version", "byte offset 0"}},
      {"bad start date", [](auto& b) { Put(b, 168, "14/03/24"); }, {"start date", "byte offset 168"}},
      {"bad header length",
       [](auto& b) { Put(b, 184, "999     "); },
       {"number of bytes in header", "byte offset 184"}},
      {"record count larger than the file",
       [](auto& b) { Put(b, 236, "5       "); },
       {"number of data records", "byte offset 236", "announces 5", "data record 4"}},
      {"record count smaller than the file",
       [](auto& b) { Put(b, 236, "2       "); },
       {"number of data records", "byte offset 236", "more bytes follow"}},
      {"file cut inside the last record",
       [&](auto& b) { b.resize(b.size() - 10); },
       {"number of data records", "data record 3"}},
      {"duration not a number",
       [](auto& b) { Put(b, 244, "one     "); },
       {"duration of a data record", "byte offset 244"}},
      {"physical minimum not a number",
       [&](auto& b) { Put(b, 256 + ns * 104, "-5OO    "); },
       {"physical minimum of signal 1 (EEG A)", "byte offset " + std::to_string(256 + ns * 104), "\"-5OO\""}},
      {"digital maximum below minimum",
       [&](auto& b) { Put(b, 256 + ns * 128 + 8, "-40000  "); },
       {"digital maximum of signal 2 (EEG B)", "byte offset " + std::to_string(256 + ns * 128 + 8)}},
      {"sample count zero",
       [&](auto& b) { Put(b, 256 + ns * 216, "0       "); },
       {"number of samples in each data record of signal 1",
        "byte offset " + std::to_string(256 + ns * 216)}},
      {"annotation without its sign",
       [&](auto& b) {
         const std::size_t at = headerBytes + recordBytes + parsed->Header().signals[2].offsetInRecord;
         b[at] = 'x';
       },
       {"annotation signal", "data record 2",
        "byte offset " +
            std::to_string(headerBytes + recordBytes + parsed->Header().signals[2].offsetInRecord)}},
      {"continuous file with a jump",
       [&](auto& b) {
         const std::size_t at = headerBytes + recordBytes + parsed->Header().signals[2].offsetInRecord;
         ASSERT_EQ(b[at + 1], '1');
         b[at + 1] = '7';
       },
       {"data record 2", "starts at 7", "continuous"}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = valid;
    c.damage(bytes);
    const std::string message = ParseError(bytes);
    for (const std::string& part : c.expected)
      EXPECT_NE(message.find(part), std::string::npos)
          << c.what << ": \"" << message << "\" lacks \"" << part << "\"";
  }
}

TEST(EdfReader, DiscontinuousFileWithAGapIsRefusedByTheImport) {
  std::vector<std::uint8_t> bytes = ValidFile();
  std::string error;
  const auto parsed = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(parsed) << error;
  const EdfHeaderInfo& h = parsed->Header();
  Put(bytes, 192, "EDF+D");
  // Record 3 says it starts at 7 s instead of 2 s.
  const std::size_t at =
      static_cast<std::size_t>(h.headerBytes) + 2 * h.recordBytes + h.signals[2].offsetInRecord;
  ASSERT_EQ(bytes[at + 1], '2');
  bytes[at + 1] = '7';
  auto f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  ASSERT_EQ(f->Gaps().size(), 1u);
  EXPECT_EQ(f->Gaps()[0].record, 2);
  EXPECT_FALSE(ConvertEdf(*f, {}, &error));
  EXPECT_NE(error.find("discontinuous"), std::string::npos) << error;
  EXPECT_NE(error.find("data record 3 starts at 7"), std::string::npos) << error;

  // Without the gap, the same +D file is one stretch and imports.
  bytes[at + 1] = '2';
  f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  EXPECT_TRUE(ConvertEdf(*f, {}, &error)) << error;
}

}  // namespace
}  // namespace qs
