#include "cli/ReplayPictures.h"

#include <QGuiApplication>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "display/DrawThread.h"
#include "dsp/CalcEngine.h"
#include "platform/QueuedUiBridge.h"

namespace qs::cli {
namespace {
constexpr int kDsaPictureWidth = 960;
constexpr int kDsaPictureHeight = 320;
}  // namespace

// Text needs Qt's font database, which needs an application object; the
// off-screen platform needs no display.
struct ReplayPictures::GuiApp {
  GuiApp() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder and complains on the error stream
    // when the session has none; a command-line run often has none.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
      const std::string dir = "/tmp/quellscope-runtime-" + std::to_string(::getuid());
      if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) qputenv("XDG_RUNTIME_DIR", dir.c_str());
    }
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  int argc = 1;
  char name[16] = "quellscope-cli";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QGuiApplication> app;
};

ReplayPictures::ReplayPictures() : app_(std::make_unique<GuiApp>()) {}
ReplayPictures::~ReplayPictures() = default;

void ReplayPictures::AddDrawThread(WorkerFactory& workers, CalcEngine& engine) {
  workers.makeDrawThread = [this, &engine](AppCore& core, UiBridge& ui) -> std::unique_ptr<WorkerThread> {
    GraphDrawingOptions options;
    options.bicDisplay = engine.Bispectral().BicDisplay();
    options.pauseMs = 0;
    // The spectrogram as its window would show the whole case, drawn by the
    // drawing thread at every interval like the other graphs.
    core.dsaView.width = kDsaPictureWidth;
    core.dsaView.height = kDsaPictureHeight;
    core.dsaView.wholeCase = true;
    core.dsaView.wholeCaseMinColumns = 1;  // the case fills the picture, however short
    core.dsaView.shown = true;
    auto drawing = std::make_unique<GraphDrawing>(core, ui, options);
    drawing_ = drawing.get();
    return std::make_unique<TDrawThread>(core, ui, std::move(drawing));
  };
}

void ReplayPictures::Run(RunController& controller, QueuedUiBridge& ui, CalcEngine& engine, AppCore& core) {
  const auto ended = [&] { return controller.Controls().bStart; };
  const auto drawn = [&] { return core.drawQueue.Size() == 0; };
  while (!ended()) {
    const std::uint64_t before = engine.CyclesDone();
    controller.TimerTimer();
    // The second is processed (its interval shown on this thread's loop), or
    // the end of the file has stopped the run.
    ui.RunUntil([&] { return engine.CyclesDone() != before || ended(); }, 1000);
    // Everything it queued is drawn before the next second overwrites it.
    ui.RunUntil([&] { return drawn() || ended(); }, 1000);
  }
  while (!drawn()) ui.RunUntil(drawn, 1000);
}

bool ReplayPictures::Save(const std::string& dir) {
  if (drawing_ == nullptr) return false;
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  struct Picture {
    GraphId graph;
    const char* name;
  };
  static constexpr Picture kPictures[] = {{GraphId::Wave, "wave.png"},
                                          {GraphId::Power, "power.png"},
                                          {GraphId::Bic, "bic.png"},
                                          {GraphId::Trend, "trend.png"},
                                          {GraphId::Sqi, "sqi.png"},
                                          {GraphId::Dsa, "dsa.png"}};
  for (const Picture& p : kPictures) {
    const std::string path = (std::filesystem::path(dir) / p.name).string();
    if (!drawing_->Picture(p.graph).save(QString::fromStdString(path), "PNG")) {
      std::fprintf(stderr, "replay: cannot write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace qs::cli
