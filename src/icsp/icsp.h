// PIC18 ICSP framing over the line operations: 4-bit commands and 16-bit
// operands, least significant bit first, data changed while the clock is low.
// PGD always carries the complement of the ICSP bit: SetPgd(1) pulls it low.
#pragma once

#include <cstdint>
#include <functional>

#include "app/selection.h"
#include "transport/icsp_lines.h"

namespace tvn {

namespace cmd {
constexpr uint8_t kCore = 0x0;        // 0000: core instruction
constexpr uint8_t kTableRead = 0x9;   // 1001: table read, post-increment
constexpr uint8_t kTableWrite = 0xC;  // 1100: table write, no increment
constexpr uint8_t kWriteInc2 = 0xD;   // 1101: table write, post-increment by 2
constexpr uint8_t kWriteStart = 0xF;  // 1111: table write, start programming
}  // namespace cmd

namespace instr {
constexpr uint16_t kBsfEepgd = 0x8EA6;  // BSF EECON1, EEPGD: table access to flash
constexpr uint16_t kBcfCfgs = 0x9CA6;   // BCF EECON1, CFGS: program memory
constexpr uint16_t kBsfCfgs = 0x8CA6;   // BSF EECON1, CFGS: configuration space
constexpr uint16_t kBsfWren = 0x84A6;
constexpr uint16_t kBsfFree = 0x88A6;   // next write action is a row erase
constexpr uint16_t kBsfWr = 0x82A6;     // start the row erase
constexpr uint16_t kBcfWren = 0x94A6;
constexpr uint16_t kIncfTblptrl = 0x2AF6;
constexpr uint16_t kMovwfEecon2 = 0x6EA7;
constexpr uint16_t MovlwK(uint8_t k) { return static_cast<uint16_t>(0x0E00 | k); }
}  // namespace instr

class Icsp {
 public:
  Icsp(IcspLines& lines, const Selection& sel) : lines_(lines), sel_(sel) {}

  void CoreInstr(uint16_t instr);
  void SendCommand(uint8_t code, bool longClock);
  void SendPayload(uint16_t word);
  uint8_t ReadIcspByte();
  void SetTblptr(uint32_t addr);
  void ClearTblptr();
  void BulkErase();
  // beforeLastPause runs between the voltage steps and the last pause (callers
  // set up their progress bar there).
  void EnterIcsp(const std::function<void()>& beforeLastPause = {});
  void LeaveIcsp();

  // A table read of one byte: command 1001 and the data phase.
  uint8_t TableReadByte() {
    SendCommand(cmd::kTableRead, false);
    return ReadIcspByte();
  }
  // Select single panel writes (0000h to 3C0006h) the way every caller does it.
  void WriteZeroTo3C0006();

  IcspLines& Lines() { return lines_; }

 private:
  void SendBit(int bit) { lines_.SetPgd(static_cast<uint8_t>(1 - bit)); }
  IcspLines& lines_;
  const Selection& sel_;
};

}  // namespace tvn
