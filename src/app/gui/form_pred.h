// The start-up question "is the programmer connected to the module?" with its
// filling bar and the picture of a programmer on a module. "Да" runs detection,
// "Нет" ends the program once start-up is over.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tvn {

struct Session;

class TForm_Pred : public QDialog {
  Q_OBJECT

 public:
  enum class Answer { None, Yes, No };

  // mainWindow is closed by "Нет".
  TForm_Pred(Session& s, QWidget* mainWindow);

  Answer GetAnswer() const { return answer_; }
  bool TimerActive() const { return timer_.isActive(); }

  // Handlers, public so the window can be driven as the operator would.
  void Timer1Timer();
  void BitBtn1Click();  // "Да"
  void BitBtn2Click();  // "Нет"

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void FormShow();

  Session& s_;
  QWidget* mainWindow_;
  QProgressBar* gauge_;
  QLabel* question_;
  QLabel* picture_;
  QPushButton* yes_;
  QPushButton* no_;
  QTimer timer_;
  quint16 endValue_ = 10;
  Answer answer_ = Answer::None;
};

}  // namespace tvn
