// Single byte accesses to the printer port's registers. The real form asks the
// kernel for the permission; the simulated programmer serves the same calls.
#pragma once

#include <cstdint>

namespace tvn {

class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual uint8_t PortIn(uint16_t port) = 0;
  virtual void PortOut(uint16_t port, uint8_t value) = 0;
};

// No printer port at all: reads give what an empty port gives, writes go nowhere.
class NoPort : public PortIo {
 public:
  uint8_t PortIn(uint16_t) override { return 0xFF; }
  void PortOut(uint16_t, uint8_t) override {}
};

}  // namespace tvn
