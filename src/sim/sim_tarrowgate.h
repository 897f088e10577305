// The parallel-port programmer Tarrowgate behind a simulated printer port. The
// data register drives the PGD pull-down, the Zad request line and the two
// voltage stages; the control register's Strobe bit is PGC; the status register
// returns the Zad echo on Acknowledge and PGD, inverted, on Select. Every port
// access costs one microsecond of virtual time, like an ISA-speed port access.
#pragma once

#include <cstdint>

#include "sim/pic18_pins.h"
#include "sim/virtual_clock.h"
#include "transport/port_io.h"

namespace tvn::sim {

class SimTarrowgate : public PortIo {
 public:
  static constexpr uint16_t kDefaultBase = 0x378;
  static constexpr uint64_t kPortAccessNs = 1000;
  // The Zad circuit's delay from request to echo, between one and two port
  // accesses. A host Tick (wait for the echo low, raise the request, wait for the
  // echo, drop it, twice) then takes 11 us when it follows another access and
  // 12 us back to back; Delay(n) lasts 12 (n + 1) us, so Delay(120) holds the
  // clock high for 1.45 ms (P9 is 1 ms), and the high phase of a full clock
  // pulse is 12 us.
  static constexpr uint64_t kEchoDelayNs = 1500;

  // Data register.
  static constexpr uint8_t kPgdPullLow = 0x01;
  static constexpr uint8_t kZadRequest = 0x02;
  static constexpr uint8_t kVppStage1 = 0x04;
  static constexpr uint8_t kVppStage2 = 0x10;  // full VPP on MCLR
  // Control register.
  static constexpr uint8_t kPgc = 0x01;
  // Status register.
  static constexpr uint8_t kPgdHighIsZero = 0x10;  // Select: 0 means PGD is high
  static constexpr uint8_t kEcho = 0x40;           // Acknowledge: the Zad echo
  // What a port with nothing on it reads: inputs float high, Busy is inverted.
  static constexpr uint8_t kIdleStatus = 0x7F;

  struct Counters {
    uint64_t reads = 0;
    uint64_t writes = 0;
    uint64_t statusReads = 0;
    uint64_t dataWrites = 0;
    uint64_t controlWrites = 0;
    uint64_t zadRequests = 0;  // rising edges of the Zad request line
    uint64_t foreignAccesses = 0;  // accesses to addresses that are not ours
  };

  explicit SimTarrowgate(VirtualClock& clock, Pic18Pins* chip = nullptr,
                         uint16_t base = kDefaultBase);

  // PortIo
  uint8_t PortIn(uint16_t port) override;
  void PortOut(uint16_t port, uint8_t value) override;

  // Null leaves the header empty: PGD floats high through the pull-up.
  void AttachChip(Pic18Pins* chip);
  // Unplugged: the port reads idle and the echo never comes.
  void SetPresent(bool present);
  bool Present() const { return present_; }
  void SetBase(uint16_t base) { base_ = base; }
  uint16_t Base() const { return base_; }

  // What the programmer applies to the chip.
  const HostPins& Pins() const { return pins_; }
  uint8_t DataRegister() const { return data_; }
  uint8_t ControlRegister() const { return control_; }
  bool Echo(uint64_t nowNs) const;
  bool PgdLine() const;

  const Counters& GetCounters() const { return counters_; }
  void ResetCounters() { counters_ = Counters{}; }
  VirtualClock& Clock() { return clock_; }

 private:
  void Apply();

  VirtualClock& clock_;
  Pic18Pins* chip_;
  uint16_t base_;
  bool present_ = true;
  uint8_t data_ = 0;
  uint8_t control_ = 0;
  HostPins pins_{};
  // The request line and the time it last changed, for the delayed echo.
  bool request_ = false;
  bool requestBefore_ = false;
  uint64_t requestChangeNs_ = 0;
  Counters counters_;
};

}  // namespace tvn::sim
