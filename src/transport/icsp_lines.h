// The line operations the ICSP engine is built on. Each call looks at CheckUSB at
// the moment it is made: the USB programmer queues pin states, the parallel-port
// programmer writes its registers at once.
#pragma once

#include <cstdint>

#include "app/selection.h"
#include "transport/lpt_lines.h"
#include "transport/usb_lines.h"

namespace tvn {

class IcspLines {
 public:
  IcspLines(const Selection& sel, LptLines& lpt, UsbLines& usb) : sel_(sel), lpt_(lpt), usb_(usb) {}

  void SetPgc(uint8_t level) { if (!usb_.SetPgc(level)) lpt_.SetPgc(level); }
  void SetPgd(uint8_t level) { if (!usb_.SetPgd(level)) lpt_.SetPgd(level); }
  void SetVpp(uint8_t on) { if (!usb_.SetVpp(on)) lpt_.SetVpp(on); }
  void Tick() { if (!usb_.Tick()) lpt_.Tick(); }
  void Delay(uint16_t n) { if (!usb_.Delay(n)) lpt_.Delay(n); }
  void PulsePgc() { if (Usb()) usb_.PulsePgc(); else lpt_.PulsePgc(); }
  int GetPgd() { return Usb() ? usb_.GetPgd() : lpt_.GetPgd(); }
  // Parallel port only.
  void SetZad(uint8_t level) { lpt_.SetZad(level); }
  int ZadLow() { return lpt_.ZadLow(); }
  // Stays false while the USB programmer is selected.
  bool ZadOk() const { return !Usb() && lpt_.zadOk; }

  bool Usb() const { return sel_.checkUsb; }
  LptLines& Lpt() { return lpt_; }
  UsbLines& UsbSide() { return usb_; }

 private:
  const Selection& sel_;
  LptLines& lpt_;
  UsbLines& usb_;
};

}  // namespace tvn
