// EDF exchange. The export, checked by EDFlib's strict reader: the samples
// are the recording's counts, the scale comes from the calibration, the
// monitor's "not available" is the digital minimum with an annotation,
// comments land at their times of day. The reader against files written by
// EDFlib and damaged copies of them: every damage ends in a message naming the
// field, the data record where there is one, and the byte offset; random
// damage never crashes the import (reading whole files sample for sample is
// the EDF round trip's, in the tools tests). The shapes converters write (an
// "EDF+C" without annotations, one sample per record with an inexact
// duration) import at the rate they mean. The import's resampler with
// closed-form signals: sines of known amplitude and phase, measured by
// projection on the output.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <random>

#include "EdfTestFiles.h"
#include "exchange/EdfExport.h"
#include "exchange/EdfFuzzEntry.h"
#include "exchange/EdfImport.h"
#include "exchange/EdfReader.h"
#include "exchange/Resampler.h"
#include "record/RecordTestFiles.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

// Opens the file with EDFlib, which refuses any file that breaks the format.
struct EdflibFile {
  explicit EdflibFile(const std::string& path)
      : ok(edfopen_file_readonly(path.c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS) == 0) {}
  ~EdflibFile() {
    if (ok) edfclose_file(hdr.handle);
  }
  std::vector<int> Digital(int signal) {
    std::vector<int> v(static_cast<std::size_t>(hdr.signalparam[signal].smp_in_file));
    edfrewind(hdr.handle, signal);
    v.resize(std::max(0, edfread_digital_samples(hdr.handle, signal, static_cast<int>(v.size()), v.data())));
    return v;
  }
  edf_hdr_struct hdr{};
  bool ok = false;
};

// Generates a recording at `record` with the recgen arguments and exports it
// as `edf` with the input `edit` fills in; what was generated, and the report.
std::pair<recgen::GeneratedRecording, EdfExportReport> Export(
    const std::string& record, std::vector<std::string> args, const std::string& edf,
    const std::function<void(EdfExportInput&)>& edit) {
  args.insert(args.begin(), {"--out", record});
  const recgen::CommandLine cl = recgen::ParseCommandLine(args);
  EXPECT_EQ(cl.error, "");
  std::pair<recgen::GeneratedRecording, EdfExportReport> out{recgen::GenerateRecording(cl.options), {}};
  std::string error;
  EXPECT_TRUE(recgen::WriteRecording(record, out.first, &error)) << error;
  const auto contents = ReadRecordContents(record, 0, &error);
  EdfExportInput input;
  input.record = contents ? &*contents : nullptr;
  edit(input);
  EXPECT_TRUE(contents && ExportEdf(edf, input, &out.second, &error)) << error;
  return out;
}

TEST(EdfExport, EdflibReadsEveryLayoutsCountsScaleMonitorValuesAndComments) {
  // An automatic name gives the date.
  const std::filesystem::path dir = test::TempPath("named");
  std::filesystem::create_directories(dir);
  const std::string record = (dir / "202403141.eeg").string();
  for (const std::string layout : {"128", "256", "4ch"}) {
    SCOPED_TRACE(layout);
    const std::string edf = test::TempPath(layout + ".edf");
    const std::vector<std::string> args = {"--seconds", "25",   "--start",    "10:20:05",
                                           "--layout",  layout, "--scenario", "awake:0-10,deep:10-25:bis=na"};
    const auto [rec, report] = Export(record, args, edf, [&](EdfExportInput& in) {
      in.date = RecordDate(record);
      in.comments = {ParseCommentLine("10:20:08,intubation"), ParseCommentLine("soon,ope_start"),
                     ParseCommentLine("11:00:00,after the end")};
    });
    EXPECT_EQ(report.notes.size(), 2u) << "the comment without a time and the one after the end";
    EdflibFile f(edf);
    const edf_hdr_struct& h = f.hdr;
    ASSERT_TRUE(f.ok) << "EDFlib refused the file, error " << h.filetype;
    EXPECT_EQ((std::vector{h.filetype, h.startdate_year, h.startdate_month, h.startdate_day, h.starttime_hour,
                           h.starttime_minute, h.starttime_second, int(h.datarecords_in_file)}),
              (std::vector{EDFLIB_FILETYPE_EDFPLUS, 2024, 3, 14, 10, 20, 5, 25}));
    ASSERT_EQ(h.edfsignals, rec.channels + 5);
    for (int c = 0; c < rec.channels; ++c) {
      const edf_param_struct& p = h.signalparam[c];
      EXPECT_EQ(std::tuple(p.dig_min, p.dig_max, p.smp_in_datarecord, std::string(p.physdimension, 3)),
                std::tuple(-32768, 32767, rec.sampleRate, "uV "));
      // Gain 1/32 uV, offset 0: the counts' range is -1024 .. 1023.96875 uV.
      EXPECT_LT(std::max(std::fabs(p.phys_min + 1024), std::fabs(p.phys_max - 1023.96875)), 1e-3);
      EXPECT_EQ(f.Digital(c), std::vector<int>(rec.counts[c].begin(), rec.counts[c].end())) << c;
    }
    EXPECT_STREQ(h.signalparam[rec.channels].label, "BIS             ");
    std::vector<int> bis(25, -32768);  // "not available" from second 10
    for (std::size_t s = 0; s < 10; ++s) bis[s] = rec.monitor[s][0].bis;
    EXPECT_EQ(f.Digital(rec.channels), bis);
    EXPECT_EQ(f.Digital(rec.channels + 1)[4], rec.monitor[4][0].sef);
    std::map<std::string, std::pair<long long, long long>> annotations;  // onset, duration
    edf_annotation_struct a;
    for (int i = 0; i < h.annotations_in_file && edf_get_annotation(h.handle, i, &a) == 0; ++i)
      annotations[a.annotation] = {a.onset, a.duration_l};
    EXPECT_EQ(annotations["intubation"].first, 3 * EDFLIB_TIME_DIMENSION);
    EXPECT_EQ(annotations["BIS not available"],
              std::pair(10 * EDFLIB_TIME_DIMENSION, 15 * EDFLIB_TIME_DIMENSION));
  }
}

TEST(EdfExport, IndicesAreTenSecondSignalsAndNotAvailableIsTheMinimum) {
  const std::string edf = test::TempPath("indices.edf");
  const auto report = Export(test::TempPath("indices.eeg"), {"--seconds", "25"}, edf, [](EdfExportInput& in) {
                        in.withIndices = true;
                        in.indices.resize(2);
                        in.indices[0][EpochResult::Sef] = 12.34f;
                        in.indices[1][EpochResult::Sef] = kNotAvailable;
                        in.indices[0][EpochResult::Amp] = 1e6f;  // beyond the signal's range
                      }).second;
  EXPECT_EQ(std::pair(report.dataRecords, report.secondsLeftOut), std::pair(2, 5));
  EdflibFile f(edf);
  const edf_param_struct* p = f.hdr.signalparam;
  ASSERT_TRUE(f.ok);
  ASSERT_EQ(std::pair(f.hdr.datarecord_duration, f.hdr.edfsignals),
            std::pair(10 * EDFLIB_TIME_DIMENSION, 17));
  // Monitor variables stay 1 Hz, indices one per record.
  EXPECT_EQ(std::tuple(p[0].smp_in_datarecord, p[2].smp_in_datarecord, std::string(p[7].label),
                       p[7].smp_in_datarecord),
            std::tuple(1280, 10, "own SEF         ", 1));
  EXPECT_EQ(f.Digital(7), (std::vector<int>{1234, -32768}));
  EXPECT_EQ(f.Digital(11)[0], 32767) << "own Amp held at the end of its range";
}

TEST(EdfExport, RefusesAChangingCalibrationAndTakesTheDateFromTheName) {
  test::RecordBuilder b(RawLayout::TwoChannels128, 8, 0, 0);
  for (int i = 0; i < 2; ++i) b.AddSecond();
  b.calibration.gainDen = 16;
  b.AddSecond();
  const std::string path = b.Save(test::TempPath("recal.eeg"));
  std::string error;
  EXPECT_FALSE(ReadRecordContents(path, 0, &error));
  EXPECT_NE(error.find("calibration changes after second 3"), std::string::npos) << error;

  const CalendarDate named = RecordDate("/somewhere/2023123112.eeg");
  EXPECT_EQ(std::tuple(named.year, named.month, named.day), std::tuple(2023, 12, 31));
  // Not an automatic name (no month 13): the file's own date.
  EXPECT_GE(RecordDate(path).year, 2020);
  EXPECT_NE(RecordDate(test::TempPath("202313011.eeg")).month, 13);
}

// ---------------------------------------------------------------------------
// Import

using Bytes = std::vector<std::uint8_t>;

// Three seconds of two signals at 256 Hz with two annotations; its bytes.
Bytes ValidFile() {
  const auto wave = [](int s, double t) { return 100 * std::sin(2 * 3.14159265358979 * (5 + s) * t); };
  return test::WriteEdfPlus(
      test::TempPath("valid.edf"),
      {.seconds = 3, .wave = wave, .annotations = {{0.5, "eyes closed"}, {2.25, "movement"}}});
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
      {"fixed header only", 256, "", {"header", offset(256), "needs 1024"}},
      {"bad start date", 168, "14/03/24", {"start date", offset(168)}},
      {"day 0", 168, "00.03.24", {"start date", offset(168)}},
      {"day 32", 168, "32.03.24", {"start date", offset(168)}},
      {"month 0", 168, "14.00.24", {"start date", offset(168)}},
      {"month 13", 168, "14.13.24", {"start date", offset(168)}},
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
      EXPECT_NE(message.find(part), std::string::npos) << what << ": " << message << " lacks " << part;
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
  EXPECT_EQ(f->Gaps().size() == 1 ? f->Gaps()[0].record : -1, 2);
  EXPECT_FALSE(ConvertEdf(*f, {}, &error));
  EXPECT_TRUE(error.find("discontinuous") != std::string::npos &&
              error.find("data record 3 starts at 7") != std::string::npos)
      << error;
  // Without the gap, the same +D file is one stretch and imports.
  bytes[at] = '2';
  f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  EXPECT_TRUE(ConvertEdf(*f, {}, &error)) << error;
}

// The fuzz entry of the EDF import in a bounded run: damaged copies of valid
// EDF+ files and random bytes behind a plausible header. Each must end in a
// parse error or a conversion, never a crash (the ASan build checks reads).
// What converters write: one sample of 256 Hz per record with the duration
// "0.003906", under an "EDF+C" that has no annotations signal. Read as meant,
// it imports to the very record of the same samples in one-second records;
// where the last digit cannot explain the deviation, or a discontinuous file
// lacks its annotations, it is still refused.
// BDF's 24-bit samples with every byte in use; fields padded on both sides;
// the record count -1 of a recorder that never finished; a line break inside
// an annotation, which would split the comments file's line.
TEST(EdfReader, BdfSamplesPaddedFieldsUnfinishedCountsAndLineBreaksInAnnotations) {
  const auto wave = [](int s, double t) { return 450 * std::sin(2 * std::numbers::pi * (3 + s) * t); };
  std::string error;
  auto f = EdfFile::Parse(test::WriteEdfPlus(test::TempPath("24bit.bdf"),
                                             {.rate = 128, .seconds = 2, .wave = wave, .bdf = true}),
                          &error);
  ASSERT_TRUE(f && f->Header().bdf) << error;
  const std::vector<double> uv = f->PhysicalSamples(1);
  ASSERT_EQ(uv.size(), 256u);
  double worst = 0;
  for (std::size_t i = 0; i < uv.size(); ++i) worst = std::max(worst, std::fabs(uv[i] - wave(1, i / 128.0)));
  EXPECT_LE(worst, f->Header().signals[1].Step());

  Bytes bytes = ValidFile();
  std::memcpy(bytes.data() + 256, "  EEG A         ", 16);
  std::memcpy(bytes.data() + 236, "-1      ", 8);
  const auto named = std::search(bytes.begin(), bytes.end(), std::begin("eyes closed"), std::end("eyes closed") - 1);
  ASSERT_NE(named, bytes.end());
  named[4] = '\n';
  f = EdfFile::Parse(bytes, &error);
  ASSERT_TRUE(f) << error;
  EXPECT_EQ(std::tuple(f->Header().signals[0].label, f->Header().dataRecords), std::tuple("EEG A", 3L));
  const auto converted = ConvertEdf(*f, {}, &error);
  ASSERT_TRUE(converted) << error;
  EXPECT_EQ(converted->commentLines.at(0), "09:30:15,eyes closed");
  bytes.resize(bytes.size() - 10);
  EXPECT_FALSE(EdfFile::Parse(bytes, &error));
  EXPECT_NE(error.find("-1 (unknown), and the data end inside data record 3"), std::string::npos) << error;
}

TEST(EdfReader, ConvertersRecordPerSampleFilesWithoutAnnotationsImportAtTheIntendedRate) {
  const auto wave = [](int s, double t) { return 80 * std::sin(2 * std::numbers::pi * (7 + s) * t); };
  std::string error;
  const auto import = [&](const test::HandMadeEdf& shape, std::vector<std::string>* notes) {
    auto edf = EdfFile::Parse(test::WriteHandMadeEdf(shape), &error);
    if (!edf) return std::optional<EdfImportResult>();
    if (notes != nullptr) *notes = edf->Notes();
    return ConvertEdf(*edf, {}, &error);
  };
  const auto plain = import({.records = 6, .wave = wave}, nullptr);
  ASSERT_TRUE(plain) << error;
  std::vector<std::string> notes;
  const auto perSample = import(
      {.reserved = "EDF+C", .duration = "0.003906", .samplesPerRecord = 1, .records = 6 * 256, .wave = wave},
      &notes);
  ASSERT_TRUE(perSample) << error;
  EXPECT_EQ(perSample->inputRate, 256);
  EXPECT_TRUE(perSample->record == plain->record) << "the same record, byte for byte";
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0], "the file says EDF+C but has no \"EDF Annotations\" signal: read as plain EDF");
  EXPECT_EQ(
      notes[1],
      "the duration of a data record \"0.003906\" (256.016 Hz for signal \"Channel 1\") is taken as 1/256 s: "
      "256 Hz, which the 8-character field cannot write exactly");

  const std::pair<test::HandMadeEdf, std::string> refused[] = {
      {{.reserved = "EDF+D", .duration = "0.003906", .samplesPerRecord = 1, .records = 512},
       "an EDF+ file needs an \"EDF Annotations\" signal"},
      {{.duration = "0.003907", .samplesPerRecord = 1, .records = 512},  // 1/256 s is 0.00000075 s off
       "the sampling rate 255.950857 Hz needs a resampling ratio 7814/15625, beyond what the import "
       "supports"},
  };
  for (const auto& [shape, message] : refused) {
    error.clear();
    EXPECT_FALSE(import(shape, nullptr)) << message;
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(EdfFuzz, DamagedFilesNeverCrashTheImport) {
  const test::EdfShape one{.rate = 128, .seconds = 3, .signals = 1, .annotations = {}};
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
    if (round % 3 == 0 && bytes.size() > 256) bytes[184 + rng() % 72] = '0' + rng() % 10;
    EXPECT_EQ(FuzzEdfImport(bytes.data(), bytes.size()), 0);
    std::string error;
    parsed += EdfFile::Parse(bytes, &error).has_value();
  }
  EXPECT_GT(parsed, 0) << "some damage (in sample values) leaves a readable file";
  EXPECT_EQ(FuzzEdfImport(nullptr, 0), 0);
}

// ---------------------------------------------------------------------------
// Resampler

constexpr double kTwoPi = 2 * std::numbers::pi;

// Amplitude of frequency f in y (128 Hz), over the middle of the signal so
// that the mirrored edges do not count.
double Amplitude(const std::vector<double>& y, double f) {
  const std::size_t from = y.size() / 4, to = y.size() * 3 / 4;
  std::complex<double> z;
  for (std::size_t k = from; k < to; ++k) z += y[k] * std::polar(1.0, kTwoPi * f * k / 128.0);
  return 2 * std::abs(z) / static_cast<double>(to - from);
}

// A 7 Hz cosine and, where the input rate allows, a 60 Hz tone: no delay (each
// output sample is the 7 Hz input at its own time), 0.01 % pass-band ripple,
// and 80 dB off from 58 Hz (30 uV at 60 Hz leaves at most 3 nV).
TEST(Resampler, OutputSampleKIsInputTimeKOver128And60HzIsRemoved) {
  std::string error;
  for (auto [samples, duration] :
       {std::pair{256L, 1.0}, {512L, 1.0}, {1024L, 1.0}, {250L, 1.0}, {100L, 1.0}, {5L, 0.02}}) {
    const auto r = Resampler::To128(samples, duration, &error);
    ASSERT_TRUE(r) << error;
    const double rate = samples / duration, tone = rate > 120 ? 30 : 0;
    std::vector<double> x(static_cast<std::size_t>(rate * 20));
    for (std::size_t i = 0; i < x.size(); ++i)
      x[i] = 40 * std::cos(kTwoPi * 7 * i / rate + 1.0) + tone * std::sin(kTwoPi * 60 * i / rate + 0.3);
    const std::vector<double> y = r->Run(x);
    EXPECT_NEAR(static_cast<double>(y.size()), 20 * 128, samples % 128 == 0 ? 0.0 : 2.0) << rate;
    EXPECT_NEAR(Amplitude(y, 7), 40, 0.004) << rate << " Hz";
    EXPECT_LT(Amplitude(y, 60), 3e-3) << rate << " Hz";
    for (std::size_t k = y.size() / 4; k < y.size() * 3 / 4; k += 37)
      EXPECT_NEAR(y[k], 40 * std::cos(kTwoPi * 7 * k / 128.0 + 1.0), 0.02) << rate << " Hz, sample " << k;
    if (samples % 128 != 0) continue;
    EXPECT_EQ(std::pair(r->Up(), r->Down()), std::pair(1L, samples / 128));
    EXPECT_LT(std::max(r->GainAt(60), r->GainAt(90)), 1e-4) << "a 90 Hz tone would fold to 38 Hz";
    EXPECT_NEAR(r->GainAt(47), 1, 1e-3);
  }
}

TEST(Resampler, PassesThrough128HzAndRefusesRatiosItCannotForm) {
  std::string error;
  const std::vector<double> x = {1.5, -2, 3.25, 1e4};
  EXPECT_EQ(Resampler::To128(128, 1.0, &error).value().Run(x), x);
  EXPECT_EQ(Resampler::To128(256, 2.0, &error)->Down(), 1) << "256 samples in 2 s are 128 Hz";
  EXPECT_FALSE(Resampler::To128(7, 1e-7, &error));
  EXPECT_FALSE(Resampler::To128(1000003, 1.0, &error)) << "a prime rate needs a ratio beyond the limit";
  EXPECT_NE(error.find("1000003"), std::string::npos) << error;
}

}  // namespace
}  // namespace qs
