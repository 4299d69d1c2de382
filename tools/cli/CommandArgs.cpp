#include "cli/CommandArgs.h"

#include <cstdio>

namespace qs::cli {

bool ParseChannel(const char* text, int* channel) {
  if (text == nullptr || text[0] < '0' || text[0] > '3' || text[1] != '\0') return false;
  *channel = text[0] - '0';
  return true;
}

bool CommandArgs::Parse(int argc, char** argv) const {
  std::size_t named = 0;
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    const bool hasValue = i + 1 < argc;
    bool taken = false;
    for (const auto& [name, on] : switches)
      if (a == name) *on = taken = true;
    for (const auto& [name, value] : values)
      if (!taken && a == name && hasValue) *value = argv[++i], taken = true;
    if (!taken && channel != nullptr && a == "--channel" && hasValue) {
      if (!ParseChannel(argv[++i], channel)) {
        std::fprintf(stderr, "%s: --channel takes 0 to 3, not '%s'\n", command, argv[i]);
        return false;
      }
      taken = true;
    }
    if (!taken && !a.empty() && a[0] != '-') {
      if (named < names.size()) {
        *names[named++] = a;
        taken = true;
      } else if (moreNames != nullptr) {
        moreNames->emplace_back(a);
        taken = true;
      }
    }
    if (!taken) {
      std::fprintf(stderr, "%s: unexpected argument '%s'\n%s", command, argv[i], usage);
      return false;
    }
  }
  return true;
}

}  // namespace qs::cli
