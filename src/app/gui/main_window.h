// The main window: the update button, the operation log, the progress bar, the
// chip and programmer indicators and the operation lock. It is the core's Host:
// every operation reports through it.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "app/host.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tvn {

struct Session;
class Station;
class Otladka;
class TForm_Pred;
class TForm_otladka;

class TProg12 : public QWidget, public Host {
  Q_OBJECT

 public:
  // station: the hardware the session drives. argv0: the program's own name, from
  // which the settings file is named.
  TProg12(Station& station, std::string argv0, QWidget* parent = nullptr);
  ~TProg12() override;

  Session& GetSession() { return *session_; }
  TForm_Pred& FormPred() { return *formPred_; }

  // Start-up: FormShow (settings, the confirmation question, the image load, the
  // layout), then the window is shown. False when "Нет" closed the window: the
  // program then ends without entering its event loop.
  bool Start();

  // The fifteen controls the operation lock works on.
  std::array<QWidget*, 15> LockedControls() const;

  // Host
  void Okno(const std::string& line) override;
  void ClearLog() override;
  void BeginLogUpdate() override;
  void EndLogUpdate() override;
  void ShowGauge(int max, int pos) override;
  void KeepAlive() override;
  void MessageBox(const std::string& text, BoxKind kind) override;
  void SetLabel2(const std::string& text) override;
  void SetLabel3(const std::string& text) override;
  void IndicatorsChanged() override;
  void SetBusyCursor(bool busy) override;
  void UpravlKnopk(bool lock) override;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void FormCreate();
  void FormShow();
  void FormClose();
  void BuildUpdateLayout();
  void BuildFullLayout();
  void ApplyLayout();

  // Runs one operator operation started by `sender`, refusing it while another
  // runs. `latched` is released through its partner afterwards. When the core
  // guards the operation itself, ownBusy is false.
  template <class Body>
  bool RunOperation(QAbstractButton* sender, QAbstractButton* partner, bool ownBusy, Body body);

  void SpeedButton4Click();
  void Otl_oborudClick();
  void SpeedButton20Click();
  void ProgClick();
  void ReadChipClick();
  void SravnClick();
  void SpeedButton18Click();
  void Avtom_Prog_PClick();
  void SpeedButton13Click();
  void SpeedButton7Click();

  Station& station_;
  std::string argv0_;
  std::string settingsPath_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Otladka> otladka_;
  TForm_otladka* formOtladka_ = nullptr;
  TForm_Pred* formPred_ = nullptr;

  bool formShown_ = false;
  bool centred_ = false;
  bool closed_ = false;
  int logUpdateDepth_ = 0;
  QAbstractButton* sender_ = nullptr;  // control whose handler started the running operation
  std::array<bool, 15> lockSnapshot_{};

  // Update layout
  QPushButton* SpeedButton4 = nullptr;
  QPushButton* SpeedButton3 = nullptr;  // invisible partner: releases SpeedButton4
  QPushButton* Otl_oborud = nullptr;
  QPushButton* SpeedButton20 = nullptr;
  QPlainTextEdit* Memokno = nullptr;
  QProgressBar* Gauge1 = nullptr;
  QLabel* Label3 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* Prog4520 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckUSB = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label12 = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Image2 = nullptr;
  QLabel* Image3 = nullptr;

  // Full layout
  QPushButton* Prog = nullptr;
  QPushButton* SpeedButton9 = nullptr;
  QPushButton* ReadChip = nullptr;
  QPushButton* SpeedButton14 = nullptr;
  QPushButton* Sravn = nullptr;
  QPushButton* SpeedButton15 = nullptr;
  QPushButton* SpeedButton7 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QPushButton* SpeedButton5 = nullptr;
  QPushButton* SpeedButton6 = nullptr;
  QPushButton* SpeedButton2 = nullptr;
  QPushButton* SpeedButton8 = nullptr;
  QFrame* Panel4 = nullptr;
  QPushButton* SpeedButton17 = nullptr;
  QPushButton* SpeedButton18 = nullptr;
  QPushButton* SpeedButton12 = nullptr;
  QPushButton* Param = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QPushButton* Avtom_Prog_P = nullptr;
  QPushButton* Avt_Prog_St = nullptr;
  QLabel* StaticText1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QPushButton* SpeedButton13 = nullptr;
  QPushButton* SpeedButton10 = nullptr;
  QPushButton* SpeedButton11 = nullptr;
  QPushButton* SpeedButton16 = nullptr;
  QLabel* Label2 = nullptr;
};

}  // namespace tvn
