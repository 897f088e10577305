#include "icsp/icsp.h"

namespace tvn {

void Icsp::CoreInstr(uint16_t instr) {
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  lines_.Tick();
  for (int i = 0; i < 4; ++i) lines_.PulsePgc();  // command 0000, PGD held low
  lines_.Tick();
  for (int i = 0; i < 16; ++i) {
    SendBit((instr >> i) & 1);
    lines_.PulsePgc();
  }
  lines_.SetPgd(1);
  lines_.Tick();
}

void Icsp::SendCommand(uint8_t code, bool longClock) {
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  for (int i = 0; i < 4; ++i) {
    SendBit((code >> i) & 1);
    if (longClock && i == 3) {
      // The chip programs its write buffer while the fourth clock is held high.
      lines_.SetPgc(1);
      lines_.Delay(120);
      lines_.SetPgc(0);
      lines_.Tick();
    } else {
      lines_.PulsePgc();
    }
  }
  lines_.SetPgc(0);
  lines_.SetPgd(1);
}

void Icsp::SendPayload(uint16_t word) {
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  for (int i = 0; i < 16; ++i) {
    SendBit((word >> i) & 1);
    lines_.PulsePgc();
  }
  lines_.SetPgd(1);
  lines_.Tick();
}

uint8_t Icsp::ReadIcspByte() {
  if (lines_.Usb()) return lines_.UsbSide().ReadIcspByte();
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  uint8_t result = 0;
  for (int i = 0; i < 8; ++i) lines_.PulsePgc();  // operand byte the chip ignores
  lines_.SetPgd(0);  // release PGD: the chip drives it from here on
  lines_.Tick();
  for (int i = 0; i < 8; ++i) {
    lines_.SetPgc(1);
    lines_.Tick();
    lines_.SetPgc(0);
    // Sampled after the falling edge, least significant bit first.
    result = static_cast<uint8_t>(result >> 1);
    if (lines_.GetPgd() == 1) result |= 0x80;
    lines_.Tick();
  }
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  lines_.Tick();
  return result;
}

void Icsp::SetTblptr(uint32_t addr) {
  CoreInstr(instr::MovlwK(static_cast<uint8_t>(addr)));
  CoreInstr(0x6EF6);  // MOVWF TBLPTRL
  CoreInstr(instr::MovlwK(static_cast<uint8_t>(addr >> 8)));
  CoreInstr(0x6EF7);  // MOVWF TBLPTRH
  CoreInstr(instr::MovlwK(static_cast<uint8_t>(addr >> 16)));
  CoreInstr(0x6EF8);  // MOVWF TBLPTRU
}

void Icsp::ClearTblptr() {
  CoreInstr(instr::MovlwK(0));
  CoreInstr(0x6EF6);
  CoreInstr(0x6EF7);
  CoreInstr(0x6EF8);
}

void Icsp::WriteZeroTo3C0006() {
  SetTblptr(0x3C0006);
  SendCommand(cmd::kTableWrite, false);
  SendPayload(0x0000);
}

void Icsp::BulkErase() {
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  lines_.Tick();
  SetTblptr(0x3C0004);
  SendCommand(cmd::kTableWrite, false);
  // The pointer is even, so the chip takes the low byte as the erase key.
  SendPayload(sel_.prog4520 ? 0x0F87 : 0x0080);
  SendCommand(cmd::kCore, false);
  SendPayload(0x0000);
  SendCommand(cmd::kCore, false);
  lines_.Delay(5000);  // PGD held low while the chip erases
  lines_.Tick();
  SendPayload(0x0000);
}

void Icsp::EnterIcsp(const std::function<void()>& beforeLastPause) {
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  lines_.Delay(1200);
  lines_.SetVpp(1);
  lines_.Tick();
  lines_.SetVpp(0);
  lines_.Tick();
  lines_.SetVpp(1);
  if (beforeLastPause) beforeLastPause();
  lines_.Delay(500);
}

void Icsp::LeaveIcsp() {
  lines_.SetPgc(0);
  lines_.SetPgd(1);
  lines_.SetVpp(0);
  lines_.SetPgc(1);
  lines_.SetPgd(0);
}

}  // namespace tvn
