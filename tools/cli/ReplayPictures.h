#pragma once
// `quellscope-cli replay --png-dir DIR`: the replay runs as a paced replay in
// the program does, every drawing request queued and handled by the drawing
// thread, but without waiting for the timer: the next second is released as
// soon as the drawing thread has handled everything the previous one queued.
// At the end the six pictures are written as the drawing thread left them.
#include <memory>
#include <string>

#include "app/RunController.h"
#include "display/GraphDrawing.h"

namespace qs {
class CalcEngine;
class QueuedUiBridge;
}  // namespace qs

namespace qs::cli {

class ReplayPictures {
 public:
  // Makes sure text can be drawn without a display.
  ReplayPictures();
  ~ReplayPictures();

  // The drawing thread for the run, with its graphs kept here for the end.
  void AddDrawThread(WorkerFactory& workers, CalcEngine& engine);
  // Releases one second at a time until the run has ended and the drawing
  // queue is empty.
  void Run(RunController& controller, QueuedUiBridge& ui, CalcEngine& engine, AppCore& core);
  // wave.png, power.png, bic.png, trend.png, sqi.png and dsa.png (the whole
  // case's spectrogram); false (with a message) when the folder or a file
  // cannot be written.
  bool Save(const std::string& dir);

 private:
  struct GuiApp;
  std::unique_ptr<GuiApp> app_;
  GraphDrawing* drawing_ = nullptr;  // owned by the drawing thread
};

}  // namespace qs::cli
