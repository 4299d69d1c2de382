#pragma once
// TForm2, the comment input window: one time-stamped clinical comment at a
// time. The time proposed is the time of day when the window opened; the
// user may type another. Applying is the run controller's. The client size is
// our choice.
#include <QWidget>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TForm2 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 120;

  explicit TForm2(QWidget* parent = nullptr);

  // Before showing: the proposed time, an empty comment, focus on the comment.
  void Prepare(const std::string& time);

  QLabel* lTime = nullptr;
  QLineEdit* eTime = nullptr;
  QComboBox* cbComment = nullptr;
  QPushButton* bApply = nullptr;
  QPushButton* bClose = nullptr;

  // Run after the window has closed, by its close box or from code; the main
  // window uses it to tell the run controller.
  std::function<void()> onClosed;
  // "Apply": the time text and the comment text as typed.
  std::function<void(const std::string& time, const std::string& comment)> onApply;

 protected:
  void closeEvent(QCloseEvent* event) override;
};
