// The main window: the operation lock, the update run on the simulated bench and
// the driver help, driven through the controls as the operator would.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include <set>

#include "app/driver_help.h"
#include "main_window_fixture.h"
#include "sim/station_factory.h"

namespace tvn::test {
namespace {

const char* const kLocked[] = {"Otl_oborud",    "Prog",          "ReadChip",     "SpeedButton7",
                               "Sravn",         "SpeedButton17", "SpeedButton18", "Param",
                               "SpeedButton5",  "SpeedButton6",  "SpeedButton2",  "SpeedButton8",
                               "Avtom_Prog_P",  "Avt_Prog_St",   "SpeedButton13"};

const char* const kUpdateOk[] = {
    "Очистка ProgMem.", "Конфигурация OK", "Прогр. OK", "Чтение кристала.", "Сравнение ОК",
    "Защита OK",        "Программирование - OK. Можно подключать следующий модуль."};

TEST(MainWindowLock, DisablesTheFifteenAndGivesTheirStatesBack) {
  App();
  struct Case {
    const char* what;
    std::vector<const char*> disabledBefore;
  };
  const Case cases[] = {
      {"all enabled", {}},
      {"debug button already disabled", {"Otl_oborud"}},
      {"stop and a page button disabled", {"Avt_Prog_St", "SpeedButton6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EmptyBench bench;
    TProg12 w(bench, "test_gui");

    std::set<std::string> names;
    for (QWidget* control : w.LockedControls()) names.insert(control->objectName().toStdString());
    EXPECT_EQ(names, std::set<std::string>(std::begin(kLocked), std::end(kLocked)));

    for (const char* name : c.disabledBefore) Find<QWidget>(&w, name)->setEnabled(false);
    std::vector<bool> before;
    for (const char* name : kLocked) before.push_back(Find<QWidget>(&w, name)->isEnabled());

    w.UpravlKnopk(true);
    for (std::size_t i = 0; i < std::size(kLocked); ++i) {
      bool enabled = Find<QWidget>(&w, kLocked[i])->isEnabled();
      if (std::string(kLocked[i]) == "Avt_Prog_St")
        EXPECT_EQ(enabled, before[i]) << "СТОП keeps its state";
      else
        EXPECT_FALSE(enabled) << kLocked[i];
    }
    EXPECT_TRUE(Find<QWidget>(&w, "SpeedButton4")->isEnabled());
    EXPECT_TRUE(Find<QWidget>(&w, "SpeedButton20")->isEnabled());

    w.UpravlKnopk(false);
    for (std::size_t i = 0; i < std::size(kLocked); ++i)
      EXPECT_EQ(Find<QWidget>(&w, kLocked[i])->isEnabled(), before[i]) << kLocked[i];
  }
}

// The erase starts from a button that is one of the fifteen: while the chip is
// driven that button stays enabled and latched, everything else is locked.
TEST(MainWindowLock, StartingControlStaysEnabledWhileTheChipIsDriven) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  auto* erase = Find<QAbstractButton>(&w, "SpeedButton18");
  struct Seen {
    bool any = false, eraseEnabled = false, eraseLatched = false, debugEnabled = true,
         progEnabled = true, stopEnabled = false;
  } seen;
  bench.port.onOut = [&] {
    if (seen.any) return;
    seen.any = true;
    seen.eraseEnabled = erase->isEnabled();
    seen.eraseLatched = erase->isChecked();
    seen.debugEnabled = Find<QWidget>(&w, "Otl_oborud")->isEnabled();
    seen.progEnabled = Find<QWidget>(&w, "Prog")->isEnabled();
    seen.stopEnabled = Find<QWidget>(&w, "Avt_Prog_St")->isEnabled();
  };
  erase->click();

  ASSERT_TRUE(seen.any) << "the erase never drove the port";
  EXPECT_TRUE(seen.eraseEnabled);
  EXPECT_TRUE(seen.eraseLatched);
  EXPECT_FALSE(seen.debugEnabled);
  EXPECT_FALSE(seen.progEnabled);
  EXPECT_TRUE(seen.stopEnabled);
  EXPECT_FALSE(erase->isChecked()) << "the partner releases the button afterwards";
  EXPECT_TRUE(Find<QWidget>(&w, "Otl_oborud")->isEnabled());
  EXPECT_FALSE(w.GetSession().busy);
}

struct UpdateRun {
  QStringList log;
  bool sawLockedRun = false;
  bool debugEnabledDuring = true, latchedDuring = false, updateEnabledDuring = false;
  Qt::CursorShape cursorDuring = Qt::ArrowCursor;
  int secondClicks = 0;
  bool latchedAfterSecondClick = false;
};

// Presses the update button and looks at the window once the run holds the lock,
// pressing the button again there: the second press must not start a run.
UpdateRun PressUpdate(TProg12& w) {
  UpdateRun run;
  auto* update = Find<QAbstractButton>(&w, "SpeedButton4");
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (run.sawLockedRun || !w.GetSession().busy) return;
    if (!LogLines(&w).contains(Q("Очистка ProgMem."))) return;
    run.sawLockedRun = true;
    run.debugEnabledDuring = Find<QWidget>(&w, "Otl_oborud")->isEnabled();
    run.latchedDuring = update->isChecked();
    run.updateEnabledDuring = update->isEnabled();
    run.cursorDuring = w.cursor().shape();
    update->click();
    ++run.secondClicks;
    run.latchedAfterSecondClick = update->isChecked();
  });
  probe.start();
  update->click();
  probe.stop();
  run.log = LogLines(&w);
  return run;
}

std::unique_ptr<Station> SimStation(const std::string& value) {
  std::string error;
  std::unique_ptr<Station> station = sim::MakeSimStation(value, &error);
  EXPECT_TRUE(station) << value << ": " << error;
  return station;
}

TEST(MainWindowUpdate, SimulatedModuleIsUpdatedAndTheLockReleased) {
  App();
  struct Case {
    const char* bench;
    bool usb, pic2520;
  };
  for (const Case& c : {Case{"lpt,2520", false, true}, Case{"usb,252", true, false}}) {
    SCOPED_TRACE(c.bench);
    std::unique_ptr<Station> station = SimStation(c.bench);
    ASSERT_TRUE(station);
    TProg12 w(*station, "test_gui");
    Operator op;

    UpdateRun run = PressUpdate(w);

    QStringList expected;
    for (const char* line : kUpdateOk) expected << Q(line);
    EXPECT_EQ(run.log, expected);
    EXPECT_TRUE(op.boxes.empty());
    ASSERT_TRUE(run.sawLockedRun);
    EXPECT_EQ(run.secondClicks, 1);
    EXPECT_FALSE(run.debugEnabledDuring);
    EXPECT_TRUE(run.latchedDuring);
    EXPECT_TRUE(run.latchedAfterSecondClick) << "a refused press must not release the running button";
    EXPECT_TRUE(run.updateEnabledDuring);
    EXPECT_EQ(run.cursorDuring, Qt::WaitCursor);

    EXPECT_TRUE(Find<QWidget>(&w, "Otl_oborud")->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(&w, "SpeedButton4")->isChecked());
    EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_FALSE(w.GetSession().busy);
    // The indicators show what detection found.
    auto checked = [&](const char* name) { return Find<QCheckBox>(&w, name)->isChecked(); };
    EXPECT_EQ(checked("Prog4520"), c.pic2520);
    EXPECT_EQ(checked("CheckBox2"), !c.pic2520);
    EXPECT_EQ(checked("CheckUSB"), c.usb);
    EXPECT_EQ(checked("CheckBox1"), !c.usb);
    EXPECT_EQ(Find<QLabel>(&w, "Label3")->text(),
              Q(c.pic2520 ? "Загружен Файл Tvn_2520_V23" : "Загружен Файл Tvn_252_V22"));

    // The next module at once: the same run again.
    UpdateRun again = PressUpdate(w);
    EXPECT_EQ(again.log, expected);
  }
}

TEST(MainWindowUpdate, FailedUpdateEndsWithTheErrorLineAndReleasesTheLock) {
  App();
  std::unique_ptr<Station> station = SimStation("lpt,2520,stuck-bit=3:0");
  ASSERT_TRUE(station);
  TProg12 w(*station, "test_gui");
  Operator op;

  UpdateRun run = PressUpdate(w);

  ASSERT_FALSE(run.log.isEmpty());
  EXPECT_EQ(run.log.first(), Q("Очистка ProgMem."));
  EXPECT_EQ(run.log.last(), Q("Ошибка при программирвании."));
  EXPECT_FALSE(run.log.contains(Q("Защита OK")));
  EXPECT_TRUE(run.sawLockedRun);
  EXPECT_FALSE(run.debugEnabledDuring);
  EXPECT_TRUE(Find<QWidget>(&w, "Otl_oborud")->isEnabled());
  EXPECT_FALSE(Find<QAbstractButton>(&w, "SpeedButton4")->isChecked());
  EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
}

TEST(MainWindowDebug, DebugButtonOpensTheHardwareWindowModally) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  w.show();
  Operator op;
  Find<QAbstractButton>(&w, "Otl_oborud")->click();
  EXPECT_EQ(op.otherWindows, std::vector<QString>{Q("Отладка  оборудования.")});
  EXPECT_TRUE(w.isVisible());
}

TEST(MainWindowHelp, TwiceShowsTheNineteenLinesOnceFromTheTop) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  w.show();
  w.Okno("Программирование - OK. Можно подключать следующий модуль.");
  auto* help = Find<QAbstractButton>(&w, "SpeedButton20");
  help->click();
  help->click();

  QStringList expected;
  for (const char* line : DriverHelpText()) expected << Q(line);
  ASSERT_EQ(expected.size(), 19);
  EXPECT_EQ(LogLines(&w), expected);

  auto* log = Find<QPlainTextEdit>(&w, "Memokno");
  EXPECT_GT(log->verticalScrollBar()->maximum(), 0) << "the help should not fit the log";
  EXPECT_EQ(log->verticalScrollBar()->value(), 0);
  EXPECT_EQ(log->textCursor().position(), 0);
  EXPECT_EQ(bench.port.reads + bench.port.writes, 0);
}

}  // namespace
}  // namespace tvn::test
