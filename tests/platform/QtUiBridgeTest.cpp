// QtUiBridge: steps from worker threads run on the user-interface thread, in
// order, and nothing ever blocks or runs once the bridge has been shut down.
// QtPrompter's file dialogs: the kept dialog state (title, filter list, filter
// index, default extension, folder, proposed name) becomes a Qt dialog set up
// the same way. The dialogs are prepared, never shown.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <future>
#include <thread>

#include "platform/QtPrompter.h"
#include "platform/QtUiBridge.h"
#include "support/QtTestApp.h"

namespace qs {
namespace {

using namespace std::chrono_literals;
using test::ProcessEventsUntil;

// Runs fn on a new thread; the future tells when it has returned.
const auto OnWorker = [](auto fn) { return std::async(std::launch::async, std::move(fn)); };
const auto Ready = [](const std::future<bool>& f) { return f.wait_for(0ms) == std::future_status::ready; };

// An exit while a step runs (say, from a box the step shows) must not release
// the worker early: the step uses the worker's function.
TEST(QtUiBridge, SynchronizeWaitsForTheUiThreadToRunTheStepOrRunsItInline) {
  QtUiBridge bridge;
  std::atomic<std::thread::id> ranOn;
  auto worker = OnWorker([&] { return bridge.Synchronize([&] { ranOn = std::this_thread::get_id(); }); });
  std::this_thread::sleep_for(50ms);  // without an event loop the step cannot run
  EXPECT_TRUE(!Ready(worker) && ranOn.load() == std::thread::id());
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker); }, 5000));
  EXPECT_TRUE(worker.get() && ranOn.load() == std::this_thread::get_id());
  bool ran = false;  // on the UI thread itself: no event loop involved
  EXPECT_TRUE(bridge.Synchronize([&] { ran = true; }) && ran);

  std::atomic<bool> stepFinished{false};
  auto step = [&] { bridge.Shutdown(), std::this_thread::sleep_for(50ms), stepFinished = true; };
  worker = OnWorker([&] { return bridge.Synchronize(step) && stepFinished; });
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker); }, 5000));
  EXPECT_TRUE(worker.get()) << "the step ran and had finished when its worker returned";
}

// Post runs later, on the UI thread, in order; a step may synchronize (inline)
// and post again.
TEST(QtUiBridge, PostRunsLaterOnTheUiThreadInOrder) {
  QtUiBridge bridge;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  bridge.Post([&] { order.push_back(1); });
  auto worker = OnWorker([&] {
    bridge.Post([&] { order.push_back(2), threads.push_back(std::this_thread::get_id()); });
    return bridge.Synchronize([&] {
      threads.push_back(std::this_thread::get_id());
      EXPECT_TRUE(bridge.Synchronize([&] { order.push_back(3); }));
      bridge.Post([&] { order.push_back(5); });
      order.push_back(4);
    });
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(order.empty()) << "nothing runs before the event loop does";
  ASSERT_TRUE(ProcessEventsUntil([&] { return Ready(worker) && order.size() == 5; }, 5000));
  EXPECT_TRUE(worker.get());
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(threads, std::vector<std::thread::id>(2, std::this_thread::get_id()));
}

TEST(QtUiBridge, ShutdownOrDestructionReleasesAWaitingWorkerAndAfterItNothingRuns) {
  QtUiBridge bridge;
  std::atomic<int> ran{0};
  bridge.Post([&] { ++ran; });  // queued before, dropped
  auto waiting = OnWorker([&] { return bridge.Synchronize([&] { ++ran; }); });
  std::this_thread::sleep_for(50ms);  // most likely waiting by now; either way the outcome is the same
  bridge.Shutdown();
  ASSERT_EQ(waiting.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(waiting.get());
  EXPECT_TRUE(bridge.IsShutDown());

  bridge.Post([&] { ++ran; });
  EXPECT_FALSE(bridge.Synchronize([&] { ++ran; }));  // on the UI thread
  auto late = OnWorker([&] { return bridge.Synchronize([&] { ++ran; }); });
  ASSERT_EQ(late.wait_for(1s), std::future_status::ready);
  EXPECT_FALSE(late.get());
  // Steps still queued when a bridge is destroyed never run either.
  auto destroyed = std::make_unique<QtUiBridge>();
  OnWorker([&, raw = destroyed.get()] { return raw->Post([&] { ++ran; }), true; }).get();
  destroyed.reset();
  test::ProcessEventsFor(50);
  EXPECT_EQ(ran, 0);
}

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

// A save dialog leaves the overwrite question to the caller; an open dialog
// accepts only an existing file and keeps the first filter for a bad index.
TEST(QtPrompterDialogs, EachDialogIsSetUpFromTheKeptState) {
  QTemporaryDir dir, other;
  FileDialogState s{.title = "Logged Data File Save",
                    .filter = "EEG data file (*.eeg)|*.eeg|comment file (*.cmt)|*.cmt|Log file (*.log)|*.log",
                    .filterIndex = 3,  // counted from 1
                    .defaultExt = "log",
                    .initialDir = dir.path().toStdString(),
                    .fileName = "20240102"};
  QFileDialog dialog;
  ConfigureFileDialog(dialog, s, FileDialogKind::Save);
  EXPECT_EQ(dialog.windowTitle() + "|" + dialog.selectedNameFilter() + "|" + dialog.defaultSuffix(),
            "Logged Data File Save|Log file (*.log) (*.log)|log");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite) &&
              dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
  ASSERT_EQ(dialog.selectedFiles().size(), 1);
  // The proposed name, completed with the default extension as the dialog returns it.
  EXPECT_TRUE(dialog.selectedFiles().front().endsWith("/20240102.log"))
      << dialog.selectedFiles().front().toStdString();
  s.fileName = (other.path() + "/20240102.log").toStdString();  // a proposed path opens its folder
  QFileDialog withFolder;
  ConfigureFileDialog(withFolder, s, FileDialogKind::Save);
  EXPECT_EQ(QDir(withFolder.directory()).canonicalPath(), QDir(other.path()).canonicalPath());

  s.filter = "A|*.a|B|*.b";
  for (const auto& [index, selected] :
       {std::pair{2, "B (*.b)"}, std::pair{7, "A (*.a)"}, std::pair{0, "A (*.a)"}}) {
    QFileDialog open;
    s.filterIndex = index;
    ConfigureFileDialog(open, s, FileDialogKind::Open);
    EXPECT_TRUE(open.acceptMode() == QFileDialog::AcceptOpen && open.fileMode() == QFileDialog::ExistingFile);
    EXPECT_EQ(open.selectedNameFilter(), selected) << index;
  }
}

}  // namespace
}  // namespace qs
