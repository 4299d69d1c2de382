// Program entry: the splash, the one owner of the process-wide records, the
// Qt implementations of the platform interfaces, the windows, and the event
// loop. The command line: app/ProgramOptions.h (--help, --version and the home
// folder, before any window) and, for a first look, --start and --spectrogram.
#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>

#include "core/AppCore.h"
#include "app/MainWindow.h"
#include "app/ProgramOptions.h"
#include "app/SpareTrendWindow.h"
#include "app/DsaWindow.h"
#include "app/SplashWindow.h"
#include "app/Workers.h"
#include "config/ProcessingSettingsWindow.h"
#include "config/ViewSettingsWindow.h"
#include "link/ComSettingsWindow.h"
#include "link/SerialLink.h"
#include "logbook/CommentInputWindow.h"
#include "logbook/CommentsWindow.h"
#include "logbook/LogWindow.h"
#include "platform/QtPrompter.h"
#include "platform/QtUiBridge.h"
#include "record/RecordFileService.h"
#include "dsp/CalcEngine.h"

namespace {

// Program options for a first look without a click:
//   --spectrogram  opens the Spectrogram window beside the main window,
//                  showing the whole case (a demo's few minutes fill it);
//   --start        presses Start once the window is up (the mode the
//                  settings chose: online streams from the monitor).
void StartupOptions(const QStringList& arguments, TForm1& form1, TSpectrogramForm& spectrogram) {
  if (arguments.contains(QStringLiteral("--spectrogram"))) {
    spectrogram.cbWhole->setChecked(true);
    // Side by side, the pair centred on the screen where it fits.
    const QRect frame = form1.frameGeometry();
    if (const QScreen* screen = form1.screen()) {
      const QRect room = screen->availableGeometry();
      const int pair = frame.width() + 8 + spectrogram.frameGeometry().width();
      form1.move(room.left() + std::max(0, (room.width() - pair) / 2), frame.top());
    }
    form1.Controller().oSpectrogramClick();
    spectrogram.move(form1.frameGeometry().right() + 8, form1.frameGeometry().top());
    form1.activateWindow();
  }
  if (arguments.contains(QStringLiteral("--start")))
    QTimer::singleShot(0, &form1, [&form1] {
      if (form1.Controller().Controls().bStart && form1.isEnabled()) form1.Controller().bStartClick();
    });
}

}  // namespace

int main(int argc, char* argv[]) {
  // --help, --version and the home folder come before any window.
  if (const std::optional<int> code = qs::EarlyProgramOptions(argc, argv)) return *code;
  QApplication app(argc, argv);

  // The splash frees itself when its timer closes it; if the program ends
  // sooner, it is freed below.
  QPointer<TForm6> splash = new TForm6;
  splash->ShowNow();

  // The application's own title. It is the application name, not Qt's display
  // name: Qt appends the display name to every window's caption ("Version —
  // Quellscope for V2000"), and each window and box keeps its exact caption.
  QApplication::setApplicationName(QStringLiteral("Quellscope for V2000"));

  // The process-wide records and the platform services outlive every window
  // and thread that uses them.
  const auto core = std::make_unique<qs::AppCore>();
  qs::QtUiBridge bridge;
  qs::QtPrompter prompter;
  qs::RecordFileService records(*core);
  qs::SerialLink link(*core, bridge, &records.ReplayInput());
  qs::CalcEngine engine(*core, &records.ReplayInput());

  // The drawing thread shows its pictures in the main window through this relay.
  qs::GraphScreenRelay screen;
  auto form1 = std::make_unique<TForm1>(*core, bridge, prompter, link, records, qs::ProgramWorkers(&engine, &screen),
                                        qs::kSettingsFileName, &screen);
  if (form1->CreationFailed()) {
    delete splash;
    return 1;
  }
  prompter.SetParent(form1.get());

  // The secondary windows are top-level windows of their own, not children of
  // the main window: a window that disables the main window while it is open
  // must not disable itself with it.
  const auto processing = std::make_unique<TForm4>();
  const auto view = std::make_unique<TForm5>();
  const auto log = std::make_unique<TForm7>();
  const auto commentInput = std::make_unique<TForm2>();
  const auto com = std::make_unique<TForm3>();
  com->Bind(core->settings, core->run);
  const auto comments = std::make_unique<TForm8>();
  const auto spareTrend = std::make_unique<TTrendForm>();  // never shown
  const auto spectrogram = std::make_unique<TSpectrogramForm>(*core);
  form1->SetSecondaryWindows({.processing = processing.get(),
                              .view = view.get(),
                              .log = log.get(),
                              .commentInput = commentInput.get(),
                              .com = com.get(),
                              .comments = comments.get(),
                              .spectrogram = spectrogram.get()});

  form1->show();
  // The splash stays above the main window for the rest of its 4 s, even
  // where no window manager honours its always-on-top hint.
  if (splash) splash->raise();
  if (const std::string& problem = form1->Controller().SettingsProblem(); !problem.empty())
    prompter.inform(problem, "Settings");
  StartupOptions(QCoreApplication::arguments(), *form1, *spectrogram);

  const int code = app.exec();
  // The main window goes first: it ends the worker threads while everything
  // they might still reach exists.
  form1.reset();
  delete splash;
  return code;
}
