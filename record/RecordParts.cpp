#include "record/RecordParts.h"

#include <cctype>
#include <filesystem>

#include "record/AutoRecordName.h"

namespace qs {
namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) || ec;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
  return true;
}

// "yyyymmdd" followed by 1..99 without a leading zero.
bool IsAutomaticStem(const std::string& stem) {
  if (stem.size() < 9 || stem.size() > 10 || !AllDigits(stem) || stem[8] == '0') return false;
  return true;
}

}  // namespace

std::string NextRecordPartPath(const std::string& current, const TimeOfDay& today) {
  const std::filesystem::path path(current);
  const std::string folder = path.parent_path().string();
  const std::string stem = path.stem().string();
  if (IsAutomaticStem(stem) && path.extension() == ".eeg") {
    for (int n = 1; n <= kMaxAutoRecordNames; ++n) {
      const std::string candidate = AutoRecordPath(folder, today, n);
      if (!Exists(candidate)) return candidate;
    }
    return {};
  }
  std::string base = stem;
  int part = 2;
  const std::size_t mark = stem.rfind("_part");
  if (mark != std::string::npos && AllDigits(stem.substr(mark + 5)) && stem.size() - mark <= 9) {
    base = stem.substr(0, mark);
    part = std::stoi(stem.substr(mark + 5)) + 1;
  }
  const std::string extension = path.extension().empty() ? std::string(".eeg") : path.extension().string();
  const std::string prefix = folder.empty() ? base : folder + "/" + base;
  for (int tries = 0; tries < 1000; ++tries, ++part) {
    const std::string candidate = prefix + "_part" + std::to_string(part) + extension;
    if (!Exists(candidate)) return candidate;
  }
  return {};
}

}  // namespace qs
