// The parallel-port programmer Tarrowgate: PGC on the control register's Strobe
// bit, PGD driver, Zad request and the two voltage stages on the data register,
// Zad echo and inverted PGD read-back on the status register. Every pause is
// timed by echo cycles through the programmer's Zad delay circuit, never by the PC.
#pragma once

#include <cstdint>

#include "transport/port_io.h"

namespace tvn {

class LptLines {
 public:
  static constexpr int kZadPollLimit = 1201;  // reads per wait before giving up silently
  static constexpr uint8_t kPgdLow = 0x01;     // data bit 0: 1 pulls PGD low
  static constexpr uint8_t kZadRequest = 0x02; // data bit 1
  static constexpr uint8_t kVppStage1 = 0x04;  // data bit 2
  static constexpr uint8_t kVppStage2 = 0x10;  // data bit 4
  static constexpr uint8_t kStatusEcho = 0x40;     // Acknowledge input
  static constexpr uint8_t kStatusPgdLow = 0x10;   // Select input, inverted PGD

  explicit LptLines(PortIo& io) : io_(io) {}

  void SetPgc(uint8_t level);
  void SetPgd(uint8_t level);
  void SetVpp(uint8_t on);
  int GetPgd();
  void PulsePgc();
  void Tick();
  void Delay(uint16_t n);
  void SetZad(uint8_t level);
  int ZadLow();

  uint16_t adrLpt = 0x378;  // AdrLpt
  uint8_t lptShadow = 0x08; // LptShadow: the program's copy of the data register
  bool zadOk = false;       // ZadOk: valid right after a Tick

  PortIo& Io() { return io_; }

 private:
  void WriteData() { io_.PortOut(adrLpt, lptShadow); }
  bool WaitEcho(bool low);  // true when the echo got there before the limit
  void DoubleCycle(int* successes);

  PortIo& io_;
};

}  // namespace tvn
