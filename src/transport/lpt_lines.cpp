#include "transport/lpt_lines.h"

namespace tvn {

void LptLines::SetPgc(uint8_t level) {
  // The control register carries only the clock; its other bits are always 0.
  io_.PortOut(static_cast<uint16_t>(adrLpt + 2), level & 1);
}

void LptLines::SetPgd(uint8_t level) {
  lptShadow = static_cast<uint8_t>((lptShadow & ~kPgdLow) | (level & 1));
  WriteData();
}

void LptLines::SetVpp(uint8_t on) {
  if (on & 1) {
    // Two-stage rise: the first stage is held 40 ms before the full voltage.
    lptShadow = static_cast<uint8_t>((lptShadow | kVppStage1) & ~kVppStage2);
    WriteData();
    Delay(4000);
    lptShadow = static_cast<uint8_t>((lptShadow & ~kVppStage1) | kVppStage2);
    WriteData();
  } else {
    lptShadow = static_cast<uint8_t>(lptShadow & ~(kVppStage1 | kVppStage2));
    WriteData();
  }
}

int LptLines::GetPgd() {
  // The programmer inverts the read-back: a 0 bit means PGD is high.
  return (io_.PortIn(static_cast<uint16_t>(adrLpt + 1)) & kStatusPgdLow) ? 0 : 1;
}

void LptLines::PulsePgc() {
  Tick();
  SetPgc(1);
  Tick();
  SetPgc(0);
  Tick();
}

void LptLines::SetZad(uint8_t level) {
  // Level 0 raises the request line; any nonzero level drops it.
  if (level == 0)
    lptShadow |= kZadRequest;
  else
    lptShadow = static_cast<uint8_t>(lptShadow & ~kZadRequest);
  WriteData();
}

int LptLines::ZadLow() {
  return (io_.PortIn(static_cast<uint16_t>(adrLpt + 1)) & kStatusEcho) ? 0 : 1;
}

bool LptLines::WaitEcho(bool low) {
  for (int i = 0; i < kZadPollLimit; ++i) {
    if ((ZadLow() == 1) == low) return true;
  }
  return false;
}

// Two full cycles of the request line, each followed through the echo; the
// last two waits are the ones that prove the circuit answers.
void LptLines::DoubleCycle(int* successes) {
  WaitEcho(true);
  SetZad(0);
  WaitEcho(false);
  SetZad(1);
  bool low = WaitEcho(true);
  SetZad(0);
  bool high = WaitEcho(false);
  SetZad(1);
  if (successes) *successes = (low ? 1 : 0) + (high ? 1 : 0);
}

void LptLines::Tick() {
  zadOk = false;
  int successes = 0;
  DoubleCycle(&successes);
  zadOk = successes == 2;
}

void LptLines::Delay(uint16_t n) {
  for (uint32_t i = 0; i <= n; ++i) DoubleCycle(nullptr);
}

}  // namespace tvn
