#include "logbook/CommentTimes.h"

#include <cstdio>
#include <fstream>

namespace qs {
namespace {

// A run of one or two digits at text[at]; -1 otherwise.
int TwoDigits(const std::string& text, std::size_t& at, std::size_t maxDigits) {
  int value = 0;
  std::size_t n = 0;
  while (at < text.size() && n < maxDigits && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + (text[at] - '0');
    ++at;
    ++n;
  }
  return n == 0 ? -1 : value;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

int ParseTimeOfDay(const std::string& raw) {
  const std::string text = Trim(raw);
  std::size_t at = 0;
  const int h = TwoDigits(text, at, 2);
  if (h < 0 || at >= text.size() || text[at++] != ':') return -1;
  const std::size_t minuteStart = at;
  const int m = TwoDigits(text, at, 2);
  if (m < 0 || at - minuteStart != 2 || at >= text.size() || text[at++] != ':') return -1;
  const std::size_t secondStart = at;
  const int s = TwoDigits(text, at, 2);
  if (s < 0 || at - secondStart != 2 || at != text.size()) return -1;
  if (h > 23 || m > 59 || s > 59) return -1;
  return h * 3600 + m * 60 + s;
}

TimedComment ParseCommentLine(const std::string& line) {
  TimedComment c;
  const auto comma = line.find(',');
  c.time = line.substr(0, comma);
  if (comma != std::string::npos) c.text = line.substr(comma + 1);
  c.secondOfDay = ParseTimeOfDay(c.time);
  return c;
}

bool ReadCommentFile(const std::string& path, std::vector<TimedComment>& comments) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    comments.push_back(ParseCommentLine(line));
  }
  return !in.bad();
}

std::string FormatCommentLine(int secondOfDay, const std::string& text) {
  const int s = ((secondOfDay % 86400) + 86400) % 86400;
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  return std::string(time) + "," + text;
}

}  // namespace qs
