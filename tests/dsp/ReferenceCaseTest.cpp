// The reference case: a ten-minute recording with the records an independent
// implementation computed from it. Replaying it must reproduce every record
// within the stated tolerances.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/EngineRun.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

struct Tolerance {
  double relative, absolute;
};

// Per field, as the reference's README states them.
Tolerance FieldTolerance(std::size_t f) {
  using R = EpochResult;
  if (f == R::SqiTime || f == R::SqiPower || f == R::SqiBisp || f == R::Bsr || f == R::Bis) return {1e-6, 0};
  if (f == R::PbicLowFreq || f == R::PbicHighFreq) return {0, 0};
  if (f == R::Sef) return {1e-6, 0.01};  // an edge-bin flip on a knife-edge epoch
  if (f == R::Rbr || f == R::BispR) return {0, 1e-4};
  if (f == R::Amp) return {1e-4, 0};
  return {1e-3, 0.01};  // DiagBic, PbicLow, PbicHigh
}

std::vector<std::vector<double>> ReadReference(const fs::path& csv) {
  std::ifstream in(csv);
  std::vector<std::vector<double>> rows;
  std::string line;
  for (std::getline(in, line); std::getline(in, line);) {  // the rows after the header
    std::stringstream fields(line);
    int column = 0;
    auto& row = rows.emplace_back();
    for (std::string cell; std::getline(fields, cell, ',');)
      if (column++ != 1) row.push_back(std::stod(cell));  // all but the time
  }
  return rows;
}

TEST(ReferenceCase, ReplayReproducesEveryIntervalRecord) {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  std::stringstream settings;
  settings << std::ifstream(reference / "mixed10_Kvo_V2000.ini").rdbuf();
  const test::EngineRunResult run = test::RunEngine((reference / "mixed10.eeg").string(), settings.str());
  ASSERT_TRUE(run.ok);
  const auto expected = ReadReference(reference / "mixed10_records.csv");
  ASSERT_EQ(run.records.size(), expected.size());
  int mismatches = 0;
  for (std::size_t r = 0; r < expected.size(); ++r) {
    ASSERT_EQ(run.records[r].index, static_cast<int>(expected[r][0]));
    for (std::size_t f = 0; f < EpochResult::kFields; ++f) {
      const double want = expected[r][f + 1], got = run.records[r].record[f];
      const Tolerance t = FieldTolerance(f);
      const bool sentinel = want == kNotAvailable || got == kNotAvailable;
      const bool ok =
          sentinel ? want == got : std::abs(got - want) <= t.absolute + t.relative * std::abs(want);
      if (!ok && ++mismatches <= 20)
        ADD_FAILURE() << "record " << r << " field " << f << ": got " << got << ", reference " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace qs
