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

double Wave(int s, double t) { return 100 * std::sin(2 * 3.14159265358979 * (5 + s) * t); }

// Three seconds of two signals at 256 Hz with two annotations; its bytes.
std::vector<std::uint8_t> ValidFile(const std::string& path = test::TempPath("valid.edf")) {
  test::EdfShape shape;
  shape.seconds = 3;
  shape.wave = Wave;
  shape.annotations = {{0.5, "eyes closed"}, {2.25, "movement"}};
  return test::WriteEdfPlus(path, shape);
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& text) {
  std::memcpy(bytes.data() + at, text.data(), text.size());
}

TEST(EdfReader, ReadsWhatEdflibWroteSampleForSample) {
  const std::string path = test::TempPath("read.edf");
  std::string error;
  const auto f = EdfFile::Parse(ValidFile(path), &error);
  ASSERT_TRUE(f) << error;
  const EdfHeaderInfo& h = f->Header();
  EXPECT_TRUE(h.plus);
  EXPECT_FALSE(h.discontinuous);
  EXPECT_EQ(h.dataRecords, 3);
  ASSERT_EQ(h.signals.size(), 3u);  // two EEG and the annotations
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
    EXPECT_NEAR(f->PhysicalSamples(static_cast<std::size_t>(s))[100], Wave(s, 100 / 256.0), 0.02);
  }
  edfclose_file(hdr.handle);
}

TEST(EdfReader, DamagedFilesNameFieldRecordAndOffset) {
  const std::vector<std::uint8_t> valid = ValidFile();
  std::string error;
  const auto parsed = EdfFile::Parse(valid, &error);
  ASSERT_TRUE(parsed) << error;
  const EdfHeaderInfo& h = parsed->Header();
  const std::size_t ns = h.signals.size();
  // The annotation signal of data record 2: "+1..." there.
  const std::size_t ann = static_cast<std::size_t>(h.headerBytes) + h.recordBytes + h.signals[2].offsetInRecord;
  ASSERT_EQ(valid[ann + 1], '1');
  const auto offset = [](std::size_t at) { return "byte offset " + std::to_string(at); };

  const struct {
    const char* what;
    std::size_t at;
    std::string text;  // written at `at`; none: the file is cut to `at` bytes
    std::vector<std::string> expected;
  } cases[] = {
      {"truncated fixed header", 100, "", {"header", offset(100), "needs 256"}},
      {"truncated signal header", 300, "", {"header", offset(300), "needs 1024"}},
      {"not EDF at all", 0, "PK\3\4    ", {"version", offset(0)}},
      {"bad start date", 168, "14/03/24", {"start date", offset(168)}},
      {"bad header length", 184, "999     ", {"number of bytes in header", offset(184)}},
      {"record count larger than the file",
       236, "5       ", {"number of data records", offset(236), "announces 5", "data record 4"}},
      {"record count smaller than the file",
       236, "2       ", {"number of data records", offset(236), "more bytes follow"}},
      {"file cut inside the last record", valid.size() - 10, "", {"number of data records", "data record 3"}},
      {"duration not a number", 244, "one     ", {"duration of a data record", offset(244)}},
      {"physical minimum not a number", 256 + ns * 104, "-5OO    ",
       {"physical minimum of signal 1 (EEG A)", offset(256 + ns * 104), "\"-5OO\""}},
      {"digital maximum below minimum", 256 + ns * 128 + 8, "-40000  ",
       {"digital maximum of signal 2 (EEG B)", offset(256 + ns * 128 + 8)}},
      {"sample count zero", 256 + ns * 216, "0       ",
       {"number of samples in each data record of signal 1", offset(256 + ns * 216)}},
      {"annotation without its sign", ann, "x", {"annotation signal", "data record 2", offset(ann)}},
      {"continuous file with a jump", ann + 1, "7", {"data record 2", "starts at 7", "continuous"}},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = valid;
    c.text.empty() ? bytes.resize(c.at) : Put(bytes, c.at, c.text);
    const std::string message = EdfFile::Parse(std::move(bytes), &error) ? "(parsed)" : error;
    for (const std::string& part : c.expected)
      EXPECT_NE(message.find(part), std::string::npos) << c.what << ": \"" << message << "\" lacks \"" << part << "\"";
  }
}

TEST(EdfReader, DiscontinuousFileWithAGapIsRefusedByTheImport) {
  std::vector<std::uint8_t> bytes = ValidFile();
  std::string error;
  const EdfHeaderInfo h = EdfFile::Parse(bytes, &error)->Header();
  Put(bytes, 192, "EDF+D");
  // Record 3 says it starts at 7 s instead of 2 s.
  const std::size_t at = static_cast<std::size_t>(h.headerBytes) + 2 * h.recordBytes + h.signals[2].offsetInRecord;
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
