#include "logbook/CommentInputWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Comment input"));
  setFixedSize(kClientWidth, kClientHeight);
  lTime = new QLabel(QStringLiteral("Time : "), this);
  lTime->move(12, 14);
  eTime = new QLineEdit(this);
  eTime->setGeometry(60, 10, 80, 22);
  cbComment = new QComboBox(this);
  cbComment->setEditable(true);
  cbComment->addItems({"intubation", "ope_start", "ope_finished", "extubation", "movement(+)", "bucking",
                       "open eyes", "response to call name"});
  cbComment->setGeometry(12, 44, kClientWidth - 24, 24);
  bApply = new QPushButton(QStringLiteral("Apply"), this);
  bApply->setGeometry(12, kClientHeight - 34, 80, 24);
  bClose = new QPushButton(QStringLiteral("Close"), this);
  bClose->setGeometry(kClientWidth - 92, kClientHeight - 34, 80, 24);
  connect(bApply, &QPushButton::clicked, this, [this] {
    if (onApply) onApply(eTime->text().toStdString(), cbComment->currentText().toStdString());
    close();
  });
  connect(bClose, &QPushButton::clicked, this, &QWidget::close);
}

void TForm2::Prepare(const std::string& time) {
  eTime->setText(QString::fromStdString(time));
  cbComment->setCurrentIndex(-1);
  cbComment->setEditText(QString());
  cbComment->setFocus();
}

void TForm2::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted() && onClosed) onClosed();
}
