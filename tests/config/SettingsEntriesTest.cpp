// What the settings windows read from typed text: the leading number of a
// threshold field, the thresholds' minimums and display, and the items of the
// choice lists. Malformed text must never crash and never yield a value that
// the processing cannot use.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "config/SettingsEntries.h"

namespace qs {
namespace {

TEST(LeadingNumber, ReadsTheLongestLeadingDecimalNumber) {
  struct Case {
    const char* text;
    std::optional<double> number;
  } const cases[] = {
      {"7", 7.0},
      {"1.5", 1.5},
      {"12abc", 12.0},
      {"5,3", 5.0},  // "," is not the decimal point
      {"1.2.3", 1.2},
      {"+3", 3.0},
      {"-2", -2.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"2e1", 20.0},
      {"2E-1", 0.2},
      {"2e", 2.0},
      {"2e+", 2.0},
      {"2ex", 2.0},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {" 7", std::nullopt},  // nothing is skipped before it
      {"-", std::nullopt},
      {".", std::nullopt},
      {"+.e5", std::nullopt},
      {"e5", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"1e400", std::nullopt},
      {"-1e400", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(LeadingNumber(c.text), c.number);
  }
  const std::string longDigits(5000, '9');
  EXPECT_FALSE(LeadingNumber(longDigits).has_value()) << "10^5000 does not fit a double";
  EXPECT_EQ(LeadingNumber("0000000000000000000000000000000000000003.25x"), 3.25);
}

TEST(ThresholdEntry, AcceptsANumberFromTheMinimumThatFitsAFloat) {
  EXPECT_FALSE(ThresholdEntry("1.5", 2.0));
  EXPECT_EQ(ThresholdEntry("2", 2.0), 2.0f);
  EXPECT_EQ(ThresholdEntry("7", 2.0), 7.0f);
  EXPECT_EQ(ThresholdEntry("60 uV", 50.0), 60.0f);
  EXPECT_FALSE(ThresholdEntry("49.999", 50.0));
  EXPECT_FALSE(ThresholdEntry("abc", 5.0));
  EXPECT_FALSE(ThresholdEntry("", 5.0));
  EXPECT_FALSE(ThresholdEntry("-80", 5.0));
  // Finite as a double but not as the float the setting holds: an infinite
  // threshold would never flag an artifact again.
  EXPECT_FALSE(ThresholdEntry("1e39", 5.0));
  EXPECT_EQ(ThresholdEntry("3.4e38", 5.0), 3.4e38f);
}

TEST(ThresholdText, ShowsTheWidenedFloatWithFifteenSignificantDigits) {
  EXPECT_EQ(ThresholdText(5.0f), "5");
  EXPECT_EQ(ThresholdText(80.0f), "80");
  EXPECT_EQ(ThresholdText(5.3f), "5.30000019073486");
  EXPECT_EQ(ThresholdText(0.5f), "0.5");
  EXPECT_EQ(ThresholdText(123456.0f), "123456");
  EXPECT_EQ(ThresholdText(5e20f), "5.00000010020439e+20");
}

// "Apply" with the fields as shown must leave every threshold as it was, also
// for values whose text needs an exponent.
TEST(ThresholdText, ReadsBackAsTheSameFloat) {
  for (float v : {2.0f, 5.3f, 7.25f, 50.0f, 80.0f, 1234.5678f, 5e20f, 3.4e38f, 1e-5f, 0.1f}) {
    SCOPED_TRACE(v);
    EXPECT_EQ(ThresholdEntry(ThresholdText(v), 0.0), v);
  }
}

TEST(FindItem, NamesOnlyAnItemSpelledExactly) {
  constexpr std::string_view items[] = {"x1", "x2", "x3"};
  EXPECT_EQ(FindItem(items, "x3"), 2);
  EXPECT_EQ(FindItem(items, "x1"), 0);
  for (const char* typed : {"X3", "x3 ", " x3", "x", "", "x4", "3"})
    EXPECT_FALSE(FindItem(items, typed)) << typed;
}

// Random text, as a user or a fuzzer might type it: never a crash, and any
// accepted threshold is a finite float at or above its minimum.
TEST(ThresholdEntry, RandomTextNeverGivesAnUnusableThreshold) {
  std::mt19937 random(20261206);
  static constexpr char kChars[] = "0123456789.+-eE ,x\t\0\xff";
  const std::string alphabet(kChars, sizeof kChars - 1);
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 24, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const std::optional<float> v = ThresholdEntry(text, 5.0);
    if (v) {
      ASSERT_TRUE(std::isfinite(*v)) << text;
      ASSERT_GE(*v, 5.0f) << text;
    }
  }
}

}  // namespace
}  // namespace qs
