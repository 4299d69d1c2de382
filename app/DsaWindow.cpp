#include "app/DsaWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "logbook/CommentTimes.h"

TSpectrogramForm::TSpectrogramForm(qs::AppCore& core, QWidget* parent)
    : QWidget(parent, Qt::Window), core_(core) {
  setObjectName(QStringLiteral("SpectrogramForm"));
  setWindowTitle(QStringLiteral("Spectrogram"));
  resize(860, 380);
  auto* column = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  const qs::DsaViewState& v = core_.dsaView;
  const auto check = [&](const char* name, const char* caption, bool on) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    row->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this] { ControlsChanged(); });
    return box;
  };
  cbWhole = check("cbWhole", "Whole case", v.wholeCase);
  cbFollow = check("cbFollow", "Follow trend", v.followTrend);
  cbWide = check("cbWide", "0-47 Hz", v.maxHz > 30);
  cbAuto = check("cbAuto", "Auto dB", v.autoRange);
  const auto spin = [&](const char* name, int value) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(-100, 100);
    box->setSuffix(QStringLiteral(" dB"));
    box->setValue(value);
    row->addWidget(box);
    connect(box, &QSpinBox::valueChanged, this, [this] { ControlsChanged(); });
    return box;
  };
  seLow = spin("seLow", v.lowDb);
  seHigh = spin("seHigh", v.highDb);
  row->addStretch(1);
  column->addLayout(row);
  Picture = new QLabel(this);
  Picture->setObjectName(QStringLiteral("Picture"));
  Picture->setMinimumSize(200, 120);
  Picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  Picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Picture->setStyleSheet(QStringLiteral("background: black"));
  column->addWidget(Picture, 1);
  sbTime = new QScrollBar(Qt::Horizontal, this);
  sbTime->setObjectName(QStringLiteral("sbTime"));
  sbTime->setRange(0, 0);
  column->addWidget(sbTime);
  connect(sbTime, &QScrollBar::sliderMoved, this, [this] {
    // Scrolling takes over from the trend's page.
    cbFollow->setChecked(false);
    ControlsChanged();
  });
  connect(sbTime, &QScrollBar::valueChanged, this, [this] { ControlsChanged(); });
  // The scroll bar's range grows with the case; a second is fine enough.
  scrollTimer_ = new QTimer(this);
  scrollTimer_->setInterval(1000);
  connect(scrollTimer_, &QTimer::timeout, this, [this] { UpdateScroll(); });
  ControlsChanged();
}

void TSpectrogramForm::ControlsChanged() {
  qs::DsaViewState& v = core_.dsaView;
  v.wholeCase = cbWhole->isChecked();
  v.followTrend = cbFollow->isChecked();
  v.maxHz = cbWide->isChecked() ? 47 : 30;
  v.autoRange = cbAuto->isChecked();
  seLow->setEnabled(!cbAuto->isChecked());
  seHigh->setEnabled(!cbAuto->isChecked());
  v.lowDb = std::min(seLow->value(), seHigh->value() - 1);
  v.highDb = seHigh->value();
  v.scrollColumn = sbTime->value();
  sbTime->setEnabled(!cbWhole->isChecked());
  cbFollow->setEnabled(!cbWhole->isChecked());
  Redraw();
}

void TSpectrogramForm::Redraw() {
  if (!isVisible()) return;
  core_.drawQueue.Push({qs::DsaRedraw, 0, 0});
}

void TSpectrogramForm::UpdateScroll() {
  const qs::DsaViewState& v = core_.dsaView;
  const int held = v.columnsHeld;
  sbTime->blockSignals(true);
  sbTime->setPageStep(qs::kDsaPageColumns);
  sbTime->setSingleStep(36);
  sbTime->setRange(0, std::max(0, held - qs::kDsaPageColumns / 2));
  if (cbFollow->isChecked()) sbTime->setValue(v.pageColumn);
  sbTime->blockSignals(false);
}

void TSpectrogramForm::ShowPicture(const QImage& picture) { Picture->setPixmap(QPixmap::fromImage(picture)); }

void TSpectrogramForm::ShowComments(const qs::TextLines& comments) {
  qs::DsaViewState& v = core_.dsaView;
  int count = 0;
  for (const std::string& line : comments.Lines()) {
    if (count == qs::DsaViewState::kMaxMarkers) break;
    const int second = qs::ParseCommentLine(line).secondOfDay;
    if (second >= 0) v.markers[static_cast<std::size_t>(count++)] = static_cast<std::uint32_t>(second);
  }
  v.markerCount = count;
  Redraw();
}

void TSpectrogramForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  core_.dsaView.shown = true;
  scrollTimer_->start();
  Redraw();
}

void TSpectrogramForm::hideEvent(QHideEvent* event) {
  core_.dsaView.shown = false;
  scrollTimer_->stop();
  QWidget::hideEvent(event);
}

void TSpectrogramForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  core_.dsaView.width = std::max(200, Picture->width());
  core_.dsaView.height = std::max(120, Picture->height());
  Redraw();
}
