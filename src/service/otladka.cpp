#include "service/otladka.h"

#include "app/format.h"

namespace tvn {

namespace {
constexpr uint32_t kDelayPatternBytes = 54;
constexpr uint8_t kOneBytePattern = 0x55;
constexpr uint8_t kEightBytePattern[8] = {0xAA, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C};
}  // namespace

void Otladka::SpeedButton1Click() {
  mclrState = !mclrState;
  s_.lines.SetVpp(mclrState);
}

void Otladka::SpeedButton2Click() {
  rb6State = !rb6State;
  s_.lines.SetPgc(rb6State);
}

void Otladka::SpeedButton3Click() {
  rb7State = !rb7State;
  s_.lines.SetPgd(rb7State);
}

void Otladka::SpeedButton9Click() {
  voltState = !voltState;
  s_.usb.SetVoltageSelect(voltState);
  if (s_.lines.Usb()) {
    // The select bit travels with the next bytes: send a few so it is seen.
    for (int i = 0; i < 4; ++i) s_.usb.AppendPinState();
    s_.usb.FtFlush();
  }
}

void Otladka::SpeedButton4Click() {
  zadState = !zadState;
  s_.lpt.SetZad(zadState);
  label1 = Format("W=%x ", zadState ? 1u : 0u);
}

void Otladka::SpeedButton5Click() { label1 = Format("R=%x ", static_cast<unsigned>(s_.lpt.ZadLow())); }

void Otladka::FlushUsb() {
  // The printer port has nothing queued.
  if (s_.lines.Usb()) s_.usb.FtFlush();
}

template <typename Pass>
void Otladka::TestLoop(bool passBeforeMessages, Pass pass) {
  otladStop = false;
  ++running_;
  while (true) {
    if (passBeforeMessages) pass();
    s_.host.KeepAlive();
    if (otladStop) break;
    if (!passBeforeMessages) pass();
  }
  --running_;
}

void Otladka::SpeedButton7Click() {
  TestLoop(true, [this] {
    // Only the USB programmer has a queue to re-send; on the printer port the
    // queue count is left alone, so no stale bytes wait for a later transfer.
    if (!s_.lines.Usb()) return;
    s_.usb.ftIndxOutBuff = kDelayPatternBytes;
    s_.usb.FtFlush();
  });
}

void Otladka::SpeedButton8Click() {
  TestLoop(false, [this] {
    SendRawByte(kOneBytePattern);
    FlushUsb();
  });
}

void Otladka::DataClick() {
  TestLoop(false, [this] {
    for (uint8_t b : kEightBytePattern) SendRawByte(b);
    FlushUsb();
  });
}

void Otladka::SpeedButton6Click() {
  TestLoop(false, [this] {
    s_.icsp.SendCommand(cmd::kTableRead, false);
    (void)s_.icsp.ReadIcspByte();
  });
  // Idle lines: clock low, PGD held low.
  s_.lines.SetPgc(0);
  s_.lines.SetPgd(1);
}

void Otladka::ZaverchClick() { otladStop = true; }

void Otladka::SendRawByte(uint8_t b) {
  IcspLines& l = s_.lines;
  if (!l.Usb()) {
    l.SetVpp(0);
    l.SetPgc(0);
    l.SetPgd(1);
    for (int i = 0; i < 8; ++i) {
      // The driver pulls PGD low for a 0 bit.
      l.SetPgd(static_cast<uint8_t>(1 - ((b >> i) & 1)));
      l.PulsePgc();
    }
    l.SetPgc(0);
    l.SetPgd(1);
    return;
  }
  l.Tick();
  l.SetPgc(0);
  l.SetPgd(1);
  l.Tick();
  l.Tick();
  for (int i = 0; i < 8; ++i) {
    l.SetPgd(static_cast<uint8_t>(1 - ((b >> i) & 1)));
    for (int t = 0; t < 3; ++t) l.Tick();
    l.SetPgc(1);
    for (int t = 0; t < 4; ++t) l.Tick();
    l.SetPgc(0);
    for (int t = 0; t < 4; ++t) l.Tick();
  }
  l.SetPgc(0);
  l.SetPgd(1);
  l.Tick();
  l.Tick();
}

}  // namespace tvn
