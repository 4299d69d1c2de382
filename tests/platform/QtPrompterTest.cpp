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

constexpr const char* kSaveFilter =
    "Ascii data file (*dat)|*.dat|EEG data file (*.eeg)|*.eeg|Log file (*.log)|*.log|comment file "
    "(*.cmt)|*.cmt| csv file (*.csv)| *.csv| all file (*.*)| *.*";

TEST(QtPrompterFilters, EachDescriptionAndPatternPairBecomesOneNameFilter) {
  EXPECT_EQ(NameFiltersFromList(kSaveFilter),
            (QStringList{"Ascii data file (*dat) (*.dat)", "EEG data file (*.eeg) (*.eeg)",
                         "Log file (*.log) (*.log)", "comment file (*.cmt) (*.cmt)",
                         "csv file (*.csv) (*.csv)", "all file (*.*) (*)"}));
}

TEST(QtPrompterFilters, SeveralPatternsOfOneEntryAreJoinedWithBlanks) {
  EXPECT_EQ(NameFiltersFromList("Data|*.dat; *.txt"), QStringList{"Data (*.dat *.txt)"});
}

TEST(QtPrompterFilters, ADescriptionWithoutPatternIsIgnored) {
  EXPECT_EQ(NameFiltersFromList("Data|*.dat|Dangling"), QStringList{"Data (*.dat)"});
  EXPECT_TRUE(NameFiltersFromList("").isEmpty());
}

FileDialogState SaveState(const QString& dir) {
  FileDialogState s;
  s.title = "Logged Data File Save";
  s.filter = kSaveFilter;
  s.filterIndex = 3;
  s.defaultExt = "log";
  s.initialDir = dir.toStdString();
  s.fileName = "20240102";
  return s;
}

TEST(QtPrompterDialogs, ASaveDialogLeavesTheOverwriteQuestionToTheCaller) {
  QTemporaryDir dir;
  QFileDialog dialog;
  ConfigureFileDialog(dialog, SaveState(dir.path()), FileDialogKind::Save);

  EXPECT_EQ(dialog.windowTitle(), "Logged Data File Save");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.selectedNameFilter(), "Log file (*.log) (*.log)");  // index 3, counted from 1
  EXPECT_EQ(dialog.defaultSuffix(), "log");
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
  ASSERT_EQ(dialog.selectedFiles().size(), 1);
  // The proposed name, completed with the default extension as the dialog returns it.
  EXPECT_TRUE(dialog.selectedFiles().front().endsWith("/20240102.log"))
      << dialog.selectedFiles().front().toStdString();
}

TEST(QtPrompterDialogs, AnOpenDialogAcceptsOnlyAnExistingFile) {
  FileDialogState s;
  s.title = "Wave Data File Open";
  s.filter = "Ascii data file (*dat)|*.dat|EEG data file (*.eeg)|*.eeg|all file (*.*)|*.*";
  s.filterIndex = 2;
  s.defaultExt = "eeg";
  QFileDialog dialog;
  ConfigureFileDialog(dialog, s, FileDialogKind::Open);

  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(dialog.selectedNameFilter(), "EEG data file (*.eeg) (*.eeg)");
}

TEST(QtPrompterDialogs, AnIndexOutsideTheListKeepsTheFirstFilter) {
  FileDialogState s;
  s.filter = "A|*.a|B|*.b";
  s.filterIndex = 7;
  QFileDialog dialog;
  ConfigureFileDialog(dialog, s, FileDialogKind::Open);
  EXPECT_EQ(dialog.selectedNameFilter(), "A (*.a)");
}

TEST(QtPrompterDialogs, AProposedPathWithAFolderOpensThatFolder) {
  QTemporaryDir dir;
  FileDialogState s = SaveState(QDir::homePath());
  s.fileName = (dir.path() + "/20240102.log").toStdString();
  QFileDialog dialog;
  ConfigureFileDialog(dialog, s, FileDialogKind::Save);
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
}

}  // namespace
}  // namespace qs
