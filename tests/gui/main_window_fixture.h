// What the window tests share: the application object, a bench with nothing
// plugged in, and an operator that answers modal windows.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/form_pred.h"
#include "app/gui/main_window.h"
#include "app/session.h"
#include "app/station.h"

// Log lines in failure messages as text, not as UTF-16 code units.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tvn::test {

inline QApplication& App() {
  if (!qApp) {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the test program
  }
  return *static_cast<QApplication*>(QApplication::instance());
}

// A printer port with nothing on it: every status input floats high, so the
// delay circuit never echoes. onOut runs at each register write, which lets a
// test look at the window while the hardware is being driven.
struct FloatingPort : PortIo {
  uint8_t PortIn(uint16_t) override {
    ++reads;
    return 0xFF;
  }
  void PortOut(uint16_t, uint8_t) override {
    ++writes;
    if (onOut) onOut();
  }
  long reads = 0, writes = 0;
  std::function<void()> onOut;
};

// No programmer on either port; one start-up note, as a station without port
// permission would leave.
class EmptyBench : public Station {
 public:
  Hardware GetHardware() override { return Hardware{port, d2xx, ticks}; }
  std::string Describe() const override { return "empty bench"; }
  std::vector<std::string> TakeStartupNotes() override {
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
  }

  FloatingPort port;
  NoD2xx d2xx;
  SystemTickSource ticks;

 private:
  std::vector<std::string> notes_{"Порт принтера: нет доступа (проверка)"};
};

template <class T>
T* Find(QWidget* w, const char* name) {
  T* found = w->findChild<T*>(QString::fromLatin1(name));
  if (!found) ADD_FAILURE() << "no control " << name;
  return found;
}

inline QStringList LogLines(QWidget* window) {
  QString text = Find<QPlainTextEdit>(window, "Memokno")->toPlainText();
  return text.isEmpty() ? QStringList() : text.split('\n');
}

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// The operator at the desk: while it watches, every message box is read and
// closed, and the confirmation question is answered when it shows.
class Operator {
 public:
  explicit Operator(TForm_Pred* pred = nullptr, bool answerYes = true) : pred_(pred), yes_(answerYes) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
    timer_.start();
  }

  // Called once when the question is up; the default answers at once.
  std::function<bool()> readyToAnswer = [] { return true; };
  std::vector<QString> boxes;
  // Any other modal window: the operator looks at it and closes it.
  std::vector<QString> otherWindows;

 private:
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes.push_back(box->text());
      box->done(0);
    } else if (pred_ && modal == pred_ && readyToAnswer()) {
      Find<QAbstractButton>(pred_, yes_ ? "BitBtn1" : "BitBtn2")->click();
    } else if (modal && modal != pred_) {
      otherWindows.push_back(modal->windowTitle());
      modal->close();
    }
  }

  TForm_Pred* pred_;
  bool yes_;
  QTimer timer_;
};

}  // namespace tvn::test
