// The EDF+ export, checked by EDFlib's strict reader: the samples are the
// recording's counts, the scale comes from the calibration, the monitor's
// "not available" is the digital minimum with an annotation, comments land at
// their times of day.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "EdfTestFiles.h"
#include "exchange/EdfExport.h"
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
    EXPECT_EQ(edfread_digital_samples(hdr.handle, signal, static_cast<int>(v.size()), v.data()),
              static_cast<int>(v.size()));
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
      EXPECT_NEAR(p.phys_min, -1024.0, 1e-3);
      EXPECT_NEAR(p.phys_max, 1023.96875, 1e-3);
      const auto& counts = rec.counts[static_cast<std::size_t>(c)];
      EXPECT_EQ(f.Digital(c), std::vector<int>(counts.begin(), counts.end())) << "channel " << c;
    }
    EXPECT_STREQ(h.signalparam[rec.channels].label, "BIS             ");
    const std::vector<int> bis = f.Digital(rec.channels);
    ASSERT_EQ(bis.size(), 25u);
    for (std::size_t s = 0; s < 25; ++s) EXPECT_EQ(bis[s], s < 10 ? rec.monitor[s][0].bis : -32768) << s;
    EXPECT_EQ(f.Digital(rec.channels + 1)[4], rec.monitor[4][0].sef);
    std::map<std::string, std::pair<long long, long long>> annotations;  // onset, duration
    for (int i = 0; i < h.annotations_in_file; ++i) {
      edf_annotation_struct a;
      edf_get_annotation(h.handle, i, &a);
      annotations[a.annotation] = {a.onset, a.duration_l};
    }
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
  EXPECT_EQ(std::tuple(p[0].smp_in_datarecord, p[2].smp_in_datarecord, std::string(p[7].label),
                       p[7].smp_in_datarecord),
            std::tuple(1280, 10, "own SEF         ", 1))
      << "monitor variables stay 1 Hz, indices one per record";
  EXPECT_EQ(f.Digital(7), (std::vector<int>{1234, -32768}));
  EXPECT_EQ(f.Digital(11)[0], 32767) << "own Amp held at the end of its range";
}

TEST(EdfExport, RefusesAChangingCalibrationAndTakesTheDateFromTheName) {
  test::RecordBuilder b(RawLayout::TwoChannels128, 8, 0, 0);
  for (int i = 0; i < 2; ++i) b.AddSecond();
  b.calibration.gainDen = 16;
  b.AddSecond();
  const std::string path = test::TempPath("recal.eeg");
  b.Save(path);
  std::string error;
  EXPECT_FALSE(ReadRecordContents(path, 0, &error));
  EXPECT_NE(error.find("calibration changes after second 3"), std::string::npos) << error;

  const CalendarDate named = RecordDate("/somewhere/2023123112.eeg");
  EXPECT_EQ(std::tuple(named.year, named.month, named.day), std::tuple(2023, 12, 31));
  // Not an automatic name (no month 13): the file's own date.
  EXPECT_GE(RecordDate(path).year, 2020);
  EXPECT_NE(RecordDate(test::TempPath("202313011.eeg")).month, 13);
}

}  // namespace
}  // namespace qs
