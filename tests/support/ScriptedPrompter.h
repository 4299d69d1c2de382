#pragma once
// A Prompter that answers from a script and records what it was asked, so a
// test drives every modal box without ever blocking.
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Prompter.h"

namespace qs::test {

class ScriptedPrompter final : public Prompter {
 public:
  struct Shown {
    std::string kind;  // "error", "inform", "ask", "save", "open"
    std::string text;  // message text, or the dialog title
    std::string caption;
  };

  // Answers for ask(), in order. An unscripted question fails the test loudly.
  std::deque<bool> answers;
  // Answers for the dialogs, in order: a path, or nullopt for Cancel.
  std::deque<std::optional<std::string>> files;
  std::vector<Shown> shown;
  std::vector<FileDialogState> dialogs;

  void error(std::string_view text, std::string_view caption) override {
    shown.push_back({"error", std::string(text), std::string(caption)});
  }
  void inform(std::string_view text, std::string_view caption) override {
    shown.push_back({"inform", std::string(text), std::string(caption)});
  }
  bool ask(std::string_view text, std::string_view caption) override {
    shown.push_back({"ask", std::string(text), std::string(caption)});
    if (answers.empty()) throw std::logic_error("unscripted question: " + std::string(text));
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> saveFile(const FileDialogState& d) override { return Dialog("save", d); }
  std::optional<std::string> openFile(const FileDialogState& d) override { return Dialog("open", d); }

  bool Saw(std::string_view text, std::string_view caption) const {
    for (const Shown& s : shown)
      if (s.text == text && s.caption == caption) return true;
    return false;
  }

 private:
  std::optional<std::string> Dialog(const char* kind, const FileDialogState& d) {
    shown.push_back({kind, d.title, ""});
    dialogs.push_back(d);
    if (files.empty()) throw std::logic_error(std::string("unscripted ") + kind + " dialog: " + d.title);
    auto f = files.front();
    files.pop_front();
    return f;
  }
};

}  // namespace qs::test
