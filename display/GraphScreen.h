#pragma once
// Where the drawing thread's pictures and indicator texts go: the main
// window's images and its clock and artifact labels. Called on the
// user-interface thread only, inside the drawing thread's synchronized steps.
#include <QImage>
#include <string>

namespace qs {

enum class GraphId { Wave, Power, Bic, Trend, Sqi, Dsa };  // Dsa: the spectrogram window

class GraphScreen {
 public:
  virtual ~GraphScreen() = default;
  virtual void ShowGraph(GraphId graph, const QImage& picture) = 0;
  virtual void ShowClock(const std::string& text) = 0;  // lTime
  virtual void ShowNoise(const std::string& text) = 0;  // lNoise
};

// Forwards to a screen that exists later than the drawing thread's factory:
// the main window sets itself as the target before it creates the thread and
// clears it when it goes. Without a target nothing is shown.
class GraphScreenRelay final : public GraphScreen {
 public:
  void SetTarget(GraphScreen* target) { target_ = target; }
  GraphScreen* Target() const { return target_; }
  void ShowGraph(GraphId graph, const QImage& picture) override {
    if (target_ != nullptr) target_->ShowGraph(graph, picture);
  }
  void ShowClock(const std::string& text) override {
    if (target_ != nullptr) target_->ShowClock(text);
  }
  void ShowNoise(const std::string& text) override {
    if (target_ != nullptr) target_->ShowNoise(text);
  }

 private:
  GraphScreen* target_ = nullptr;  // user-interface thread only
};

}  // namespace qs
