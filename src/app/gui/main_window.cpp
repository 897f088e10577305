#include "app/gui/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextCursor>

#include "app/driver_help.h"
#include "app/gui/form_pred.h"
#include "app/gui/picture_loader.h"
#include "app/operations.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/station.h"
#include "config/config_access.h"
#include "icsp/memory_ops.h"
#include "image/builtin_images.h"
#include "service/gui/form_otladka.h"
#include "service/otladka.h"

namespace tvn {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption, QRect geometry,
                    const char* hint = nullptr) {
  auto* b = new QPushButton(U(caption), parent);
  b->setObjectName(name);
  b->setGeometry(geometry);
  if (hint) b->setToolTip(U(hint));
  b->setFocusPolicy(Qt::NoFocus);  // speed buttons take no focus
  return b;
}

// A latching button and its invisible partner: pressing the partner releases it.
QPushButton* Partner(QWidget* parent, const char* name, QPushButton* latching, bool pressed = true) {
  auto* partner = Button(parent, name, "", QRect(0, 0, 1, 1));
  partner->setCheckable(true);
  partner->setVisible(false);
  latching->setCheckable(true);
  auto* group = new QButtonGroup(parent);
  group->setExclusive(true);
  group->addButton(latching);
  group->addButton(partner);
  partner->setChecked(pressed);
  return partner;
}

void SetFont(QWidget* w, int pointSize, bool bold, const char* colour,
             bool underline = false) {
  QFont f = w->font();
  if (pointSize > 0) f.setPointSize(pointSize);
  f.setBold(bold);
  f.setUnderline(underline);
  w->setFont(f);
  if (colour) w->setStyleSheet(QString("QPushButton { color: %1; }").arg(colour));
}

QCheckBox* Indicator(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* c = new QCheckBox(U(caption), parent);
  c->setObjectName(name);
  c->setGeometry(geometry);
  c->setChecked(false);
  c->setEnabled(false);  // the operator cannot change what detection found
  return c;
}

QLabel* Strip(QWidget* parent, const char* name, QRect geometry) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  l->setGeometry(geometry);
  l->setAutoFillBackground(true);
  l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QPalette p = l->palette();
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, Qt::black);
  l->setPalette(p);
  return l;
}

// The controls are laid out at fixed places for a narrow 8-point face; a
// condensed face keeps every caption inside its button.
QFont WindowFont(QFont f) {
  f.setFamilies({QStringLiteral("DejaVu Sans Condensed"), f.family()});
  f.setPointSize(8);
  return f;
}

const char* const kCaption =
    "Обновление модуля (КРД PIC18F252 ver 2.2_1) или (ТВН PIC18F2520  ver 2.3_1) от 16.12.2009";

}  // namespace

TProg12::TProg12(Station& station, std::string argv0, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      station_(station),
      argv0_(std::move(argv0)) {
  setObjectName("Prog12");
  setWindowTitle(U(kCaption));
  setFixedSize(799, 441);
  setFont(WindowFont(font()));

  session_ = std::make_unique<Session>(*this, station_.GetHardware());
  station_.Attach(*session_);
  BuildUpdateLayout();
  BuildFullLayout();
  FormCreate();

  // The other windows, in their start-up order. The debug window's state lives
  // as long as the program, so it survives closing and reopening the window. The
  // tick service is the station's own clock.
  otladka_ = std::make_unique<Otladka>(*session_);
  formOtladka_ = new TForm_otladka(*otladka_, this);
  formPred_ = new TForm_Pred(*session_, this);
}

TProg12::~TProg12() {
  // The dialogs refer to the session and the debug state: they go first.
  delete formPred_;
  delete formOtladka_;
}

void TProg12::BuildUpdateLayout() {
  Image2 = new QLabel(this);
  Image2->setObjectName("Image2");
  Image2->setGeometry(4, 2, 536, 128);
  Image2->setPixmap(LoadPicture(":/pictures/banner.jpg"));

  Image3 = new QLabel(this);
  Image3->setObjectName("Image3");
  Image3->setGeometry(338, 138, 134, 244);
  Image3->setPixmap(LoadPicture(":/pictures/chip.jpg"));

  Label1 = new QLabel(U("  Версия  оболочки  5.2  от 20.11.2009  "), this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(14, 12, 400, 22);
  Label12 = new QLabel(U("Адаптивная поддержка 2х программаторов"), this);
  Label12->setObjectName("Label12");
  Label12->setGeometry(14, 50, 460, 22);
  Label11 = new QLabel(U("Tarrowgate (LPT)   и   Nimbrella (USB)"), this);
  Label11->setObjectName("Label11");
  Label11->setGeometry(14, 80, 460, 22);
  for (QLabel* l : {Label1, Label12, Label11}) {
    QFont f = l->font();
    f.setBold(true);
    f.setPointSize(l == Label1 ? 10 : 11);
    l->setFont(f);
    l->setAttribute(Qt::WA_TranslucentBackground);
  }
  Label11->setStyleSheet("color: #000080;");

  SpeedButton4 = Button(this, "SpeedButton4", " Запись \"Обновления\"", QRect(8, 136, 256, 50),
                        "Программирование програмной памяти.");
  SetFont(SpeedButton4, 10, true, "#ff0000");
  SpeedButton3 = Partner(this, "SpeedButton3", SpeedButton4);
  connect(SpeedButton4, &QPushButton::clicked, this, &TProg12::SpeedButton4Click);

  Otl_oborud = Button(this, "Otl_oborud", "Отладка  оборуд", QRect(8, 192, 256, 28));
  connect(Otl_oborud, &QPushButton::clicked, this, &TProg12::Otl_oborudClick);

  SpeedButton20 = Button(this, "SpeedButton20", "Инструкция по установке драйвера USB",
                         QRect(8, 224, 256, 28), "Вывести буфер на экран");
  SpeedButton20->setFlat(true);
  SetFont(SpeedButton20, 0, false, "#000080", true);
  connect(SpeedButton20, &QPushButton::clicked, this, &TProg12::SpeedButton20Click);

  auto* chip = new QGroupBox(U("Микросхема"), this);
  chip->setObjectName("GroupBoxChip");
  chip->setGeometry(8, 258, 124, 48);
  CheckBox2 = Indicator(chip, "CheckBox2", "252", QRect(8, 20, 52, 22));
  Prog4520 = Indicator(chip, "Prog4520", "2520", QRect(62, 20, 58, 22));
  auto* iface = new QGroupBox(U("Интерфейс"), this);
  iface->setObjectName("GroupBoxInterface");
  iface->setGeometry(140, 258, 124, 48);
  CheckBox1 = Indicator(iface, "CheckBox1", "LPT", QRect(8, 20, 52, 22));
  CheckUSB = Indicator(iface, "CheckUSB", "USB", QRect(62, 20, 58, 22));

  Gauge1 = new QProgressBar(this);
  Gauge1->setObjectName("Gauge1");
  Gauge1->setOrientation(Qt::Vertical);
  Gauge1->setGeometry(546, 2, 10, 393);
  Gauge1->setTextVisible(false);
  Gauge1->setRange(0, session_->progress.Max());
  Gauge1->setValue(0);
  Gauge1->setStyleSheet(
      "QProgressBar { background: palette(button); border: 1px solid #808080; }"
      "QProgressBar::chunk { background: #0000ff; }");

  Memokno = new QPlainTextEdit(this);
  Memokno->setObjectName("Memokno");
  Memokno->setGeometry(558, 2, 241, 393);
  Memokno->setReadOnly(true);
  Memokno->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memokno->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  Memokno->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memokno->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont logFont = Memokno->font();
  logFont.setBold(true);
  logFont.setPixelSize(12);
  Memokno->setFont(logFont);
  QPalette lp = Memokno->palette();
  lp.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));  // silver
  lp.setColor(QPalette::Text, Qt::black);
  Memokno->setPalette(lp);

  Label3 = Strip(this, "Label3", QRect(2, 416, 795, 23));
}

void TProg12::BuildFullLayout() {
  Prog = Button(this, "Prog", " Программир. прогр. памяти", QRect(8, 312, 256, 34),
                "Программирование Загрузчика.");
  SetFont(Prog, 10, true, "#ff0000");
  SpeedButton9 = Partner(this, "SpeedButton9", Prog);
  connect(Prog, &QPushButton::clicked, this, &TProg12::ProgClick);

  ReadChip = Button(this, "ReadChip", "Чтение прогр. памяти", QRect(272, 136, 130, 30),
                    "Чтение прогр. памяти в буфер.");
  SetFont(ReadChip, 0, false, "#008080");
  SpeedButton14 = Partner(this, "SpeedButton14", ReadChip);
  connect(ReadChip, &QPushButton::clicked, this, &TProg12::ReadChipClick);

  Param = Button(this, "Param", "Параметры", QRect(408, 136, 130, 30));

  GroupBox3 = new QGroupBox(U("Вывести на экран"), this);
  GroupBox3->setObjectName("GroupBox3");
  GroupBox3->setGeometry(272, 170, 130, 118);
  SpeedButton5 = Button(GroupBox3, "SpeedButton5", "Первую страницу", QRect(4, 18, 122, 22));
  SpeedButton6 = Button(GroupBox3, "SpeedButton6", "Вторую страницу", QRect(4, 42, 122, 22));
  SpeedButton2 = Button(GroupBox3, "SpeedButton2", "Третью страницу", QRect(4, 66, 122, 22));
  SpeedButton8 = Button(GroupBox3, "SpeedButton8", "Четвертую страницу", QRect(4, 90, 122, 22));

  Panel4 = new QFrame(this);
  Panel4->setObjectName("Panel4");
  Panel4->setGeometry(4, 388, 536, 26);
  Panel4->setFrameStyle(QFrame::Panel | QFrame::Raised);
  SpeedButton17 = Button(Panel4, "SpeedButton17", "Конфигурация      ", QRect(2, 1, 170, 24),
                         "Чтение и запись слова конфигурации.");
  SpeedButton18 = Button(Panel4, "SpeedButton18", "Очистка всей памяти и снятие бита защиты",
                         QRect(176, 1, 356, 24));
  SetFont(SpeedButton18, 0, false, "#ff0000", true);
  SpeedButton12 = Partner(this, "SpeedButton12", SpeedButton18);
  connect(SpeedButton18, &QPushButton::clicked, this, &TProg12::SpeedButton18Click);

  GroupBox2 = new QGroupBox(U("Автоматическое программир."), this);
  GroupBox2->setObjectName("GroupBox2");
  GroupBox2->setGeometry(408, 170, 130, 214);
  Avtom_Prog_P = Button(GroupBox2, "Avtom_Prog_P", "ПУСК", QRect(6, 18, 118, 32));
  SetFont(Avtom_Prog_P, 12, true, "#ff0000");
  Avt_Prog_St = Button(GroupBox2, "Avt_Prog_St", "СТОП", QRect(6, 52, 118, 24));
  SetFont(Avt_Prog_St, 0, true, "#800080");
  {
    // "ПУСК" and "СТОП" are a latching pair; "СТОП" shows pressed at start.
    Avtom_Prog_P->setCheckable(true);
    Avt_Prog_St->setCheckable(true);
    auto* group = new QButtonGroup(this);
    group->addButton(Avtom_Prog_P);
    group->addButton(Avt_Prog_St);
    Avt_Prog_St->setChecked(true);
  }
  connect(Avtom_Prog_P, &QPushButton::clicked, this, &TProg12::Avtom_Prog_PClick);
  StaticText1 = new QLabel(U("OK"), GroupBox2);
  StaticText1->setObjectName("StaticText1");
  StaticText1->setGeometry(6, 80, 118, 40);
  StaticText1->setAlignment(Qt::AlignCenter);
  StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StaticText1->setAutoFillBackground(true);
  {
    QPalette p = StaticText1->palette();
    p.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    p.setColor(QPalette::WindowText, Qt::black);
    StaticText1->setPalette(p);
    QFont f = StaticText1->font();
    f.setPointSize(24);
    f.setBold(true);
    StaticText1->setFont(f);
  }
  GroupBox1 = new QGroupBox(U("Маска ПЗУ"), GroupBox2);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(4, 124, 122, 86);
  RadioButton2 = new QRadioButton(U("Поставить защиту"), GroupBox1);
  RadioButton2->setObjectName("RadioButton2");
  RadioButton2->setGeometry(4, 16, 116, 20);
  RadioButton1 = new QRadioButton(U("Не ставить защиту"), GroupBox1);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton1->setGeometry(4, 36, 116, 20);
  for (QRadioButton* r : {RadioButton2, RadioButton1}) {
    QFont f = r->font();
    f.setPointSize(7);
    r->setFont(f);
  }
  RadioButton1->setChecked(true);
  connect(RadioButton2, &QRadioButton::toggled, this,
          [this](bool on) { session_->protectOn = on; });
  SpeedButton13 = Button(GroupBox1, "SpeedButton13", "Старт", QRect(4, 58, 114, 24));
  connect(SpeedButton13, &QPushButton::clicked, this, &TProg12::SpeedButton13Click);
  GroupBox2->setVisible(false);

  // Shown only by the service functions of the parameters window.
  Sravn = Button(this, "Sravn", " Сравн. рогр. памяти", QRect(8, 350, 124, 32),
                 "Сравнение прогр. памяти кристалла с буфером.");
  SetFont(Sravn, 0, false, "#008000");
  SpeedButton15 = Partner(this, "SpeedButton15", Sravn);
  connect(Sravn, &QPushButton::clicked, this, &TProg12::SravnClick);
  SpeedButton7 = Button(this, "SpeedButton7", "Загрузить файл обновления  *.HEX/*.CRP",
                        QRect(272, 292, 130, 26), "Вывести буфер на экран");
  SpeedButton7->setFlat(true);
  SetFont(SpeedButton7, 6, false, "#800080");
  connect(SpeedButton7, &QPushButton::clicked, this, &TProg12::SpeedButton7Click);
  SpeedButton10 = Button(this, "SpeedButton10", "WR ID", QRect(272, 322, 42, 24));
  SpeedButton11 = Button(this, "SpeedButton11", "RD ID", QRect(316, 322, 42, 24));
  SpeedButton16 = Button(this, "SpeedButton16", "Cal CRC", QRect(360, 322, 42, 24));
  Label2 = Strip(this, "Label2", QRect(272, 350, 130, 20));
  for (QWidget* w : std::initializer_list<QWidget*>{Sravn, SpeedButton7, SpeedButton10,
                                                     SpeedButton11, SpeedButton16, Label2})
    w->setVisible(false);

  // The pictures are decoration: every control is drawn over them.
  Image3->lower();
  Image2->lower();
}

std::array<QWidget*, 15> TProg12::LockedControls() const {
  return {Otl_oborud,   Prog,         ReadChip,     SpeedButton7, Sravn,
          SpeedButton17, SpeedButton18, Param,       SpeedButton5, SpeedButton6,
          SpeedButton2, SpeedButton8, Avtom_Prog_P, Avt_Prog_St,  SpeedButton13};
}

// ---- start-up and close -------------------------------------------------------

void TProg12::FormCreate() {
  session_->lpt.lptShadow = 0x08;
  session_->image.ResetProgramMemory();
}

bool TProg12::Start() {
  FormShow();
  if (closed_) return false;
  show();
  return true;
}

void TProg12::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (centred_ || e->spontaneous()) return;
  centred_ = true;
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TProg12::FormShow() {
  if (formShown_) return;
  formShown_ = true;

  for (const std::string& note : station_.TakeStartupNotes()) Okno(note);

  settingsPath_ = SettingsPath(argv0_.c_str());
  const uint16_t portBefore = session_->lpt.adrLpt;
  ReadSettings(*session_, settingsPath_);
  if (session_->lpt.adrLpt != portBefore) {
    // The port named by the settings is acquired now; say if it cannot be.
    station_.SetPortBase(session_->lpt.adrLpt);
    for (const std::string& note : station_.TakeStartupNotes()) Okno(note);
  }

  formPred_->exec();  // "Да" detects, "Нет" has closed this window as well

  tvn::SpeedButton7Click(*session_);
  ApplyLayout();
  session_->progress.SetPos(0);
  Gauge1->setValue(0);
}

void TProg12::ApplyLayout() {
  if (session_->obnovl) {
    SpeedButton4->setVisible(true);
    for (QWidget* w : std::initializer_list<QWidget*>{Prog, ReadChip, Param, GroupBox3, Panel4})
      w->setVisible(false);
  } else {
    GroupBox2->setVisible(true);
    // The single operations take the place of the chip picture.
    Image3->setVisible(false);
  }
}

void TProg12::closeEvent(QCloseEvent* e) {
  // An update cannot be cancelled: closing in the middle would leave the module
  // half programmed while the run went on without a window.
  if (session_->busy) {
    e->ignore();
    return;
  }
  FormClose();
  closed_ = true;
  e->accept();
}

void TProg12::FormClose() {
  if (!settingsPath_.empty()) SaveSettingsOnClose(*session_, settingsPath_);
}

// ---- Host -----------------------------------------------------------------------

void TProg12::Okno(const std::string& line) { Memokno->appendPlainText(QString::fromStdString(line)); }

void TProg12::ClearLog() { Memokno->clear(); }

void TProg12::BeginLogUpdate() {
  if (logUpdateDepth_++ == 0) Memokno->setUpdatesEnabled(false);
}

void TProg12::EndLogUpdate() {
  if (logUpdateDepth_ > 0 && --logUpdateDepth_ == 0) Memokno->setUpdatesEnabled(true);
}

void TProg12::ShowGauge(int max, int pos) {
  Gauge1->setRange(0, max);
  Gauge1->setValue(pos);
}

void TProg12::KeepAlive() { QCoreApplication::processEvents(); }

void TProg12::MessageBox(const std::string& text, BoxKind kind) {
  QWidget* parent = QApplication::activeModalWidget();
  if (!parent) parent = this;
  const bool info = kind == BoxKind::Information;
  QMessageBox box(info ? QMessageBox::Information : QMessageBox::Critical,
                  QStringLiteral("Tvn2520ver"), QString::fromStdString(text),
                  info ? QMessageBox::Cancel : QMessageBox::Ok, parent);
  box.exec();
}

void TProg12::SetLabel2(const std::string& text) { Label2->setText(QString::fromStdString(text)); }

void TProg12::SetLabel3(const std::string& text) { Label3->setText(QString::fromStdString(text)); }

void TProg12::IndicatorsChanged() {
  const Selection& sel = session_->sel;
  Prog4520->setChecked(sel.prog4520);
  CheckBox2->setChecked(sel.checkBox2);
  CheckUSB->setChecked(sel.checkUsb);
  CheckBox1->setChecked(sel.checkBox1);
  StaticText1->setText(QString::fromStdString(session_->autoResult));
  if (session_->protectOn)
    RadioButton2->setChecked(true);
  else
    RadioButton1->setChecked(true);
}

void TProg12::SetBusyCursor(bool busy) {
  if (busy) {
    setCursor(Qt::WaitCursor);
    Memokno->viewport()->setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
    Memokno->viewport()->setCursor(Qt::IBeamCursor);
  }
}

void TProg12::UpravlKnopk(bool lock) {
  const std::array<QWidget*, 15> controls = LockedControls();
  if (lock) {
    for (std::size_t i = 0; i < controls.size(); ++i) lockSnapshot_[i] = controls[i]->isEnabledTo(this);
    for (QWidget* w : controls)
      if (w != Avt_Prog_St) w->setEnabled(false);
    if (sender_) sender_->setEnabled(true);
  } else {
    for (std::size_t i = 0; i < controls.size(); ++i) controls[i]->setEnabled(lockSnapshot_[i]);
  }
}

// ---- handlers ---------------------------------------------------------------------

template <class Body>
bool TProg12::RunOperation(QAbstractButton* sender, QAbstractButton* partner, bool ownBusy,
                           Body body) {
  if (session_->busy) {
    // Refused: the click latched the button, but the running operation is not its.
    if (partner && sender != sender_) partner->setChecked(true);
    return false;
  }
  sender_ = sender;
  if (ownBusy) session_->busy = true;
  body();
  if (ownBusy) session_->busy = false;
  sender_ = nullptr;
  if (partner) partner->setChecked(true);
  return true;
}

void TProg12::SpeedButton4Click() {
  RunOperation(SpeedButton4, SpeedButton3, false, [this] {
    tvn::SpeedButton4Click(*session_);
  });
  QCoreApplication::processEvents();
}

void TProg12::Otl_oborudClick() {
  if (session_->busy) return;
  formOtladka_->exec();
}

void TProg12::SpeedButton20Click() {
  // The help clears the log, so it waits for a running operation to finish its report.
  if (session_->busy) return;
  tvn::SpeedButton20Click(*session_);
  Memokno->moveCursor(QTextCursor::Start);
  Memokno->ensureCursorVisible();
  Memokno->verticalScrollBar()->setValue(0);
  Memokno->setFocus();
  QCoreApplication::processEvents();
}

void TProg12::ProgClick() {
  RunOperation(Prog, SpeedButton9, true, [this] {
    ClearLog();
    UpravlKnopk(true);
    ProgramMemory(*session_);
    UpravlKnopk(false);
  });
}

void TProg12::ReadChipClick() {
  RunOperation(ReadChip, SpeedButton14, true, [this] {
    UpravlKnopk(true);
    ReadMemory(*session_);
    UpravlKnopk(false);
  });
}

void TProg12::SravnClick() {
  RunOperation(Sravn, SpeedButton15, true, [this] {
    UpravlKnopk(true);
    ReadMemory(*session_);
    ClearLog();
    BeginLogUpdate();
    CompareMemory(*session_);
    UpravlKnopk(false);
    EndLogUpdate();
  });
}

void TProg12::SpeedButton18Click() {
  RunOperation(SpeedButton18, SpeedButton12, false, [this] { tvn::SpeedButton12Click(*session_); });
}

void TProg12::Avtom_Prog_PClick() {
  RunOperation(Avtom_Prog_P, Avt_Prog_St, false, [this] { tvn::Avtom_Prog_PClick(*session_); });
}

void TProg12::SpeedButton13Click() {
  if (session_->busy || !RadioButton2->isChecked()) return;
  session_->busy = true;
  bool ok = WriteWordConfig(*session_, kProtectWriteKind);
  session_->busy = false;
  session_->autoResult = ok ? "OK" : "X";
  IndicatorsChanged();
  Okno(session_->configResult);
}

void TProg12::SpeedButton7Click() {
  if (session_->busy) return;
  tvn::SpeedButton7Click(*session_);
}

}  // namespace tvn
