#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <initializer_list>

#include "app/DsaWindow.h"
#include "config/ProcessingSettingsWindow.h"
#include "config/ViewSettingsWindow.h"
#include "link/ComSettingsWindow.h"
#include "logbook/CommentInputWindow.h"
#include "logbook/CommentsWindow.h"
#include "logbook/LogWindow.h"

namespace {

// Sizes are pixels at 96 dpi, set as pixel sizes so that the layout does not
// depend on the screen's resolution: the window font is 10 pt, labels 12 pt.
constexpr int kWindowFontPx = 13;
constexpr int kLabelFontPx = 16;
constexpr int kDesignTimerMs = 500;

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kMaroon(0x80, 0x00, 0x00);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kTeal(0x00, 0x80, 0x80);
const QColor kFuchsia(0xFF, 0x00, 0xFF);
const QColor kPurple(0x80, 0x00, 0x80);
const QColor kBlack(0x00, 0x00, 0x00);

QFont WindowFont(int pixelSize) {
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(pixelSize);
  font.setBold(true);
  return font;
}

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect place, const char* caption,
                        const char* hint) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(place);
  button->setToolTip(QString::fromLatin1(hint));
  return button;
}

// Labels size themselves to their caption, as the window's labels always have.
QLabel* MakeLabel(QWidget* parent, const char* name, QPoint place, const char* caption,
                  const QColor& colour) {
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(WindowFont(kLabelFontPx));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->move(place);
  label->adjustSize();
  return label;
}

void SetCaption(QLabel* label, const QString& caption) {
  if (label->text() == caption) return;
  label->setText(caption);
  label->adjustSize();
}

QLineEdit* MakeValueBox(QWidget* parent, const char* name, QPoint place, const char* hint) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(place.x(), place.y(), 49, 23);
  box->setReadOnly(true);
  box->setToolTip(QString::fromLatin1(hint));
  return box;
}

// A window image: a fixed-size picture that the drawing thread replaces. Until
// the first drawing it shows the graph's background colour.
QLabel* MakeImage(QWidget* parent, const char* name, QRect place, const QColor& background,
                  const char* hint) {
  auto* image = new QLabel(parent);
  image->setObjectName(QLatin1String(name));
  image->setGeometry(place);
  image->setToolTip(QString::fromLatin1(hint));
  QPixmap blank(place.size());
  blank.fill(background);
  image->setPixmap(blank);
  return image;
}

QAction* MakeCommand(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut = {}) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QLatin1String(name));
  action->setShortcut(shortcut);
  return action;
}

void SetHint(QAction* action, const char* hint) {
  action->setToolTip(QString::fromLatin1(hint));
  action->setStatusTip(QString::fromLatin1(hint));
}

}  // namespace

TForm1::TForm1(qs::AppCore& core, qs::UiBridge& ui, qs::Prompter& prompter, qs::MonitorLink& link,
               qs::RecordFiles& records, qs::WorkerFactory workers, std::string settingsPath,
               qs::GraphScreenRelay* graphScreen)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      ui_(ui),
      screen_(graphScreen),
      controller_(qs::RunControllerDeps{core, ui, prompter, *this, link, records, std::move(workers),
                                        std::move(settingsPath)}) {
  setWindowTitle(QStringLiteral("Quellscope for A-2000/XP/VISTA"));

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  client->setFixedSize(kClientWidth, kClientHeight);
  client->setFont(WindowFont(kWindowFontPx));
  setCentralWidget(client);
  BuildControls(client);
  BuildMenus();
  ConnectHandlers();

  // Fixed size: the client area plus the menu bar, nothing to resize.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  adjustSize();
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

  // The drawing thread, created by FormCreate, shows its first pictures at once.
  if (screen_ != nullptr) screen_->SetTarget(this);
  creationFailed_ = !controller_.FormCreate();
}

TForm1::~TForm1() {
  // No step from a worker may run on this window from here on.
  ui_.Shutdown();
  controller_.FormDestroy();
  if (screen_ != nullptr) screen_->SetTarget(nullptr);
  // The secondary windows outlive this window; none of them may report a
  // close to the controller any more.
  if (processingWindow_) {
    processingWindow_->onClosed = nullptr;
    processingWindow_->Attach(nullptr);
  }
  if (viewWindow_) {
    viewWindow_->onClosed = nullptr;
    viewWindow_->Attach(nullptr);
  }
  if (logWindow_) logWindow_->onClosed = nullptr;
  if (commentInputWindow_) commentInputWindow_->onClosed = nullptr;
  if (comWindow_) comWindow_->onClosed = nullptr;
  if (commentsWindow_) commentsWindow_->onClosed = nullptr;
}

void TForm1::BuildControls(QWidget* client) {
  // Made in this order because later widgets lie on top: a value label's area
  // reaches a few pixels into the value box below it, and the box must stay
  // whole.
  bStart = MakeButton(client, "bStart", {8, 8, 73, 17}, "Start", "Start Processing");
  bStop = MakeButton(client, "bStop", {8, 32, 73, 17}, "Stop", "Stop Processing");
  bPause = MakeButton(client, "bPause", {96, 8, 73, 17}, "Pause", "Pause Processing");
  bComment = MakeButton(client, "bComment", {184, 8, 73, 17}, "Comment", "Open Comment Window");
  bYes = MakeButton(client, "bYes", {136, 31, 33, 16}, "Yes", "Accept epoch");
  bNo = MakeButton(client, "bNo", {136, 50, 33, 16}, "No", "Accept epoch");
  bStepExec = MakeButton(client, "bStepExec", {184, 31, 65, 17}, "Step Exec", "Step Manipulation");
  bSnap = MakeButton(client, "bSnap", {184, 49, 65, 17}, "Snap", "Snap shot Save to file");
  bPrev = MakeButton(client, "bPrev", {640, 0, 25, 17}, "<", "To previous hour");
  bNext = MakeButton(client, "bNext", {664, 0, 25, 17}, ">", "To next hour");

  // Backgrounds of the graphs until their first drawing.
  BicGraph = MakeImage(client, "BicGraph", {8, 123, 265, 140}, Qt::black, "");
  PowerGraph = MakeImage(client, "PowerGraph", {8, 294, 265, 138}, Qt::black, "");
  WaveGraph = MakeImage(client, "WaveGraph", {8, 514, 576, 144}, Qt::black, "4 sec duration of EEG wave");
  TrendGraph = MakeImage(client, "TrendGraph", {280, 20, 420, 488}, Qt::black, "");
  SQIGraph = MakeImage(client, "SQIGraph", {616, 550, 125, 100}, Qt::white, "Signal Quality Index");

  lBsp = MakeLabel(client, "lBsp", {8, 98}, "Bispectrum", kNavy);
  lPower = MakeLabel(client, "lPower", {8, 269}, "Power spectrum", kBlue);
  lWaveform = MakeLabel(client, "lWaveform", {8, 489}, "Waveform", kBlue);
  lNoise = MakeLabel(client, "lNoise", {83, 489}, "Noisy", kRed);
  lTrend = MakeLabel(client, "lTrend", {280, 0}, "Trend", kBlue);
  lRecording = MakeLabel(client, "lRecording", {528, 0}, "On Recording", kRed);
  lTime = MakeLabel(client, "lTime", {712, 0}, "00:00:00", kBlack);
  lSQI = MakeLabel(client, "lSQI", {616, 525}, "SQI", kBlue);
  lSEF90 = MakeLabel(client, "lSEF90", {712, 24}, "SEF95", kBlue);
  lBSR = MakeLabel(client, "lBSR", {720, 68}, "BSR", kMaroon);
  lBratio = MakeLabel(client, "lBratio", {704, 116}, "Beta Ratio", kGreen);
  lSynchFS = MakeLabel(client, "lSynchFS", {704, 160}, "BispRatio", kNavy);
  lAmp = MakeLabel(client, "lAmp", {704, 208}, "Amplitude", kTeal);
  lBIS = MakeLabel(client, "lBIS", {720, 252}, "BIS", kFuchsia);
  lPBICh = MakeLabel(client, "lPBICh", {703, 294}, "pBIChigh", kNavy);
  lPBICl = MakeLabel(client, "lPBICl", {703, 336}, "pBIClow", kNavy);
  lPoincare = MakeLabel(client, "lPoincare", {706, 380}, "Poincare", kPurple);

  eSEF90 = MakeValueBox(client, "eSEF90", {712, 40}, "Spectral Edge Frequency 95%");
  eBSR = MakeValueBox(client, "eBSR", {712, 88}, "Burst Suppression Ratio");
  eBratio = MakeValueBox(client, "eBratio", {712, 136}, "Relative Beta Ratio");
  eSyncFS = MakeValueBox(client, "eSyncFS", {712, 184}, "Bispectrum Ratio");
  eAmp = MakeValueBox(client, "eAmp", {712, 232}, "Mean Amplitude");
  eBIS = MakeValueBox(client, "eBIS", {712, 272}, "Bispectral Index");
  ePBICh = MakeValueBox(client, "ePBICh", {712, 312}, "Bispectral Index");
  ePBICl = MakeValueBox(client, "ePBICl", {712, 352}, "Bispectral Index");
  ePoincare = MakeValueBox(client, "ePoincare", {712, 405}, "Bispectral Index");

  // The Poincare value is never computed; its controls stay hidden.
  lPoincare->hide();
  ePoincare->hide();

  Timer = new QTimer(this);
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setTimerType(Qt::PreciseTimer);  // it paces the replay speed
  Timer->setInterval(kDesignTimerMs);
}

void TForm1::BuildMenus() {
  QMenuBar* bar = menuBar();

  mnFile = bar->addMenu(QStringLiteral("File(F)"));
  mnFile->setObjectName(QStringLiteral("mnFile"));
  SetHint(mnFile->menuAction(), "Data Save");
  QMenu* save = mnFile->addMenu(QStringLiteral("Save"));
  QMenu* wave = save->addMenu(QStringLiteral("Wave"));
  oWaveB = MakeCommand(wave, "oWaveB", "Binary", Qt::Key_F1);
  oWaveA = MakeCommand(wave, "oWaveA", "ASCII", Qt::Key_F6);
  QMenu* bispec = save->addMenu(QStringLiteral("Bispec"));
  oBicBinary = MakeCommand(bispec, "oBicBinary", "Binary", Qt::Key_F2);
  oBicAscii = MakeCommand(bispec, "oBicAscii", "ASCII", Qt::Key_F3);
  QMenu* powspec = save->addMenu(QStringLiteral("Powspec"));
  oPowBinary = MakeCommand(powspec, "oPowBinary", "Binary", Qt::Key_F4);
  oPowAscii = MakeCommand(powspec, "oPowAscii", "ASCII", Qt::Key_F5);
  oBISVal = MakeCommand(save, "oBISVal", "BIS Varaibles");
  oAmp = MakeCommand(save, "oAmp", "Amplitude");
  oEdf = MakeCommand(save, "oEdf", "EDF+");
  mnFile->addSeparator();
  oExit = MakeCommand(mnFile, "oExit", "Exit", Qt::Key_F10);

  mnMode = bar->addMenu(QStringLiteral("Mode(M)"));
  mnMode->setObjectName(QStringLiteral("mnMode"));
  SetHint(mnMode->menuAction(), "Mode Select");
  oOnline = MakeCommand(mnMode, "oOnline", "Online", QKeySequence(Qt::CTRL | Qt::Key_O));
  oOffline = MakeCommand(mnMode, "oOffline", "Offline", QKeySequence(Qt::CTRL | Qt::Key_B));
  oOnline->setCheckable(true);
  oOffline->setCheckable(true);

  // "Options(O)" would also open on Ctrl+O, but that key belongs to "Online":
  // with two owners Qt fires neither, so the options menu does without it.
  mnOptions = bar->addMenu(QStringLiteral("Options(O)"));
  mnOptions->setObjectName(QStringLiteral("mnOptions"));
  SetHint(mnOptions->menuAction(), "Set Options");
  oProcess = MakeCommand(mnOptions, "oProcess", "Set Processing", QKeySequence(Qt::CTRL | Qt::Key_F1));
  oView = MakeCommand(mnOptions, "oView", "Set View", QKeySequence(Qt::CTRL | Qt::Key_F2));
  oCOM = MakeCommand(mnOptions, "oCOM", "Set COM", QKeySequence(Qt::CTRL | Qt::Key_F3));

  mnWindow = bar->addMenu(QStringLiteral("Window(W)"));
  mnWindow->setObjectName(QStringLiteral("mnWindow"));
  oLog = MakeCommand(mnWindow, "oLog", "Open Log", QKeySequence(Qt::CTRL | Qt::Key_F4));
  oComment = MakeCommand(mnWindow, "oComment", "Open Comment", QKeySequence(Qt::CTRL | Qt::Key_F5));
  oSpectrogram = MakeCommand(mnWindow, "oSpectrogram", "Spectrogram", QKeySequence(Qt::CTRL | Qt::Key_F6));

  // "Version(V)" is a command on the menu bar itself, not a menu.
  oVersion = bar->addAction(QStringLiteral("Version(V)"));
  oVersion->setObjectName(QStringLiteral("oVersion"));
  oVersion->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  SetHint(oVersion, "Show Version");

  // Ctrl+F, Ctrl+M and Ctrl+W open their menus.
  for (auto [menu, key] :
       {std::pair{mnFile, Qt::Key_F}, std::pair{mnMode, Qt::Key_M}, std::pair{mnWindow, Qt::Key_W}}) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
    shortcut->setObjectName(menu->objectName() + QStringLiteral("Shortcut"));
    connect(shortcut, &QShortcut::activated, this, [this, menu = menu] {
      if (menu->menuAction()->isEnabled()) menuBar()->setActiveAction(menu->menuAction());
    });
  }
}

void TForm1::ConnectHandlers() {
  using C = qs::RunController;
  const auto onClick = [this](QPushButton* button, void (C::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { (controller_.*handler)(); });
  };
  const auto onTrigger = [this](QAction* action, void (C::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { (controller_.*handler)(); });
  };

  onClick(bStart, &C::bStartClick);
  onClick(bStop, &C::bStopClick);
  onClick(bPause, &C::bPauseClick);
  onClick(bComment, &C::bCommentClick);
  onClick(bYes, &C::bYesClick);
  onClick(bNo, &C::bNoClick);
  onClick(bStepExec, &C::bStepExecClick);
  onClick(bPrev, &C::bPrevClick);
  onClick(bNext, &C::bNextClick);
  onTrigger(oWaveB, &C::oWaveBClick);
  onTrigger(oWaveA, &C::oWaveAClick);
  onTrigger(oBicBinary, &C::oBicBinaryClick);
  onTrigger(oBicAscii, &C::oBicAsciiClick);
  onTrigger(oPowBinary, &C::oPowBinaryClick);
  onTrigger(oPowAscii, &C::oPowAsciiClick);
  onTrigger(oBISVal, &C::oBISValClick);
  onTrigger(oAmp, &C::oAmpClick);
  onTrigger(oEdf, &C::oEdfClick);
  connect(bSnap, &QPushButton::clicked, this, [this] { controller_.bSnapClick(); });

  connect(Timer, &QTimer::timeout, this, [this] { controller_.TimerTimer(); });

  onTrigger(oExit, &C::oExitClick);
  onTrigger(oProcess, &C::oProcessClick);
  onTrigger(oView, &C::oViewClick);
  onTrigger(oCOM, &C::oCOMClick);
  onTrigger(oLog, &C::oLogClick);
  onTrigger(oComment, &C::oCommentClick);
  onTrigger(oSpectrogram, &C::oSpectrogramClick);
  onTrigger(oVersion, &C::oVersionClick);

  // A click toggles a checkable item by itself; the mode is the controller's,
  // so its choice is shown again after every click.
  for (auto [action, handler] :
       {std::pair{oOnline, &C::oOnlineClick}, std::pair{oOffline, &C::oOfflineClick}}) {
    connect(action, &QAction::triggered, this, [this, handler = handler] {
      (controller_.*handler)();
      ControlsChanged(controller_.Controls());
    });
  }
}

void TForm1::ControlsChanged(const qs::MainControls& c) {
  bStart->setEnabled(c.bStart);
  bStop->setEnabled(c.bStop);
  bPause->setEnabled(c.bPause);
  bPause->setText(Text(c.bPauseCaption));
  bComment->setEnabled(c.bComment);
  for (QWidget* w :
       std::initializer_list<QWidget*>{bYes, bNo, bStepExec, bSnap, lPBICh, lPBICl, ePBICh, ePBICl})
    w->setVisible(c.optionControlsVisible);

  SetCaption(lBsp, Text(c.lBsp));
  lRecording->setVisible(c.lRecordingVisible);
  SetCaption(lNoise, Text(c.lNoise));
  SetCaption(lTime, Text(c.lTime));
  SetCaption(lSEF90, Text(c.lSEF90));
  eSEF90->setToolTip(Text(c.eSEF90Hint));
  SetCaption(lSynchFS, Text(c.lSynchFS));
  eSyncFS->setToolTip(Text(c.eSyncFSHint));
  eSEF90->setText(Text(c.eSEF90));
  eBSR->setText(Text(c.eBSR));
  eBratio->setText(Text(c.eBratio));
  eSyncFS->setText(Text(c.eSyncFS));
  eAmp->setText(Text(c.eAmp));
  eBIS->setText(Text(c.eBIS));
  ePBICh->setText(Text(c.ePBICh));
  ePBICl->setText(Text(c.ePBICl));

  // Qt still fires the shortcuts of items in a disabled menu, so a disabled
  // menu disables its items as well.
  mnFile->menuAction()->setEnabled(c.mnFile);
  for (QAction* a : {oWaveB, oBicBinary, oBicAscii, oPowBinary, oPowAscii, oAmp, oExit})
    a->setEnabled(c.mnFile);
  oWaveA->setEnabled(c.mnFile && c.oWaveA);
  oBISVal->setEnabled(c.mnFile && c.oBISVal);
  oEdf->setEnabled(c.mnFile && c.oEdf);
  mnMode->menuAction()->setEnabled(c.mnMode);
  oOnline->setEnabled(c.mnMode);
  oOffline->setEnabled(c.mnMode);
  oOnline->setChecked(c.oOnlineChecked);
  oOffline->setChecked(c.oOfflineChecked);
  oProcess->setEnabled(c.oProcess);
  oCOM->setEnabled(c.oCOM);
  oView->setEnabled(c.oView);

  // Only a change is applied: the comment input disables the window by itself.
  if (c.formEnabled != shownFormEnabled_) {
    shownFormEnabled_ = c.formEnabled;
    setEnabled(c.formEnabled);
  }

  // Restarting a running timer would delay the next replay step: touch it
  // only when its period or its state really changes.
  if (Timer->interval() != c.timerIntervalMs) Timer->setInterval(c.timerIntervalMs);
  if (c.timerEnabled && !Timer->isActive()) Timer->start();
  if (!c.timerEnabled && Timer->isActive()) Timer->stop();
}

void TForm1::SetSecondaryWindows(const SecondaryWindows& windows) {
  processingWindow_ = windows.processing;
  viewWindow_ = windows.view;
  logWindow_ = windows.log;
  commentInputWindow_ = windows.commentInput;
  comWindow_ = windows.com;
  commentsWindow_ = windows.comments;
  spectrogramWindow_ = windows.spectrogram;
  if (spectrogramWindow_) spectrogramWindow_->ShowComments(controller_.Core().commentLines);

  const auto reportClose = [this](qs::SecondaryWindow which) {
    return [this, which] { controller_.SecondaryWindowClosed(which); };
  };
  if (processingWindow_) {
    processingWindow_->onClosed = reportClose(qs::SecondaryWindow::Process);
    processingWindow_->Attach(&controller_.Processing());
  }
  if (viewWindow_) {
    viewWindow_->onClosed = reportClose(qs::SecondaryWindow::View);
    viewWindow_->Attach(&controller_.Viewing());
  }
  if (logWindow_) {
    logWindow_->onClosed = reportClose(qs::SecondaryWindow::Log);
    logWindow_->panel->onSave = [this] { controller_.LogSaveClick(); };
    logWindow_->panel->onClear = [this] { controller_.LogClearClick(); };
    logWindow_->ShowLines(controller_.Core().logLines);
  }
  if (commentInputWindow_) {
    commentInputWindow_->onClosed = [this] {
      // The main window waits while a comment is being entered.
      setEnabled(true);
      controller_.SecondaryWindowClosed(qs::SecondaryWindow::CommentInput);
    };
    commentInputWindow_->onApply = [this](const std::string& time, const std::string& comment) {
      controller_.ApplyComment(time, comment);
    };
  }
  if (comWindow_) comWindow_->onClosed = reportClose(qs::SecondaryWindow::Com);
  if (commentsWindow_) {
    commentsWindow_->onClosed = reportClose(qs::SecondaryWindow::Comments);
    commentsWindow_->panel->onSave = [this] { controller_.CommentSaveClick(); };
    commentsWindow_->panel->onClear = [this] { controller_.CommentClearClick(); };
    commentsWindow_->ShowLines(controller_.Core().commentLines);
  }
}

QWidget* TForm1::WindowFor(qs::SecondaryWindow window) const {
  switch (window) {
    case qs::SecondaryWindow::Com:
      return comWindow_;
    case qs::SecondaryWindow::Process:
      return processingWindow_;
    case qs::SecondaryWindow::View:
      return viewWindow_;
    case qs::SecondaryWindow::Log:
      return logWindow_;
    case qs::SecondaryWindow::Comments:
      return commentsWindow_;
    case qs::SecondaryWindow::CommentInput:
      return commentInputWindow_;
    case qs::SecondaryWindow::Spectrogram:
      return spectrogramWindow_;
  }
  return nullptr;
}

void TForm1::ShowWindow(qs::SecondaryWindow window) {
  if (window == qs::SecondaryWindow::CommentInput && commentInputWindow_) {
    commentInputWindow_->Prepare(controller_.CommentShownTime());
    setEnabled(false);
  }
  // The settings windows show what the controller has just loaded into them.
  if (window == qs::SecondaryWindow::Process && processingWindow_) processingWindow_->ShowControls();
  if (window == qs::SecondaryWindow::View && viewWindow_) viewWindow_->ShowControls();
  if (QWidget* w = WindowFor(window)) {
    w->show();
    w->raise();
    w->activateWindow();
  }
}

void TForm1::CloseWindow(qs::SecondaryWindow window) {
  if (QWidget* w = WindowFor(window)) w->close();
}

void TForm1::LogChanged() {
  if (logWindow_) logWindow_->ShowLines(controller_.Core().logLines);
}

void TForm1::CommentsChanged() {
  if (commentsWindow_) commentsWindow_->ShowLines(controller_.Core().commentLines);
  if (spectrogramWindow_) spectrogramWindow_->ShowComments(controller_.Core().commentLines);
}

void TForm1::ExitProcess(int code) {
  exitCode_ = code;
  QCoreApplication::exit(code);
}

QLabel* TForm1::GraphImage(Graph graph) const {
  switch (graph) {
    case Graph::Bic:
      return BicGraph;
    case Graph::Power:
      return PowerGraph;
    case Graph::Wave:
      return WaveGraph;
    case Graph::Trend:
      return TrendGraph;
    case Graph::Sqi:
      return SQIGraph;
    case Graph::Dsa:
      break;  // the spectrogram window's, not this window's
  }
  return nullptr;
}

void TForm1::ShowImage(Graph graph, const QImage& image) {
  if (graph == Graph::Dsa) {
    if (spectrogramWindow_) spectrogramWindow_->ShowPicture(image);
    return;
  }
  if (QLabel* target = GraphImage(graph)) target->setPixmap(QPixmap::fromImage(image));
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The window never closes by itself: a confirmed exit ends the program
  // through ExitProcess instead.
  event->ignore();
  controller_.FormCloseQuery();
}
