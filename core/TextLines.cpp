#include "core/TextLines.h"

#include <cstdio>

namespace qs {

bool TextLines::SaveTo(const std::string& path) const {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = true;
  for (const std::string& line : lines_) {
    ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size();
    ok = ok && std::fwrite("\r\n", 1, 2, f) == 2;
  }
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

}  // namespace qs
