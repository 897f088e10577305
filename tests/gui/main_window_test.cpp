// The main window: the operation lock, the update run on the simulated bench and
// the driver help, driven through the controls as the operator would.
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScrollBar>

#include <set>

#include "app/driver_help.h"
#include "main_window_fixture.h"

namespace tvn::test {
namespace {

const char* const kLocked[] = {"Otl_oborud",    "Prog",          "ReadChip",     "SpeedButton7",
                               "Sravn",         "SpeedButton17", "SpeedButton18", "Param",
                               "SpeedButton5",  "SpeedButton6",  "SpeedButton2",  "SpeedButton8",
                               "Avtom_Prog_P",  "Avt_Prog_St",   "SpeedButton13"};

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
