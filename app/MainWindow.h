#pragma once
// TForm1, the main window. It builds the controls, menus and replay timer at
// their fixed places, hands every user action to the run controller's handler
// of the same name, and shows whatever state the controller decides
// (ControlsChanged). It holds no run logic of its own.
//
// Only the user-interface thread touches it. Worker threads reach it through
// the UiBridge, never directly.
#include <QMainWindow>
#include <QPointer>
#include <optional>
#include <string>

#include "app/MainControls.h"
#include "app/RunController.h"
#include "config/SettingsFile.h"
#include "display/GraphScreen.h"

class QAction;
class QImage;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm7;
class TForm8;
class TSpectrogramForm;

// The secondary windows that the main window shows and closes for the run
// controller. Any of them may be missing (tests).
struct SecondaryWindows {
  TForm4* processing = nullptr;
  TForm5* view = nullptr;
  TForm7* log = nullptr;
  TForm2* commentInput = nullptr;
  TForm3* com = nullptr;
  TForm8* comments = nullptr;
  TSpectrogramForm* spectrogram = nullptr;
};

class TForm1 final : public QMainWindow, public qs::MainView, public qs::GraphScreen {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 778;
  static constexpr int kClientHeight = 672;

  // The window images the drawing thread fills.
  using Graph = qs::GraphId;

  // Builds the window and runs the controller's creation steps (settings,
  // buffers, worker threads). Check CreationFailed() afterwards.
  TForm1(qs::AppCore& core, qs::UiBridge& ui, qs::Prompter& prompter, qs::MonitorLink& link,
         qs::RecordFiles& records, qs::WorkerFactory workers,
         std::string settingsPath = qs::kSettingsFileName, qs::GraphScreenRelay* screen = nullptr);
  // Shuts the UI hand-off, then ends the worker threads.
  ~TForm1() override;

  // True when creation could not allocate the processing buffers; the user has
  // been told and the program must end with exit code 1.
  bool CreationFailed() const { return creationFailed_; }
  // The exit code requested by a confirmed exit (or a failed creation).
  std::optional<int> RequestedExitCode() const { return exitCode_; }

  qs::RunController& Controller() { return controller_; }
  void SetSecondaryWindows(const SecondaryWindows& windows);
  // Copies a finished bitmap into its window image. User-interface thread only.
  void ShowImage(Graph graph, const QImage& image);
  QLabel* GraphImage(Graph graph) const;

  // qs::MainView
  void ControlsChanged(const qs::MainControls& controls) override;
  void ShowWindow(qs::SecondaryWindow window) override;
  void CloseWindow(qs::SecondaryWindow window) override;
  void ExitProcess(int code) override;
  void LogChanged() override;
  void CommentsChanged() override;

  // qs::GraphScreen (the drawing thread's pictures and indicators)
  void ShowGraph(qs::GraphId graph, const QImage& picture) override { ShowImage(graph, picture); }
  void ShowClock(const std::string& text) override { controller_.ShowDataClock(text); }
  void ShowNoise(const std::string& text) override { controller_.ShowNoise(text); }

  // Buttons
  QPushButton* bStart;
  QPushButton* bStop;
  QPushButton* bPause;
  QPushButton* bComment;
  QPushButton* bYes;
  QPushButton* bNo;
  QPushButton* bStepExec;
  QPushButton* bSnap;
  QPushButton* bPrev;
  QPushButton* bNext;

  // Graph titles, images and indicators
  QLabel* lBsp;
  QLabel* BicGraph;
  QLabel* lPower;
  QLabel* PowerGraph;
  QLabel* lWaveform;
  QLabel* lNoise;
  QLabel* WaveGraph;
  QLabel* lTrend;
  QLabel* TrendGraph;
  QLabel* lRecording;
  QLabel* lTime;
  QLabel* lSQI;
  QLabel* SQIGraph;

  // Value labels and their read-only boxes
  QLabel* lSEF90;
  QLineEdit* eSEF90;
  QLabel* lBSR;
  QLineEdit* eBSR;
  QLabel* lBratio;
  QLineEdit* eBratio;
  QLabel* lSynchFS;
  QLineEdit* eSyncFS;
  QLabel* lAmp;
  QLineEdit* eAmp;
  QLabel* lBIS;
  QLineEdit* eBIS;
  QLabel* lPBICh;
  QLineEdit* ePBICh;
  QLabel* lPBICl;
  QLineEdit* ePBICl;
  QLabel* lPoincare;
  QLineEdit* ePoincare;

  // Replay pacing
  QTimer* Timer;

  // Menus and their commands
  QMenu* mnFile;
  QMenu* mnMode;
  QMenu* mnOptions;
  QMenu* mnWindow;
  QAction* oWaveB;
  QAction* oWaveA;
  QAction* oBicBinary;
  QAction* oBicAscii;
  QAction* oPowBinary;
  QAction* oPowAscii;
  QAction* oBISVal;
  QAction* oAmp;
  QAction* oEdf;
  QAction* oExit;
  QAction* oOnline;
  QAction* oOffline;
  QAction* oProcess;
  QAction* oView;
  QAction* oCOM;
  QAction* oLog;
  QAction* oComment;
  QAction* oSpectrogram;
  QAction* oVersion;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls(QWidget* client);
  void BuildMenus();
  void ConnectHandlers();
  QWidget* WindowFor(qs::SecondaryWindow window) const;

  qs::UiBridge& ui_;
  qs::GraphScreenRelay* screen_;
  qs::RunController controller_;
  bool creationFailed_ = false;
  bool shownFormEnabled_ = true;
  std::optional<int> exitCode_;

  QPointer<TForm4> processingWindow_;
  QPointer<TForm5> viewWindow_;
  QPointer<TForm7> logWindow_;
  QPointer<TForm2> commentInputWindow_;
  QPointer<TForm3> comWindow_;
  QPointer<TForm8> commentsWindow_;
  QPointer<TSpectrogramForm> spectrogramWindow_;
};
