#include "platform/QtPrompter.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace qs {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Paths travel as the file system's 8-bit names.
QString PathToQString(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string PathFromQString(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

std::optional<std::string> RunFileDialog(QWidget* parent, const FileDialogState& state, FileDialogKind kind) {
  QFileDialog dialog(parent);
  ConfigureFileDialog(dialog, state, kind);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return PathFromQString(chosen.front());
}

}  // namespace

void QtPrompter::error(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Warning, ToQString(caption), ToQString(text), QMessageBox::Ok, parent_);
  box.exec();
}

void QtPrompter::inform(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Information, ToQString(caption), ToQString(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtPrompter::ask(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Question, ToQString(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompter::saveFile(const FileDialogState& dialog) {
  return RunFileDialog(parent_, dialog, FileDialogKind::Save);
}

std::optional<std::string> QtPrompter::openFile(const FileDialogState& dialog) {
  return RunFileDialog(parent_, dialog, FileDialogKind::Open);
}

QStringList NameFiltersFromList(std::string_view filter) {
  const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      // "All files" on a system whose names need no dot: "*.*" would hide
      // every file without an extension.
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    patterns.removeAll(QString());
    if (patterns.isEmpty()) continue;
    result << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  return result;
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogState& state, FileDialogKind kind) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setWindowTitle(ToQString(state.title));
  if (kind == FileDialogKind::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The caller asks its own "File already exists" question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }

  const QStringList filters = NameFiltersFromList(state.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const qsizetype index = state.filterIndex - 1;  // the kept index counts from 1
    if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
  }
  dialog.setDefaultSuffix(ToQString(state.defaultExt));
  if (!state.initialDir.empty()) dialog.setDirectory(PathToQString(state.initialDir));
  // A proposed name with a directory part also moves the dialog there.
  if (!state.fileName.empty()) dialog.selectFile(PathToQString(state.fileName));
}

}  // namespace qs
