#include "config/SettingsEntries.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace qs {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the leading number of text by the grammar of LeadingNumber; 0
// when there is none.
std::size_t LeadingNumberLength(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  // An exponent belongs to the number only when digits follow it: "5e" and
  // "5e+" are the number 5 followed by other text.
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exponentBegin = j;
    while (j < n && IsDigit(text[j])) ++j;
    if (j > exponentBegin) i = j;
  }
  return i;
}

}  // namespace

std::optional<double> LeadingNumber(std::string_view text) {
  const std::size_t length = LeadingNumberLength(text);
  if (length == 0) return std::nullopt;
  // from_chars takes no leading '+'.
  const std::size_t skip = text.front() == '+' ? 1 : 0;
  const char* const first = text.data() + skip;
  const char* const last = text.data() + length;
  double value = 0.0;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error != std::errc{} || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<float> ThresholdEntry(std::string_view text, double minimum) {
  const std::optional<double> number = LeadingNumber(text);
  if (!number || !(*number >= minimum)) return std::nullopt;
  // A threshold of infinity would switch its artifact test off for good.
  const float stored = static_cast<float>(*number);
  if (!std::isfinite(stored)) return std::nullopt;
  return stored;
}

std::string ThresholdText(float value) {
  char digits[64];
  const auto r = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                               std::chars_format::general, 15);
  return std::string(digits, r.ptr);
}

std::optional<int> FindItem(std::span<const std::string_view> items, std::string_view entry) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i] == entry) return static_cast<int>(i);
  return std::nullopt;
}

}  // namespace qs
