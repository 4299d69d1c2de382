#pragma once
// The program's run control without windows: the same run controller,
// calculation thread, events and record files as the program, with message
// boxes going to the error stream and the user-interface loop run here.
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "app/MainControls.h"
#include "platform/Prompter.h"

namespace qs::cli {

// Messages go to stderr; questions are answered No (Yes when answerYes is
// set: the acquisition confirms its own Stop); the open dialog returns the
// file named on the command line, once.
class ConsolePrompter final : public Prompter {
 public:
  explicit ConsolePrompter(std::string file) : file_(std::move(file)) {}
  void error(std::string_view text, std::string_view caption) override { Print(text, caption); }
  void inform(std::string_view text, std::string_view caption) override { Print(text, caption); }
  bool ask(std::string_view, std::string_view) override { return answerYes; }
  bool answerYes = false;
  // The save dialog answers with the file named for it (the snapshot), once.
  std::optional<std::string> saveFile(const FileDialogState&) override {
    if (saveAs.empty()) return std::nullopt;
    return std::exchange(saveAs, std::string());
  }
  std::string saveAs;
  std::optional<std::string> openFile(const FileDialogState&) override {
    if (file_.empty()) return std::nullopt;
    return std::exchange(file_, std::string());
  }
  bool reported = false;

 private:
  void Print(std::string_view text, std::string_view caption) {
    reported = true;
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  }
  std::string file_;
};

class NoWindows final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override {}
  void ShowWindow(SecondaryWindow) override {}
  void CloseWindow(SecondaryWindow) override {}
  void ExitProcess(int code) override { exitCode = code; }
  int exitCode = 0;
};

}  // namespace qs::cli
