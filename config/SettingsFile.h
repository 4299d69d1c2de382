#pragma once
// Reader of the settings file "Kvo_V2000.ini": one "key:value" line per
// setting, read once at start-up and never written. See SettingsFile.cpp for
// the exact accept and ignore rules of each key.
#include <istream>
#include <string>

#include "core/AppSettings.h"

namespace qs {

inline constexpr const char* kSettingsFileName = "Kvo_V2000.ini";

struct SettingsLoadResult {
  bool fileRead = false;       // the file existed and was opened
  int linesRead = 0;           // lines (pieces of at most 999 characters) processed
  // A value of a numeric key that is not a number stops the reading at that
  // line: its 1-based number and its text (without the line end). 0 when the
  // whole file was read.
  int malformedLine = 0;
  std::string malformedText;
};

// Reads the file at path into settings, which must already hold the defaults.
// A missing or unreadable file leaves every field unchanged.
SettingsLoadResult LoadSettings(AppSettings& settings, const std::string& path = kSettingsFileName);

// The same rules applied to a stream (the bytes of a file).
SettingsLoadResult ReadSettings(AppSettings& settings, std::istream& in);

// The one message the user gets about a malformed line, or empty when none.
std::string DescribeSettingsProblem(const SettingsLoadResult& result);

}  // namespace qs
