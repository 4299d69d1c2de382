#pragma once
// The lines of the log or comments window, kept in memory until saved. Only
// the user-interface thread touches them (workers hand lines over through a
// synchronized call), so they need no lock.
#include <string>
#include <vector>

namespace qs {

class TextLines {
 public:
  void Append(std::string line) { lines_.push_back(std::move(line)); }
  void Clear() { lines_.clear(); }
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::vector<std::string>& Lines() const { return lines_; }
  std::string& operator[](int i) { return lines_[static_cast<std::size_t>(i)]; }

  // Writes every line with a CR LF end. False when the file cannot be
  // written completely.
  bool SaveTo(const std::string& path) const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace qs
