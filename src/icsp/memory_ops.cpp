#include "icsp/memory_ops.h"

#include "app/format.h"

namespace tvn {

namespace {

constexpr uint32_t kRowWords = 32;  // a 64-byte erase row

// Words per write-buffer load: 32 bytes on the PIC18F2520, 8 on the PIC18F252.
uint32_t LoadWords(const Session& s) { return s.sel.prog4520 ? 16 : 4; }

uint16_t ReadWord(Icsp& icsp) {
  uint8_t lo = icsp.TableReadByte();
  uint8_t hi = icsp.TableReadByte();
  return static_cast<uint16_t>(hi << 8 | lo);
}

// Steps that every program-memory write starts with.
void PrepareFlashAccess(Session& s) {
  if (!s.sel.prog4520) s.icsp.WriteZeroTo3C0006();  // single panel writes
  s.icsp.CoreInstr(instr::kBsfEepgd);
  s.icsp.CoreInstr(instr::kBcfCfgs);
}

void EraseRowAtPointer(Session& s) {
  Icsp& icsp = s.icsp;
  icsp.CoreInstr(instr::kBsfWren);
  icsp.CoreInstr(instr::kBsfFree);
  if (!s.sel.prog4520) {
    // The PIC18F252 takes WR only right after the EECON2 unlock.
    icsp.CoreInstr(instr::MovlwK(0x55));
    icsp.CoreInstr(instr::kMovwfEecon2);
    icsp.CoreInstr(instr::MovlwK(0xAA));
    icsp.CoreInstr(instr::kMovwfEecon2);
  }
  icsp.CoreInstr(instr::kBsfWr);
  // The NOP that covers the erase time, PGD held low.
  icsp.SendCommand(cmd::kCore, false);
  s.lines.Delay(600);
  s.lines.Tick();
  icsp.SendPayload(0x0000);
  icsp.CoreInstr(instr::kBcfWren);
}

// Writes one write-buffer load from word idx on; returns the next word index.
uint32_t WriteLoad(Session& s, uint32_t idx) {
  Icsp& icsp = s.icsp;
  const uint32_t words = LoadWords(s);
  icsp.SetTblptr(idx * 2);
  for (uint32_t w = 0; w + 1 < words; ++w, ++idx) {
    icsp.SendCommand(cmd::kWriteInc2, false);
    icsp.SendPayload(s.image.EtWord(idx));
  }
  icsp.SendCommand(cmd::kWriteStart, false);
  icsp.SendPayload(s.image.EtWord(idx));
  // The chip programs the buffer while the fourth clock of this NOP is high.
  icsp.SendCommand(cmd::kCore, true);
  icsp.SendPayload(0x0000);
  return idx + 1;
}

void RewriteRow(Session& s, uint32_t rowStart) {
  s.icsp.SetTblptr(rowStart * 2);
  EraseRowAtPointer(s);
  uint32_t idx = rowStart;
  while (idx < rowStart + kRowWords) idx = WriteLoad(s, idx);
  s.icsp.SetTblptr(rowStart * 2);
}

void EnterWithGauge(Session& s, int gaugeMax) {
  s.icsp.EnterIcsp([&] {
    s.progress.SetMax(gaugeMax);
    s.progress.SetPos(0);
  });
}

bool ProgramMemoryUsb(Session& s) {
  const uint32_t words = s.image.progWords;
  EnterWithGauge(s, static_cast<int>(words) - 1);
  PrepareFlashAccess(s);
  uint32_t idx = 0;
  s.icsp.SetTblptr(0);
  // Only the first row is erased here: the update erases the whole chip first.
  EraseRowAtPointer(s);
  while (idx <= words - 1) {
    uint32_t rowEnd = idx + kRowWords;
    while (idx < rowEnd) {
      idx = WriteLoad(s, idx);
      s.progress.SetPos(idx);
    }
    s.host.KeepAlive();
  }
  s.host.Okno("Прогр. OK");
  s.icsp.LeaveIcsp();
  return true;
}

// Walks the marked samples of the last transfer into up to 32 words from word
// first on. Words for which no samples came back keep their contents.
void DecodeBatch(Session& s, uint32_t first, uint32_t received) {
  const std::vector<uint8_t>& in = s.ft.ftInBuff;
  uint32_t byteIndex = 0;  // bytes completed in this batch
  uint8_t value = 0;
  int samples = 0;
  for (uint32_t k = 0; k < received && k < in.size() && byteIndex < 2 * kRowWords; ++k) {
    if (!UsbLines::ShiftInSample(&value, in[k]) || ++samples < 8) continue;
    uint32_t addr = 2 * first + byteIndex;
    if (addr < kImageBytes) s.image.buffChip[addr] = value;
    ++byteIndex;
    samples = 0;
    value = 0;
  }
}

void ReadMemoryUsb(Session& s) {
  const uint32_t words = s.image.progWords;
  s.icsp.EnterIcsp();
  s.icsp.ClearTblptr();
  s.progress.SetMax(static_cast<int>(words));
  s.progress.SetPos(0);
  s.lines.Tick();
  for (uint32_t i = 1; i <= words; ++i) {
    s.progress.SetPos(i);
    for (int half = 0; half < 2; ++half) {
      s.icsp.SendCommand(cmd::kTableRead, false);
      s.usb.QueueReadIcspByte();
    }
    if (i % kRowWords == 0) DecodeBatch(s, i - kRowWords, s.usb.FtFlush());
    s.host.KeepAlive();
  }
  s.icsp.LeaveIcsp();
  s.lines.SetVpp(0);
}

}  // namespace

bool ProgramMemory(Session& s) {
  if (s.sel.checkUsb) return ProgramMemoryUsb(s);
  const uint32_t words = s.image.progWords;
  EnterWithGauge(s, static_cast<int>(words) - 1);
  bool ok = true;
  bool rewritten = false;
  PrepareFlashAccess(s);
  uint32_t idx = 0;
  s.icsp.SetTblptr(0);
  uint16_t chip = 0, ref = 0;
  while (idx < words) {
    chip = ReadWord(s.icsp);
    ref = s.image.EtWord(idx);
    if (chip == ref) {
      ++idx;
      s.progress.SetPos(idx);
      if (idx % kRowWords == 0) rewritten = false;
      continue;
    }
    if (rewritten) {
      // The row just rewritten still differs: the chip does not take the write.
      ok = false;
      break;
    }
    idx &= ~(kRowWords - 1);
    RewriteRow(s, idx);
    rewritten = true;
    s.host.KeepAlive();
  }
  if (ok) {
    s.host.Okno("Прогр. OK");
  } else {
    s.host.Okno("Запись не возможна.");
    s.host.Okno(Format("Адр.:%3X  Эт=%4X  Чип=%4X", idx * 2, ref, chip));
    s.host.Okno("Прогр. прервано.");
  }
  s.icsp.LeaveIcsp();
  return ok;
}

void ReadMemory(Session& s) {
  if (s.sel.checkUsb) {
    ReadMemoryUsb(s);
    return;
  }
  const uint32_t words = s.image.progWords;
  s.icsp.EnterIcsp();
  s.icsp.ClearTblptr();
  s.progress.SetMax(static_cast<int>(words) - 1);
  s.progress.SetPos(0);
  s.lines.Tick();
  for (uint32_t i = 0; i < words; ++i) {
    s.progress.SetPos(i);
    s.image.buffChip[2 * i] = s.icsp.TableReadByte();
    s.image.buffChip[2 * i + 1] = s.icsp.TableReadByte();
    s.host.KeepAlive();
  }
  s.icsp.LeaveIcsp();
}

bool CompareMemory(Session& s) {
  const uint32_t words = s.image.progWords;
  s.progress.SetMax(static_cast<int>(words) - 1);
  s.progress.SetPos(0);
  int errors = 0;
  for (uint32_t i = 0; i < words; ++i) {
    uint16_t et = s.image.EtWord(i);
    uint16_t chip = s.image.ChipWord(i);
    if (et != chip) {
      s.host.Okno(Format("%3X: Эт.%4X Рез.%4X", i * 2, et, chip));
      ++errors;
    }
    s.progress.SetPos(i);
  }
  if (errors == 0) {
    s.host.Okno("Сравнение ОК");
    return true;
  }
  s.host.Okno(Format("Кол. ошибок. = %d ", errors));
  return false;
}

}  // namespace tvn
