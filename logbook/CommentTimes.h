#pragma once
// Comments as time-stamped events, for exchange formats: a comments file holds
// lines "hh:mm:ss,text" (CR LF or LF ends). The time is whatever the user
// typed, so a line whose time is not a valid hh:mm:ss (h:mm:ss accepted) keeps
// secondOfDay -1 and the caller decides what to do with it.
#include <string>
#include <vector>

namespace qs {

struct TimedComment {
  int secondOfDay = -1;
  std::string time;  // the text before the first comma
  std::string text;  // everything behind it
};

// The second of the day of "hh:mm:ss", or -1.
int ParseTimeOfDay(const std::string& text);
TimedComment ParseCommentLine(const std::string& line);
// Every non-empty line of a comments file; false when it cannot be read.
bool ReadCommentFile(const std::string& path, std::vector<TimedComment>& comments);
// "hh:mm:ss,text" for a second of the day (taken modulo one day).
std::string FormatCommentLine(int secondOfDay, const std::string& text);

}  // namespace qs
