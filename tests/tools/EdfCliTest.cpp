// export-edf and import-edf as a user runs them: the round trip of a
// recording through EDF+, an outside reader (MNE) on the export, a 256 Hz EDF
// with 10 Hz and 60 Hz tones, and a damaged file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/EdfTestFiles.h"
#include "record/RecordContents.h"
#include "tools/recgen/RecordingGenerator.h"

namespace {

namespace fs = std::filesystem;

struct CliResult {
  int code;
  std::string out;
};

CliResult Shell(const std::string& command) {
  std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  CliResult r{-1, {}};
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) r.out += buffer;
  const int status = ::pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

CliResult Cli(const std::string& args) {
  return Shell(std::string(QS_CLI_PATH) + " " + args);
}

fs::path Dir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("qs_edfcli_" + name + "_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

std::vector<std::vector<double>> ReadRecords(const std::string& csv) {
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);  // column names
  std::vector<std::vector<double>> rows;
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string field;
    std::vector<double> row;
    for (int i = 0; std::getline(fields, field, ','); ++i)
      if (i != 1) row.push_back(std::stod(field));  // all but the time text
    rows.push_back(row);
  }
  return rows;
}

TEST(EdfCli, RoundTripReplaysAsTheOriginal) {
  const fs::path dir = Dir("roundtrip");
  const std::string eeg = (dir / "case.eeg").string(), edf = (dir / "case.edf").string(),
                    back = (dir / "back.eeg").string();
  qs::recgen::GeneratorOptions options;
  const auto cl = qs::recgen::ParseCommandLine({"--out", eeg, "--scenario",
                                                "awake:0-40,deep:40-80:bis=na,bs:80-120:fraction=0.4",
                                                "--start", "08:15:30"});
  ASSERT_EQ(cl.error, "");
  ASSERT_TRUE(qs::recgen::WriteRecording(eeg, qs::recgen::GenerateRecording(cl.options)));
  std::ofstream(dir / "case.cmt", std::ios::binary) << "08:16:00,intubation\r\n08:17:05,ope_start\r\n";

  const CliResult exported =
      Cli("export-edf " + eeg + " " + edf + " --comments " + (dir / "case.cmt").string());
  ASSERT_EQ(exported.code, 0) << exported.out;
  const CliResult imported = Cli("import-edf " + edf + " " + back);
  ASSERT_EQ(imported.code, 0) << imported.out;
  EXPECT_NE(imported.out.find("gain 1/32 uV per count, offset 0/1"), std::string::npos) << imported.out;
  EXPECT_EQ(Cli("info " + back).out, Cli("info " + eeg).out);

  // The comments come back beside the record, at their times.
  std::ifstream comments(dir / "back.cmt", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(comments)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("08:16:00,intubation\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("08:17:05,ope_start\r\n"), std::string::npos) << text;

  ASSERT_EQ(Cli("replay " + eeg + " --settings none.ini --records " + (dir / "a.csv").string()).code, 0);
  ASSERT_EQ(Cli("replay " + back + " --settings none.ini --records " + (dir / "b.csv").string()).code, 0);
  const auto a = ReadRecords((dir / "a.csv").string()), b = ReadRecords((dir / "b.csv").string());
  ASSERT_GE(a.size(), 11u);
  ASSERT_EQ(b.size(), a.size());
  double worst = 0;
  for (std::size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(b[r].size(), a[r].size());
    for (std::size_t i = 0; i < a[r].size(); ++i) {
      const double diff = std::fabs(a[r][i] - b[r][i]);
      worst = std::max(worst, diff / std::max(1.0, std::fabs(a[r][i])));
      EXPECT_LE(diff, 1e-6 * std::max(1.0, std::fabs(a[r][i]))) << "record " << r << " field " << i;
    }
  }
  RecordProperty("worst_relative_difference", std::to_string(worst));
  fs::remove_all(dir);
}

// MNE (python3-mne) reads the export; its EEG must equal the calibrated
// samples of the record within one digital step (1/32 uV here).
TEST(EdfCli, MneReadsTheExportWithinOneDigitalStep) {
  if (Shell("/usr/bin/python3 -c 'import mne'").code != 0) GTEST_SKIP() << "python3-mne is not installed";
  const fs::path dir = Dir("mne");
  const std::string eeg = (dir / "case.eeg").string(), edf = (dir / "case.edf").string();
  qs::recgen::GeneratorOptions options;
  options.seconds = 30;
  options.offsetNum = 7;  // an offset too, so the scale is not just the gain
  options.offsetDen = 2;
  const auto rec = qs::recgen::GenerateRecording(options);
  ASSERT_TRUE(qs::recgen::WriteRecording(eeg, rec));
  ASSERT_EQ(Cli("export-edf " + eeg + " " + edf).code, 0);
  // The expected microvolts, as float64 channel after channel.
  {
    std::ofstream expected(dir / "expected.f64", std::ios::binary);
    for (const auto& channel : rec.counts)
      for (std::int16_t count : channel) {
        const double uv = (count - 3.5) * (1.0 / 32.0);
        expected.write(reinterpret_cast<const char*>(&uv), sizeof uv);
      }
  }
  const std::string script =
      "import mne, numpy as np\n"
      "raw = mne.io.read_raw_edf('" +
      edf +
      "', preload=True, verbose='error')\n"
      "eeg = raw.get_data(picks=['EEG Ch1', 'EEG Ch2']) * 1e6\n"
      "want = np.fromfile('" +
      (dir / "expected.f64").string() +
      "').reshape(2, -1)\n"
      "print(raw.info['sfreq'], eeg.shape[1], np.max(np.abs(eeg - want)))\n";
  std::ofstream(dir / "check.py") << script;
  const CliResult r = Shell("/usr/bin/python3 " + (dir / "check.py").string());
  ASSERT_EQ(r.code, 0) << r.out;
  std::istringstream fields(r.out.substr(r.out.find_last_of('\n', r.out.size() - 2) + 1));
  double rate = 0, samples = 0, worst = 1;
  fields >> rate >> samples >> worst;
  EXPECT_EQ(rate, 128);
  EXPECT_EQ(samples, 30 * 128);
  EXPECT_LE(worst, 1.0 / 32.0) << r.out;
  RecordProperty("mne_max_difference_uV", std::to_string(worst));
  fs::remove_all(dir);
}

TEST(EdfCli, A256HzEdfImportsWith10HzKeptAnd60HzRemoved) {
  const fs::path dir = Dir("tones");
  const std::string edf = (dir / "tones.edf").string(), eeg = (dir / "tones.eeg").string();
  qs::test::EdfShape shape;
  shape.rate = 256;
  shape.seconds = 30;
  shape.wave = [](int, double t) {
    return 50 * std::sin(2 * std::numbers::pi * 10 * t) + 30 * std::sin(2 * std::numbers::pi * 60 * t);
  };
  shape.annotations = {{12.0, "eyes open"}};
  ASSERT_FALSE(qs::test::WriteEdfPlus(edf, shape).empty());
  const CliResult r = Cli("import-edf " + edf + " " + eeg);
  ASSERT_EQ(r.code, 0) << r.out;
  const CliResult info = Cli("info " + eeg);
  EXPECT_NE(info.out.find("start=09:30:15\nseconds=30\nrate=128\n"), std::string::npos) << info.out;

  std::string error;
  const auto rec = qs::ReadRecordContents(eeg, 0, &error);
  ASSERT_TRUE(rec) << error;
  ASSERT_EQ(rec->seconds, 30);
  const auto amplitude = [&](double f) {
    const auto& counts = rec->counts[0];
    double c = 0, s = 0;
    const std::size_t from = 5 * 128, to = 25 * 128;
    for (std::size_t k = from; k < to; ++k) {
      const double uv = (counts[k] - rec->calibration.offset) * rec->calibration.gain;
      c += uv * std::cos(2 * std::numbers::pi * f * k / 128.0);
      s += uv * std::sin(2 * std::numbers::pi * f * k / 128.0);
    }
    return 2 * std::hypot(c, s) / static_cast<double>(to - from);
  };
  EXPECT_NEAR(amplitude(10), 50, 0.5) << "within 1 %";
  // The filter takes 80 dB off 60 Hz; what is left is the counts' rounding
  // (1000 uV / 65535 per count), far below 30 uV x 1e-3.
  EXPECT_LT(amplitude(60), 0.03);
  RecordProperty("amplitude_10Hz_uV", std::to_string(amplitude(10)));
  RecordProperty("amplitude_60Hz_uV", std::to_string(amplitude(60)));
  std::ifstream comments(dir / "tones.cmt", std::ios::binary);
  std::string line;
  std::getline(comments, line);
  EXPECT_EQ(line, "09:30:27,eyes open\r");
  fs::remove_all(dir);
}

TEST(EdfCli, DamagedOrUnsuitableFilesExitWithTheirMessage) {
  const fs::path dir = Dir("damaged");
  const std::string edf = (dir / "cut.edf").string();
  qs::test::EdfShape shape;
  shape.seconds = 4;
  std::vector<std::uint8_t> bytes = qs::test::WriteEdfPlus(edf, shape);
  bytes.resize(bytes.size() - 100);
  qs::test::WriteBytes(edf, bytes);
  CliResult r = Cli("import-edf " + edf + " " + (dir / "out.eeg").string());
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("number of data records, data record 4, byte offset 236"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir / "out.eeg"));

  qs::test::WriteEdfPlus(edf, shape);
  r = Cli("import-edf " + edf + " " + (dir / "out.eeg").string() + " --channel Fz");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("no signal \"Fz\"; the file has \"EEG A\", \"EEG B\""), std::string::npos) << r.out;
  EXPECT_EQ(Cli("export-edf " + (dir / "missing.eeg").string() + " x.edf").code, 2);
  EXPECT_EQ(Cli("import-edf only-one-argument.edf").code, 2);
  fs::remove_all(dir);
}

}  // namespace
