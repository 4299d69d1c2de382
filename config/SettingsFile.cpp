// Reader of the settings file "Kvo_V2000.ini".
//
// The file predates this program: it is written by hand or by older versions of
// the tool, and existing files must keep meaning exactly what they meant. So the
// reader mirrors the original line handling byte for byte instead of being a
// "nicer" parser:
//
//  * The file is read in pieces the way fgets(buf, 1000, f) reads it: at most
//    999 bytes, ending after a '\n' if one comes within them; the line end stays
//    in the piece. A longer line therefore becomes several pieces, each handled
//    as a line of its own. A NUL byte ends the piece's text (C string), reading
//    resumes after the line end. Every piece counts as one line, 1-based.
//  * A piece starting with '#' is a comment. There are no other comments.
//  * The piece is split at ':' like strtok: leading and repeated colons make no
//    empty fields, at most 9 fields are taken. Fewer than 2 fields: skipped.
//  * Field 1 is the key, compared without regard to ASCII letter case but not
//    trimmed ("Show_Raw :true" is an unknown key). Unknown keys are skipped.
//  * The value is field 2 with every byte <= 0x20 (blanks, CR, LF, other
//    control bytes) removed at both ends. Further fields are ignored, except by
//    WorkDir (a Windows path's drive colon splits it).
//  * Flags take exactly "true" or "false"; fixed choices take their exact texts;
//    anything else leaves the field as it was. Numbers outside a key's range are
//    dropped the same way, so no field ever holds a value the program cannot use.
//  * A numeric key whose value is not a number at all (text, trailing words,
//    empty, NaN, infinity, overflow) stops the reading at that line: everything
//    before it stays applied, nothing after it is read, and the line is reported
//    once to the user. This is the one mistake that is not silently ignored,
//    because it usually means a hand edit went wrong.
//  * A key may appear several times; lines apply in file order, the last
//    accepted value wins.
//
// Numbers always use '.' as decimal separator: the conversions below never
// consult the locale.
#include "config/SettingsFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>

namespace qs {
namespace {

constexpr std::size_t kMaxPieceBytes = 999;  // fgets with a 1000-byte buffer
constexpr std::size_t kMaxFields = 9;
// Longest quote of a malformed line in the user message; the line number is
// what the user needs, the quote only helps to recognise the line.
constexpr std::size_t kMaxQuotedBytes = 100;

// One piece of the file split into fields.
struct Line {
  std::array<std::string_view, kMaxFields> fields{};
  std::size_t count = 0;
  std::string_view value;  // field 2, trimmed
};

enum class Outcome {
  kHandled,     // stored, or ignored as not acceptable
  kNotANumber,  // a numeric key's value is not a number: stop reading
};

using Handler = Outcome (*)(AppSettings&, const Line&);

struct KeyRule {
  std::string_view key;
  Handler handle;
};

struct Choice {
  std::string_view text;
  std::int32_t value;
};

// ---------------------------------------------------------------------------
// Text helpers

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view WithoutLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the next piece like fgets(buf, 1000, f). Returns its text up to the
// first NUL, or nothing at end of input.
std::optional<std::string_view> ReadPiece(std::streambuf& in, std::array<char, kMaxPieceBytes>& buffer) {
  using Traits = std::streambuf::traits_type;
  std::size_t size = 0;
  while (size < buffer.size()) {
    const Traits::int_type c = in.sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) break;
    buffer[size++] = Traits::to_char_type(c);
    if (Traits::to_char_type(c) == '\n') break;
  }
  if (size == 0) return std::nullopt;
  const std::string_view piece(buffer.data(), size);
  return piece.substr(0, piece.find('\0'));
}

// strtok(piece, ":") semantics, at most kMaxFields fields.
Line Split(std::string_view text) {
  Line line;
  std::size_t pos = 0;
  while (line.count < kMaxFields) {
    pos = text.find_first_not_of(':', pos);
    if (pos == std::string_view::npos) break;
    const std::size_t end = std::min(text.find(':', pos), text.size());
    line.fields[line.count++] = text.substr(pos, end - pos);
    pos = end;
  }
  if (line.count >= 2) line.value = Trim(line.fields[1]);
  return line;
}

// ---------------------------------------------------------------------------
// Number conversion: the whole text must be the number, nothing else.

// Optional sign, decimal digits. Anything else, or a value outside int32, is
// not a number.
std::optional<std::int32_t> ParseInt(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // |INT32_MIN|
  std::int64_t magnitude = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// Optional sign, digits with an optional '.' and fraction (at least one digit
// in all), optional exponent. No NaN, infinity or hex. A value too large for a
// float is not a number; one too small becomes zero, which then fails every
// key's range like any other zero.
std::optional<float> ParseFloat(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissaBegin = i;
  while (i < n && IsDigit(text[i])) ++i;
  const std::size_t integerEnd = i;
  std::size_t digits = integerEnd - mantissaBegin;
  if (i < n && text[i] == '.') {
    ++i;
    const std::size_t fractionBegin = i;
    while (i < n && IsDigit(text[i])) ++i;
    digits += i - fractionBegin;
  }
  if (digits == 0) return std::nullopt;
  const std::size_t mantissaEnd = i;

  long exponent = 0;  // saturated: only its sign and rough size matter below
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    const std::size_t exponentBegin = i;
    while (i < n && IsDigit(text[i])) {
      exponent = std::min(exponent * 10 + (text[i] - '0'), 100000L);
      ++i;
    }
    if (i == exponentBegin) return std::nullopt;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != n) return std::nullopt;

  // from_chars does not take a leading '+'; the grammar is already checked.
  const char* const first = text.data() + (text.front() == '+' ? 1 : 0);
  const char* const last = text.data() + n;
  float value = 0.0f;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc{} && end == last) {
    if (!std::isfinite(value)) return std::nullopt;
    return value;
  }
  if (error != std::errc::result_out_of_range) return std::nullopt;

  // Out of range: overflow or underflow. The decimal exponent of the first
  // significant digit tells which (non-negative: the value is >= 1).
  const std::string_view mantissa = text.substr(mantissaBegin, mantissaEnd - mantissaBegin);
  const std::size_t integerDigits = integerEnd - mantissaBegin;
  const std::size_t firstSignificant = mantissa.find_first_of("123456789");
  if (firstSignificant == std::string_view::npos) return 0.0f;  // all zeros: never out of range anyway
  long magnitude = firstSignificant < integerDigits
                       ? static_cast<long>(integerDigits - firstSignificant) - 1
                       : -static_cast<long>(firstSignificant - integerDigits);  // skips the '.'
  magnitude += exponent;
  if (magnitude >= 0) return std::nullopt;
  return text.front() == '-' ? -0.0f : 0.0f;
}

// ---------------------------------------------------------------------------
// Handlers by kind of key

template <Relaxed<bool> AppSettings::*Field>
Outcome SetFlag(AppSettings& s, const Line& line) {
  if (line.value == "true") {
    s.*Field = true;
  } else if (line.value == "false") {
    s.*Field = false;
  }
  return Outcome::kHandled;
}

template <Relaxed<float> AppSettings::*Field, bool (*InRange)(float)>
Outcome SetFloat(AppSettings& s, const Line& line) {
  const std::optional<float> value = ParseFloat(line.value);
  if (!value) return Outcome::kNotANumber;
  if (InRange(*value)) s.*Field = *value;
  return Outcome::kHandled;
}

// Map turns the number read into the stored value, or rejects it.
template <Relaxed<std::int32_t> AppSettings::*Field, std::optional<std::int32_t> (*Map)(std::int32_t)>
Outcome SetInteger(AppSettings& s, const Line& line) {
  const std::optional<std::int32_t> value = ParseInt(line.value);
  if (!value) return Outcome::kNotANumber;
  if (const std::optional<std::int32_t> stored = Map(*value)) s.*Field = *stored;
  return Outcome::kHandled;
}

std::optional<std::int32_t> FindChoice(std::string_view text, const auto& choices) {
  for (const Choice& choice : choices) {
    if (text == choice.text) return choice.value;
  }
  return std::nullopt;
}

template <Relaxed<std::int32_t> AppSettings::*Field, const auto& Choices>
Outcome SetChoice(AppSettings& s, const Line& line) {
  if (const std::optional<std::int32_t> value = FindChoice(line.value, Choices)) s.*Field = *value;
  return Outcome::kHandled;
}

// ---------------------------------------------------------------------------
// Ranges and fixed choices

bool AboveZero(float v) {
  return v > 0.0f;
}
bool OvershootInRange(float v) {
  return v >= 50.0f;
}
bool SpikeInRange(float v) {
  return v >= 5.0f;
}
bool BurstSuppressionInRange(float v) {
  return v > 0.0f && v < 6.0f;
}

// The file says 1 or 2 seconds; the program counts from 0.
std::optional<std::int32_t> MovingAverageIndex(std::int32_t seconds) {
  if (seconds == 1 || seconds == 2) return seconds - 1;
  return std::nullopt;
}

std::optional<std::int32_t> ComPortIndex(std::int32_t port) {
  if (port >= 0 && port <= 63) return port;
  return std::nullopt;
}

// Less than 8 hours of history is too little for the trend windows.
std::optional<std::int32_t> MaxMemHours(std::int32_t hours) {
  return std::max(hours, 8);
}

// Durations are counted in 10-second steps.
constexpr Choice kPowerDurations[] = {{"20sec", 2}, {"30sec", 3}, {"1min", 6}};
constexpr Choice kBispDurations[] = {{"1min", 6}, {"2min", 12}, {"3min", 18}, {"4min", 24}, {"5min", 30}};
constexpr Choice kShortDurations[] = {{"10sec", 1}, {"20sec", 2}, {"30sec", 3}, {"1min", 6}};
constexpr Choice kPowerScales[] = {{"5", 0}, {"10", 1}, {"20", 2}, {"50", 3}, {"100", 4}};
constexpr Choice kFigureTypes[] = {{"BISP", 0}, {"BIC", 1}, {"TPR", 2}};
constexpr std::int32_t kFigureTypeMbic = 3;

// ---------------------------------------------------------------------------
// Keys with rules of their own

// Only 256 Hz is named; any other value means the 128 Hz default.
Outcome SetSamplingRate(AppSettings& s, const Line& line) {
  s.SamplingRate = line.value == "256" ? 1 : 0;
  return Outcome::kHandled;
}

// Unlike the other choices, an unknown scale falls back to the smallest one
// rather than keeping an earlier line's value.
Outcome SetPowerScale(AppSettings& s, const Line& line) {
  s.PowerScale = FindChoice(line.value, kPowerScales).value_or(0);
  return Outcome::kHandled;
}

// The mBIC figure exists only with the option enabled, and the option must be
// enabled by an earlier line: the order of the lines matters here.
Outcome SetFigType(AppSettings& s, const Line& line) {
  if (const std::optional<std::int32_t> type = FindChoice(line.value, kFigureTypes)) {
    s.FigType = *type;
  } else if (line.value == "mBIC" && s.OptionButton) {
    s.FigType = kFigureTypeMbic;
  }
  return Outcome::kHandled;
}

// "NULL" asks for an empty text; everything else is taken as written (up to a
// second colon, which ends field 2).
Outcome SetDefectStr(AppSettings& s, const Line& line) {
  if (line.value == "NULL") {
    s.Defect_Str.clear();
  } else {
    s.Defect_Str.assign(line.value);
  }
  return Outcome::kHandled;
}

// A Windows path "C:\data" arrives split at its drive colon, so it must be
// exactly three fields: drive, ':', rest. A path with a further colon or without
// a drive is not a usable directory and is ignored. The drive part must not be
// blank, but it is not checked to be a single letter: the directory is only a
// starting point for dialogs and record files, and a wrong one shows up there
// plainly. On Linux an absolute path has no colon and arrives as two fields.
Outcome SetWorkDir(AppSettings& s, const Line& line) {
  if (line.count == 3) {
    const std::string_view drive = Trim(line.fields[1]);
    if (!drive.empty()) s.WorkDir.assign(drive).append(":").append(Trim(line.fields[2]));
  } else if (line.count == 2 && line.value.starts_with('/')) {
    s.WorkDir.assign(line.value);
  }
  return Outcome::kHandled;
}

// Device paths contain no colon, so anything but two fields is a mistake.
Outcome SetComDevice(AppSettings& s, const Line& line) {
  if (line.count != 2) return Outcome::kHandled;
  if (line.value == "NULL") {
    s.COM_Device.clear();
  } else if (line.value.starts_with('/')) {
    s.COM_Device.assign(line.value);
  }
  return Outcome::kHandled;
}

// ---------------------------------------------------------------------------

using S = AppSettings;

constexpr KeyRule kKeys[] = {
    {"Wave_Scale", &SetFloat<&S::Wave_Scale, AboveZero>},
    {"Moving_Average", &SetInteger<&S::Moving_Average, MovingAverageIndex>},
    {"Overshoot_Threshold", &SetFloat<&S::Overshoot_Threshold, OvershootInRange>},
    {"Spike_Threshold", &SetFloat<&S::Spike_Threshold, SpikeInRange>},
    {"BS_Threshold", &SetFloat<&S::BS_Threshold, BurstSuppressionInRange>},
    {"Show_Raw", &SetFlag<&S::Show_Raw>},
    {"Show_Proc", &SetFlag<&S::Show_Proc>},
    {"Defect_Str", &SetDefectStr},
    {"WorkDir", &SetWorkDir},
    {"Proc_Trend", &SetFlag<&S::Proc_Trend>},
    {"COM_Port", &SetInteger<&S::COM_Port, ComPortIndex>},
    {"Use_BIS_BSR", &SetFlag<&S::Use_BIS_BSR>},
    {"Use_BIS_SEF", &SetFlag<&S::Use_BIS_SEF>},
    {"SynchFastSlow?", &SetFlag<&S::SynchFastSlow>},
    {"Power_Dur", &SetChoice<&S::Power_Dur, kPowerDurations>},
    {"Bisp_Dur", &SetChoice<&S::Bisp_Dur, kBispDurations>},
    {"Amp_Dur", &SetChoice<&S::Amp_Dur, kShortDurations>},
    {"MaxMem", &SetInteger<&S::MaxMem, MaxMemHours>},
    {"LogInterval", &SetChoice<&S::LogInterval, kShortDurations>},
    {"Log_BIC", &SetFlag<&S::Log_BIC>},
    {"Log_EMG", &SetFlag<&S::Log_EMG>},
    {"AutoRec", &SetFlag<&S::AutoRec>},
    {"CommentOnLog", &SetFlag<&S::CommentOnLog>},
    {"BicRatio", &SetFlag<&S::BicRatio>},
    {"pBIC", &SetFlag<&S::pBIC>},
    {"Child", &SetFlag<&S::Child>},
    {"Pow_real", &SetFlag<&S::Pow_real>},
    {"OptionButton", &SetFlag<&S::OptionButton>},
    {"mBIC_filter", &SetFlag<&S::mBIC_filter>},
    {"SamplingRate", &SetSamplingRate},
    {"PowerScale", &SetPowerScale},
    {"FigType", &SetFigType},
    {"SR_PCT", &SetFlag<&S::SR_PCT>},
    {"Test_Mode", &SetFlag<&S::Test_Mode>},
    {"COM_Device", &SetComDevice},  // Linux only: a serial device by path
};

const KeyRule* FindKey(std::string_view key) {
  for (const KeyRule& rule : kKeys) {
    if (SameKey(key, rule.key)) return &rule;
  }
  return nullptr;
}

Outcome ApplyPiece(AppSettings& s, std::string_view text) {
  if (text.starts_with('#')) return Outcome::kHandled;
  const Line line = Split(text);
  if (line.count < 2) return Outcome::kHandled;
  const KeyRule* const rule = FindKey(line.fields[0]);
  if (rule == nullptr) return Outcome::kHandled;
  return rule->handle(s, line);
}

// The quoted line goes into a message box: no control bytes, bounded length.
std::string Quotable(std::string_view text) {
  std::string quoted(text.substr(0, kMaxQuotedBytes));
  for (char& c : quoted) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  if (text.size() > kMaxQuotedBytes) quoted += "...";
  return quoted;
}

}  // namespace

SettingsLoadResult ReadSettings(AppSettings& settings, std::istream& in) {
  SettingsLoadResult result;
  std::streambuf* const source = in.rdbuf();
  if (source == nullptr) return result;
  std::array<char, kMaxPieceBytes> buffer;
  while (const std::optional<std::string_view> piece = ReadPiece(*source, buffer)) {
    ++result.linesRead;
    if (ApplyPiece(settings, *piece) == Outcome::kNotANumber) {
      result.malformedLine = result.linesRead;
      result.malformedText.assign(WithoutLineEnd(*piece));
      break;
    }
  }
  return result;
}

SettingsLoadResult LoadSettings(AppSettings& settings, const std::string& path) {
  // A directory opens like a file on Linux but reads as nothing; treat it as
  // the missing file it is.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return {};
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) return {};
  SettingsLoadResult result = ReadSettings(settings, file);
  result.fileRead = true;
  return result;
}

std::string DescribeSettingsProblem(const SettingsLoadResult& result) {
  if (result.malformedLine == 0) return {};
  return std::string(kSettingsFileName) + ", line " + std::to_string(result.malformedLine) + ": \"" +
         Quotable(result.malformedText) +
         "\" is not a number. The settings after this line were not read; their defaults are used.";
}

}  // namespace qs
