#include "service/gui/form_otladka.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "service/otladka.h"

namespace tvn {

namespace {
constexpr int kClientWidth = 293;
constexpr int kClientHeight = 143;
constexpr int kButtonHeight = 25;
constexpr int kRowStep = 27;
}  // namespace

QPushButton* TForm_otladka::MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y,
                                       int w) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setGeometry(x, y, w, kButtonHeight);
  b->setAutoDefault(false);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

void TForm_otladka::Connect(QAbstractButton* b, void (Otladka::*handler)()) {
  connect(b, &QAbstractButton::clicked, this, [this, handler] {
    (o_.*handler)();
    Refresh();
  });
}

TForm_otladka::TForm_otladka(Otladka& otladka, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      o_(otladka) {
  setObjectName("Form_otladka");
  setWindowTitle(QString::fromUtf8(Otladka::kCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);

  // Left column: the Zad circuit and what it last showed.
  SpeedButton4 = MakeButton(this, "SpeedButton4", "WR_Zad", 4, 4, 106);
  SpeedButton4->setCheckable(true);
  SpeedButton5 = MakeButton(this, "SpeedButton5", "RD_Zad", 4, 4 + kRowStep, 106);
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(4, 4 + 2 * kRowStep + 4, 106, kClientHeight - (2 * kRowStep + 12));
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The test loops.
  Panel3 = new QFrame(this);
  Panel3->setObjectName("Panel3");
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel3->setGeometry(113, 2, 104, kClientHeight - 4);
  SpeedButton7 = MakeButton(Panel3, "SpeedButton7", "Задержка", 4, 3, 96);
  SpeedButton8 = MakeButton(Panel3, "SpeedButton8", "1 байт->Чип", 4, 3 + kRowStep, 96);
  Data = MakeButton(Panel3, "Data", "8 байт->Чип", 4, 3 + 2 * kRowStep, 96);
  SpeedButton6 = MakeButton(Panel3, "SpeedButton6", "Гот-?", 4, 3 + 3 * kRowStep, 96);
  Zaverch = MakeButton(Panel3, "Zaverch", "Завершить", 4, 3 + 4 * kRowStep, 96);
  TestGroup = new QButtonGroup(this);
  TestGroup->setExclusive(true);
  for (QPushButton* b : {SpeedButton7, SpeedButton8, Data, SpeedButton6, Zaverch}) {
    b->setCheckable(true);
    TestGroup->addButton(b);
  }

  // The line toggles.
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(220, 2, 71, kClientHeight - 4);
  SpeedButton1 = MakeButton(Panel1, "SpeedButton1", "MCLR", 4, 3, 63);
  SpeedButton2 = MakeButton(Panel1, "SpeedButton2", "RB6", 4, 3 + kRowStep, 63);
  SpeedButton3 = MakeButton(Panel1, "SpeedButton3", "RB7", 4, 3 + 2 * kRowStep, 63);
  SpeedButton9 = MakeButton(Panel1, "SpeedButton9", "3v/5v", 4, 3 + 3 * kRowStep, 63);
  for (QPushButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton9}) b->setCheckable(true);

  Connect(SpeedButton1, &Otladka::SpeedButton1Click);
  Connect(SpeedButton2, &Otladka::SpeedButton2Click);
  Connect(SpeedButton3, &Otladka::SpeedButton3Click);
  Connect(SpeedButton9, &Otladka::SpeedButton9Click);
  Connect(SpeedButton4, &Otladka::SpeedButton4Click);
  Connect(SpeedButton5, &Otladka::SpeedButton5Click);
  Connect(SpeedButton7, &Otladka::SpeedButton7Click);
  Connect(SpeedButton8, &Otladka::SpeedButton8Click);
  Connect(Data, &Otladka::DataClick);
  Connect(SpeedButton6, &Otladka::SpeedButton6Click);
  Connect(Zaverch, &Otladka::ZaverchClick);

  Refresh();
}

void TForm_otladka::Refresh() {
  SpeedButton1->setChecked(o_.mclrState);
  SpeedButton2->setChecked(o_.rb6State);
  SpeedButton3->setChecked(o_.rb7State);
  SpeedButton9->setChecked(o_.voltState);
  SpeedButton4->setChecked(o_.zadState);
  Label1->setText(QString::fromStdString(o_.label1));
}

void TForm_otladka::showEvent(QShowEvent* e) {
  Refresh();
  QDialog::showEvent(e);
}

// A test loop runs inside a click handler; it must see the window go, however
// it goes, or it would keep the program in its loop with no window to stop it.
void TForm_otladka::closeEvent(QCloseEvent* e) {
  o_.FormClose();
  QDialog::closeEvent(e);
}

void TForm_otladka::done(int r) {
  o_.FormClose();
  QDialog::done(r);
}

}  // namespace tvn
