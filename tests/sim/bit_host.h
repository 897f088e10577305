// A bare ICSP host for driving the simulated chip at pin level with exact
// timing, written from the chip's programming scheme: data set while PGC is low,
// latched on the falling edge, 4-bit command then 16-bit operand, LSB first.
#pragma once

#include <cstdint>

#include "sim/pic18_pins.h"

namespace tvn::sim::testing {

class BitHost {
 public:
  static constexpr uint64_t kUs = 1000;
  static constexpr uint64_t kMs = 1000 * kUs;

  explicit BitHost(Pic18Pins& chip) : chip_(chip) { Apply(); }

  uint64_t now = 100 * kUs;
  HostPins pins;                // VPP off, clock low, PGD held low
  uint64_t halfPeriodNs = 500;  // 1 MHz clock
  bool msbFirst = false;        // sends every field in the wrong order

  void Apply() { chip_.Drive(pins, now); }
  void Wait(uint64_t ns) { now += ns; }

  void Enter(uint64_t vppToClockNs = 10 * kUs) {
    pins.pgc = false;
    pins.pgdPullLow = true;
    Apply();
    Wait(10 * kUs);
    pins.vpp = true;
    Apply();
    Wait(vppToClockNs);
  }
  void Leave() {
    pins.pgc = false;
    pins.pgdPullLow = true;
    Apply();
    Wait(kUs);
    pins.vpp = false;
    Apply();
    Wait(kUs);
  }

  // One clock carrying bit; highNs = 0 gives the normal half period.
  void Clock(bool bit, uint64_t highNs = 0) {
    pins.pgdPullLow = !bit;
    Apply();
    Wait(halfPeriodNs);
    pins.pgc = true;
    Apply();
    Wait(highNs ? highNs : halfPeriodNs);
    pins.pgc = false;
    Apply();
    Wait(halfPeriodNs);
  }
  void Bits(uint32_t value, int n, uint64_t lastHighNs = 0) {
    for (int i = 0; i < n; ++i) {
      int b = msbFirst ? n - 1 - i : i;
      Clock((value >> b) & 1, i == n - 1 ? lastHighNs : 0);
    }
    HoldLow();
  }
  void HoldLow() {
    pins.pgdPullLow = true;
    Apply();
  }

  void Command(uint8_t code, uint64_t fourthHighNs = 0) { Bits(code, 4, fourthHighNs); }
  void Operand(uint16_t word) { Bits(word, 16); }
  void Core(uint16_t instr) {
    Command(0x0);
    Operand(instr);
  }
  void Write(uint8_t code, uint16_t word) {
    Command(code);
    Operand(word);
  }
  // The data phase of a table read: 8 clocks of don't-care, then PGD released
  // and one bit sampled after each falling edge.
  uint8_t ReadData(bool release = true) {
    for (int i = 0; i < 8; ++i) Clock(false);
    pins.pgdPullLow = !release;
    Apply();
    uint8_t v = 0;
    for (int i = 0; i < 8; ++i) {
      Wait(halfPeriodNs);
      pins.pgc = true;
      Apply();
      Wait(halfPeriodNs);
      pins.pgc = false;
      Apply();
      Wait(halfPeriodNs);
      bool level = chip_.PgdLine(now);
      int b = msbFirst ? 7 - i : i;
      if (level) v = static_cast<uint8_t>(v | 1u << b);
    }
    HoldLow();
    return v;
  }
  uint8_t TableRead(uint8_t code = 0x9) {
    Command(code);
    return ReadData();
  }
  void SetTblptr(uint32_t a) {
    Core(0x0E00 | (a & 0xFF));
    Core(0x6EF6);
    Core(0x0E00 | ((a >> 8) & 0xFF));
    Core(0x6EF7);
    Core(0x0E00 | ((a >> 16) & 0xFF));
    Core(0x6EF8);
  }
  // NOP whose fourth clock is held high for the write, then low for P10.
  void ProgramNop(uint64_t p9Ns = 1200 * kUs, uint64_t p10Ns = 100 * kUs) {
    Command(0x0, p9Ns);
    Wait(p10Ns);
    Operand(0x0000);
  }
  // Start of a NOP, PGD held low for holdNs, then the operand.
  void NopWithHold(uint64_t holdNs) {
    Command(0x0);
    Wait(holdNs);
    Operand(0x0000);
  }

  // Flash access for program memory (EEPGD = 1, CFGS = 0), single panel selected.
  void SelectFlash() {
    SetTblptr(0x3C0006);
    Write(0xC, 0x0000);
    Core(0x8EA6);
    Core(0x9CA6);
  }
  // Load one write buffer from address a and program it.
  void ProgramBuffer(uint32_t a, const uint16_t* words, int n, uint64_t p9Ns = 1200 * kUs,
                     uint64_t p10Ns = 100 * kUs) {
    SetTblptr(a);
    for (int i = 0; i < n - 1; ++i) Write(0xD, words[i]);
    Write(0xF, words[n - 1]);
    ProgramNop(p9Ns, p10Ns);
  }
  void BulkErase(uint16_t payload, uint64_t holdNs) {
    SetTblptr(0x3C0004);
    Write(0xC, payload);
    Core(0x0000);
    NopWithHold(holdNs);
  }
  void RowErase(uint32_t a, bool unlock, uint64_t holdNs) {
    SetTblptr(a);
    Core(0x84A6);  // WREN
    Core(0x88A6);  // FREE
    if (unlock) {
      Core(0x0E55);
      Core(0x6EA7);
      Core(0x0EAA);
      Core(0x6EA7);
    }
    Core(0x82A6);  // WR
    NopWithHold(holdNs);
    Core(0x94A6);
  }

 private:
  Pic18Pins& chip_;
};

}  // namespace tvn::sim::testing
