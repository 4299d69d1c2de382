#pragma once
// The one shape every command's arguments have: options with a value
// ("--out FILE"), switches ("--report"), the channel ("--channel N", 0 to 3)
// and file names in their order, or any number of them. A command lists its
// own and Parse reads argv against the list. Anything else (an unknown
// option, an option without its value, a name too many, a channel out of
// range) is said on standard error after "COMMAND: ", with the usage.
//
// Numbers with a command's own range (--jobs, --seconds, --start-offset) are
// read as texts here and checked by their command, which names the range.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qs::cli {

struct CommandArgs {
  const char* command;
  const char* usage;
  std::vector<std::pair<std::string_view, std::string*>> values{};
  std::vector<std::pair<std::string_view, bool*>> switches{};
  int* channel = nullptr;                         // "--channel N"
  std::vector<std::string*> names{};              // file names, in order
  std::vector<std::string>* moreNames = nullptr;  // any number of them

  bool Parse(int argc, char** argv) const;
};

// "0".."3".
bool ParseChannel(const char* text, int* channel);

}  // namespace qs::cli
