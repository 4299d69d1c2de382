#pragma once
// What the user types into the settings windows, read without any widget: the
// artifact thresholds and the entries of the choice lists. A choice list
// accepts typed text as well as its items, so every entry is plain text here.
// Nothing in this file can fail on any input; a text that means nothing gives
// "no value" and the caller keeps the setting it had.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qs {

// The longest leading decimal number of text, "." as the decimal point: an
// optional sign, digits with at most one point (at least one digit), and an
// optional exponent ("e", optional sign, digits). Nothing is skipped before
// it: text that does not begin with a number has none. A number too large or
// too small for a double has none either.
std::optional<double> LeadingNumber(std::string_view text);

// A threshold field's text on "Apply": its leading number if it reaches the
// field's minimum and fits a 32-bit float; otherwise nothing, and the setting
// stays as it was.
std::optional<float> ThresholdEntry(std::string_view text, double minimum);

// A threshold shown in its field: the float widened to double in the general
// number format with 15 significant digits (printf's "%.15g"), "." whatever the
// locale. 5.0f shows "5", 5.3f shows "5.30000019073486".
std::string ThresholdText(float value);

// The index of the item that the entry names exactly, or nothing for typed
// text that matches no item.
std::optional<int> FindItem(std::span<const std::string_view> items, std::string_view entry);

}  // namespace qs
