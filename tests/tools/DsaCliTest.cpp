// The density spectral array and the channel choice of `quellscope-cli
// replay`: a generated case of known structure seen through `--dsa`, the
// values against the text power export, `dsa.png`, and every channel of a
// four-channel record run at once against one channel at a time.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/CliProcess.h"
#include "tools/recgen/RecordingGenerator.h"
#include "support/FileText.h"

namespace qs::test {
namespace {

namespace fs = std::filesystem;

struct CsvLine {
  int seconds = 0;  // time of day
  std::vector<double> values;
};

std::vector<CsvLine> ReadCsv(const fs::path& path) {
  std::ifstream in(path);
  std::vector<CsvLine> lines;
  for (std::string line; std::getline(in, line);) {
    CsvLine l;
    int h = 0, m = 0, s = 0;
    std::sscanf(line.c_str(), "%d:%d:%d", &h, &m, &s);
    l.seconds = h * 3600 + m * 60 + s;
    std::istringstream fields(line.substr(line.find(',') + 1));
    for (std::string f; std::getline(fields, f, ',');) l.values.push_back(f == "-inf" ? -INFINITY : std::stod(f));
    lines.push_back(std::move(l));
  }
  return lines;
}

class DsaCli : public TestFolder {
 protected:
  static void Run(const std::string& args) {
    const CliRun r = RunCli(args);
    ASSERT_EQ(r.code, 0) << args << ":\n" << r.out;
  }
};

// Mean power in dB of bins lo..hi (0.5 Hz each, 1-based) of a column:
// 10 log10 of the mean of the linear powers.
double BandDb(const CsvLine& line, int lo, int hi) {
  double sum = 0.0;
  for (int k = lo; k <= hi; ++k) sum += std::pow(10.0, line.values[static_cast<std::size_t>(k - 1)] / 10.0);
  return 10.0 * std::log10(sum / (hi - lo + 1));
}

// Awake with 10-Hz alpha (RMS 14 uV), anaesthetised (slow waves of RMS 27 uV
// and a frontal alpha of 14 uV at 10 Hz), burst suppression (suppressed
// seconds of 1 uV noise), awake again. Each section's last minute is
// checked, when the 60-s power window holds that section only.
TEST_F(DsaCli, ColumnsShowEachSectionsKnownContentAndEqualThePowerExportInDecibels) {
  recgen::GeneratorOptions options;
  ASSERT_TRUE(recgen::ParseScenario("awake:0-150,deep:150-330:scale=0.85:falpha=16,bs:330-510:fraction=0.8,"
                                    "awake:510-660",
                                    &options.scenario)
                  .empty());
  options.seconds = 660;
  ASSERT_TRUE(recgen::WriteRecording(At("case.eeg"), recgen::GenerateRecording(options)));
  Run("replay " + At("case.eeg") + " --settings /dev/null --dsa " + At("dsa.csv") + " --pow-ascii " +
      At("pow.dat") + " --png-dir " + At("png"));
  const auto dsa = ReadCsv(At("dsa.csv")), pow = ReadCsv(At("pow.dat"));
  ASSERT_EQ(dsa.size(), pow.size());
  ASSERT_GE(dsa.size(), 60u);

  // The same intervals and times; every value is 10 log10 of the export's
  // (printed with six decimals; zero power is -inf).
  for (std::size_t i = 0; i < dsa.size(); ++i) {
    ASSERT_EQ(std::pair(dsa[i].seconds, dsa[i].values.size()), std::pair(pow[i].seconds, std::size_t{93}));
    for (std::size_t k = 0; k < 93; ++k) {
      const double power = std::pow(10.0, dsa[i].values[k] / 10.0), printed = pow[i].values[k];
      EXPECT_LE(std::abs(power - printed), 5.01e-7 + 2e-5 * printed) << "interval " << i << " bin " << k + 1;
    }
  }

  struct Section {
    const char* name;
    int from, to;  // seconds of the case
    double alphaDb = 0.0, slowDb = 0.0, totalDb = 0.0;
  };
  Section sections[] = {{"awake", 90, 150}, {"anaesthetised", 270, 330}, {"suppressed", 450, 510},
                        {"awake again", 600, 660}};
  for (Section& s : sections) {
    int columns = 0;
    double alpha = 0.0, slow = 0.0, total = 0.0;
    for (const CsvLine& line : dsa) {
      const int t = line.seconds - 10 * 3600;
      if (t <= s.from || t > s.to) continue;
      ++columns;
      alpha += std::pow(10.0, BandDb(line, 16, 24) / 10.0);  // 8-12 Hz
      slow += std::pow(10.0, BandDb(line, 2, 8) / 10.0);     // 1-4 Hz
      total += std::pow(10.0, BandDb(line, 1, 60) / 10.0);   // 0.5-30 Hz
    }
    ASSERT_GE(columns, 5) << s.name;
    s.alphaDb = 10.0 * std::log10(alpha / columns);
    s.slowDb = 10.0 * std::log10(slow / columns);
    s.totalDb = 10.0 * std::log10(total / columns);
  }
  const Section &awake = sections[0], &deep = sections[1], &suppressed = sections[2], &again = sections[3];
  // Awake: alpha stands above the slow band; the same again at the end.
  EXPECT_GT(awake.alphaDb, awake.slowDb + 6.0);
  EXPECT_NEAR(again.alphaDb, awake.alphaDb, 2.0);
  // Anaesthetised: slow waves far above the awake slow band, and a frontal
  // alpha of about the awake alpha's amplitude (16 against 14 uV: +1.2 dB).
  EXPECT_GT(deep.slowDb, awake.slowDb + 10.0);
  EXPECT_NEAR(deep.alphaDb, awake.alphaDb + 1.2, 3.0);
  // Suppression: no power worth the name (none at all where the window holds
  // too few epochs).
  EXPECT_LT(suppressed.totalDb, awake.totalDb - 20.0);

  // The whole case as a picture, at the size it is written at.
  const QImage png(QString::fromStdString(At("png/dsa.png")));
  ASSERT_EQ(png.size(), QSize(960, 320));
}

// Every channel of a four-channel record at once, each written with its
// channel before the extension, byte for byte what one channel's run writes;
// the channels differ from each other. A two-channel record gets two runs.
TEST_F(DsaCli, AllChannelsWritesWhatEachChannelsOwnRunWrites) {
  recgen::GeneratorOptions options;
  options.seconds = 70;
  options.layout = RawLayout::FourChannels128;
  ASSERT_TRUE(recgen::WriteRecording(At("four.eeg"), recgen::GenerateRecording(options)));
  const std::string replay = "replay " + At("four.eeg") + " --settings /dev/null";
  Run(replay + " --all-channels --records " + At("all.csv") + " --dsa " + At("dsa.csv") + " --log " +
      At("run.log"));
  for (int c : {0, 3}) {
    const std::string ch = std::to_string(c);
    Run(replay + " --channel " + ch + " --records " + At("one.csv") + " --dsa " + At("one_dsa.csv") + " --log " +
        At("one.log"));
    for (const auto& [all, one] : {std::pair("all_ch" + ch + ".csv", "one.csv"),
                                   std::pair("dsa_ch" + ch + ".csv", "one_dsa.csv"),
                                   std::pair("run_ch" + ch + ".log", "one.log")}) {
      const std::string a = Slurp(At(all)), b = Slurp(At(one));
      EXPECT_FALSE(a.empty()) << all;
      EXPECT_TRUE(a == b) << all << " differs from the single run of channel " << c;
    }
  }
  EXPECT_NE(Slurp(At("all_ch1.csv")), Slurp(At("all_ch0.csv")));
  EXPECT_FALSE(fs::exists(At("all.csv")));

  options.layout = RawLayout::TwoChannels128;
  ASSERT_TRUE(recgen::WriteRecording(At("two.eeg"), recgen::GenerateRecording(options)));
  Run("replay " + At("two.eeg") + " --settings /dev/null --all-channels --records " + At("two.csv"));
  EXPECT_TRUE(fs::exists(At("two_ch1.csv")) && !fs::exists(At("two_ch2.csv")));
  // On a two-channel record "ch. 3" is channel 1, as in the COM window.
  Run("replay " + At("two.eeg") + " --settings /dev/null --channel 3 --records " + At("three.csv"));
  EXPECT_EQ(Slurp(At("three.csv")), Slurp(At("two_ch1.csv")));
  EXPECT_NE(RunCli("replay " + At("two.eeg") + " --channel 4").code, 0);
}

}  // namespace
}  // namespace qs::test
