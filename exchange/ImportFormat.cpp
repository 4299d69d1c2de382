#include "exchange/ImportFormat.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace qs {
namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

}  // namespace

ImportFormat ImportFormatOf(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".vital") return ImportFormat::Vital;
  return ext == ".edf" || ext == ".bdf" ? ImportFormat::Edf : ImportFormat::Record;
}

bool IsCaseFileName(const std::string& path) {
  return ImportFormatOf(path) != ImportFormat::Record || LowerExtension(path) == ".eeg";
}

}  // namespace qs
