#include "app/gui/form_pred.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/gui/picture_loader.h"
#include "app/session.h"
#include "icsp/detect.h"

namespace tvn {

namespace {

constexpr int kTimerMs = 50;
constexpr int kBarEnd = 10;

}  // namespace

TForm_Pred::TForm_Pred(Session& s, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      s_(s),
      mainWindow_(mainWindow) {
  setObjectName("Form_Pred");
  setWindowTitle(QString::fromUtf8("Загрузка и подготовка данных"));
  setFixedSize(354, 352);
  setModal(true);

  gauge_ = new QProgressBar(this);
  gauge_->setObjectName("Gauge1");
  gauge_->setGeometry(7, 4, 339, 9);
  gauge_->setTextVisible(false);
  gauge_->setRange(0, kBarEnd);
  gauge_->setValue(0);
  gauge_->setStyleSheet(
      "QProgressBar { background: palette(button); border: 1px solid #808080; }"
      "QProgressBar::chunk { background: #0000ff; }");

  question_ = new QLabel(
      QString::fromUtf8("    Вы уверены ,что  подключили программатор  к модулю КРД ? "), this);
  question_->setObjectName("Label1");
  question_->setGeometry(0, 18, 354, 22);
  question_->setAutoFillBackground(true);
  QPalette qp = question_->palette();
  qp.setColor(QPalette::Window, Qt::white);
  qp.setColor(QPalette::WindowText, Qt::red);
  question_->setPalette(qp);
  // The question must be read whole: the face shrinks until it fits the strip.
  QFont qf = question_->font();
  qf.setFamilies({QStringLiteral("DejaVu Sans Condensed"), qf.family()});
  qf.setBold(true);
  for (int px = 13; px >= 8; --px) {
    qf.setPixelSize(px);
    if (QFontMetrics(qf).horizontalAdvance(question_->text()) <= question_->width()) break;
  }
  question_->setFont(qf);

  picture_ = new QLabel(this);
  picture_->setObjectName("Image1");
  picture_->setGeometry(12, 44, 329, 267);
  picture_->setPixmap(LoadPicture(":/pictures/connect.jpg"));

  QFont bf = font();
  bf.setBold(true);
  yes_ = new QPushButton(QString::fromUtf8("Да"), this);
  yes_->setObjectName("BitBtn1");
  yes_->setGeometry(62, 318, 100, 28);
  yes_->setFont(bf);
  yes_->setStyleSheet("color: #000080;");
  yes_->setDefault(true);
  no_ = new QPushButton(QString::fromUtf8("Нет"), this);
  no_->setObjectName("BitBtn2");
  no_->setGeometry(192, 318, 100, 28);
  no_->setFont(bf);
  no_->setStyleSheet("color: #ff0000;");
  connect(yes_, &QPushButton::clicked, this, &TForm_Pred::BitBtn1Click);
  connect(no_, &QPushButton::clicked, this, &TForm_Pred::BitBtn2Click);

  // Enabled from creation. A tick that comes before the window is shown finds the
  // end value already at 10, so it cannot stop the timer before the bar is seen.
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &TForm_Pred::Timer1Timer);
  timer_.start();
}

void TForm_Pred::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TForm_Pred::FormShow() {
  endValue_ = kBarEnd;
  gauge_->setRange(0, kBarEnd);
  gauge_->setValue(0);
  if (answer_ == Answer::None && !timer_.isActive()) timer_.start();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TForm_Pred::Timer1Timer() {
  if (gauge_->value() == endValue_) timer_.stop();
  // The bar holds every position within its range, like the original gauge.
  gauge_->setValue(std::min(gauge_->value() + 1, gauge_->maximum()));
  QCoreApplication::processEvents();
}

void TForm_Pred::BitBtn1Click() {
  if (answer_ != Answer::None) return;
  answer_ = Answer::Yes;
  DetectChip(s_);  // reports its own result in the log or a message box
  accept();
}

void TForm_Pred::BitBtn2Click() {
  if (answer_ != Answer::None) return;
  answer_ = Answer::No;
  reject();
  if (mainWindow_) mainWindow_->close();
}

void TForm_Pred::closeEvent(QCloseEvent* e) {
  // No close box: the operator answers with one of the two buttons.
  if (answer_ == Answer::None)
    e->ignore();
  else
    QDialog::closeEvent(e);
}

void TForm_Pred::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    e->accept();  // Esc would reject the dialog without an answer
    return;
  }
  QDialog::keyPressEvent(e);
}

}  // namespace tvn
