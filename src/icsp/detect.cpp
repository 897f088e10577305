#include "icsp/detect.h"

#include "app/format.h"

namespace tvn {

namespace {

constexpr int kIdAttempts = 101;

// Finds the programmer: the parallel port by the Zad echo first, then the USB
// programmer by its description. Returns false when neither answers.
bool FindProgrammer(Session& s, bool* usbFound) {
  s.lines.Tick();
  bool lptFound = s.lines.ZadOk();
  if (lptFound) {
    s.sel.checkUsb = false;
    s.sel.checkBox1 = true;
  }
  s.lines.Tick();
  *usbFound = false;
  if (!lptFound && s.ft.OpenUsbProgrammer()) {
    *usbFound = true;
    s.sel.checkUsb = true;
    s.sel.checkBox1 = false;
    s.usb.SetVoltageSelect(true);
    s.lines.SetPgc(1);
    s.lines.SetPgd(0);
    s.lines.SetVpp(0);
  }
  s.host.IndicatorsChanged();
  return lptFound || *usbFound;
}

void ReadDeviceId(Session& s, uint8_t* devid1, uint8_t* devid2) {
  Icsp& icsp = s.icsp;
  IcspLines& l = s.lines;
  l.SetVpp(0);
  l.SetPgc(0);
  l.SetPgd(1);
  l.Delay(1500);
  l.SetVpp(1);
  icsp.WriteZeroTo3C0006();
  icsp.CoreInstr(instr::kBsfEepgd);
  icsp.CoreInstr(instr::kBcfCfgs);
  icsp.SetTblptr(0x3FFFFE);
  *devid1 = icsp.TableReadByte();
  *devid2 = icsp.TableReadByte();
  l.SetPgc(0);
  l.SetPgd(1);
  l.SetVpp(0);
  l.SetPgc(1);
  l.SetPgd(0);
  l.SetVpp(0);
}

bool Accepted(uint8_t devid1, uint8_t devid2) {
  return devid1 < 0x20 && (devid2 == 0x11 || devid2 == 0x04);
}

}  // namespace

bool DetectChip(Session& s) {
  bool usbFound = false;
  bool found = FindProgrammer(s, &usbFound);
  if (!s.programmerAnnounced) {
    const std::string usbName = kUsbProgrammerName;
    if (!found) {
      s.host.Okno("Программатор " + usbName + " к USB не подключен.");
      s.host.Okno("Программатор Tarrowgate к LPT не подключен.");
      s.host.Okno("Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь.");
      return false;
    }
    if (usbFound)
      s.host.Okno("Программатор " + usbName + " успешно открыт!");
    else
      s.host.Okno("Программатор Tarrowgate успешно открыт!");
    s.programmerAnnounced = true;
  }

  uint8_t devid1 = 0, devid2 = 0;
  int a = 0;
  for (; a < kIdAttempts; ++a) {
    ReadDeviceId(s, &devid1, &devid2);
    if (Accepted(devid1, devid2)) break;
  }
  s.host.SetLabel2(Format("Devid1=%X Devid2=%X a=%d", devid1, devid2, a));

  bool ok = true;
  if (Accepted(devid1, devid2) && devid2 == 0x11) {
    s.sel.prog4520 = true;
    s.sel.checkBox2 = false;
    s.image.progWords = 0x4000;
    s.image.bootWords = 1024;
  } else if (Accepted(devid1, devid2)) {
    s.sel.prog4520 = false;
    s.sel.checkBox2 = true;
    s.image.progWords = 0x4000;
    s.image.bootWords = 384;
  } else {
    s.sel.prog4520 = false;
    s.sel.checkBox2 = false;
    ok = false;
  }
  s.host.IndicatorsChanged();
  if (!ok)
    s.host.MessageBox("Не верное подключение!(Не верно прочитался ID процессора)", BoxKind::Information);
  return ok;
}

}  // namespace tvn
