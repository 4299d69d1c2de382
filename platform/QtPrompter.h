#pragma once
// The production Prompter: Qt message boxes and Qt's own file dialogs.
//
// The file dialogs are always Qt's (never the desktop's native ones), so that
// they look and behave the same on every machine and in every test session.
#include <QPointer>
#include <QStringList>
#include <string_view>

#include "platform/Prompter.h"

class QFileDialog;
class QWidget;

namespace qs {

class QtPrompter final : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}

  // The window the boxes and dialogs are modal to (the main window).
  void SetParent(QWidget* parent) { parent_ = parent; }

  void error(std::string_view text, std::string_view caption) override;
  void inform(std::string_view text, std::string_view caption) override;
  bool ask(std::string_view text, std::string_view caption) override;
  std::optional<std::string> saveFile(const FileDialogState& dialog) override;
  std::optional<std::string> openFile(const FileDialogState& dialog) override;

 private:
  QPointer<QWidget> parent_;
};

enum class FileDialogKind { Open, Save };

// Qt name filters ("Description (patterns)") from a filter list of the form
// "Description|pattern|Description|pattern...". Blanks around the entries are
// dropped and ";" between patterns becomes Qt's blank; a description without
// its pattern is ignored.
QStringList NameFiltersFromList(std::string_view filter);

// Prepares a dialog from the kept dialog state, without showing it.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogState& state, FileDialogKind kind);

}  // namespace qs
