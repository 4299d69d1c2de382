// quellscope-cli report and batch as a user runs them: summary figures
// against what the generator put into a case, the batch's table, failures,
// exit codes and interruption, and the report PDF read back with poppler.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include <cmath>
#include <numbers>

#include "support/CliProcess.h"
#include "tests/exchange/VitalTestFiles.h"
#include "tools/recgen/RecordingGenerator.h"
#include "support/FileText.h"

extern char** environ;

namespace qs::test {
namespace {

namespace fs = std::filesystem;
using Row = std::map<std::string, std::string>;

std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      out.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

// summary.csv as rows of column name to field.
std::vector<Row> Summary(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> names = CsvFields(line);
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = CsvFields(line);
    EXPECT_EQ(fields.size(), names.size()) << line;
    Row row;
    for (std::size_t k = 0; k < names.size() && k < fields.size(); ++k) row[names[k]] = fields[k];
    rows.push_back(row);
  }
  return rows;
}

bool HasTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0;
}

class CaseBatch : public TestFolder {
 protected:
  void SetUp() override { fs::create_directories(dir / "in"); }
  recgen::GeneratedRecording Generate(const recgen::GeneratorOptions& options, const std::string& name) {
    recgen::GeneratedRecording r = recgen::GenerateRecording(options);
    EXPECT_TRUE(recgen::WriteRecording(At(name), r));
    return r;
  }
  static CliRun Run(const std::string& args, int code) {
    const CliRun r = RunCli(args);
    EXPECT_EQ(r.code, code) << args << ":\n" << r.out;
    return r;
  }
};

recgen::ScenarioSegment Segment(int from, int to, recgen::SegmentKind kind, std::int16_t bis) {
  recgen::ScenarioSegment s;
  s.eeg.from = from;
  s.eeg.to = to;
  s.eeg.kind = kind;
  s.monitor.bis = bis;
  return s;
}

TEST_F(CaseBatch, SummaryFiguresMatchWhatTheGeneratorPutIn) {
  using recgen::SegmentKind;
  // BIS 70 (x 0.1 on the wire: 700) around a burst suppression stretch of BIS 50.
  const auto bs = Generate({.seconds = 600,
                            .scenario = {Segment(0, 120, SegmentKind::Awake, 700),
                                         Segment(120, 480, SegmentKind::BurstSuppression, 500),
                                         Segment(480, 600, SegmentKind::Awake, 700)}},
                           "in/bs.eeg");
  Generate({.seconds = 120, .monitor = {.bis = -1}}, "in/nobis.eeg");
  Run("batch " + At("in") + " --out " + At("out") + " --jobs 2", 0);
  const std::vector<Row> rows = Summary(dir / "out" / "summary.csv");
  ASSERT_EQ(rows.size(), 2u);
  const Row& r = rows[0];
  EXPECT_EQ(r.at("file"), At("in/bs.eeg"));
  EXPECT_EQ(r.at("start").substr(11), "10:00:00");
  EXPECT_EQ(r.at("duration_s"), "600");
  // Intervals close 14 s into the case and every 10 s after: 59 of them, the
  // 36 closing from 124 s to 474 s see the monitor's 50.
  EXPECT_EQ(r.at("intervals"), "59");
  EXPECT_EQ(r.at("bis_median"), "50.0");
  EXPECT_EQ(r.at("bis_40_60_pct"), "61.0");

  // The suppressed seconds written, and the longest run of them; the detector
  // loses at most one second per burst cycle at the stretch's edges (the fade,
  // the 0.5-s minimum, blocks the bursts get flagged in).
  int suppressed = 0, longest = 0, run = 0, cycles = 0;
  for (const auto& t : bs.truth) {
    suppressed += t.suppressed;
    run = t.suppressed ? run + 1 : 0;
    longest = std::max(longest, run);
    cycles = std::max(cycles, t.burstCycle + 1);
  }
  ASSERT_EQ(suppressed, 180);
  const double measured = std::stod(r.at("suppression_s"));
  EXPECT_LE(measured, suppressed);
  EXPECT_GE(measured, suppressed - cycles * 1.0) << cycles << " cycles";
  const double measuredLongest = std::stod(r.at("longest_suppression_s"));
  EXPECT_LE(measuredLongest, longest);
  EXPECT_GE(measuredLongest, longest - 1.0);
  EXPECT_EQ(r.at("status"), "ok");

  // Without the monitor's BIS its figures are not available; no suppression.
  EXPECT_EQ(rows[1].at("bis_median"), "");
  EXPECT_EQ(rows[1].at("bis_40_60_pct"), "");
  EXPECT_EQ(rows[1].at("suppression_s"), "0.0");

  // The second channel, numbered as the COM window's list ("ch. 1"): its
  // variables (the generator lowers BIS by 1.0 there).
  Run("batch " + At("in/bs.eeg") + " --out " + At("out2") + " --channel 1", 0);
  const Row second = Summary(dir / "out2" / "summary.csv").at(0);
  EXPECT_EQ(second.at("channel"), "1");
  EXPECT_EQ(second.at("bis_median"), "50.0");  // set explicitly: the same on every channel
  EXPECT_NE(Slurp(dir / "out2" / "bs.records.csv"), Slurp(dir / "out" / "bs.records.csv"));
  // "ch. 3" of a two-channel record is its channel 1, as in the COM window and replay.
  Run("batch " + At("in/bs.eeg") + " --out " + At("out3") + " --channel 3", 0);
  EXPECT_EQ(Summary(dir / "out3" / "summary.csv").at(0).at("channel"), "1");
  EXPECT_EQ(Slurp(dir / "out3" / "bs.records.csv"), Slurp(dir / "out2" / "bs.records.csv"));
}

TEST_F(CaseBatch, TenCasesAnEdfAndADamagedFileGiveTwelveRowsAndExitOne) {
  for (int i = 0; i < 10; ++i)
    Generate({.seconds = 90, .seed = static_cast<std::uint64_t>(i + 1)},
             "in/case" + std::to_string(i) + ".eeg");
  fs::create_directories(dir / "in" / "sub");
  Run("export-edf " + At("in/case0.eeg") + " " + At("in/sub/x.edf"), 0);
  { std::ofstream(At("in/sub/damaged.eeg"), std::ios::binary) << "A2K this is not a record"; }
  { std::ofstream(At("in/sub/notes.txt")) << "not a case"; }  // not searched for
  // The EDF case's conversion is replayed from a temporary file, removed after.
  fs::create_directories(dir / "tmp");
  const char* tmp = std::getenv("TMPDIR");
  const std::string kept = tmp != nullptr ? tmp : "";
  ::setenv("TMPDIR", At("tmp").c_str(), 1);
  const CliRun r = Run("batch " + At("in") + " --out " + At("out") + " --jobs 2 --report", 1);
  tmp != nullptr ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));
  EXPECT_NE(r.out.find("12 of 12 cases done, 1 failed"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\r'), std::string::npos) << "a progress line without a terminal";
  const std::vector<Row> rows = Summary(dir / "out" / "summary.csv");
  ASSERT_EQ(rows.size(), 12u);
  int ok = 0;
  for (const Row& row : rows) {
    if (row.at("status") == "ok") {
      ++ok;
      continue;
    }
    EXPECT_EQ(row.at("file"), At("in/sub/damaged.eeg"));
    EXPECT_EQ(row.at("status"), "File type error");
    EXPECT_EQ(row.at("intervals"), "");
  }
  EXPECT_EQ(ok, 11);
  EXPECT_FALSE(fs::exists(dir / "out" / "damaged.records.csv"));
  EXPECT_TRUE(fs::exists(dir / "out" / "x.pdf"));
  EXPECT_TRUE(fs::exists(dir / "out" / "case9.pdf"));
  // The EDF file replays as its conversion: the same figures as its source.
  const auto figures = [](Row row) {
    row.erase("file");
    return row;
  };
  EXPECT_EQ(figures(rows[0]), figures(rows[11]));
  // Each case's records are those of a single replay, byte for byte.
  for (int i : {0, 7}) {
    const std::string name = "case" + std::to_string(i);
    Run("replay " + At("in/" + name + ".eeg") + " --records " + At(name + ".csv"), 0);
    const std::string single = Slurp(At(name + ".csv"));
    EXPECT_FALSE(single.empty());
    EXPECT_TRUE(single == Slurp(dir / "out" / (name + ".records.csv"))) << name;
    EXPECT_FALSE(Slurp(dir / "out" / (name + ".log")).empty()) << name;
  }
}

// A Vital file is one more kind of case: converted in memory as import-vital
// converts it, its monitor BIS on the right seconds, its first part analysed.
TEST_F(CaseBatch, AVitalFileIsACaseOfItsOwn) {
  test::VitalWriter w;
  constexpr double kStart = 1.7e9;  // seconds since 1970, UTC
  w.Device(1, "BIS", "BIS");
  for (std::uint16_t id : {1, 2}) w.Track({.id = id, .name = id == 1 ? "BIS/EEG1_WAV" : "BIS/EEG2_WAV"});
  w.Track({.id = 3, .recType = 2, .name = "BIS/BIS", .unit = "", .montype = 22});
  for (int second = 0; second < 60; ++second) {
    std::vector<float> wave(128);
    for (int i = 0; i < 128; ++i)
      wave[static_cast<std::size_t>(i)] = static_cast<float>(20 * std::sin(2 * std::numbers::pi * 10 * (second + i / 128.0)));
    w.Wave(1, kStart + second, wave);
    w.Wave(2, kStart + second, wave);
    w.Numeric(3, kStart + second, 47.0f);
  }
  fs::create_directories(dir / "in");
  const std::vector<std::uint8_t> gz = w.Gzip();
  std::ofstream(dir / "in" / "case.vital", std::ios::binary)
      .write(reinterpret_cast<const char*>(gz.data()), static_cast<std::streamsize>(gz.size()));
  Run("batch " + At("in") + " --out " + At("out"), 0);
  const Row row = Summary(dir / "out" / "summary.csv").at(0);
  EXPECT_EQ(std::tuple(row.at("file"), row.at("status"), row.at("rate_hz"), row.at("bis_median")),
            std::tuple(At("in/case.vital"), std::string("ok"), std::string("128"), std::string("47.0")));
  EXPECT_GE(std::stoi(row.at("intervals")), 4);
}

TEST_F(CaseBatch, AnInterruptedBatchStopsItsWorkersAndKeepsWhatFinished) {
  for (int i = 0; i < 5; ++i)
    Generate({.seconds = 1800, .seed = static_cast<std::uint64_t>(i + 1)},
             "in/c" + std::to_string(i) + ".eeg");
  const std::string in = At("in"), out = At("out");
  const char* argv[] = {QS_CLI_PATH, "batch", in.c_str(), "--out", out.c_str(), "--jobs", "1", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, QS_CLI_PATH, &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Interrupt once the first case is done and the second under way.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(dir / "out" / "c1.records.csv") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::vector<Row> rows = Summary(dir / "out" / "summary.csv");
  ASSERT_GE(rows.size(), 1u);
  EXPECT_LT(rows.size(), 5u);
  for (std::size_t k = 0; k < 5; ++k) {
    const std::string stem = "c" + std::to_string(k);
    const bool listed = k < rows.size();
    if (listed) {
      EXPECT_EQ(rows[k].at("status"), "ok") << stem;
    }
    // A case stopped halfway leaves no files; a finished one keeps its own.
    EXPECT_EQ(fs::exists(dir / "out" / (stem + ".records.csv")), listed) << stem;
  }
}

// The words of a PDF page with their left edges (pdftotext -bbox).
std::vector<std::pair<std::string, double>> Words(const std::string& pdf, const std::string& html,
                                                  int page = 1) {
  const std::string pages = " -f " + std::to_string(page) + " -l " + std::to_string(page) + " ";
  EXPECT_EQ(std::system(("pdftotext -bbox" + pages + pdf + " " + html).c_str()), 0);
  const std::string text = Slurp(html);
  const std::regex word(R"re(<word xMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
  std::vector<std::pair<std::string, double>> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
    out.emplace_back((*it)[2].str(), std::stod((*it)[1].str()));
  return out;
}

TEST_F(CaseBatch, TheReportIsOneSearchablePageWithTheHeaderAndTheSummary) {
  if (!HasTool("pdftotext") || !HasTool("pdfinfo"))
    GTEST_SKIP() << "poppler-utils are not installed (scripts/setup)";
  const fs::path reference = QS_REFERENCE_DIR;
  // The reference settings and a 2-s moving average, said in the header.
  fs::copy_file(reference / "mixed10_Kvo_V2000.ini", At("s.ini"));
  { std::ofstream(At("s.ini"), std::ios::app) << "Moving_Average:2\r\n"; }
  const std::string settings = " --settings " + At("s.ini");
  { std::ofstream(At("c.cmt")) << "10:03:20,Propofol bolus\r\n"; }
  Run("report " + (reference / "mixed10.eeg").string() + settings + " --out " + At("r.pdf") + " --png " +
          At("r.png") + " --comments " + At("c.cmt"),
      0);
  Run("batch " + (reference / "mixed10.eeg").string() + settings + " --out " + At("out"), 0);
  const Row row = Summary(dir / "out" / "summary.csv").at(0);

  ASSERT_EQ(std::system(("pdfinfo " + At("r.pdf") + " > " + At("info.txt")).c_str()), 0);
  const std::string info = Slurp(At("info.txt"));
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +1\n"))) << info;
  EXPECT_TRUE(std::regex_search(info, std::regex("Page size: +842 x 595 pts"))) << info;
  ASSERT_EQ(std::system(("pdftotext -layout " + At("r.pdf") + " " + At("r.txt")).c_str()), 0);
  const std::string text = Slurp(At("r.txt"));
  for (const std::string& part :
       {std::string("Case report: mixed10.eeg"), "Start " + row.at("start").substr(11),
        std::string("(600 s)"), std::string("Sampling rate 128 Hz"), std::string("analysed channel 0"),
        std::string("SEF95, Moving_Average 2 s, BS_Threshold 5 uV, Overshoot 80 uV, Spike 30 uV"),
        std::string("Power_Dur 60 s, Bisp_Dur 180 s, Amp_Dur 60 s, Use Processed Wave true"),
        std::string("Use_BIS_BSR false, Use_BIS_SEF false, SR_PCT false, BicRatio false, SynchFastSlow false, "
                    "mBIC_filter false"),
        std::string("10:03:20 Propofol bolus")})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  // The spectrogram panel is drawn from the replay's spectra: its dB range.
  EXPECT_TRUE(std::regex_search(text, std::regex("-?[0-9]+ to -?[0-9]+ dB"))) << text;
  // Every figure of the table as the batch wrote it, in table order.
  std::size_t at = 0;
  for (const char* name : {"duration_s", "intervals", "bis_median", "bis_40_60_pct", "sef_median", "sef_iqr",
                           "bsr_mean", "suppression_s", "longest_suppression_s", "rbr_median", "bispr_median",
                           "amplitude_median", "artifact_pct", "sqi_time_mean"}) {
    const std::string value = row.at(name).empty() ? "n/a" : row.at(name);
    const std::size_t found = text.find(value, at);
    EXPECT_NE(found, std::string::npos) << name << " " << value;
    if (found != std::string::npos) at = found;
  }
  EXPECT_GT(fs::file_size(At("r.png")), 10000u);
}

TEST_F(CaseBatch, ACaseAcrossMidnightKeepsItsTimeAxisAndCommentsInOrder) {
  if (!HasTool("pdftotext")) GTEST_SKIP() << "poppler-utils are not installed (scripts/setup)";
  Generate({.seconds = 480, .startHour = 23, .startMinute = 55}, "mid.eeg");
  { std::ofstream(At("mid.cmt")) << "23:58:30,before\r\n00:01:30,after\r\n"; }
  // The comments file beside the record is found without --comments.
  Run("report " + At("mid.eeg") + " --out " + At("mid.pdf"), 0);
  std::map<std::string, double> x;
  for (const auto& [w, left] : Words(At("mid.pdf"), At("mid.html"))) x.emplace(w, left);
  const char* ticks[] = {"23:56", "23:57", "23:58", "23:59", "00:00", "00:01", "00:02", "00:03"};
  for (std::size_t k = 0; k + 1 < std::size(ticks); ++k) {
    ASSERT_TRUE(x.count(ticks[k]) && x.count(ticks[k + 1])) << ticks[k];
    EXPECT_LT(x[ticks[k]], x[ticks[k + 1]]) << ticks[k] << " before " << ticks[k + 1];
  }
  // A comment's label starts at its marker: 00:01:30 halfway from 00:01 to 00:02.
  ASSERT_TRUE(x.count("00:01:30") && x.count("23:58:30"));
  EXPECT_GT(x["00:01:30"], x["00:01"]);
  EXPECT_LT(x["00:01:30"], x["00:02"]);
  EXPECT_GT(x["23:58:30"], x["23:58"]);
  EXPECT_LT(x["23:58:30"], x["23:59"]);
}

TEST_F(CaseBatch, ACaseOfSevenHoursTakesTwoPagesEachHalfOfIt) {
  if (!HasTool("pdftotext") || !HasTool("pdfinfo"))
    GTEST_SKIP() << "poppler-utils are not installed (scripts/setup)";
  Generate({.seconds = 7 * 3600, .startHour = 20}, "long.eeg");
  Run("report " + At("long.eeg") + " --out " + At("long.pdf"), 0);
  ASSERT_EQ(std::system(("pdfinfo " + At("long.pdf") + " > " + At("info.txt")).c_str()), 0);
  EXPECT_TRUE(std::regex_search(Slurp(At("info.txt")), std::regex("Pages: +2\n")));
  // 20:00-23:30 and 23:30-03:00, ticks every half hour, in order across midnight.
  const std::vector<std::vector<std::string>> ticks = {
      {"20:30", "21:00", "21:30", "22:00", "22:30", "23:00", "23:30"},
      {"00:00", "00:30", "01:00", "01:30", "02:00", "02:30", "03:00"}};
  for (int page = 1; page <= 2; ++page) {
    std::map<std::string, double> x;
    for (const auto& [w, left] : Words(At("long.pdf"), At("long.html"), page)) x.emplace(w, left);
    const std::vector<std::string>& want = ticks[static_cast<std::size_t>(page - 1)];
    for (std::size_t k = 0; k + 1 < want.size(); ++k) {
      ASSERT_TRUE(x.count(want[k]) && x.count(want[k + 1])) << "page " << page << " " << want[k];
      EXPECT_LT(x[want[k]], x[want[k + 1]]) << "page " << page << " " << want[k];
    }
    EXPECT_EQ(x.count(page == 1 ? "00:00" : "21:00"), 0u) << "page " << page;
  }
}

}  // namespace
}  // namespace qs::test
