// quellscope-cli as a user runs it: info, replay with its records, pictures
// and exports (the reference case byte for byte), and the EDF exchange.
// clang-format off
// Before Qt, whose "signals" keyword would rename the EDF shape's field.
#include "exchange/EdfTestFiles.h"
// clang-format on
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <numbers>
#include <sstream>

#include "display/ColourScale.h"
#include "exchange/VitalTestFiles.h"
#include "record/RecordContents.h"
#include "support/CliProcess.h"
#include "support/EngineRun.h"
#include "tools/recgen/RecordingGenerator.h"
#include "support/FileText.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Cli : public TestFolder {
 protected:
  std::string Generated(const recgen::GeneratorOptions& options, const std::string& name = "case.eeg") {
    EXPECT_TRUE(recgen::WriteRecording(At(name), recgen::GenerateRecording(options)));
    return At(name);
  }
  // Runs the program, expecting this exit code and this part of its output.
  static CliRun Run(const std::string& args, int code, const std::string& part = "") {
    const CliRun r = RunCli(args);
    EXPECT_EQ(r.code, code) << args << ":\n" << r.out;
    EXPECT_TRUE(Has(r.out, part)) << args << ":\n" << r.out;
    return r;
  }
  void ReplayReferenceCase();
};

TEST_F(Cli, InfoPrintsWhatThePrescanFinds) {
  // clang-format off
  const std::string eeg = Generated({.seconds = 7, .startHour = 23, .startMinute = 5, .startSecond = 9,
                                     .layout = RawLayout::TwoChannels256});
  // clang-format on
  EXPECT_EQ(Run("info " + eeg, 0).out,
            "start=23:05:09\nseconds=7\nrate=256\nmodel=1\nengine=1\nbytes_per_second=1374\n");
  std::ofstream(eeg, std::ios::binary) << "A2K and nothing more";
  Run("info " + eeg, 2, "File type error");
  Run("info " + eeg + ".missing", 2);
  Run("frobnicate", 2);
}

TEST_F(Cli, ArgumentsACommandDoesNotTakeAreRefusedWithItsUsage) {
  const struct {
    const char* args;
    const char* said;
  } cases[] = {
      {"replay a.eeg b.eeg", "replay: unexpected argument 'b.eeg'\nusage: quellscope-cli replay"},
      {"replay a.eeg --log", "replay: unexpected argument '--log'"},
      {"replay a.eeg --channel 4", "replay: --channel takes 0 to 3, not '4'"},
      {"replay a.eeg --start-offset -3", "--start-offset needs a number of seconds, not '-3'"},
      {"report a.eeg --out r.pdf --channel 01", "report: --channel takes 0 to 3, not '01'"},
      {"import-edf a.edf b.eeg --track X", "import-edf: unexpected argument '--track'\nusage:"},
      {"import-vital a.vital", "usage: quellscope-cli import-vital"},
      {"export-edf a.eeg", "usage: quellscope-cli export-edf"},
      {"batch a.eeg --out d --jobs 0", "batch: --jobs takes 1 to 256, not '0'"},
      {"batch --out d", "usage: quellscope-cli batch"},
      {"acquire --device /dev/null --seconds 0", "--seconds needs a positive number of seconds, not '0'"},
      {"acquire --device /dev/null --draw --stat", "acquire: unexpected argument '--stat'"},
  };
  for (const auto& c : cases) Run(c.args, 2, c.said);
}

TEST_F(Cli, ReplayWritesTheRecordsOfTheProgramsOwnCalculationTheSnapshotAndTheFiveGraphs) {
  const std::string eeg = Generated({.seconds = 95}), csv = At("records.csv");
  std::ofstream(dir / "settings.ini") << "Moving_Average:2\nBisp_Dur:1min\n";
  // With the snapshot and the pictures: drawing does not change the records.
  Run("replay " + eeg + " --settings " + At("settings.ini") + " --records " + csv + " --snapshot " +
          At("snap.dat") + " --png-dir " + At("png"),
      0);

  // The same file through the engine directly, on this thread.
  const auto direct = RunEngine(eeg, "Moving_Average:2\nBisp_Dur:1min\n");
  const auto lines = Lines(csv);
  ASSERT_TRUE(direct.ok);
  ASSERT_EQ(std::pair(lines.size(), direct.records.size()), std::pair(std::size_t{10}, std::size_t{9}))
      << "95 s with a 2-s moving average: nine whole intervals";
  EXPECT_EQ(lines[0].rfind("Index,Time,SqiTime,SqiPower,SqiBisp,Sef,Bsr,Rbr,BispR,Bis,Amp,DiagBic00,", 0),
            0u);
  for (std::size_t r = 0; r < 9; ++r) {
    char sef[32];
    std::snprintf(sef, sizeof sef, ",%.9g", double{direct.records[r].record[EpochResult::Sef]});
    EXPECT_TRUE(lines[r + 1].starts_with(std::to_string(direct.records[r].index) + ",") &&
                Has(lines[r + 1], sef))
        << lines[r + 1];
  }
  Run("replay " + eeg + " --records " + csv + " --start-offset 96", 2);  // beyond the file

  // The "Snap" file at the end of the run: two header lines, the 2256 pairs,
  // the 100 spectrum bins and the 512 wave samples, each section marked.
  const auto snap = Lines(At("snap.dat"));
  ASSERT_EQ(snap.size(), 4u + 2256u + 100u + 512u);
  EXPECT_EQ(snap[0].rfind("# " + eeg + " ", 0), 0u);
  EXPECT_EQ(snap[2258] + snap[2359], "# Power\r# wave\r");

  // The pictures of a case without opening the program: the replay runs paced
  // through the drawing thread and leaves the five graphs as the window would show them.
  const std::tuple<const char*, int, int> sizes[] = {
      {"wave", 576, 144}, {"power", 265, 138}, {"bic", 265, 140}, {"trend", 420, 488}, {"sqi", 125, 100}};
  for (const auto& [name, w, h] : sizes)
    EXPECT_EQ(QImage(QString::fromStdString(At("png/" + std::string(name) + ".png"))).size(), QSize(w, h))
        << name;
  const QImage wave(QString::fromStdString(At("png/wave.png")));
  bool drawn = false;  // the raw wave's yellow, which an empty graph lacks
  for (int x = 0; x < wave.width(); ++x)
    for (int y = 0; y < wave.height(); ++y)
      drawn = drawn || (wave.pixel(x, y) & 0xFFFFFFu) == MakeRgb(255, 255, 0);
  EXPECT_TRUE(drawn);
}

// The reference case's log, as the independent implementation wrote it after
// the same Calculation Only run, and its exports, chosen before Start as the
// Save commands choose them: byte for byte, on every kernel path this
// processor can run (the plain form and each vector form). The program has one
// power and one bispectrum export file, so the text exports come from a second run.
TEST_F(Cli, ReplayLogAndExportsOfTheReferenceCaseAreByteIdentical) {
  for (const char* path : {"plain", "sse2", "avx2"}) {
    SCOPED_TRACE(path);
    ::setenv("QUELLSCOPE_KERNELS", path, 1);
    ReplayReferenceCase();
  }
  ::unsetenv("QUELLSCOPE_KERNELS");
}

void Cli::ReplayReferenceCase() {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  const std::string replay = "replay " + (reference / "mixed10.eeg").string() + " --settings " +
                             (reference / "mixed10_Kvo_V2000.ini").string() + " --records " +
                             At("records.csv");
  Run(replay + " --log " + At("mixed10.log") + " --pow-binary " + At("mixed10_pow.bda") + " --bic-binary " +
          At("mixed10_bic.bda") + " --amp " + At("mixed10_amp.csv") + " --bis-variables " +
          At("mixed10_bisvars.csv") + " --wave-ascii " + At("wave.dat"),
      0);
  Run(replay + " --pow-ascii " + At("mixed10_pow.dat") + " --bic-ascii " + At("bic.dat"), 0);
  for (const char* name : {"mixed10.log", "mixed10_pow.bda", "mixed10_pow.dat", "mixed10_bic.bda",
                           "mixed10_amp.csv", "mixed10_bisvars.csv"}) {
    const std::string mine = Slurp(At(name)), theirs = Slurp(reference / name);
    EXPECT_FALSE(theirs.empty()) << name;
    EXPECT_TRUE(mine == theirs) << name << ": " << mine.size() << " bytes against " << theirs.size();
  }
  // No reference for these two: their shape. 600 s at 128 Hz; nine blocks of a
  // header line and 2256 pairs (one per log line, LogInterval 6).
  const std::string wave = Slurp(At("wave.dat")), bic = Slurp(At("bic.dat"));
  EXPECT_EQ(
      std::tuple(std::ranges::count(wave, '\n'), std::ranges::count(bic, '\n'), std::ranges::count(bic, '#')),
      std::tuple(600 * 128, 9 * (1 + 2256), 9));
  Run(replay + " --pow-binary " + At("a") + " --pow-ascii " + At("b"), 2);  // one power export
}

TEST_F(Cli, EdfRoundTripReplaysAsTheOriginal) {
  const std::string eeg = At("case.eeg"), edf = At("case.edf"), back = At("back.eeg");
  const auto cl =
      recgen::ParseCommandLine({"--scenario", "awake:0-40,deep:40-80:bis=na,bs:80-120:fraction=0.4",
                                "--start", "08:15:30", "--out", eeg});
  ASSERT_EQ(cl.error, "");
  Generated(cl.options);
  std::ofstream(dir / "case.cmt", std::ios::binary) << "08:16:00,intubation\r\n08:17:05,ope_start\r\n";
  Run("export-edf " + eeg + " " + edf + " --comments " + At("case.cmt"), 0);
  Run("import-edf " + edf + " " + back, 0, "gain 1/32 uV per count, offset 0/1");
  EXPECT_EQ(RunCli("info " + back).out, RunCli("info " + eeg).out);
  const std::string comments = Slurp(At("back.cmt"));  // beside the record, at their times
  EXPECT_TRUE(Has(comments, "08:16:00,intubation\r\n") && Has(comments, "08:17:05,ope_start\r\n"))
      << comments;

  Run("replay " + eeg + " --settings none.ini --records " + At("a.csv"), 0);
  Run("replay " + back + " --settings none.ini --records " + At("b.csv"), 0);
  EXPECT_GE(Lines(At("a.csv")).size(), 12u);
  EXPECT_EQ(Slurp(At("a.csv")), Slurp(At("b.csv")));
}

// MNE (python3-mne, installed by scripts/setup) reads the export of a record
// with an offset; its EEG must equal the calibrated samples of the record
// within one digital step (1/32 uV).
TEST_F(Cli, EdfMneReadsTheExportWithinOneDigitalStep) {
  if (std::system("/usr/bin/python3 -c 'import mne' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-mne is not installed";
  const auto rec = recgen::GenerateRecording({.seconds = 30, .offsetNum = 7, .offsetDen = 2});
  ASSERT_TRUE(recgen::WriteRecording(At("case.eeg"), rec));
  Run("export-edf " + At("case.eeg") + " " + At("case.edf"), 0);
  std::vector<double> uv;  // the microvolts, channel after channel
  for (const auto& channel : rec.counts)
    std::ranges::for_each(channel, [&](double c) { uv.push_back((c - 3.5) / 32); });
  std::ofstream(dir / "expected.f64", std::ios::binary)
      .write(reinterpret_cast<const char*>(uv.data()), 8 * uv.size());
  std::ofstream(dir / "check.py") << "import mne, numpy as np\nraw = mne.io.read_raw_edf('" << At("case.edf")
                                  << "', preload=True, verbose='error')\n"
                                  << "eeg = raw.get_data(picks=['EEG Ch1', 'EEG Ch2']) * 1e6\n"
                                  << "want = np.fromfile('" << At("expected.f64") << "').reshape(2, -1)\n"
                                  << "print(raw.info['sfreq'], eeg.shape[1], np.max(np.abs(eeg - want)))\n";
  std::FILE* pipe = ::popen(("/usr/bin/python3 " + At("check.py") + " 2>&1").c_str(), "r");
  std::string last;  // MNE may warn first
  for (char line[256]; std::fgets(line, sizeof line, pipe) != nullptr;) last = line;
  EXPECT_EQ(::pclose(pipe), 0) << last;
  double rate = 0, samples = 0, worst = 1;
  std::istringstream(last) >> rate >> samples >> worst;
  EXPECT_EQ(std::tuple(rate, samples), std::tuple(128.0, 30.0 * 128));
  EXPECT_LE(worst, 1.0 / 32.0);
}

// A 256 Hz EDF+ with 10 Hz and 60 Hz tones comes in at 128 Hz, the 10 Hz
// kept and the 60 Hz filtered off, with its annotations as comments; damaged
// or unsuitable files exit with their message and leave nothing behind.
TEST_F(Cli, EdfImportsA256HzEdfWithItsAnnotationsAndRefusesDamagedOrUnsuitableFiles) {
  EdfShape shape{.rate = 256, .seconds = 30, .annotations = {{12.0, "eyes open"}}};
  shape.wave = [](int, double t) {
    return 50 * std::sin(2 * std::numbers::pi * 10 * t) + 30 * std::sin(2 * std::numbers::pi * 60 * t);
  };
  ASSERT_FALSE(WriteEdfPlus(At("tones.edf"), shape).empty());
  Run("import-edf " + At("tones.edf") + " " + At("tones.eeg"), 0);
  Run("info " + At("tones.eeg"), 0, "start=09:30:15\nseconds=30\nrate=128\n");
  EXPECT_TRUE(Has(Slurp(At("tones.cmt")), "09:30:27,eyes open\r\n"));
  std::string error;
  const auto rec = ReadRecordContents(At("tones.eeg"), 0, &error);
  ASSERT_TRUE(rec && rec->seconds == 30) << error;
  const auto amplitude = [&](double f) {  // over seconds 5 to 25, in uV
    double c = 0, s = 0;
    for (std::size_t k = 5 * 128; k < 25 * 128; ++k) {
      const double uv = (rec->counts[0][k] - rec->calibration.offset) * rec->calibration.gain;
      c += uv * std::cos(2 * std::numbers::pi * f * k / 128.0);
      s += uv * std::sin(2 * std::numbers::pi * f * k / 128.0);
    }
    return 2 * std::hypot(c, s) / (20 * 128);
  };
  EXPECT_NEAR(amplitude(10), 50, 0.5) << "within 1 %";
  // 80 dB off 60 Hz; what is left is the counts' rounding (1000 uV / 65535 per count).
  EXPECT_LT(amplitude(60), 0.03);

  shape.seconds = 4;
  const std::vector<std::uint8_t> bytes = WriteEdfPlus(At("cut.edf"), shape);
  WriteBytes(At("cut.edf"), std::vector(bytes.begin(), bytes.end() - 100));
  const std::pair<std::string, std::string> refused[] = {
      {At("cut.edf") + " " + At("out.eeg"), "number of data records, data record 4, byte offset 236"},
      {At("tones.edf") + " " + At("out.eeg") + " --channel Fz",
       "no signal \"Fz\"; the file has \"EEG A\", \"EEG B\""}};
  for (const auto& [arguments, message] : refused) {
    Run("import-edf " + arguments, 2, message);
    EXPECT_FALSE(fs::exists(dir / "out.eeg"));
  }
  Run("export-edf " + At("missing.eeg") + " x.edf", 2);
  Run("import-edf only-one-argument.edf", 2);
}

// Debian's biosig converts its own sample recording (four EEG channels at
// 256 Hz, 380 s) into an "EDF+C" without annotations whose records hold one
// sample each ("0.003906" s). It imports at 256 Hz, saying what it took, and
// its records look like resting EEG: SEF 10..25 Hz, no suppression (the
// program's own BSR; the file has no monitor's). The sample comes from an
// installed octave-biosig or from the copy scripts/setup takes out of that
// package. Skipped without biosig-tools or the sample; the same shapes are
// tested by hand-made files always.
TEST_F(Cli, EdfBiosigsConvertedSampleImportsAtTheIntendedRate) {
  std::string gdf = "/usr/share/octave/site/m/biosig/t310_ERDSMaps/sample.gdf";
  if (!fs::exists(gdf)) gdf = QS_SOURCE_DIR "/build/third-party/biosig/sample.gdf";
  if (!fs::exists("/usr/bin/save2gdf") || !fs::exists(gdf))
    GTEST_SKIP() << "biosig-tools or biosig's sample recording is missing (scripts/setup provides both)";
  ASSERT_EQ(
      std::system(("/usr/bin/save2gdf -f=EDF " + gdf + " " + At("sample.edf") + " >/dev/null 2>&1").c_str()),
      0);
  const CliRun r =
      Run("import-edf " + At("sample.edf") + " " + At("sample.eeg"), 0, "from 256 Hz to 128 Hz, 380 s");
  EXPECT_TRUE(Has(r.out, "says EDF+C but has no \"EDF Annotations\" signal: read as plain EDF")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"0.003906\" (256.016 Hz for signal \"Channel 1\") is taken as 1/256 s")) << r.out;
  std::ofstream(At("own.ini")) << "Use_BIS_BSR:false\n";
  Run("replay " + At("sample.eeg") + " --settings " + At("own.ini") + " --records " + At("records.csv"), 0);
  const std::vector<std::string> lines = Lines(At("records.csv"));
  ASSERT_EQ(lines.size(), 1u + 37);
  for (std::size_t i = 2; i < lines.size(); ++i) {  // the first interval is still filling
    std::istringstream fields(lines[i]);
    std::string index, time;
    double sqiTime = 0, sqiPower = 0, sqiBisp = 0, sef = 0, bsr = 0;
    char comma = 0;
    std::getline(fields, index, ',');
    std::getline(fields, time, ',');
    fields >> sqiTime >> comma >> sqiPower >> comma >> sqiBisp >> comma >> sef >> comma >> bsr;
    EXPECT_TRUE(sef >= 10 && sef <= 25 && bsr == 0) << lines[i];
  }
}

// A recording's own counts as a Vital file's int16 tracks at the record's
// gain and offset (with an odd offset), its monitor variables as numeric
// tracks (missing where the monitor had none): the import replays to the very
// same interval records as the recording itself.
TEST_F(Cli, VitalImportReplaysAsTheSameCountsWrittenDirectly) {
  const auto cl =
      recgen::ParseCommandLine({"--scenario", "awake:0-40,deep:40-80:bis=na,bs:80-120:fraction=0.4",
                                "--start", "08:15:30", "--out", At("case.eeg")});
  ASSERT_EQ(cl.error, "");
  recgen::GeneratorOptions options = cl.options;
  options.offsetNum = 7;
  options.offsetDen = 2;
  const auto rec = recgen::GenerateRecording(options);
  ASSERT_TRUE(recgen::WriteRecording(At("case.eeg"), rec));
  const double gain = 1.0 / 32, offset = -3.5 * gain;
  const double start = 1710374400.0 + 8 * 3600 + 15 * 60 + 30 + 60 * 60;  // UTC-1: the bias is +60 minutes
  VitalWriter w(60);
  w.Track({.id = 1, .recFmt = 5, .name = "BIS/EEG1_WAV", .gain = gain, .offset = offset});
  w.Track({.id = 2, .recFmt = 5, .name = "BIS/EEG2_WAV", .gain = gain, .offset = offset});
  const char* names[5] = {"BIS/BIS", "BIS/SEF", "BIS/SR", "BIS/SQI", "BIS/EMG"};
  for (std::uint16_t v = 0; v < 5; ++v)
    w.Track({.id = static_cast<std::uint16_t>(10 + v), .recType = 2, .name = names[v]});
  for (int s = 0; s < rec.seconds; ++s) {
    for (std::uint16_t c = 0; c < 2; ++c) {
      const auto& counts = rec.counts[c];
      w.Wave(static_cast<std::uint16_t>(c + 1), start + s,
             std::vector<std::int16_t>(counts.begin() + s * 128, counts.begin() + (s + 1) * 128));
    }
    const ChannelVariables& m = rec.monitor[static_cast<std::size_t>(s)][0];
    ASSERT_EQ(m.artifactFlags, 0u) << "the comparison needs seconds without the monitor's flags";
    const std::pair<int, double> values[5] = {
        {m.bis, 0.1}, {m.sef, 0.01}, {m.bsr, 0.1}, {m.sqi, 0.1}, {m.emgLow, 0.01}};
    for (std::uint16_t v = 0; v < 5; ++v)
      w.Numeric(static_cast<std::uint16_t>(10 + v), start + s + 0.5,
                values[v].first < 0 ? std::nanf("") : static_cast<float>(values[v].first * values[v].second));
  }
  WriteBytes(At("case.vital"), w.Gzip());
  Run("import-vital " + At("case.vital") + " " + At("back.eeg"), 0,
      "gain 1/32 uV per count (the track's own), offset 7/2");
  EXPECT_EQ(RunCli("info " + At("back.eeg")).out, RunCli("info " + At("case.eeg")).out);
  Run("replay " + At("case.eeg") + " --settings none.ini --records " + At("a.csv"), 0);
  Run("replay " + At("back.eeg") + " --settings none.ini --records " + At("b.csv"), 0);
  EXPECT_GE(Lines(At("a.csv")).size(), 12u);
  EXPECT_EQ(Slurp(At("a.csv")), Slurp(At("b.csv")));

  // A damaged file: its message, nothing written.
  std::vector<std::uint8_t> cut = w.Gzip();
  cut.resize(cut.size() / 3);
  WriteBytes(At("cut.vital"), cut);
  Run("import-vital " + At("cut.vital") + " " + At("out.eeg"), 2, "the gzip stream is truncated");
  EXPECT_FALSE(fs::exists(dir / "out.eeg"));
  Run("import-vital " + At("case.vital") + " " + At("out.eeg") + " --track BIS/ECG", 2,
      "no waveform track \"BIS/ECG\"; the file has \"BIS/EEG1_WAV\", \"BIS/EEG2_WAV\"");
}

}  // namespace
}  // namespace qs::test
