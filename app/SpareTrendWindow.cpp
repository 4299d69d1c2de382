#include "app/SpareTrendWindow.h"

#include <QLabel>
#include <QPixmap>

TTrendForm::TTrendForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("KVO Trends"));
  setFixedSize(kClientWidth, kClientHeight);

  TrendGraph = new QLabel(this);
  TrendGraph->setObjectName(QStringLiteral("TrendGraph"));
  TrendGraph->setGeometry(14, 8, 420, 378);
  QPixmap blank(TrendGraph->size());
  blank.fill(Qt::black);
  TrendGraph->setPixmap(blank);
}
