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

}  // namespace tvn
