// The program's window replaying a case at eight times real time, watched from
// inside: how long the user-interface thread takes to handle an event posted
// to it while the graphs are drawn, and how far the drawing queue grows. It
// builds the same window, threads and services as the program, chooses Offline
// and the file the way a user does, and photographs the window as it goes.
//
//   quellscope-display-check RECORD.eeg OUTDIR
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "core/AppCore.h"
#include "app/MainWindow.h"
#include "app/DsaWindow.h"
#include "app/Workers.h"
#include "dsp/CalcEngine.h"
#include "link/MonitorLink.h"
#include "platform/QtUiBridge.h"
#include "record/RecordFileService.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers the open dialog with the case; every message is printed.
class CasePrompter final : public qs::Prompter {
 public:
  explicit CasePrompter(std::string file) : file_(std::move(file)) {}
  void error(std::string_view text, std::string_view caption) override { Print(text, caption); }
  void inform(std::string_view text, std::string_view caption) override { Print(text, caption); }
  bool ask(std::string_view, std::string_view) override { return false; }
  std::optional<std::string> saveFile(const qs::FileDialogState&) override { return std::nullopt; }
  std::optional<std::string> openFile(const qs::FileDialogState&) override { return file_; }

 private:
  static void Print(std::string_view text, std::string_view caption) {
    std::printf("message: %.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                static_cast<int>(text.size()), text.data());
  }
  std::string file_;
};

// Posts a stamped event to the user-interface thread every 10 ms and records
// how long each waited to be handled.
class LatencyProbe {
 public:
  explicit LatencyProbe(QObject* target) : target_(target) {
    thread_ = std::thread([this] {
      while (!stop_) {
        const Clock::time_point posted = Clock::now();
        QMetaObject::invokeMethod(target_, [this, posted] {
          const double ms = std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
          std::lock_guard hold(mutex_);
          samples_.push_back(ms);
        }, Qt::QueuedConnection);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~LatencyProbe() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<double> Samples() {
    std::lock_guard hold(mutex_);
    return samples_;
  }

 private:
  QObject* target_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<double> samples_;
  std::thread thread_;
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quellscope-display-check RECORD.eeg OUTDIR\n");
    return 2;
  }
  const std::string record = std::filesystem::absolute(argv[1]).string();
  const std::filesystem::path out = std::filesystem::absolute(argv[2]);
  std::filesystem::create_directories(out);
  QApplication app(argc, argv);

  const auto core = std::make_unique<qs::AppCore>();
  qs::QtUiBridge bridge;
  CasePrompter prompter(record);
  qs::NoMonitorLink link;
  qs::RecordFileService records(*core);
  qs::CalcEngine engine(*core, &records.ReplayInput());
  qs::GraphScreenRelay screen;
  auto form1 = std::make_unique<TForm1>(*core, bridge, prompter, link, records, qs::ProgramWorkers(&engine, &screen),
                                        (out / "no-settings.ini").string(), &screen);
  if (form1->CreationFailed()) return 1;
  form1->show();
  // The Spectrogram window open beside it on the whole case, redrawn at
  // every interval.
  const auto spectrogram = std::make_unique<TSpectrogramForm>(*core);
  spectrogram->cbWhole->setChecked(true);
  form1->SetSecondaryWindows({.spectrogram = spectrogram.get()});
  form1->Controller().oSpectrogramClick();

  // Offline, the case, eight times real time, Start: as a user would.
  form1->oOffline->trigger();
  core->settings.ReplayIntervalMs = 126;
  const Clock::time_point started = Clock::now();
  form1->bStart->click();
  LatencyProbe probe(form1.get());

  std::size_t queueSamples = 0, queueSum = 0, queueMax = 0;
  int shot = 0;
  std::vector<std::pair<std::string, QPixmap>> spectrogramShots;
  QTimer watch;
  watch.setInterval(100);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const std::size_t size = core->drawQueue.Size();
    ++queueSamples;
    queueSum += size;
    queueMax = std::max(queueMax, size);
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    // Pictures at about 2, 5 and 8 minutes of data (8 s of data per wall second).
    if (shot < 3 && elapsed >= 15.0 + 22.5 * shot) {
      const std::string path = (out / ("replay-" + std::to_string(++shot) + ".png")).string();
      form1->grab().save(QString::fromStdString(path));
      // Written after the run: compressing the picture is not the window's work.
      spectrogramShots.emplace_back((out / ("dsa-" + std::to_string(shot) + ".png")).string(), spectrogram->grab());
      std::printf("screenshot: %s (replay clock %s)\n", path.c_str(), core->run.ClockSec.load() > 0 ? "running" : "-");
    }
    if (form1->Controller().Controls().bStart) {
      form1->grab().save(QString::fromStdString((out / "replay-end.png").string()));
      spectrogramShots.emplace_back((out / "dsa-end.png").string(), spectrogram->grab());
      QCoreApplication::exit(0);  // not quit(): that would ask the window to close, and it asks the user
    }
  });
  watch.start();
  app.exec();
  probe.Stop();
  for (const auto& [path, picture] : spectrogramShots) picture.save(QString::fromStdString(path));
  const double wall = std::chrono::duration<double>(Clock::now() - started).count();
  const std::vector<double> latency = probe.Samples();
  double mean = 0;
  for (double v : latency) mean += v;
  mean = latency.empty() ? 0 : mean / static_cast<double>(latency.size());
  std::printf("replay at x8: %.1f s wall for %u records\n", wall, static_cast<unsigned>(core->buffers.trend.index.load()));
  std::printf("user-interface event latency over %zu events: mean %.2f ms, p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
              latency.size(), mean, Percentile(latency, 0.5), Percentile(latency, 0.99),
              latency.empty() ? 0.0 : *std::max_element(latency.begin(), latency.end()));
  std::printf("drawing queue: high-water %zu requests, mean %.2f, sampled max %zu\n", core->drawQueue.HighWater(),
              queueSamples ? static_cast<double>(queueSum) / static_cast<double>(queueSamples) : 0.0, queueMax);
  form1.reset();
  return 0;
}
