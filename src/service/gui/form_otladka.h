// The hardware debug window "Отладка  оборудования.": line toggles, the Zad
// buttons and the test loops of tvn::Otladka behind a small fixed dialog. Shown
// modally with exec(); closing it, by the title bar or by Escape, stops every
// running test loop.
#pragma once

#include <QDialog>

class QAbstractButton;
class QButtonGroup;
class QFrame;
class QLabel;
class QPushButton;

namespace tvn {

class Otladka;

class TForm_otladka : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_otladka(Otladka& otladka, QWidget* parent = nullptr);

  void done(int r) override;

  // Controls, named as in the window definition.
  QPushButton* SpeedButton1;  // "MCLR"
  QPushButton* SpeedButton2;  // "RB6"
  QPushButton* SpeedButton3;  // "RB7"
  QPushButton* SpeedButton9;  // "3v/5v"
  QPushButton* SpeedButton4;  // "WR_Zad"
  QPushButton* SpeedButton5;  // "RD_Zad"
  QPushButton* SpeedButton7;  // "Задержка"
  QPushButton* SpeedButton8;  // "1 байт->Чип"
  QPushButton* Data;          // "8 байт->Чип"
  QPushButton* SpeedButton6;  // "Гот-?"
  QPushButton* Zaverch;       // "Завершить"
  QLabel* Label1;
  QFrame* Panel1;
  QFrame* Panel3;
  QButtonGroup* TestGroup;  // the test buttons: the running one stays pressed

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w);
  void Connect(QAbstractButton* b, void (Otladka::*handler)());
  // The toggles show the line states the program keeps between openings.
  void Refresh();

  Otladka& o_;
};

}  // namespace tvn
