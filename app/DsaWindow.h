#pragma once
// TSpectrogramForm, the "Spectrogram" window: the density spectral array of
// the case, drawn by the drawing thread at the window's size and shown here.
// Resizable. Its controls only set AppCore::dsaView and ask for a redraw
// (DsaRedraw); the picture comes back through ShowPicture on this thread.
//
//   "Whole case"    every interval in the width
//   "Follow trend"  the trend's two-hour page ("<" and ">" move both); the
//                   scroll bar below moves through the whole case by pages
//                   and, when used, stops following the trend
//   "0-47 Hz"       the frequency limit (0-30 Hz otherwise)
//   "Auto dB"       the colour range from the case's percentiles, else the
//                   two fields' range
// Comment markers are the comments window's lines, taken again whenever the
// comments change.
#include <QWidget>

#include "core/AppCore.h"
#include "core/TextLines.h"

class QCheckBox;
class QLabel;
class QScrollBar;
class QSpinBox;
class QTimer;

class TSpectrogramForm final : public QWidget {
  Q_OBJECT

 public:
  explicit TSpectrogramForm(qs::AppCore& core, QWidget* parent = nullptr);

  // The drawing thread's picture (user-interface thread, inside its
  // synchronized step).
  void ShowPicture(const QImage& picture);
  // The comment times as markers.
  void ShowComments(const qs::TextLines& comments);

  QCheckBox* cbWhole;
  QCheckBox* cbFollow;
  QCheckBox* cbWide;
  QCheckBox* cbAuto;
  QSpinBox* seLow;
  QSpinBox* seHigh;
  QLabel* Picture;
  QScrollBar* sbTime;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ControlsChanged();
  void Redraw();
  void UpdateScroll();

  qs::AppCore& core_;
  QTimer* scrollTimer_;
};
