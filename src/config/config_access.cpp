#include "config/config_access.h"

namespace tvn {

namespace {

// Both configuration operations enter programming mode with long, even pauses.
void EnterForConfig(Session& s) {
  IcspLines& l = s.lines;
  l.SetPgc(0);
  l.SetPgd(1);
  l.Delay(1200);
  l.SetVpp(1);
  l.Delay(1200);
  l.SetVpp(0);
  l.Delay(1200);
  l.SetVpp(1);
  l.Delay(1200);
}

void ReadConfigBytes(Session& s) {
  for (int i = 0; i < kConfigBytes; ++i) s.configRead[i] = s.icsp.TableReadByte();
}

// Programs one configuration byte at the table pointer; the chip takes the low
// half of the operand at an even address and the high half at an odd one.
void ProgramConfigByte(Session& s, uint16_t operand) {
  s.icsp.SendCommand(cmd::kWriteStart, false);
  s.icsp.SendPayload(operand);
  s.icsp.SendCommand(cmd::kCore, true);
  s.icsp.SendPayload(0x0000);
}

}  // namespace

void ReadConfigClick(Session& s) {
  EnterForConfig(s);
  s.icsp.SetTblptr(0x300000);
  s.lines.Tick();
  s.lines.Tick();
  ReadConfigBytes(s);
  s.icsp.SetTblptr(0x3FFFFE);
  s.devid1 = s.icsp.TableReadByte();
  s.devid2 = s.icsp.TableReadByte();
  s.icsp.LeaveIcsp();
  s.host.IndicatorsChanged();
}

bool WriteWordConfig(Session& s, uint8_t kind) {
  ConfigBytes& cw = s.image.configWrite;
  const uint8_t saved5L = cw[8], saved5H = cw[9];

  cw[1] &= 0x0F;
  if (kind == kProtectWriteKind) {
    cw[8] = 0x00;  // program-memory blocks 0..3 protected
    cw[9] = 0x80;  // boot block protected, data EEPROM not
  } else {
    cw[8] = 0x0F;
    cw[9] = 0xC0;
    cw[10] = 0x0F;
    cw[11] = 0xE0;
    cw[12] = 0x0F;
    cw[13] = 0x40;
  }

  EnterForConfig(s);
  s.icsp.SetTblptr(0x3C0006);
  s.lines.Tick();
  s.icsp.SendCommand(cmd::kTableWrite, false);
  s.icsp.SendPayload(0x0000);
  s.icsp.CoreInstr(instr::kBsfEepgd);
  s.icsp.CoreInstr(instr::kBsfCfgs);

  // Config5L/5H carry the code protection: they go last, after all others.
  static constexpr int kPairOrder[] = {0, 2, 4, 6, 10, 12, 8};
  for (int o : kPairOrder) {
    s.icsp.SetTblptr(0x300000u + static_cast<uint32_t>(o));
    ProgramConfigByte(s, cw[o]);
    s.icsp.CoreInstr(instr::kIncfTblptrl);
    ProgramConfigByte(s, static_cast<uint16_t>(cw[o + 1] << 8));
  }

  s.lines.SetPgc(0);
  s.lines.SetPgd(1);
  for (int i = 0; i < 3; ++i) s.lines.Delay(1200);
  s.icsp.SetTblptr(0x300000);
  s.lines.Delay(1200);
  ReadConfigBytes(s);
  s.icsp.LeaveIcsp();

  bool equal = true;
  for (int i = 0; i < kConfigBytes && equal; ++i) equal = s.configRead[i] == cw[i];

  cw[8] = saved5L;
  cw[9] = saved5H;

  if (kind == kProtectWriteKind)
    s.configResult = equal ? "Защита OK" : "Ошибка записи битов защиты";
  else
    s.configResult = equal ? "Конфигурация OK" : "Ошибка записи конфигурации";
  return equal;
}

}  // namespace tvn
