// Start-up through the confirmation question: the filling bar, "Да" running
// detection, "Нет" ending the program, and the layout chosen afterwards.
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

#include <filesystem>

#include "main_window_fixture.h"

namespace tvn::test {
namespace {

const char* const kNoProgrammer[] = {
    "Программатор Nimbrella к USB не подключен.",
    "Программатор Tarrowgate к LPT не подключен.",
    "Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь.",
};

bool AnyIndicatorChecked(QWidget* w) {
  for (const char* name : {"Prog4520", "CheckBox2", "CheckUSB", "CheckBox1"})
    if (Find<QCheckBox>(w, name)->isChecked()) return true;
  return false;
}

TEST(FormPred, BarFillsInTenStepsThenTheTimerStops) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  TForm_Pred& pred = w.FormPred();
  auto* bar = Find<QProgressBar>(&pred, "Gauge1");
  std::vector<int> values;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });

  Operator op(&pred, true);
  op.readyToAnswer = [&] { return !pred.TimerActive(); };
  ASSERT_TRUE(w.Start());

  EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(bar->maximum(), 10);
  EXPECT_EQ(bar->value(), 10);
  EXPECT_FALSE(pred.TimerActive());
  EXPECT_EQ(pred.GetAnswer(), TForm_Pred::Answer::Yes);
  w.close();
}

TEST(FormPred, YesRunsDetectionAndTheUpdateLayoutShows) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  Operator op(&w.FormPred(), true);  // answers before the bar is full

  ASSERT_TRUE(w.Start());
  EXPECT_TRUE(w.isVisible());

  QStringList expected{Q("Порт принтера: нет доступа (проверка)")};
  for (const char* line : kNoProgrammer) expected << Q(line);
  EXPECT_EQ(LogLines(&w), expected);
  EXPECT_GT(bench.port.reads, 0) << "detection listened for the delay circuit";
  EXPECT_FALSE(AnyIndicatorChecked(&w));
  EXPECT_EQ(Find<QLabel>(&w, "Label3")->text(), Q("Загружен Файл Tvn_252_V22"));
  EXPECT_EQ(Find<QProgressBar>(&w, "Gauge1")->value(), 0);

  for (const char* shown : {"SpeedButton4", "Otl_oborud", "SpeedButton20", "Memokno", "Gauge1"})
    EXPECT_TRUE(Find<QWidget>(&w, shown)->isVisible()) << shown;
  for (const char* hidden : {"Prog", "ReadChip", "Param", "GroupBox3", "Panel4", "GroupBox2",
                             "Sravn", "SpeedButton7", "Label2", "SpeedButton3"})
    EXPECT_FALSE(Find<QWidget>(&w, hidden)->isVisible()) << hidden;

  w.close();
  EXPECT_FALSE(w.isVisible());
}

TEST(FormPred, NoEndsTheProgramAfterStartUpWithoutDetection) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  Operator op(&w.FormPred(), false);

  EXPECT_FALSE(w.Start());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.FormPred().GetAnswer(), TForm_Pred::Answer::No);
  EXPECT_EQ(bench.port.reads + bench.port.writes, 0) << "no detection after \"Нет\"";
  EXPECT_EQ(LogLines(&w), QStringList{Q("Порт принтера: нет доступа (проверка)")});
  EXPECT_FALSE(AnyIndicatorChecked(&w));
  // Start-up still finished: the image of the PIC18F252 is loaded.
  EXPECT_EQ(Find<QLabel>(&w, "Label3")->text(), Q("Загружен Файл Tvn_252_V22"));
}

TEST(FormPred, NeitherEscapeNorCloseDismissTheQuestion) {
  App();
  EmptyBench bench;
  TProg12 w(bench, "test_gui");
  TForm_Pred& pred = w.FormPred();
  pred.show();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&pred, &esc);
  pred.close();
  EXPECT_TRUE(pred.isVisible());
  EXPECT_EQ(pred.GetAnswer(), TForm_Pred::Answer::None);

  w.show();
  Find<QAbstractButton>(&pred, "BitBtn2")->click();
  EXPECT_FALSE(pred.isVisible());
  EXPECT_FALSE(w.isVisible()) << "\"Нет\" closes the main window too";
}

// Obnovl cleared shows the full layout, and only then does closing write the
// settings file (in the working directory).
TEST(FormPred, LayoutAndSettingsOnCloseFollowTheUpdateFlag) {
  App();
  namespace fs = std::filesystem;
  const fs::path home = fs::current_path();
  for (bool obnovl : {true, false}) {
    SCOPED_TRACE(obnovl ? "update layout" : "full layout");
    const fs::path dir = fs::temp_directory_path() / ("tvn_gui_layout_" + std::to_string(obnovl));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    {
      EmptyBench bench;
      TProg12 w(bench, "test_gui");
      w.GetSession().obnovl = obnovl;
      Operator op(&w.FormPred(), false);
      EXPECT_FALSE(w.Start());  // "Нет": start-up finishes, then the window closes
      for (const char* control : {"Prog", "ReadChip", "Param", "GroupBox3", "Panel4"})
        EXPECT_EQ(Find<QWidget>(&w, control)->isVisibleTo(&w), !obnovl) << control;
      EXPECT_EQ(Find<QWidget>(&w, "GroupBox2")->isVisibleTo(&w), !obnovl);
      EXPECT_TRUE(Find<QWidget>(&w, "SpeedButton4")->isVisibleTo(&w));
      EXPECT_FALSE(Find<QWidget>(&w, "Sravn")->isVisibleTo(&w));
    }
    bool iniWritten = false;
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path().extension() == ".ini") iniWritten = true;
    EXPECT_EQ(iniWritten, !obnovl);
    fs::current_path(home);
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace tvn::test
