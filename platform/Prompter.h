#pragma once
// Modal boxes and file dialogs, the only way the program asks or tells the user
// something. Production shows Qt message boxes and dialogs; tests script the
// answers, so no test ever blocks on a modal box.
#include <optional>
#include <string>
#include <string_view>

namespace qs {

// The state of one file dialog, kept between uses as a dialog component keeps it.
struct FileDialogState {
  std::string title;
  std::string filter;  // entries "Description|pattern|Description|pattern..."
  int filterIndex = 1;  // 1-based, as the filter list counts its entries
  std::string defaultExt;  // without the dot
  std::string initialDir;
  std::string fileName;  // proposed or last chosen path
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A message box with one OK button: text first, caption second.
  virtual void error(std::string_view text, std::string_view caption) = 0;
  // The same box for a plain notice rather than a failure.
  virtual void inform(std::string_view text, std::string_view caption) = 0;
  // A Yes/No question box; true for Yes.
  virtual bool ask(std::string_view text, std::string_view caption) = 0;
  // Runs a save or open dialog; the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> saveFile(const FileDialogState& dialog) = 0;
  virtual std::optional<std::string> openFile(const FileDialogState& dialog) = 0;
};

}  // namespace qs
