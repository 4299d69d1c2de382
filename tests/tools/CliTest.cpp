// quellscope-cli as a user runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QImage>

#include "display/ColourScale.h"
#include "support/CliProcess.h"
#include "support/EngineRun.h"
#include "tools/recgen/RecordingGenerator.h"

namespace {

namespace fs = std::filesystem;

using qs::test::CliRun;
using qs::test::RunCli;

TEST(Cli, InfoPrintsWhatThePrescanFinds) {
  qs::recgen::GeneratorOptions options;
  options.seconds = 7;
  options.layout = qs::RawLayout::TwoChannels256;
  options.startHour = 23;
  options.startMinute = 5;
  options.startSecond = 9;
  const fs::path path = fs::temp_directory_path() / ("qs_cli_" + std::to_string(::getpid()) + ".eeg");
  ASSERT_TRUE(qs::recgen::WriteRecording(path.string(), qs::recgen::GenerateRecording(options)));
  const CliRun r = RunCli("info " + path.string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "start=23:05:09\nseconds=7\nrate=256\nmodel=1\nengine=1\nbytes_per_second=1374\n");

  std::ofstream(path, std::ios::binary) << "A2K and nothing more";
  const CliRun refused = RunCli("info " + path.string());
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.out.find("File type error"), std::string::npos) << refused.out;
  EXPECT_EQ(RunCli("info " + path.string() + ".missing").code, 2);
  EXPECT_EQ(RunCli("frobnicate").code, 2);
  fs::remove(path);
}

TEST(Cli, ReplayWritesTheRecordsOfTheProgramsOwnCalculation) {
  qs::recgen::GeneratorOptions options;
  options.seconds = 95;
  const fs::path dir = fs::temp_directory_path() / ("qs_cli_replay_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string eeg = (dir / "case.eeg").string(), csv = (dir / "records.csv").string();
  ASSERT_TRUE(qs::recgen::WriteRecording(eeg, qs::recgen::GenerateRecording(options)));
  std::ofstream(dir / "settings.ini") << "Moving_Average:2\nBisp_Dur:1min\n";
  const CliRun r = RunCli("replay " + eeg + " --settings " + (dir / "settings.ini").string() + " --records " + csv);
  ASSERT_EQ(r.code, 0) << r.out;

  // The same file through the engine directly, on this thread.
  const auto direct = qs::test::RunEngine(eeg, "Moving_Average:2\nBisp_Dur:1min\n");
  ASSERT_TRUE(direct.ok);
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.rfind("Index,Time,SqiTime,SqiPower,SqiBisp,Sef,Bsr,Rbr,BispR,Bis,Amp,DiagBic00,", 0), 0u);
  std::size_t rows = 0;
  while (std::getline(in, line)) {
    ASSERT_LT(rows, direct.records.size());
    char expected[64];
    std::snprintf(expected, sizeof expected, "%d,", direct.records[rows].index);
    EXPECT_EQ(line.rfind(expected, 0), 0u) << line;
    std::snprintf(expected, sizeof expected, ",%.9g", static_cast<double>(direct.records[rows].record[qs::EpochResult::Sef]));
    EXPECT_NE(line.find(expected), std::string::npos) << line;
    ++rows;
  }
  EXPECT_EQ(rows, direct.records.size());
  EXPECT_EQ(rows, 9u) << "95 s with a 2-s moving average: nine whole intervals";
  EXPECT_EQ(RunCli("replay " + eeg + " --records " + csv + " --start-offset 96").code, 2) << "beyond the file";

  // The "Snap" file at the end of the run: two header lines, the 2256 pairs,
  // the 100 spectrum bins and the 512 wave samples, each section marked.
  const std::string snap = (dir / "snap.dat").string();
  ASSERT_EQ(RunCli("replay " + eeg + " --snapshot " + snap).code, 0);
  std::ifstream snapIn(snap, std::ios::binary);
  std::vector<std::string> snapLines;
  for (std::string l; std::getline(snapIn, l);) snapLines.push_back(l);
  ASSERT_EQ(snapLines.size(), 4u + 2256u + 100u + 512u);
  EXPECT_EQ(snapLines[0].rfind("# " + eeg + " ", 0), 0u);
  EXPECT_EQ(snapLines[2258], "# Power\r");
  EXPECT_EQ(snapLines[2359], "# wave\r");
  fs::remove_all(dir);
}

// The pictures of a case without opening the program: the replay runs paced
// through the drawing thread and leaves the five graphs as the window would
// show them; the calculation is the same as without pictures.
TEST(Cli, ReplayPngDirWritesTheFiveGraphs) {
  qs::recgen::GeneratorOptions options;
  options.seconds = 95;
  const fs::path dir = fs::temp_directory_path() / ("qs_cli_png_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string eeg = (dir / "case.eeg").string();
  ASSERT_TRUE(qs::recgen::WriteRecording(eeg, qs::recgen::GenerateRecording(options)));
  const fs::path png = dir / "pictures";
  const CliRun r = RunCli("replay " + eeg + " --png-dir " + png.string() + " --records " + (dir / "a.csv").string());
  ASSERT_EQ(r.code, 0) << r.out;
  ASSERT_EQ(RunCli("replay " + eeg + " --records " + (dir / "b.csv").string()).code, 0);
  const auto text = [](const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(text(dir / "a.csv"), text(dir / "b.csv")) << "drawing does not change the records";

  const auto pixel = [](const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; };
  const auto anyInColumn = [&](const QImage& image, int x, int y0, int y1, qs::Rgb colour) {
    for (int y = y0; y <= y1; ++y)
      if (pixel(image, x, y) == colour) return true;
    return false;
  };
  const QImage wave((png / "wave.png").string().c_str());
  ASSERT_EQ(wave.size(), QSize(576, 144));
  EXPECT_EQ(pixel(wave, 43, 50), qs::MakeRgb(255, 255, 255)) << "axis";
  EXPECT_EQ(pixel(wave, 500, 72), qs::MakeRgb(255, 255, 255)) << "the cleared newest second";
  int yellow = 0;
  for (int x = 44; x < 428; ++x) yellow += anyInColumn(wave, x, 0, 143, qs::MakeRgb(255, 255, 0));
  EXPECT_GT(yellow, 380) << "four seconds of raw wave, the newest scrolled left";

  const QImage power((png / "power.png").string().c_str());
  ASSERT_EQ(power.size(), QSize(265, 138));
  EXPECT_TRUE(anyInColumn(power, 52, 10, 113, qs::MakeRgb(0, 255, 0))) << "the spectrum at 5.5 Hz";

  const QImage bic((png / "bic.png").string().c_str());
  ASSERT_EQ(bic.size(), QSize(265, 140));
  const qs::Rgb cell = pixel(bic, 33, 118);
  EXPECT_NE(std::find(qs::ColourScale.begin(), qs::ColourScale.end(), cell), qs::ColourScale.end());

  const QImage trend((png / "trend.png").string().c_str());
  ASSERT_EQ(trend.size(), QSize(420, 488));
  EXPECT_TRUE(anyInColumn(trend, 32, 18, 80, qs::MakeRgb(0, 255, 255))) << "SEF";
  EXPECT_NE(std::find(qs::ColourScale.begin(), qs::ColourScale.end(), pixel(trend, 32, 420)),
            qs::ColourScale.end())
      << "aBIC strip";

  const QImage sqi((png / "sqi.png").string().c_str());
  ASSERT_EQ(sqi.size(), QSize(125, 100));
  EXPECT_NE(pixel(sqi, 10, 20), qs::MakeRgb(255, 255, 255)) << "time-domain bar";
  fs::remove_all(dir);
}

// The reference case's log, as the independent implementation wrote it after
// the same Calculation Only run: byte for byte.
TEST(Cli, ReplayLogOfTheReferenceCaseIsByteIdentical) {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  const fs::path out = fs::temp_directory_path() / ("qs_cli_log_" + std::to_string(::getpid()));
  const CliRun r = RunCli("replay " + (reference / "mixed10.eeg").string() + " --settings " +
                          (reference / "mixed10_Kvo_V2000.ini").string() + " --records " + out.string() +
                          ".csv --log " + out.string() + ".log");
  ASSERT_EQ(r.code, 0) << r.out;
  std::ifstream mine(out.string() + ".log", std::ios::binary), theirs(reference / "mixed10.log", std::ios::binary);
  std::stringstream a, b;
  a << mine.rdbuf();
  b << theirs.rdbuf();
  EXPECT_EQ(a.str(), b.str());
  fs::remove(out.string() + ".csv");
  fs::remove(out.string() + ".log");
}

// The reference case's exports, chosen before Start as the Save commands
// choose them: byte for byte. The program has one power and one bispectrum
// export file, so the text power export comes from a second run.
TEST(Cli, ReplayExportsOfTheReferenceCaseAreByteIdentical) {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  const fs::path dir = fs::temp_directory_path() / ("qs_cli_exports_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const auto slurp = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  const std::string replay = "replay " + (reference / "mixed10.eeg").string() + " --settings " +
                             (reference / "mixed10_Kvo_V2000.ini").string() + " --records " +
                             (dir / "records.csv").string();
  const auto out = [&dir](const char* name) { return (dir / name).string(); };
  const CliRun binary =
      RunCli(replay + " --pow-binary " + out("pow.bda") + " --bic-binary " + out("bic.bda") + " --amp " +
             out("amp.csv") + " --bis-variables " + out("bisvars.csv") + " --wave-ascii " + out("wave.dat"));
  ASSERT_EQ(binary.code, 0) << binary.out;
  const CliRun text = RunCli(replay + " --pow-ascii " + out("pow.dat") + " --bic-ascii " + out("bic.dat"));
  ASSERT_EQ(text.code, 0) << text.out;
  for (const char* name : {"pow.bda", "pow.dat", "bic.bda", "amp.csv", "bisvars.csv"}) {
    const std::string mine = slurp(dir / name), theirs = slurp(reference / ("mixed10_" + std::string(name)));
    EXPECT_FALSE(theirs.empty()) << name;
    EXPECT_TRUE(mine == theirs) << name << ": " << mine.size() << " bytes against " << theirs.size();
  }
  // No reference for these two: their shape. 600 s at 128 Hz; nine blocks of a
  // header line and 2256 pairs (one per log line, LogInterval 6).
  const std::string wave = slurp(dir / "wave.dat"), bic = slurp(dir / "bic.dat");
  EXPECT_EQ(std::count(wave.begin(), wave.end(), '\n'), 600 * 128);
  EXPECT_EQ(std::count(bic.begin(), bic.end(), '\n'), 9 * (1 + 2256));
  EXPECT_EQ(std::count(bic.begin(), bic.end(), '#'), 9);
  EXPECT_EQ(RunCli(replay + " --pow-binary " + out("a") + " --pow-ascii " + out("b")).code, 2)
      << "one power export per run";
  fs::remove_all(dir);
}

}  // namespace
