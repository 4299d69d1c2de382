// QtPrompter's file dialogs: the kept dialog state (title, filter list, filter
// index, default extension, folder, proposed name) becomes a Qt dialog set up
// the same way. The dialogs are prepared, never shown.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>

#include "platform/QtPrompter.h"
#include "support/QtTestApp.h"

namespace qs {
namespace {

// Each description and pattern pair is one name filter; several patterns are
// joined with blanks, and a description without a pattern is ignored.
TEST(QtPrompterFilters, EachDescriptionAndPatternPairBecomesOneNameFilter) {
  const std::pair<const char*, QStringList> cases[] = {
      {"Ascii data file (*dat)|*.dat|Log file (*.log)|*.log| csv file (*.csv)| *.csv| all file (*.*)| *.*",
       {"Ascii data file (*dat) (*.dat)", "Log file (*.log) (*.log)", "csv file (*.csv) (*.csv)",
        "all file (*.*) (*)"}},
      {"Data|*.dat; *.txt", {"Data (*.dat *.txt)"}},
      {"Data|*.dat|Dangling", {"Data (*.dat)"}},
      {"", {}}};
  for (const auto& [list, filters] : cases) EXPECT_EQ(NameFiltersFromList(list), filters) << list;
}

TEST(QtPrompterDialogs, ASaveDialogLeavesTheOverwriteQuestionToTheCaller) {
  QTemporaryDir dir, other;
  FileDialogState s;
  s.title = "Logged Data File Save";
  s.filter = "EEG data file (*.eeg)|*.eeg|comment file (*.cmt)|*.cmt|Log file (*.log)|*.log";
  s.filterIndex = 3;  // counted from 1
  s.defaultExt = "log";
  s.initialDir = dir.path().toStdString();
  s.fileName = "20240102";
  QFileDialog dialog;
  ConfigureFileDialog(dialog, s, FileDialogKind::Save);
  EXPECT_EQ(dialog.windowTitle(), "Logged Data File Save");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.selectedNameFilter(), "Log file (*.log) (*.log)");
  EXPECT_EQ(dialog.defaultSuffix(), "log");
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
  ASSERT_EQ(dialog.selectedFiles().size(), 1);
  // The proposed name, completed with the default extension as the dialog returns it.
  EXPECT_TRUE(dialog.selectedFiles().front().endsWith("/20240102.log"))
      << dialog.selectedFiles().front().toStdString();

  s.fileName = (other.path() + "/20240102.log").toStdString();  // a proposed path opens its folder
  QFileDialog withFolder;
  ConfigureFileDialog(withFolder, s, FileDialogKind::Save);
  EXPECT_EQ(QDir(withFolder.directory()).canonicalPath(), QDir(other.path()).canonicalPath());
}

TEST(QtPrompterDialogs, AnOpenDialogAcceptsOnlyAnExistingFileAndKeepsTheFirstFilterForABadIndex) {
  for (const auto& [index, selected] :
       {std::pair{2, "B (*.b)"}, std::pair{7, "A (*.a)"}, std::pair{0, "A (*.a)"}}) {
    FileDialogState s;
    s.filter = "A|*.a|B|*.b";
    s.filterIndex = index;
    QFileDialog dialog;
    ConfigureFileDialog(dialog, s, FileDialogKind::Open);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.selectedNameFilter(), selected) << index;
  }
}

}  // namespace
}  // namespace qs
