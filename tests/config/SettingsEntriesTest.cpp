// What the settings windows read from typed text: the leading number of a
// threshold field, the thresholds' minimums and display, and the list items.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "config/SettingsEntries.h"

namespace qs {
namespace {

TEST(LeadingNumber, ReadsTheLongestLeadingDecimalNumber) {
  const std::pair<const char*, double> numbers[] = {
      {"7", 7.0},    {"1.5", 1.5}, {"12abc", 12.0}, {"5,3", 5.0}, {"1.2.3", 1.2},
      {"+3", 3.0},   {"-2", -2.0}, {".5", 0.5},     {"5.", 5.0},  {"2e1", 20.0},
      {"2E-1", 0.2}, {"2e", 2.0},  {"2e+", 2.0},    {"2ex", 2.0}, {"0000003.25x", 3.25}};
  for (const auto& [text, number] : numbers) EXPECT_EQ(LeadingNumber(text), number) << text;
  // Nothing is skipped before the number; no text that overflows a double.
  for (const char* text : {"abc", "", " 7", "-", ".", "+.e5", "e5", "nan", "inf", "1e400", "-1e400"})
    EXPECT_FALSE(LeadingNumber(text).has_value()) << text;
  EXPECT_FALSE(LeadingNumber(std::string(5000, '9')).has_value());
}

TEST(ThresholdEntry, AcceptsANumberFromTheMinimumThatFitsAFloat) {
  // 1e39 is finite as a double but not as the float the setting holds: an
  // infinite threshold would never flag an artifact again.
  const std::tuple<const char*, double, std::optional<float>> cases[] = {
      {"1.5", 2.0, {}}, {"2", 2.0, 2.0f}, {"7", 2.0, 7.0f}, {"60 uV", 50.0, 60.0f}, {"49.999", 50.0, {}},
      {"abc", 5.0, {}}, {"", 5.0, {}},    {"-80", 5.0, {}}, {"1e39", 5.0, {}},      {"3.4e38", 5.0, 3.4e38f}};
  for (const auto& [text, minimum, stored] : cases) EXPECT_EQ(ThresholdEntry(text, minimum), stored) << text;
}

// The shown text, and "Apply" with the fields as shown leaves every threshold
// as it was, also for values whose text needs an exponent.
TEST(ThresholdText, ShowsTheWidenedFloatWithFifteenDigitsAndReadsBack) {
  const std::pair<float, const char*> shown[] = {
      {5.0f, "5"},   {80.0f, "80"},         {5.3f, "5.30000019073486"},
      {0.5f, "0.5"}, {123456.0f, "123456"}, {5e20f, "5.00000010020439e+20"}};
  for (const auto& [v, text] : shown) EXPECT_EQ(ThresholdText(v), text);
  for (float v : {2.0f, 5.3f, 7.25f, 1234.5678f, 5e20f, 3.4e38f, 1e-5f, 0.1f})
    EXPECT_EQ(ThresholdEntry(ThresholdText(v), 0.0), v) << v;
}

TEST(FindItem, NamesOnlyAnItemSpelledExactly) {
  constexpr std::string_view items[] = {"x1", "x2", "x3"};
  EXPECT_EQ(FindItem(items, "x3"), 2);
  EXPECT_EQ(FindItem(items, "x1"), 0);
  for (const char* typed : {"X3", "x3 ", " x3", "x", "", "x4", "3"})
    EXPECT_FALSE(FindItem(items, typed)) << typed;
}

}  // namespace
}  // namespace qs
