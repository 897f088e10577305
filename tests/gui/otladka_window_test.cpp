// The debug window offscreen, driving a simulated parallel-port programmer: its
// controls, its toggles, and test loops that end through the window's own
// events (a queued click on "Завершить", closing, Escape).
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "service/gui/form_otladka.h"
#include "service/otladka.h"
#include "sim/sim_tarrowgate.h"
#include "support/recording_host.h"

namespace tvn {
namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "test_gui";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

// Counts bytes clocked out on PGD at the falling clock edges, LSB first.
class Scope : public sim::Pic18Pins {
 public:
  void Drive(const sim::HostPins& p, uint64_t) override {
    if (last.pgc && !p.pgc) {
      if (!p.pgdPullLow) cur |= static_cast<uint8_t>(1u << bit);
      if (++bit == 8) {
        bytes.push_back(cur);
        cur = 0;
        bit = 0;
      }
    }
    last = p;
  }
  bool PgdLine(uint64_t) const override { return !last.pgdPullLow; }
  sim::HostPins last{};
  std::vector<uint8_t> bytes;
  uint8_t cur = 0;
  int bit = 0;
};

class OtladkaWindow : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApp(); }

  // The main window's keep-alive processes pending events; `act` runs at the
  // n-th call, the way the operator's click arrives between passes.
  void KeepAliveActs(int n, std::function<void()> act) {
    host.keepAlives = 0;
    host.onKeepAlive = [this, n, act] {
      QCoreApplication::processEvents();
      if (host.keepAlives == n) act();
      if (host.keepAlives > 200) {  // the window failed to stop it: end it so the run goes on
        ADD_FAILURE() << "test loop did not end";
        o.ZaverchClick();
      }
    };
  }

  sim::VirtualClock clock;
  Scope scope;
  sim::SimTarrowgate port{clock, &scope};
  NoD2xx d2xx;
  sim::VirtualTickSource ticks{clock};
  test::RecordingHost host;
  Session s{host, Hardware{port, d2xx, ticks}};
  Otladka o{s};
};

TEST_F(OtladkaWindow, ControlsAndCaptions) {
  TForm_otladka w(o);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Отладка  оборудования."));
  EXPECT_EQ(w.size(), QSize(293, 143));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  struct Control {
    const char* name;
    const char* text;
  } controls[] = {
      {"SpeedButton4", "WR_Zad"},      {"SpeedButton5", "RD_Zad"},      {"SpeedButton7", "Задержка"},
      {"SpeedButton8", "1 байт->Чип"}, {"Data", "8 байт->Чип"},         {"SpeedButton6", "Гот-?"},
      {"Zaverch", "Завершить"},        {"SpeedButton1", "MCLR"},        {"SpeedButton2", "RB6"},
      {"SpeedButton3", "RB7"},         {"SpeedButton9", "3v/5v"},
  };
  for (const Control& c : controls) {
    SCOPED_TRACE(c.name);
    auto* b = w.findChild<QPushButton*>(c.name);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), QString::fromUtf8(c.text));
  }
  EXPECT_EQ(w.Label1->text(), QString::fromUtf8("Длительность RB6 10мкс."));
  EXPECT_EQ(w.SpeedButton8->parent(), w.Panel3);
  EXPECT_EQ(w.SpeedButton1->parent(), w.Panel1);
  EXPECT_TRUE(w.TestGroup->exclusive());
  EXPECT_EQ(w.TestGroup->buttons().size(), 5);

  // Nothing lies outside the client area.
  for (QWidget* child : w.findChildren<QWidget*>()) {
    QRect r(child->mapTo(&w, QPoint(0, 0)), child->size());
    EXPECT_TRUE(w.rect().contains(r)) << child->objectName().toStdString();
  }
}

TEST_F(OtladkaWindow, TogglesDriveThePortAndShowTheKeptState) {
  {
    TForm_otladka w(o);
    w.SpeedButton2->click();  // RB6: clock high
    EXPECT_EQ(port.ControlRegister(), 0x01);
    EXPECT_TRUE(w.SpeedButton2->isChecked());
    w.SpeedButton3->click();  // RB7: PGD pulled low
    EXPECT_EQ(port.DataRegister() & 0x01, 0x01);
    w.SpeedButton4->click();
    EXPECT_EQ(w.Label1->text(), "W=1 ");
    w.SpeedButton4->click();
    EXPECT_EQ(w.Label1->text(), "W=0 ");
    clock.Advance(1000000);  // the operator's next click comes much later than the echo
    w.SpeedButton5->click();
    EXPECT_EQ(w.Label1->text(), "R=0 ");  // request raised, the echo followed
    w.close();
  }
  // Opened again: the toggles show the lines as they were left.
  TForm_otladka again(o);
  EXPECT_TRUE(again.SpeedButton2->isChecked());
  EXPECT_TRUE(again.SpeedButton3->isChecked());
  EXPECT_FALSE(again.SpeedButton1->isChecked());
  again.SpeedButton2->click();
  EXPECT_EQ(port.ControlRegister(), 0x00);
  EXPECT_FALSE(again.SpeedButton2->isChecked());
}

TEST_F(OtladkaWindow, LoopEndsOnZavershitAndTheWindowStaysOpen) {
  TForm_otladka w(o);
  bool pressedWhileRunning = false;
  KeepAliveActs(4, [&] {
    pressedWhileRunning = w.SpeedButton8->isChecked();
    QMetaObject::invokeMethod(w.Zaverch, "click", Qt::QueuedConnection);
  });
  bool loopReturned = false, visibleAfter = false;
  QTimer::singleShot(0, &w, [&] {
    w.SpeedButton8->click();  // runs until the queued click arrives
    loopReturned = true;
    visibleAfter = w.isVisible();
    w.close();
  });
  w.exec();
  host.onKeepAlive = nullptr;
  EXPECT_TRUE(loopReturned);
  EXPECT_TRUE(visibleAfter);
  EXPECT_TRUE(pressedWhileRunning);
  EXPECT_TRUE(w.Zaverch->isChecked());
  // Four passes before the click was delivered at the fifth keep-alive.
  EXPECT_EQ(host.keepAlives, 5);
  EXPECT_EQ(scope.bytes, std::vector<uint8_t>(4, 0x55));
  EXPECT_EQ(o.RunningLoops(), 0);
}

TEST_F(OtladkaWindow, ClosingTheWindowEndsTheReadLoop) {
  struct Case {
    const char* how;
    std::function<void(TForm_otladka&)> close;
  } cases[] = {
      {"title bar", [](TForm_otladka& w) { QMetaObject::invokeMethod(&w, "close", Qt::QueuedConnection); }},
      {"Escape",
       [](TForm_otladka& w) {
         QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    TForm_otladka w(o);
    KeepAliveActs(3, [&] { c.close(w); });
    QTimer::singleShot(0, &w, [&] { w.SpeedButton6->click(); });
    w.exec();
    host.onKeepAlive = nullptr;
    EXPECT_EQ(host.keepAlives, 4);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(o.RunningLoops(), 0);
    EXPECT_TRUE(o.otladStop);
    // Clock low and PGD held low after the loop.
    EXPECT_EQ(port.ControlRegister(), 0x00);
    EXPECT_EQ(port.DataRegister() & 0x01, 0x01);
  }
}

}  // namespace
}  // namespace tvn
